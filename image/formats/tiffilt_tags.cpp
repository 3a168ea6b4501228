// Placeholder until the TIFF tag functions land.
#include "image/formats/tiffilt.h"

bool TIFFLoadTags(TStream*, Integer& ImageCount, Integer, TTIFFEnv& Env) {
  ImageCount = 0;
  Env = TTIFFEnv{};
  return false;
}
void TIFFFreeTags(TTIFFEnv& Env) {
  Env.IFD.clear();
  Env.NumTags = 0;
}
Integer TIFFFindTAG(Word, const TTIFFEnv&) { return -1; }
Integer TIFFGetDataLength(const TTIFFEnv&, Integer) { return 0; }
Integer TIFFReadSingleValDef(const TTIFFEnv&, Integer, Integer Default) { return Default; }
double TIFFReadSingleRational(const TTIFFEnv&, Integer) { return 0; }
double TIFFReadRationalIndex(const TTIFFEnv&, Integer, Integer) { return 0; }
Integer TIFFReadIndexValN(const TTIFFEnv&, Integer, Integer) { return 0; }
Integer TIFFReadArrayIntegers(const TTIFFEnv&, std::unique_ptr<Integer[]>&, Integer) { return 0; }
std::unique_ptr<Byte[]> TIFFReadRawData(const TTIFFEnv&, Integer, Integer& Length) {
  Length = 0;
  return nullptr;
}
AnsiString TIFFReadString(const TTIFFEnv&, Integer) { return AnsiString(); }
AnsiString TIFFReadMiniString(const TTIFFEnv&, Integer) { return AnsiString(); }
