#include "platform/ole/Com.h"

#include <cstdlib>
#include <map>
#include <mutex>
#include <vector>

#include "platform/ole/SimHooks.h"
#include "platform/rtl/NoDestructor.h"

namespace {

struct ThreadState {
  int comCount = 0;
  int oleCount = 0;
  DWORD model = COINIT_APARTMENTTHREADED;
};

thread_local ThreadState tState;

struct Registered {
  DWORD cookie;
  CLSID clsid;
  DWORD context;
  ComPtr<IUnknown> factory;
};

struct Registry {
  std::mutex mutex;
  std::map<CLSID, ComCreateFunction> builtIn;
  std::vector<Registered> objects;
  DWORD nextCookie = 1;
};

Registry& GetRegistry() {
  static NoDestructor<Registry> registry;
  return *registry;
}

// The class factory around a creation function.
class FunctionFactory final : public ComObject<IClassFactory> {
 public:
  explicit FunctionFactory(ComCreateFunction create) : create_(create) {}
  HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    return create_(outer, riid, object);
  }
  HRESULT LockServer(BOOL /*lock*/) override { return S_OK; }

 private:
  ComCreateFunction create_;
};

// The class object for clsid, or REGDB_E_CLASSNOTREG.
HRESULT FindFactory(REFCLSID clsid, DWORD context, ComPtr<IClassFactory>* factory) {
  if ((context & (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER)) == 0)
    return REGDB_E_CLASSNOTREG;
  ComPtr<IUnknown> object;
  ComCreateFunction create = nullptr;
  {
    Registry& r = GetRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (auto it = r.objects.rbegin(); it != r.objects.rend(); ++it) {
      if (it->clsid == clsid && (it->context & context) != 0) {
        object = it->factory;
        break;
      }
    }
    if (!object) {
      auto found = r.builtIn.find(clsid);
      if (found != r.builtIn.end()) create = found->second;
    }
  }
  if (object) return object.As(factory);
  if (create == nullptr) return REGDB_E_CLASSNOTREG;
  *factory = MakeComObject<FunctionFactory>(create);
  return S_OK;
}

}  // namespace

HRESULT CoInitializeEx(void* /*reserved*/, DWORD coInit) {
  const DWORD model = (coInit & COINIT_APARTMENTTHREADED) != 0 ? COINIT_APARTMENTTHREADED : COINIT_MULTITHREADED;
  if (tState.comCount > 0 && tState.model != model) return RPC_E_CHANGED_MODE;
  tState.model = model;
  return tState.comCount++ == 0 ? S_OK : S_FALSE;
}

HRESULT CoInitialize(void* reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }

void CoUninitialize() {
  if (tState.comCount > 0) --tState.comCount;
}

HRESULT OleInitialize(void* reserved) {
  if (reserved != nullptr) return E_INVALIDARG;
  const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (FAILED(hr)) return hr;
  ++tState.oleCount;
  return hr;
}

void OleUninitialize() {
  if (tState.oleCount == 0) return;
  --tState.oleCount;
  CoUninitialize();
}

bool RegisterComClass(REFCLSID clsid, ComCreateFunction create) {
  Registry& r = GetRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.builtIn[clsid] = create;
  return true;
}

HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* factory, DWORD clsContext, DWORD /*flags*/,
                              DWORD* cookie) {
  if (cookie == nullptr || factory == nullptr) return E_INVALIDARG;
  *cookie = 0;
  if (tState.comCount == 0) return CO_E_NOTINITIALIZED;
  ComPtr<IClassFactory> asFactory;
  if (FAILED(ComPtr<IUnknown>(factory).As(&asFactory))) return E_NOINTERFACE;
  Registry& r = GetRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  *cookie = r.nextCookie++;
  r.objects.push_back({*cookie, clsid, clsContext, ComPtr<IUnknown>(factory)});
  return S_OK;
}

HRESULT CoRevokeClassObject(DWORD cookie) {
  ComPtr<IUnknown> doomed;  // released outside the lock
  Registry& r = GetRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  for (auto it = r.objects.begin(); it != r.objects.end(); ++it) {
    if (it->cookie == cookie) {
      doomed = std::move(it->factory);
      r.objects.erase(it);
      return S_OK;
    }
  }
  return E_INVALIDARG;
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD clsContext, void* /*serverInfo*/, REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (tState.comCount == 0) return CO_E_NOTINITIALIZED;
  ComPtr<IClassFactory> factory;
  const HRESULT hr = FindFactory(clsid, clsContext, &factory);
  if (FAILED(hr)) return hr;
  return factory->QueryInterface(riid, object);
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsContext, REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (tState.comCount == 0) return CO_E_NOTINITIALIZED;
  ComPtr<IClassFactory> factory;
  const HRESULT hr = FindFactory(clsid, clsContext, &factory);
  if (FAILED(hr)) return hr;
  return factory->CreateInstance(outer, riid, object);
}

void* CoTaskMemAlloc(size_t bytes) { return std::malloc(bytes == 0 ? 1 : bytes); }
void* CoTaskMemRealloc(void* block, size_t bytes) { return std::realloc(block, bytes == 0 ? 1 : bytes); }
void CoTaskMemFree(void* block) { std::free(block); }

namespace sim {

int ComInitCount() { return tState.comCount; }
int OleInitCount() { return tState.oleCount; }

void ResetCom() {
  tState = ThreadState{};
  std::vector<Registered> doomed;
  Registry& r = GetRegistry();
  {
    std::lock_guard<std::mutex> lock(r.mutex);
    doomed.swap(r.objects);
  }
}

int RegisteredClassObjects() {
  Registry& r = GetRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  return static_cast<int>(r.objects.size());
}

}  // namespace sim
