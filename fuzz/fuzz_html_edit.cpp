// The HTML control's editing commands run in any order on any small page with any
// selection. The input is a step count, the steps (command, selection start and
// length) and then the page's markup. No command crashes or raises; each step that
// changes the document is one undo step: undo gives back the body it started from,
// and redo the body it made (compared as markup reads back, see Normalized).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "html/ProfDHTMLEdit.h"
#include "platform/mshtml/TextRange.h"
#include "platform/mshtml/Undo.h"
#include "platform/ole/Com.h"
#include "platform/rtl/CodePage.h"
#include "platform/vcl/Application.h"
#include "platform/vcl/Forms.h"

namespace {

constexpr fuzzsupport::InvariantCheck Check("html edit");

using Step = std::function<void(TCustomProfDHTMLEdit*)>;

const std::vector<Step>& Steps() {
  static const std::vector<Step> steps = {
      [](auto* h) { h->ToggleBold(true); },
      [](auto* h) { h->ToggleItalic(false); },
      [](auto* h) { h->ToggleUnderline(true); },
      [](auto* h) { h->ToggleStrikeOut(false); },
      [](auto* h) { h->ToggleSubScript(); },
      [](auto* h) { h->SetSuperScript(true); },
      [](auto* h) { h->SetBold(true); },
      [](auto* h) { h->SetForeColor(clRed); },
      [](auto* h) { h->SetBackColor(clBtnFace); },
      [](auto* h) { h->SetFontName(u"Arial"); },
      [](auto* h) { h->SetFontHTMLSize(5); },
      [](auto* h) { h->RemoveFormat(); },
      [](auto* h) { h->ClearSelection(); },
      [](auto* h) { h->ToggleBullets(); },
      [](auto* h) { h->ToggleNumbering(); },
      [](auto* h) { h->SetParagraphStyle(u"Heading 2"); },
      [](auto* h) { h->SetParagraphStyle(u"Normal"); },
      [](auto* h) { h->IncreaseIndentation(); },
      [](auto* h) { h->DecreaseIndentation(); },
      [](auto* h) { h->SetJustify(JustifyRight); },
      [](auto* h) { h->InsertHorizontalLine(u"r"); },
      [](auto* h) { h->InsertLineBreak(u"", ClearLeft); },
      [](auto* h) { h->InsertNoBreakSpace(); },
      [](auto* h) { h->InsertImage(u"a.png"); },
      [](auto* h) { h->InsertComment(u"c -- d -->"); },
      [](auto* h) { h->InsertTextBox(u"t"); },
      [](auto* h) { h->ApplySpanClass(u"x\"y"); },
      [](auto* h) { h->ApplyDivClass(u"d"); },
      [](auto* h) { h->ToggleSpanClass(u"x"); },
      [](auto* h) { h->RemoveSpanClass(); },
      [](auto* h) { h->CreateHyperlink(u"http://x/", u"_top"); },
      [](auto* h) { h->ModifyHyperlink(u"b.html", u""); },
      [](auto* h) { h->RemoveHyperlink(); },
      [](auto* h) { h->InsertTable(2, 2, u"cap"); },
      [](auto* h) { h->TableInsertRow(); },
      [](auto* h) { h->TableDeleteRow(); },
      [](auto* h) { h->TableInsertColumn(); },
      [](auto* h) { h->TableDeleteColumn(); },
      [](auto* h) { h->TableInsertCell(); },
      [](auto* h) { h->TableDeleteCell(); },
      [](auto* h) { h->TableSplitCell(); },
      [](auto* h) { h->TableMergeCells(); },
      [](auto* h) { h->AlterTable(3, 1, u"t"); },
      [](auto* h) { h->AlterTable(-1, 2, u""); },
      [](auto* h) {
        TProfDHTMLEditTableAttrs attrs;
        attrs.Align = haCenter;
        h->SetTableAttrs(&attrs);
      },
      [](auto* h) {
        TProfDHTMLEditTableCellAttrs attrs;
        attrs.NoWrap = true;
        h->SetTableCellAttrs(&attrs);
      },
      [](auto* h) { h->Find(u"a", true, false); },
      [](auto* h) { h->SetLeftMargin(12); },
  };
  return steps;
}

struct World {
  std::unique_ptr<TForm> form;
  TProfDHTMLEdit* html = nullptr;
  bool created = false;
};

World& TheWorld() {
  static World* world = [] {
    auto* w = new World;
    OleInitialize(nullptr);
    w->form = std::make_unique<TForm>(nullptr);
    w->form->SetBounds(0, 0, 480, 320);
    w->html = new TProfDHTMLEdit(w->form.get());
    w->html->SetParent(w->form.get());
    w->html->SetBounds(0, 0, 460, 300);
    w->html->OnCreate = [w](TObject*) { w->created = true; };
    w->form->Show();
    for (int i = 0; i < 100000 && !w->created; ++i) Application->ProcessMessages();
    return w;
  }();
  return *world;
}

// The body's markup as it reads back after a parse: attribute names take the case
// markup gives them (an attribute set through the model keeps its own spelling, one
// restored from markup does not; HTML does not tell them apart).
WideString Normalized(const WideString& body) {
  mshtml::Document scratch;
  scratch.LoadHTML(u"<html><body>" + body + u"</body></html>");
  return scratch.GetBody()->GetInnerHTML();
}

void Settle() {
  for (int i = 0; i < 50; ++i) Application->ProcessMessages();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 4096) return 0;
  const size_t steps = data[0] % 8;
  if (size < 1 + 3 * steps) return 0;
  World& world = TheWorld();
  Check(world.created, "the control started");
  TProfDHTMLEdit* html = world.html;
  const std::string markup(reinterpret_cast<const char*>(data + 1 + 3 * steps), size - 1 - 3 * steps);
  html->SetSource(AnsiToWide(markup));
  Settle();
  mshtml::Document* doc = html->ReadDOM()->GetDocument();
  Check(doc != nullptr && doc->GetBody() != nullptr, "a document with a body");
  for (size_t i = 0; i < steps; ++i) {
    const uint8_t* step = data + 1 + 3 * i;
    const Step& run = Steps()[step[0] % Steps().size()];
    auto range = doc->CreateTextRange();
    const Integer units = range->GetUnitCount();
    const Integer start = units > 0 ? step[1] % (units + 1) : 0;
    range->SetRange(start, start + step[2] % 4);
    doc->GetSelection()->Select(*range);
    const WideString before = doc->GetBody()->GetInnerHTML();
    const int undoable = mshtml::UndoCount(*doc);
    run(html);
    Settle();
    const WideString after = doc->GetBody()->GetInnerHTML();
    if (after == before) continue;
    Check(mshtml::UndoCount(*doc) > 0 && (mshtml::UndoCount(*doc) > undoable || undoable == mshtml::kUndoDepth),
          "a change is an undo step");
    Check(html->Undo(), "undo runs");
    Check(Normalized(doc->GetBody()->GetInnerHTML()) == Normalized(before),
          "undo gives back the body before the step");
    Check(html->Redo(), "redo runs");
    Check(Normalized(doc->GetBody()->GetInnerHTML()) == Normalized(after), "redo gives back the body after the step");
  }
  return 0;
}
