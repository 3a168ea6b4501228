#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/ole/OleAuto.h"

namespace {

constexpr UINT kMaxDims = 64;
constexpr uint64_t kMaxDataBytes = 0x7FFFFFFFu;

// The element type lives in front of the array, where the platform keeps it too.
struct Block {
  VARTYPE vt;
  SAFEARRAY array;
};

Block* BlockOf(SAFEARRAY* array) {
  return reinterpret_cast<Block*>(reinterpret_cast<char*>(array) - offsetof(Block, array));
}

ULONG ElementSize(VARTYPE vt) {
  switch (vt) {
    case VT_I1:
    case VT_UI1:
      return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
      return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
      return 4;
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_I8:
    case VT_UI8:
      return 8;
    case VT_BSTR:
    case VT_UNKNOWN:
    case VT_DISPATCH:
      return sizeof(void*);
    case VT_VARIANT:
      return sizeof(VARIANT);
    default:
      return 0;
  }
}

Word FeaturesOf(VARTYPE vt) {
  Word f = FADF_HAVEVARTYPE;
  if (vt == VT_BSTR) f |= FADF_BSTR;
  if (vt == VT_UNKNOWN) f |= FADF_UNKNOWN;
  if (vt == VT_DISPATCH) f |= FADF_DISPATCH;
  if (vt == VT_VARIANT) f |= FADF_VARIANT;
  return f;
}

uint64_t ElementCount(const SAFEARRAY* a) {
  uint64_t n = 1;
  for (UINT i = 0; i < a->cDims; ++i) n *= a->rgsabound[i].cElements;
  return n;
}

// Frees what the elements own and zeroes them.
void ClearElements(SAFEARRAY* a, VARTYPE vt) {
  const uint64_t n = ElementCount(a);
  if (a->pvData == nullptr) return;
  for (uint64_t i = 0; i < n; ++i) {
    void* e = static_cast<char*>(a->pvData) + i * a->cbElements;
    if (vt == VT_BSTR) {
      SysFreeString(*static_cast<BSTR*>(e));
    } else if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
      if (IUnknown* u = *static_cast<IUnknown**>(e)) u->Release();
    } else if (vt == VT_VARIANT) {
      VariantClear(static_cast<VARIANT*>(e));
    }
  }
  std::memset(a->pvData, 0, static_cast<size_t>(n * a->cbElements));
}

// Copies one element value into place (the old value at `to` is not freed).
HRESULT CopyElement(VARTYPE vt, ULONG size, void* to, const void* from) {
  if (vt == VT_BSTR) {
    BSTR s = *static_cast<const BSTR*>(from);
    BSTR copy = nullptr;
    if (s != nullptr) {
      copy = SysAllocStringLen(s, SysStringLen(s));
      if (copy == nullptr) return E_OUTOFMEMORY;
    }
    *static_cast<BSTR*>(to) = copy;
  } else if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
    IUnknown* u = *static_cast<IUnknown* const*>(from);
    if (u) u->AddRef();
    *static_cast<IUnknown**>(to) = u;
  } else if (vt == VT_VARIANT) {
    auto* v = static_cast<VARIANT*>(to);
    VariantInit(v);
    return VariantCopy(v, static_cast<const VARIANT*>(from));
  } else {
    std::memcpy(to, from, size);
  }
  return S_OK;
}

}  // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT dims, const SAFEARRAYBOUND* bounds) {
  const ULONG size = ElementSize(vt);
  if (size == 0 || dims == 0 || dims > kMaxDims || bounds == nullptr) return nullptr;
  uint64_t count = 1;
  for (UINT i = 0; i < dims; ++i) {
    count *= bounds[i].cElements;
    if (count * size > kMaxDataBytes) return nullptr;
  }
  const size_t header = offsetof(Block, array) + offsetof(SAFEARRAY, rgsabound) + dims * sizeof(SAFEARRAYBOUND);
  auto* block = static_cast<Block*>(std::calloc(1, header));
  if (block == nullptr) return nullptr;
  SAFEARRAY* a = &block->array;
  block->vt = vt;
  a->cDims = static_cast<Word>(dims);
  a->fFeatures = FeaturesOf(vt);
  a->cbElements = size;
  // Stored last dimension first.
  for (UINT i = 0; i < dims; ++i) a->rgsabound[dims - 1 - i] = bounds[i];
  a->pvData = std::calloc(count == 0 ? 1 : static_cast<size_t>(count), size);
  if (a->pvData == nullptr) {
    std::free(block);
    return nullptr;
  }
  return a;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG count) {
  SAFEARRAYBOUND bound{count, lowerBound};
  return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* array) {
  if (array == nullptr) return S_OK;
  if (array->cLocks > 0) return DISP_E_ARRAYISLOCKED;
  ClearElements(array, BlockOf(array)->vt);
  std::free(array->pvData);
  std::free(BlockOf(array));
  return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* array) { return array ? array->cDims : 0; }
UINT SafeArrayGetElemsize(SAFEARRAY* array) { return array ? array->cbElements : 0; }

HRESULT SafeArrayGetVartype(SAFEARRAY* array, VARTYPE* vt) {
  if (array == nullptr || vt == nullptr) return E_INVALIDARG;
  *vt = BlockOf(array)->vt;
  return S_OK;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dim, LONG* bound) {
  if (array == nullptr || bound == nullptr) return E_INVALIDARG;
  if (dim < 1 || dim > array->cDims) return DISP_E_BADINDEX;
  *bound = array->rgsabound[array->cDims - dim].lLbound;
  return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dim, LONG* bound) {
  if (array == nullptr || bound == nullptr) return E_INVALIDARG;
  if (dim < 1 || dim > array->cDims) return DISP_E_BADINDEX;
  const SAFEARRAYBOUND& b = array->rgsabound[array->cDims - dim];
  *bound = static_cast<LONG>(int64_t{b.lLbound} + b.cElements - 1);
  return S_OK;
}

HRESULT SafeArrayLock(SAFEARRAY* array) {
  if (array == nullptr) return E_INVALIDARG;
  if (array->cLocks == 0xFFFF) return E_UNEXPECTED;
  ++array->cLocks;
  return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* array) {
  if (array == nullptr) return E_INVALIDARG;
  if (array->cLocks == 0) return E_UNEXPECTED;
  --array->cLocks;
  return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data) {
  if (array == nullptr || data == nullptr) return E_INVALIDARG;
  const HRESULT hr = SafeArrayLock(array);
  *data = SUCCEEDED(hr) ? array->pvData : nullptr;
  return hr;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* array) { return SafeArrayUnlock(array); }

HRESULT SafeArrayPtrOfIndex(SAFEARRAY* array, const LONG* indices, void** element) {
  if (array == nullptr || indices == nullptr || element == nullptr) return E_INVALIDARG;
  *element = nullptr;
  // indices[d] goes with rgsabound[d]; the first of them varies fastest in memory.
  uint64_t offset = 0;
  uint64_t stride = 1;
  for (UINT d = 0; d < array->cDims; ++d) {
    const SAFEARRAYBOUND& b = array->rgsabound[d];
    const int64_t i = int64_t{indices[d]} - b.lLbound;
    if (i < 0 || i >= int64_t{b.cElements}) return DISP_E_BADINDEX;
    offset += static_cast<uint64_t>(i) * stride;
    stride *= b.cElements;
  }
  *element = static_cast<char*>(array->pvData) + offset * array->cbElements;
  return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* array, const LONG* indices, void* value) {
  if (value == nullptr) return E_INVALIDARG;
  void* element = nullptr;
  const HRESULT hr = SafeArrayPtrOfIndex(array, indices, &element);
  if (FAILED(hr)) return hr;
  return CopyElement(BlockOf(array)->vt, array->cbElements, value, element);
}

HRESULT SafeArrayPutElement(SAFEARRAY* array, const LONG* indices, const void* value) {
  if (value == nullptr) return E_INVALIDARG;
  void* element = nullptr;
  HRESULT hr = SafeArrayPtrOfIndex(array, indices, &element);
  if (FAILED(hr)) return hr;
  const VARTYPE vt = BlockOf(array)->vt;
  // Copy first, so putting an element's own value back is safe.
  alignas(VARIANT) unsigned char fresh[sizeof(VARIANT)];
  hr = CopyElement(vt, array->cbElements, fresh, value);
  if (FAILED(hr)) return hr;
  if (vt == VT_BSTR) {
    SysFreeString(*static_cast<BSTR*>(element));
  } else if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
    if (IUnknown* u = *static_cast<IUnknown**>(element)) u->Release();
  } else if (vt == VT_VARIANT) {
    VariantClear(static_cast<VARIANT*>(element));
  }
  std::memcpy(element, fresh, array->cbElements);
  return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* array, SAFEARRAY** copy) {
  if (copy == nullptr) return E_INVALIDARG;
  *copy = nullptr;
  if (array == nullptr) return S_OK;
  const VARTYPE vt = BlockOf(array)->vt;
  SAFEARRAYBOUND bounds[kMaxDims];
  for (UINT d = 0; d < array->cDims; ++d) bounds[d] = array->rgsabound[array->cDims - 1 - d];
  SAFEARRAY* out = SafeArrayCreate(vt, array->cDims, bounds);
  if (out == nullptr) return E_OUTOFMEMORY;
  const uint64_t n = ElementCount(array);
  for (uint64_t i = 0; i < n; ++i) {
    const HRESULT hr = CopyElement(vt, array->cbElements, static_cast<char*>(out->pvData) + i * array->cbElements,
                                   static_cast<char*>(array->pvData) + i * array->cbElements);
    if (FAILED(hr)) {
      SafeArrayDestroy(out);
      return hr;
    }
  }
  *copy = out;
  return S_OK;
}
