// The COM library: per-thread initialisation (CoInitialize, OleInitialize) and the
// class registry behind CoCreateInstance.
//
// Classes are found by class id. The engine's own classes register a creation
// function once (RegisterComClass, from a static initialiser); a program or a test
// may also register a class object for a while (CoRegisterClassObject, revoked by
// CoRevokeClassObject), which takes precedence. Everything else is
// REGDB_E_CLASSNOTREG.
//
// Initialisation is counted per thread, as on the platform: the first successful
// CoInitialize(Ex)/OleInitialize on a thread answers S_OK, later ones S_FALSE, each
// to be balanced by its Uninitialize; asking for the other apartment model while
// initialised answers RPC_E_CHANGED_MODE. CoCreateInstance and CoGetClassObject
// answer CO_E_NOTINITIALIZED on a thread that is not initialised.
#pragma once

#include <cstddef>

#include "platform/ole/Guid.h"
#include "platform/ole/OleErrors.h"
#include "platform/ole/Unknown.h"

inline constexpr IID IID_IClassFactory = MakeGuid("{00000001-0000-0000-C000-000000000046}");

struct IClassFactory : IUnknown {
  static constexpr const IID& Uuid() noexcept { return IID_IClassFactory; }
  virtual HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) = 0;
  virtual HRESULT LockServer(BOOL lock) = 0;
};

// Execution contexts.
inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
inline constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
inline constexpr DWORD CLSCTX_SERVER = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
inline constexpr DWORD CLSCTX_ALL = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER |
                                    CLSCTX_REMOTE_SERVER;

inline constexpr DWORD REGCLS_SINGLEUSE = 0;
inline constexpr DWORD REGCLS_MULTIPLEUSE = 1;

inline constexpr DWORD COINIT_MULTITHREADED = 0x0;
inline constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;

HRESULT CoInitialize(void* reserved);
HRESULT CoInitializeEx(void* reserved, DWORD coInit);
void CoUninitialize();
// CoInitializeEx for a single-threaded apartment, then OLE's own count; answers what
// CoInitializeEx answered. E_INVALIDARG for a reserved argument that is not null.
HRESULT OleInitialize(void* reserved);
void OleUninitialize();

// A creation function of a class: makes a new object, answers it as riid.
// CLASS_E_NOAGGREGATION is its answer to an outer object it cannot be part of.
using ComCreateFunction = HRESULT (*)(IUnknown* outer, REFIID riid, void** object);
// Registers a class of the engine for the whole process; answers true (so it can
// initialise a static). A second registration of the same class id replaces the first.
bool RegisterComClass(REFCLSID clsid, ComCreateFunction create);

// factory must answer IClassFactory; it is held (AddRef) until revoked.
HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* factory, DWORD clsContext, DWORD flags,
                              DWORD* cookie);
// E_INVALIDARG for a cookie that is not registered.
HRESULT CoRevokeClassObject(DWORD cookie);
HRESULT CoGetClassObject(REFCLSID clsid, DWORD clsContext, void* serverInfo, REFIID riid, void** object);
// A new object of the class, as riid: E_POINTER for a null out pointer,
// CO_E_NOTINITIALIZED, REGDB_E_CLASSNOTREG for a class no one registered (or a
// context with no server kind), else the class's own answer.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsContext, REFIID riid, void** object);

// Memory that crosses interfaces (out strings): freed by the receiver.
void* CoTaskMemAlloc(size_t bytes);
void* CoTaskMemRealloc(void* block, size_t bytes);
void CoTaskMemFree(void* block);
