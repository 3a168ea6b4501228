// HTML from feeds and files reaches the editing engine's document model as bytes of
// any kind. Loading must end in a document, and the engine's serialization must be
// stable: what it writes, loaded again, is written the same way.
#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/mshtml/Document.h"
#include "platform/ole/OleErrors.h"

namespace {

constexpr fuzzsupport::InvariantCheck Check("html load");

// The deepest node below the document, without recursion.
Integer TreeDepth(const mshtml::Node* root) {
  Integer deepest = 0;
  std::vector<std::pair<const mshtml::Node*, Integer>> stack{{root, 0}};
  while (!stack.empty()) {
    auto [node, depth] = stack.back();
    stack.pop_back();
    deepest = std::max(deepest, depth);
    for (const mshtml::Node* child : node->GetChildNodes()) stack.emplace_back(child, depth + 1);
  }
  return deepest;
}

// Shows where two serializations part, before the check ends the run.
void ReportDifference(const WideString& a, const WideString& b) {
  if (a == b) return;
  const std::string x = mshtml::WideToUtf8(a), y = mshtml::WideToUtf8(b);
  size_t i = 0;
  while (i < x.size() && i < y.size() && x[i] == y[i]) ++i;
  const size_t from = i > 200 ? i - 200 : 0;
  const std::string first = x.substr(from, 300), again = y.substr(from, 300);
  std::fprintf(stderr, "first: ");
  std::fwrite(first.data(), 1, first.size(), stderr);
  std::fprintf(stderr, "\nagain: ");
  std::fwrite(again.data(), 1, again.size(), stderr);
  std::fprintf(stderr, "\n");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  mshtml::Document first;
  first.LoadBytes(bytes);
  Check(first.GetDocumentElement() && first.GetHead() && first.GetBody(), "a document has HTML, HEAD and BODY");
  const WideString once = first.GetHTML();

  mshtml::Document second;
  second.LoadHTML(once);
  const WideString twice = second.GetHTML();
  const Integer depth = TreeDepth(&first);
  Check(depth <= mshtml::kMaxTreeDepth, "the tree keeps to the depth bound");
  // Markup nested past the bound was flattened into a tree the parser itself would not
  // build, so only shallower documents must read back exactly.
  if (depth >= mshtml::kMaxTreeDepth - 1) return 0;
  // Mis-nested markup (forms in paragraphs, content put before tables, items in
  // items), SVG and MathML included, what the engine writes reads back as the same
  // document.
  ReportDifference(once, twice);
  Check(once == twice, "the serialization reads back the same");

  // The body's markup, written back into the body, keeps the body's serialization.
  const WideString body = second.GetBody()->GetInnerHTML();
  second.GetBody()->SetInnerHTML(body);
  ReportDifference(body, second.GetBody()->GetInnerHTML());
  Check(second.GetBody()->GetInnerHTML() == body, "the body's markup survives an innerHTML write");
  (void)second.GetBody()->GetInnerText();
  return 0;
}
