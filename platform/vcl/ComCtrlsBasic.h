// The common controls that dialogs hold beside edits: up-downs (a pair of arrows that
// steps a number, shown in an associated edit) and track bars (a thumb slid along a
// channel with tick marks). Drawn in the classic look (ClassicLook.h).
#pragma once

#include <algorithm>

#include "platform/vcl/Controls.h"
#include "platform/vcl/StdCtrls.h"

#pragma push_macro("KeyPress")
#undef KeyPress

// Messages of up-downs and track bars (the platform's numbers).
inline constexpr UINT UDM_SETRANGE = WM_USER + 101;
inline constexpr UINT UDM_GETRANGE = WM_USER + 102;
inline constexpr UINT UDM_SETPOS = WM_USER + 103;
inline constexpr UINT UDM_GETPOS = WM_USER + 104;
inline constexpr UINT UDM_SETBUDDY = WM_USER + 105;
inline constexpr UINT UDM_GETBUDDY = WM_USER + 106;
inline constexpr UINT UDM_SETRANGE32 = WM_USER + 111;
inline constexpr UINT UDM_GETRANGE32 = WM_USER + 112;
inline constexpr UINT UDM_SETPOS32 = WM_USER + 113;
inline constexpr UINT UDM_GETPOS32 = WM_USER + 114;

inline constexpr UINT TBM_GETPOS = WM_USER;
inline constexpr UINT TBM_GETRANGEMIN = WM_USER + 1;
inline constexpr UINT TBM_GETRANGEMAX = WM_USER + 2;
inline constexpr UINT TBM_SETPOS = WM_USER + 5;
inline constexpr UINT TBM_SETRANGE = WM_USER + 6;
inline constexpr UINT TBM_SETRANGEMIN = WM_USER + 7;
inline constexpr UINT TBM_SETRANGEMAX = WM_USER + 8;
inline constexpr UINT TBM_SETPAGESIZE = WM_USER + 21;
inline constexpr UINT TBM_GETPAGESIZE = WM_USER + 22;
inline constexpr UINT TBM_SETLINESIZE = WM_USER + 23;
inline constexpr UINT TBM_GETLINESIZE = WM_USER + 24;
inline constexpr UINT TBM_GETTHUMBRECT = WM_USER + 25;
inline constexpr UINT TBM_GETCHANNELRECT = WM_USER + 26;
inline constexpr UINT TBM_SETTHUMBLENGTH = WM_USER + 27;
inline constexpr UINT TBM_GETTHUMBLENGTH = WM_USER + 28;

// ---------------------------------------------------------------------------------
// TUpDown

enum class TUDAlignButton : Byte { udLeft, udRight };
using enum TUDAlignButton;
enum class TUDOrientation : Byte { udHorizontal, udVertical };
using enum TUDOrientation;
enum class TUDBtnType : Byte { btNext, btPrev };
using enum TUDBtnType;
using TUDClickEvent = std::function<void(TObject* sender, TUDBtnType button)>;
using TUDChangingEvent = std::function<void(TObject* sender, bool& allowChange)>;

// An up-down: its upper (or right) arrow adds Increment to Position, the lower (or
// left) one takes it away, within Min..Max (Wrap goes round). With an Associate the
// up-down sits against that control's edge, writes Position into its text (with
// thousands separators when Thousands), reads Position back from it, and takes the
// Up and Down keys pressed in it (ArrowKeys).
class TCustomUpDown : public TCustomControl {
 public:
  LARK_CLASS_NAME(TCustomUpDown)
  explicit TCustomUpDown(TComponent* owner);
  ~TCustomUpDown() override;

  TWinControl* GetAssociate() const noexcept { return associate_; }
  void SetAssociate(TWinControl* value);
  Integer GetMin() const noexcept { return min_; }
  void SetMin(Integer value);
  Integer GetMax() const noexcept { return max_; }
  void SetMax(Integer value);
  // With an associate, the number its text holds when that is one in Min..Max.
  Integer GetPosition();
  void SetPosition(Integer value);
  Integer GetIncrement() const noexcept { return increment_; }
  void SetIncrement(Integer value) noexcept { increment_ = value; }
  bool GetWrap() const noexcept { return wrap_; }
  void SetWrap(bool value) noexcept { wrap_ = value; }
  bool GetThousands() const noexcept { return thousands_; }
  void SetThousands(bool value);
  bool GetArrowKeys() const noexcept { return arrowKeys_; }
  void SetArrowKeys(bool value) noexcept { arrowKeys_ = value; }
  TUDAlignButton GetAlignButton() const noexcept { return alignButton_; }
  void SetAlignButton(TUDAlignButton value);
  TUDOrientation GetOrientation() const noexcept { return orientation_; }
  void SetOrientation(TUDOrientation value);

  void Dispatch(TMessage& message) override;
  void Notification(TComponent* component, TOperation operation) override;

  TUDClickEvent OnClick;
  TUDChangingEvent OnChanging;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y) override;
  void MouseMove(TShiftState shift, Integer x, Integer y) override;
  void MouseUp(TMouseButton button, TShiftState shift, Integer x, Integer y) override;
  // One step with the arrow: OnChanging may refuse, then Position and OnClick.
  void Step(TUDBtnType button);
  void UpdateAssociate();
  void PlaceAgainstAssociate();

 private:
  void Unhook();
  TUDBtnType ButtonAt(Integer x, Integer y);

  TWinControl* associate_ = nullptr;
  TWndMethod associateProc_;
  Integer min_ = 0;
  Integer max_ = 100;
  Integer position_ = 0;
  Integer increment_ = 1;
  bool wrap_ = false;
  bool thousands_ = true;
  bool arrowKeys_ = true;
  TUDAlignButton alignButton_ = udRight;
  TUDOrientation orientation_ = udVertical;
  bool pressing_ = false;
  TUDBtnType pressed_ = btNext;
  bool pressedInside_ = false;
};

class TUpDown : public TCustomUpDown {
 public:
  LARK_CLASS_NAME(TUpDown)
  explicit TUpDown(TComponent* owner) : TCustomUpDown(owner) {}
};

// ---------------------------------------------------------------------------------
// TTrackBar

enum class TTrackBarOrientation : Byte { trHorizontal, trVertical };
using enum TTrackBarOrientation;
enum class TTickMark : Byte { tmBottomRight, tmTopLeft, tmBoth };
using enum TTickMark;
enum class TTickStyle : Byte { tsNone, tsAuto, tsManual };
using enum TTickStyle;

// A track bar: a thumb on a channel from Min to Max. The arrow keys move it by
// LineSize, Page Up/Down by PageSize, Home and End to the ends; dragging the thumb
// follows the mouse; a click on the channel beside the thumb moves it by PageSize
// towards the click. Every change of Position, by the user or the program, fires
// OnChange.
class TTrackBar : public TCustomControl {
 public:
  LARK_CLASS_NAME(TTrackBar)
  explicit TTrackBar(TComponent* owner);

  Integer GetMin() const noexcept { return min_; }
  void SetMin(Integer value);
  Integer GetMax() const noexcept { return max_; }
  void SetMax(Integer value);
  Integer GetPosition() const noexcept { return position_; }
  void SetPosition(Integer value);
  void SetParams(Integer position, Integer min, Integer max);
  TTrackBarOrientation GetOrientation() const noexcept { return orientation_; }
  void SetOrientation(TTrackBarOrientation value);
  Integer GetFrequency() const noexcept { return frequency_; }
  void SetFrequency(Integer value);
  Integer GetLineSize() const noexcept { return lineSize_; }
  void SetLineSize(Integer value) noexcept { lineSize_ = std::max(1, value); }
  Integer GetPageSize() const noexcept { return pageSize_; }
  void SetPageSize(Integer value) noexcept { pageSize_ = std::max(1, value); }
  Integer GetThumbLength() const noexcept { return thumbLength_; }
  void SetThumbLength(Integer value);
  TTickMark GetTickMarks() const noexcept { return tickMarks_; }
  void SetTickMarks(TTickMark value);
  TTickStyle GetTickStyle() const noexcept { return tickStyle_; }
  void SetTickStyle(TTickStyle value);
  Integer GetSelStart() const noexcept { return selStart_; }
  void SetSelStart(Integer value);
  Integer GetSelEnd() const noexcept { return selEnd_; }
  void SetSelEnd(Integer value);

  // The channel and the thumb in client coordinates.
  TRect ChannelRect();
  TRect ThumbRect();

  void Dispatch(TMessage& message) override;

  TNotifyEvent OnChange;

 protected:
  void Paint() override;
  void KeyDown(Word& key, TShiftState shift) override;
  void MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y) override;
  void MouseMove(TShiftState shift, Integer x, Integer y) override;
  void MouseUp(TMouseButton button, TShiftState shift, Integer x, Integer y) override;

 private:
  bool Horizontal() const { return orientation_ == trHorizontal; }
  // The pixel along the channel of a position, and back.
  Integer PixelOf(Integer position);
  Integer PositionAt(Integer pixel);

  Integer min_ = 0;
  Integer max_ = 10;
  Integer position_ = 0;
  TTrackBarOrientation orientation_ = trHorizontal;
  Integer frequency_ = 1;
  Integer lineSize_ = 1;
  Integer pageSize_ = 2;
  Integer thumbLength_ = 20;
  TTickMark tickMarks_ = tmBottomRight;
  TTickStyle tickStyle_ = tsAuto;
  Integer selStart_ = 0;
  Integer selEnd_ = 0;
  bool dragging_ = false;
  Integer dragOffset_ = 0;
};

#pragma pop_macro("KeyPress")
