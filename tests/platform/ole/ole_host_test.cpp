#include "platform/ole/OleHost.h"

#include <gtest/gtest.h>

#include "platform/ole/OleFont.h"
#include "platform/ole/OleVariant.h"
#include "platform/win/Input.h"

namespace {

TEST(OleFont, KeepsItsPropertiesForBothInterfaces) {
  FONTDESC desc;
  OLECHAR name[] = u"Arial";
  desc.lpstrName = name;
  desc.cySize.int64 = 100000;  // 10 points
  desc.sWeight = 700;
  desc.fItalic = TRUE;
  ComPtr<IFont> font;
  ASSERT_EQ(OleCreateFontIndirect(&desc, IID_IFont, font.ReleaseAndGetVoidAddress()), S_OK);
  BOOL bold = FALSE;
  EXPECT_EQ(font->get_Bold(&bold), S_OK);
  EXPECT_TRUE(bold);
  BSTR got = nullptr;
  ASSERT_EQ(font->get_Name(&got), S_OK);
  EXPECT_EQ(BstrToWide(got), u"Arial");
  SysFreeString(got);

  // The same properties through IFontDisp.
  ComPtr<IFontDisp> disp = font.As<IFontDisp>();
  ASSERT_TRUE(disp);
  EXPECT_TRUE(IsSameObject(disp.Get(), font.Get()));
  DISPPARAMS none;
  OleVariant size;
  ASSERT_EQ(disp->Invoke(DISPID_FONT_SIZE, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &size, nullptr, nullptr), S_OK);
  EXPECT_EQ(size.vt, VT_CY);
  EXPECT_EQ(size.AsDouble(), 10.0);
  OleVariant italic;
  ASSERT_EQ(disp->Invoke(DISPID_FONT_ITALIC, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &italic, nullptr, nullptr),
            S_OK);
  EXPECT_TRUE(italic.AsBool());
  OleVariant newName(u"Courier New");
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS setName{&newName, &put, 1, 1};
  EXPECT_EQ(disp->Invoke(DISPID_FONT_NAME, IID_NULL, 0, DISPATCH_PROPERTYPUT, &setName, nullptr, nullptr, nullptr),
            S_OK);
  OleVariant unused;
  EXPECT_EQ(disp->Invoke(99, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &unused, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);

  ComPtr<IFont> copy;
  ASSERT_EQ(font->Clone(copy.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(font->IsEqual(copy.Get()), S_OK);
  copy->put_Underline(TRUE);
  EXPECT_EQ(font->IsEqual(copy.Get()), S_FALSE);

  HFONT gdi = 0;
  ASSERT_EQ(font->get_hFont(&gdi), S_OK);
  EXPECT_NE(gdi, 0u);
  HFONT again = 0;
  font->get_hFont(&again);
  EXPECT_EQ(again, gdi);  // kept while the properties stay

  ComPtr<IFont> standard;
  ASSERT_EQ(OleCreateFontIndirect(nullptr, IID_IFont, standard.ReleaseAndGetVoidAddress()), S_OK);
  CY points{};
  standard->get_Size(&points);
  EXPECT_EQ(points.int64, 80000);
}

// A view that records what it was asked to draw.
class View final : public ComObject<IViewObject> {
 public:
  RECTL drawn{};
  HDC dc = 0;
  DWORD aspect = 0;
  HRESULT Draw(DWORD a, LONG, void*, DVTARGETDEVICE*, HDC, HDC d, const RECTL* bounds, const RECTL*,
               BOOL (*)(uintptr_t), uintptr_t) override {
    aspect = a;
    dc = d;
    drawn = *bounds;
    return S_OK;
  }
  HRESULT GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE**) override { return E_NOTIMPL; }
  HRESULT Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
  HRESULT Unfreeze(DWORD) override { return E_NOTIMPL; }
  HRESULT SetAdvise(DWORD, DWORD, IAdviseSink*) override { return E_NOTIMPL; }
  HRESULT GetAdvise(DWORD*, DWORD*, IAdviseSink**) override { return E_NOTIMPL; }
};

class NoView final : public ComObject<IOleWindow> {
 public:
  HRESULT GetWindow(HWND* w) override {
    *w = 0;
    return E_FAIL;
  }
  HRESULT ContextSensitiveHelp(BOOL) override { return S_OK; }
};

TEST(OleLibrary, DrawsThroughTheViewAndChecksMenusAndKeys) {
  ComPtr<View> view = MakeComObject<View>();
  const RECT bounds{1, 2, 33, 34};
  EXPECT_EQ(OleDraw(view.Get(), DVASPECT_CONTENT, 0x55, &bounds), S_OK);
  EXPECT_EQ(view->aspect, DVASPECT_CONTENT);
  EXPECT_EQ(view->dc, 0x55u);
  EXPECT_EQ(view->drawn.right, 33);
  EXPECT_EQ(OleDraw(nullptr, DVASPECT_CONTENT, 0x55, &bounds), E_INVALIDARG);
  ComPtr<NoView> noView = MakeComObject<NoView>();
  EXPECT_EQ(OleDraw(noView.Get(), DVASPECT_CONTENT, 0x55, &bounds), E_NOINTERFACE);

  EXPECT_EQ(OleSetMenuDescriptor(0, 0, 0, nullptr, nullptr), S_OK);
  EXPECT_EQ(OleSetMenuDescriptor(0x1234, 0, 0, nullptr, nullptr), E_INVALIDARG);

  const ACCEL entries[] = {{FVIRTKEY, 0x4B, 7}, {FVIRTKEY | FALT, 0x54, 8}, {FVIRTKEY | FCONTROL, 0x53, 9},
                           {0, 'q', 10}};
  const HACCEL table = CreateAcceleratorTable(entries, 4);
  ASSERT_NE(table, 0u);
  struct KeyCase {
    UINT message;
    WPARAM key;
    LPARAM data;
    BOOL expected;
    Word command;
  };
  const KeyCase keys[] = {
      {WM_KEYDOWN, 0x4B, 0, TRUE, 7},          {WM_KEYDOWN, 0x4C, 0, FALSE, 0},
      {0x0104 /* WM_SYSKEYDOWN */, 0x54, 0x20000000, TRUE, 8}, {WM_KEYDOWN, 0x54, 0, FALSE, 0},
      {WM_KEYDOWN, 0x53, 0, FALSE, 0},          {WM_CHAR, 'q', 0, TRUE, 10},
      {WM_KEYUP, 0x4B, 0, FALSE, 0},
  };
  for (const KeyCase& k : keys) {
    MSG msg;
    msg.message = k.message;
    msg.wParam = k.key;
    msg.lParam = k.data;
    Word command = 0;
    EXPECT_EQ(IsAccelerator(table, 4, &msg, &command), k.expected) << k.message << " " << k.key;
    EXPECT_EQ(command, k.command);
  }
  MSG msg;
  msg.message = WM_KEYDOWN;
  msg.wParam = 0x4B;
  EXPECT_EQ(IsAccelerator(table, 0, &msg, nullptr), FALSE);
  EXPECT_EQ(IsAccelerator(0, 4, &msg, nullptr), FALSE);
  EXPECT_EQ(DestroyAcceleratorTable(table), TRUE);
  EXPECT_EQ(IsAccelerator(table, 4, &msg, nullptr), FALSE);
}

// Shift and Ctrl are read as they were when the key's message was taken, so an entry
// with Ctrl answers Ctrl+S and not S, and a plain entry does not answer Ctrl+K.
TEST(OleLibrary, AcceleratorsHonourShiftAndCtrlOfTheKeyTaken) {
  WNDCLASS wc{};
  wc.lpfnWndProc = DefWindowProc;
  wc.lpszClassName = "AccelTarget";
  RegisterClass(&wc);
  const HWND w = CreateWindowEx(0, "AccelTarget", "", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, 0, 0, 0, nullptr);
  ASSERT_NE(w, HWND(0));
  SetFocus(w);
  const ACCEL entries[] = {{FVIRTKEY, 0x4B, 1},
                           {FVIRTKEY | FCONTROL, 0x53, 2},
                           {FVIRTKEY | FSHIFT, 0x53, 3},
                           {FVIRTKEY | FCONTROL | FSHIFT, 0x53, 4}};
  const HACCEL table = CreateAcceleratorTable(entries, 4);
  struct Chord {
    std::vector<Byte> held;
    Byte key;
    Word command;  // 0: no entry answers
  };
  const Chord chords[] = {{{}, 0x4B, 1},
                          {{VK_CONTROL}, 0x4B, 0},
                          {{}, 0x53, 0},
                          {{VK_CONTROL}, 0x53, 2},
                          {{VK_SHIFT}, 0x53, 3},
                          {{VK_CONTROL, VK_SHIFT}, 0x53, 4}};
  for (const Chord& c : chords) {
    for (Byte vk : c.held) keybd_event(vk, 0, 0, 0);
    keybd_event(c.key, 0, 0, 0);
    keybd_event(c.key, 0, KEYEVENTF_KEYUP, 0);
    for (auto vk = c.held.rbegin(); vk != c.held.rend(); ++vk) keybd_event(*vk, 0, KEYEVENTF_KEYUP, 0);
    Word answered = 0;
    MSG msg;
    while (PeekMessage(&msg, 0, 0, 0, PM_REMOVE)) {
      Word command = 0;
      if (msg.message == WM_KEYDOWN && msg.wParam == c.key && IsAccelerator(table, 4, &msg, &command)) {
        answered = command;
      }
      DispatchMessage(&msg);
    }
    EXPECT_EQ(answered, c.command) << "key " << int(c.key) << " with " << c.held.size() << " held";
  }
  DestroyAcceleratorTable(table);
  DestroyWindow(w);
}

}  // namespace
