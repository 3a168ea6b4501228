// Placeholder until the EXIF loader lands.
#include "image/model/ieutils_exif.h"

#include "image/formats/tiffilt.h"

bool LoadEXIFFromStandardBuffer(const void*, Integer, TIOParamsVals&) { return false; }

TIETifTagsReader::TIETifTagsReader(const AnsiString&, Integer) {}
TIETifTagsReader::TIETifTagsReader(TStream* Stream, Integer) : stream_(Stream) {}
TIETifTagsReader::~TIETifTagsReader() = default;
bool TIETifTagsReader::TagExists(Integer) const { return false; }
Integer TIETifTagsReader::TagLength(Integer) const { return 0; }
Integer TIETifTagsReader::GetInteger(Integer) const { return 0; }
Integer TIETifTagsReader::GetIntegerIndexed(Integer, Integer) const { return 0; }
double TIETifTagsReader::GetRational(Integer) const { return 0; }
double TIETifTagsReader::GetRationalIndexed(Integer, Integer) const { return 0; }
Integer TIETifTagsReader::GetIntegerArray(Integer, std::unique_ptr<Integer[]>&) const { return 0; }
std::unique_ptr<Byte[]> TIETifTagsReader::GetRawData(Integer) const { return nullptr; }
AnsiString TIETifTagsReader::GetString(Integer) const { return AnsiString(); }
AnsiString TIETifTagsReader::GetMiniString(Integer) const { return AnsiString(); }
