// A form holding one HTML control, shown and pumped until the control has raised
// OnCreate, with helpers to reach the engine's document and to move the mouse over
// an element the way a person would.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "html/ProfDHTMLEdit.h"
#include "platform/mshtml/Layout.h"
#include "platform/ole/Com.h"
#include "platform/rtl/CodePage.h"
#include "platform/sim/Input.h"
#include "platform/vcl/Forms.h"
#include "tests/support/Pump.h"

namespace htmltest {

inline WideString W(const std::string& s) { return AnsiToWide(s); }
inline std::string U(const WideString& s) { return WideToAnsi(s); }

class HtmlControlTest : public testing::Test {
 protected:
  void SetUp() override {
    // Each test starts in a fresh world (COM too): the unit's start-up ran once for
    // the process, so the thread joins OLE again here.
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(20, 20, 640, 480);
    html = MakeControl(form.get());
    html->SetParent(form.get());
    html->SetBounds(8, 8, 600, 420);
    html->SetTimeout(30);
    html->OnCreate = [this](TObject*) { ++creates; };
    html->OnMouseMove = [this](TObject*, TShiftState, Integer x, Integer y) {
      moves.push_back({x, y});
      lastHref = html->HrefAtPoint(x, y);
      hrefs.push_back(lastHref);
    };
    html->OnChange = [this](TObject*) { ++changes; };
    form->Show();
    ASSERT_TRUE(larktest::PumpUntil([&] { return creates > 0; })) << "the control never raised OnCreate";
    ASSERT_TRUE(larktest::PumpUntilIdle());
  }
  // The control the form holds; a test may hand in one of its own kind.
  virtual TProfDHTMLEdit* MakeControl(TComponent* owner) { return new TProfDHTMLEdit(owner); }
  void TearDown() override {
    form.reset();
    larktest::PumpUntilIdle();
    OleUninitialize();
  }

  mshtml::Document* Doc() {
    THtmlDocument document = html->ReadDOM();
    return document ? document->GetDocument() : nullptr;
  }
  mshtml::Layout* Lay() {
    THtmlDocument document = html->ReadDOM();
    return document ? document->GetLayout() : nullptr;
  }
  // The first element with the tag whose text (or src) holds the needle.
  mshtml::Element* Find(const char16_t* tag, const std::string& needle = {}) {
    for (mshtml::Element* e : Doc()->GetElementsByTagName(tag)) {
      const std::string text = U(e->GetInnerText()) + U(e->GetAttribute(u"src").value_or(WideString()));
      if (needle.empty() || text.find(needle) != std::string::npos) return e;
    }
    return nullptr;
  }
  // The middle of the element's first box, in the document window's client area.
  POINT Middle(mshtml::Element* element) {
    const std::vector<RECT> rects = Lay()->GetClientRects(element);
    if (rects.empty()) return POINT{-1, -1};
    return POINT{(rects[0].left + rects[0].right) / 2, (rects[0].top + rects[0].bottom) / 2};
  }
  // Moves the mouse to a client point of the document window and lets the control
  // handle what follows.
  void MoveTo(POINT p) {
    sim::MoveMouse(html->GetWindowHandle(), p.x, p.y);
    ASSERT_TRUE(larktest::PumpUntilIdle());
  }
  // Loads a page and waits until the engine is idle.
  void Load(const std::string& page) {
    html->SetSource(W(page));
    ASSERT_TRUE(larktest::PumpUntilIdle());
  }

  std::unique_ptr<TForm> form;
  TProfDHTMLEdit* html = nullptr;
  int creates = 0;
  int changes = 0;
  std::vector<POINT> moves;
  std::vector<WideString> hrefs;
  WideString lastHref;
};

}  // namespace htmltest
