// A view's selection comes back from streams (saved selections, the processing
// component's undo): any bytes either load as a whole selection of the view's size
// or answer false with the selection exactly as it was.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "image/views/dadiravview.h"
#include "platform/rtl/Streams.h"

namespace {

std::string Snapshot(TDadirAvView& view) {
  TMemoryStream s;
  view.SaveSelectionToStream(&s);
  return std::string(static_cast<const char*>(s.Memory()), static_cast<size_t>(s.GetSize()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 16) return 0;
  static TDadirAvView* view = [] {
    auto* v = new TDadirAvView(nullptr);
    v->GetBitmap()->SetSize(37, 23);
    v->GetIEBitmap()->EncapsulateTBitmap(v->GetBitmap(), false);
    v->Update();
    return v;
  }();
  view->DeSelect();
  view->SelectionBase = iesbBitmap;
  view->SelectEllipse(18, 11, 20, 14);
  const std::string before = Snapshot(*view);
  TMemoryStream input;
  if (size > 0) input.WriteBuffer(data, static_cast<Integer>(size));
  input.SetPosition(0);
  if (!view->LoadSelectionFromStream(&input)) {
    if (Snapshot(*view) != before) std::abort();  // a refused stream changed the selection
    return 0;
  }
  // What loaded saves and loads again to the same bytes.
  const std::string loaded = Snapshot(*view);
  TMemoryStream again;
  again.WriteBuffer(loaded.data(), static_cast<Integer>(loaded.size()));
  again.SetPosition(0);
  if (!view->LoadSelectionFromStream(&again) || Snapshot(*view) != loaded) std::abort();
  return 0;
}
