// The preview dialog's form: the framework's controls laid out on twelve pages, each
// bound to its model in TPreviewsLogic. A person's change is copied into the model
// and the model's handler runs; a change the logic makes comes back through the
// model's Changed hook and is written into the control with its events held off.
#include <array>
#include <map>
#include <string>
#include <tuple>

#include "image/proc/dadiravproc_component.h"
#include "image/proc/previews.h"
#include "image/views/dadiravview.h"
#include "image/views/dadiravview_cursors.h"
#include "image/views/histogrambox.h"
#include "image/views/hsvbox.h"
#include "image/views/rulerbox.h"
#include "platform/rtl/Strings.h"
#include "platform/vcl/Application.h"
#include "platform/vcl/Buttons.h"
#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/ComCtrlsBasic.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/win/MessageBox.h"

struct TfPreviews::Binding {
  bool syncing = false;
  std::map<const void*, TControl*> byModel;
  std::map<std::string, TControl*> byName;
  std::array<TTabSheet*, kPreviewPageCount + 1> sheets{};
  TPageControl* pages = nullptr;
  TButton* preview = nullptr;
  THistogramBox* histogram = nullptr;
  TRulerBox* ruler1 = nullptr;
  TOpenDialog* open = nullptr;
  TSaveDialog* save = nullptr;
  TProgressBar* progress = nullptr;

  // Runs a write into a control with the controls' events held off.
  template <typename Body>
  void Sync(Body body) {
    const bool was = syncing;
    syncing = true;
    body();
    syncing = was;
  }
};

TfPreviews::TfPreviews(TComponent* owner) : TForm(owner), binding_(std::make_unique<Binding>()) {
  SetBorderStyle(TFormBorderStyle::bsDialog);
  SetPosition(poScreenCenter);
  SetClientWidth(780);
  SetClientHeight(480);
  DadirAv1 = new TDadirAvView(this);
  DadirAv2 = new TDadirAvView(this);
  DadirAvView1 = new TDadirAvView(this);
  logic_ = std::make_unique<TPreviewsLogic>(DadirAv1, DadirAv2, DadirAvView1);
  Build();
}

TfPreviews::~TfPreviews() {
  // The logic's hooks point into the form's controls: drop them first.
  logic_.reset();
}

TControl* TfPreviews::ControlOf(const void* model) const {
  auto it = binding_->byModel.find(model);
  return it != binding_->byModel.end() ? it->second : nullptr;
}

TControl* TfPreviews::ControlNamed(const std::string& name) const {
  auto it = binding_->byName.find(name);
  return it != binding_->byName.end() ? it->second : nullptr;
}

void TfPreviews::SetViewsBackground(TColor colour) {
  DadirAv1->SetBackGround(colour);
  DadirAv2->SetBackGround(colour);
}

void TfPreviews::Activate() {
  if (!activated_) {
    activated_ = true;
    binding_->histogram->SetAIEP(DadirAv2->GetDadirAvProc());
    binding_->pages->SetVisible(false);
    logic_->FormActivate();
    binding_->pages->SetVisible(true);
  }
  TForm::Activate();
}

void TfPreviews::SetLanguage(TMsgLanguage language) {
  logic_->SetLanguage(language);
  Binding& b = *binding_;
  for (const auto& [name, text] : logic_->Captions) {
    const auto dot = name.find('.');
    if (name == "Form") {
      SetCaption(text);
    } else if (name == "OpenDialog1") {
      b.open->SetTitle(text);
    } else if (name == "SaveDialog1") {
      b.save->SetTitle(text);
    } else if (dot != std::string::npos) {
      if (TControl* c = ControlNamed(name.substr(0, dot))) c->SetHint(text);
    } else if (TControl* c = ControlNamed(name)) {
      c->SetCaption(text);
    }
  }
}

void TfPreviews::Build() {
  TPreviewsLogic& L = *logic_;
  Binding& b = *binding_;
  auto named = [&](const std::string& name, TControl* c) {
    b.byName[name] = c;
    return c;
  };
  auto label = [&](TWinControl* parent, Integer x, Integer y, const std::string& name,
                   const AnsiString& text) {
    auto* l = new TLabel(this);
    l->SetParent(parent);
    l->SetBounds(x, y, 140, 14);
    l->SetCaption(text);
    if (!name.empty()) named(name, l);
    return l;
  };
  auto bindText = [&](TPvText& model, TLabel* l) {
    b.byModel[&model] = l;
    model.Changed = [&b, l, &model] { b.Sync([&] { l->SetCaption(model.Text); }); };
  };
  auto edit = [&](TWinControl* parent, Integer x, Integer y, Integer w, TPvText& model,
                  std::function<void()> handler) {
    auto* e = new TEdit(this);
    e->SetParent(parent);
    e->SetBounds(x, y, w, 21);
    e->SetText(model.Text);
    b.byModel[&model] = e;
    model.Changed = [&b, e, &model] { b.Sync([&] { e->SetText(model.Text); }); };
    e->OnChange = [&b, e, &model, handler](TObject*) {
      if (b.syncing) return;
      model.Text = e->GetText();
      handler();
    };
    return e;
  };
  auto updown = [&](TWinControl* parent, TEdit* e, Integer lo, Integer hi, Integer step) {
    auto* u = new TUpDown(this);
    u->SetParent(parent);
    u->SetMin(lo);
    u->SetMax(hi);
    u->SetIncrement(step);
    u->SetAssociate(e);
    return u;
  };
  auto track = [&](TWinControl* parent, Integer x, Integer y, Integer w, TPvNumber& model,
                   std::function<void()> handler) {
    auto* t = new TTrackBar(this);
    t->SetParent(parent);
    t->SetBounds(x, y, w, 26);
    t->SetMin(model.Min);
    t->SetMax(model.Max);
    t->SetPosition(model.Position);
    t->SetThumbLength(10);
    b.byModel[&model] = t;
    model.Changed = [&b, t, &model] { b.Sync([&] { t->SetPosition(model.Position); }); };
    t->OnChange = [&b, t, &model, handler](TObject*) {
      if (b.syncing) return;
      model.Position = t->GetPosition();
      handler();
    };
    return t;
  };
  auto toggle = [&](TWinControl* parent, Integer x, Integer y, Integer w, const std::string& name,
                    const AnsiString& caption, TPvToggle& model, std::function<void()> handler) {
    auto* s = new TSpeedButton(this);
    s->SetParent(parent);
    s->SetBounds(x, y, w, 23);
    s->SetGroupIndex(static_cast<Integer>(b.byModel.size()) + 100);
    s->SetAllowAllUp(true);
    s->SetCaption(caption);
    s->SetDown(model.Down);
    named(name, s);
    b.byModel[&model] = s;
    model.Changed = [&b, s, &model] { b.Sync([&] { s->SetDown(model.Down); }); };
    s->OnClick = [&b, s, &model, handler](TObject*) {
      if (b.syncing) return;
      model.Down = s->GetDown();
      handler();
    };
    return s;
  };
  auto check = [&](TWinControl* parent, Integer x, Integer y, const std::string& name,
                   const AnsiString& caption, TPvToggle& model, std::function<void()> handler) {
    auto* c = new TCheckBox(this);
    c->SetParent(parent);
    c->SetBounds(x, y, 150, 17);
    c->SetCaption(caption);
    c->SetChecked(model.Down);
    named(name, c);
    b.byModel[&model] = c;
    model.Changed = [&b, c, &model] { b.Sync([&] { c->SetChecked(model.Down); }); };
    c->OnClick = [&b, c, &model, handler](TObject*) {
      if (b.syncing) return;
      model.Down = c->GetChecked();
      handler();
    };
    return c;
  };
  auto button = [&](TWinControl* parent, Integer x, Integer y, Integer w, const std::string& name,
                    const AnsiString& caption, std::function<void()> handler) {
    auto* bt = new TButton(this);
    bt->SetParent(parent);
    bt->SetBounds(x, y, w, 25);
    bt->SetCaption(caption);
    named(name, bt);
    if (handler) bt->OnClick = [handler](TObject*) { handler(); };
    return bt;
  };
  auto group = [&](TWinControl* parent, Integer x, Integer y, Integer w, Integer h,
                   const std::string& name) {
    auto* g = new TGroupBox(this);
    g->SetParent(parent);
    g->SetBounds(x, y, w, h);
    named(name, g);
    return g;
  };
  auto hsvbox = [&](TWinControl* parent, Integer x, Integer y, TPvColourBox& model,
                    std::function<void()> handler) {
    auto* h = new THSVBox(this);
    h->SetParent(parent);
    h->SetBounds(x, y, 110, 80);
    h->SetHue(model.Hue);
    h->SetSat(model.Sat);
    h->SetVal(model.Val);
    b.byModel[&model] = h;
    model.Changed = [&b, h, &model] {
      b.Sync([&] {
        h->SetHue(model.Hue);
        h->SetSat(model.Sat);
        h->SetVal(model.Val);
      });
    };
    h->OnChange = [&b, h, &model, handler](TObject*) {
      if (b.syncing) return;
      model.Hue = h->GetHue();
      model.Sat = h->GetSat();
      model.Val = h->GetVal();
      handler();
    };
    return h;
  };

  // --- The views and the buttons beside them
  label(this, 8, 6, "LabelSource", "Source:");
  DadirAv1->SetParent(this);
  DadirAv1->SetBounds(8, 22, 320, 200);
  DadirAv1->SetViewCursor(crIEHand);
  DadirAv1->SetMouseInteract(TIEMouseInteract{miZoom, miScroll});
  label(this, 336, 6, "LabelResult", "Result:");
  DadirAv2->SetParent(this);
  DadirAv2->SetBounds(336, 22, 320, 200);
  DadirAv2->SetViewCursor(crIECross);
  auto mouse = [this](TObject*, TMouseButton button, TShiftState, Integer x, Integer y) {
    logic_->ResultMouse(button, x, y);
  };
  DadirAv2->OnMouseDown = mouse;
  DadirAv2->OnMouseUp = mouse;
  auto* ok = button(this, 666, 22, 106, "Button1", "OK", nullptr);
  ok->SetDefault(true);
  ok->OnClick = [this](TObject*) {
    if (logic_->OkClick()) SetModalResult(1);
  };
  auto* cancel = button(this, 666, 52, 106, "Button2", "Cancel", nullptr);
  cancel->SetModalResult(2);
  cancel->SetCancel(true);
  toggle(this, 666, 100, 106, "SpeedButton1", "Lock preview", L.LockPreview, [&L] { L.LockPreviewClick(); });
  b.preview = button(this, 666, 128, 106, "Button3", "&Preview", [&L] { L.PreviewClick(); });
  b.byModel[&L.PreviewButton] = b.preview;
  L.PreviewButton.Changed = [&b, &L] { b.preview->SetEnabled(L.PreviewButton.Enabled); };
  auto* copy = button(this, 666, 170, 106, "Button6", "<<", [&L] { L.CopyModToOrg(); });
  copy->SetHint("Copy Result to Source");
  copy->SetShowHint(true);

  // --- The pages
  b.pages = new TPageControl(this);
  b.pages->SetParent(this);
  b.pages->SetBounds(8, 232, 764, 240);
  named("PageControl1", b.pages);
  const char* names[kPreviewPageCount + 1] = {"",    "Contrast", "HSL",      "RGB",
                                              "User filter", "HSV", "Equalization",
                                              "Bump map", "Lens", "Wave", "Morph filters",
                                              "Rotate", "FFT"};
  for (Integer t = 1; t <= kPreviewPageCount; ++t) {
    auto* sheet = new TTabSheet(this);
    sheet->SetPageControl(b.pages);
    sheet->SetCaption(names[t]);
    sheet->SetTag(t);
    b.sheets[static_cast<size_t>(t)] = sheet;
    named("TabSheet" + std::to_string(t), sheet);
    b.byModel[&L.Pages[static_cast<size_t>(t)]] = sheet;
    L.Pages[static_cast<size_t>(t)].Changed = [&b, &L, t] {
      b.Sync([&] { b.sheets[static_cast<size_t>(t)]->SetTabVisible(L.Pages[static_cast<size_t>(t)].Visible); });
    };
  }
  L.Pages[0].Changed = [&b, &L] {
    const Integer a = L.ActivePage();
    if (a >= 1 && a <= kPreviewPageCount) b.Sync([&] { b.pages->SetActivePage(b.sheets[static_cast<size_t>(a)]); });
  };
  b.pages->OnChange = [&b, &L](TObject*) {
    if (b.syncing) return;
    TTabSheet* page = b.pages->GetActivePage();
    if (page != nullptr) L.SetActivePage(static_cast<Integer>(page->GetTag()));
  };
  auto sheet = [&](Integer t) -> TWinControl* { return b.sheets[static_cast<size_t>(t)]; };

  // Contrast
  {
    TWinControl* p = sheet(ppContrast);
    label(p, 8, 12, "LabelContrast", "Contrast");
    track(p, 150, 8, 360, L.TrackContrast, [&L] { L.ContrastTrackChange(); });
    edit(p, 520, 10, 50, L.EditContrast, [&L] { L.ContrastEditChange(); });
    label(p, 8, 52, "LabelBrightness", "Brightness:");
    track(p, 150, 48, 360, L.TrackBrightness, [&L] { L.ContrastTrackChange(); });
    edit(p, 520, 50, 50, L.EditBrightness, [&L] { L.ContrastEditChange(); });
  }
  // The three-slider pages
  auto triple = [&](Integer t, std::array<const char*, 3> labels, std::array<const char*, 3> texts,
                    std::array<TPvNumber*, 3> tracks, std::array<TPvText*, 3> edits,
                    std::function<void()> onTrack, std::function<void()> onEdit) {
    TWinControl* p = sheet(t);
    for (size_t i = 0; i < 3; ++i) {
      const Integer y = 12 + static_cast<Integer>(i) * 40;
      label(p, 8, y + 4, labels[i], texts[i]);
      track(p, 150, y, 360, *tracks[i], onTrack);
      edit(p, 520, y + 2, 50, *edits[i], onEdit);
    }
  };
  triple(ppHSL, {"LabelHSLHue", "LabelHSLSat", "LabelHSLLum"}, {"Hue (H):", "Saturation (S):", "Luminosity (L):"},
         {&L.TrackHSLHue, &L.TrackHSLSat, &L.TrackHSLLum}, {&L.EditHSLHue, &L.EditHSLSat, &L.EditHSLLum},
         [&L] { L.HSLTrackChange(); }, [&L] { L.HSLEditChange(); });
  triple(ppRGB, {"LabelRed", "LabelGreen", "LabelBlue"}, {"Red (R):", "Green (G):", "Blue (B):"},
         {&L.TrackRed, &L.TrackGreen, &L.TrackBlue}, {&L.EditRed, &L.EditGreen, &L.EditBlue},
         [&L] { L.RGBTrackChange(); }, [&L] { L.RGBEditChange(); });
  {
    // HSV: the three sliders, narrower, and the two colour boxes beside them.
    TWinControl* p = sheet(ppHSV);
    const char* labels[3] = {"LabelHSVHue", "LabelHSVSat", "LabelHSVVal"};
    const char* texts[3] = {"Hue (H):", "Saturation (S):", "Value (V):"};
    TPvNumber* tracks[3] = {&L.TrackHSVHue, &L.TrackHSVSat, &L.TrackHSVVal};
    TPvText* edits[3] = {&L.EditHSVHue, &L.EditHSVSat, &L.EditHSVVal};
    for (size_t i = 0; i < 3; ++i) {
      const Integer y = 12 + static_cast<Integer>(i) * 40;
      label(p, 8, y + 4, labels[i], texts[i])->SetWidth(110);
      track(p, 120, y, 160, *tracks[i], [&L] { L.HSVTrackChange(); });
      edit(p, 286, y + 2, 44, *edits[i], [&L] { L.HSVEditChange(); });
    }
    label(p, 350, 4, "LabelBase", "Base color:");
    hsvbox(p, 350, 20, L.BaseColour, [&L] { L.HSVBoxChange(); })->SetBounds(350, 20, 150, 120);
    label(p, 520, 4, "LabelNew", "New color:");
    hsvbox(p, 520, 20, L.NewColour, [&L] { L.HSVBoxChange(); })->SetBounds(520, 20, 150, 120);
  }
  // User filter
  {
    TWinControl* p = sheet(ppUserFilter);
    auto* g = group(p, 8, 4, 230, 150, "GroupFilter");
    const Integer order[9] = {0, 3, 6, 1, 4, 7, 2, 5, 8};  // Edit8.. run down the columns
    for (Integer k : order) {
      auto* e = edit(g, 12 + (k % 3) * 70, 20 + (k / 3) * 30, 45,
                     L.EditFilter[static_cast<size_t>(k)], [&L, k] { L.FilterEditChange(k); });
      updown(g, e, -100, 100, 1);
    }
    label(g, 12, 114, "LabelDivisor", "Divisor");
    auto* d = edit(g, 82, 110, 45, L.EditFilter[9], [&L] { L.FilterEditChange(9); });
    updown(g, d, -100, 100, 1);
    auto* gp = group(p, 248, 4, 130, 150, "GroupPresets");
    auto* list = new TListBox(this);
    list->SetParent(gp);
    list->SetBounds(8, 18, 114, 124);
    for (const auto& item : L.Presets.Items) list->GetItems()->Add(item);
    list->SetItemIndex(0);
    named("ListBox1", list);
    b.byModel[&L.Presets] = list;
    L.Presets.Changed = [&b, list, &L] { b.Sync([&] { list->SetItemIndex(L.Presets.ItemIndex); }); };
    list->OnClick = [&b, list, &L](TObject*) {
      if (b.syncing) return;
      L.Presets.ItemIndex = list->GetItemIndex();
      L.FilterPresetClick();
    };
    button(p, 390, 20, 70, "ButtonLoad", "Load", [&L] { L.LoadFilterClick(); });
    button(p, 390, 52, 70, "ButtonSave", "Save", [&L] { L.SaveFilterClick(); });
    b.open = new TOpenDialog(this);
    b.open->SetTitle("Load filter");
    b.open->SetDefaultExt("flt");
    b.open->SetFilter("Filter (*.flt)|*.flt");
    b.open->SetOptions(TOpenOptions{ofPathMustExist, ofFileMustExist});
    b.save = new TSaveDialog(this);
    b.save->SetTitle("Save filter");
    b.save->SetDefaultExt("flt");
    b.save->SetFilter("Filter (*.flt)|*.flt");
    b.save->SetOptions(TOpenOptions{ofPathMustExist});
    L.AskLoadFilter = [this, &b](AnsiString& name) {
      b.open->SetInitialDir(InitialFolder);
      if (!b.open->Execute()) return false;
      name = b.open->GetFileName();
      return true;
    };
    L.AskSaveFilter = [this, &b](AnsiString& name) {
      b.save->SetInitialDir(InitialFolder);
      if (!b.save->Execute()) return false;
      name = b.save->GetFileName();
      return true;
    };
  }
  L.ShowError = [this](const AnsiString& text) {
    MessageBox(HandleAllocated() ? GetHandle() : 0, text.c_str(), GetCaption().c_str(),
               MB_OK | MB_ICONERROR);
  };
  // Equalization
  {
    TWinControl* p = sheet(ppEqualization);
    label(p, 8, 4, "LabelThreshold", "Threshold");
    b.ruler1 = new TRulerBox(this);
    b.ruler1->SetParent(p);
    b.ruler1->SetBounds(8, 20, 250, 34);
    auto* r2 = new TRulerBox(this);
    r2->SetParent(p);
    r2->SetBounds(8, 92, 250, 34);
    label(p, 8, 76, "LabelEqualization", "Equalization");
    auto* l16 = label(p, 8, 56, "", "0");
    auto* l17 = label(p, 200, 56, "", "255");
    auto* l20 = label(p, 8, 128, "", "0");
    auto* l21 = label(p, 200, 128, "", "255");
    bindText(L.Label16, l16);
    bindText(L.Label17, l17);
    bindText(L.Label20, l20);
    bindText(L.Label21, l21);
    for (auto [ruler, model, n] : {std::tuple{b.ruler1, &L.Ruler1, 1}, std::tuple{r2, &L.Ruler2, 2}}) {
      ruler->SetGripsCount(2);
      ruler->SetViewMin(0);
      ruler->SetViewMax(255);
      ruler->SetFitInView(true);
      for (Integer i = 0; i < 2; ++i) {
        ruler->SetGripsMin(i, 0);
        ruler->SetGripsMax(i, 255);
        ruler->SetGripsCol(i, 0x808080);
        if (n == 1) ruler->SetGripsKind(i, gkArrow2);
      }
      named(n == 1 ? "RulerBox1" : "RulerBox2", ruler);
      b.byModel[model] = ruler;
      TRulerBox* rb = ruler;
      TPvRuler* m = model;
      m->Changed = [&b, rb, m] {
        b.Sync([&] {
          rb->SetGripsPos(0, m->Grips[0]);
          rb->SetGripsPos(1, m->Grips[1]);
        });
      };
      const Integer which = n;
      rb->OnRulerPosChange = [&b, rb, m, &L, which](TObject*, Integer grip) {
        if (b.syncing) return;
        m->Grips = {rb->GetGripsPos(0), rb->GetGripsPos(1)};
        L.RulerGripMoved(which, grip);
      };
    }
    toggle(p, 8, 152, 90, "SpeedButton3", "Equalize", L.Equalize, [&L] { L.EqualizeClick(); });
    auto* g = group(p, 270, 0, 300, 190, "GroupHistogram");
    b.histogram = new THistogramBox(this);
    b.histogram->SetParent(g);
    b.histogram->SetBounds(8, 16, 190, 166);
    auto* channels = new TCheckListBox(this);
    channels->SetParent(g);
    channels->SetBounds(204, 16, 88, 70);
    for (const auto& item : L.Channels.Items) channels->GetItems()->Add(item);
    named("CheckListBox1", channels);
    b.byModel[&L.Channels] = channels;
    L.Channels.Changed = [&b, channels, &L] {
      b.Sync([&] {
        if (channels->GetItems()->GetCount() != static_cast<Integer>(L.Channels.Items.size())) {
          channels->GetItems()->Clear();
          for (const auto& item : L.Channels.Items) channels->GetItems()->Add(item);
        } else {
          for (size_t i = 0; i < L.Channels.Items.size(); ++i)
            channels->GetItems()->SetStrings(static_cast<Integer>(i), L.Channels.Items[i]);
        }
        for (size_t i = 0; i < L.Channels.Checked.size(); ++i)
          channels->SetChecked(static_cast<Integer>(i), L.Channels.Checked[i]);
      });
    };
    channels->OnClickCheck = [&b, channels, &L](TObject*) {
      if (b.syncing) return;
      for (size_t i = 0; i < L.Channels.Checked.size(); ++i)
        L.Channels.Checked[i] = channels->Checked(static_cast<Integer>(i));
      L.ChannelsClick();
      // The threshold ruler lines up with the histogram's plot.
      const Integer left = b.histogram->GetPlotLeft();
      b.ruler1->SetBounds(left, b.ruler1->GetTop(), b.histogram->GetWidth() - left, b.ruler1->GetHeight());
    };
    L.RedrawHistogram = [&b, &L] {
      THistogramKind kind;
      const Integer k = L.HistogramKind();
      if (k & 1) kind.Include(hkRed);
      if (k & 2) kind.Include(hkGreen);
      if (k & 4) kind.Include(hkBlue);
      if (k & 8) kind.Include(hkGray);
      b.histogram->SetHistogramKind(kind);
      b.histogram->Update();
    };
  }
  // Bump map and lens: four geometry edits with up-downs and one more value.
  auto geometry = [&](Integer t, const std::string& prefix, std::array<TPvText, 5>& edits,
                      std::function<void()> handler) {
    TWinControl* p = sheet(t);
    auto* g = group(p, 8, 4, 220, 150, t == ppBumpMap ? "GroupLight" : "GroupLens");
    const char* names4[4] = {"Left", "Top", "Width", "Height"};
    for (size_t i = 0; i < 4; ++i) {
      const Integer y = 20 + static_cast<Integer>(i) * 30;
      label(g, 10, y + 3, prefix + names4[i], std::string(names4[i]) + ":");
      auto* e = edit(g, 110, y, 70, edits[i], handler);
      updown(g, e, 0, 32767, 10);
    }
    return p;
  };
  {
    TWinControl* p = geometry(ppBumpMap, "LabelBump", L.EditBump, [&L] { L.BumpEditChange(); });
    label(p, 240, 10, "LabelQuantity", "Source image quantity (%):");
    auto* e = edit(p, 240, 28, 60, L.EditBump[4], [&L] { L.BumpEditChange(); });
    updown(p, e, 0, 100, 10);
    label(p, 240, 60, "LabelColour", "Color:");
    hsvbox(p, 240, 76, L.BumpColour, [&L] { L.BumpColourChange(); });
  }
  {
    TWinControl* p = geometry(ppLens, "LabelLens", L.EditLens, [&L] { L.LensEditChange(); });
    label(p, 240, 10, "LabelRefraction", "Refraction:");
    auto* e = edit(p, 240, 28, 60, L.EditLens[4], [&L] { L.LensEditChange(); });
    updown(p, e, 0, 32767, 1);
  }
  // Wave
  {
    TWinControl* p = sheet(ppWave);
    auto* g = group(p, 8, 4, 240, 150, "GroupWave");
    const char* ids[3] = {"LabelAmplitude", "LabelWaveLength", "LabelPhase"};
    const char* texts[3] = {"Amplitude", "Wave length", "Phase"};
    const Integer hi[3] = {32767, 32767, 359};
    for (size_t i = 0; i < 3; ++i) {
      const Integer y = 20 + static_cast<Integer>(i) * 30;
      label(g, 10, y + 3, ids[i], texts[i]);
      auto* e = edit(g, 110, y, 70, L.EditWave[i], [&L] { L.WaveEditChange(); });
      updown(g, e, 0, hi[i], 1);
    }
    check(g, 10, 112, "CheckBox2", "Reflective", L.Reflective, [&L] { L.WaveEditChange(); });
  }
  // Morph filters
  {
    TWinControl* p = sheet(ppMorph);
    auto* g = group(p, 8, 4, 300, 150, "GroupMorph");
    label(g, 10, 20, "LabelMorphFilter", "Filter:");
    auto* list = new TListBox(this);
    list->SetParent(g);
    list->SetBounds(10, 36, 130, 70);
    for (const auto& item : L.MorphKinds.Items) list->GetItems()->Add(item);
    list->SetItemIndex(0);
    named("ListBox2", list);
    b.byModel[&L.MorphKinds] = list;
    L.MorphKinds.Changed = [&b, list, &L] {
      b.Sync([&] {
        list->GetItems()->Clear();
        for (const auto& item : L.MorphKinds.Items) list->GetItems()->Add(item);
        list->SetItemIndex(L.MorphKinds.ItemIndex);
      });
    };
    list->OnClick = [&b, list, &L](TObject*) {
      if (b.syncing) return;
      L.MorphKinds.ItemIndex = list->GetItemIndex();
      L.MorphChange();
    };
    label(g, 160, 20, "LabelWindow", "Window size:");
    auto* e = edit(g, 160, 36, 60, L.EditWindow, [&L] { L.MorphChange(); });
    updown(g, e, 1, 64, 1);
  }
  // Rotate
  {
    TWinControl* p = sheet(ppRotate);
    label(p, 8, 12, "LabelRotate", "Rotate:");
    auto* t = track(p, 150, 8, 360, L.TrackRotate, [&L] { L.RotateTrackChange(); });
    t->SetFrequency(500);
    edit(p, 520, 10, 70, L.EditRotate, [&L] { L.RotateEditChange(); });
    label(p, 8, 60, "LabelFlip", "Flip")->SetWidth(60);
    auto* h = toggle(p, 150, 56, 110, "SpeedButtonFlipHor", "Horizontally", L.FlipHor, [&L] { L.FlipClick(); });
    h->SetHint("Flip Horizontally");
    auto* v = toggle(p, 270, 56, 110, "SpeedButtonFlipVer", "Vertically", L.FlipVer, [&L] { L.FlipClick(); });
    v->SetHint("Flip Vertically");
  }
  // FFT
  {
    TWinControl* p = sheet(ppFFT);
    auto* g = group(p, 8, 0, 300, 190, "GroupFFT");
    DadirAvView1->SetParent(g);
    DadirAvView1->SetBounds(8, 16, 160, 160);
    DadirAvView1->SetMouseInteract(TIEMouseInteract{miSelect});
    b.progress = new TProgressBar(this);
    b.progress->SetParent(g);
    b.progress->SetBounds(176, 160, 116, 16);
    b.progress->SetRange(0, 100);
    b.byModel[&L.Progress] = b.progress;
    L.Progress.Changed = [&b, &L] { b.progress->SetPosition(L.Progress.Position); };
    button(g, 176, 16, 100, "Clear", "Clear", [&L] { L.FFTClearClick(); });
    button(g, 176, 48, 100, "Button7", "Reset", [&L] { L.FFTResetClick(); });
    check(g, 176, 84, "CheckBox1", "Gray scale", L.GrayScaleCheck, [&L] { L.FFTGrayClick(); })->SetWidth(116);
  }
  L.ProcessMessages = [] { Application->ProcessMessages(); };
  b.pages->SetActivePage(b.sheets[ppContrast]);
  SetLanguage(msSystem);
}
