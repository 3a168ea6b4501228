// Printing a document: the document is laid out at the printable width of the page
// and cut into pages of the printable height; each page carries the header text at
// its top and the footer text at its bottom, in the margins. The system's printer
// writes the pages as pictures (platform/printer).
//
// Placeholders in the header and footer: "&p" the page number, "&P" the number of
// pages, "&w" the document's title, "&&" one "&"; any other "&" stays as written.
#include <algorithm>

#include "platform/mshtml/CommandsInternal.h"
#include "platform/mshtml/Layout.h"
#include "platform/printer/Printer.h"
#include "platform/rtl/CodePage.h"
#include "platform/win/GdiText.h"

namespace mshtml {

namespace {

// A document whose laid-out height would need more pages than this is cut there.
constexpr Integer kMaxPrintPages = 500;

WideString ExpandPlaceholders(const WideString& text, Integer page, Integer pages, const WideString& title) {
  WideString out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != u'&' || i + 1 >= text.size()) {
      out += text[i];
      continue;
    }
    const char16_t c = text[i + 1];
    if (c == u'p') out += AnsiToWide(std::to_string(page));
    else if (c == u'P') out += AnsiToWide(std::to_string(pages));
    else if (c == u'w') out += title;
    else if (c == u'&') out += u'&';
    else {
      out += text[i];
      continue;
    }
    ++i;
  }
  return out;
}

void DrawLine(HDC dc, const WideString& text, RECT box, UINT align) {
  if (text.empty()) return;
  const AnsiString narrow = WideToAnsi(text);
  DrawText(dc, narrow.c_str(), static_cast<Integer>(narrow.size()), &box,
           align | DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER | DT_END_ELLIPSIS);
}

}  // namespace

HRESULT PrintDocument(Document& document, const DialogRequest& request) {
  if (!larkprint::PrinterInstalled()) return E_FAIL;
  const WideString title = document.GetTitle();
  if (!larkprint::BeginJob(WideToAnsi(title.empty() ? WideString(u"Untitled") : title))) return E_FAIL;
  try {
    Integer pageWidth = 0, pageHeight = 0;
    larkprint::PageSizePixels(&pageWidth, &pageHeight);
    const larkprint::PrinterSettings settings = larkprint::CurrentSettings();
    // Half an inch all round; the header and footer stand in the top and bottom margins.
    const Integer marginX = settings.dpiX / 2, marginY = settings.dpiY / 2;
    const Integer width = std::max<Integer>(1, pageWidth - 2 * marginX);
    const Integer height = std::max<Integer>(1, pageHeight - 2 * marginY);
    Layout layout(&document);
    layout.SetViewport(width, height);
    layout.Update();
    const Integer extent = std::max<Integer>(1, layout.GetScrollHeight());
    const Integer pages = std::min<Integer>(kMaxPrintPages, (extent + height - 1) / height);
    const WideString header = request.PrintTexts.size() > 0 ? request.PrintTexts[0] : WideString();
    const WideString footer = request.PrintTexts.size() > 1 ? request.PrintTexts[1] : WideString();
    for (Integer page = 0; page < pages; ++page) {
      if (page > 0 && !larkprint::NewPage()) throw EOleSysError("page", E_FAIL);
      HDC dc = larkprint::JobDC();
      const Integer saved = SaveDC(dc);
      SetWindowOrgEx(dc, -marginX, -marginY, nullptr);
      const RECT clip{0, 0, width, height};
      IntersectClipRect(dc, 0, 0, width, height);
      layout.Paint(dc, clip, POINT{0, page * height});
      RestoreDC(dc, saved);
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, 0);
      DrawLine(dc, ExpandPlaceholders(header, page + 1, pages, title), RECT{marginX, 0, pageWidth - marginX, marginY},
               DT_LEFT);
      DrawLine(dc, ExpandPlaceholders(footer, page + 1, pages, title),
               RECT{marginX, pageHeight - marginY, pageWidth - marginX, pageHeight}, DT_LEFT);
    }
  } catch (...) {
    larkprint::AbortJob();
    return E_FAIL;
  }
  return larkprint::EndJob().empty() ? E_FAIL : S_OK;
}

}  // namespace mshtml
