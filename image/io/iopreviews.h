// TfIOPreviews: the modal dialog in which the user chooses how an image is saved. One
// page per file format with that format's options, the image in a source view, what
// those options make of it in a result view (encoded and decoded again for the lossy
// formats, reduced to the chosen colours for the others), and the original and
// compressed sizes. The compressed size is the size of what the codec writes with the
// options shown. The edited parameters change only through OK or "&Apply".
#pragma once

#include <memory>
#include <vector>

#include "image/io/dadiravio.h"
#include "image/model/iedefs.h"
#include "image/views/dadiravview.h"
#include "platform/rtl/Sets.h"
#include "platform/vcl/Buttons.h"
#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/ComCtrlsBasic.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/StdCtrls.h"

// Xlib's X.h (included by the display backend) defines these as macros; the names
// keep their meaning in this header.
#pragma push_macro("Button1")
#undef Button1
#pragma push_macro("Button2")
#undef Button2
#pragma push_macro("Button3")
#undef Button3
#pragma push_macro("Button4")
#undef Button4

class TDadirAvProc;

// The controls of one format page; a page has those its format uses (the others stay
// null).
struct TIOPreviewPage {
  TTabSheet* Sheet = nullptr;
  TPreviewParamsItems Kind = ppJPEG;
  bool Simplified = false;
  TEdit* Quality = nullptr;  // JPEG quality, or the JPEG 2000 rate x 1000
  TTrackBar* QualityBar = nullptr;
  TComboBox* DCTMethod = nullptr;
  TEdit* Smooth = nullptr;
  TUpDown* SmoothUpDown = nullptr;
  TComboBox* Photometric = nullptr;
  TCheckBox* OptimalHuffman = nullptr;
  TCheckBox* Progressive = nullptr;
  TComboBox* Compression = nullptr;  // also the PNG zlib level
  TComboBox* Colors = nullptr;
  TComboBox* Filter = nullptr;
  TEdit* ImageIndex = nullptr;
  TUpDown* ImageIndexUpDown = nullptr;
  TCheckBox* Transparent = nullptr;
  TLabel* TranspColorLabel = nullptr;
  TPanel* TranspColor = nullptr;
  TCheckBox* Interlaced = nullptr;
  TLabel* BackgroundLabel = nullptr;
  TPanel* Background = nullptr;
  TCheckBox* Compressed = nullptr;  // TGA
  TEdit* Delay = nullptr;
  TEdit* XPos = nullptr;
  TEdit* YPos = nullptr;
  TEdit* Name = nullptr;
  TEdit* Description = nullptr;
  TEdit* PageName = nullptr;
  TEdit* PageNumber = nullptr;
  TEdit* PageCount = nullptr;
  TGroupBox* Advanced = nullptr;
  TLabel* OriginalSizeCaption = nullptr;
  TLabel* OriginalSize = nullptr;
  TLabel* CompressedSizeCaption = nullptr;
  TLabel* CompressedSize = nullptr;
  // Labels whose caption comes from the word table, with their word and style.
  struct Word {
    TControl* control;
    TMsgLanguageWords word;
    Integer style;  // 0 as it is, 1 followed by ":", 2 framed by single spaces
  };
  std::vector<Word> Words;
  std::vector<TControl*> HiddenWhenSimplified;
};

class TfIOPreviews : public TForm {
 public:
  LARK_CLASS_NAME(TfIOPreviews)
  explicit TfIOPreviews(TComponent* owner);
  ~TfIOPreviews() override;
  TfIOPreviews(const TfIOPreviews&) = delete;
  TfIOPreviews& operator=(const TfIOPreviews&) = delete;

  // The pages to show; with ppAUTO the page of the edited parameters' file type is
  // added. False only when the set comes to exactly [ppAUTO].
  bool SetPreviewParams(TPreviewParams pages);
  TPreviewParams GetPreviewParams() const noexcept { return pages_; }
  void SetLanguage(TMsgLanguage language);
  // The edited parameters into the working values, and the working values into the
  // active page's controls.
  void ResetParameters();
  void ApplyParameters();
  // Renders the working values of the active page into view (the result view).
  void applyAct(TDadirAvView* view);
  void FormActivate(TObject* sender);
  void Progress(TObject* sender, Integer per);

  bool DefaultLockPreview = false;
  bool SimplifiedParamsDialogs = true;
  TIEDitherMethod DefaultDitherMethod = ieThreshold;
  // Edited in place by OK and "&Apply"; the caller's.
  TIOParamsVals* fParams = nullptr;
  // The working values the controls show and change.
  TIOParamsVals* GetWorking() const noexcept { return work_.get(); }
  // The active page, or null.
  const TIOPreviewPage* ActivePage() const;
  const TIOPreviewPage& Page(TPreviewParamsItems kind, bool simplified) const;
  const AnsiString& GetCancelCaption() const noexcept { return cancelCaption_; }
  // Shows the page as the person's choice of its tab does.
  void ChoosePage(TPreviewParamsItems kind);

  TButton* Button1 = nullptr;  // OK
  TButton* Button2 = nullptr;  // Cancel
  TButton* Button3 = nullptr;  // "&Preview"
  TButton* Button4 = nullptr;  // "&Apply"
  TSpeedButton* SpeedButton1 = nullptr;  // "Lock preview"
  TLabel* Label1 = nullptr;  // "Source:"
  TLabel* Label2 = nullptr;  // "Result:"
  TDadirAvView* DadirAvView1 = nullptr;  // source
  TDadirAvView* DadirAvView2 = nullptr;  // result
  TProgressBar* ProgressBar1 = nullptr;
  TColorDialog* ColorDialog1 = nullptr;
  TPageControl* PageControl1 = nullptr;

 private:
  TIOPreviewPage& MakePage(TPreviewParamsItems kind, bool simplified, const char* caption);
  void MakeJpegPage(bool simplified);
  void MakeTiffPage(bool simplified);
  void MakeGifPage(bool simplified);
  void MakeColorsPage(TPreviewParamsItems kind);
  void MakeJ2000Page();
  TIOPreviewPage* FindPage(TTabSheet* sheet);
  // A control changed on the active page: read it into the working values.
  void Changed(TObject* control);
  void ReadPage(TIOPreviewPage& page, TObject* control);
  void WriteBack();
  void PreviewIfLocked();
  void ChooseColour(TPanel* panel, TRGB& value, bool gifPalette);
  void FollowSourceView();

  std::vector<std::unique_ptr<TIOPreviewPage>> pageList_;
  TPreviewParams pages_;
  AnsiString cancelCaption_ = "&Cancel";
  bool ready_ = false;
  std::unique_ptr<TIOParamsVals> work_;
  TDadirAvIO* io_ = nullptr;      // owned by the form
  TDadirAvProc* proc_ = nullptr;  // owned by the form
  Integer progressOffset_ = 0;
  Integer progressDivisor_ = 1;
  bool following_ = false;
};

#pragma pop_macro("Button4")
#pragma pop_macro("Button3")
#pragma pop_macro("Button2")
#pragma pop_macro("Button1")
