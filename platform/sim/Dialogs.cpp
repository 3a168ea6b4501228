#include "platform/sim/Dialogs.h"

#include <cstdio>
#include <deque>
#include <mutex>
#include <optional>

#include "platform/rtl/CodePage.h"
#include "platform/rtl/NoDestructor.h"

namespace sim {
namespace {

struct QueuedAnswer {
  AnsiString Match;
  int32_t Result;
  std::optional<AnsiString> Value;
  DialogAction Action;  // set: the dialog goes on screen and this acts on it
};

struct Responder {
  std::mutex Lock;
  std::deque<QueuedAnswer> Answers;
  std::vector<DialogRecord> Log;
  // Actions of dialogs answered "on screen" that are not shown yet, latest last
  // (a dialog opened from another's action is shown before the outer one returns).
  std::vector<DialogAction> Pending;
  bool Echo = true;
};

// Lives for the whole process: dialogs may still be shown while it shuts down.
Responder& TheResponder() {
  static NoDestructor<Responder> responder;
  return *responder;
}

bool Fits(const QueuedAnswer& answer, const AnsiString& caption, const AnsiString& text) {
  return answer.Match.empty() || answer.Match == caption ||
         text.find(answer.Match) != AnsiString::npos;
}

const char* KindName(DialogKind kind) {
  switch (kind) {
    case DialogKind::MessageBox: return "message box";
    case DialogKind::ShowMessage: return "message";
    case DialogKind::InputQuery: return "input query";
    case DialogKind::OpenFile: return "open dialog";
    case DialogKind::SaveFile: return "save dialog";
    case DialogKind::Color: return "colour dialog";
    case DialogKind::Font: return "font dialog";
    case DialogKind::PrinterSetup: return "printer set-up";
  }
  return "dialog";
}

int32_t Answer(DialogKind kind, const AnsiString& caption, const AnsiString& text,
               uint32_t flags, int32_t defaultResult, AnsiString* value) {
  Responder& r = TheResponder();
  std::lock_guard<std::mutex> lock(r.Lock);
  DialogRecord record{kind, caption, text, flags, defaultResult, value ? *value : AnsiString()};
  for (auto it = r.Answers.begin(); it != r.Answers.end(); ++it) {
    if (!Fits(*it, caption, text)) continue;
    record.Result = it->Action ? kDialogOnScreen : it->Result;
    if (it->Action) r.Pending.push_back(std::move(it->Action));
    if (value && it->Value) record.Value = *it->Value;
    r.Answers.erase(it);
    break;
  }
  if (value) *value = record.Value;
  if (r.Echo) {
    std::fprintf(stderr, "[%s] %s: %s -> %d\n", KindName(kind), AnsiToUtf8(caption).c_str(),
                 AnsiToUtf8(text).c_str(), record.Result);
  }
  r.Log.push_back(std::move(record));
  return r.Log.back().Result;
}

void Shown(DialogKind /*kind*/, HWND dialog) {
  DialogAction action;
  {
    Responder& r = TheResponder();
    std::lock_guard<std::mutex> lock(r.Lock);
    if (r.Pending.empty()) return;
    action = std::move(r.Pending.back());
    r.Pending.pop_back();
  }
  action(dialog);
}

void Record(const AnsiString& file, int32_t context);

}  // namespace

void InstallDialogResponder() {
  SetDialogResponder(&Answer);
  SetDialogShownHook(&Shown);
  SetHelpRecorder(&Record);
}

void QueueDialogAction(const AnsiString& match, DialogAction action) {
  InstallDialogResponder();
  Responder& r = TheResponder();
  std::lock_guard<std::mutex> lock(r.Lock);
  r.Answers.push_back({match, kDialogOnScreen, std::nullopt, std::move(action)});
}

void QueueDialogAnswer(const AnsiString& match, int32_t result) {
  InstallDialogResponder();
  Responder& r = TheResponder();
  std::lock_guard<std::mutex> lock(r.Lock);
  r.Answers.push_back({match, result, std::nullopt, nullptr});
}

void QueueDialogAnswer(const AnsiString& match, int32_t result, const AnsiString& value) {
  InstallDialogResponder();
  Responder& r = TheResponder();
  std::lock_guard<std::mutex> lock(r.Lock);
  r.Answers.push_back({match, result, value, nullptr});
}

int QueuedDialogAnswers() {
  Responder& r = TheResponder();
  std::lock_guard<std::mutex> lock(r.Lock);
  return static_cast<int>(r.Answers.size());
}

std::vector<DialogRecord> DialogLog() {
  Responder& r = TheResponder();
  std::lock_guard<std::mutex> lock(r.Lock);
  return r.Log;
}

void ClearDialogs() {
  InstallDialogResponder();
  Responder& r = TheResponder();
  std::lock_guard<std::mutex> lock(r.Lock);
  r.Answers.clear();
  r.Log.clear();
  r.Pending.clear();
}

void SetDialogEcho(bool on) {
  InstallDialogResponder();
  Responder& r = TheResponder();
  std::lock_guard<std::mutex> lock(r.Lock);
  r.Echo = on;
}

namespace {

struct HelpState {
  std::mutex Lock;
  std::vector<HelpRecord> Log;
};

HelpState& TheHelp() {
  static NoDestructor<HelpState> state;
  return *state;
}

void Record(const AnsiString& file, int32_t context) {
  HelpState& h = TheHelp();
  std::lock_guard<std::mutex> lock(h.Lock);
  h.Log.push_back({file, context});
}

}  // namespace

std::vector<HelpRecord> HelpLog() {
  HelpState& h = TheHelp();
  std::lock_guard<std::mutex> lock(h.Lock);
  return h.Log;
}

void ClearHelpLog() {
  HelpState& h = TheHelp();
  std::lock_guard<std::mutex> lock(h.Lock);
  h.Log.clear();
}

}  // namespace sim
