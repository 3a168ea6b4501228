#include "platform/vcl/DialogsInternal.h"
#include "platform/win/CommDlg.h"
BOOL FileDialogForm(tagOFN*, bool) { return FALSE; }
BOOL ChooseColorForm(tagCHOOSECOLOR*) { return FALSE; }
