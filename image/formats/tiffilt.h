// Unit tiffilt: TIFF 6.0 directories and tags, the reader, the writer, and page
// operations on multi-page streams. TTIFFEnv (a loaded directory) belongs to the
// image data model (image/model/ieutils.h).
#pragma once

#include <memory>
#include <vector>

#include "image/formats/dadiravio.h"
#include "image/model/iemask.h"
#include "image/model/ieutils.h"

// ===========================================================================
// Directories and tags
//
// A tag is absent when no entry of the loaded directory carries it; every accessor
// then answers its default. Offsets are taken as Value + Env.Base.

// Reads the header at the stream's position, walks the whole directory chain
// (ImageCount receives the number of directories) and loads directory ImageIndex.
// False for a bad byte-order mark, a first offset of 0 or a missing directory.
bool TIFFLoadTags(TStream* Stream, Integer& ImageCount, Integer ImageIndex, TTIFFEnv& Env);
void TIFFFreeTags(TTIFFEnv& Env);
// Index of the first entry with Tag, -1 when absent.
Integer TIFFFindTAG(Word Tag, const TTIFFEnv& Env);
// The entry's Count; 0 when absent.
Integer TIFFGetDataLength(const TTIFFEnv& Env, Integer Tag);
Integer TIFFReadSingleValDef(const TTIFFEnv& Env, Integer Tag, Integer Default);
double TIFFReadSingleRational(const TTIFFEnv& Env, Integer Tag);
double TIFFReadRationalIndex(const TTIFFEnv& Env, Integer Tag, Integer Index);
Integer TIFFReadIndexValN(const TTIFFEnv& Env, Integer Tag, Integer Index);
// The Count, with Values holding that many integers; 0 and Values untouched when
// absent.
Integer TIFFReadArrayIntegers(const TTIFFEnv& Env, std::unique_ptr<Integer[]>& Values,
                              Integer Tag);
// A copy of the Count bytes at the tag's offset (Length = Count); null when absent.
std::unique_ptr<Byte[]> TIFFReadRawData(const TTIFFEnv& Env, Integer Tag, Integer& Length);
AnsiString TIFFReadString(const TTIFFEnv& Env, Integer Tag);
AnsiString TIFFReadMiniString(const TTIFFEnv& Env, Integer Tag);

// The directory walker behind TIFFLoadTags, for readers that check the header
// themselves: walks the chain from FirstOffset (+ Env.Base) in the byte order
// of Env.Intel, counts the directories into Count and loads directory ImageIndex
// into Env. A chain that comes back to a directory already walked ends there; so
// does one at a directory whose entries run past the end of the stream, which is
// neither counted nor loaded.
bool TIFFLoadDirectory(Integer ImageIndex, DWORD FirstOffset, TTIFFEnv& Env, Integer& Count);

// ===========================================================================
// Reader

// Reads page Params->TIFF_ImageIndex (codec convention of dadiravio.h); ImageCount
// receives the number of pages. With a null Params no page is read, only counted.
// RelativeOffsets counts file offsets from the stream position at entry. The alpha
// goes to Mask (created when wanted and null) unless IgnoreAlpha.
void TIFFReadStream(TIEBitmap* Bitmap, TStream* Stream, Integer& ImageCount,
                    TIOParamsVals* Params, TProgressRec& Progress, bool Preview,
                    std::unique_ptr<TIEMask>& Mask, bool RelativeOffsets, bool IgnoreAlpha);

// The reader's state of one page, shared by its sources: the tag values (absent
// tags give the defaults below), the loaded arrays, the colour map and the LZW
// decoder chosen.
struct TTIFFVars {
  Integer ImageWidth = 0;                   // 256
  Integer ImageLength = 0;                  // 257
  Integer SamplesPerPixel = 1;              // 277
  Integer BitsPerSample = 1;                // 258 (every sample the same)
  Integer RowsPerStrip = 0;                 // 278; 0 and 0xFFFFFFFF: ImageLength
  Integer TileWidth = -1;                   // 322
  Integer TileLength = -1;                  // 323
  Integer Photometric = 2;                  // 262
  Integer PlanarConfiguration = 1;          // 284
  Integer Orientation = 1;                  // 274
  Integer Compression = 1;                  // 259
  Integer Predictor = 1;                    // 317
  Integer ResolutionUnit = 2;               // 296
  double XResolution = 0;                   // 282
  double YResolution = 0;                   // 283
  Integer T4Options = 0;                    // 292
  Integer FillOrder = 1;                    // 266
  double XPosition = 0;                     // 286
  double YPosition = 0;                     // 287
  Integer JPEGProc = 0;                     // 512
  Integer JPEGInterchangeFormat = 0;        // 513
  Integer JPEGInterchangeFormatLength = 0;  // 514
  Integer ExtraSamples = 0;                 // 338, first value
  AnsiString Software;                      // 305
  // 273, 279, 324, 325 and their counts
  std::unique_ptr<Integer[]> StripOffsets, StripByteCounts, TileOffsets, TileByteCounts;
  Integer StripOffsetsCount = 0, StripByteCountsCount = 0, TileOffsetsCount = 0,
          TileByteCountsCount = 0;
  std::unique_ptr<Byte[]> JPEGTables;       // 347
  Integer JPEGTablesLength = 0;
  std::vector<TRGB> ColorMap;               // 320: 2^BitsPerSample entries when the page has one
  TTIFFLZWDecompFunc LZW = nullptr;
};

// Decodes the page whose directory Env holds (tag values in Vars) into Bitmap, its
// alpha into Mask, and turns it upright when Params asks for it. Failures end in
// the abort flag.
void TIFFDecodePage(TIEBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                    std::unique_ptr<TIEMask>& Mask, bool IgnoreAlpha, const TTIFFEnv& Env,
                    const TTIFFVars& Vars);

// ===========================================================================
// Writer

// Writes Bitmap as one page: a new file (result 1), or with Append a page inserted
// into the little-endian TIFF at the stream's start, before page
// Params.TIFF_ImageIndex (result: the pages after the insertion; 0 when the stream
// holds no little-endian TIFF).
Integer TIFFWriteStream(TStream* Stream, bool Append, TIEBitmap* Bitmap, TIOParamsVals& Params,
                        TProgressRec& Progress);

// ===========================================================================
// Page operations (no decoding; the TIFF starts at position 0)

// The number of pages of the TIFF at the stream's position.
Integer _EnumTIFFImStream(TStream* Stream);
// Rewrites the stream without page Index: the pages it had, 0 when not a TIFF.
Integer _DeleteTIFFImStream(TStream* Stream, Integer Index);
// Dest receives a TIFF holding page Index of Source only.
void _ExtractTIFFImStream(TStream* Source, Integer Index, TStream* Dest);
// Dest receives the pages of Target with every page of Pages inserted before page
// Index.
Integer _InsertTIFFImStream(TStream* Target, TStream* Pages, Integer Index, TStream* Dest);
