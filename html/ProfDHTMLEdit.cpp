// The HTML control class: construction, the update lock and the loading protocol.
#include "html/ProfDHTMLEdit.h"
#include "html/HtmlUtils.h"
#include "html/SourceFormatter.h"

#include "platform/rtl/CodePage.h"
#include "platform/rtl/Files.h"
#include "platform/vcl/Application.h"
#include "platform/vcl/Dialogs.h"
#include "platform/win/Messages.h"

namespace {

// Every title after the first is removed with its content.
WideString RemoveDuplicateTitles(WideString text) {
  const Integer first = WidePosI(u"<TITLE>", text);
  if (first == 0) return text;
  for (;;) {
    const Integer next = WidePosExI(u"<TITLE>", text, first + 1);
    if (next == 0) break;
    const Integer end = WidePosExI(u"</TITLE>", text, next);
    if (end == 0) break;
    text.erase(static_cast<size_t>(next - 1), static_cast<size_t>(end + 8 - next));
  }
  return text;
}

}  // namespace

HRESULT TProfDHTMLEditChangeSink::Notify() {
  if (!owner_ || inside_ || !owner_->OnChange) return S_OK;
  inside_ = true;
  try {
    owner_->OnChange(owner_);
  } catch (...) {
  }
  inside_ = false;
  return S_OK;
}

TCustomProfDHTMLEdit::TCustomProfDHTMLEdit(TComponent* owner)
    : TProfOleControl(owner), FTagsSubstitution(std::make_unique<TStringList>()) {
  ProfDHTMLEditStartup();
}

TCustomProfDHTMLEdit::~TCustomProfDHTMLEdit() {
  if (FChangeSink) FChangeSink->Detach();
  FChangeLog = nullptr;
  FChangeSink = nullptr;
  FLoadingDocument = nullptr;
  FResizeElement = nullptr;
}

void TCustomProfDHTMLEdit::ApplyControlStyle() {
  TControlStyle style = GetControlStyle();
  style = style - csNoStdEvents + csClickEvents;
  SetControlStyle(style);
}

void TCustomProfDHTMLEdit::Raise(const TNotifyEvent& event) {
  if (!event) return;
  try {
    event(this);
  } catch (...) {
  }
}

void TCustomProfDHTMLEdit::SetTimeout(double seconds) {
  if (seconds > 0) FTimeout = seconds;
}

// --- Update lock ------------------------------------------------------------------

Integer TCustomProfDHTMLEdit::BeginUpdate() {
  if (FUpdateCount == 0 && HandleAllocated()) Perform(WM_SETREDRAW, 0, 0);
  return ++FUpdateCount;
}

Integer TCustomProfDHTMLEdit::EndUpdate() {
  if (FUpdateCount <= 0) return FUpdateCount;
  if (--FUpdateCount == 0) {
    if (HandleAllocated()) Perform(WM_SETREDRAW, 1, 0);
    if (GetVisible()) {
      if (HWND window = GetWindowHandle()) InvalidateRect(window, nullptr, TRUE);
    }
  }
  return FUpdateCount;
}

// --- Loading ----------------------------------------------------------------------

bool TCustomProfDHTMLEdit::CallAndWait(const THtmlDocument& document, TProfDHTMLEditDocumentCompleteReason reason,
                                       TProfDHTMLEditPrivateMethod method, const WideString& param) {
  FLoadingDocument = document;
  try {
    FReason = reason;
    (this->*method)(param);
    // Elapsed time on the monotonic clock: a change of the wall clock neither cuts a
    // load short nor stretches it.
    const UInt64 start = GetTickCount64();
    const UInt64 limit = static_cast<UInt64>(FTimeout * 1000.0);
    while (GetBusy()) {
      WaitPass();
      if (!GetBusy()) break;
      if (GetTickCount64() - start <= limit) continue;
      FLoadingDocument = nullptr;
      if (reason == dcrTimeout) {
        // The blank document that replaces a timed-out load did not come either: give
        // up on it, so the control is not left waiting for a completion.
        FReason = dcrUndefined;
        return false;
      }
      RaiseTimeout();
      return false;
    }
    FLoadingDocument = nullptr;
    return true;
  } catch (Exception& e) {
    FReason = dcrUndefined;
    FLoadingDocument = nullptr;
    ShowMessage(e.Message());
    return false;
  }
}

bool TCustomProfDHTMLEdit::RaiseTimeout() {
  return CallAndWait(nullptr, dcrTimeout, &TCustomProfDHTMLEdit::private_NewDocument, {});
}

void TCustomProfDHTMLEdit::SetSource(const WideString& text) {
  THtmlDocument document;
  if (!GetDOM(document)) return;
  const WideString load = text.empty() ? WideString(u" ") : RemoveDuplicateTitles(text);
  const WideString base = GetBaseURL();
  if (!CallAndWait(document, dcrSetSource, &TCustomProfDHTMLEdit::private_SetSource, load)) return;
  if (!base.empty() && !CallAndWait(document, dcrSetSource3, &TCustomProfDHTMLEdit::private_SetBaseURL, base))
    return;
  Raise(OnSetSource);
}

bool TCustomProfDHTMLEdit::LoadURL(const WideString& url) {
  const WideString scheme = u"file://";
  if (WideSameText(url.substr(0, scheme.size()), scheme)) return false;
  if (FileExists(WideToAnsi(url))) return false;
  THtmlDocument document;
  if (!GetDOM(document)) return false;
  BeginUpdate();
  const bool done = CallAndWait(document, dcrLoadURL, &TCustomProfDHTMLEdit::private_LoadURL, url);
  EndUpdate();
  if (done) Raise(OnLoadURL);
  return done;
}

AnsiString TCustomProfDHTMLEdit::ResolvePath(const AnsiString& fileName) {
  if (!ExtractFilePath(fileName).empty()) return fileName;
  return ProgramFolder() + fileName;
}

bool TCustomProfDHTMLEdit::LoadFromFile(const AnsiString& fileName) {
  // The file tested is the file loaded: a bare name lives in the program folder.
  const AnsiString path = ResolvePath(fileName);
  if (fileName.empty() || !FileExists(path)) return false;
  THtmlDocument document;
  if (!GetDOM(document)) return false;
  if (!CallAndWait(document, dcrLoadFromFile, &TCustomProfDHTMLEdit::private_LoadFromFile, AnsiToWide(path)))
    return false;
  Raise(OnLoadFromFile);
  return true;
}

bool TCustomProfDHTMLEdit::Stop() {
  if (!FLoadingDocument) return false;
  return CallAndWait(FLoadingDocument, dcrStop, &TCustomProfDHTMLEdit::private_Stop, {});
}

void TCustomProfDHTMLEdit::private_Stop(const WideString&) {
  THtmlDocument document = std::move(FLoadingDocument);
  FLoadingDocument = nullptr;
  if (!document) return;
  mshtml::Document* doc = document->GetDocument();
  if (!doc) return;
  if (FUseExecStop) {
    mshtml::ExecCommand(*doc, u"Stop", false, nullptr, nullptr);
  } else if (auto target = document.As<IOleCommandTarget>()) {
    target->Exec(&mshtml::CGID_MSHTML, mshtml::IDM_STOP, OLECMDEXECOPT_DODEFAULT, nullptr, nullptr);
  }
}

void TCustomProfDHTMLEdit::SetBaseURL(const WideString& url) {
  THtmlDocument document;
  if (!GetDOM(document) || GetBaseURL() == url) return;
  CallAndWait(document, dcrSetBaseURL, &TCustomProfDHTMLEdit::private_SetBaseURL, url);
}

bool TCustomProfDHTMLEdit::UseSourceCodePreservation() {
  return FSourceLoaded && RuntimeSourceCodePreservation();
}

void TCustomProfDHTMLEdit::WaitPass() { Application->ProcessMessages(); }

bool TCustomProfDHTMLEdit::WaitForReason() {
  const UInt64 start = GetTickCount64();
  const UInt64 limit = static_cast<UInt64>(FTimeout * 1000.0);
  while (FReason != dcrUndefined) {
    WaitPass();
    if (FReason == dcrUndefined) break;
    if (GetTickCount64() - start > limit) return false;
  }
  return true;
}

// --- Source -----------------------------------------------------------------------

TSourceFormatContext TCustomProfDHTMLEdit::FormatContext() {
  TSourceFormatContext context;
  THtmlDocument document;
  if (GetDOM(document)) context.Document = document->GetDocument();
  context.Options = FSourceCodeOptions;
  context.BaseURL = GetBaseURL();
  for (Integer i = 0; i < FTagsSubstitution->GetCount(); ++i)
    context.TagsSubstitution.push_back(
        {AnsiToWide(FTagsSubstitution->Names(i)), AnsiToWide(FTagsSubstitution->ValueFromIndex(i))});
  context.UseSourceCodePreservation = UseSourceCodePreservation();
  context.EngineHTML = [this] { return GetHTML(); };
  context.MSSource = [this] { return MSSource(); };
  context.Title = [this] { return GetTitle(); };
  return context;
}

WideString TCustomProfDHTMLEdit::GetSource() { return TSourceFormatter(FormatContext()).GetSource(); }
WideString TCustomProfDHTMLEdit::GetHead() { return TSourceFormatter(FormatContext()).GetHead(); }
WideString TCustomProfDHTMLEdit::GetBody() { return TSourceFormatter(FormatContext()).GetBody(); }
