// Editing commands run on any page with any selection (pages come from feeds, the
// clipboard's markup from anywhere). The input is a list of steps (command,
// selection start and length) and then the page's markup. Every command ends in a
// document within the depth bound that serializes and loads again; undoing every
// step gives back the body the steps started from.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/mshtml/Commands.h"
#include "platform/mshtml/TextRange.h"
#include "platform/mshtml/Undo.h"
#include "platform/ole/OleErrors.h"
#include "platform/ole/OleVariant.h"

namespace {

constexpr fuzzsupport::InvariantCheck Check("html commands");

struct Step {
  const char16_t* Name;
  const char16_t* Value;  // null: no value
};

const Step kSteps[] = {
    {u"Bold", nullptr},           {u"Italic", nullptr},
    {u"Underline", nullptr},      {u"StrikeThrough", nullptr},
    {u"SubScript", nullptr},      {u"SuperScript", nullptr},
    {u"ForeColor", u"#ff0000"},   {u"ForeColor", u""},
    {u"BackColor", u"yellow"},    {u"FontName", u"Arial"},
    {u"FontSize", u"5"},          {u"RemoveFormat", nullptr},
    {u"JustifyCenter", nullptr},  {u"JustifyNone", nullptr},
    {u"FormatBlock", u"Heading 2"}, {u"FormatBlock", u"Normal"},
    {u"FormatBlock", u"Formatted"}, {u"InsertOrderedList", nullptr},
    {u"InsertUnorderedList", nullptr}, {u"Indent", nullptr},
    {u"Outdent", nullptr},        {u"InsertParagraph", nullptr},
    {u"InsertHorizontalRule", u"r"}, {u"InsertImage", u"a.png"},
    {u"CreateLink", u"http://x/"}, {u"Unlink", nullptr},
    {u"Delete", nullptr},         {u"Cut", nullptr},
    {u"Copy", nullptr},           {u"Paste", nullptr},
    {u"DirRTL", nullptr},         {u"SelectAll", nullptr},
};

using namespace mshtml;

const DWORD kTableSteps[] = {DECMD_INSERTROW, DECMD_INSERTCOL, DECMD_DELETEROWS, DECMD_DELETECOLS,
                             DECMD_MERGECELLS, DECMD_SPLITCELL, DECMD_INSERTCELL, DECMD_DELETECELLS};

constexpr size_t kStepKinds = sizeof kSteps / sizeof kSteps[0] + sizeof kTableSteps / sizeof kTableSteps[0];

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (1u << 16)) return 0;
  const size_t steps = data[0] % 9;
  if (size < 1 + 3 * steps) return 0;
  const std::string markup(reinterpret_cast<const char*>(data + 1 + 3 * steps), size - 1 - 3 * steps);
  mshtml::Document doc;
  try {
    doc.LoadHTML(mshtml::Utf8ToWide(markup));
    // Settle the body: what undo writes back is read as a fragment of the body.
    doc.GetBody()->SetInnerHTML(doc.GetBody()->GetInnerHTML());
  } catch (const EOleSysError&) {
    return 0;
  }
  doc.SetDesignMode(u"on");
  const WideString before = doc.GetBody()->GetInnerHTML();
  for (size_t i = 0; i < steps; ++i) {
    const uint8_t* s = data + 1 + 3 * i;
    const Integer count = mshtml::TextRange(doc.GetBody()).GetUnitCount();
    mshtml::TextRange range(doc.GetBody());
    range.SetRange(s[1] % (count + 1), s[1] % (count + 1) + s[2] % 16);
    doc.GetSelection()->Select(range);
    const size_t kind = s[0] % kStepKinds;
    HRESULT hr;
    if (kind < sizeof kSteps / sizeof kSteps[0]) {
      const OleVariant value = kSteps[kind].Value ? OleVariant(kSteps[kind].Value) : OleVariant::Missing();
      hr = mshtml::ExecCommand(doc, kSteps[kind].Name, false, &value, nullptr);
    } else {
      hr = mshtml::Exec(doc, &mshtml::CGID_DHTMLEDIT, kTableSteps[kind - sizeof kSteps / sizeof kSteps[0]], 0,
                        nullptr, nullptr);
    }
    (void)hr;
    const mshtml::Element* body = doc.GetBody();
    Check(body != nullptr, "the body stays");
    mshtml::TextRange all(doc.GetBody());
    (void)all.GetText();
  }
  const WideString html = doc.GetHTML();
  mshtml::Document again;
  again.LoadHTML(html);
  Check(again.GetBody() != nullptr, "the edited document loads again");
  while (mshtml::Undo(doc)) {
  }
  Check(doc.GetBody()->GetInnerHTML() == before, "undoing every step gives back the body");
  return 0;
}
