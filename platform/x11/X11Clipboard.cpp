#include "platform/x11/X11Clipboard.h"

#include <poll.h>

#include <chrono>

#include "platform/rtl/CodePage.h"

namespace larkx11 {

namespace {

// The most text taken from another client in one transfer; larger offers (which X
// sends piecewise) are not taken.
constexpr long kMaxClipboardBytes = 16L << 20;
// How long another client has to answer before the clipboard reads as empty.
constexpr int kAnswerTimeoutMs = 2000;

std::string Latin1ToUtf8(const std::string& latin1) {
  std::string out;
  for (unsigned char c : latin1) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back(static_cast<char>(0xc0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
    }
  }
  return out;
}

}  // namespace

X11Clipboard::X11Clipboard(Display* dpy, Window root) : dpy_(dpy) {
  XSetWindowAttributes attrs{};
  attrs.event_mask = PropertyChangeMask;
  window_ = XCreateWindow(dpy_, root, -10, -10, 1, 1, 0, 0, InputOnly, CopyFromParent,
                          CWEventMask, &attrs);
  clipboard_ = XInternAtom(dpy_, "CLIPBOARD", False);
  utf8String_ = XInternAtom(dpy_, "UTF8_STRING", False);
  targets_ = XInternAtom(dpy_, "TARGETS", False);
  property_ = XInternAtom(dpy_, "LARK_CLIPBOARD", False);
  incr_ = XInternAtom(dpy_, "INCR", False);
  larkwin::SetClipboardBridge(this);
}

X11Clipboard::~X11Clipboard() {
  larkwin::SetClipboardBridge(nullptr);
  XDestroyWindow(dpy_, window_);
}

void X11Clipboard::TextPut(const std::string& text) {
  text_ = text;
  XSetSelectionOwner(dpy_, clipboard_, window_, CurrentTime);
  owned_ = XGetSelectionOwner(dpy_, clipboard_) == window_;
  XFlush(dpy_);
}

bool X11Clipboard::TextFromOutside(std::string* text) {
  const Window owner = XGetSelectionOwner(dpy_, clipboard_);
  if (owner == None || owner == window_) return false;
  std::string bytes;
  if (Fetch(utf8String_, &bytes)) {
    *text = Utf8ToAnsi(bytes);
    return true;
  }
  if (Fetch(XA_STRING, &bytes)) {
    *text = Utf8ToAnsi(Latin1ToUtf8(bytes));
    return true;
  }
  return false;
}

// Asks the owner for the selection as target and waits, a bounded time, for its
// answer; other events stay queued for the backend.
bool X11Clipboard::Fetch(Atom target, std::string* bytes) {
  XDeleteProperty(dpy_, window_, property_);
  XConvertSelection(dpy_, clipboard_, target, property_, window_, CurrentTime);
  XFlush(dpy_);
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnswerTimeoutMs);
  XEvent event;
  for (;;) {
    if (XCheckTypedWindowEvent(dpy_, window_, SelectionNotify, &event)) break;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) return false;
    pollfd pfd{ConnectionNumber(dpy_), POLLIN, 0};
    if (poll(&pfd, 1, static_cast<int>(left)) > 0) {
      if (pfd.revents & (POLLERR | POLLHUP)) return false;
      XEventsQueued(dpy_, QueuedAfterReading);
    }
  }
  if (event.xselection.property == None) return false;
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const bool ok = XGetWindowProperty(dpy_, window_, property_, 0, kMaxClipboardBytes / 4, True,
                                     AnyPropertyType, &type, &format, &count, &after,
                                     &data) == Success &&
                  type != incr_ && format == 8 && after == 0;
  if (ok) bytes->assign(reinterpret_cast<const char*>(data), count);
  if (data != nullptr) XFree(data);
  return ok;
}

bool X11Clipboard::Handle(const XEvent& event) {
  if (event.xany.window != window_) return false;
  if (event.type == SelectionClear) {
    owned_ = false;
  } else if (event.type == SelectionRequest) {
    Answer(event.xselectionrequest);
  }
  return true;
}

void X11Clipboard::Answer(const XSelectionRequestEvent& request) {
  XSelectionEvent reply{};
  reply.type = SelectionNotify;
  reply.requestor = request.requestor;
  reply.selection = request.selection;
  reply.target = request.target;
  reply.time = request.time;
  // Old clients name no property: the target's name is the property then.
  const Atom property = request.property == None ? request.target : request.property;
  reply.property = None;
  if (owned_ && request.selection == clipboard_) {
    if (request.target == targets_) {
      const Atom offered[] = {targets_, utf8String_, XA_STRING};
      XChangeProperty(dpy_, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(offered), 3);
      reply.property = property;
    } else if (request.target == utf8String_ || request.target == XA_STRING) {
      std::string bytes = AnsiToUtf8(text_);
      if (request.target == XA_STRING) {
        // Latin-1: what Windows-1252 and Latin-1 share, '?' for the rest.
        bytes.clear();
        for (char16_t c : AnsiToWide(text_)) bytes.push_back(c < 0x100 ? static_cast<char>(c) : '?');
      }
      XChangeProperty(dpy_, request.requestor, property, request.target, 8, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(bytes.data()),
                      static_cast<int>(bytes.size()));
      reply.property = property;
    }
  }
  XSendEvent(dpy_, request.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
  XFlush(dpy_);
}

}  // namespace larkx11
