// The TWAIN 1.9 protocol as an application sees it: its records, constants and the
// data source manager's single entry point DSM_Entry, with GetWindowsDirectoryA, the
// folder in which a program finds the manager's library ("TWAIN_32.DLL").
//
// The manager is ours (platform/twain): the module registry answers LoadLibrary of
// that file with an export table holding DSM_Entry. Its sources are the scanners
// libsane finds (loaded at run time, when installed) and, in tests, scripted sources
// (platform/sim/Twain.h). Records keep the protocol's field order and, where it fits
// in 64 bits, its 2-byte packing; handles and addresses are pointer-sized.
#pragma once

#include <cstdint>

#include "platform/win/GlobalMemory.h"
#include "platform/win/WinTypes.h"

using TW_UINT8 = uint8_t;
using TW_INT16 = int16_t;
using TW_UINT16 = uint16_t;
using TW_INT32 = int32_t;
using TW_UINT32 = uint32_t;
using TW_BOOL = uint16_t;
using TW_HANDLE = HANDLE;
using TW_MEMREF = void*;
using TW_STR32 = char[34];

#pragma pack(push, 2)

struct TW_FIX32 {
  TW_INT16 Whole = 0;
  TW_UINT16 Frac = 0;
};

struct TW_VERSION {
  TW_UINT16 MajorNum = 0;
  TW_UINT16 MinorNum = 0;
  TW_UINT16 Language = 0;
  TW_UINT16 Country = 0;
  TW_STR32 Info = {};
};

// 156 bytes.
struct TW_IDENTITY {
  TW_UINT32 Id = 0;
  TW_VERSION Version;
  TW_UINT16 ProtocolMajor = 0;
  TW_UINT16 ProtocolMinor = 0;
  TW_UINT32 SupportedGroups = 0;
  TW_STR32 Manufacturer = {};
  TW_STR32 ProductFamily = {};
  TW_STR32 ProductName = {};
};
static_assert(sizeof(TW_IDENTITY) == 156, "TW_IDENTITY is 156 bytes");
using pTW_IDENTITY = TW_IDENTITY*;

struct TW_CAPABILITY {
  TW_UINT16 Cap = 0;
  TW_UINT16 ConType = 0;
  TW_HANDLE hContainer = 0;
};

struct TW_USERINTERFACE {
  TW_BOOL ShowUI = 0;
  TW_BOOL ModalUI = 0;
  TW_HANDLE hParent = 0;
};

struct TW_PENDINGXFERS {
  TW_UINT16 Count = 0;
  TW_UINT32 EOJ = 0;
};

struct TW_EVENT {
  TW_MEMREF pEvent = nullptr;  // the address of the window message (MSG)
  TW_UINT16 TWMessage = 0;
};

struct TW_IMAGEINFO {
  TW_FIX32 XResolution;
  TW_FIX32 YResolution;
  TW_INT32 ImageWidth = 0;
  TW_INT32 ImageLength = 0;
  TW_INT16 SamplesPerPixel = 0;
  TW_INT16 BitsPerSample[8] = {};
  TW_INT16 BitsPerPixel = 0;
  TW_BOOL Planar = 0;
  TW_INT16 PixelType = 0;
  TW_UINT16 Compression = 0;
};

struct TW_SETUPMEMXFER {
  TW_UINT32 MinBufSize = 0;
  TW_UINT32 MaxBufSize = 0;
  TW_UINT32 Preferred = 0;
};

struct TW_MEMORY {
  TW_UINT32 Flags = 0;
  TW_UINT32 Length = 0;
  TW_MEMREF TheMem = nullptr;
};

struct TW_IMAGEMEMXFER {
  TW_UINT16 Compression = 0;
  TW_UINT32 BytesPerRow = 0;
  TW_UINT32 Columns = 0;
  TW_UINT32 Rows = 0;
  TW_UINT32 XOffset = 0;
  TW_UINT32 YOffset = 0;
  TW_UINT32 BytesWritten = 0;
  TW_MEMORY Memory;
};

struct TW_FRAME {
  TW_FIX32 Left;
  TW_FIX32 Top;
  TW_FIX32 Right;
  TW_FIX32 Bottom;
};

struct TW_IMAGELAYOUT {
  TW_FRAME Frame;
  TW_UINT32 DocumentNumber = 0;
  TW_UINT32 PageNumber = 0;
  TW_UINT32 FrameNumber = 0;
};

#pragma pack(pop)

// Container layouts in a capability's global memory block (byte offsets):
// TWON_ARRAY: ItemType u16 at 0, NumItems u32 at 2, items from 6.
// TWON_ENUMERATION: ItemType at 0, NumItems at 2, CurrentIndex at 6, DefaultIndex
//   at 10, items from 14.
// TWON_ONEVALUE: ItemType at 0, Item (32 bits) at 2.
// TWON_RANGE: ItemType at 0, MinValue at 2, MaxValue at 6, StepSize at 10,
//   DefaultValue at 14, CurrentValue at 18 (32 bits each); 22 bytes.
inline constexpr TW_UINT16 TWON_ARRAY = 3;
inline constexpr TW_UINT16 TWON_ENUMERATION = 4;
inline constexpr TW_UINT16 TWON_ONEVALUE = 5;
inline constexpr TW_UINT16 TWON_RANGE = 6;
inline constexpr TW_UINT16 TWON_DONTCARE16 = 0xFFFF;
inline constexpr size_t TWON_ARRAY_ITEMS = 6;
inline constexpr size_t TWON_ENUM_ITEMS = 14;
inline constexpr size_t TWON_ONEVALUE_SIZE = 6;
inline constexpr size_t TWON_RANGE_SIZE = 22;

// Item types and their sizes in a container.
inline constexpr TW_UINT16 TWTY_INT8 = 0;
inline constexpr TW_UINT16 TWTY_INT16 = 1;
inline constexpr TW_UINT16 TWTY_INT32 = 2;
inline constexpr TW_UINT16 TWTY_UINT8 = 3;
inline constexpr TW_UINT16 TWTY_UINT16 = 4;
inline constexpr TW_UINT16 TWTY_UINT32 = 5;
inline constexpr TW_UINT16 TWTY_BOOL = 6;
inline constexpr TW_UINT16 TWTY_FIX32 = 7;
inline constexpr TW_UINT16 TWTY_FRAME = 8;
inline constexpr TW_UINT16 TWTY_STR32 = 9;
inline constexpr TW_UINT16 TWTY_STR64 = 10;
inline constexpr TW_UINT16 TWTY_STR128 = 11;
inline constexpr TW_UINT16 TWTY_STR255 = 12;
// Bytes one item of the type takes in an array or enumeration; 0 for an unknown type.
inline constexpr size_t TWItemSize(TW_UINT16 itemType) {
  switch (itemType) {
    case TWTY_INT8: case TWTY_UINT8: return 1;
    case TWTY_INT16: case TWTY_UINT16: case TWTY_BOOL: return 2;
    case TWTY_INT32: case TWTY_UINT32: case TWTY_FIX32: return 4;
    case TWTY_FRAME: return 16;
    case TWTY_STR32: return 34;
    case TWTY_STR64: return 66;
    case TWTY_STR128: return 130;
    case TWTY_STR255: return 256;
    default: return 0;
  }
}

// Data groups, argument types and messages.
inline constexpr TW_UINT32 DG_CONTROL = 0x0001;
inline constexpr TW_UINT32 DG_IMAGE = 0x0002;
inline constexpr TW_UINT16 DAT_CAPABILITY = 0x0001;
inline constexpr TW_UINT16 DAT_EVENT = 0x0002;
inline constexpr TW_UINT16 DAT_IDENTITY = 0x0003;
inline constexpr TW_UINT16 DAT_PARENT = 0x0004;
inline constexpr TW_UINT16 DAT_PENDINGXFERS = 0x0005;
inline constexpr TW_UINT16 DAT_SETUPMEMXFER = 0x0006;
inline constexpr TW_UINT16 DAT_USERINTERFACE = 0x0009;
inline constexpr TW_UINT16 DAT_IMAGEINFO = 0x0101;
inline constexpr TW_UINT16 DAT_IMAGELAYOUT = 0x0102;
inline constexpr TW_UINT16 DAT_IMAGEMEMXFER = 0x0103;
inline constexpr TW_UINT16 DAT_IMAGENATIVEXFER = 0x0104;
inline constexpr TW_UINT16 MSG_GET = 0x0001;
inline constexpr TW_UINT16 MSG_GETCURRENT = 0x0002;
inline constexpr TW_UINT16 MSG_GETDEFAULT = 0x0003;
inline constexpr TW_UINT16 MSG_GETFIRST = 0x0004;
inline constexpr TW_UINT16 MSG_GETNEXT = 0x0005;
inline constexpr TW_UINT16 MSG_SET = 0x0006;
inline constexpr TW_UINT16 MSG_RESET = 0x0007;
inline constexpr TW_UINT16 MSG_XFERREADY = 0x0101;
inline constexpr TW_UINT16 MSG_CLOSEDSREQ = 0x0102;
inline constexpr TW_UINT16 MSG_CLOSEDSOK = 0x0103;
inline constexpr TW_UINT16 MSG_OPENDSM = 0x0301;
inline constexpr TW_UINT16 MSG_CLOSEDSM = 0x0302;
inline constexpr TW_UINT16 MSG_OPENDS = 0x0401;
inline constexpr TW_UINT16 MSG_CLOSEDS = 0x0402;
inline constexpr TW_UINT16 MSG_USERSELECT = 0x0403;
inline constexpr TW_UINT16 MSG_DISABLEDS = 0x0501;
inline constexpr TW_UINT16 MSG_ENABLEDS = 0x0502;
inline constexpr TW_UINT16 MSG_PROCESSEVENT = 0x0601;
inline constexpr TW_UINT16 MSG_ENDXFER = 0x0701;
inline constexpr TW_UINT16 MSG_NULL = 0x0000;

// Return codes.
inline constexpr TW_UINT16 TWRC_SUCCESS = 0;
inline constexpr TW_UINT16 TWRC_FAILURE = 1;
inline constexpr TW_UINT16 TWRC_CHECKSTATUS = 2;
inline constexpr TW_UINT16 TWRC_CANCEL = 3;
inline constexpr TW_UINT16 TWRC_DSEVENT = 4;
inline constexpr TW_UINT16 TWRC_NOTDSEVENT = 5;
inline constexpr TW_UINT16 TWRC_XFERDONE = 6;
inline constexpr TW_UINT16 TWRC_ENDOFLIST = 7;

// Capabilities.
inline constexpr TW_UINT16 CAP_CAPTION = 0x1001;
inline constexpr TW_UINT16 CAP_FEEDERENABLED = 0x1002;
inline constexpr TW_UINT16 CAP_FEEDERLOADED = 0x1003;
inline constexpr TW_UINT16 CAP_AUTOFEED = 0x1007;
inline constexpr TW_UINT16 CAP_INDICATORS = 0x100B;
inline constexpr TW_UINT16 CAP_PAPERDETECTABLE = 0x100D;
inline constexpr TW_UINT16 CAP_DUPLEX = 0x1012;
inline constexpr TW_UINT16 CAP_DUPLEXENABLED = 0x1013;
inline constexpr TW_UINT16 ICAP_PIXELTYPE = 0x0101;
inline constexpr TW_UINT16 ICAP_UNITS = 0x0102;
inline constexpr TW_UINT16 ICAP_XFERMECH = 0x0103;
inline constexpr TW_UINT16 ICAP_BRIGHTNESS = 0x1101;
inline constexpr TW_UINT16 ICAP_CONTRAST = 0x1103;
inline constexpr TW_UINT16 ICAP_GAMMA = 0x1108;
inline constexpr TW_UINT16 ICAP_ORIENTATION = 0x1110;
inline constexpr TW_UINT16 ICAP_PHYSICALWIDTH = 0x1111;
inline constexpr TW_UINT16 ICAP_PHYSICALHEIGHT = 0x1112;
inline constexpr TW_UINT16 ICAP_XRESOLUTION = 0x1118;
inline constexpr TW_UINT16 ICAP_YRESOLUTION = 0x1119;
inline constexpr TW_UINT16 ICAP_PIXELFLAVOR = 0x111F;
inline constexpr TW_UINT16 ICAP_PLANARCHUNKY = 0x1120;
inline constexpr TW_UINT16 ICAP_SUPPORTEDSIZES = 0x1122;
inline constexpr TW_UINT16 ICAP_THRESHOLD = 0x1123;
inline constexpr TW_UINT16 ICAP_XSCALING = 0x1124;
inline constexpr TW_UINT16 ICAP_YSCALING = 0x1125;
inline constexpr TW_UINT16 ICAP_UNDEFINEDIMAGESIZE = 0x112D;

// Capability values.
inline constexpr TW_UINT16 TWPT_BW = 0;
inline constexpr TW_UINT16 TWPT_GRAY = 1;
inline constexpr TW_UINT16 TWPT_RGB = 2;
inline constexpr TW_UINT16 TWPT_PALETTE = 3;
inline constexpr TW_UINT16 TWSX_NATIVE = 0;
inline constexpr TW_UINT16 TWSX_FILE = 1;
inline constexpr TW_UINT16 TWSX_MEMORY = 2;
inline constexpr TW_UINT16 TWUN_INCHES = 0;
inline constexpr TW_UINT16 TWPF_CHOCOLATE = 0;
inline constexpr TW_UINT16 TWPF_VANILLA = 1;
inline constexpr TW_UINT16 TWPC_CHUNKY = 0;
inline constexpr TW_UINT16 TWPC_PLANAR = 1;
inline constexpr TW_UINT32 TWMF_APPOWNS = 0x1;
inline constexpr TW_UINT32 TWMF_DSMOWNS = 0x2;
inline constexpr TW_UINT32 TWMF_DSOWNS = 0x4;
inline constexpr TW_UINT32 TWMF_POINTER = 0x8;
inline constexpr TW_UINT32 TWMF_HANDLE = 0x10;
inline constexpr TW_UINT32 TWON_DONTCARE32 = 0xFFFFFFFFu;

// TW_FIX32 from and to a number: whole + fraction / 65536; a number is rounded to
// the nearest 1/65536, halves away from zero.
inline double FIX32ToDouble(TW_FIX32 f) { return f.Whole + f.Frac / 65536.0; }
TW_FIX32 DoubleToFIX32(double x);

// The manager's entry point. origin: the application's identity (its Id is given by
// MSG_OPENDSM); dest: null for the manager, else the opened source's identity.
using DSMENTRYPROC = TW_UINT16 (*)(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT32 DG,
                                   TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data);
TW_UINT16 DSM_Entry(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT32 DG, TW_UINT16 DAT,
                    TW_UINT16 MSG, TW_MEMREF data);

// The folder where the manager's library lies: "windows" in the program's folder
// (ProgramFolder), without a trailing '/'. Copies it with its terminator into buffer
// and answers its length; when size is too small, the length needed with the
// terminator and the buffer untouched.
UINT GetWindowsDirectoryA(char* buffer, UINT size);
// The manager library's file name there.
inline constexpr const char* kTwainManagerFile = "TWAIN_32.DLL";
