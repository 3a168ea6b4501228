// BMP and icon files come from disk and from the web: loading arbitrary bytes either
// gives a picture that saves and loads back, or raises EInvalidGraphic.
#include <cstdint>
#include <cstdlib>

#include "platform/rtl/Streams.h"
#include "platform/vcl/Graphics.h"

namespace {

template <class TPictureClass>
void LoadAndSave(const uint8_t* data, size_t size) {
  TMemoryStream input;
  input.WriteBuffer(data, static_cast<Integer>(size));
  input.SetPosition(0);
  TPictureClass picture;
  try {
    picture.LoadFromStream(&input);
  } catch (const EInvalidGraphic&) {
    return;
  } catch (const EReadError&) {
    return;
  }
  TMemoryStream output;
  picture.SaveToStream(&output);
  output.SetPosition(0);
  TPictureClass again;
  again.LoadFromStream(&output);  // what we write must load
  if (again.GetWidth() != picture.GetWidth() || again.GetHeight() != picture.GetHeight())
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte picks the reader, so one corpus serves both.
  if (data[0] & 1)
    LoadAndSave<TBitmap>(data + 1, size - 1);
  else
    LoadAndSave<TIcon>(data + 1, size - 1);
  return 0;
}
