// Scanning through the TWAIN data source manager: the connection to the manager
// and the selected source, reading and writing capabilities, the source-selection
// dialog, and acquisitions, modal (one image, or every page to a callback) and
// modeless (the source stays enabled under a hidden control until it or the
// program closes it).
//
// The manager's library is "TWAIN_32.DLL" in the folder GetWindowsDirectoryA names;
// without it (or without its DSM_Entry) every operation fails quietly. Containers
// and strips from a source are read only within their blocks: a container whose
// counts or indexes leave it is refused, a strip is clipped to the image and to the
// bytes it brought, and a depth the copier cannot place ends the transfer.
#pragma once

#include <functional>
#include <vector>

#include "image/io/dadiravio.h"

using TIETWMultiCallBack = std::function<void(TIEBitmap* Bitmap, TIOParamsVals*& IOParams)>;
using TIETWCloseCallBack = std::function<void()>;

// The source-selection dialog; true when a source was chosen, whose product name
// goes to Name (empty otherwise).
bool IETW_SelectImageSource(AnsiString& Name, PIETWainShared Shared, HWND Window);
// The manager's sources, in its order (those with a product name).
void IETW_GetSourceList(std::vector<TW_IDENTITY>& List, PIETWainShared Shared, HWND Window);
// The manager's default source's product name; empty when there is none.
void IETW_GetDefaultSource(PIETWainShared Shared, HWND Window, AnsiString& Name);
// Opens the selected source and reads every capability into Caps (with Apply, the
// wishes are negotiated first); true when the source could be opened and read.
bool IETW_GetCapabilities(TIETWainParams* Params, TIETWSourceCaps& Caps, bool Apply, HWND Window,
                          PIETWainShared Shared);
// Destroys the proxy window and unloads the manager.
void IETW_FreeResources(PIETWainShared Shared, HWND Window);

// A modal acquisition: one image into Bitmap (with IOParams filled), or with Multi
// every page to MultiCallBack. True when at least one image was transferred. In
// multi-page mode a page that fails or is cancelled ends the feed and raises
// Progress's abort flag (the pages before it have been handed over); a raised flag
// ends the feed before the next page.
bool IETW_Acquire(TIEBitmap* Bitmap, bool Multi, TIETWMultiCallBack MultiCallBack, TIETWainParams* Params,
                  TIOParamsVals* IOParams, TProgressRec* Progress, PIETWainShared Shared, HWND Window);
// A modeless multi-page acquisition under Parent; its handle, or null.
void* IETWAINAcquireOpen(TIETWCloseCallBack CloseCallBack, TIETWMultiCallBack MultiCallBack,
                         TIETWainParams* Params, PIETWainShared Shared, TIOParamsVals* IOParams,
                         TWinControl* Parent);
// Closes it; Handle becomes null.
void IETWAINAcquireClose(void*& Handle);

// The capability readers, on a container as a source answered it (ConType and its
// global memory block); false for another form, an unknown item type, or counts and
// indexes that leave the block. Integer items are read by their item type; double
// items are TW_FIX32 (integer item types are taken as whole numbers). For
// XResolution and YResolution (resolution true) a one value below 0 means 300.
bool IETW_ReadIntegerList(TW_UINT16 ConType, HGLOBAL Container, TIEIntegerList& List);
bool IETW_ReadDoubleList(TW_UINT16 ConType, HGLOBAL Container, TIEDoubleList& List, bool Resolution);
bool IETW_ReadBool(TW_UINT16 ConType, HGLOBAL Container, bool& Value);
bool IETW_ReadFix32(TW_UINT16 ConType, HGLOBAL Container, double& Value);
// A string one value (a caption); false when it is not one.
bool IETW_ReadString(TW_UINT16 ConType, HGLOBAL Container, AnsiString& Value);
