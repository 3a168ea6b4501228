// GIF file editing (placeholder until the editors land: every call fails).
#include "image/formats/giffilter_edit.h"

Integer _InsertGifImStream(TStream*, TIEBitmap*, TIOParamsVals&, TProgressRec& Progress) {
  Progress.Abort();
  return 0;
}
Integer _InsertGifIm(const AnsiString&, TIEBitmap*, TIOParamsVals&, TProgressRec& Progress) {
  Progress.Abort();
  return 0;
}
Integer _DeleteGifIm(const AnsiString&, Integer, bool) { return 0; }
void _GifMakeAnimate(const AnsiString&, Integer, Integer, Integer) {}
bool _CheckGifAnimate(const AnsiString&) { return false; }
