// Placeholder until the TIFF reader lands.
#include "image/formats/tiffilt.h"

void TIFFReadStream(TIEBitmap*, TStream*, Integer& ImageCount, TIOParamsVals*,
                    TProgressRec& Progress, bool, std::unique_ptr<TIEMask>&, bool, bool) {
  ImageCount = 0;
  Progress.Abort();
}
