// Showing, closing and modal showing of forms.
#include <vector>

#include "platform/vcl/Forms.h"

namespace {

// The application's windows a modal form disables: every other visible, enabled
// form, in the order they were made (enabled again in the same order).
std::vector<HWND> DisableTaskWindows(TCustomForm* modal) {
  std::vector<HWND> disabled;
  for (Integer i = 0; i < Screen->GetFormCount(); ++i) {
    TCustomForm* form = Screen->Forms(i);
    if (form == modal || !form->HandleAllocated()) continue;
    const HWND h = form->GetHandle();
    if (!::IsWindowVisible(h) || !::IsWindowEnabled(h)) continue;
    ::EnableWindow(h, FALSE);
    disabled.push_back(h);
  }
  return disabled;
}

void EnableTaskWindows(const std::vector<HWND>& windows) {
  for (HWND h : windows) {
    if (::IsWindow(h)) ::EnableWindow(h, TRUE);
  }
}

}  // namespace

TApplication* TCustomForm::OwningApplication() const {
  for (TComponent* c = GetOwner(); c; c = c->GetOwner()) {
    if (auto* app = dynamic_cast<TApplication*>(c)) return app;
  }
  return Application;
}

void TCustomForm::Show() {
  SetVisible(true);
  BringToFront();
}

bool TCustomForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  return canClose;
}

void TCustomForm::Close() {
  if (modal_) {
    modalResult_ = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  DoClose(action);
  if (action == caNone) return;
  if (OwningApplication()->GetMainForm() == this) {
    OwningApplication()->Terminate();
  } else if (action == caHide) {
    Hide();
  } else if (action == caMinimize) {
    SetWindowState(wsMinimized);
  } else {
    Release();
  }
}

void TCustomForm::Release() {
  // The form goes when the loop reaches this message, after what was posted before.
  ::PostMessage(GetHandle(), CM_RELEASE, 0, 0);
}

void TCustomForm::CloseModal() {
  try {
    TCloseAction action = caNone;
    if (CloseQuery()) {
      action = caHide;
      DoClose(action);
    }
    if (action == caNone) modalResult_ = mrNone;
    if (action == caFree) Release();
  } catch (...) {
    modalResult_ = mrNone;
    Application->HandleException(this);
  }
}

TModalResult TCustomForm::ShowModal() {
  if (GetVisible() || !GetEnabled() || modal_) {
    throw EInvalidOperation("Cannot make a visible window modal");
  }
  AfterConstruction();
  if (HWND capture = ::GetCapture()) ::SendMessage(capture, WM_CANCELMODE, 0, 0);
  ::ReleaseCapture();
  modal_ = true;
  const HWND activeWindow = ::GetActiveWindow();
  const TCursor savedCursor = Screen->GetCursor();
  Screen->SetCursor(crDefault);
  const std::vector<HWND> disabled = DisableTaskWindows(this);
  TModalResult result = mrNone;
  auto restore = [&] {
    EnableTaskWindows(disabled);
    Screen->SetCursor(savedCursor);
    if (activeWindow && ::IsWindow(activeWindow) && ::IsWindowVisible(activeWindow)) {
      ::SetForegroundWindow(activeWindow);
    }
    modal_ = false;
  };
  try {
    Show();
    modalResult_ = mrNone;
    TApplication* app = OwningApplication();
    do {
      try {
        app->HandleMessage();
      } catch (...) {
        app->HandleException(this);
      }
      if (app->GetTerminated())
        modalResult_ = mrCancel;
      else if (modalResult_ != mrNone)
        CloseModal();
    } while (modalResult_ == mrNone);
    result = modalResult_;
    Hide();
  } catch (...) {
    restore();
    throw;
  }
  restore();
  return result;
}
