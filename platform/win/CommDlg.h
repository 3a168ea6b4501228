// The platform's common dialogs: choosing a file to open or a name to save under,
// and choosing a colour. Each is a real modal form of the framework (installed
// through platform/win/DialogHost.h) that browses the real file system; whether it
// goes on screen or is answered at once is up to the dialog responder
// (platform/win/SimHooks.h).
//
// A caller extends a file dialog as the platform lets it: a hook procedure that hears
// the dialog's notifications (WM_NOTIFY with an OFNOTIFY, codes CDN_*) in a child
// dialog of the file dialog, and a template for that child dialog whose items are
// placed with it. With no resource compiler, templates are records registered in code
// under a module and a name (RegisterDialogTemplate), or handed over directly with
// OFN_ENABLETEMPLATEHANDLE. A template item with the id stc32 marks where the
// dialog's own controls go; items right of it or below it move aside to make room.
// Without that item the template's area lies below the dialog's own controls.
// The hook answers the dialog through CDM_* messages sent to the child's parent, and
// refuses a name at CDN_FILEOK by a non-zero message result (SetWindowLong of
// DWL_MSGRESULT on the child dialog, or its answer to the notification).
#pragma once

#include <string>
#include <vector>

#include "platform/win/Messages.h"
#include "platform/win/Window.h"
#include "platform/win/WinTypes.h"

using UINT_PTR = uintptr_t;

// A dialog procedure, as hooks are: answers whether it handled the message.
using LPOFNHOOKPROC = UINT_PTR (*)(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam);
using LPCCHOOKPROC = LPOFNHOOKPROC;

// Window data of dialog windows (the child dialog a hook lives in): the result of a
// notification, the dialog procedure, and a value for the procedure's own use.
inline constexpr Integer DWL_MSGRESULT = 0;
inline constexpr Integer DWL_DLGPROC = 8;
inline constexpr Integer DWL_USER = 16;
inline constexpr Integer DLGWINDOWEXTRA = 24;

// What WM_NOTIFY carries.
struct NMHDR {
  HWND hwndFrom = 0;
  UINT_PTR idFrom = 0;
  UINT code = 0;
};

struct tagOFN {
  DWORD lStructSize = sizeof(tagOFN);
  HWND hwndOwner = 0;
  HINSTANCE hInstance = 0;
  // Pairs of description and pattern(s) separated by ';', each ended by a zero byte,
  // the list ended by another.
  const char* lpstrFilter = nullptr;
  char* lpstrCustomFilter = nullptr;
  DWORD nMaxCustFilter = 0;
  DWORD nFilterIndex = 0;  // 1-based; 0 takes the first
  // In: the initial name. Out: the chosen path, or with OFN_ALLOWMULTISELECT and more
  // than one name the folder and the names, each ended by a zero byte, the list by
  // another.
  char* lpstrFile = nullptr;
  DWORD nMaxFile = 0;
  char* lpstrFileTitle = nullptr;
  DWORD nMaxFileTitle = 0;
  const char* lpstrInitialDir = nullptr;
  const char* lpstrTitle = nullptr;
  DWORD Flags = 0;
  WORD nFileOffset = 0;     // out: where the name starts in lpstrFile
  WORD nFileExtension = 0;  // out: where its extension starts (0: none)
  const char* lpstrDefExt = nullptr;
  LPARAM lCustData = 0;
  LPOFNHOOKPROC lpfnHook = nullptr;
  const char* lpTemplateName = nullptr;
  void* pvReserved = nullptr;
  DWORD dwReserved = 0;
  DWORD FlagsEx = 0;
};
using OPENFILENAME = tagOFN;

// OPENFILENAME flags.
inline constexpr DWORD OFN_READONLY = 0x1;
inline constexpr DWORD OFN_OVERWRITEPROMPT = 0x2;
inline constexpr DWORD OFN_HIDEREADONLY = 0x4;
inline constexpr DWORD OFN_NOCHANGEDIR = 0x8;
inline constexpr DWORD OFN_SHOWHELP = 0x10;
inline constexpr DWORD OFN_ENABLEHOOK = 0x20;
inline constexpr DWORD OFN_ENABLETEMPLATE = 0x40;
inline constexpr DWORD OFN_ENABLETEMPLATEHANDLE = 0x80;
inline constexpr DWORD OFN_NOVALIDATE = 0x100;
inline constexpr DWORD OFN_ALLOWMULTISELECT = 0x200;
inline constexpr DWORD OFN_EXTENSIONDIFFERENT = 0x400;
inline constexpr DWORD OFN_PATHMUSTEXIST = 0x800;
inline constexpr DWORD OFN_FILEMUSTEXIST = 0x1000;
inline constexpr DWORD OFN_CREATEPROMPT = 0x2000;
inline constexpr DWORD OFN_SHAREAWARE = 0x4000;
inline constexpr DWORD OFN_NOREADONLYRETURN = 0x8000;
inline constexpr DWORD OFN_NOTESTFILECREATE = 0x10000;
inline constexpr DWORD OFN_NONETWORKBUTTON = 0x20000;
inline constexpr DWORD OFN_NOLONGNAMES = 0x40000;
inline constexpr DWORD OFN_EXPLORER = 0x80000;
inline constexpr DWORD OFN_NODEREFERENCELINKS = 0x100000;
inline constexpr DWORD OFN_ENABLEINCLUDENOTIFY = 0x400000;
inline constexpr DWORD OFN_ENABLESIZING = 0x800000;
inline constexpr DWORD OFN_EX_NOPLACESBAR = 0x1;

// What the file dialog's notifications carry.
struct OFNOTIFY {
  NMHDR hdr;
  OPENFILENAME* lpOFN = nullptr;
  char* pszFile = nullptr;
};

// Notifications to the hook (WM_NOTIFY codes).
inline constexpr UINT CDN_FIRST = static_cast<UINT>(-601);
inline constexpr UINT CDN_INITDONE = CDN_FIRST;
inline constexpr UINT CDN_SELCHANGE = CDN_FIRST - 1;
inline constexpr UINT CDN_FOLDERCHANGE = CDN_FIRST - 2;
inline constexpr UINT CDN_SHAREVIOLATION = CDN_FIRST - 3;
inline constexpr UINT CDN_HELP = CDN_FIRST - 4;
inline constexpr UINT CDN_FILEOK = CDN_FIRST - 5;
inline constexpr UINT CDN_TYPECHANGE = CDN_FIRST - 6;

// Messages to the file dialog (the parent of the hook's child dialog).
inline constexpr UINT CDM_FIRST = WM_USER + 100;
// wParam: buffer size, lParam: buffer. Answer the size the text needs with its
// terminator (copying nothing when the buffer is smaller), or a negative number.
inline constexpr UINT CDM_GETSPEC = CDM_FIRST + 0;       // the text of the name box
inline constexpr UINT CDM_GETFILEPATH = CDM_FIRST + 1;   // the full path of the name
inline constexpr UINT CDM_GETFOLDERPATH = CDM_FIRST + 2; // the folder shown
inline constexpr UINT CDM_GETFOLDERIDLIST = CDM_FIRST + 3;
inline constexpr UINT CDM_SETCONTROLTEXT = CDM_FIRST + 4;  // wParam: control id, lParam: text
inline constexpr UINT CDM_HIDECONTROL = CDM_FIRST + 5;     // wParam: control id
inline constexpr UINT CDM_SETDEFEXT = CDM_FIRST + 6;       // lParam: extension without dot

// The ids of the file dialog's own controls.
inline constexpr Integer chx1 = 0x410;   // open as read-only
inline constexpr Integer stc2 = 0x441;   // "Files of type:"
inline constexpr Integer stc3 = 0x442;   // "File name:"
inline constexpr Integer stc4 = 0x443;   // "Look in:"
inline constexpr Integer stc32 = 0x45f;  // a template's placeholder for these controls
inline constexpr Integer lst1 = 0x460;   // the folder's contents
inline constexpr Integer cmb1 = 0x470;   // the types
inline constexpr Integer cmb2 = 0x471;   // the folder and its parents
inline constexpr Integer cmb13 = 0x47c;  // the name box
inline constexpr Integer edt1 = 0x480;   // the name box (older number)
inline constexpr Integer IDC_UPFOLDER = 0x4a0;  // up one level
inline constexpr Integer pshHelp = 0x40e;       // "Help", with OFN_SHOWHELP

// The registered message (RegisterWindowMessage) a file dialog with OFN_SHOWHELP sends
// to its owner window when its "Help" button is pressed: wParam the dialog window,
// lParam its OPENFILENAME.
inline constexpr char HELPMSGSTRING[] = "commdlg_help";

// A dialog template made in code: a size in dialog units and items, as a resource
// script gives them. Dialog units are turned into pixels with the fixed base units of
// the dialog font (MapDialogRect).
struct DialogItemTemplate {
  std::string ClassName = "STATIC";  // a registered window class; "STATIC" is built in
  std::string Text;
  Integer Id = 0;
  DWORD Style = WS_CHILD | WS_VISIBLE;
  Integer X = 0, Y = 0, Cx = 0, Cy = 0;
};
struct DialogTemplate {
  DWORD Style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
  Integer Cx = 0, Cy = 0;
  std::vector<DialogItemTemplate> Items;
};
// Registers (or replaces) a template under a module and name, where
// OFN_ENABLETEMPLATE looks for it (hInstance, lpTemplateName).
void RegisterDialogTemplate(HINSTANCE instance, const std::string& name, DialogTemplate t);
// Registers the dialog class "#32770" and the system class "STATIC" (a text on the
// dialog face), once; the calls here do it themselves before they make windows.
void RegisterDialogClasses();
void UnregisterDialogTemplate(HINSTANCE instance, const std::string& name);
// The template registered under the name, or null.
const DialogTemplate* FindDialogTemplate(HINSTANCE instance, const std::string& name);

// Dialog units to pixels (4 horizontal units are 6 pixels, 8 vertical ones 13).
BOOL MapDialogRect(HWND hDlg, RECT* rect);
// A child dialog of `parent` made from a template: a window of the dialog class with
// the template's items as children. Its procedure calls `proc` first (the message
// result of WM_NOTIFY comes from DWL_MSGRESULT when proc handles it) and then the
// default handling; proc gets WM_INITDIALOG with initParam once the items exist.
HWND CreateChildDialog(HWND parent, const DialogTemplate& t, LPOFNHOOKPROC proc, LPARAM initParam);

// The dialog's children with the id, or 0.
HWND GetDlgItem(HWND hDlg, Integer id);

// Both answer TRUE when a name was chosen, FALSE for Cancel or a failure
// (CommDlgExtendedError tells which).
BOOL GetOpenFileName(OPENFILENAME* ofn);
BOOL GetSaveFileName(OPENFILENAME* ofn);

struct tagCHOOSECOLOR {
  DWORD lStructSize = sizeof(tagCHOOSECOLOR);
  HWND hwndOwner = 0;
  HWND hInstance = 0;
  COLORREF rgbResult = 0;     // in: the initial colour (CC_RGBINIT); out: the choice
  COLORREF* lpCustColors = nullptr;  // 16 custom colours, kept across calls by the caller
  DWORD Flags = 0;
  LPARAM lCustData = 0;
  LPCCHOOKPROC lpfnHook = nullptr;
  const char* lpTemplateName = nullptr;
};
using CHOOSECOLOR = tagCHOOSECOLOR;
inline constexpr DWORD CC_RGBINIT = 0x1;
inline constexpr DWORD CC_FULLOPEN = 0x2;
inline constexpr DWORD CC_PREVENTFULLOPEN = 0x4;
inline constexpr DWORD CC_SHOWHELP = 0x8;
inline constexpr DWORD CC_ENABLEHOOK = 0x10;
inline constexpr DWORD CC_SOLIDCOLOR = 0x80;
inline constexpr DWORD CC_ANYCOLOR = 0x100;

BOOL ChooseColor(CHOOSECOLOR* cc);

// Why the last dialog of the calling thread answered FALSE (0: cancelled).
DWORD CommDlgExtendedError();
inline constexpr DWORD CDERR_STRUCTSIZE = 0x0001;
inline constexpr DWORD CDERR_NOTEMPLATE = 0x0003;
inline constexpr DWORD CDERR_INITIALIZATION = 0x0002;
inline constexpr DWORD FNERR_BUFFERTOOSMALL = 0x3003;
inline constexpr DWORD FNERR_INVALIDFILENAME = 0x3002;
void SetCommDlgExtendedError(DWORD error);
