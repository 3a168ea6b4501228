// The DHTML editing component: an OLE control, created by its class id, that holds one
// HTML document, shows it in a window of its own inside the host's window and lets a
// person edit it there.
//
// What a host sees:
// - IOleObject, IOleInPlaceObject, IOleInPlaceActiveObject, IOleControl,
//   IPersistStreamInit (the component's own settings), IOleCommandTarget,
//   IConnectionPointContainer (the events below, and IPropertyNotifySink) and
//   IDHTMLEdit, the editing interface, whose IDispatch reads and writes the
//   properties by DISPID.
// - Loads never finish inside the call that asks for them: the request sets Busy
//   (DISPID 33) and the work runs when the message loop next runs. Then the new
//   content replaces the document, the document's readyState becomes "complete",
//   onreadystatechange fires, Busy turns false, DocumentComplete fires, and one
//   DisplayChanged follows on a later pass of the loop. Switching the document's
//   designMode, and changing BrowseMode or the base address, reload in the same way
//   (a designMode switch keeps the content as it is).
// - The document (the DOM property) answers IHTMLDocument2, which hands out the
//   document model itself, its layout and the event being dispatched; IOleWindow
//   (the window that shows it); IOleCommandTarget; IPersistStreamInit (its markup:
//   UTF-16 with its byte-order mark on save; UTF-16, UTF-8 or 8-bit text on load);
//   and IMarkupContainer2, whose change logs notify their sink once per edit.
// - Mouse and key input in the component's window become the document's DHTML events
//   (fired as events 5 to 15 through the connection point). A handler reads and
//   writes the event object: returnValue false cancels the default action, a new
//   keyCode replaces the key. The default actions (in design mode only): a typed
//   character goes in at the caret; Enter ends the paragraph (a P, or a DIV with
//   UseDivOnCarriageReturn, where the text is not in a block yet), Shift+Enter puts
//   in a line break; Backspace and Delete remove the character (or join two
//   paragraphs); the arrows, Home and End move the caret; a click places the caret
//   or selects the image or table under it as a control; a right click or the menu
//   key asks for the context menu (ShowContextMenu with the client point, (0, 0) for
//   the key).
// - Files and addresses: local files, file: addresses and about:blank. Any other
//   address fails with INET_E_RESOURCE_NOT_FOUND and starts nothing; nothing is ever
//   fetched and no script runs.
#pragma once

#include <functional>
#include <optional>

#include "platform/mshtml/Commands.h"
#include "platform/mshtml/Document.h"
#include "platform/mshtml/Layout.h"
#include "platform/ole/ConnectionPoints.h"
#include "platform/ole/OleAuto.h"
#include "platform/ole/OleHost.h"

namespace mshtml {

inline constexpr CLSID CLSID_DHTMLEdit = MakeGuid("{2D360200-FFF5-11D1-8D03-00A0C959BC0A}");
// The component's outgoing event interface (a dispatch interface).
inline constexpr IID DIID_DHTMLEditEvents = MakeGuid("{588D5040-CF28-11D1-8CD3-00A0C959BC0A}");
inline constexpr IID IID_IDHTMLEdit = MakeGuid("{CE04B591-2B1F-11D2-8D1E-00A0C959BC0A}");
inline constexpr IID IID_IHTMLDocument2 = MakeGuid("{332C4425-26CB-11D0-B483-00C04FD90119}");
inline constexpr IID IID_IHTMLChangeSink = MakeGuid("{6A1D5E02-3F0B-4C61-9E2A-7B4C1D2E3F01}");
inline constexpr IID IID_IHTMLChangeLog = MakeGuid("{6A1D5E02-3F0B-4C61-9E2A-7B4C1D2E3F02}");
inline constexpr IID IID_IMarkupContainer2 = MakeGuid("{6A1D5E02-3F0B-4C61-9E2A-7B4C1D2E3F03}");
// The command groups (the engine's CGID_MSHTML and the component's own CGID_DHTMLEDIT)
// are the command table's (Commands.h).

// Properties of the component by DISPID.
inline constexpr DISPID DISPID_DHTMLEDIT_SHOWDETAILS = 11;
inline constexpr DISPID DISPID_DHTMLEDIT_SHOWBORDERS = 12;
inline constexpr DISPID DISPID_DHTMLEDIT_APPEARANCE = 13;
inline constexpr DISPID DISPID_DHTMLEDIT_SCROLLBARS = 14;
inline constexpr DISPID DISPID_DHTMLEDIT_SCROLLBARAPPEARANCE = 15;
inline constexpr DISPID DISPID_DHTMLEDIT_SOURCECODEPRESERVATION = 16;
inline constexpr DISPID DISPID_DHTMLEDIT_DOCUMENTHTML = 17;
inline constexpr DISPID DISPID_DHTMLEDIT_ISDIRTY = 22;
inline constexpr DISPID DISPID_DHTMLEDIT_CURRENTDOCUMENTPATH = 23;
inline constexpr DISPID DISPID_DHTMLEDIT_BASEURL = 24;
inline constexpr DISPID DISPID_DHTMLEDIT_DOCUMENTTITLE = 25;
inline constexpr DISPID DISPID_DHTMLEDIT_BROWSEMODE = 26;
inline constexpr DISPID DISPID_DHTMLEDIT_USEDIVONCR = 30;
inline constexpr DISPID DISPID_DHTMLEDIT_BUSY = 33;

// Events of the component by DISPID. DHTML events carry no arguments (their details
// are in the document's event object); ShowContextMenu carries (xPos, yPos) and
// ContextMenuAction (itemIndex), as 32-bit integers.
enum : DISPID {
  DISPID_EV_DOCUMENTCOMPLETE = 1,
  DISPID_EV_DISPLAYCHANGED = 2,
  DISPID_EV_SHOWCONTEXTMENU = 3,
  DISPID_EV_CONTEXTMENUACTION = 4,
  DISPID_EV_ONMOUSEDOWN = 5,
  DISPID_EV_ONMOUSEMOVE = 6,
  DISPID_EV_ONMOUSEUP = 7,
  DISPID_EV_ONMOUSEOUT = 8,
  DISPID_EV_ONMOUSEOVER = 9,
  DISPID_EV_ONCLICK = 10,
  DISPID_EV_ONDBLCLICK = 11,
  DISPID_EV_ONKEYDOWN = 12,
  DISPID_EV_ONKEYPRESS = 13,
  DISPID_EV_ONKEYUP = 14,
  DISPID_EV_ONBLUR = 15,
  DISPID_EV_ONREADYSTATECHANGE = 16,
};

// An address the component will not fetch (anything but about:blank and local
// files), or a file that is not there.
inline constexpr HRESULT INET_E_RESOURCE_NOT_FOUND = static_cast<HRESULT>(0x800C0005);

// The window's current event, as a handler of a DHTML event reads and writes it.
struct EventObject {
  WideString Type;               // "mousedown", "keypress", ...
  Element* SrcElement = nullptr;  // the element under the mouse, or at the caret for keys
  Integer KeyCode = 0;           // writable: a new value replaces the key
  bool AltKey = false;
  bool CtrlKey = false;
  bool ShiftKey = false;
  Integer Button = 0;            // 1 left, 2 right, 4 middle
  Integer ClientX = 0;           // in the document window's client area
  Integer ClientY = 0;
  Integer X = 0;                 // the same, as x and y give it
  Integer Y = 0;
  std::optional<bool> ReturnValue;  // writable: false cancels the default action
};

// The editing interface.
struct IDHTMLEdit : IDispatch {
  static constexpr const IID& Uuid() noexcept { return IID_IDHTMLEdit; }
  // The document as an IDispatch (it answers IHTMLDocument2); E_UNEXPECTED while none.
  virtual HRESULT get_DOM(IDispatch** document) = 0;
  // Starts loading an empty document (its body "<P>&nbsp;</P>").
  virtual HRESULT NewDocument() = 0;
  virtual HRESULT LoadURL(const OLECHAR* url) = 0;
  // path: a text; promptUser: a Boolean, or omitted (VT_ERROR / DISP_E_PARAMNOTFOUND)
  // for false. With promptUser true the component asks in the platform's open or save
  // dialog, starting from path (a folder and pattern open the folder); cancelled: S_OK.
  virtual HRESULT LoadDocument(VARIANT* path, VARIANT* promptUser) = 0;
  virtual HRESULT SaveDocument(VARIANT* path, VARIANT* promptUser) = 0;
  // The component's own commands (group CGID_DHTMLEDIT).
  virtual HRESULT ExecCommand(DWORD id, DWORD option, VARIANT* in, VARIANT* out) = 0;
  // The command's OLECMDF_ flags.
  virtual HRESULT QueryStatus(DWORD id, DWORD* status) = 0;
};

// The document of a component, to the code that hosts it.
struct IHTMLDocument2 : IDispatch {
  static constexpr const IID& Uuid() noexcept { return IID_IHTMLDocument2; }
  // Null once the component is gone.
  virtual Document* GetDocument() = 0;
  // The layout of the window that shows the document (null before in-place
  // activation or once the component is gone).
  virtual Layout* GetLayout() = 0;
  // parentWindow.event: the event being dispatched; null between events.
  virtual EventObject* GetEvent() = 0;
  // readyState: "loading" while a load is pending, else "complete".
  virtual WideString GetReadyState() = 0;
  // How local images are read; kept for every later document.
  virtual void SetImageLoader(ImageLoader loader) = 0;
};

struct IHTMLChangeSink : IUnknown {
  static constexpr const IID& Uuid() noexcept { return IID_IHTMLChangeSink; }
  virtual HRESULT Notify() = 0;
};

// A change log: while its last reference is held, its sink hears every change.
struct IHTMLChangeLog : IUnknown {
  static constexpr const IID& Uuid() noexcept { return IID_IHTMLChangeLog; }
};

struct IMarkupContainer2 : IUnknown {
  static constexpr const IID& Uuid() noexcept { return IID_IMarkupContainer2; }
  // The log holds the sink; a load of new content ends every log of the document.
  virtual HRESULT CreateChangeLog(IHTMLChangeSink* sink, IHTMLChangeLog** log, BOOL forward, BOOL backward) = 0;
};

// What a command of the component or of its document works on.
struct EditCommandContext {
  Document* TheDocument = nullptr;
  Layout* TheLayout = nullptr;  // null before in-place activation
  HWND Window = 0;              // the document's window, 0 before in-place activation
  bool DesignMode = false;
  // Sets or clears the document's modified flag (DISPID 22); clearing makes the
  // present content the unmodified one.
  std::function<void(bool modified)> SetModified;
};

// The one way the component and its document run a command (IOleCommandTarget::Exec
// of either, and the component's ExecCommand with group CGID_DHTMLEDIT).
// OLECMDERR_E_NOTSUPPORTED for a command the engine does not offer.
HRESULT RouteEditCommand(const EditCommandContext& context, const GUID* group, DWORD id, DWORD option,
                         VARIANT* in, VARIANT* out);
// Fills command->cmdf for the command (0 when not offered).
HRESULT RouteEditCommandStatus(const EditCommandContext& context, const GUID* group, OLECMD* command);

}  // namespace mshtml
