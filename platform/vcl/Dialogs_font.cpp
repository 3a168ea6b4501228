// The font dialog: the faces there are, the styles and the usual sizes, and a sample
// of the choice.
#include <cstdio>
#include <cstdlib>

#include "platform/rtl/Strings.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/DialogsInternal.h"
#include "platform/vcl/StdCtrls.h"

namespace {

const char* const kFaces[] = {"Arial", "Courier New", "MS Sans Serif", "Tahoma", "Times New Roman", "Verdana"};
const char* const kStyles[] = {"Regular", "Italic", "Bold", "Bold Italic"};
const int kSizes[] = {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72};

class TFontForm : public TDialogForm {
 public:
  explicit TFontForm(TFont* font) : TDialogForm(sim::DialogKind::Font) {
    SetCaption("Font");
    faces_ = MakeList("&Font:", 8, 150, 0);
    for (const char* f : kFaces) faces_->GetItems()->Add(f);
    styles_ = MakeList("Font st&yle:", 166, 100, 1);
    for (const char* s : kStyles) styles_->GetItems()->Add(s);
    sizes_ = MakeList("&Size:", 274, 50, 2);
    for (int s : kSizes) sizes_->GetItems()->Add(IntToStr(s));
    auto* group = new TGroupBox(this);
    group->SetParent(this);
    group->SetBounds(8, 150, 240, 60);
    group->SetCaption("Sample");
    sample_ = new TLabel(this);
    sample_->SetParent(group);
    sample_->SetBounds(10, 18, 220, 36);
    sample_->SetAutoSize(false);
    sample_->SetCaption("AaBbYyZz");
    sample_->SetAlignment(taCenter);
    sample_->SetLayout(tlCenter);
    const char* captions[] = {"OK", "Cancel"};
    for (int i = 0; i < 2; ++i) {
      auto* button = new TButton(this);
      button->SetParent(this);
      button->SetCaption(captions[i]);
      button->SetModalResult(i == 0 ? mrOk : mrCancel);
      button->SetDefault(i == 0);
      button->SetCancel(i == 1);
      button->SetBounds(256, 158 + i * 29, 68, 23);
      button->SetTabOrder(3 + i);
    }
    SetClientWidth(332);
    SetClientHeight(218);
    auto changed = [this](TObject*) { UpdateSample(); };
    faces_->OnClick = changed;
    styles_->OnClick = changed;
    sizes_->OnClick = changed;
    Show(font);
    SetActiveControl(faces_);
  }

  void Take(TFont* font) const {
    if (faces_->GetItemIndex() >= 0) font->SetName(faces_->GetItems()->Strings(faces_->GetItemIndex()));
    font->SetStyle(Styles());
    font->SetSize(Size());
  }

 protected:
  // A font as "Name,Size,Style" (Style one of the style list's texts).
  void ApplyValue(const AnsiString& value) override {
    const size_t a = value.find(',');
    const size_t b = a == AnsiString::npos ? a : value.find(',', a + 1);
    if (b == AnsiString::npos) return;
    TFont font;
    font.SetName(value.substr(0, a));
    font.SetSize(std::atoi(value.substr(a + 1, b - a - 1).c_str()));
    const AnsiString style = value.substr(b + 1);
    TFontStyles styles;
    if (style.find("Bold") != AnsiString::npos) styles.Include(fsBold);
    if (style.find("Italic") != AnsiString::npos) styles.Include(fsItalic);
    font.SetStyle(styles);
    Show(&font);
  }
  AnsiString CurrentValue() override {
    const Integer face = faces_->GetItemIndex();
    const Integer style = styles_->GetItemIndex();
    return (face >= 0 ? faces_->GetItems()->Strings(face) : AnsiString()) + "," + IntToStr(Size()) + "," +
           (style >= 0 ? styles_->GetItems()->Strings(style) : AnsiString("Regular"));
  }

 private:
  TListBox* MakeList(const char* caption, Integer x, Integer width, Integer order) {
    auto* label = new TLabel(this);
    label->SetParent(this);
    label->SetBounds(x, 8, width, 13);
    label->SetCaption(caption);
    auto* list = new TListBox(this);
    list->SetParent(this);
    list->SetBounds(x, 24, width, 118);
    list->SetTabOrder(order);
    label->SetFocusControl(list);
    return list;
  }

  void Show(TFont* font) {
    faces_->SetItemIndex(faces_->GetItems()->IndexOf(font->GetName()));
    const TFontStyles s = font->GetStyle();
    styles_->SetItemIndex((s.Contains(fsBold) ? 2 : 0) + (s.Contains(fsItalic) ? 1 : 0));
    sizes_->SetItemIndex(sizes_->GetItems()->IndexOf(IntToStr(font->GetSize())));
    size_ = font->GetSize();
    UpdateSample();
  }

  TFontStyles Styles() const {
    TFontStyles styles;
    const Integer i = styles_->GetItemIndex();
    if (i == 1 || i == 3) styles.Include(fsItalic);
    if (i >= 2) styles.Include(fsBold);
    return styles;
  }

  Integer Size() const {
    const Integer i = sizes_->GetItemIndex();
    return i >= 0 ? kSizes[i] : size_;
  }

  void UpdateSample() {
    TFont* f = sample_->GetFont();
    if (faces_->GetItemIndex() >= 0) f->SetName(faces_->GetItems()->Strings(faces_->GetItemIndex()));
    f->SetStyle(Styles());
    f->SetSize(Size());
  }

  TListBox* faces_;
  TListBox* styles_;
  TListBox* sizes_;
  TLabel* sample_;
  Integer size_ = 8;
};

}  // namespace

TFontDialog::TFontDialog(TComponent* owner) : TCommonDialog(owner), font_(std::make_unique<TFont>()) {}

TFontDialog::~TFontDialog() = default;

bool TFontDialog::Execute() {
  TFontForm form(font_.get());
  if (form.Execute("Font", "", 0) != mrOk) return false;
  form.Take(font_.get());
  return true;
}
