// The browser object: an OLE control, created by its own class id, that shows one
// document like the editing component does (same window, layout, input, commands,
// load jobs) but speaks as a web browser:
// - IWebBrowser2: Navigate starts a load of an address (about:blank, a local file or
//   file: address of this machine; anything else, another machine's address
//   included, fails with INET_E_RESOURCE_NOT_FOUND, fires nothing and fetches
//   nothing); Document is the current document; Busy tells whether a load is pending.
// - Its events are DWebBrowserEvents2, through its connection point. Navigate fires
//   BeforeNavigate2 (250; browser, address, flags, frame, post data, headers, and a
//   Cancel flag by reference: set, nothing is loaded) and DownloadBegin (106) before it
//   returns; the navigation ends with NavigateComplete2 (252), TitleChange (113; the
//   title, or the address when there is none), DownloadComplete (104) and
//   DocumentComplete (259). Any other load ends with NavigateComplete2 and
//   DocumentComplete. NavigateComplete2 and DocumentComplete carry the browser and the
//   address.
// - A navigation makes a new document in browse mode (designMode "Off"); a load of
//   markup through the document's IPersistStreamInit or IPersistFile keeps the mode
//   the document had. The document's window takes WM_COMMAND 2126 (browse mode,
//   designMode "Off") and 2127 (edit mode, "On") and answers 0.
// - It asks its client site for IDocHostUIHandler: GetHostInfo whenever a load makes
//   a new document (DOCHOSTUIFLAG_DIV_BLOCKDEFAULT: Enter makes a DIV;
//   DOCHOSTUIFLAG_SCROLL_NO: no scroll bars), UpdateUI at each display change, ShowContextMenu on a right click
//   or the menu key (S_OK from the host means the host has handled it).
// - The document answers IHTMLDocument3 (attachEvent: the twelve mouse, key, focus
//   and readyState events reach the attached sinks, called with no arguments; a new
//   document starts with none attached) and IPersistFile (Load, Save, GetCurFile,
//   IsDirty) besides the editing component's document interfaces.
#pragma once

#include "platform/mshtml/EditComponent.h"

namespace mshtml {

inline constexpr CLSID CLSID_WebBrowser = MakeGuid("{8856F961-340A-11D0-A96B-00C04FD705A2}");
inline constexpr IID DIID_DWebBrowserEvents2 = MakeGuid("{34A715A0-6587-11D0-924A-0020AFC7AC4D}");
inline constexpr IID IID_IWebBrowser2 = MakeGuid("{D30C1661-CDAF-11D0-8A3E-00C04FC9E26E}");
inline constexpr IID IID_IHTMLDocument3 = MakeGuid("{3050F485-98B5-11CF-BB82-00AA00BDCE0B}");

// DWebBrowserEvents2 DISPIDs the browser fires.
inline constexpr DISPID DISPID_DOWNLOADCOMPLETE = 104;
inline constexpr DISPID DISPID_DOWNLOADBEGIN = 106;
inline constexpr DISPID DISPID_TITLECHANGE = 113;
inline constexpr DISPID DISPID_BEFORENAVIGATE2 = 250;
inline constexpr DISPID DISPID_NAVIGATECOMPLETE2 = 252;
inline constexpr DISPID DISPID_DOCUMENTCOMPLETE = 259;

struct IWebBrowser2 : IDispatch {
  static constexpr const IID& Uuid() noexcept { return IID_IWebBrowser2; }
  // The four optional arguments are accepted and not used.
  virtual HRESULT Navigate(const OLECHAR* url, VARIANT* flags, VARIANT* targetFrameName, VARIANT* postData,
                           VARIANT* headers) = 0;
  virtual HRESULT get_Document(IDispatch** document) = 0;
  virtual HRESULT get_Busy(VARIANT_BOOL* busy) = 0;
  virtual HRESULT get_LocationURL(BSTR* url) = 0;
};

// The host's handler (IDocHostUIHandler, DOCHOSTUIINFO and its flags) is the OLE
// layer's (platform/ole/OleHost.h).

struct IHTMLDocument3 : IUnknown {
  static constexpr const IID& Uuid() noexcept { return IID_IHTMLDocument3; }
  // name: "onclick", "onkeydown", ...; *result true when the event is one the
  // document fires.
  virtual HRESULT attachEvent(const OLECHAR* name, IDispatch* sink, VARIANT_BOOL* result) = 0;
  virtual HRESULT detachEvent(const OLECHAR* name, IDispatch* sink) = 0;
};

}  // namespace mshtml
