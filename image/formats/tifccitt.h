// Unit tifccitt: bilevel rows coded with the run lengths of ITU-T T.4 (Modified
// Huffman, one- and two-dimensional Group 3) and T.6 (Group 4).
//
// Row bits: one bit per pixel, the first pixel in the most significant bit of the
// first byte. The decoders produce 1 for white and 0 for black; the encoders take 0
// for white and 1 for black. Bit positions count from the first bit of Src. The
// decoders never read past Src + SrcLen: bits beyond it read as zeros.
#pragma once

#include <vector>

#include "platform/rtl/Streams.h"
#include "platform/rtl/Types.h"

// Modified Huffman (TIFF compression 2) from bit 0: the bytes of Src consumed,
// rounded up.
Integer CCITTHuffmanGetLine(Byte* Dest, const Byte* Src, Integer SrcLen, Integer Width,
                            Integer FillOrder);
// One-dimensional Group 3 from StartBit: the bit position after the row.
Integer _CCITTHuffmanGetLine(Byte* Dest, const Byte* Src, Integer SrcLen, Integer Width,
                             Integer StartBit, Integer FillOrder);
// Two-dimensional Group 3 and Group 4 from StartBit against RefLine (the previous
// row, ceil(Width / 8) bytes), which receives the decoded row: the bit position
// after the row.
Integer CCITT3_2D_GetLine(Byte* Dest, const Byte* Src, Integer SrcLen, Integer Width,
                          Byte* RefLine, Integer StartBit, Integer FillOrder, bool FillBits);

// Encoders. A null Row ends the image (pads and writes the pending byte, frees the
// reference line). Writes go through SafeStreamWrite, which sets Aborting on a
// short write. PendingByte and BitCount hold the partial byte between rows;
// RefLine is the reference line, created with the first row. Group 3 rows, one- and
// two-dimensional, each start with EOL.
void CCITTHuffmanPutLine(const Byte* Row, Integer Width, TStream* Stream, bool& Aborting);
void CCITTHuffmanPutLineG3(const Byte* Row, Integer Width, TStream* Stream, Byte& PendingByte,
                           Integer& BitCount, bool& Aborting);
void CCITTHuffmanPutLineG32D(const Byte* Row, Integer Width, TStream* Stream, Byte& PendingByte,
                             Integer& BitCount, std::vector<Byte>& RefLine, bool& Aborting);
void CCITTHuffmanPutLineG4(const Byte* Row, Integer Width, TStream* Stream, Byte& PendingByte,
                           Integer& BitCount, std::vector<Byte>& RefLine, bool& Aborting);
