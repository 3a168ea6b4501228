// The HTML control's source formatter writes what the engine made of any document
// back as HTML, which the control reloads and saves. The first two bytes choose the
// formatter's options, the rest is the page. What the formatter writes, loaded into
// the engine again and formatted with the same options, must give the same text.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "html/SourceFormatter.h"
#include "platform/mshtml/Document.h"

namespace {

constexpr fuzzsupport::InvariantCheck Check("html format");

// Bounded work per input: the page is cut to this many bytes. (Indentation makes the
// text of a deeply nested page grow with the square of its depth.)
constexpr size_t kMaxPage = 8 * 1024;

Integer TreeDepth(const mshtml::Node* node) {
  Integer deepest = 0;
  std::vector<std::pair<const mshtml::Node*, Integer>> stack{{node, 0}};
  while (!stack.empty()) {
    auto [n, depth] = stack.back();
    stack.pop_back();
    if (depth > deepest) deepest = depth;
    for (const mshtml::Node* child : n->GetChildNodes()) stack.emplace_back(child, depth + 1);
  }
  return deepest;
}

void ReportDifference(const WideString& a, const WideString& b) {
  if (a == b) return;
  const std::string x = mshtml::WideToUtf8(a), y = mshtml::WideToUtf8(b);
  size_t i = 0;
  while (i < x.size() && i < y.size() && x[i] == y[i]) ++i;
  const size_t from = i > 200 ? i - 200 : 0;
  const std::string first = x.substr(from, 400), again = y.substr(from, 400);
  std::fprintf(stderr, "first: ");
  std::fwrite(first.data(), 1, first.size(), stderr);
  std::fprintf(stderr, "\nagain: ");
  std::fwrite(again.data(), 1, again.size(), stderr);
  std::fprintf(stderr, "\n");
}

// SVG and MathML: the parser does not always read their serialization back into the
// same tree (the engine's own serialization has the same limit), so they are skipped.
bool HasForeignContent(const std::string& bytes) {
  std::string lower = bytes;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower.find("<svg") != std::string::npos || lower.find("<math") != std::string::npos;
}

WideString Format(mshtml::Document& doc, TSourceCodeOptions options) {
  TSourceFormatContext context;
  context.Document = &doc;
  context.Options = options;
  context.BaseURL = u"/home/user/";
  return TSourceFormatter(context).GetSource();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  TSourceCodeOptions options;
  const unsigned bits = data[0] | (data[1] << 8);
  for (int i = 0; i <= AddNbsp; ++i)
    if (bits & (1u << i)) options.Include(static_cast<TSourceCodeOption>(i));
  const std::string page(reinterpret_cast<const char*>(data + 2), std::min(size - 2, kMaxPage));
  if (HasForeignContent(page)) return 0;

  mshtml::Document first;
  first.LoadBytes(page);
  if (TreeDepth(&first) >= mshtml::kMaxTreeDepth - 1) return 0;
  const WideString once = Format(first, options);
  Check(!once.empty(), "a document gives a source");

  mshtml::Document second;
  second.LoadHTML(once);
  const WideString twice = Format(second, options);
  // Where the engine reads its own serialization back into the same tree, the
  // formatter's text must come back exactly. Otherwise (some malformed markup reads
  // back into a different tree once; text kept as a processing instruction is read
  // back as a comment) it must settle after that reading.
  mshtml::Document engineCopy;
  engineCopy.LoadHTML(first.GetHTML());
  const bool engineStable = engineCopy.GetHTML() == first.GetHTML();
  if (engineStable && once.find(u"<?") == WideString::npos) {
    ReportDifference(once, twice);
    Check(once == twice, "the formatted source reads back into the same text");
  } else if (once != twice) {
    mshtml::Document third;
    third.LoadHTML(twice);
    const WideString thrice = Format(third, options);
    ReportDifference(twice, thrice);
    Check(twice == thrice, "the formatted source settles after one reading");
  }
  return 0;
}
