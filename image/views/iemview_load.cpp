// The thumbnail grid's loading: synchronous loads, the request queue, the starter
// thread with its pool of background loads, aborts and the placeholder picture.
#include <algorithm>
#include <chrono>
#include <thread>

#include "image/io/dadiravio.h"
#include "image/io/iemio.h"
#include "image/views/iemview.h"
#include "platform/win/Debug.h"

namespace {

struct ThreadLock {
  ThreadLock() { EnterCriticalSection(&gThreadCS); }
  ~ThreadLock() { LeaveCriticalSection(&gThreadCS); }
  ThreadLock(const ThreadLock&) = delete;
  ThreadLock& operator=(const ThreadLock&) = delete;
};

// The size of the image in the file, not of a reduced decode.
void FileSize(TDadirAvIO* io, Integer& w, Integer& h) {
  const TIOParamsVals* p = io->GetParams();
  if (p->FileType == iofnJPEG && p->JPEG_OriginalWidth > 0) {
    w = p->JPEG_OriginalWidth;
    h = p->JPEG_OriginalHeight;
  } else {
    w = p->Width;
    h = p->Height;
  }
}

}  // namespace

// --- The starter -----------------------------------------------------------------------------

TIEStarter::~TIEStarter() { Stop(); }

void TIEStarter::Stop() {
  if (stopped_) return;
  stopped_ = true;
  Terminate();
  view_->WakeStarter();
  WaitFor();
}

void TDadirAvMView::WakeStarter() {
  {
    std::lock_guard<std::mutex> lock(wakeMutex_);
    wakePending_ = true;
  }
  wake_.notify_one();
}

void TDadirAvMView::LoadParams(TDadirAvIO* io, const TIEImageInfo* info) const {
  io->SetReBackground(info->Background);
  TIOParamsVals* p = io->GetParams();
  if (StoreType == ietThumb) {
    p->JPEG_Scale = ioJPEG_AUTOCALC;
    p->Width = thumbWidth_;
    p->Height = thumbHeight_;
  } else {
    p->JPEG_Scale = ioJPEG_FULLSIZE;
  }
}

void TDadirAvMView::StarterLoop(TIEStarter* starter) {
  while (!starter->Terminated()) {
    {
      ThreadLock lock;
      RemoveFinishedLoaders();
      RemoveInvisibleRequests();
      while (!starter->Terminated() && !queue_.empty() && !destroying_) {
        if (static_cast<Integer>(running_.size()) >= threadPoolSize_) break;
        TIEImageInfo* info = queue_.front();
        queue_.erase(queue_.begin());
        auto* loader = new TIEGridLoader;
        loader->info = info;
        loader->fileName = info->FileName;
        loader->bitmap = new TIEBitmap();
        loader->io = new TDadirAvIO(nullptr);
        loader->io->SetAttachedIEBitmap(loader->bitmap);
        LoadParams(loader->io, info);
        loader->io->OnFinishWork = [this, loader](TObject*) { ThreadFinish(loader); };
        // A load the grid no longer wants is marked -2; its own thread raises the
        // component's Aborting flag at the next progress step, so no other thread
        // writes that flag while the codec reads it.
        loader->io->OnProgress = [loader](TObject*, Integer) {
          ThreadLock lock;
          if (loader->state == -2) loader->io->SetAborting(true);
        };
        loader->io->SetAsyncMode(true);
        running_.push_back(loader);
        ++startedLoads_;
        // Starts the load on a thread of its own and returns at once.
        loader->io->LoadFromFile(loader->fileName);
      }
    }
    // Sleeps until a request comes, a load finishes or the view goes. A wake-up that
    // came while the lock was held above is kept in wakePending_, so none is lost.
    std::unique_lock<std::mutex> lock(wakeMutex_);
    wake_.wait(lock, [&] { return wakePending_ || starter->Terminated(); });
    wakePending_ = false;
  }
}

void TDadirAvMView::ThreadFinish(TIEGridLoader* loader) {
  bool wanted;
  Integer idx = -1;
  {
    ThreadLock lock;
    wanted = !destroying_ && loader->state >= 0 && loader->info != nullptr;
    if (loader->io->GetAborting()) {
      OutputDebugString(("Aborting " + loader->fileName).c_str());
      // A load the grid stopped gets no placeholder: nobody would see it.
      if (wanted) {
        idx = IndexOfInfo(loader->info);
        DoWrongImage(loader->bitmap, idx);
        loader->info->Corrupted = true;
      }
    }
  }
  std::unique_ptr<TIEBitmap> holder;
  TIEBaseBitmap* thumb = nullptr;
  if (wanted) thumb = MakeThumbnail(loader->bitmap, holder);  // outside the lock
  {
    ThreadLock lock;
    if (!destroying_ && loader->state >= 0 && loader->info != nullptr && thumb != nullptr) {
      TIEImageInfo* info = loader->info;
      if (!loader->io->GetAborting()) CopyParams(IndexOfInfo(info), loader->io);
      info->Background = loader->io->GetReBackground();
      StoreInto(info, thumb, false);
      if (info->image != nullptr && !loader->io->GetAborting()) {
        Integer w, h;
        FileSize(loader->io, w, h);
        store_->SetImageOriginalWidth(info->image, w);
        store_->SetImageOriginalHeight(info->image, h);
      }
    }
    // Posted before the load counts as finished: once it does, the GUI thread may
    // free the loader and wait for this thread while holding the lock.
    if (wanted) PostInvalidate();
    loader->state = -1;
  }
  WakeStarter();
}

void TDadirAvMView::RemoveFinishedLoaders() {
  for (size_t i = 0; i < running_.size();) {
    TIEGridLoader* loader = running_[i];
    if (loader->state == -1) {
      running_.erase(running_.begin() + static_cast<std::ptrdiff_t>(i));
      delete loader->io;  // waits until its thread has left it
      delete loader->bitmap;
      delete loader;
      continue;
    }
    if (loader->state >= 0 && (loader->info == nullptr || !VisibleLocked(loader->info))) loader->state = -2;
    ++i;
  }
}

void TDadirAvMView::RemoveInvisibleRequests() {
  queue_.erase(std::remove_if(queue_.begin(), queue_.end(),
                              [this](const TIEImageInfo* info) { return !VisibleLocked(info); }),
               queue_.end());
}

void TDadirAvMView::SnapshotVisibility() {
  ThreadLock lock;
  vis_.viewX = viewX_;
  vis_.viewY = viewY_;
  vis_.clientW = GetClientWidth();
  vis_.clientH = GetClientHeight();
  vis_.single = displayMode_ == mdSingle;
  vis_.frame = images_.empty() ? nullptr : images_[static_cast<size_t>(std::clamp(visibleFrame_, 0, GetImageCount() - 1))];
  // Requests for cells that left the control go now, not when the starter next looks.
  RemoveInvisibleRequests();
}

bool TDadirAvMView::VisibleLocked(const TIEImageInfo* info) const {
  if (vis_.single) return info == vis_.frame;
  const Integer l = info->X - vis_.viewX;
  const Integer t = info->Y - vis_.viewY;
  return l + thumbWidth_ > 0 && t + thumbHeight_ > 0 && l < vis_.clientW && t < vis_.clientH;
}

Integer TDadirAvMView::GetQueuedCount() {
  ThreadLock lock;
  return static_cast<Integer>(queue_.size());
}

Integer TDadirAvMView::GetRunningCount() {
  ThreadLock lock;
  return static_cast<Integer>(running_.size());
}

std::vector<Integer> TDadirAvMView::GetQueuedIndexes() {
  ThreadLock lock;
  std::vector<Integer> out;
  for (const TIEImageInfo* info : queue_) out.push_back(IndexOfInfo(info));
  return out;
}

// --- Requests --------------------------------------------------------------------------------

bool TDadirAvMView::ObtainImageThreaded(Integer idx) {
  // The loads fill its parameter entries: it exists before the first one starts.
  {
    ThreadLock lock;
    const TIEImageInfo* info = Info(idx);
    if (info != nullptr && info->image == nullptr && !info->FileName.empty()) (void)GetDadirAvMIO();
  }
  bool result = false;
  {
    ThreadLock lock;
    TIEImageInfo* info = Info(idx);
    if (info == nullptr) return false;
    if (info->image != nullptr) {
      result = true;
    } else {
      RemoveInvisibleRequests();
      const bool queued = std::find(queue_.begin(), queue_.end(), info) != queue_.end();
      const bool loading = std::any_of(running_.begin(), running_.end(), [info](const TIEGridLoader* l) {
        return l->info == info && l->state >= 0;
      });
      if (queued || loading) {
        result = true;
      } else {
        RemoveFinishedLoaders();
        if ((info->ID >= 0 && OnImageIDRequest) || info->FileName.empty()) {
          result = false;
        } else {
          queue_.push_back(info);
          result = true;
        }
      }
    }
  }
  WakeStarter();
  return result;
}

void TDadirAvMView::CopyParams(Integer idx, TDadirAvIO* io) {
  // Made on the GUI thread before any load starts (ObtainImageThreaded); a loader
  // thread only fills an entry, under the lock the list's changes take too.
  if (mio_ == nullptr) return;
  TIOParamsVals* entry = mio_->GetParams(idx);
  if (entry == nullptr) return;
  entry->Assign(io->GetParams());
  // The entry keeps its place in the list.
  entry->GIF_ImageIndex = idx;
  entry->TIFF_ImageIndex = idx;
}

bool TDadirAvMView::ObtainImageNow(Integer idx) {
  ThreadLock lock;
  TIEImageInfo* info = Info(idx);
  if (info == nullptr) return false;
  bool result = true;
  if (info->ID >= 0 && OnImageIDRequest) {
    TBitmap* bitmap = nullptr;
    OnImageIDRequest(this, info->ID, bitmap);
    if (bitmap != nullptr) SetImageEx(idx, bitmap);
  } else if (!info->FileName.empty()) {
    (void)GetDadirAvMIO();
    TIEBitmap bitmap;
    io_->SetAttachedIEBitmap(&bitmap);
    io_->SetAsyncMode(false);
    io_->OnProgress = OnIOProgress;
    LoadParams(io_.get(), info);
    try {
      io_->LoadFromFile(info->FileName);
    } catch (...) {
      io_->SetAborting(true);
    }
    const bool failed = io_->GetAborting();
    if (failed) {
      DoWrongImage(&bitmap, idx);
      result = false;
    }
    info->Corrupted = failed;
    CopyParams(idx, io_.get());
    info->Background = io_->GetReBackground();
    SetIEBitmapEx(idx, &bitmap);
    if (!failed && info->image != nullptr) {
      Integer w, h;
      FileSize(io_.get(), w, h);
      store_->SetImageOriginalWidth(info->image, w);
      store_->SetImageOriginalHeight(info->image, h);
    }
    io_->SetAttachedIEBitmap(nullptr);
  }
  return result;
}

void TDadirAvMView::ClearThreadsAndRequests() {
  {
    ThreadLock lock;
    queue_.clear();
    for (TIEGridLoader* loader : running_) {
      if (loader->state < 0) continue;
      loader->state = -2;
    }
  }
  // The starter prunes the loads as they finish; about a second at most is given.
  for (int i = 0; i < 100; ++i) {
    {
      ThreadLock lock;
      if (running_.empty()) return;
    }
    WakeStarter();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void TDadirAvMView::DoWrongImage(TIEBitmap* bitmap, Integer idx) {
  if (bitmap == nullptr) return;
  if (OnWrongImage) {
    bitmap->Allocate(thumbWidth_, thumbHeight_, ie24RGB);
    bool handled = false;
    OnWrongImage(this, bitmap, idx, handled);
    if (handled) return;
  }
  TIEDibbitmap dib;
  dib.AllocateBits(thumbWidth_, thumbHeight_, 24);
  if (dib.GetDC() == 0) {
    bitmap->Allocate(thumbWidth_, thumbHeight_, ie24RGB);
    bitmap->Fill(0xFFFFFF);
    return;
  }
  TCanvas canvas;
  canvas.SetHandle(dib.GetDC());
  canvas.GetBrush()->SetColor(static_cast<TColor>(0xFFFFFF));
  canvas.GetBrush()->SetStyle(bsSolid);
  canvas.FillRect(TRect{0, 0, thumbWidth_, thumbHeight_});
  canvas.GetFont()->SetName("Arial");
  canvas.GetFont()->SetSize(thumbHeight_);
  canvas.GetFont()->SetStyle(TFontStyles{fsBold});
  const TSize extent = canvas.TextExtent("?");
  canvas.GetBrush()->SetStyle(bsClear);
  canvas.GetFont()->SetColor(static_cast<TColor>(0x808080));
  canvas.TextOut((thumbWidth_ - extent.cx) / 2 + 3, (thumbHeight_ - extent.cy) / 2 + 3, "?");
  canvas.GetFont()->SetColor(static_cast<TColor>(0xFF0000));
  canvas.TextOut((thumbWidth_ - extent.cx) / 2, (thumbHeight_ - extent.cy) / 2, "?");
  canvas.SetHandle(0);
  bitmap->CopyFromTDibBitmap(&dib);
}

// --- Explicit loads --------------------------------------------------------------------------

bool TDadirAvMView::SetImageFromStreamOrFile(Integer idx, TStream* stream, const AnsiString& fileName) {
  TIEImageInfo* info = Info(idx);
  if (info == nullptr) return false;
  (void)GetDadirAvMIO();
  TIEBitmap bitmap;
  io_->SetAttachedIEBitmap(&bitmap);
  io_->SetAsyncMode(false);
  io_->OnProgress = OnIOProgress;
  LoadParams(io_.get(), info);
  try {
    if (stream != nullptr)
      io_->LoadFromStream(stream);
    else
      io_->LoadFromFile(fileName);
  } catch (...) {
    io_->SetAborting(true);
  }
  const bool failed = io_->GetAborting();
  if (failed) DoWrongImage(&bitmap, idx);
  {
    // Loader threads store under the same lock.
    ThreadLock lock;
    info = Info(idx);
    if (info != nullptr) {
      CopyParams(idx, io_.get());
      info->Background = io_->GetReBackground();
      info->Corrupted = failed;
      SetIEBitmapEx(idx, &bitmap);
    }
  }
  io_->SetAttachedIEBitmap(nullptr);
  Update();
  return !failed;
}

bool TDadirAvMView::SetImageFromFile(Integer idx, const AnsiString& fileName) {
  return SetImageFromStreamOrFile(idx, nullptr, fileName);
}

bool TDadirAvMView::SetImageFromStream(Integer idx, TStream* stream) {
  return SetImageFromStreamOrFile(idx, stream, AnsiString());
}
