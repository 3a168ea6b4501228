// Acquisitions: enabling the source, the modal loop, the events the source posts,
// the transfer of one image or of every pending page in strips or as a packed DIB,
// and the modeless acquisition under a hidden control.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <set>

#include "image/io/imscan_internal.h"
#include "image/proc/dadiravproc_basic.h"
#include "image/proc/dadiravproc_colour.h"
#include "platform/rtl/Math.h"
#include "platform/win/Messages.h"
#include "platform/win/Window.h"

using namespace imscan;

// The hidden control of a modeless acquisition: the source's events reach it as
// window messages, which it hands to the connection.
class TIEProxyWin : public TWinControl {
 public:
  LARK_CLASS_NAME(TIEProxyWin)
  TIEProxyWin(TComponent* Owner, TIETWConnection* Connection);
  ~TIEProxyWin() override;
  void WndProc(TMessage& message) override;
  TIETWConnection* Connection = nullptr;
};

namespace {

// A strip kept while the image's height is not known: the transfer record and an
// owned copy of the bytes the source wrote.
struct StoredStrip {
  TW_IMAGEMEMXFER Xfer;
  std::vector<uint8_t> Bytes;
};

// The most bytes a transfer of unknown height collects before it gives up.
constexpr size_t kMaxCollectedBytes = size_t{1} << 30;

void CloseModeless(TIETWConnection* c);

void FailureState(TIETWConnection& c, Integer state) {
  c.State = state;
  if (c.UIHidden) c.EndRequested = true;
}

bool EnableSource(TIETWConnection& c, HWND window) {
  if (c.State != 4) return false;
  c.UI.ShowUI = c.Params->VisibleDialog ? 0xFFFF : 0;
  c.UI.ModalUI = c.Modal ? 0xFFFF : 0;
  c.UI.hParent = window;
  Call(c, &c.SourceId, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &c.UI);
  if (c.LastRC == TWRC_FAILURE) return false;
  c.State = 5;
  return true;
}

void FillImageParams(TIOParamsVals* io, const TW_IMAGEINFO& info) {
  if (io == nullptr) return;
  if (info.BitsPerPixel >= 1 && info.BitsPerPixel <= 8) {
    io->BitsPerSample = info.BitsPerPixel;
    io->SamplesPerPixel = 1;
  } else if (info.BitsPerPixel == 24) {
    io->BitsPerSample = 8;
    io->SamplesPerPixel = 3;
  }
  io->DpiX = Round(FIX32ToDouble(info.XResolution));
  io->DpiY = Round(FIX32ToDouble(info.YResolution));
  io->Width = info.ImageWidth;
  io->Height = info.ImageLength;
  io->ColorMap.reset();
  io->ColorMapCount = 0;
}

// Only the depths the strip copier places: 1-bit, 8-bit grey and 24-bit colour.
bool DepthHandled(Integer bits) { return bits == 1 || bits == 8 || bits == 24; }

bool PrepareImage(TIETWConnection& c) {
  try {
    if (!Call(c, &c.SourceId, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &c.Info)) {
      EndTransfer(c);
      return false;
    }
    const TW_IMAGEINFO& info = c.Info;
    if (info.PixelType > TWPT_RGB || info.Planar != 0 || info.Compression != 0) c.MemoryTransfer = false;
    // A depth the copier cannot place would leave a blank image reported as acquired.
    if (!DepthHandled(info.BitsPerPixel)) {
      EndTransfer(c);
      return false;
    }
    FillImageParams(c.IOParams, info);
    if (info.ImageWidth < 0 || info.ImageLength < 0) {
      c.UndefinedSize = true;
      return true;
    }
    c.UndefinedSize = false;
    if (info.ImageWidth != 0 && info.ImageLength != 0 && IESizeWithinLimits(info.ImageWidth, info.ImageLength) &&
        c.Destination != nullptr) {
      const TIEPixelFormat format = info.BitsPerPixel == 1 ? ie1g : ie24RGB;
      TIEBitmap* d = c.Destination;
      if (d->GetWidth() != info.ImageWidth || d->GetHeight() != info.ImageLength || d->GetPixelFormat() != format)
        d->Allocate(info.ImageWidth, info.ImageLength, format);
      return true;
    }
  } catch (...) {
  }
  EndTransfer(c);
  return false;
}

bool PreparePage(TIETWConnection& c) {
  try {
    if (!Call(c, &c.SourceId, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &c.Info)) {
      EndTransfer(c);
      return false;
    }
    const TW_IMAGEINFO& info = c.Info;
    if (info.PixelType > TWPT_RGB || info.Planar != 0 || info.Compression != 0) c.MemoryTransfer = false;
    if (!DepthHandled(info.BitsPerPixel)) {
      EndTransfer(c);
      return false;
    }
    if (info.ImageWidth < 0 || info.ImageLength < 0) {
      c.UndefinedSize = true;
      c.Page.reset();
      return true;
    }
    c.UndefinedSize = false;
    if (info.ImageWidth > 0 && info.ImageLength > 0 && IESizeWithinLimits(info.ImageWidth, info.ImageLength)) {
      c.Page = std::make_unique<TIEBitmap>();
      c.Page->Allocate(info.ImageWidth, info.ImageLength, info.BitsPerPixel == 1 ? ie1g : ie24RGB);
      c.Destination = c.Page.get();
      return true;
    }
  } catch (...) {
  }
  EndTransfer(c);
  return false;
}

// Copies a strip into the store, clipped to the store and to the bytes the strip
// holds (at most BytesWritten, never past the buffer's length).
void CopyStrip(TIETWConnection& c, const TW_IMAGEMEMXFER& x, const uint8_t* mem, size_t memLength, uint32_t yBase) {
  TIEBitmap* d = c.Destination;
  if (d == nullptr || mem == nullptr || x.BytesPerRow == 0) return;
  const Integer bits = c.Info.BitsPerPixel;
  if (!DepthHandled(bits)) return;
  const size_t held = std::min<size_t>(x.BytesWritten, memLength);
  const uint64_t width = static_cast<uint64_t>(d->GetWidth());
  const uint64_t height = static_cast<uint64_t>(d->GetHeight());
  if (x.YOffset < yBase) return;
  const uint64_t y0 = x.YOffset - yBase;
  const uint64_t x0 = x.XOffset;
  if (x0 >= width || y0 >= height) return;
  const uint64_t rowsHeld = held / x.BytesPerRow;
  const uint64_t rows = std::min<uint64_t>({x.Rows, rowsHeld, height - y0});
  const uint64_t bytesPerPixelBits = static_cast<uint64_t>(bits);
  // Columns that fit in one row of the strip, in the store.
  uint64_t columns = std::min<uint64_t>(x.Columns, width - x0);
  columns = std::min<uint64_t>(columns, static_cast<uint64_t>(x.BytesPerRow) * 8 / bytesPerPixelBits);
  if (columns == 0) return;
  for (uint64_t r = 0; r < rows; ++r) {
    const uint8_t* src = mem + r * x.BytesPerRow;
    auto* dst = static_cast<uint8_t*>(d->GetScanLine(static_cast<Integer>(y0 + r)));
    switch (bits) {
      case 24:
        _CopyBGR_RGB(reinterpret_cast<PRGB>(dst) + x0, reinterpret_cast<const TRGB*>(src), static_cast<Integer>(columns));
        break;
      case 8: {
        TRGB* px = reinterpret_cast<PRGB>(dst) + x0;
        for (uint64_t i = 0; i < columns; ++i) px[i] = TRGB{src[i], src[i], src[i]};
        break;
      }
      case 1:
        _CopyBits(dst, src, static_cast<Integer>(x0), 0, static_cast<Integer>(columns), static_cast<Integer>(x.BytesPerRow));
        break;
      default: break;
    }
  }
}

// Replays the strips collected while the height was unknown, into the store the
// second image information made.
void Replay(TIETWConnection& c, const std::vector<StoredStrip>& strips, uint32_t yBase) {
  for (const StoredStrip& s : strips) CopyStrip(c, s.Xfer, s.Bytes.data(), s.Bytes.size(), yBase);
}

// The memory transfer of the image in hand; true when it was transferred.
bool MemoryTransfer(TIETWConnection& c, bool pages, AnsiString& caption) {
  std::vector<StoredStrip> collected;
  size_t collectedBytes = 0;
  const bool undefined = c.UndefinedSize;
  double perStep = 0;
  if (c.Progress != nullptr && c.Info.ImageLength > 0) perStep = 100.0 / c.Info.ImageLength;
  TW_SETUPMEMXFER setup;
  if (!Call(c, &c.SourceId, DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup) || setup.Preferred == 0) {
    FailureState(c, 6);
    return false;
  }
  // The preferred size comes from the source; a buffer is never larger than this.
  const size_t bufferSize = std::min<size_t>(setup.Preferred, size_t{64} << 20);
  HGLOBAL buffer = GlobalAlloc(GHND, bufferSize);
  if (buffer == 0) {
    FailureState(c, 6);
    return false;
  }
  bool done = false;
  bool first = true;
  uint32_t yBase = 0;
  for (;;) {
    TW_IMAGEMEMXFER x;
    x.Compression = TWON_DONTCARE16;
    x.BytesPerRow = x.Columns = x.Rows = x.XOffset = x.YOffset = x.BytesWritten = TWON_DONTCARE32;
    x.Memory.Flags = TWMF_APPOWNS | TWMF_HANDLE;
    x.Memory.Length = static_cast<TW_UINT32>(bufferSize);
    x.Memory.TheMem = reinterpret_cast<TW_MEMREF>(buffer);
    Call(c, &c.SourceId, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &x);
    const TW_UINT16 rc = c.LastRC;
    if (rc == TWRC_SUCCESS || rc == TWRC_XFERDONE) {
      if (pages && first) yBase = x.YOffset;
      first = false;
      const size_t held = std::min<size_t>({static_cast<size_t>(x.BytesWritten), bufferSize});
      if (undefined) {
        if (collectedBytes + held > kMaxCollectedBytes) {
          FailureState(c, 7);
          break;
        }
        StoredStrip s;
        s.Xfer = x;
        const auto* mem = static_cast<const uint8_t*>(GlobalLock(buffer));
        s.Bytes.assign(mem, mem + held);
        GlobalUnlock(buffer);
        collectedBytes += held;
        collected.push_back(std::move(s));
      } else {
        const auto* mem = static_cast<const uint8_t*>(GlobalLock(buffer));
        CopyStrip(c, x, mem, held, pages ? yBase : 0);
        GlobalUnlock(buffer);
      }
      if (rc == TWRC_XFERDONE) {
        caption = ReadCaption(c);
        c.State = 7;
        if (undefined) {
          // The height is known now: the strips go into a store of that size.
          if (Call(c, &c.SourceId, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &c.Pending))
            c.State = c.Pending.Count != 0 ? 6 : 5;
          const bool ready = pages ? PreparePage(c) : PrepareImage(c);
          if (ready && !c.UndefinedSize) {
            Replay(c, collected, pages ? yBase : 0);
            done = true;
          }
        } else {
          done = true;
        }
        break;
      }
      if (perStep > 0) {
        const uint64_t y = static_cast<uint64_t>(x.YOffset) - (pages ? yBase : 0) + x.Rows;
        if (c.Progress->OnProgress) c.Progress->OnProgress(c.Progress->Sender, static_cast<Integer>(std::trunc(y * perStep)));
        if (!pages && c.Progress->Aborted()) {
          FailureState(c, 7);
          break;
        }
      }
      continue;
    }
    if (rc == TWRC_CANCEL) {
      c.StopWaiting = true;
      FailureState(c, 7);
      break;
    }
    // A failure, or an answer the protocol does not give here: the transfer ends.
    FailureState(c, rc == TWRC_FAILURE ? 6 : 7);
    break;
  }
  GlobalFree(buffer);
  return done;
}

bool NativeTransfer(TIETWConnection& c) {
  TW_HANDLE dib = 0;
  Call(c, &c.SourceId, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &dib);
  switch (c.LastRC) {
    case TWRC_FAILURE: FailureState(c, 6); return false;
    case TWRC_CANCEL:
      c.StopWaiting = true;
      FailureState(c, 7);
      return false;
    case TWRC_XFERDONE: {
      c.State = 7;
      if (dib == 0) return false;
      if (c.Destination == nullptr) {
        // A page of unknown size: a store of the bitmap's own size.
        c.Page = std::make_unique<TIEBitmap>();
        c.Destination = c.Page.get();
      }
      const Word bits = _CopyDIB2BitmapEx(dib, c.Destination, nullptr, false);
      GlobalFree(dib);
      return bits != 0;
    }
    default: c.State = 6; return false;
  }
}

void TransferImage(TIETWConnection& c) {
  if (!PrepareImage(c)) {
    c.EndRequested = true;
    return;
  }
  AnsiString caption;
  bool ok;
  if (c.MemoryTransfer) {
    ok = MemoryTransfer(c, false, caption);
    if (ok && c.IOParams != nullptr) c.IOParams->FileName = caption;
  } else {
    ok = NativeTransfer(c);
  }
  if (ok) c.ImageAcquired = true;
  c.StopWaiting = true;
  EndTransfer(c);
}

void TransferPages(TIETWConnection& c) {
  for (;;) {
    if (c.Progress != nullptr && c.Progress->Aborted()) {
      EndTransfer(c);
      return;
    }
    c.Destination = nullptr;
    c.Page.reset();
    if (!PreparePage(c)) {
      c.EndRequested = true;
      // The feed did not finish: the caller hears it through its abort flag.
      if (c.Progress != nullptr) c.Progress->Abort();
      return;
    }
    c.PageCaption.clear();
    const bool ok = c.MemoryTransfer ? MemoryTransfer(c, true, c.PageCaption) : NativeTransfer(c);
    if (ok && c.Page != nullptr) {
      c.ImageAcquired = true;
      if (c.Page->GetPixelFormat() == ie1g && c.Invert1Bit) _Negative1BitEx(c.Page.get());
      if (c.MultiCallBack) c.MultiCallBack(c.Page.get(), c.IOParams);
      FillImageParams(c.IOParams, c.Info);
      if (c.IOParams != nullptr) c.IOParams->FileName = c.PageCaption;
    } else if (c.Progress != nullptr) {
      // A failed or cancelled page ends the feed (before the next page); the pages
      // delivered before it stay with the caller.
      c.Progress->Abort();
    }
    c.Page.reset();
    c.Destination = nullptr;
    if (c.State == 7 && Call(c, &c.SourceId, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &c.Pending))
      c.State = c.Pending.Count != 0 ? 6 : 5;
    if (c.State != 6) {
      c.StopWaiting = true;
      EndTransfer(c);
      return;
    }
  }
}

// Proxy controls alive, so that a release posted for one that its owner freed
// meanwhile is dropped. Modeless acquisitions may run on several threads.
std::mutex gLiveLock;
std::set<TIEProxyWin*>& LiveProxies() {
  static std::set<TIEProxyWin*> live;
  return live;
}
bool IsLive(TIEProxyWin* proxy) {
  std::lock_guard<std::mutex> lock(gLiveLock);
  return LiveProxies().count(proxy) != 0;
}

// A window of the thread that frees proxy controls outside their own handling.
LRESULT ReaperProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  static const UINT release = RegisterWindowMessage("TIEProxyWinRelease");
  if (msg != release) return DefWindowProc(hWnd, msg, wParam, lParam);
  auto* proxy = reinterpret_cast<TIEProxyWin*>(lParam);
  if (IsLive(proxy)) delete proxy;
  return 0;
}

HWND Reaper() {
  thread_local HWND reaper = 0;
  if (reaper != 0 && IsWindow(reaper)) return reaper;
  static const bool registered = [] {
    WNDCLASS wc;
    wc.lpfnWndProc = &ReaperProc;
    wc.lpszClassName = "TIEProxyWinReaper";
    RegisterClass(&wc);
    return true;
  }();
  (void)registered;
  reaper = CreateWindowEx(0, "TIEProxyWinReaper", "", 0, 0, 0, 0, 0, 0, 0, 0, nullptr);
  return reaper;
}

void ReleaseLater(TIEProxyWin* proxy) {
  static const UINT release = RegisterWindowMessage("TIEProxyWinRelease");
  PostMessage(Reaper(), release, 0, reinterpret_cast<LPARAM>(proxy));
}

void ModalLoop(TIETWConnection& c) {
  c.StopWaiting = false;
  MSG msg;
  while (c.State > 4 && !c.ImageAcquired && !c.StopWaiting && GetMessage(&msg, 0, 0, 0)) {
    if (ProcessEvent(c, msg)) continue;
    try {
      TranslateMessage(&msg);
      DispatchMessage(&msg);
    } catch (...) {
    }
  }
  c.StopWaiting = false;
}

void CloseModeless(TIETWConnection* c) {
  DisableSource(*c);
  CloseSource(*c);
  CloseManager(*c);
  ReleaseManager(*c, true);
  TIETWCloseCallBack closed = std::move(c->CloseCallBack);
  if (c->ProxyControl != nullptr) c->ProxyControl->Connection = nullptr;
  delete c;
  if (closed) closed();
}

}  // namespace

namespace imscan {

bool ProcessEvent(TIETWConnection& c, MSG& msg) {
  if (c.State < 5) return false;
  TW_EVENT event;
  event.pEvent = &msg;
  event.TWMessage = MSG_NULL;
  Call(c, &c.SourceId, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
  const bool taken = c.LastRC == TWRC_DSEVENT;
  switch (event.TWMessage) {
    case MSG_XFERREADY:
      if (c.Transferring) break;
      c.Transferring = true;
      c.State = 6;
      if (c.Multi) {
        TransferPages(c);
      } else {
        TransferImage(c);
      }
      if (c.EndRequested) DisableSource(c);
      c.Transferring = false;
      break;
    case MSG_CLOSEDSREQ:
      DisableSource(c);
      // A modeless acquisition ends: its control goes once this message is handled.
      if (!c.Modal && c.ProxyControl != nullptr) ReleaseLater(c.ProxyControl);
      break;
    default: break;
  }
  return taken;
}

}  // namespace imscan

TIEProxyWin::TIEProxyWin(TComponent* Owner, TIETWConnection* Connection)
    : TWinControl(Owner), Connection(Connection) {
  std::lock_guard<std::mutex> lock(gLiveLock);
  LiveProxies().insert(this);
}

TIEProxyWin::~TIEProxyWin() {
  {
    std::lock_guard<std::mutex> lock(gLiveLock);
    LiveProxies().erase(this);
  }
  if (Connection != nullptr) {
    TIETWConnection* c = Connection;
    Connection = nullptr;
    c->ProxyControl = nullptr;
    CloseModeless(c);
  }
}

void TIEProxyWin::WndProc(TMessage& message) {
  if (Connection != nullptr && Connection->State >= 5) {
    MSG msg;
    msg.hwnd = HandleAllocated() ? GetHandle() : 0;
    msg.message = message.Msg;
    msg.wParam = message.WParam;
    msg.lParam = message.LParam;
    if (ProcessEvent(*Connection, msg)) return;
  }
  TWinControl::WndProc(message);
}

bool IETW_Acquire(TIEBitmap* Bitmap, bool Multi, TIETWMultiCallBack MultiCallBack, TIETWainParams* Params,
                  TIOParamsVals* IOParams, TProgressRec* Progress, PIETWainShared Shared, HWND Window) {
  TIETWConnection c;
  InitConnection(c, Window, Shared);
  c.Modal = true;
  c.ImageAcquired = false;
  c.UIHidden = !Params->VisibleDialog;
  c.Multi = Multi;
  c.Params = Params;
  c.IOParams = IOParams;
  c.Destination = Bitmap;
  c.MemoryTransfer = Params->GetBufferedTransfer();
  c.MultiCallBack = std::move(MultiCallBack);
  c.Progress = Progress;
  SetAppStrings(c, Params);
  GetProxyWindow(c, Window);
  if (LoadManager(c)) {
    if (!OpenManager(c, c.ProxyWindow)) {
      ReleaseManager(c, false);
    } else if (!OpenSource(c)) {
      CloseManager(c);
      ReleaseManager(c, false);
    } else {
      Negotiate(c);
      if (!EnableSource(c, c.ProxyWindow)) {
        CloseSource(c);
        CloseManager(c);
        ReleaseManager(c, false);
      } else {
        EnableWindow(c.ProxyWindow, FALSE);
        try {
          ModalLoop(c);
        } catch (...) {
        }
        EnableWindow(c.ProxyWindow, TRUE);
        DisableSource(c);
        CloseSource(c);
        CloseManager(c);
        ReleaseManager(c, false);
        if (Bitmap != nullptr && c.ImageAcquired && Bitmap->GetPixelFormat() == ie1g && c.Invert1Bit)
          _Negative1BitEx(Bitmap);
      }
    }
  }
  Reactivate(c);
  return c.ImageAcquired;
}

void* IETWAINAcquireOpen(TIETWCloseCallBack CloseCallBack, TIETWMultiCallBack MultiCallBack, TIETWainParams* Params,
                         PIETWainShared Shared, TIOParamsVals* IOParams, TWinControl* Parent) {
  auto* c = new TIETWConnection;
  InitConnection(*c, Parent != nullptr && Parent->HandleAllocated() ? Parent->GetHandle() : 0, Shared);
  c->ImageAcquired = false;
  c->UIHidden = !Params->VisibleDialog;
  c->Params = Params;
  c->Modal = false;
  c->IOParams = IOParams;
  c->MemoryTransfer = Params->GetBufferedTransfer();
  c->MultiCallBack = std::move(MultiCallBack);
  c->Progress = nullptr;
  c->Multi = true;
  c->CloseCallBack = std::move(CloseCallBack);
  SetAppStrings(*c, Params);
  auto* proxy = new TIEProxyWin(Parent, c);
  proxy->SetParent(Parent);
  c->ProxyControl = proxy;
  const HWND window = proxy->GetHandle();
  bool sourceOpened = false;
  bool managerOpened = false;
  bool ok = LoadManager(*c);
  if (ok) ok = managerOpened = OpenManager(*c, window);
  if (ok) ok = sourceOpened = OpenSource(*c);
  if (ok) {
    Negotiate(*c);
    ok = EnableSource(*c, window);
  }
  if (ok) return c;
  if (sourceOpened) CloseSource(*c);
  if (managerOpened) CloseManager(*c);
  ReleaseManager(*c, false);
  delete proxy;  // runs the closing sequence and the close callback
  return nullptr;
}

void IETWAINAcquireClose(void*& Handle) {
  auto* c = static_cast<TIETWConnection*>(Handle);
  Handle = nullptr;
  if (c == nullptr) return;
  if (c->ProxyControl != nullptr) {
    delete c->ProxyControl;
  } else {
    CloseModeless(c);
  }
}
