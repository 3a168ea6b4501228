// The picture dialogs and the parameter dialog on a real X display (Xvfb started by
// the test): each is shown, its picture taken by xwd and cut to the dialog by
// ImageMagick, and kept as a PNG in the build folder for a person to look at.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "image/io/dadiravio.h"
#include "image/io/ieopensavedlg.h"
#include "image/io/iemio.h"
#include "image/io/iopreviews.h"
#include "image/views/iemview.h"
#include "platform/sim/Dialogs.h"
#include "platform/sim/Input.h"
#include "platform/vcl/Application.h"
#include "platform/win/CommDlg.h"
#include "platform/win/Window.h"
#include "platform/x11/X11Display.h"
#include "tests/image/io_test_util.h"
#include "tests/image/views/views_test_util.h"
#include "tests/support/XServer.h"

namespace {

using viewtest::Pump;

constexpr char kConvert[] = "convert-im6.q16";

// The window's rectangle of the screen, taken by xwd and cut out by ImageMagick.
bool Capture(const std::string& display, HWND window, const std::string& folder, const std::string& name) {
  Pump();
  larktest::PumpUntilIdle();
  larkx11::SyncX11Display();
  RECT r;
  GetWindowRect(window, &r);
  int code = -1;
  const std::string dump =
      larktest::RunCommand({larktest::RequireProgram("xwd"), "-root", "-silent", "-display", display}, &code);
  if (code != 0) return false;
  const std::string xwd = folder + name + ".xwd";
  std::ofstream(xwd, std::ios::binary) << dump;
  const std::string crop = std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) + "+" +
                           std::to_string(r.left) + "+" + std::to_string(r.top);
  larktest::RunCommand({larktest::RequireProgram(kConvert), "xwd:" + xwd, "-crop", crop, "+repage",
                        std::string(LARK_TEST_BINARY_DIR) + "/xvfb_" + name + ".png"},
                       &code);
  return code == 0;
}

class DialogsOnScreen : public io_test::IOTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Start(1024, 768, 24));
    ASSERT_TRUE(larkx11::UseX11Display(server_.Display()));
    (void)Application->GetHandle();
    sim::SetDialogEcho(false);
  }
  void TearDown() override {
    sim::SetDialogEcho(true);
    larkx11::CloseX11Display();
    larktest::PumpPending();
  }
  larktest::XvfbServer server_;
};

TEST_F(DialogsOnScreen, OpenSaveAndParameterDialogs) {
  const std::string root = Dir().substr(0, Dir().size() - 1);
  const std::string convert = larktest::RequireProgram(kConvert);
  int code = -1;
  larktest::RunCommand({convert, "rose:", "-resize", "240x160!", root + "/rose.jpg"}, &code);
  ASSERT_EQ(code, 0);
  larktest::RunCommand({convert, "-size", "60x40", "xc:orange", "xc:teal", "xc:purple", root + "/frames.gif"}, &code);
  ASSERT_EQ(code, 0);

  // The open dialog previewing a photograph, then a run of frames.
  TOpenDadirAvDialog open(nullptr);
  open.SetInitialDir(root);
  bool shots = true;
  sim::QueueDialogAction("Open", [&](HWND window) {
    Pump();
    for (const char* name : {"rose.jpg", "frames.gif"}) {
      auto* list = static_cast<TListBox*>(FindControl(GetDlgItem(window, lst1)));
      const Integer index = list->GetItems()->IndexOf(name);
      ASSERT_GE(index, 0);
      const RECT r = list->ItemRect(index);
      sim::Click(list->GetHandle(), r.left + 30, (r.top + r.bottom) / 2);
      Pump();
      shots = Capture(server_.Display(), window, Dir(),
                      std::string("open_") + (name[0] == 'r' ? "photo" : "frames")) && shots;
    }
    sim::PressKey(VK_ESCAPE);
    Pump();
  });
  EXPECT_FALSE(open.Execute());

  // The save dialog of a component, and its parameter dialog on the GIF page (full
  // pages, preview locked).
  TDadirAvIO io(nullptr);
  TIEBitmap picture;
  io.SetIEBitmap(&picture);
  io.LoadFromFile((root + "/rose.jpg").c_str());
  ASSERT_FALSE(io.GetAborting());
  io.SimplifiedParamsDialogs = false;
  io.PreviewsParams = TIOPreviewsParams{ioppDefaultLockPreview, ioppApplyButton};
  TSaveDadirAvDialog save(nullptr);
  save.SetInitialDir(root);
  save.SetAttachedDadirAvIO(&io);
  sim::QueueDialogAction("Save As", [&](HWND window) {
    Pump();
    auto* edit = static_cast<TEdit*>(FindControl(GetDlgItem(window, edt1)));
    edit->SetText("holiday.gif");
    Pump();
    shots = Capture(server_.Display(), window, Dir(), "save") && shots;
    sim::PressKey(VK_ESCAPE);
    Pump();
  });
  EXPECT_FALSE(save.Execute());

  TfIOPreviews* shown = nullptr;
  HWND steps = AllocateHWnd([&](TMessage& m) {
    if (m.Msg != WM_USER + 1 || shown == nullptr) return;
    Pump();
    shots = Capture(server_.Display(), shown->GetHandle(), Dir(), "parameters") && shots;
    sim::Click(shown->Button2->GetHandle(), 10, 10);
    Pump();
  });
  io.OnIOPreview = [&](TObject*, TForm* form) {
    shown = static_cast<TfIOPreviews*>(form);
    form->OnShow = [&, steps](TObject*) { PostMessage(steps, WM_USER + 1, 0, 0); };
  };
  EXPECT_FALSE(io.DoPreviews({ppGIF}));
  DeallocateHWnd(steps);

  // The compression dialog of an AVI save from the grid.
  viewtest::ViewForm<TDadirAvMView> grid(200, 150);
  TDadirAvMIO mio(nullptr);
  mio.SetAttachedMView(grid.view);
  const Integer idx = grid.view->AppendImage();
  grid.view->SetIEBitmap(idx, &picture);
  sim::QueueDialogAction("Video Compression", [&](HWND window) {
    Pump();
    shots = Capture(server_.Display(), window, Dir(), "avi_compression") && shots;
    sim::PressKey(VK_RETURN);
    Pump();
  });
  mio.SaveToFileAVI(root + "/clip.avi");
  EXPECT_FALSE(mio.GetAborting());
  EXPECT_TRUE(shots);
}

}  // namespace
