// Searching the document and printing it.
#include <cstring>

#include "html/ProfDHTMLEdit.h"
#include "html/ProfDHTMLEditCommandsInternal.h"
#include "platform/ole/Stream.h"
#include "platform/win/GlobalMemory.h"

using namespace mshtml;
using namespace profcmd;

namespace {

constexpr Integer kFindWholeWord = 2;
constexpr Integer kFindMatchCase = 4;

Integer FindFlags(bool wholeWord, bool matchCase) {
  return (wholeWord ? kFindWholeWord : 0) + (matchCase ? kFindMatchCase : 0);
}

bool RunWithOption(TCustomProfDHTMLEdit* control, DWORD id, DWORD option) {
  return WithDocument(control, false, [&](THtmlDocument& d, Document&) { return IdExec(d, id, option); });
}

bool Enabled(TCustomProfDHTMLEdit* control, DWORD id) {
  return WithDocument(control, false, [id](THtmlDocument& d, Document&) { return IdEnabled(d, id); });
}

}  // namespace

bool TCustomProfDHTMLEdit::CanDisplayFindDialog() { return Enabled(this, IDM_FIND); }
bool TCustomProfDHTMLEdit::FindDialog() { return RunWithOption(this, IDM_FIND, OLECMDEXECOPT_DODEFAULT); }

bool TCustomProfDHTMLEdit::Find(const WideString& Text, bool WholeWord, bool MatchCase) {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return false;
  bool found = false;
  try {
    Document& m = *ModelOf(document);
    std::unique_ptr<TextRange> range = m.CreateTextRange();
    found = range->FindText(Text, 0, FindFlags(WholeWord, MatchCase));
    if (found) m.GetSelection()->Select(*range);
  } catch (...) {
    found = false;
  }
  if (found) {
    FFindText = Text;
    FFindWholeWord = WholeWord;
    FFindMatchCase = MatchCase;
  } else {
    FFindText.clear();
    FFindWholeWord = FFindMatchCase = false;
  }
  return found;
}

bool TCustomProfDHTMLEdit::FindNext() {
  if (FFindText.empty()) return false;
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return false;
  bool found = false;
  try {
    Document& m = *ModelOf(document);
    const Integer start = GetSelStart();
    std::unique_ptr<TextRange> range = m.CreateTextRange();
    range->MoveStart(u"character", start + 1);
    found = range->FindText(FFindText, 0, FindFlags(FFindWholeWord, FFindMatchCase));
    if (found) m.GetSelection()->Select(*range);
  } catch (...) {
    found = false;
  }
  if (!found) {
    FFindText.clear();
    FFindWholeWord = FFindMatchCase = false;
  }
  return found;
}

bool TCustomProfDHTMLEdit::CanPrint() { return Enabled(this, IDM_PRINT); }
bool TCustomProfDHTMLEdit::Print() { return RunWithOption(this, IDM_PRINT, OLECMDEXECOPT_DONTPROMPTUSER); }
bool TCustomProfDHTMLEdit::PrintDialog() { return RunWithOption(this, IDM_PRINT, OLECMDEXECOPT_PROMPTUSER); }
bool TCustomProfDHTMLEdit::CanDisplayPrintPreviewDialog() { return Enabled(this, IDM_PRINTPREVIEW); }
bool TCustomProfDHTMLEdit::PrintPreviewDialog() {
  return RunWithOption(this, IDM_PRINTPREVIEW, OLECMDEXECOPT_DODEFAULT);
}
bool TCustomProfDHTMLEdit::CanDisplayPageSetupDialog() { return Enabled(this, IDM_PAGESETUP); }
bool TCustomProfDHTMLEdit::PageSetupDialog() { return RunWithOption(this, IDM_PAGESETUP, OLECMDEXECOPT_DODEFAULT); }

bool TCustomProfDHTMLEdit::PrintWithHeaderAndFooter(const WideString& Header, const WideString& Footer,
                                                    const AnsiString& HeaderHTML, bool ShowPrintDialog) {
  THtmlDocument document;
  if (!GetDOM(document)) return false;
  auto target = document.As<IOleCommandTarget>();
  if (!target) return false;
  // The header markup up to its first zero byte.
  const std::string bytes(HeaderHTML.c_str(), std::strlen(HeaderHTML.c_str()));
  ComPtr<IStream> stream;
  if (!bytes.empty()) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes.size());
    if (!block) return false;
    if (FAILED(CreateStreamOnHGlobal(block, TRUE, stream.ReleaseAndGetAddressOf()))) {
      GlobalFree(block);
      return false;
    }
    ULONG written = 0;
    if (FAILED(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written)) ||
        FAILED(stream->Seek(0, STREAM_SEEK_SET, nullptr)))
      return false;
  }
  SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, stream ? 3 : 2);
  if (!array) return false;
  bool printed = false;
  try {
    OleVariant items[3] = {OleVariant(Header), OleVariant(Footer),
                           stream ? OleVariant(static_cast<IUnknown*>(stream.Get())) : OleVariant()};
    for (LONG i = 0; i < (stream ? 3 : 2); ++i) SafeArrayPutElement(array, &i, &items[i]);
    VARIANT in;
    VariantInit(&in);
    in.vt = VT_ARRAY | VT_VARIANT | VT_BYREF;
    in.pparray = &array;
    const DWORD option = ShowPrintDialog ? OLECMDEXECOPT_PROMPTUSER : OLECMDEXECOPT_DONTPROMPTUSER;
    printed = SUCCEEDED(target->Exec(&CGID_MSHTML, IDM_PRINT, option, &in, nullptr));
  } catch (...) {
    printed = false;
  }
  // The array is ours; the by-reference variant never owned it.
  SafeArrayDestroy(array);
  return printed;
}
