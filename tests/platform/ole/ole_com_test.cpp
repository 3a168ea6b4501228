#include "platform/ole/Com.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <unordered_set>

#include "platform/ole/Guid.h"
#include "platform/ole/OleAuto.h"
#include "platform/ole/OleErrors.h"
#include "platform/ole/Unknown.h"
#include "platform/sim/Com.h"

namespace {

constexpr IID IID_ITestA = MakeGuid("{11111111-2222-3333-4444-555555555555}");
constexpr IID IID_ITestB = MakeGuid("{11111111-2222-3333-4444-666666666666}");
constexpr CLSID CLSID_Test = MakeGuid("{ABCDEF01-2345-6789-ABCD-EF0123456789}");
constexpr CLSID CLSID_Missing = MakeGuid("{ABCDEF01-2345-6789-ABCD-EF0123456780}");

struct ITestA : IUnknown {
  static constexpr const IID& Uuid() noexcept { return IID_ITestA; }
  virtual int A() = 0;
};
struct ITestB : IUnknown {
  static constexpr const IID& Uuid() noexcept { return IID_ITestB; }
  virtual int B() = 0;
};

int gLive = 0;

class Both final : public ComObject<ITestA, ITestB> {
 public:
  Both() { ++gLive; }
  ~Both() override { --gLive; }
  int A() override { return 1; }
  int B() override { return 2; }
};

TEST(Guid, FormatsParsesComparesAndHashes) {
  const GUID g = MakeGuid("{2d360200-fff5-11d1-8d03-00a0c959bc0a}");
  EXPECT_EQ(GUIDToString(g), "{2D360200-FFF5-11D1-8D03-00A0C959BC0A}");
  EXPECT_EQ(StringToGUID("{2D360200-FFF5-11D1-8D03-00A0C959BC0A}"), g);
  EXPECT_EQ(g.Data1, 0x2D360200u);
  EXPECT_EQ(g.Data4[7], 0x0A);
  EXPECT_NE(g, IID_IUnknown);
  EXPECT_TRUE(IID_IUnknown < g);
  EXPECT_FALSE(g < g);
  std::unordered_set<GUID> set{g, IID_IUnknown, g};
  EXPECT_EQ(set.size(), 2u);

  for (const char* bad : {"", "{2D360200-FFF5-11D1-8D03-00A0C959BC0A", "2D360200-FFF5-11D1-8D03-00A0C959BC0A",
                          "{2D360200-FFF5-11D1-8D03-00A0C959BC0G}", "{2D360200FFF5-11D1-8D03-00A0C959BC0A0}"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(TryStringToGUID(bad).has_value());
    try {
      StringToGUID(bad);
      ADD_FAILURE() << "no exception";
    } catch (const EOleSysError& e) {
      EXPECT_EQ(e.ErrorCode, CO_E_CLASSSTRING);
    }
  }

  OLECHAR wide[39];
  EXPECT_EQ(StringFromGUID2(g, wide, 38), 0);
  ASSERT_EQ(StringFromGUID2(g, wide, 39), 39);
  CLSID back;
  EXPECT_EQ(CLSIDFromString(wide, &back), S_OK);
  EXPECT_EQ(back, g);
  EXPECT_EQ(CLSIDFromString(u"{nonsense}", &back), CO_E_CLASSSTRING);
  EXPECT_EQ(back, GUID_NULL);
}

TEST(Errors, CodesTextsAndExceptions) {
  EXPECT_TRUE(SUCCEEDED(S_FALSE));
  EXPECT_TRUE(FAILED(E_FAIL));
  EXPECT_EQ(static_cast<uint32_t>(E_NOTIMPL), 0x80004001u);
  EXPECT_EQ(static_cast<uint32_t>(DISP_E_MEMBERNOTFOUND), 0x80020003u);
  EXPECT_EQ(static_cast<uint32_t>(INPLACE_E_NOTOOLSPACE), 0x800401A1u);
  EXPECT_EQ(HRESULT_FROM_WIN32(5), E_ACCESSDENIED);
  EXPECT_EQ(HRESULT_FROM_WIN32(0), S_OK);
  EXPECT_EQ(HRESULT_CODE(E_INVALIDARG), 0x57u);
  EXPECT_EQ(HRESULT_FACILITY(E_INVALIDARG), FACILITY_WIN32);

  EXPECT_EQ(OleCheck(S_FALSE), S_FALSE);
  try {
    OleCheck(REGDB_E_CLASSNOTREG);
    ADD_FAILURE();
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ErrorCode, REGDB_E_CLASSNOTREG);
    EXPECT_EQ(e.Message(), "Class not registered");
    EXPECT_STREQ(e.ClassName(), "EOleSysError");
  }
  EXPECT_EQ(EOleSysError({}, static_cast<HRESULT>(0x80041234u)).Message(), "OLE error 80041234");
  EXPECT_EQ(EOleSysError("own text", E_FAIL).Message(), "own text");
}

TEST(Unknown, QueryInterfaceFollowsTheIdentityAndCountingRules) {
  {
    ComPtr<Both> object = MakeComObject<Both>();
    EXPECT_EQ(object->RefCount(), 1u);
    ComPtr<ITestA> a;
    ASSERT_EQ(object.As(&a), S_OK);
    ComPtr<ITestB> b = a.As<ITestB>();
    ASSERT_TRUE(b);
    EXPECT_EQ(a->A() + b->B(), 3);
    EXPECT_EQ(object->RefCount(), 3u);

    // IUnknown is the same pointer whichever interface asks.
    ComPtr<IUnknown> viaA = a.As<IUnknown>();
    ComPtr<IUnknown> viaB = b.As<IUnknown>();
    EXPECT_EQ(viaA.Get(), viaB.Get());
    EXPECT_TRUE(IsSameObject(a.Get(), b.Get()));
    // Symmetric, reflexive, transitive.
    EXPECT_TRUE(b.As<ITestA>());
    EXPECT_TRUE(a.As<ITestA>());

    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(a->QueryInterface(IID_IDispatch, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(a->QueryInterface(IID_ITestB, nullptr), E_POINTER);
    EXPECT_EQ(object->RefCount(), 5u);  // object, a, b, viaA, viaB

    ComPtr<ITestA> copy = a;
    ComPtr<ITestA> moved = std::move(copy);
    EXPECT_FALSE(copy);
    EXPECT_EQ(object->RefCount(), 6u);
    ITestA* raw = moved.Detach();
    EXPECT_EQ(object->RefCount(), 6u);
    moved.Attach(raw);
    moved = nullptr;
    EXPECT_EQ(object->RefCount(), 5u);
    EXPECT_EQ(gLive, 1);
  }
  EXPECT_EQ(gLive, 0);  // the last Release freed it
}

HRESULT CreateBoth(IUnknown* outer, REFIID riid, void** object) {
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  ComPtr<Both> both = MakeComObject<Both>();
  return both->QueryInterface(riid, object);
}

TEST(Com, InitialisationIsCountedPerThread) {
  EXPECT_EQ(OleInitialize(nullptr), S_OK);
  EXPECT_EQ(OleInitialize(nullptr), S_FALSE);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
  EXPECT_EQ(OleInitialize(reinterpret_cast<void*>(1)), E_INVALIDARG);
  EXPECT_EQ(sim::ComInitCount(), 3);
  EXPECT_EQ(sim::OleInitCount(), 2);
  CoUninitialize();
  OleUninitialize();
  OleUninitialize();
  OleUninitialize();  // one too many: ignored
  EXPECT_EQ(sim::ComInitCount(), 0);
  EXPECT_EQ(sim::OleInitCount(), 0);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  EXPECT_EQ(OleInitialize(nullptr), RPC_E_CHANGED_MODE);
  CoUninitialize();
}

TEST(Com, CreatesRegisteredClassesAndRefusesOthers) {
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(CoCreateInstance(CLSID_Test, nullptr, CLSCTX_INPROC_SERVER, IID_ITestA, &object), CO_E_NOTINITIALIZED);
  EXPECT_EQ(object, nullptr);
  ASSERT_EQ(OleInitialize(nullptr), S_OK);
  EXPECT_EQ(CoCreateInstance(CLSID_Missing, nullptr, 5, IID_ITestA, &object), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(CoCreateInstance(CLSID_Missing, nullptr, 5, IID_ITestA, nullptr), E_POINTER);

  RegisterComClass(CLSID_Test, &CreateBoth);
  ComPtr<ITestA> a;
  ASSERT_EQ(CoCreateInstance(CLSID_Test, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_ITestA,
                             a.ReleaseAndGetVoidAddress()),
            S_OK);
  EXPECT_EQ(a->A(), 1);
  EXPECT_EQ(CoCreateInstance(CLSID_Test, nullptr, 5, IID_IDispatch, &object), E_NOINTERFACE);
  EXPECT_EQ(CoCreateInstance(CLSID_Test, a.Get(), 5, IID_ITestA, &object), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(CoCreateInstance(CLSID_Test, nullptr, CLSCTX_REMOTE_SERVER, IID_ITestA, &object), REGDB_E_CLASSNOTREG);

  ComPtr<IClassFactory> factory;
  ASSERT_EQ(CoGetClassObject(CLSID_Test, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                             factory.ReleaseAndGetVoidAddress()),
            S_OK);
  ComPtr<ITestB> b;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_ITestB, b.ReleaseAndGetVoidAddress()), S_OK);
  EXPECT_EQ(b->B(), 2);

  // A class object registered for a while wins over the built-in class, until revoked.
  class Refusing final : public ComObject<IClassFactory> {
   public:
    HRESULT CreateInstance(IUnknown*, REFIID, void** out) override {
      *out = nullptr;
      return E_ACCESSDENIED;
    }
    HRESULT LockServer(BOOL) override { return S_OK; }
  };
  ComPtr<Refusing> refusing = MakeComObject<Refusing>();
  DWORD cookie = 0;
  ASSERT_EQ(CoRegisterClassObject(CLSID_Test, refusing.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie), S_OK);
  EXPECT_NE(cookie, 0u);
  EXPECT_EQ(refusing->RefCount(), 2u);
  EXPECT_EQ(CoCreateInstance(CLSID_Test, nullptr, 5, IID_ITestA, &object), E_ACCESSDENIED);
  EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
  EXPECT_EQ(CoRevokeClassObject(cookie), E_INVALIDARG);
  EXPECT_EQ(refusing->RefCount(), 1u);
  EXPECT_EQ(CoCreateInstance(CLSID_Test, nullptr, 5, IID_ITestA, a.ReleaseAndGetVoidAddress()), S_OK);
  OleUninitialize();
}

TEST(Com, ResetWorldRevokesRegistrationsAndUndoesInitialisation) {
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  class Factory final : public ComObject<IClassFactory> {
   public:
    HRESULT CreateInstance(IUnknown*, REFIID, void**) override { return E_NOTIMPL; }
    HRESULT LockServer(BOOL) override { return S_OK; }
  };
  ComPtr<Factory> factory = MakeComObject<Factory>();
  DWORD cookie = 0;
  ASSERT_EQ(CoRegisterClassObject(CLSID_Test, factory.Get(), CLSCTX_INPROC_SERVER, 0, &cookie), S_OK);
  EXPECT_EQ(sim::RegisteredClassObjects(), 1);
  sim::ResetCom();
  EXPECT_EQ(sim::RegisteredClassObjects(), 0);
  EXPECT_EQ(sim::ComInitCount(), 0);
  EXPECT_EQ(factory->RefCount(), 1u);
}

TEST(Com, TaskMemoryRoundTrips) {
  auto* p = static_cast<char*>(CoTaskMemAlloc(4));
  ASSERT_NE(p, nullptr);
  std::memcpy(p, "abc", 4);
  p = static_cast<char*>(CoTaskMemRealloc(p, 100));
  EXPECT_STREQ(p, "abc");
  CoTaskMemFree(p);
  CoTaskMemFree(nullptr);
}

}  // namespace
