// The base of the image library's view controls: background, border, resolution,
// mouse enter/leave events, the paint-lock and alpha operations every view supplies,
// and the listeners told when a view replaces its pixel store or goes away. The
// input/output and processing components attach to a view through these alone.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Types.h"
#include "platform/vcl/Controls.h"
#include "platform/vcl/StdCtrls.h"

class TBitmap;
class TIEBitmap;

// Raised by an operation a view class should have supplied.
LARK_DECLARE_EXCEPTION(EAbstractError, Exception);

// A listener: (Sender, destroying). destroying is true once, when the view goes.
using TIEBitmapChangeEvent = std::function<void(TObject* sender, bool destroying)>;
// The handle of a registered listener (its record's address; never negative).
using PIEBitmapChangeEvent = intptr_t;

// Screen and system values shared by the views and the file readers, written once by
// IEInitializeViewGlobals (the single-image view does it when first made).
extern Integer gSystemColors;
extern Integer gSystemDPIX;
extern Integer gSystemDPIY;
extern bool gMMX;
extern Integer gEdgeX;
extern Integer gEdgeY;
extern Integer gVScrollWidth;   // SM_CYHSCROLL, as the views have always stored it
extern Integer gHScrollHeight;  // SM_CXVSCROLL
// Reads the screen's depth and DPI and the metrics above; later calls do nothing.
void IEInitializeViewGlobals();

// The message a view gets when a worker thread asks it to lay out again.
inline constexpr UINT IEM_UPDATE = 0x1F58;  // WM_USER + 7000

// The framework's colour for button faces, the views' default background.
inline constexpr TColor kIEBtnFace = static_cast<TColor>(0x8000000F);

class TIEView : public TCustomControl {
 public:
  LARK_CLASS_NAME(TIEView)
  explicit TIEView(TComponent* owner);
  // Every listener hears destroying = true once, in registration order.
  ~TIEView() override;
  TIEView(const TIEView&) = delete;
  TIEView& operator=(const TIEView&) = delete;

  // Stores Background; views override it to repaint.
  virtual void SetBackGround(TColor value) { background_ = value; }
  TColor GetBackground() const noexcept { return background_; }
  virtual TBitmap* GetFBitmap() { return nullptr; }
  virtual TIEBitmap* GetIEBitmap() { return nullptr; }
  // Each raises the framework's abstract-method error unless a view supplies it.
  virtual TIEBitmap* GetAlphaChannel();
  virtual bool GetHasAlphaChannel();
  virtual void RemoveAlphaChannel(bool merge);
  virtual void LockPaint();
  virtual Integer UnLockPaint();
  virtual Integer NPUnLockPaint();
  // 0 leaves the value as it is.
  virtual void SetDPIX(Integer value);
  virtual void SetDPIY(Integer value);
  virtual void SetDPI(Integer dpiX, Integer dpiY);
  virtual void ImageChange() {}

  Integer GetDPIX() const noexcept { return dpiX_; }
  Integer GetDPIY() const noexcept { return dpiY_; }

  PIEBitmapChangeEvent RegisterBitmapChangeEvent(TIEBitmapChangeEvent event);
  // A negative or unknown handle is ignored.
  void RemoveBitmapChangeEvent(PIEBitmapChangeEvent handle);
  // Tells every listener (destroying = false); a listener removed meanwhile is
  // skipped, and one added meanwhile is not called this time.
  void CallBitmapChangeEvents();
  Integer GetBitmapChangeEventCount() const noexcept { return static_cast<Integer>(listeners_.size()); }

  bool GetCtl3D() const noexcept { return ctl3D_; }
  void SetCtl3D(bool value);
  bool GetParentCtl3D() const noexcept { return parentCtl3D_; }
  void SetParentCtl3D(bool value) noexcept { parentCtl3D_ = value; }
  TBorderStyle GetBorderStyle() const noexcept { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  // How many times the window was made again (for a border or 3-D change).
  Integer GetRecreateCount() const noexcept { return recreateCount_; }

  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

  void CreateParams(TCreateParams& params) override;
  void Dispatch(TMessage& message) override;

 protected:
  // The window is made again when it exists.
  void Recreate();

  TColor background_ = kIEBtnFace;

 private:
  struct Listener {
    TIEBitmapChangeEvent event;
  };
  std::vector<Listener*> listeners_;  // owned records
  TBorderStyle borderStyle_ = TBorderStyle::bsSingle;
  bool ctl3D_ = false;
  bool parentCtl3D_ = true;
  Integer dpiX_ = 0;
  Integer dpiY_ = 0;
  Integer recreateCount_ = 0;
};

// What a component attached to a view (the input/output and processing components)
// keeps of it: the view, the free notification that tells the component when the
// view goes, and the listener that follows the view when it replaces its store.
class TIEViewAttachment {
 public:
  TIEViewAttachment(const TIEViewAttachment&) = delete;
  TIEViewAttachment& operator=(const TIEViewAttachment&) = delete;

 protected:
  explicit TIEViewAttachment(TComponent* self) : self_(self) {}
  ~TIEViewAttachment() { RemoveViewListener(); }

  // Leaves the view attached before (its listener; its free notification too when
  // view is another one) and makes view (null: none) the attached view. The caller
  // then takes the view's stores and calls ListenToView.
  void LeaveViewFor(TIEView* view);
  // Asks the attached view for a free notification and registers the listener.
  void ListenToView();
  void RemoveViewListener();
  // From the component's Notification: true when component was the attached view,
  // which is then forgotten without being called again.
  bool ForgetRemovedView(TComponent* component, TOperation operation);
  // The attached view replaced its store: take the new one.
  virtual void ViewStoreReplaced() = 0;

  TIEView* view_ = nullptr;

 private:
  TComponent* self_;
  PIEBitmapChangeEvent viewListener_ = -1;
};
