// Image parameter records are read back from files that anything may have written.
// A load must stay inside the bytes given, and a record that loads must save and
// load again to the same record.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "image/formats/dadiravio.h"
#include "platform/rtl/Streams.h"

namespace {

std::string Saved(const TIOParamsVals& params) {
  TMemoryStream stream;
  params.SaveToStream(&stream);
  return std::string(static_cast<const char*>(stream.Memory()),
                     static_cast<size_t>(stream.GetSize()));
}

bool Load(TIOParamsVals& params, const std::string& bytes) {
  TMemoryStream stream;
  if (!bytes.empty()) stream.WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
  stream.SetPosition(0);
  return params.LoadFromStream(&stream);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  TIOParamsVals params(nullptr);
  const std::string unchanged = Saved(params);
  if (!Load(params, std::string(reinterpret_cast<const char*>(data), size))) {
    if (Saved(params) != unchanged) {
      std::fprintf(stderr, "a refused record changed the parameters\n");
      std::abort();
    }
    return 0;
  }
  const std::string once = Saved(params);
  TIOParamsVals again(nullptr);
  if (!Load(again, once) || Saved(again) != once) {
    std::fprintf(stderr, "a loaded record does not load back the same\n");
    std::abort();
  }
  return 0;
}
