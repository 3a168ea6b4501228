#include "platform/vcl/Dialogs.h"

#include "platform/win/SimHooks.h"
#include "platform/vcl/Application.h"
#include "platform/win/MessageBox.h"

void ShowMessage(const AnsiString& msg) {
  sim::AnswerDialog(sim::DialogKind::ShowMessage, Application->GetTitle(), msg, MB_OK, IDOK);
}

bool InputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value) {
  AnsiString answer = value;
  const Integer result = sim::AnswerDialog(sim::DialogKind::InputQuery, caption, prompt,
                                           MB_OKCANCEL, IDOK, &answer);
  if (result != IDOK) return false;
  value = answer;
  return true;
}
