// Unit previews: the processing preview dialog. A person picks an adjustment on one
// of twelve pages and watches it on a screen-scale copy of what the source view
// shows; on OK the same adjustment is applied to the whole image.
//
// The dialog's behaviour lives in TPreviewsLogic, which works on a thin model of the
// controls (values, ranges, enabled and visible flags; the handlers are its methods),
// so it runs and is tested without painting. TfPreviews (previews_form.cpp) builds a
// real form of the framework's controls and binds each one to its model: a person's
// change is copied into the model and its handler runs; a change the logic makes is
// written back through the model's Changed hook.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "image/model/iedefs.h"
#include "image/proc/dadiravproc_component.h"
#include "image/proc/dadiravproc_filters.h"
#include "platform/rtl/Sets.h"
#include "platform/vcl/Forms.h"

class TDadirAvView;
class TDadirAvProc;
class TIEBitmap;
class TIEFtImage;

// Page tags, in the page control's order.
enum TPreviewPage : Integer {
  ppContrast = 1, ppHSL, ppRGB, ppUserFilter, ppHSV, ppEqualization, ppBumpMap, ppLens, ppWave,
  ppMorph, ppRotate, ppFFT
};
inline constexpr Integer kPreviewPageCount = 12;

// ===========================================================================
// Control models

// What every control model carries. Changed runs after the logic changed the model,
// so that a bound control can show it.
struct TPvControl {
  bool Enabled = true;
  bool Visible = true;
  Integer Tag = 0;
  std::function<void()> Changed;
  void Notify() const {
    if (Changed) Changed();
  }
};

// A track bar or an up-down: a position within Min..Max.
struct TPvNumber : TPvControl {
  Integer Min = 0, Max = 100, Position = 0, Increment = 1;
  void SetRange(Integer lo, Integer hi) {
    Min = lo;
    Max = hi;
    Set(Position);
  }
  void Set(Integer value) {
    Position = value < Min ? Min : (value > Max ? Max : value);
    Notify();
  }
};

// An edit box, a label or any caption.
struct TPvText : TPvControl {
  AnsiString Text;
  void Set(const AnsiString& value) {
    Text = value;
    Notify();
  }
};

// A check box or a toggle speed button.
struct TPvToggle : TPvControl {
  bool Down = false;
  AnsiString Caption;
  void Set(bool value) {
    Down = value;
    Notify();
  }
};

// A list box, or a check list box (Checked has one flag per item).
struct TPvList : TPvControl {
  std::vector<AnsiString> Items;
  std::vector<bool> Checked;
  Integer ItemIndex = -1;
  void Select(Integer index) {
    ItemIndex = index;
    Notify();
  }
};

// A ruler with two grips over 0..255.
struct TPvRuler : TPvControl {
  std::array<double, 2> Grips{0, 255};
  void Set(Integer i, double value) {
    Grips[static_cast<size_t>(i)] = value < 0 ? 0 : (value > 255 ? 255 : value);
    Notify();
  }
};

// An HSV colour box: hue 0..359, saturation and value 0..99.
struct TPvColourBox : TPvControl {
  Integer Hue = 0, Sat = 0, Val = 99;
  void SetHSV(Integer h, Integer s, Integer v) {
    Hue = h;
    Sat = s;
    Val = v;
    Notify();
  }
  void SetRGB(TRGB c);
  TRGB GetRGB() const;
};

// ===========================================================================
// The parameter record

struct TPreviewsRecord {
  Integer Contrast = 0, Brightness = 0;
  Integer MeanR = 128, MeanG = 128, MeanB = 128;
  Integer HSLHue = 0, HSLSat = 0, HSLLum = 0;
  Integer HSVHue = 0, HSVSat = 0, HSVVal = 0;
  Integer R = 0, G = 0, B = 0;
  TGraphFilter Filter;
  TRGB ThresholdLow{0, 0, 0}, ThresholdHigh{255, 255, 255};
  TRGB EqualizeLow{0, 0, 0}, EqualizeHigh{255, 255, 255};
  Integer BumpLeft = 0, BumpTop = 0, BumpWidth = 0, BumpHeight = 0, BumpLevel = 0;
  TRGB BumpColour{255, 255, 255};
  Integer LensLeft = 0, LensTop = 0, LensWidth = 0, LensHeight = 0;
  double LensRefraction = 1.7;
  Integer WaveAmplitude = 10, WaveLength = 10, WavePhase = 0;
  bool WaveReflective = false;
  Integer MorphKind = 0, MorphWindow = 1;
  double Angle = 0;
  std::array<bool, kPreviewPageCount + 1> Reset{};  // by page tag; true once reset
};

// ===========================================================================
// The dialog's behaviour

class TPreviewsLogic {
 public:
  // The three views belong to the caller (the form) and outlive the logic.
  TPreviewsLogic(TDadirAvView* source, TDadirAvView* result, TDadirAvView* spectrum);
  ~TPreviewsLogic();
  TPreviewsLogic(const TPreviewsLogic&) = delete;
  TPreviewsLogic& operator=(const TPreviewsLogic&) = delete;

  // --- Inputs set before the dialog runs
  TPreviewEffects Effects{peAll};
  bool LockPreviewDefault = false;
  Integer OpenOnPage = 0;  // a page tag, or 0 for the first visible page
  TIEProgressEvent OnProgress;  // the processing component's, for the final application
  TObject* ProgressSender = nullptr;
  TMsgLanguage Language = msSystem;

  // --- Hooks the form fills (all optional)
  std::function<void()> ProcessMessages;    // during activation
  std::function<void()> RedrawHistogram;    // the equalisation page's histogram box
  std::function<Integer()> HistogramPlotLeft;
  std::function<Integer()> HistogramWidth;
  // Asks for a filter file name; false when the person cancelled.
  std::function<bool(AnsiString& fileName)> AskLoadFilter;
  std::function<bool(AnsiString& fileName)> AskSaveFilter;
  // Shows an error to the person.
  std::function<void(const AnsiString& text)> ShowError;

  // --- Frame (FormCreate is the constructor; FormDestroy the destructor)
  void FormActivate();
  void PageControlChange();
  void SetActivePage(Integer tag);  // as a person choosing a tab
  Integer ActivePage() const noexcept { return activePage_; }
  void ResetParameters(bool all);
  // Runs the active page's operation on view's image: the preview (the result view)
  // or the final application (the source view). False when the operation could not
  // run (the full-size transform of the FFT page past the image limits).
  bool applyAct(TDadirAvView* view);
  void CopyOrg();
  void CopyModToOrg();  // "<<"
  void RefreshPreview();  // when "Lock preview" is down; "&Preview" always
  void PreviewClick();
  // OK: false (and the image unchanged) when the adjustment could not be applied.
  bool OkClick();
  void SetLanguage(TMsgLanguage language);

  // --- Control handlers (a bound control, or a test, changes its model first)
  void LockPreviewClick();
  void ContrastTrackChange();
  void ContrastEditChange();
  void HSLTrackChange();
  void HSLEditChange();
  void RGBTrackChange();
  void RGBEditChange();
  void HSVTrackChange();
  void HSVEditChange();
  void HSVBoxChange();
  void FilterEditChange(Integer tag);
  void FilterPresetClick();
  void LoadFilterClick();
  void SaveFilterClick();
  void LoadFilterFile(const AnsiString& fileName);
  void RulerGripMoved(Integer ruler, Integer grip);  // ruler 1 threshold, 2 equalisation
  void ChannelsClick();
  void EqualizeClick();
  void BumpEditChange();
  void BumpColourChange();
  void LensEditChange();
  void WaveEditChange();
  void MorphChange();
  void RotateTrackChange();
  void RotateEditChange();
  void FlipClick();
  void FFTClearClick();
  void FFTResetClick();
  void FFTGrayClick();
  // Mouse down or up on the result view at client (x, y).
  void ResultMouse(TMouseButton button, Integer x, Integer y);

  // --- The controls
  std::array<TPvControl, kPreviewPageCount + 1> Pages;  // by tag
  bool TabsOnTop = false;
  TPvToggle LockPreview, Equalize, FlipHor, FlipVer, Reflective, GrayScaleCheck;
  TPvControl PreviewButton;
  TPvNumber TrackContrast, TrackBrightness, TrackHSLHue, TrackHSLSat, TrackHSLLum;
  TPvNumber TrackRed, TrackGreen, TrackBlue, TrackHSVHue, TrackHSVSat, TrackHSVVal, TrackRotate;
  TPvText EditContrast, EditBrightness, EditHSLHue, EditHSLSat, EditHSLLum;
  TPvText EditRed, EditGreen, EditBlue, EditHSVHue, EditHSVSat, EditHSVVal, EditRotate;
  std::array<TPvText, 10> EditFilter;  // by tag: kernel elements 0..8, then the divisor
  TPvList Presets, Channels, MorphKinds;
  TPvRuler Ruler1, Ruler2;
  TPvText Label16, Label17, Label20, Label21;
  TPvColourBox BaseColour, NewColour, BumpColour;
  // Bump map: left, top, width, height, level. Lens: left, top, width, height,
  // refraction. Wave: amplitude, wavelength, phase.
  std::array<TPvText, 5> EditBump, EditLens;
  std::array<TPvText, 3> EditWave;
  TPvText EditWindow;
  TPvNumber Progress;
  // Captions by control name ("Form", "Button1", "TabSheet3", "Label5", ...).
  std::vector<std::pair<std::string, AnsiString>> Captions;
  AnsiString Caption(const std::string& name) const;

  TPreviewsRecord Params;
  bool ChangesAllowed() const noexcept { return changes_; }
  bool FinalApplication() const noexcept { return final_; }
  TIEFtImage* Transform() const noexcept { return ft_.get(); }
  // Histogram channels chosen on the equalisation page (bits: red 1, green 2, blue 4,
  // grey 8).
  Integer HistogramKind() const noexcept { return histKind_; }
  // How many preview refreshes ran (for tests of the lock).
  Integer RefreshCount() const noexcept { return refreshes_; }
  // The thumbnail the spectrum was built from.
  TIEBitmap* Thumbnail() const noexcept { return thumb_.get(); }

  TDadirAvView* Source() const noexcept { return src_; }
  TDadirAvView* Result() const noexcept { return res_; }
  TDadirAvView* Spectrum() const noexcept { return spec_; }

  // The value a typed text gives: an integer, else def.
  static Integer EditValue(const AnsiString& text, Integer def = 0);
  // The area-average shrink (or nearest enlargement) of source into dest's size.
  static void HalftoneStretch(TIEBitmap* source, TIEBitmap* dest);
  // The thumbnail size for a source: longer side 128, the other scaled (at least 1).
  static void ThumbnailSize(Integer width, Integer height, Integer& tw, Integer& th);

 private:
  void SetMouseInteractForPage();
  bool PageShown(Integer tag) const;
  void SetIntEdit(TPvText& edit, Integer value);
  void ApplyRuler(Integer ruler);
  bool ApplyFFT(TDadirAvView* view);
  // Back to the unadjusted preview, then the active page's operation on it.
  void Refresh();
  TProgressRec ProgressRec();

  TDadirAvView* src_;
  TDadirAvView* res_;
  TDadirAvView* spec_;
  std::unique_ptr<TIEFtImage> ft_;
  std::unique_ptr<TIEBitmap> thumb_;
  Integer activePage_ = ppContrast;
  bool changes_ = true;
  bool final_ = false;
  Integer histKind_ = 8;
  Integer refreshes_ = 0;
  bool copying_ = false;
};

// What the person is told when the whole image is too large for the adjustment.
inline constexpr char kTooLargeText[] =
    "The image is too large for its frequency domain transform; nothing was changed.";

// ===========================================================================
// The form

class TfPreviews : public TForm {
 public:
  LARK_CLASS_NAME(TfPreviews)
  explicit TfPreviews(TComponent* owner);
  ~TfPreviews() override;
  TfPreviews(const TfPreviews&) = delete;
  TfPreviews& operator=(const TfPreviews&) = delete;

  TPreviewsLogic& Logic() noexcept { return *logic_; }
  TDadirAvView* DadirAv1 = nullptr;  // the source
  TDadirAvView* DadirAv2 = nullptr;  // the result
  TDadirAvView* DadirAvView1 = nullptr;  // the spectrum
  // The real control bound to a model, or to a caption name; null when none.
  TControl* ControlOf(const void* model) const;
  TControl* ControlNamed(const std::string& name) const;
  AnsiString InitialFolder;
  // Sets the views' background and the font of both previews.
  void SetViewsBackground(TColor colour);
  void SetLanguage(TMsgLanguage language);

 protected:
  // The first activation of a run sets the dialog up; later ones (after a message
  // box, or another window) keep what the person has done.
  void Activate() override;

 private:
  struct Binding;
  void Build();
  std::unique_ptr<TPreviewsLogic> logic_;
  std::unique_ptr<Binding> binding_;
  bool activated_ = false;
};
