#include "desktop/ThemeMgr.h"

#include <algorithm>
#include <mutex>

#include "platform/vcl/Application.h"
#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/ComCtrlsBasic.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/ScrollBox.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/win/Messages.h"
#include "platform/win/Window.h"

namespace {

constexpr WPARAM UIS_CLEAR = 2;
constexpr WPARAM UISF_HIDEFOCUS = 1;
constexpr WPARAM UISF_HIDEACCEL = 2;

// The main manager and the lock around its election.
std::recursive_mutex& ElectionLock() {
  static std::recursive_mutex lock;
  return lock;
}
TThemeManager* gMainManager = nullptr;

// The family a control belongs to (the first that matches), and its option.
bool FamilyOf(TControl* control, TControlFamily& family) {
  if (dynamic_cast<TButtonControl*>(control)) family = TControlFamily::ButtonControls;
  else if (dynamic_cast<TSpeedButton*>(control)) family = TControlFamily::SpeedButtons;
  else if (dynamic_cast<TCustomGroupBox*>(control)) family = TControlFamily::GroupBoxes;
  else if (dynamic_cast<TTabSheet*>(control)) family = TControlFamily::TabSheets;
  else if (dynamic_cast<TCustomPanel*>(control)) family = TControlFamily::Panels;
  else if (dynamic_cast<TCustomListView*>(control)) family = TControlFamily::ListViews;
  else if (dynamic_cast<TTrackBar*>(control)) family = TControlFamily::TrackBars;
  else if (dynamic_cast<TCheckListBox*>(control)) family = TControlFamily::CheckListBoxes;
  else if (dynamic_cast<TStatusBar*>(control)) family = TControlFamily::StatusBars;
  else if (dynamic_cast<TSplitter*>(control)) family = TControlFamily::Splitters;
  else if (dynamic_cast<TCustomForm*>(control)) family = TControlFamily::Forms;
  else if (dynamic_cast<TWinControl*>(control)) family = TControlFamily::WinControls;
  else return false;
  return true;
}

// Forms are always subclassed; the others as their option says.
bool FamilyWanted(TControlFamily family, TThemeOptions options) {
  switch (family) {
    case TControlFamily::ButtonControls: return options.Contains(toSubclassButtons);
    case TControlFamily::SpeedButtons: return options.Contains(toSubclassSpeedButtons);
    case TControlFamily::GroupBoxes: return options.Contains(toSubclassGroupBox);
    case TControlFamily::TabSheets: return options.Contains(toSubclassTabSheet);
    case TControlFamily::Panels: return options.Contains(toSubclassPanel);
    case TControlFamily::ListViews: return options.Contains(toSubclassListView);
    case TControlFamily::TrackBars: return options.Contains(toSubclassTrackBar);
    case TControlFamily::CheckListBoxes: return options.Contains(toSubclassCheckListbox);
    case TControlFamily::StatusBars: return options.Contains(toSubclassStatusBar);
    case TControlFamily::Splitters: return options.Contains(toSubclassSplitter);
    case TControlFamily::Forms: return true;
    case TControlFamily::WinControls: return options.Contains(toSubclassWinControl);
  }
  return false;
}

TThemeOptions OptionsFromBits(uint32_t bits) {
  TThemeOptions options;
  for (int i = 0; i < 20; ++i) {
    if (bits & (1u << i)) options.Include(static_cast<TThemeOption>(i));
  }
  return options;
}

bool ThemesEnabled() { return ThemeServices()->GetThemesEnabled(); }

}  // namespace

// --- TWindowProcList -------------------------------------------------------------------

TWindowProcList::TWindowProcList(TThemeManager* owner, TControlFamily family) : owner_(owner), family_(family) {}

TWindowProcList::~TWindowProcList() { Clear(); }

Integer TWindowProcList::Add(TControl* control) {
  TControlFamily family;
  Integer index = -1;
  if (!FamilyOf(control, family) || family != family_ || Find(control, index)) return -1;
  items_.push_back(Item{control, control->GetWindowProc()});
  const TControlFamily f = family_;
  control->SetWindowProc([control, f](TMessage& message) {
    TThemeManager* main = TThemeManager::CurrentThemeManager();
    if (!main) throw EAssertionFailed("Assertion failure (desktop/ThemeMgr.cpp)");
    main->FamilyWindowProc(f, control, message);
  });
  lastFound_ = -1;
  return static_cast<Integer>(items_.size()) - 1;
}

bool TWindowProcList::Find(TControl* control, Integer& index) {
  if (lastFound_ >= 0 && lastFound_ < GetCount() && items_[lastFound_].control == control) {
    index = lastFound_;
    return true;
  }
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].control == control) {
      index = lastFound_ = static_cast<Integer>(i);
      return true;
    }
  }
  return false;
}

void TWindowProcList::Remove(TControl* control) {
  Integer index = -1;
  if (!Find(control, index)) return;
  TWndMethod old = std::move(items_[index].oldProc);
  items_.erase(items_.begin() + index);
  lastFound_ = -1;
  if (!control->GetComponentState().Contains(csDestroying)) control->SetWindowProc(std::move(old));
  if (auto* parent = dynamic_cast<TWinControl*>(control)) owner_->RemoveChildSubclassing(parent);
  if (TThemeManager* main = TThemeManager::CurrentThemeManager()) main->RemoveRecreationCandidate(control);
}

void TWindowProcList::DispatchMessage(TControl* control, TMessage& message) {
  Integer index = -1;
  if (!Find(control, index)) return;
  if (message.Msg == CM_RECREATEWND) {
    if (TThemeManager* main = TThemeManager::CurrentThemeManager()) main->AddRecreationCandidate(control);
  }
  // A copy: the old procedure may remove the control from the list.
  const TWndMethod old = items_[index].oldProc;
  if (old) old(message);
  if (message.Msg == WM_DESTROY) {
    TThemeManager* main = TThemeManager::CurrentThemeManager();
    const bool recreating = main && main->IsRecreationCandidate(control) &&
                            !control->GetComponentState().Contains(csDestroying);
    if (!recreating) Remove(control);
  }
}

void TWindowProcList::Forget(const TComponent* control) {
  std::erase_if(items_, [control](const Item& item) { return static_cast<const TComponent*>(item.control) == control; });
  lastFound_ = -1;
}

void TWindowProcList::Clear() {
  while (!items_.empty()) Remove(items_.front().control);
}

// --- TThemeManager: election and life ----------------------------------------------------

TThemeManager::TThemeManager(TComponent* owner) : TComponent(owner) {
  options_ = OptionsFromBits(kDefaultThemeOptions);
  for (int i = 0; i < kControlFamilyCount; ++i) {
    lists_.push_back(std::make_unique<TWindowProcList>(this, static_cast<TControlFamily>(i)));
  }
  if (Designing()) {
    subclassingDisabled_ = true;
    return;
  }
  if (ThemesEnabled()) {
    hookId_ = Application->HookMainWindow([this](TMessage& message) { return MainWindowHook(message); });
  }
  std::lock_guard<std::recursive_mutex> lock(ElectionLock());
  if (gMainManager) {
    subclassingDisabled_ = true;
    options_ = gMainManager->options_;
  } else {
    gMainManager = this;
  }
}

TThemeManager::~TThemeManager() {
  for (auto& list : lists_) list->Clear();
  if (!Designing()) {
    if (hookId_) Application->UnhookMainWindow(hookId_);
    std::lock_guard<std::recursive_mutex> lock(ElectionLock());
    if (gMainManager == this) {
      gMainManager = nullptr;
      SendMessage(Application->GetHandle(), CM_MAINMANAGERRELEASED, 0, 0);
    }
  }
  lists_.clear();
}

bool TThemeManager::GetIsMainManager() const {
  std::lock_guard<std::recursive_mutex> lock(ElectionLock());
  return gMainManager == this;
}

TThemeManager* TThemeManager::CurrentThemeManager() {
  std::lock_guard<std::recursive_mutex> lock(ElectionLock());
  return gMainManager;
}

void TThemeManager::Loaded() {
  if (GetIsMainManager() && !Designing()) CollectForms(nullptr);
  TComponent::Loaded();
}

void TThemeManager::ForceAsMainManager() {
  std::lock_guard<std::recursive_mutex> lock(ElectionLock());
  if (gMainManager == this) return;
  if (gMainManager) {
    gMainManager->subclassingDisabled_ = true;
    gMainManager->ClearLists();
  }
  gMainManager = this;
  subclassingDisabled_ = false;
  CollectForms(nullptr);
}

void TThemeManager::SetThemeOptions(TThemeOptions value) {
  std::lock_guard<std::recursive_mutex> lock(ElectionLock());
  if (gMainManager && gMainManager != this) {
    gMainManager->SetThemeOptions(value);
    return;
  }
  if (value.Bits() == options_.Bits()) return;
  options_ = value;
  TThemeServices* services = ThemeServices();
  if (services->GetThemesAvailable() && !subclassingDisabled_ && !Designing() && SetThemeAppProperties) {
    SetThemeAppProperties(value.Bits() & (STAP_ALLOW_NONCLIENT | STAP_ALLOW_CONTROLS | STAP_ALLOW_WEBCONTENT));
  }
  const TComponentState state = GetComponentState();
  if (state.Contains(csLoading) || state.Contains(csReading)) return;
  UpdateThemes();
  BroadcastThemeChange();
  SendMessage(Application->GetHandle(), WM_THEMECHANGED, 0, 0);
  for (Integer i = 0; i < Screen->GetFormCount(); ++i) {
    TCustomForm* form = Screen->Forms(i);
    if (form->HandleAllocated()) RedrawWindow(form->GetHandle(), nullptr, 0, 0x787);
  }
}

void TThemeManager::UpdateThemes() {
  TThemeServices* services = ThemeServices();
  services->UpdateThemes();
  if (!services->GetThemesAvailable() || Designing() || !GetThemeAppProperties) return;
  const DWORD properties = GetThemeAppProperties();
  uint32_t bits = options_.Bits() & ~uint32_t{7};
  bits |= properties & 7;
  options_ = OptionsFromBits(bits);
}

namespace {

void BroadcastTo(TWinControl* parent) {
  for (Integer i = 0; i < parent->GetControlCount(); ++i) {
    auto* child = dynamic_cast<TWinControl*>(parent->Controls(i));
    if (!child) continue;
    if (child->HandleAllocated()) SendMessage(child->GetHandle(), WM_THEMECHANGED, 0, 0);
    if (dynamic_cast<TCustomListView*>(child)) {
      if (child->HandleAllocated()) child->RecreateWnd();
      continue;
    }
    BroadcastTo(child);
  }
}

}  // namespace

void TThemeManager::BroadcastThemeChange() {
  for (Integer i = 0; i < Screen->GetFormCount(); ++i) {
    TCustomForm* form = Screen->Forms(i);
    if (form->HandleAllocated()) SendMessage(form->GetHandle(), WM_THEMECHANGED, 0, 0);
    BroadcastTo(form);
  }
}

// --- collecting controls -----------------------------------------------------------------

void TThemeManager::HandleControlChange(TControl* control, bool inserting) {
  TControlFamily family;
  if (!FamilyOf(control, family)) return;
  // Without themes only list views are subclassed (their column fix holds always).
  if (!ThemesEnabled() && family != TControlFamily::ListViews) {
    if (!inserting) List(family).Remove(control);
    return;
  }
  if (family == TControlFamily::Forms && inserting) {
    std::erase(pendingForms_, static_cast<TCustomForm*>(control));
  }
  if (!FamilyWanted(family, options_) && inserting) return;
  TWindowProcList& list = List(family);
  if (!inserting) {
    list.Remove(control);
    return;
  }
  if (DoAllowSubclassing(control) && control->Perform(CM_DENYSUBCLASSING) == 0) {
    if (list.Add(control) >= 0) control->FreeNotification(this);
    auto* parent = dynamic_cast<TWinControl*>(control);
    if (parent && parent->GetControlCount() > 0) CollectControls(parent);
  } else {
    list.Remove(control);
  }
}

void TThemeManager::RemoveChildSubclassing(TWinControl* parent) {
  for (Integer i = 0; i < parent->GetControlCount(); ++i) {
    TControl* child = parent->Controls(i);
    if (auto* w = dynamic_cast<TWinControl*>(child)) RemoveChildSubclassing(w);
    HandleControlChange(child, false);
  }
}

void TThemeManager::CollectForms(TCustomForm* form) {
  if (subclassingDisabled_ || Designing()) return;
  if (form) {
    HandleControlChange(form, true);
  } else {
    ClearLists();
    for (Integer i = 0; i < Screen->GetFormCount(); ++i) HandleControlChange(Screen->Forms(i), true);
  }
  if (options_.Contains(toResetMouseCapture) || options_.Contains(toSetTransparency)) FixControls(form);
}

void TThemeManager::CollectControls(TWinControl* parent) {
  if (!parent) throw EAssertionFailed("Parent of controls to be collected must be valid.");
  if (subclassingDisabled_ || Designing()) return;
  for (Integer i = 0; i < parent->GetControlCount(); ++i) {
    TControl* child = parent->Controls(i);
    HandleControlChange(child, true);
    // HandleControlChange collects the children of what it subclasses; the others'
    // children are looked at here.
    auto* w = dynamic_cast<TWinControl*>(child);
    if (w && w->GetControlCount() > 0 && !IsSubclassed(w)) CollectControls(w);
  }
}

namespace {

void FixChildren(TWinControl* parent, TThemeOptions options, bool themed) {
  for (Integer i = 0; i < parent->GetControlCount(); ++i) {
    TControl* child = parent->Controls(i);
    if (auto* label = dynamic_cast<TCustomLabel*>(child)) {
      if (options.Contains(toSetTransparency)) label->SetTransparent(true);
      continue;
    }
    auto* w = dynamic_cast<TWinControl*>(child);
    if (!w) continue;
    if (themed && EnableThemeDialogTexture && w->HandleAllocated()) {
      EnableThemeDialogTexture(w->GetHandle(), ETDT_ENABLETAB);
    }
    if (w->GetControlCount() > 0) FixChildren(w, options, themed);
  }
}

}  // namespace

void TThemeManager::FixControls(TCustomForm* form) {
  const bool themed = ThemesEnabled();
  if (form) {
    FixChildren(form, options_, themed);
    return;
  }
  for (Integer i = 0; i < Screen->GetFormCount(); ++i) FixChildren(Screen->Forms(i), options_, themed);
}

void TThemeManager::ClearLists() {
  List(TControlFamily::ListViews).Clear();
  if (!ThemesEnabled()) return;
  for (int i = 0; i < kControlFamilyCount; ++i) lists_[i]->Clear();
}

Integer TThemeManager::SubclassedCount(TControlFamily family) const {
  return lists_[static_cast<int>(family)]->GetCount();
}

bool TThemeManager::IsSubclassed(TControl* control) const {
  Integer index = -1;
  for (const auto& list : lists_) {
    if (list->Find(control, index)) return true;
  }
  return false;
}

// --- recreation, notifications, hooks --------------------------------------------------------

void TThemeManager::AddRecreationCandidate(TControl* control) {
  auto* w = dynamic_cast<TWinControl*>(control);
  if (w && !IsRecreationCandidate(w)) pendingRecreation_.push_back(w);
}

bool TThemeManager::IsRecreationCandidate(TControl* control) const {
  return std::find(pendingRecreation_.begin(), pendingRecreation_.end(), control) != pendingRecreation_.end();
}

void TThemeManager::RemoveRecreationCandidate(TControl* control) {
  std::erase(pendingRecreation_, static_cast<TWinControl*>(dynamic_cast<TWinControl*>(control)));
}

void TThemeManager::Notification(TComponent* component, TOperation operation) {
  if (!Designing()) {
    if (operation == opInsert) {
      auto* form = dynamic_cast<TCustomForm*>(component);
      if (form && std::find(pendingForms_.begin(), pendingForms_.end(), form) == pendingForms_.end()) {
        if (GetIsMainManager()) {
          pendingForms_.push_back(form);
          PostMessage(Application->GetHandle(), WM_NULL, 0, 0);
        } else if (TThemeManager* main = CurrentThemeManager()) {
          main->Notification(component, operation);
        }
      }
    } else if (operation == opRemove && GetIsMainManager()) {
      // The component may be half gone: compare addresses, and take it out of the lists.
      std::erase_if(pendingForms_, [component](TCustomForm* f) { return static_cast<TComponent*>(f) == component; });
      std::erase_if(pendingRecreation_,
                    [component](TWinControl* c) { return static_cast<TComponent*>(c) == component; });
      for (auto& list : lists_) list->Forget(component);
    }
  }
  TComponent::Notification(component, operation);
}

bool TThemeManager::MainWindowHook(TMessage& message) {
  if (message.Msg == CM_MAINMANAGERRELEASED) {
    std::lock_guard<std::recursive_mutex> lock(ElectionLock());
    if (!gMainManager) {
      gMainManager = this;
      subclassingDisabled_ = false;
      CollectForms(nullptr);
    }
  }
  while (!pendingForms_.empty()) {
    TCustomForm* form = pendingForms_.front();
    pendingForms_.erase(pendingForms_.begin());
    List(TControlFamily::Forms).Add(form);
    if (GetIsMainManager()) CollectControls(form);
    if (options_.Contains(toResetMouseCapture) || options_.Contains(toSetTransparency)) FixControls(form);
    if (form->HandleAllocated()) RedrawWindow(form->GetHandle(), nullptr, 0, 0x189);
  }
  while (!pendingRecreation_.empty()) {
    TWinControl* control = pendingRecreation_.front();
    pendingRecreation_.erase(pendingRecreation_.begin());
    control->HandleNeeded();
    CollectControls(control);
  }
  if (message.Msg == WM_THEMECHANGED) {
    UpdateThemes();
    DoOnThemeChange();
  }
  return false;
}

// --- events and listeners -----------------------------------------------------------------

bool TThemeManager::DoAllowSubclassing(TControl* control) {
  bool allow = true;
  if (OnAllowSubclassing) OnAllowSubclassing(this, control, allow);
  return allow;
}

bool TThemeManager::DoControlMessage(TControl* control, TMessage& message) {
  bool handled = false;
  if (OnControlMessage) OnControlMessage(this, control, message, handled);
  for (size_t i = 0; !handled && i < listeners_.size();) {
    const TThemeListener listener = listeners_[i];
    try {
      listener.method(this, control, message, handled);
      ++i;
    } catch (...) {
      // A listener that fails is dropped; the next one takes its place.
      UnregisterListener(listener.id);
    }
  }
  return handled;
}

void TThemeManager::DoOnThemeChange() {
  if (OnThemeChange) OnThemeChange(this);
}

void TThemeManager::RegisterListener(const TThemeListener& listener) {
  const bool known = std::any_of(listeners_.begin(), listeners_.end(),
                                 [&](const TThemeListener& l) { return l.id == listener.id; });
  if (!known) listeners_.push_back(listener);
}

void TThemeManager::UnregisterListener(const void* id) {
  std::erase_if(listeners_, [id](const TThemeListener& l) { return l.id == id; });
}

bool TThemeManager::NeedsBorderPaint(TControl* control) { return dynamic_cast<TScrollBox*>(control) != nullptr; }

void TThemeManager::UpdateUIState(TControl* control, Word key) {
  TCustomForm* form = GetParentForm(control);
  if (!form || !form->HandleAllocated()) return;
  if (key == VK_TAB || key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN) {
    SendMessage(form->GetHandle(), WM_CHANGEUISTATE, UIS_CLEAR | (UISF_HIDEFOCUS << 16), 0);
  } else if (key == VK_MENU) {
    SendMessage(form->GetHandle(), WM_CHANGEUISTATE, UIS_CLEAR | (UISF_HIDEACCEL << 16), 0);
  }
}

void TThemeManager::PerformEraseBackground(TControl* control, HDC dc) {
  TWinControl* parent = control->GetParent();
  if (!parent || !parent->HandleAllocated()) return;
  POINT old{};
  OffsetWindowOrgEx(dc, control->GetLeft(), control->GetTop(), &old);
  SendMessage(parent->GetHandle(), WM_ERASEBKGND, static_cast<WPARAM>(dc), 0);
  SetWindowOrgEx(dc, old.x, old.y, nullptr);
}
