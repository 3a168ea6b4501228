// JPEG stream editing (placeholder until the editors land: every call fails).
#include "image/formats/jpegfilt_edit.h"

bool IEJpegInjectIPTC(TStream*, TStream*, TIEIPTCInfoList*) { return false; }

void IEJpegLosslessTransform(TStream*, TStream*, TProgressRec& Progress, TIEJpegTransform, bool,
                             TIEJpegCopyMarkers, TRect) {
  Progress.Abort();
}
