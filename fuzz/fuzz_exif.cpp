// EXIF blocks come from the APP1 markers of JPEG files: the loader takes any bytes
// and either refuses them with nothing changed or marks the EXIF data present with
// a thumbnail bitmap. The TIFF behind the 6-byte header also goes through the tag
// reader and the page operations, which must end on any chain of directories.
#include <cstdint>
#include <memory>

#include "fuzz/fuzz_support.h"
#include "image/formats/tiffilt.h"
#include "image/model/iebitmap.h"
#include "image/model/ieutils_exif.h"
#include "platform/rtl/Streams.h"

namespace {

constexpr fuzzsupport::InvariantCheck Check("EXIF");

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  TIOParamsVals params(nullptr);
  params.EXIF_Make = "marker";
  params.EXIF_FNumber = 1.5;
  if (!LoadEXIFFromStandardBuffer(data, static_cast<Integer>(size), params)) {
    Check(params.EXIF_Make == "marker" && params.EXIF_FNumber == 1.5 && !params.EXIF_HasEXIFData &&
              !params.EXIF_Bitmap,
          "a refused block changed the parameters");
  } else {
    Check(params.EXIF_HasEXIFData && params.EXIF_Bitmap != nullptr, "a loaded block has no thumbnail bitmap");
    Check(params.EXIF_Bitmap->GetWidth() >= 0 && params.EXIF_Bitmap->GetHeight() >= 0, "negative thumbnail size");
  }
  if (size < 6) return 0;

  TMemoryStream tiff;
  fuzzsupport::Fill(tiff, data + 6, size - 6);
  {
    TIETifTagsReader reader(&tiff, 0);
    reader.GetString(270);
    reader.GetMiniString(36864);
    reader.GetRationalIndexed(318, 1);
    reader.GetIntegerIndexed(297, 1);
    std::unique_ptr<Integer[]> values;
    reader.GetIntegerArray(273, values);
    reader.GetRawData(33723);
  }

  tiff.SetPosition(0);
  const Integer pages = _EnumTIFFImStream(&tiff);
  Check(pages >= 0, "negative page count");
  TMemoryStream one;
  _ExtractTIFFImStream(&tiff, 0, &one);
  one.SetPosition(0);
  Check(_EnumTIFFImStream(&one) <= 1, "an extracted file holds more than one page");
  TMemoryStream joined;
  const Integer joinedPages = _InsertTIFFImStream(&tiff, &one, 1, &joined);
  joined.SetPosition(0);
  Check(joinedPages == 0 || _EnumTIFFImStream(&joined) == joinedPages, "inserted pages miscounted");
  tiff.SetPosition(0);
  const Integer deleted = _DeleteTIFFImStream(&tiff, 0);
  Check(deleted == 0 || deleted == pages, "delete counted other pages");
  return 0;
}
