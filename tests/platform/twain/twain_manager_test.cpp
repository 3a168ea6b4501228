// The data source manager as an application sees it through DSM_Entry: finding its
// library, the states of a session, capability containers, events posted to the
// application's window, strips, packed DIBs, pending transfers and the dialogs.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/sim/Dialogs.h"
#include "platform/sim/Input.h"
#include "platform/sim/Screen.h"
#include "platform/vcl/Application.h"
#include "tests/support/Pump.h"
#include "platform/sim/Twain.h"
#include "platform/twain/Twain.h"
#include "platform/vcl/Forms.h"
#include "platform/win/CommDlg.h"
#include "platform/win/Messages.h"
#include "platform/win/Modules.h"
#include "platform/win/Window.h"
#include "tests/support/Scanners.h"

namespace {

using larktest::Bytes;
using larktest::Container;

std::string Name(const TW_IDENTITY& id) { return std::string(id.ProductName, strnlen(id.ProductName, 34)); }

// An application session: its identity, a window for the source's events, and the
// calls it makes.
class Session {
 public:
  Session() {
    RegisterDialogClasses();
    window = CreateWindowEx(0, "STATIC", "app", 0, 0, 0, 10, 10, 0, 0, 0, nullptr);
    app.ProtocolMajor = 1;
    app.ProtocolMinor = 9;
    app.SupportedGroups = DG_CONTROL | DG_IMAGE;
  }
  ~Session() { DestroyWindow(window); }
  TW_UINT16 Dsm(TW_UINT16 dat, TW_UINT16 msg, void* data) { return DSM_Entry(&app, nullptr, DG_CONTROL, dat, msg, data); }
  TW_UINT16 Src(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data) {
    return DSM_Entry(&app, &source, dg, dat, msg, data);
  }
  bool OpenManager() { return Dsm(DAT_PARENT, MSG_OPENDSM, &window) == TWRC_SUCCESS; }
  bool OpenSource(const std::string& name = "") {
    source = TW_IDENTITY{};
    std::memcpy(source.ProductName, name.data(), name.size());
    return Dsm(DAT_IDENTITY, MSG_OPENDS, &source) == TWRC_SUCCESS;
  }
  TW_UINT16 Enable(bool showUI) {
    TW_USERINTERFACE ui;
    ui.ShowUI = showUI ? 0xFFFF : 0;
    ui.ModalUI = 0xFFFF;
    ui.hParent = window;
    return Src(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
  }
  // Takes the window's posted messages through PROCESSEVENT until the source says
  // something; MSG_NULL when nothing came.
  TW_UINT16 NextEvent() {
    MSG msg;
    while (PeekMessage(&msg, window, 0, 0, PM_REMOVE)) {
      TW_EVENT event;
      event.pEvent = &msg;
      if (Src(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event) == TWRC_DSEVENT && event.TWMessage != MSG_NULL)
        return event.TWMessage;
    }
    return MSG_NULL;
  }
  TW_UINT16 GetCap(TW_UINT16 id, TW_CAPABILITY& cap) {
    cap = TW_CAPABILITY{};
    cap.Cap = id;
    cap.ConType = TWON_DONTCARE16;
    return Src(DG_CONTROL, DAT_CAPABILITY, MSG_GET, &cap);
  }
  TW_UINT16 SetCap(TW_UINT16 id, TW_UINT16 conType, const std::vector<uint8_t>& bytes) {
    TW_CAPABILITY cap;
    cap.Cap = id;
    cap.ConType = conType;
    cap.hContainer = Container(bytes);
    const TW_UINT16 rc = Src(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap);
    GlobalFree(cap.hContainer);
    return rc;
  }

  TW_IDENTITY app;
  TW_IDENTITY source;
  HWND window = 0;
};

class TwainManagerTest : public ::testing::Test {
 protected:
  larktest::ScannerWorld world;
};

TEST_F(TwainManagerTest, TheLibraryInTheWindowsFolderExportsTheEntry) {
  char folder[MAX_PATH];
  const UINT n = GetWindowsDirectoryA(folder, sizeof folder);
  EXPECT_EQ(std::string(folder, n), world.Dir() + "windows");
  char tiny[4] = "abc";
  EXPECT_EQ(GetWindowsDirectoryA(tiny, sizeof tiny), n + 1);
  EXPECT_STREQ(tiny, "abc");
  const HMODULE module = LoadLibrary((std::string(folder) + "/" + kTwainManagerFile).c_str());
  ASSERT_NE(module, 0u);
  EXPECT_EQ(reinterpret_cast<DSMENTRYPROC>(GetProcAddress(module, "DSM_Entry")), &DSM_Entry);
  FreeLibrary(module);
}

TEST_F(TwainManagerTest, SessionWalksTheStatesUpAndDown) {
  world.Add(larktest::Named("First"));
  world.Add(larktest::Named("Second"));
  Session s;
  TW_IDENTITY id;
  EXPECT_EQ(s.Dsm(DAT_IDENTITY, MSG_GETFIRST, &id), TWRC_FAILURE) << "no session yet";
  ASSERT_TRUE(s.OpenManager());
  EXPECT_NE(s.app.Id, 0u);
  EXPECT_EQ(sim::TwainState(), 3);
  std::vector<std::string> names;
  for (TW_UINT16 rc = s.Dsm(DAT_IDENTITY, MSG_GETFIRST, &id); rc == TWRC_SUCCESS;
       rc = s.Dsm(DAT_IDENTITY, MSG_GETNEXT, &id))
    names.push_back(Name(id));
  EXPECT_EQ(names, (std::vector<std::string>{"First", "Second"}));
  EXPECT_EQ(s.Dsm(DAT_IDENTITY, MSG_GETNEXT, &id), TWRC_ENDOFLIST);
  ASSERT_EQ(s.Dsm(DAT_IDENTITY, MSG_GETDEFAULT, &id), TWRC_SUCCESS);
  EXPECT_EQ(Name(id), "First");

  EXPECT_FALSE(s.OpenSource("Third"));
  ASSERT_TRUE(s.OpenSource("Second"));
  EXPECT_EQ(sim::TwainState(), 4);
  const TW_IDENTITY opened = s.source;
  EXPECT_FALSE(s.OpenSource("Second")) << "already open";
  s.source = opened;
  EXPECT_EQ(s.Dsm(DAT_PARENT, MSG_CLOSEDSM, &s.window), TWRC_FAILURE) << "a source is still open";
  // Enabled, capabilities can no longer be set and the source cannot be closed.
  ASSERT_EQ(s.Enable(false), TWRC_SUCCESS);
  EXPECT_EQ(sim::TwainState(), 5);
  EXPECT_EQ(s.SetCap(ICAP_PIXELTYPE, TWON_ONEVALUE, Bytes().u16(TWTY_UINT16).u32(TWPT_GRAY).b), TWRC_FAILURE);
  EXPECT_EQ(s.Dsm(DAT_IDENTITY, MSG_CLOSEDS, &s.source), TWRC_FAILURE);
  TW_USERINTERFACE ui;
  EXPECT_EQ(s.Src(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  EXPECT_EQ(s.Dsm(DAT_IDENTITY, MSG_CLOSEDS, &s.source), TWRC_SUCCESS);
  EXPECT_EQ(s.Dsm(DAT_PARENT, MSG_CLOSEDSM, &s.window), TWRC_SUCCESS);
  EXPECT_EQ(sim::TwainState(), 2);
}

// Containers the source answers in each of the four forms, and sets it takes.
TEST_F(TwainManagerTest, CapabilitiesInEveryContainerForm) {
  auto src = world.Add();
  Session s;
  ASSERT_TRUE(s.OpenManager());
  ASSERT_TRUE(s.OpenSource());
  struct Case {
    TW_UINT16 cap;
    TW_UINT16 conType;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {ICAP_PIXELTYPE, TWON_ENUMERATION, Bytes().u16(TWTY_UINT16).u32(3).u32(2).u32(0).u16(0).u16(1).u16(2).b},
      {ICAP_XRESOLUTION, TWON_RANGE, Bytes().u16(TWTY_FIX32).fix(50).fix(1200).fix(1).fix(100).fix(100).b},
      {ICAP_GAMMA, TWON_ONEVALUE, Bytes().u16(TWTY_FIX32).fix(2.2).b},
  };
  for (const Case& c : cases) {
    TW_CAPABILITY cap;
    ASSERT_EQ(s.GetCap(c.cap, cap), TWRC_SUCCESS) << c.cap;
    EXPECT_EQ(cap.ConType, c.conType) << c.cap;
    ASSERT_EQ(GlobalSize(cap.hContainer), c.bytes.size()) << c.cap;
    EXPECT_EQ(std::memcmp(GlobalLock(cap.hContainer), c.bytes.data(), c.bytes.size()), 0) << c.cap;
    GlobalUnlock(cap.hContainer);
    GlobalFree(cap.hContainer);
  }
  // An array answer, given as a script writes it.
  src->Caps[ICAP_SUPPORTEDSIZES] = larktwain::CapValue::Enum(TWTY_UINT16, {1, 2, 5}, 0);
  src->Caps[ICAP_SUPPORTEDSIZES].ConType = TWON_ARRAY;
  TW_CAPABILITY cap;
  ASSERT_EQ(s.GetCap(ICAP_SUPPORTEDSIZES, cap), TWRC_SUCCESS);
  EXPECT_EQ(cap.ConType, TWON_ARRAY);
  const std::vector<uint8_t> array = Bytes().u16(TWTY_UINT16).u32(3).u16(1).u16(2).u16(5).b;
  ASSERT_EQ(GlobalSize(cap.hContainer), array.size());
  EXPECT_EQ(std::memcmp(GlobalLock(cap.hContainer), array.data(), array.size()), 0);
  GlobalUnlock(cap.hContainer);
  GlobalFree(cap.hContainer);

  // Sets: a one value, an enumeration's current item, a range's current value;
  // values outside what the source offers, lying containers and unknown
  // capabilities are refused.
  EXPECT_EQ(s.SetCap(ICAP_PIXELTYPE, TWON_ONEVALUE, Bytes().u16(TWTY_UINT16).u32(TWPT_GRAY).b), TWRC_SUCCESS);
  EXPECT_EQ(src->Caps[ICAP_PIXELTYPE].CurrentValue(), TWPT_GRAY);
  EXPECT_EQ(s.SetCap(ICAP_PIXELTYPE, TWON_ENUMERATION, Bytes().u16(TWTY_UINT16).u32(2).u32(1).u32(0).u16(0).u16(2).b), TWRC_SUCCESS);
  EXPECT_EQ(src->Caps[ICAP_PIXELTYPE].CurrentValue(), TWPT_RGB);
  EXPECT_EQ(s.SetCap(ICAP_XRESOLUTION, TWON_RANGE, Bytes().u16(TWTY_FIX32).fix(50).fix(600).fix(1).fix(0).fix(300).b), TWRC_SUCCESS);
  EXPECT_DOUBLE_EQ(larktwain::WordFix32(src->Caps[ICAP_XRESOLUTION].CurrentValue()), 300.0);
  const Case refused[] = {
      {ICAP_PIXELTYPE, TWON_ONEVALUE, Bytes().u16(TWTY_UINT16).u32(7).b},
      {ICAP_XRESOLUTION, TWON_ONEVALUE, Bytes().u16(TWTY_FIX32).fix(2400).b},
      {ICAP_PIXELTYPE, TWON_ENUMERATION, Bytes().u16(TWTY_UINT16).u32(1000).u32(0).u32(0).u16(1).b},
      {ICAP_PIXELTYPE, TWON_ENUMERATION, Bytes().u16(TWTY_UINT16).u32(2).u32(5).u32(0).u16(1).u16(2).b},
      {ICAP_PIXELTYPE, TWON_ONEVALUE, Bytes().u16(TWTY_UINT16).b},
      {ICAP_PIXELTYPE, TWON_ONEVALUE, Bytes().u16(99).u32(1).b},
      {ICAP_PIXELTYPE, 42, Bytes().u16(TWTY_UINT16).u32(1).b},
      {ICAP_PHYSICALWIDTH, TWON_ONEVALUE, Bytes().u16(TWTY_FIX32).fix(3).b},
      {0x7777, TWON_ONEVALUE, Bytes().u16(TWTY_UINT16).u32(1).b},
  };
  for (size_t i = 0; i < std::size(refused); ++i)
    EXPECT_EQ(s.SetCap(refused[i].cap, refused[i].conType, refused[i].bytes), TWRC_FAILURE) << "case " << i;
  EXPECT_EQ(src->Caps[ICAP_PIXELTYPE].CurrentValue(), TWPT_RGB);
  s.Dsm(DAT_IDENTITY, MSG_CLOSEDS, &s.source);
  s.Dsm(DAT_PARENT, MSG_CLOSEDSM, &s.window);
}

// Enabled without its dialog the source posts its readiness to the window; the
// image comes in strips of whole rows, then as the last strip's XFERDONE.
TEST_F(TwainManagerTest, ReadinessIsPostedAndStripsFollow) {
  sim::TwainScript script;
  script.Pages = {larktest::Page(10, 25, 8), larktest::Page(3, 2, 24)};
  script.Pages[0].Caption = "page one";
  script.RowsPerStrip = 10;
  world.Add(script);
  Session s;
  ASSERT_TRUE(s.OpenManager());
  ASSERT_TRUE(s.OpenSource());
  ASSERT_EQ(s.Enable(false), TWRC_SUCCESS);
  ASSERT_EQ(s.NextEvent(), MSG_XFERREADY);
  EXPECT_EQ(sim::TwainState(), 6);
  TW_IMAGEINFO info;
  ASSERT_EQ(s.Src(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
  EXPECT_EQ(+info.ImageWidth, 10);
  EXPECT_EQ(+info.ImageLength, 25);
  EXPECT_EQ(+info.BitsPerPixel, 8);
  TW_SETUPMEMXFER setup;
  ASSERT_EQ(s.Src(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup), TWRC_SUCCESS);
  EXPECT_EQ(+setup.Preferred, 100u);
  HGLOBAL buffer = GlobalAlloc(GHND, setup.Preferred);
  std::vector<uint32_t> offsets, rows;
  TW_UINT16 rc;
  std::vector<uint8_t> image;
  do {
    TW_IMAGEMEMXFER x;
    x.Memory.Flags = TWMF_APPOWNS | TWMF_HANDLE;
    x.Memory.Length = setup.Preferred;
    x.Memory.TheMem = reinterpret_cast<TW_MEMREF>(buffer);
    rc = s.Src(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &x);
    ASSERT_TRUE(rc == TWRC_SUCCESS || rc == TWRC_XFERDONE) << rc;
    offsets.push_back(static_cast<uint32_t>(x.YOffset));
    rows.push_back(static_cast<uint32_t>(x.Rows));
    EXPECT_EQ(static_cast<uint32_t>(x.BytesWritten), static_cast<uint32_t>(x.Rows) * 10);
    auto* p = static_cast<uint8_t*>(GlobalLock(buffer));
    image.insert(image.end(), p, p + x.BytesWritten);
    GlobalUnlock(buffer);
  } while (rc == TWRC_SUCCESS);
  GlobalFree(buffer);
  EXPECT_EQ(offsets, (std::vector<uint32_t>{0, 10, 20}));
  EXPECT_EQ(rows, (std::vector<uint32_t>{10, 10, 5}));
  ASSERT_EQ(image.size(), 250u);
  for (int y = 0; y < 25; ++y)
    for (int x = 0; x < 10; ++x) ASSERT_EQ(image[static_cast<size_t>(y * 10 + x)], sim::TwainGrey(x, y, 0));
  TW_CAPABILITY caption;
  ASSERT_EQ(s.GetCap(CAP_CAPTION, caption), TWRC_SUCCESS);
  EXPECT_STREQ(static_cast<const char*>(GlobalLock(caption.hContainer)) + 2, "page one");
  GlobalUnlock(caption.hContainer);
  GlobalFree(caption.hContainer);
  // One page pending: the next is handed over natively, as a packed DIB.
  TW_PENDINGXFERS pending;
  ASSERT_EQ(s.Src(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_SUCCESS);
  EXPECT_EQ(+pending.Count, 1);
  EXPECT_EQ(sim::TwainState(), 6);
  TW_HANDLE dib = 0;
  ASSERT_EQ(s.Src(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &dib), TWRC_XFERDONE);
  const auto* p = static_cast<const uint8_t*>(GlobalLock(dib));
  int32_t w, h;
  uint16_t bits;
  std::memcpy(&w, p + 4, 4);
  std::memcpy(&h, p + 8, 4);
  std::memcpy(&bits, p + 14, 2);
  EXPECT_EQ(w, 3);
  EXPECT_EQ(h, 2);
  EXPECT_EQ(bits, 24);
  // Bottom-up rows of blue, green, red padded to 4 bytes: the top row is the last.
  const uint8_t* top = p + 40 + 12;
  EXPECT_EQ(top[0], sim::TwainBlue(0, 0, 1));
  EXPECT_EQ(top[1], sim::TwainGreen(0, 0, 1));
  EXPECT_EQ(top[2], sim::TwainRed(0, 0, 1));
  GlobalUnlock(dib);
  GlobalFree(dib);
  ASSERT_EQ(s.Src(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_SUCCESS);
  EXPECT_EQ(+pending.Count, 0);
  EXPECT_EQ(sim::TwainState(), 5);
}

// The source's dialog comes as an event too: Scan makes the source ready with the
// dialog's settings, Cancel asks to be closed.
TEST_F(TwainManagerTest, SourceDialogScansOrAsksToClose) {
  auto src = world.Add(larktest::Named("Flatbed"));
  Session s;
  ASSERT_TRUE(s.OpenManager());
  ASSERT_TRUE(s.OpenSource());
  ASSERT_EQ(s.Enable(true), TWRC_SUCCESS);
  sim::QueueDialogAnswer("Flatbed", mrOk, "mode=Gray;resolution=150;area=0,0,2,1");
  ASSERT_EQ(s.NextEvent(), MSG_XFERREADY);
  EXPECT_EQ(src->Caps[ICAP_PIXELTYPE].CurrentValue(), TWPT_GRAY);
  EXPECT_DOUBLE_EQ(larktwain::WordFix32(src->Caps[ICAP_XRESOLUTION].CurrentValue()), 150.0);
  EXPECT_DOUBLE_EQ(FIX32ToDouble(src->Layout.Frame.Right), 2.0);
  TW_PENDINGXFERS pending;
  ASSERT_EQ(s.Src(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending), TWRC_SUCCESS);
  TW_USERINTERFACE ui;
  ASSERT_EQ(s.Src(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  ASSERT_EQ(s.Enable(true), TWRC_SUCCESS);
  sim::QueueDialogAnswer("Flatbed", mrCancel);
  EXPECT_EQ(s.NextEvent(), MSG_CLOSEDSREQ);
  // Without a person nobody presses Scan.
  s.Src(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
  ASSERT_EQ(s.Enable(true), TWRC_SUCCESS);
  EXPECT_EQ(s.NextEvent(), MSG_CLOSEDSREQ);
  ASSERT_EQ(sim::DialogLog().size(), 3u);
  EXPECT_EQ(sim::DialogLog()[0].Caption, "Flatbed");
}

TEST_F(TwainManagerTest, SelectionDialogChoosesOrCancels) {
  world.Add(larktest::Named("Alpha"));
  world.Add(larktest::Named("Beta"));
  Session s;
  ASSERT_TRUE(s.OpenManager());
  TW_IDENTITY id;
  sim::QueueDialogAnswer("Select Source", mrOk, "Beta");
  ASSERT_EQ(s.Dsm(DAT_IDENTITY, MSG_USERSELECT, &id), TWRC_SUCCESS);
  EXPECT_EQ(Name(id), "Beta");
  EXPECT_NE(id.Id, 0u);
  sim::QueueDialogAnswer("Select Source", mrCancel);
  EXPECT_EQ(s.Dsm(DAT_IDENTITY, MSG_USERSELECT, &id), TWRC_CANCEL);
  s.Dsm(DAT_PARENT, MSG_CLOSEDSM, &s.window);
}

// Faults on cue: answers for ever, a single answer, an exception.
TEST_F(TwainManagerTest, FaultsAnswerInsteadOfTheManager) {
  world.Add();
  Session s;
  sim::AddTwainFault(larktest::Fault(DG_CONTROL, DAT_PARENT, MSG_OPENDSM, TWRC_FAILURE));
  EXPECT_FALSE(s.OpenManager());
  ASSERT_TRUE(s.OpenManager());
  sim::AddTwainFault(larktest::Fault(DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, TWRC_FAILURE, 0, -1));
  TW_IDENTITY id;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(s.Dsm(DAT_IDENTITY, MSG_GETNEXT, &id), TWRC_FAILURE);
  sim::ClearTwainFaults();
  sim::TwainFault raise = larktest::Fault(DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT);
  raise.Throw = true;
  sim::AddTwainFault(raise);
  EXPECT_THROW(s.Dsm(DAT_IDENTITY, MSG_GETDEFAULT, &id), Exception);
  EXPECT_EQ(sim::PendingTwainFaults(), 0);
  s.Dsm(DAT_PARENT, MSG_CLOSEDSM, &s.window);
}

}  // namespace

namespace {

// The two dialogs as a person sees them (pictures in the build folder).
TEST_F(TwainManagerTest, DialogsOnScreen) {
  world.Add(larktest::Named("Flatbed"));
  world.Add(larktest::Named("Sheet feeder"));
  const std::string folder = LARK_TEST_BINARY_DIR;
  (void)Application->GetHandle();  // the framework hosts the dialogs
  const auto pump = [] {
    Application->ProcessMessages();
    larktest::PumpUntilIdle();
    Application->ProcessMessages();
  };
  Session s;
  ASSERT_TRUE(s.OpenManager());
  bool shotSelect = false, shotSource = false;
  sim::QueueDialogAction("Select Source", [&](HWND dialog) {
    pump();
    shotSelect = sim::SaveWindowPng(dialog, folder + "/twain_select_source.png");
    sim::PressKey(VK_RETURN);
    pump();
  });
  TW_IDENTITY id;
  EXPECT_EQ(s.Dsm(DAT_IDENTITY, MSG_USERSELECT, &id), TWRC_SUCCESS) << "Enter selects";
  EXPECT_EQ(Name(id), "Flatbed");
  EXPECT_TRUE(shotSelect);
  ASSERT_TRUE(s.OpenSource("Flatbed"));
  ASSERT_EQ(s.Enable(true), TWRC_SUCCESS);
  sim::QueueDialogAction("Flatbed", [&](HWND dialog) {
    pump();
    shotSource = sim::SaveWindowPng(dialog, folder + "/twain_source_dialog.png");
    sim::PressKey(VK_ESCAPE);
    pump();
  });
  EXPECT_EQ(s.NextEvent(), MSG_CLOSEDSREQ) << "Escape cancels";
  EXPECT_TRUE(shotSource);
}

}  // namespace
