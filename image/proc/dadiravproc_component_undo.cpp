// TDadirAvProc: the undo and redo stacks of image snapshots.
#include "image/model/iebitmap.h"
#include "image/proc/dadiravproc.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Strings.h"

namespace {

// Index i counted from the newest of count entries, as a vector position.
size_t FromNewest(Integer i, size_t count) {
  if (i < 0) throw EListError("List index out of bounds (" + IntToStr(i) + ")");
  return count - 1 - static_cast<size_t>(i);
}

}  // namespace

void TDadirAvProc::Push(std::vector<std::unique_ptr<TIEBitmap>>& entries,
                        std::vector<AnsiString>& captions, std::unique_ptr<TIEBitmap> entry) {
  while (!entries.empty() && static_cast<Integer>(entries.size()) >= undoLimit_) {
    entries.erase(entries.begin());
    captions.erase(captions.begin());
  }
  entries.push_back(std::move(entry));
  captions.emplace_back();
}

bool TDadirAvProc::SaveEntry(std::vector<std::unique_ptr<TIEBitmap>>& entries,
                             std::vector<AnsiString>& captions, TIEUndoSource source) {
  // Selection entries belong to a view's selection; without a view there is none.
  if (source != ieuImage || ieBitmap_ == nullptr) return false;
  Rewrap();
  if (ieBitmap_->GetWidth() <= 0 || ieBitmap_->GetHeight() <= 0) return false;
  auto entry = std::make_unique<TIEBitmap>();
  entry->SetLocation(undoLocation_);
  entry->Assign(ieBitmap_);
  Push(entries, captions, std::move(entry));
  return true;
}

void TDadirAvProc::RestoreEntry(std::vector<std::unique_ptr<TIEBitmap>>& entries, Integer i) {
  if (ieBitmap_ == nullptr) return;
  Rewrap();
  if (i < 0) FromNewest(i, entries.size());
  if (i >= static_cast<Integer>(entries.size())) return;
  ieBitmap_->Assign(entries[FromNewest(i, entries.size())].get());
  Update();
}

void TDadirAvProc::SaveUndo(TIEUndoSource source) { SaveEntry(undo_, undoCaptions_, source); }

void TDadirAvProc::SaveUndoCaptioned(const AnsiString& caption, TIEUndoSource source) {
  if (SaveEntry(undo_, undoCaptions_, source)) undoCaptions_.back() = caption;
}

void TDadirAvProc::SaveRedo(TIEUndoSource source) { SaveEntry(redo_, redoCaptions_, source); }

void TDadirAvProc::SaveRedoCaptioned(const AnsiString& caption, TIEUndoSource source) {
  if (SaveEntry(redo_, redoCaptions_, source)) redoCaptions_.back() = caption;
}

void TDadirAvProc::Undo() { UndoAt(0); }
void TDadirAvProc::UndoAt(Integer i) { RestoreEntry(undo_, i); }
void TDadirAvProc::Redo() { RedoAt(0); }
void TDadirAvProc::RedoAt(Integer i) { RestoreEntry(redo_, i); }

TIEUndoSource TDadirAvProc::UndoPeekAt(Integer i) const {
  return i >= 0 && i < GetUndoCount() ? ieuImage : ieuUnknown;
}

TIEUndoSource TDadirAvProc::RedoPeekAt(Integer i) const {
  return i >= 0 && i < GetRedoCount() ? ieuImage : ieuUnknown;
}

void TDadirAvProc::ClearUndo() {
  if (undo_.empty()) return;
  undo_.pop_back();
  undoCaptions_.pop_back();
}

void TDadirAvProc::ClearRedo() {
  if (redo_.empty()) return;
  redo_.pop_back();
  redoCaptions_.pop_back();
}

void TDadirAvProc::ClearUndoAt(Integer i) {
  const size_t pos = FromNewest(i, undo_.size());
  if (i >= GetUndoCount()) return;
  undo_.erase(undo_.begin() + static_cast<std::ptrdiff_t>(pos));
  undoCaptions_.erase(undoCaptions_.begin() + static_cast<std::ptrdiff_t>(pos));
}

void TDadirAvProc::ClearAllUndo() {
  undo_.clear();
  undoCaptions_.clear();
}

void TDadirAvProc::ClearAllRedo() {
  redo_.clear();
  redoCaptions_.clear();
}

AnsiString TDadirAvProc::GetUndoCaptions(Integer i) const {
  if (i < 0 || i >= GetUndoCount()) return AnsiString();
  return undoCaptions_[FromNewest(i, undoCaptions_.size())];
}

void TDadirAvProc::SetUndoCaptions(Integer i, const AnsiString& caption) {
  if (i < 0 || i >= GetUndoCount()) return;
  undoCaptions_[FromNewest(i, undoCaptions_.size())] = caption;
}

AnsiString TDadirAvProc::GetRedoCaptions(Integer i) const {
  if (i < 0 || i >= GetRedoCount()) return AnsiString();
  return redoCaptions_[FromNewest(i, redoCaptions_.size())];
}
