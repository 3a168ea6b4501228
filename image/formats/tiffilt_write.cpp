// Placeholder until the TIFF writer lands.
#include "image/formats/tiffilt.h"

Integer TIFFWriteStream(TStream*, bool, TIEBitmap*, TIOParamsVals&, TProgressRec& Progress) {
  Progress.Abort();
  return 0;
}
