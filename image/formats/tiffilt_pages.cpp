// Placeholder until the TIFF page operations land.
#include "image/formats/tiffilt.h"

Integer _EnumTIFFImStream(TStream*) { return 0; }
Integer _DeleteTIFFImStream(TStream*, Integer) { return 0; }
void _ExtractTIFFImStream(TStream*, Integer, TStream*) {}
Integer _InsertTIFFImStream(TStream*, TStream*, Integer, TStream*) { return 0; }
