// Markup pasted into a text range of a page (the control's InsertHTML and the
// editing commands do so with text from users and feeds). The paste ends in a
// document within the depth bound, whose units and serialization can be read and
// which loads again.
#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/mshtml/Document.h"
#include "platform/mshtml/TextRange.h"
#include "platform/ole/OleErrors.h"

namespace {

constexpr fuzzsupport::InvariantCheck Check("html paste");

const char kPage[] =
    "<font face=Arial size=2><table width=\"100%\"><tr><td><b>Show</b><br><font size=2>Some "
    "<i>notes</i><p>More <a href=http://x.org/>link</a></p><pre>  kept\n</pre><ul><li>one<li>two</ul>"
    "<img src=a.png> end</td></tr></table>";

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > (1u << 18)) return 0;
  mshtml::Document doc;
  doc.LoadHTML(mshtml::Utf8ToWide(kPage));
  auto range = doc.CreateTextRange();
  const Integer count = range->GetUnitCount();
  range->SetRange(data[0] % (count + 1), data[0] % (count + 1) + data[1] % 8);
  const std::string markup(reinterpret_cast<const char*>(data + 2), size - 2);
  try {
    range->PasteHTML(mshtml::Utf8ToWide(markup));
  } catch (const EOleSysError&) {
    // A paste the engine refuses (too deep) leaves a document all the same.
  }
  Check(TreeDepth(&doc) <= mshtml::kMaxTreeDepth, "the tree keeps to the depth bound");
  Check(range->GetStart() <= range->GetUnitCount(), "the range lies within the units");
  (void)range->GetText();
  (void)range->GetHtmlText();
  const WideString html = doc.GetHTML();
  mshtml::Document again;
  again.LoadHTML(html);
  Check(again.GetBody() != nullptr, "the pasted document loads again");
  return 0;
}
