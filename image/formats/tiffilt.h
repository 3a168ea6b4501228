// Unit tiffilt: TIFF 6.0 directories and tags, the reader, the writer, and page
// operations on multi-page streams. TTIFFEnv (a loaded directory) belongs to the
// image data model (image/model/ieutils.h).
#pragma once

#include <memory>

#include "image/formats/dadiravio.h"
#include "image/model/iemask.h"
#include "image/model/ieutils.h"

// ===========================================================================
// Directories and tags
//
// A tag is absent when no entry of the loaded directory carries it; every accessor
// then answers its default. Offsets are taken as Value + Env.BaseOffset.

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

// ===========================================================================
// Reader

// Reads page Params->TIFF_ImageIndex (codec convention of dadiravio.h); ImageCount
// receives the number of pages. With a null Params no page is read, only counted.
// RelativeOffsets counts file offsets from the stream position at entry. The alpha
// goes to Mask (created when wanted and null) unless IgnoreAlpha.
void TIFFReadStream(TIEBitmap* Bitmap, TStream* Stream, Integer& ImageCount,
                    TIOParamsVals* Params, TProgressRec& Progress, bool Preview,
                    std::unique_ptr<TIEMask>& Mask, bool RelativeOffsets, bool IgnoreAlpha);

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
