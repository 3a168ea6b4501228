#include "platform/ole/OleAuto.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/ole/ConnectionPoints.h"
#include "platform/ole/OleVariant.h"

namespace {

// Counts live objects so leaks and double releases show.
int gLive = 0;

// A dispatch object that records each Invoke: its DISPID, flags and the arguments
// as it received them (rgvarg order), and answers DISPID_VALUE reads with `value`.
class Recorder final : public ComObject<IDispatch> {
 public:
  Recorder() { ++gLive; }
  ~Recorder() override { --gLive; }
  struct Call {
    DISPID id;
    Word flags;
    std::vector<OleVariant> args;
  };
  std::vector<Call> calls;
  OleVariant value;
  IID acceptedSink = IID_IDispatch;

  HRESULT GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID id, REFIID, LCID, Word flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                 UINT*) override {
    Call call{id, flags, {}};
    for (UINT i = 0; i < params->cArgs; ++i) call.args.emplace_back(params->rgvarg[i]);
    // A by-reference argument is written through, as event handlers do.
    for (UINT i = 0; i < params->cArgs; ++i)
      if (params->rgvarg[i].vt == (VT_I4 | VT_BYREF)) *params->rgvarg[i].plVal += 100;
    calls.push_back(std::move(call));
    if (id == DISPID_VALUE && (flags & DISPATCH_PROPERTYGET) != 0 && result != nullptr)
      return VariantCopy(result, &value);
    return S_OK;
  }

 protected:
  void* QueryInterfaceExtra(REFIID riid) override {
    return riid == acceptedSink ? static_cast<IDispatch*>(this) : nullptr;
  }
};


TEST(Bstr, AllocatesWithLengthPrefixAndEmbeddedZeros) {
  BSTR s = SysAllocString(u"h\u00e9llo");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(SysStringLen(s), 5u);
  EXPECT_EQ(SysStringByteLen(s), 10u);
  EXPECT_EQ(s[5], 0);
  const OLECHAR withZero[] = {u'a', 0, u'b'};
  BSTR z = SysAllocStringLen(withZero, 3);
  EXPECT_EQ(SysStringLen(z), 3u);
  EXPECT_EQ(BstrToWide(z), WideString(withZero, 3));
  EXPECT_EQ(SysReAllocString(&z, u"xy"), TRUE);
  EXPECT_EQ(BstrToWide(z), u"xy");
  BSTR bytes = SysAllocStringByteLen("abc", 3);
  EXPECT_EQ(SysStringByteLen(bytes), 3u);
  EXPECT_EQ(SysStringLen(bytes), 1u);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysAllocStringLen(nullptr, 0x7FFFFFFFu), nullptr);  // too large
  BSTR empty = WideToBstr({});
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(SysStringLen(empty), 0u);
  for (BSTR b : {s, z, bytes, empty}) SysFreeString(b);
  SysFreeString(nullptr);
}

struct Conversion {
  const char* name;
  OleVariant from;
  VARTYPE to;
  Word flags;
  HRESULT expected;
  OleVariant result;  // compared as text when the conversion succeeds
};

OleVariant I2(SmallInt v) {
  OleVariant o;
  o.vt = VT_I2;
  o.iVal = v;
  return o;
}
OleVariant Cy(int64_t tenThousandths) {
  OleVariant o;
  o.vt = VT_CY;
  o.cyVal.int64 = tenThousandths;
  return o;
}
OleVariant Date(double d) {
  OleVariant o;
  o.vt = VT_DATE;
  o.date = d;
  return o;
}
OleVariant Ui1(Byte b) {
  OleVariant o;
  o.vt = VT_UI1;
  o.bVal = b;
  return o;
}

TEST(Variant, ChangeTypeFollowsThePlatformsRules) {
  const std::vector<Conversion> table = {
      {"int to text", OleVariant(int32_t{-42}), VT_BSTR, 0, S_OK, OleVariant(u"-42")},
      {"true to text", OleVariant(true), VT_BSTR, 0, S_OK, OleVariant(u"-1")},
      {"true to alpha text", OleVariant(true), VT_BSTR, VARIANT_ALPHABOOL, S_OK, OleVariant(u"True")},
      {"double to text", OleVariant(2.5), VT_BSTR, 0, S_OK, OleVariant(u"2.5")},
      {"large double to text", OleVariant(1e20), VT_BSTR, 0, S_OK, OleVariant(u"1E+20")},
      {"third to text", OleVariant(1.0 / 3), VT_BSTR, 0, S_OK, OleVariant(u"0.333333333333333")},
      {"currency to text", Cy(15000), VT_BSTR, 0, S_OK, OleVariant(u"1.5")},
      {"date to text", Date(36526.75), VT_BSTR, 0, S_OK, OleVariant(u"1/1/2000 6:00:00 PM")},
      {"midnight to text", Date(0), VT_BSTR, 0, S_OK, OleVariant(u"12:00:00 AM")},
      {"empty to text", OleVariant(), VT_BSTR, 0, S_OK, OleVariant(u"")},
      {"empty to int", OleVariant(), VT_I4, 0, S_OK, OleVariant(int32_t{0})},
      {"null to int", OleVariant::Null(), VT_I4, 0, DISP_E_TYPEMISMATCH, {}},
      {"null to text", OleVariant::Null(), VT_BSTR, 0, DISP_E_TYPEMISMATCH, {}},
      {"error to int", OleVariant::Missing(), VT_I4, 0, DISP_E_TYPEMISMATCH, {}},
      {"text to int", OleVariant(u" 1,234 "), VT_I4, 0, S_OK, OleVariant(int32_t{1234})},
      {"hex text to int", OleVariant(u"&HFF"), VT_I4, 0, S_OK, OleVariant(int32_t{255})},
      {"fraction text rounds to even", OleVariant(u"2.5"), VT_I4, 0, S_OK, OleVariant(int32_t{2})},
      {"fraction text rounds up", OleVariant(u"3.5"), VT_I4, 0, S_OK, OleVariant(int32_t{4})},
      {"word to int", OleVariant(u"abc"), VT_I4, 0, DISP_E_TYPEMISMATCH, {}},
      {"empty text to int", OleVariant(u""), VT_I4, 0, DISP_E_TYPEMISMATCH, {}},
      {"big text to int", OleVariant(u"3000000000"), VT_I4, 0, DISP_E_OVERFLOW, {}},
      {"int to short overflows", OleVariant(int32_t{40000}), VT_I2, 0, DISP_E_OVERFLOW, {}},
      {"negative to byte overflows", OleVariant(int32_t{-1}), VT_UI1, 0, DISP_E_OVERFLOW, {}},
      {"short to int", I2(-7), VT_I4, 0, S_OK, OleVariant(int32_t{-7})},
      {"double to short rounds", OleVariant(-1.5), VT_I2, 0, S_OK, I2(-2)},
      {"nan to int overflows", OleVariant(std::nan("")), VT_I4, 0, DISP_E_OVERFLOW, {}},
      {"int to bool", OleVariant(int32_t{5}), VT_BOOL, 0, S_OK, OleVariant(true)},
      {"zero to bool", OleVariant(0.0), VT_BOOL, 0, S_OK, OleVariant(false)},
      {"text true to bool", OleVariant(u"TRUE"), VT_BOOL, 0, S_OK, OleVariant(true)},
      {"text number to bool", OleVariant(u"0"), VT_BOOL, 0, S_OK, OleVariant(false)},
      {"text word to bool", OleVariant(u"yes"), VT_BOOL, 0, DISP_E_TYPEMISMATCH, {}},
      {"bool to int", OleVariant(true), VT_I4, 0, S_OK, OleVariant(int32_t{-1})},
      {"currency to int", Cy(25000), VT_I4, 0, S_OK, OleVariant(int32_t{2})},
      {"double to currency", OleVariant(1.23456), VT_CY, 0, S_OK, Cy(12346)},
      {"text to date", OleVariant(u"1/1/2000 6:00 PM"), VT_DATE, 0, S_OK, Date(36526.75)},
      {"iso text to date", OleVariant(u"2000-01-01"), VT_DATE, 0, S_OK, Date(36526)},
      {"bad text to date", OleVariant(u"13/45/2000"), VT_DATE, 0, DISP_E_TYPEMISMATCH, {}},
      {"int to byte", OleVariant(int32_t{200}), VT_UI1, 0, S_OK, Ui1(200)},
      {"int to dispatch", OleVariant(int32_t{1}), VT_DISPATCH, 0, DISP_E_TYPEMISMATCH, {}},
      {"int to variant type", OleVariant(int32_t{1}), VT_VARIANT, 0, DISP_E_BADVARTYPE, {}},
  };
  for (const Conversion& c : table) {
    SCOPED_TRACE(c.name);
    VARIANT out;
    VariantInit(&out);
    const HRESULT hr = VariantChangeType(&out, &c.from, c.flags, c.to);
    EXPECT_EQ(hr, c.expected);
    if (SUCCEEDED(hr)) {
      EXPECT_EQ(out.vt, c.to);
      OleVariant got(out);
      EXPECT_EQ(got.AsWideString(), c.result.AsWideString());
    } else {
      EXPECT_EQ(out.vt, VT_EMPTY);  // left as it was
    }
    VariantClear(&out);
  }
}

TEST(Variant, ConvertsInPlaceAndThroughByReferenceAndValueProperty) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(u"12");
  ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_I4), S_OK);  // the old text is freed
  EXPECT_EQ(v.vt, VT_I4);
  EXPECT_EQ(v.lVal, 12);

  LONG target = 7;
  VARIANT ref;
  VariantInit(&ref);
  ref.vt = VT_I4 | VT_BYREF;
  ref.plVal = &target;
  VARIANT text;
  VariantInit(&text);
  ASSERT_EQ(VariantChangeType(&text, &ref, 0, VT_BSTR), S_OK);
  EXPECT_EQ(BstrToWide(text.bstrVal), u"7");
  VariantClear(&text);
  EXPECT_EQ(VariantClear(&ref), S_OK);  // frees nothing
  EXPECT_EQ(target, 7);

  ComPtr<Recorder> object = MakeComObject<Recorder>();
  object->value = OleVariant(u"99");
  OleVariant asObject(static_cast<IDispatch*>(object.Get()));
  EXPECT_EQ(asObject.AsInteger(), 99);
  VARIANT out;
  VariantInit(&out);
  EXPECT_EQ(VariantChangeType(&out, &asObject, VARIANT_NOVALUEPROP, VT_I4), DISP_E_TYPEMISMATCH);
  ASSERT_EQ(VariantChangeType(&out, &asObject, 0, VT_UNKNOWN), S_OK);
  EXPECT_TRUE(IsSameObject(out.punkVal, object.Get()));
  VariantClear(&out);
  asObject.Clear();
  EXPECT_EQ(object->RefCount(), 1u);
}

TEST(Variant, CopyAndClearOwnTheirValues) {
  ComPtr<Recorder> object = MakeComObject<Recorder>();
  {
    OleVariant a(static_cast<IDispatch*>(object.Get()));
    OleVariant b = a;
    OleVariant c(u"text");
    OleVariant d = c;
    EXPECT_EQ(object->RefCount(), 3u);
    EXPECT_NE(c.bstrVal, d.bstrVal);  // a deep copy
    OleVariant moved = std::move(b);
    EXPECT_TRUE(b.IsEmpty());
    EXPECT_EQ(object->RefCount(), 3u);
  }
  EXPECT_EQ(object->RefCount(), 1u);

  VARIANT bad;
  VariantInit(&bad);
  bad.vt = 0x0FFF;
  EXPECT_EQ(VariantClear(&bad), DISP_E_BADVARTYPE);
  VARIANT copy;
  VariantInit(&copy);
  EXPECT_EQ(VariantCopy(&copy, &bad), DISP_E_BADVARTYPE);

  EXPECT_THROW(OleVariant(u"x").AsInteger(), EVariantTypeCastError);
  EXPECT_THROW(OleVariant(1e10).AsInteger(), EVariantOverflowError);
  try {
    OleVariant(u"x").AsBool();
    ADD_FAILURE() << "no exception";
  } catch (const EVariantTypeCastError& e) {
    EXPECT_EQ(e.Message(), "Could not convert variant of type (OleStr) into type (Boolean)");
  }
  OleVariant missing = OleVariant::Missing();
  EXPECT_EQ(missing.vt, VT_ERROR);
  EXPECT_EQ(missing.scode, DISP_E_PARAMNOTFOUND);
}

TEST(SafeArray, BoundsElementsAndLocking) {
  SAFEARRAY* a = SafeArrayCreateVector(VT_VARIANT, 0, 3);
  ASSERT_NE(a, nullptr);
  LONG lo = -1, hi = -1;
  EXPECT_EQ(SafeArrayGetLBound(a, 1, &lo), S_OK);
  EXPECT_EQ(SafeArrayGetUBound(a, 1, &hi), S_OK);
  EXPECT_EQ(lo, 0);
  EXPECT_EQ(hi, 2);
  EXPECT_EQ(SafeArrayGetUBound(a, 2, &hi), DISP_E_BADINDEX);
  EXPECT_EQ(SafeArrayGetLBound(a, 0, &lo), DISP_E_BADINDEX);
  VARTYPE vt = 0;
  EXPECT_EQ(SafeArrayGetVartype(a, &vt), S_OK);
  EXPECT_EQ(vt, VT_VARIANT);
  EXPECT_EQ(SafeArrayGetDim(a), 1u);

  const OleVariant header(u"Header");
  const OleVariant footer(u"Footer");
  LONG index = 0;
  EXPECT_EQ(SafeArrayPutElement(a, &index, &header), S_OK);
  index = 1;
  EXPECT_EQ(SafeArrayPutElement(a, &index, &footer), S_OK);
  EXPECT_EQ(SafeArrayPutElement(a, &index, &footer), S_OK);  // the old value is freed
  index = 3;
  EXPECT_EQ(SafeArrayPutElement(a, &index, &footer), DISP_E_BADINDEX);
  index = -1;
  EXPECT_EQ(SafeArrayPutElement(a, &index, &footer), DISP_E_BADINDEX);

  VARIANT* data = nullptr;
  ASSERT_EQ(SafeArrayAccessData(a, reinterpret_cast<void**>(&data)), S_OK);
  EXPECT_EQ(BstrToWide(data[1].bstrVal), u"Footer");
  EXPECT_EQ(data[2].vt, VT_EMPTY);
  EXPECT_EQ(SafeArrayDestroy(a), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(SafeArrayUnaccessData(a), S_OK);
  EXPECT_EQ(SafeArrayUnaccessData(a), E_UNEXPECTED);

  // An array in a variant goes with the variant; a copy is deep.
  OleVariant holder;
  holder.vt = VT_ARRAY | VT_VARIANT;
  holder.parray = a;
  OleVariant copy = holder;
  EXPECT_NE(copy.parray, a);
  OleVariant same = holder.ChangedTo(VT_ARRAY | VT_VARIANT);  // the same type: a copy
  EXPECT_NE(same.parray, a);
  EXPECT_THROW(holder.ChangedTo(VT_ARRAY | VT_I4), EVariantTypeCastError);
  OleVariant element;
  index = 0;
  ASSERT_EQ(SafeArrayGetElement(copy.parray, &index, &element), S_OK);
  EXPECT_EQ(element.AsWideString(), u"Header");
  // By reference the variant frees nothing: the holder still owns the array.
  VARIANT byRef;
  VariantInit(&byRef);
  byRef.vt = VT_ARRAY | VT_VARIANT | VT_BYREF;
  byRef.pparray = &holder.parray;
  EXPECT_EQ(VariantClear(&byRef), S_OK);
  EXPECT_EQ(SafeArrayGetDim(holder.parray), 1u);

  // Two dimensions with bounds from 1 and from -2; the last dimension's index first.
  SAFEARRAYBOUND bounds[2] = {{2, 1}, {3, -2}};
  SAFEARRAY* grid = SafeArrayCreate(VT_I4, 2, bounds);
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(SafeArrayGetLBound(grid, 1, &lo), S_OK);
  EXPECT_EQ(lo, 1);
  EXPECT_EQ(SafeArrayGetUBound(grid, 2, &hi), S_OK);
  EXPECT_EQ(hi, 0);
  for (LONG i = 1; i <= 2; ++i)
    for (LONG j = -2; j <= 0; ++j) {
      LONG at[2] = {j, i};
      const LONG value = i * 10 + j;
      EXPECT_EQ(SafeArrayPutElement(grid, at, &value), S_OK);
    }
  LONG at[2] = {0, 2};
  LONG got = 0;
  EXPECT_EQ(SafeArrayGetElement(grid, at, &got), S_OK);
  EXPECT_EQ(got, 20);
  at[1] = 3;
  EXPECT_EQ(SafeArrayGetElement(grid, at, &got), DISP_E_BADINDEX);
  EXPECT_EQ(SafeArrayDestroy(grid), S_OK);

  EXPECT_EQ(SafeArrayCreateVector(VT_EMPTY, 0, 1), nullptr);
  EXPECT_EQ(SafeArrayCreateVector(VT_R8, 0, 0x7FFFFFFF), nullptr);  // beyond 2 GiB
  EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
}

TEST(Dispatch, ArgumentsArriveInReverseAndParamsAreFoundByPosition) {
  // DispGetParam counts from the first declared argument, the last element of rgvarg.
  VARIANT args[3];
  for (VARIANT& v : args) VariantInit(&v);
  args[2].vt = VT_I4;
  args[2].lVal = 5;  // first argument
  args[1].vt = VT_BSTR;
  args[1].bstrVal = SysAllocString(u"7");
  args[0].vt = VT_BOOL;
  args[0].boolVal = VARIANT_TRUE;
  DISPPARAMS params{args, nullptr, 3, 0};
  VARIANT out;
  UINT argErr = 99;
  ASSERT_EQ(DispGetParam(&params, 0, VT_I4, &out, &argErr), S_OK);
  EXPECT_EQ(out.lVal, 5);
  ASSERT_EQ(DispGetParam(&params, 1, VT_I4, &out, &argErr), S_OK);
  EXPECT_EQ(out.lVal, 7);
  EXPECT_EQ(DispGetParam(&params, 3, VT_I4, &out, &argErr), DISP_E_PARAMNOTFOUND);
  EXPECT_EQ(DispGetParam(&params, 2, VT_DISPATCH, &out, &argErr), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 0u);
  SysFreeString(args[1].bstrVal);

  // A property put names its value DISPID_PROPERTYPUT.
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_I4;
  value.lVal = 3;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS put{&value, &named, 1, 1};
  ASSERT_EQ(DispGetParam(&put, static_cast<UINT>(DISPID_PROPERTYPUT), VT_I4, &out, nullptr), S_OK);
  EXPECT_EQ(out.lVal, 3);
  EXPECT_EQ(DispGetParam(&put, 0, VT_I4, &out, nullptr), DISP_E_PARAMNOTFOUND);
}

TEST(Dispatch, InvokeErrorsBecomeOleExceptions) {
  EXCEPINFO info;
  info.scode = E_ACCESSDENIED;
  info.bstrDescription = SysAllocString(u"No entry.\r\n");
  info.bstrSource = SysAllocString(u"Engine");
  try {
    DispatchInvokeError(DISP_E_EXCEPTION, info);
  } catch (const EOleException& e) {
    EXPECT_EQ(e.ErrorCode, E_ACCESSDENIED);
    EXPECT_EQ(e.Message(), "No entry");
    EXPECT_EQ(e.Source, "Engine");
  }
  EXPECT_EQ(info.bstrDescription, nullptr);
  try {
    DispatchInvokeError(DISP_E_MEMBERNOTFOUND, info);
  } catch (const EOleException&) {
    ADD_FAILURE() << "a plain failure is no EOleException";
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ErrorCode, DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(e.Message(), "Member not found");
  }
}

constexpr IID DIID_TestEvents = MakeGuid("{588D5040-CF28-11D1-8CD3-00A0C959BC0A}");

class Source final : public ComObject<IConnectionPointContainer> {
 public:
  Source() { ++gLive; }
  ~Source() override { --gLive; }
  HRESULT EnumConnectionPoints(IEnumConnectionPoints** points) override {
    *points = nullptr;
    return E_NOTIMPL;
  }
  HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) override {
    return FindConnectionPointIn({&events, &changes}, iid, point);
  }
  ConnectionPoint events{this, DIID_TestEvents};
  ConnectionPoint changes{this, IID_IPropertyNotifySink};
};

TEST(ConnectionPoints, AdviseFiresInDeclarationOrderAndUnadvises) {
  {
    ComPtr<Source> source = MakeComObject<Source>();
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(source->FindConnectionPoint(DIID_TestEvents, point.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(source->RefCount(), 2u);  // the point counts on its container
    ComPtr<IConnectionPoint> none;
    EXPECT_EQ(source->FindConnectionPoint(IID_IDispatch, none.ReleaseAndGetAddressOf()), CONNECT_E_NOCONNECTION);
    IID iid;
    EXPECT_EQ(point->GetConnectionInterface(&iid), S_OK);
    EXPECT_EQ(iid, DIID_TestEvents);
    ComPtr<IConnectionPointContainer> back;
    EXPECT_EQ(point->GetConnectionPointContainer(back.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_TRUE(IsSameObject(back.Get(), source.Get()));

    ComPtr<Recorder> sink = MakeComObject<Recorder>();
    DWORD cookie = 0;
    EXPECT_EQ(point->Advise(sink.Get(), &cookie), CONNECT_E_CANNOTCONNECT);  // does not answer the event IID
    EXPECT_EQ(cookie, 0u);
    sink->acceptedSink = DIID_TestEvents;
    ASSERT_EQ(point->Advise(sink.Get(), &cookie), S_OK);
    EXPECT_NE(cookie, 0u);
    ComPtr<Recorder> second = MakeComObject<Recorder>();
    second->acceptedSink = DIID_TestEvents;
    DWORD cookie2 = 0;
    ASSERT_EQ(point->Advise(second.Get(), &cookie2), S_OK);
    EXPECT_NE(cookie2, cookie);
    EXPECT_EQ(point->Advise(nullptr, &cookie2), E_POINTER);

    // ShowContextMenu(xPos, yPos) with a by-reference third argument.
    LONG written = 1;
    VARIANT args[3];
    for (VARIANT& v : args) VariantInit(&v);
    args[0].vt = VT_I4;
    args[0].lVal = 10;
    args[1].vt = VT_I4;
    args[1].lVal = 20;
    args[2].vt = VT_I4 | VT_BYREF;
    args[2].plVal = &written;
    source->events.FireDispatch(3, args, 3);
    ASSERT_EQ(sink->calls.size(), 1u);
    const Recorder::Call& call = sink->calls[0];
    EXPECT_EQ(call.id, 3);
    EXPECT_EQ(call.flags, DISPATCH_METHOD);
    ASSERT_EQ(call.args.size(), 3u);
    EXPECT_EQ(call.args[2].lVal, 10);  // rgvarg[cArgs - 1] is the first argument
    EXPECT_EQ(call.args[1].lVal, 20);
    EXPECT_EQ(written, 201);  // both sinks wrote through the reference
    EXPECT_EQ(second->calls.size(), 1u);

    EXPECT_EQ(point->Unadvise(cookie), S_OK);
    EXPECT_EQ(point->Unadvise(cookie), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(point->Unadvise(0), CONNECT_E_NOCONNECTION);
    source->events.FireDispatch(1);
    EXPECT_EQ(sink->calls.size(), 1u);
    EXPECT_EQ(second->calls.size(), 2u);
    EXPECT_EQ(sink->RefCount(), 1u);
    EXPECT_EQ(second->RefCount(), 2u);  // still connected
  }
  EXPECT_EQ(gLive, 0);  // the source let its sinks go when it went
}

// A sink that disconnects itself while an event is going out.
class SelfRemoving final : public ComObject<IDispatch> {
 public:
  IConnectionPoint* point = nullptr;
  DWORD cookie = 0;
  int calls = 0;
  HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, REFIID, LCID, Word, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    ++calls;
    return point->Unadvise(cookie);
  }

 protected:
  void* QueryInterfaceExtra(REFIID riid) override {
    return riid == DIID_TestEvents ? static_cast<IDispatch*>(this) : nullptr;
  }
};

TEST(ConnectionPoints, ASinkMayDisconnectWhileCalled) {
  ComPtr<Source> source = MakeComObject<Source>();
  ComPtr<SelfRemoving> sink = MakeComObject<SelfRemoving>();
  sink->point = &source->events;
  ASSERT_EQ(source->events.Advise(sink.Get(), &sink->cookie), S_OK);
  ComPtr<Recorder> other = MakeComObject<Recorder>();
  other->acceptedSink = DIID_TestEvents;
  DWORD cookie = 0;
  ASSERT_EQ(source->events.Advise(other.Get(), &cookie), S_OK);
  source->events.FireDispatch(2);
  source->events.FireDispatch(2);
  EXPECT_EQ(sink->calls, 1);
  EXPECT_EQ(other->calls.size(), 2u);
  EXPECT_EQ(source->events.SinkCount(), 1u);
}

}  // namespace
