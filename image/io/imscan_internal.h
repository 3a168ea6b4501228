// The connection record shared by the connection and transfer halves of imscan.
#pragma once

#include <memory>

#include "image/io/imscan.h"

class TIEProxyWin;

struct TIETWConnection {
  Integer State = 1;
  HMODULE ManagerModule = 0;
  DSMENTRYPROC ManagerEntry = nullptr;
  HWND ManagerParent = 0;
  TW_UINT16 LastRC = TWRC_FAILURE;
  TW_IDENTITY AppId;
  TW_IDENTITY SourceId;
  TW_USERINTERFACE UI;
  bool UIHidden = false;
  TW_PENDINGXFERS Pending;
  bool Multi = false;
  TIETWMultiCallBack MultiCallBack;
  bool EndRequested = false;
  TIETWainParams* Params = nullptr;
  TIOParamsVals* IOParams = nullptr;
  bool MemoryTransfer = false;
  bool ImageAcquired = false;
  bool StopWaiting = false;
  TIEBitmap* Destination = nullptr;
  TProgressRec* Progress = nullptr;
  PIETWainShared Shared = nullptr;
  HWND PreviousActive = 0;
  HWND ProxyWindow = 0;
  // The proxy window was made for this operation alone (the shared one belongs to
  // another thread, whose queue would get the source's events).
  bool OwnProxy = false;
  bool Invert1Bit = false;
  TIEProxyWin* ProxyControl = nullptr;
  bool Modal = true;
  bool Transferring = false;
  TIETWCloseCallBack CloseCallBack;

  // The image in hand: its information, whether its size is still unknown, the
  // store of a page (multi-page) and the caption the source gave it.
  TW_IMAGEINFO Info;
  bool UndefinedSize = false;
  std::unique_ptr<TIEBitmap> Page;
  AnsiString PageCaption;
};

namespace imscan {

void InitConnection(TIETWConnection& c, HWND window, PIETWainShared shared);
void SetAppStrings(TIETWConnection& c, TIETWainParams* params);
bool Call(TIETWConnection& c, TW_IDENTITY* dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data);
HWND GetProxyWindow(TIETWConnection& c, HWND window);
bool LoadManager(TIETWConnection& c);
bool ReleaseManager(TIETWConnection& c, bool unload);
bool OpenManager(TIETWConnection& c, HWND window);
bool CloseManager(TIETWConnection& c);
bool OpenSource(TIETWConnection& c);
bool DisableSource(TIETWConnection& c);
bool CloseSource(TIETWConnection& c);
bool EndTransfer(TIETWConnection& c);
void PumpMessages(TIETWConnection& c);
bool ProcessEvent(TIETWConnection& c, MSG& msg);
void Negotiate(TIETWConnection& c);
void Reactivate(TIETWConnection& c);
// The caption string of the source (CAP_CAPTION); empty when it has none.
AnsiString ReadCaption(TIETWConnection& c);

}  // namespace imscan
