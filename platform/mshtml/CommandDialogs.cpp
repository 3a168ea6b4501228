// The dialog hook and the command knobs the simulated world sets.
#include "platform/mshtml/CommandDialogs.h"

#include <deque>
#include <map>
#include <mutex>
#include <optional>

#include "platform/mshtml/CommandSimHooks.h"
#include "platform/mshtml/CommandsInternal.h"
#include "platform/rtl/CodePage.h"
#include "platform/vcl/Dialogs.h"

namespace {

struct QueuedAnswer {
  DWORD Command;
  mshtml::DialogAnswer Answer;
};

struct Hooks {
  std::mutex Mutex;
  std::deque<QueuedAnswer> Answers;
  std::vector<mshtml::DialogRequest> Requests;
  std::map<DWORD, HRESULT> Failures;
  std::map<DWORD, DWORD> Flags;
  std::vector<sim::HtmlExecRecord> Execs;
};

Hooks& TheHooks() {
  static Hooks hooks;
  return hooks;
}

}  // namespace

namespace mshtml {

namespace {

// The find, hyperlink and picture dialogs: a form of ours with the one text they ask
// for. An empty text counts as cancelled (there is nothing to find, link or show).
DialogAnswer AskWithForm(const DialogRequest& request) {
  const char* caption = nullptr;
  const char* prompt = nullptr;
  switch (request.Command) {
    case IDM_FIND: caption = "Find"; prompt = "Find what:"; break;
    case IDM_HYPERLINK: caption = "Hyperlink"; prompt = "URL:"; break;
    case IDM_IMAGE: caption = "Picture"; prompt = "Picture source:"; break;
    default: return {};
  }
  AnsiString value = WideToAnsi(request.Text);
  if (!InputQuery(caption, prompt, value) || value.empty()) return {};
  return {true, AnsiToWide(value)};
}

}  // namespace

DialogAnswer AskDialog(const DialogRequest& request) {
  {
    Hooks& h = TheHooks();
    std::lock_guard<std::mutex> lock(h.Mutex);
    h.Requests.push_back(request);
    for (auto it = h.Answers.begin(); it != h.Answers.end(); ++it)
      if (it->Command == 0 || it->Command == request.Command) {
        DialogAnswer answer = it->Answer;
        h.Answers.erase(it);
        return answer;
      }
  }
  return AskWithForm(request);
}

void RecordSilentRequest(const DialogRequest& request) {
  Hooks& h = TheHooks();
  std::lock_guard<std::mutex> lock(h.Mutex);
  h.Requests.push_back(request);
}

std::optional<HRESULT> ForcedFailure(DWORD id) {
  Hooks& h = TheHooks();
  std::lock_guard<std::mutex> lock(h.Mutex);
  auto it = h.Failures.find(id);
  if (it == h.Failures.end()) return std::nullopt;
  return it->second;
}

std::optional<DWORD> ForcedFlags(DWORD id) {
  Hooks& h = TheHooks();
  std::lock_guard<std::mutex> lock(h.Mutex);
  auto it = h.Flags.find(id);
  if (it == h.Flags.end()) return std::nullopt;
  return it->second;
}

void RecordExec(bool componentGroup, DWORD id, const WideString& name, DWORD option, const VARIANT* in,
                HRESULT result) {
  sim::HtmlExecRecord record;
  record.ComponentGroup = componentGroup;
  record.Id = id;
  record.Name = name;
  record.Option = option;
  if (in) record.In = OleVariant(*in);
  record.Result = result;
  Hooks& h = TheHooks();
  std::lock_guard<std::mutex> lock(h.Mutex);
  // A long session must not grow without end: the latest commands are kept.
  if (h.Execs.size() >= 10000) h.Execs.erase(h.Execs.begin(), h.Execs.begin() + 5000);
  h.Execs.push_back(std::move(record));
}

}  // namespace mshtml

namespace sim {

void QueueHtmlDialogAnswer(DWORD command, bool ok, const WideString& value) {
  Hooks& h = TheHooks();
  std::lock_guard<std::mutex> lock(h.Mutex);
  h.Answers.push_back({command, {ok, value}});
}

int QueuedHtmlDialogAnswers() {
  Hooks& h = TheHooks();
  std::lock_guard<std::mutex> lock(h.Mutex);
  return static_cast<int>(h.Answers.size());
}

std::vector<mshtml::DialogRequest> HtmlDialogLog() {
  Hooks& h = TheHooks();
  std::lock_guard<std::mutex> lock(h.Mutex);
  return h.Requests;
}

void ClearHtmlDialogs() {
  Hooks& h = TheHooks();
  std::lock_guard<std::mutex> lock(h.Mutex);
  h.Answers.clear();
  h.Requests.clear();
}

void FailHtmlCommand(DWORD id, HRESULT result) {
  Hooks& h = TheHooks();
  std::lock_guard<std::mutex> lock(h.Mutex);
  h.Failures[id] = result;
}

void ForceHtmlCommandFlags(DWORD id, DWORD flags) {
  Hooks& h = TheHooks();
  std::lock_guard<std::mutex> lock(h.Mutex);
  h.Flags[id] = flags;
}

std::vector<HtmlExecRecord> HtmlExecLog() {
  Hooks& h = TheHooks();
  std::lock_guard<std::mutex> lock(h.Mutex);
  return h.Execs;
}

void ResetHtmlCommands() {
  Hooks& h = TheHooks();
  std::lock_guard<std::mutex> lock(h.Mutex);
  h.Answers.clear();
  h.Requests.clear();
  h.Failures.clear();
  h.Flags.clear();
  h.Execs.clear();
}

}  // namespace sim
