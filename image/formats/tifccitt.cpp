// Placeholder until the fax codecs land: decoders give white rows, encoders abort.
#include "image/formats/tifccitt.h"

#include <cstring>

namespace {
void White(Byte* dest, Integer width) {
  if (width > 0) std::memset(dest, 0xFF, static_cast<size_t>((width + 7) / 8));
}
}  // namespace

Integer CCITTHuffmanGetLine(Byte* Dest, const Byte*, Integer, Integer Width, Integer) {
  White(Dest, Width);
  return 0;
}
Integer _CCITTHuffmanGetLine(Byte* Dest, const Byte*, Integer, Integer Width, Integer StartBit,
                             Integer) {
  White(Dest, Width);
  return StartBit;
}
Integer CCITT3_2D_GetLine(Byte* Dest, const Byte*, Integer, Integer Width, Byte*, Integer StartBit,
                          Integer, bool) {
  White(Dest, Width);
  return StartBit;
}
void CCITTHuffmanPutLine(const Byte*, Integer, TStream*, bool& Aborting) { Aborting = true; }
void CCITTHuffmanPutLineG3(const Byte*, Integer, TStream*, Byte&, Integer&, bool& Aborting) {
  Aborting = true;
}
void CCITTHuffmanPutLineG32D(const Byte*, Integer, TStream*, Byte&, Integer&, std::vector<Byte>&,
                             bool& Aborting) {
  Aborting = true;
}
void CCITTHuffmanPutLineG4(const Byte*, Integer, TStream*, Byte&, Integer&, std::vector<Byte>&,
                           bool& Aborting) {
  Aborting = true;
}
