// The facade view: its components from the start, and Assign with parameters.
#include "image/views/dadirav.h"

TDadirAv::TDadirAv(TComponent* owner) : TDadirAvView(owner) {
  GetDadirAvIO();
  GetDadirAvProc();
}

void TDadirAv::Assign(TObject* source) {
  AssignIOParams(source);
  TDadirAvView::Assign(source);
}

void TDadirAv::AssignIOParams(TObject* source) {
  if (auto* view = dynamic_cast<TDadirAv*>(source)) {
    if (view != this) GetDadirAvIO()->AssignParams(view->GetDadirAvIO());
  } else if (auto* io = dynamic_cast<TDadirAvIO*>(source)) {
    GetDadirAvIO()->AssignParams(io);
  }
}
