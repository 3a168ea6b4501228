// The About box and the empty form.
#include "app/About.h"

#include "app/ProgramPicture.h"
#include "desktop/TessilWebLabel.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/StdCtrls.h"

namespace {

TLabel* AddLabel(TComponent* owner, TWinControl* parent, Integer left, Integer top,
                 const AnsiString& caption) {
  auto* label = new TLabel(owner);
  label->SetParent(parent);
  label->SetLeft(left);
  label->SetTop(top);
  label->SetCaption(caption);
  label->SetTransparent(true);
  return label;
}

}  // namespace

TAbout* About = nullptr;
TForm1* Form1 = nullptr;

TAbout::TAbout(TComponent* owner) : TForm(owner) {
  SetCaption("About");
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetClientWidth(297);
  SetClientHeight(213);

  Panel1 = new TPanel(this);
  Panel1->SetParent(this);
  Panel1->SetBounds(8, 8, 281, 161);
  Panel1->SetBevelOuter(bvRaised);
  Panel1->SetColor(0x00FFFFFF);

  ProgramIcon = new TImage(this);
  ProgramIcon->SetParent(Panel1);
  ProgramIcon->SetBounds(8, 8, 120, 120);
  ProgramIcon->SetStretch(true);
  TBitmap picture;
  MakeProgramPicture(&picture, 120);
  ProgramIcon->GetPicture()->Assign(&picture);

  ProductName = AddLabel(this, Panel1, 140, 16, "Larkspool");
  ProductName->GetFont()->SetSize(14);
  ProductName->GetFont()->SetStyle(TFontStyles{fsBold});
  Version = AddLabel(this, Panel1, 140, 48, kProgramVersion);
  Notice = AddLabel(this, Panel1, 140, 72, "A podcast client and\nRSS 2.0 reader.");
  WebLabel = new TTessilWebLabel(this);
  WebLabel->SetParent(Panel1);
  WebLabel->SetBounds(8, 136, 265, 16);
  WebLabel->GetFont()->SetColor(0x000000);
  WebLabel->SetCaption(kProductAddress);

  OKButton = new TButton(this);
  OKButton->SetParent(this);
  OKButton->SetBounds(111, 177, 75, 25);
  OKButton->SetCaption("OK");
  OKButton->SetDefault(true);
  OKButton->SetModalResult(mrOk);
}

TForm1::TForm1(TComponent* owner) : TForm(owner) {
  SetCaption("Form1");
  SetFormStyle(fsStayOnTop);
  SetClientWidth(310);
  SetClientHeight(247);
}
