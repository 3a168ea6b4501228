// The data source manager behind DSM_Entry: application sessions (states 1 to 3),
// the sources it lists and opens (4 to 7), the events an enabled source posts to
// the application's window, and the module registry's table for "TWAIN_32.DLL".
#include <algorithm>
#include <cstring>
#include <deque>
#include <mutex>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"
#include "platform/twain/SimHooks.h"
#include "platform/twain/TwainDialogs.h"
#include "platform/twain/TwainInternal.h"
#include "platform/win/Messages.h"
#include "platform/win/Modules.h"
#include "platform/win/Window.h"

namespace {

using larktwain::PageState;
using larktwain::Source;

enum class Event { Dialog, XferReady, CloseRequest };

struct OpenSource {
  TW_IDENTITY Identity;
  std::shared_ptr<Source> Src;
  int State = 4;
  TW_USERINTERFACE UI;
  std::deque<Event> Events;
  PageState Page;
  bool Replay = false;
  TW_IMAGEINFO ReplayInfo;
};

struct Listed {
  TW_IDENTITY Identity;
  std::shared_ptr<Source> Src;
};

struct Session {
  TW_UINT32 AppId = 0;
  HWND Parent = 0;
  std::vector<Listed> Sources;
  size_t Cursor = 0;
  std::vector<std::unique_ptr<OpenSource>> Open;
};

struct Manager {
  std::recursive_mutex mutex;
  std::vector<std::unique_ptr<Session>> sessions;
  TW_UINT32 nextAppId = 1;
  TW_UINT32 nextSourceId = 1;
  std::vector<std::shared_ptr<Source>> scripted;
  bool sane = true;
  std::vector<sim::TwainCall> calls;
  std::vector<sim::TwainFault> faults;
  int lastState = 1;
  // Source ids stay with their source while it is listed.
  std::vector<std::pair<std::weak_ptr<Source>, TW_UINT32>> ids;
};

Manager& M() {
  static Manager* manager = new Manager;  // lives to the end of the process
  return *manager;
}

UINT EventMessage() {
  static const UINT message = RegisterWindowMessage("LarkspoolTwainSourceEvent");
  return message;
}

TW_UINT32 IdOf(Manager& m, const std::shared_ptr<Source>& src) {
  for (auto& [weak, id] : m.ids)
    if (weak.lock() == src) return id;
  m.ids.emplace_back(src, m.nextSourceId);
  return m.nextSourceId++;
}

Session* FindSession(Manager& m, pTW_IDENTITY origin) {
  if (origin == nullptr) return nullptr;
  for (auto& s : m.sessions)
    if (s->AppId == origin->Id) return s.get();
  return nullptr;
}

OpenSource* FindOpen(Session& s, pTW_IDENTITY dest) {
  if (dest == nullptr) return nullptr;
  for (auto& o : s.Open)
    if (o->Identity.Id == dest->Id) return o.get();
  return nullptr;
}

// A fault due for this call, used up by one.
const sim::TwainFault* DueFault(Manager& m, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_UINT16 cap) {
  for (auto it = m.faults.begin(); it != m.faults.end(); ++it) {
    if (it->DG != dg || it->DAT != dat || it->MSG != msg) continue;
    if (it->Cap != 0 && it->Cap != cap) continue;
    if (it->Skip > 0) {
      --it->Skip;
      continue;
    }
    if (it->Times == 0) continue;
    if (it->Times > 0) --it->Times;
    return &*it;
  }
  return nullptr;
}

bool Post(OpenSource& o, Session& s, Event e) {
  o.Events.push_back(e);
  if (PostMessage(o.UI.hParent, EventMessage(), s.AppId, static_cast<LPARAM>(o.Identity.Id))) return true;
  o.Events.pop_back();
  return false;
}

void ClearPage(OpenSource& o) { o.Page = PageState{}; }

bool EnsurePage(OpenSource& o) {
  if (o.Page.Active) return true;
  TW_IMAGEINFO info;
  if (!o.Src->StartPage(info)) return false;
  o.Page = PageState{};
  o.Page.Info = info;
  o.Page.Active = true;
  o.Page.LengthUnknown = info.ImageLength < 0;
  return true;
}

void PageFinished(OpenSource& o) {
  if (!o.Page.LengthUnknown) return;
  o.Replay = true;
  o.ReplayInfo = o.Page.Info;
}

// --- Calls to the manager itself

TW_UINT16 ManagerCall(Manager& m, std::unique_lock<std::recursive_mutex>& lock, pTW_IDENTITY origin,
                      TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
  if (origin == nullptr) return TWRC_FAILURE;
  Session* s = FindSession(m, origin);
  if (dat == DAT_PARENT) {
    if (msg == MSG_OPENDSM) {
      if (s != nullptr) return TWRC_FAILURE;  // already open for this application
      auto session = std::make_unique<Session>();
      session->AppId = m.nextAppId++;
      session->Parent = data != nullptr ? *static_cast<HWND*>(data) : 0;
      std::vector<std::shared_ptr<Source>> all = m.scripted;
      if (m.sane) {
        lock.unlock();
        std::vector<std::shared_ptr<Source>> devices = larktwain::SaneSources();
        lock.lock();
        all.insert(all.end(), devices.begin(), devices.end());
      }
      for (auto& src : all) {
        Listed l;
        src->Describe(l.Identity);
        l.Identity.Id = IdOf(m, src);
        l.Src = src;
        session->Sources.push_back(l);
      }
      origin->Id = session->AppId;
      m.sessions.push_back(std::move(session));
      m.lastState = 3;
      return TWRC_SUCCESS;
    }
    if (msg == MSG_CLOSEDSM) {
      if (s == nullptr || !s->Open.empty()) return TWRC_FAILURE;
      m.sessions.erase(std::find_if(m.sessions.begin(), m.sessions.end(),
                                    [s](const auto& p) { return p.get() == s; }));
      m.lastState = 2;
      return TWRC_SUCCESS;
    }
    return TWRC_FAILURE;
  }
  if (dat != DAT_IDENTITY || s == nullptr || data == nullptr) return TWRC_FAILURE;
  auto* id = static_cast<pTW_IDENTITY>(data);
  switch (msg) {
    case MSG_GETDEFAULT:
      if (s->Sources.empty()) return TWRC_FAILURE;
      *id = s->Sources.front().Identity;
      return TWRC_SUCCESS;
    case MSG_GETFIRST:
      s->Cursor = 0;
      [[fallthrough]];
    case MSG_GETNEXT:
      if (s->Cursor >= s->Sources.size()) return TWRC_ENDOFLIST;
      *id = s->Sources[s->Cursor++].Identity;
      return TWRC_SUCCESS;
    case MSG_USERSELECT: {
      if (s->Sources.empty()) return TWRC_FAILURE;
      std::vector<std::string> names;
      for (auto& l : s->Sources) names.emplace_back(l.Identity.ProductName, strnlen(l.Identity.ProductName, 34));
      std::string chosen(id->ProductName, strnlen(id->ProductName, 34));
      if (std::find(names.begin(), names.end(), chosen) == names.end()) chosen = names.front();
      const std::vector<Listed> listed = s->Sources;
      lock.unlock();
      const bool ok = larktwain::RunSelectDialog(names, chosen);
      lock.lock();
      if (!ok) return TWRC_CANCEL;
      for (auto& l : listed) {
        if (chosen == l.Identity.ProductName) {
          *id = l.Identity;
          return TWRC_SUCCESS;
        }
      }
      return TWRC_CANCEL;
    }
    case MSG_OPENDS: {
      const Listed* found = nullptr;
      for (auto& l : s->Sources) {
        const bool byId = id->Id != 0 && l.Identity.Id == id->Id;
        const bool byName = id->Id == 0 && id->ProductName[0] != '\0' &&
                            strncmp(l.Identity.ProductName, id->ProductName, 34) == 0;
        if (byId || byName) {
          found = &l;
          break;
        }
      }
      if (found == nullptr && id->Id == 0 && id->ProductName[0] == '\0' && !s->Sources.empty())
        found = &s->Sources.front();  // the default source
      if (found == nullptr) return TWRC_FAILURE;
      for (auto& o : s->Open)
        if (o->Identity.Id == found->Identity.Id) return TWRC_FAILURE;
      if (!found->Src->Open()) return TWRC_FAILURE;
      auto o = std::make_unique<OpenSource>();
      o->Identity = found->Identity;
      o->Src = found->Src;
      *id = o->Identity;
      s->Open.push_back(std::move(o));
      m.lastState = 4;
      return TWRC_SUCCESS;
    }
    case MSG_CLOSEDS: {
      auto it = std::find_if(s->Open.begin(), s->Open.end(), [id](const auto& o) { return o->Identity.Id == id->Id; });
      if (it == s->Open.end() || (*it)->State != 4) return TWRC_FAILURE;
      (*it)->Src->Close();
      s->Open.erase(it);
      m.lastState = 3;
      return TWRC_SUCCESS;
    }
    default: return TWRC_FAILURE;
  }
}

// --- Calls to an open source

TW_UINT16 ProcessEvent(Manager& m, std::unique_lock<std::recursive_mutex>& lock, Session& s, OpenSource& o,
                       TW_EVENT& event) {
  event.TWMessage = MSG_NULL;
  const auto* msg = static_cast<const MSG*>(event.pEvent);
  if (msg == nullptr || msg->message != EventMessage() || msg->wParam != s.AppId ||
      msg->lParam != static_cast<LPARAM>(o.Identity.Id))
    return TWRC_NOTDSEVENT;
  if (o.Events.empty() || o.State != 5) return TWRC_DSEVENT;
  const Event e = o.Events.front();
  o.Events.pop_front();
  bool ready = e == Event::XferReady;
  if (e == Event::CloseRequest) {
    event.TWMessage = MSG_CLOSEDSREQ;
    return TWRC_DSEVENT;
  }
  OpenSource* src = &o;
  if (e == Event::Dialog) {
    std::shared_ptr<Source> keep = o.Src;
    TW_IDENTITY ident = o.Identity;
    lock.unlock();
    const bool scan = larktwain::RunSourceDialog(*keep, std::string(ident.ProductName, strnlen(ident.ProductName, 34)));
    lock.lock();
    // The application may have closed the source meanwhile.
    src = FindOpen(s, &ident);
    if (src == nullptr || src->State != 5) return TWRC_DSEVENT;
    if (!scan) {
      event.TWMessage = MSG_CLOSEDSREQ;
      return TWRC_DSEVENT;
    }
    ready = keep->Ready();
    // Nothing to scan yet: the dialog stays for another try.
    if (!ready) Post(*src, s, Event::Dialog);
  }
  if (!ready) return TWRC_DSEVENT;
  ClearPage(*src);
  src->Replay = false;
  if (!EnsurePage(*src)) {
    event.TWMessage = MSG_CLOSEDSREQ;
    return TWRC_DSEVENT;
  }
  src->State = 6;
  m.lastState = 6;
  event.TWMessage = MSG_XFERREADY;
  return TWRC_DSEVENT;
}

TW_UINT16 SourceCall(Manager& m, std::unique_lock<std::recursive_mutex>& lock, Session& s, OpenSource& o,
                     TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
  if (data == nullptr) return TWRC_FAILURE;
  Source& src = *o.Src;
  if (dg == DG_CONTROL) {
    switch (dat) {
      case DAT_CAPABILITY: {
        auto& cap = *static_cast<TW_CAPABILITY*>(data);
        if (msg == MSG_GET) return src.GetCapability(cap);
        if (msg == MSG_SET) return o.State == 4 ? src.SetCapability(cap) : TWRC_FAILURE;
        return TWRC_FAILURE;
      }
      case DAT_USERINTERFACE: {
        auto& ui = *static_cast<TW_USERINTERFACE*>(data);
        if (msg == MSG_ENABLEDS) {
          if (o.State != 4) return TWRC_FAILURE;
          o.UI = ui;
          o.State = 5;
          bool posted;
          if (ui.ShowUI != 0) {
            posted = Post(o, s, Event::Dialog);
          } else {
            posted = Post(o, s, src.Ready() ? Event::XferReady : Event::CloseRequest);
          }
          if (!posted) {
            o.State = 4;
            return TWRC_FAILURE;
          }
          m.lastState = 5;
          return TWRC_SUCCESS;
        }
        if (msg == MSG_DISABLEDS) {
          if (o.State != 5) return TWRC_FAILURE;
          o.State = 4;
          o.Events.clear();
          if (o.Page.Active) src.EndPage();
          src.CancelPages();
          ClearPage(o);
          m.lastState = 4;
          return TWRC_SUCCESS;
        }
        return TWRC_FAILURE;
      }
      case DAT_EVENT:
        if (msg != MSG_PROCESSEVENT || o.State < 5) return TWRC_NOTDSEVENT;
        return ProcessEvent(m, lock, s, o, *static_cast<TW_EVENT*>(data));
      case DAT_PENDINGXFERS: {
        auto& pending = *static_cast<TW_PENDINGXFERS*>(data);
        if (o.State != 6 && o.State != 7) return TWRC_FAILURE;
        if (msg == MSG_ENDXFER) {
          if (o.Page.Active) {
            if (o.Page.Done) PageFinished(o);
            src.EndPage();
          }
          ClearPage(o);
          pending.Count = src.PagesLeft();
        } else if (msg == MSG_RESET) {
          if (o.Page.Active) src.EndPage();
          ClearPage(o);
          src.CancelPages();
          pending.Count = 0;
        } else {
          return TWRC_FAILURE;
        }
        o.State = pending.Count != 0 ? 6 : 5;
        m.lastState = o.State;
        // The source's window stays open after its pages in a modeless session.
        if (o.State == 5 && o.UI.ShowUI != 0 && o.UI.ModalUI == 0) Post(o, s, Event::Dialog);
        return TWRC_SUCCESS;
      }
      case DAT_SETUPMEMXFER:
        if (msg != MSG_GET || o.State < 4) return TWRC_FAILURE;
        return src.SetupMemXfer(*static_cast<TW_SETUPMEMXFER*>(data));
      default: return TWRC_FAILURE;
    }
  }
  if (dg != DG_IMAGE) return TWRC_FAILURE;
  switch (dat) {
    case DAT_IMAGEINFO: {
      if (msg != MSG_GET || o.State < 5) return TWRC_FAILURE;
      auto& info = *static_cast<TW_IMAGEINFO*>(data);
      if (o.Replay) {
        info = o.ReplayInfo;
        o.Replay = false;
        return TWRC_SUCCESS;
      }
      if (o.State < 6 || !EnsurePage(o)) return TWRC_FAILURE;
      info = o.Page.Info;
      if (o.Page.LengthUnknown && !o.Page.Done) info.ImageLength = -1;
      return TWRC_SUCCESS;
    }
    case DAT_IMAGELAYOUT: {
      auto& layout = *static_cast<TW_IMAGELAYOUT*>(data);
      if (msg == MSG_GET) return src.GetLayout(layout);
      if (msg == MSG_SET) return o.State == 4 ? src.SetLayout(layout) : TWRC_FAILURE;
      return TWRC_FAILURE;
    }
    case DAT_IMAGEMEMXFER:
    case DAT_IMAGENATIVEXFER: {
      if (msg != MSG_GET || (o.State != 6 && o.State != 7)) return TWRC_FAILURE;
      o.Replay = false;
      if (!EnsurePage(o) || o.Page.Done) return TWRC_FAILURE;
      o.State = 7;
      m.lastState = 7;
      const TW_UINT16 rc = dat == DAT_IMAGEMEMXFER
                               ? src.MemXfer(o.Page, *static_cast<TW_IMAGEMEMXFER*>(data))
                               : src.NativeXfer(o.Page, static_cast<TW_HANDLE*>(data));
      if (rc == TWRC_XFERDONE) o.Page.Done = true;
      return rc;
    }
    default: return TWRC_FAILURE;
  }
}

TW_UINT16 Entry(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                TW_MEMREF data, sim::TwainCall& call) {
  Manager& m = M();
  std::unique_lock<std::recursive_mutex> lock(m.mutex);
  if (dat == DAT_CAPABILITY && data != nullptr) {
    const auto& cap = *static_cast<const TW_CAPABILITY*>(data);
    call.Cap = cap.Cap;
    if (msg == MSG_SET) {
      call.ConType = cap.ConType;
      TW_UINT16 itemType = 0;
      larktwain::DecodeContainer(cap.ConType, cap.hContainer, &itemType, &call.Value);
    }
  }
  if (const sim::TwainFault* fault = DueFault(m, dg, dat, msg, call.Cap)) {
    if (fault->Throw) throw Exception("The data source raised an exception");
    return fault->Code;
  }
  if (dest == nullptr) return ManagerCall(m, lock, origin, dat, msg, data);
  Session* s = FindSession(m, origin);
  if (s == nullptr) return TWRC_FAILURE;
  OpenSource* o = FindOpen(*s, dest);
  if (o == nullptr) return TWRC_FAILURE;
  return SourceCall(m, lock, *s, *o, dg, dat, msg, data);
}

}  // namespace

TW_UINT16 DSM_Entry(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                    TW_MEMREF data) {
  sim::TwainCall call;
  call.DG = DG;
  call.DAT = DAT;
  call.MSG = MSG;
  call.ToSource = dest != nullptr;
  struct Log {
    sim::TwainCall& call;
    ~Log() {
      Manager& m = M();
      std::lock_guard<std::recursive_mutex> lock(m.mutex);
      // Process-event calls come with every message of the loop; only those that
      // belonged to the source are kept.
      if (call.DAT == DAT_EVENT && call.Code != TWRC_DSEVENT) return;
      if (m.calls.size() < 100000) m.calls.push_back(call);
    }
  } log{call};
  call.Code = TWRC_FAILURE;
  call.Code = Entry(origin, dest, DG, DAT, MSG, data, call);
  return call.Code;
}

UINT GetWindowsDirectoryA(char* buffer, UINT size) {
  AnsiString folder = ProgramFolder();
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  folder += "/windows";
  const UINT length = static_cast<UINT>(folder.size());
  if (buffer == nullptr || size <= length) return length + 1;
  std::memcpy(buffer, folder.c_str(), folder.size() + 1);
  return length;
}

namespace {

const bool gRegistered = [] {
  RegisterModuleExports(kTwainManagerFile, {{"DSM_Entry", reinterpret_cast<FARPROC>(&DSM_Entry)}});
  return true;
}();

}  // namespace

extern "C" const int lark_twain_exports = gRegistered ? 1 : 0;

namespace larktwain {

std::vector<std::shared_ptr<Source>> CurrentSources() {
  Manager& m = M();
  std::lock_guard<std::recursive_mutex> lock(m.mutex);
  return m.scripted;
}

bool SaneWanted() {
  Manager& m = M();
  std::lock_guard<std::recursive_mutex> lock(m.mutex);
  return m.sane;
}

}  // namespace larktwain

namespace sim {

void SetTwainSources(std::vector<std::shared_ptr<larktwain::Source>> sources) {
  Manager& m = M();
  std::lock_guard<std::recursive_mutex> lock(m.mutex);
  m.scripted = std::move(sources);
}

void UseSaneSources(bool on) {
  Manager& m = M();
  std::lock_guard<std::recursive_mutex> lock(m.mutex);
  m.sane = on;
}

std::vector<TwainCall> TwainCalls() {
  Manager& m = M();
  std::lock_guard<std::recursive_mutex> lock(m.mutex);
  return m.calls;
}

void ClearTwainCalls() {
  Manager& m = M();
  std::lock_guard<std::recursive_mutex> lock(m.mutex);
  m.calls.clear();
}

int TwainState() {
  Manager& m = M();
  std::lock_guard<std::recursive_mutex> lock(m.mutex);
  return m.sessions.empty() ? 2 : m.lastState;
}

bool RequestTwainClose(const std::string& productName) {
  Manager& m = M();
  std::lock_guard<std::recursive_mutex> lock(m.mutex);
  for (auto& s : m.sessions)
    for (auto& o : s->Open)
      if (o->State >= 5 && productName == o->Identity.ProductName) return Post(*o, *s, Event::CloseRequest);
  return false;
}

void AddTwainFault(const TwainFault& fault) {
  Manager& m = M();
  std::lock_guard<std::recursive_mutex> lock(m.mutex);
  m.faults.push_back(fault);
}

void ClearTwainFaults() {
  Manager& m = M();
  std::lock_guard<std::recursive_mutex> lock(m.mutex);
  m.faults.clear();
}

int PendingTwainFaults() {
  Manager& m = M();
  std::lock_guard<std::recursive_mutex> lock(m.mutex);
  int n = 0;
  for (auto& f : m.faults)
    if (f.Times > 0) ++n;
  return n;
}

void ResetTwain() {
  Manager& m = M();
  std::lock_guard<std::recursive_mutex> lock(m.mutex);
  m.scripted.clear();
  m.sane = false;
  m.calls.clear();
  m.faults.clear();
  m.sessions.clear();
  m.lastState = 1;
}

}  // namespace sim
