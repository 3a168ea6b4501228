// Capability containers come from a scanner's driver, which may write anything:
// the counts, indexes and item types of a container must never take a reader past
// its block, and what a reader accepts must fit in it. The first byte chooses the
// container form (3 array, 4 enumeration, 5 one value, 6 range; anything else as
// it is); the rest is the block.
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "image/io/imscan.h"
#include "platform/twain/TwainInternal.h"

namespace {

constexpr fuzzsupport::InvariantCheck Check("capability container");

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const TW_UINT16 conType = data[0] >= 3 && data[0] <= 6 ? data[0] : static_cast<TW_UINT16>(data[0] << 4);
  const size_t blockSize = size - 1;
  HGLOBAL block = GlobalAlloc(GHND, blockSize);
  if (block == 0) return 0;
  if (blockSize > 0) std::memcpy(GlobalLock(block), data + 1, blockSize);
  GlobalUnlock(block);

  TIEIntegerList ints;
  if (IETW_ReadIntegerList(conType, block, ints))
    Check(static_cast<size_t>(ints.GetCount()) <= blockSize, "more integer items than bytes");
  TIEDoubleList doubles;
  for (bool resolution : {false, true})
    if (IETW_ReadDoubleList(conType, block, doubles, resolution))
      Check(static_cast<size_t>(doubles.GetCount()) <= blockSize, "more double items than bytes");
  bool flag = false;
  IETW_ReadBool(conType, block, flag);
  double number = 0;
  IETW_ReadFix32(conType, block, number);
  AnsiString text;
  if (IETW_ReadString(conType, block, text)) Check(text.size() + 2 <= blockSize, "a string longer than its block");
  // The manager reads what an application sends the same way.
  TW_UINT16 itemType = 0;
  uint32_t value = 0;
  larktwain::DecodeContainer(conType, block, &itemType, &value);
  Check(GlobalSize(block) == blockSize, "the block changed size");
  GlobalFree(block);
  return 0;
}
