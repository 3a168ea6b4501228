// The About box (the program's picture, its name and version, the maker's notice and
// the product's web address) and the empty stay-on-top form made at start and never
// shown.
#pragma once

#include "platform/vcl/Forms.h"

class TPanel;
class TImage;
class TLabel;
class TButton;
class TTessilWebLabel;

inline constexpr char kProgramVersion[] = "v0.02 beta";
inline constexpr char kProductAddress[] = "larkspool.example.org";

class TAbout : public TForm {
 public:
  LARK_CLASS_NAME(TAbout)
  explicit TAbout(TComponent* owner);

  TPanel* Panel1 = nullptr;
  TImage* ProgramIcon = nullptr;
  TLabel* ProductName = nullptr;
  TLabel* Version = nullptr;
  TLabel* Notice = nullptr;
  TTessilWebLabel* WebLabel = nullptr;
  TButton* OKButton = nullptr;
};

// The About box the program made at start (null until then: the window makes one
// for the occasion).
extern TAbout* About;

class TForm1 : public TForm {
 public:
  LARK_CLASS_NAME(TForm1)
  explicit TForm1(TComponent* owner);
};

extern TForm1* Form1;
