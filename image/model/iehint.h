// A small floating hint window: the text on pale yellow in a raised frame, letting
// the mouse through to the windows beneath.
#pragma once

#include <memory>

#include "platform/rtl/Types.h"
#include "platform/vcl/Controls.h"
#include "platform/vcl/Graphics.h"

class TIEHint : public TCustomControl {
 public:
  LARK_CLASS_NAME(TIEHint)
  // Hidden at first; background 0x00E0FFFF, black text drawn without a box.
  explicit TIEHint(TComponent* owner);
  ~TIEHint() override;
  TIEHint(const TIEHint&) = delete;
  TIEHint& operator=(const TIEHint&) = delete;

  const AnsiString& GetText() const noexcept { return text_; }
  // Stores the text and sizes the window to it (+ 4 each way), then repaints.
  void SetText(const AnsiString& value);
  TFont* GetHintFont() const noexcept { return font_.get(); }
  // Copies value into the hint's font; null is ignored.
  void SetFont(TFont* value);

  void CreateParams(TCreateParams& params) override;
  void Dispatch(TMessage& message) override;

 protected:
  void Paint() override;

 private:
  // The raised outer edge over the whole window.
  void PaintFrame();

  AnsiString text_;
  std::unique_ptr<TFont> font_;
};
