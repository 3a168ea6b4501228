// Placeholder until the JPEG codec lands: every call fails cleanly.
#include "image/formats/jpegfilt.h"

Integer JpegTryStream(TStream*) { return -1; }

void ReadJPegStream(TStream*, TStream*, TIEBitmap*, TIOParamsVals&, TProgressRec& Progress, bool,
                    bool) {
  Progress.Abort();
}

void WriteJPegStream(TStream*, TIEBitmap*, TIOParamsVals&, TProgressRec& Progress) {
  Progress.Abort();
}
