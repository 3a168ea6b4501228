// The clock, loop and dialog hooks with their real defaults.
#include "platform/win/SimHooks.h"

#include <atomic>
#include <chrono>
#include <cstdio>

#include "platform/rtl/CodePage.h"
#include "platform/win/Display.h"
#include "platform/win/MessageQueue.h"

namespace sim {

namespace {

constinit std::atomic<VirtualNow> gVirtualNow{nullptr};
// Real time is the monotonic clock (time since boot, like the platform's tick count)
// plus this offset, which keeps time going on from where a virtual clock stood.
constinit std::atomic<int64_t> gRealOffset{0};

constinit std::atomic<DialogResponder> gResponder{nullptr};
constinit std::atomic<HelpRecorder> gHelpRecorder{nullptr};
constinit std::atomic<DialogShownHook> gShownHook{nullptr};

int64_t SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
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

}  // namespace

uint64_t NowMs() {
  if (const VirtualNow now = gVirtualNow.load(std::memory_order_acquire)) return now();
  return static_cast<uint64_t>(SteadyMs() + gRealOffset.load());
}

bool IsVirtualClock() { return gVirtualNow.load(std::memory_order_acquire) != nullptr; }

void InstallVirtualClock(VirtualNow now) { gVirtualNow.store(now, std::memory_order_release); }

void RemoveVirtualClock(uint64_t continueFromMs) {
  gRealOffset.store(static_cast<int64_t>(continueFromMs) - SteadyMs());
  gVirtualNow.store(nullptr, std::memory_order_release);
}

bool ServeReadyDescriptors() { return larkwin::CurrentQueue()->Poll(0); }

int32_t AnswerDialog(DialogKind kind, const AnsiString& caption, const AnsiString& text,
                     uint32_t flags, int32_t defaultResult, AnsiString* value) {
  if (const DialogResponder responder = gResponder.load(std::memory_order_acquire))
    return responder(kind, caption, text, flags, defaultResult, value);
  if (PersonPresent()) return kDialogOnScreen;
  std::fprintf(stderr, "[%s] %s: %s -> %d\n", KindName(kind), AnsiToUtf8(caption).c_str(),
               AnsiToUtf8(text).c_str(), defaultResult);
  return defaultResult;
}

void DialogShown(DialogKind kind, HWND dialog) {
  if (const DialogShownHook hook = gShownHook.load(std::memory_order_acquire)) hook(kind, dialog);
}

bool PersonPresent() { return &larkwin::Display() != &larkwin::NullBackend(); }

void SetDialogShownHook(DialogShownHook hook) { gShownHook.store(hook, std::memory_order_release); }

void RecordHelp(const AnsiString& file, int32_t context) {
  if (const HelpRecorder recorder = gHelpRecorder.load(std::memory_order_acquire))
    recorder(file, context);
}

void SetDialogResponder(DialogResponder responder) {
  gResponder.store(responder, std::memory_order_release);
}

void SetHelpRecorder(HelpRecorder recorder) { gHelpRecorder.store(recorder, std::memory_order_release); }

}  // namespace sim
