// The editing component as a host sees it: creation by class id, in-place activation,
// properties by DISPID, load jobs that finish on a later pass of the loop with their
// events in order, design mode switches, the settings and document streams, change
// logs, and the test knobs (held and delayed loads, failing reads and commands,
// recorded commands).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "EditorTestHost.h"
#include "platform/ole/Stream.h"
#include "platform/win/Input.h"
#include "platform/sim/Mshtml.h"

using namespace edittest;
using mshtmltest::U;
using mshtmltest::W;

namespace {

constexpr DISPID kLoadEvents[] = {DISPID_EV_ONREADYSTATECHANGE, DISPID_EV_DOCUMENTCOMPLETE, DISPID_EV_DISPLAYCHANGED};

std::vector<DISPID> LoadEvents(int times) {
  std::vector<DISPID> ids;
  for (int i = 0; i < times; ++i) ids.insert(ids.end(), std::begin(kLoadEvents), std::end(kLoadEvents));
  return ids;
}

std::filesystem::path TempDir() {
  auto dir = std::filesystem::path(LARK_TEST_BINARY_DIR) / "mshtml-editor";
  std::filesystem::create_directories(dir);
  return dir;
}

class ChangeCounter final : public ComObject<IHTMLChangeSink> {
 public:
  int Count = 0;
  HRESULT Notify() override {
    ++Count;
    return S_OK;
  }
};

}  // namespace

TEST(MshtmlEditor, CreatedByClassIdAndLoadsItsFirstDocumentAfterActivation) {
  Host host;
  ASSERT_TRUE(host.Object);
  // The interfaces the control site takes.
  EXPECT_TRUE(host.Edit);
  EXPECT_TRUE(host.Dispatch);
  EXPECT_TRUE(host.Object.As<IOleControl>());
  EXPECT_TRUE(host.Object.As<IPersistStreamInit>());
  EXPECT_TRUE(host.Object.As<IOleCommandTarget>());
  EXPECT_TRUE(host.Object.As<IOleInPlaceObject>());
  EXPECT_TRUE(IsSameObject(host.Edit.Get(), host.Object.Get()));
  DWORD misc = 0;
  EXPECT_EQ(host.Object->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
  EXPECT_EQ(misc & (OLEMISC_INVISIBLEATRUNTIME | OLEMISC_NOUIACTIVATE | OLEMISC_ACTSLIKELABEL), 0u);
  // No document yet: busy, no DOM, no events.
  EXPECT_TRUE(host.Busy());
  ComPtr<IDispatch> dom;
  EXPECT_EQ(host.Edit->get_DOM(dom.ReleaseAndGetAddressOf()), E_UNEXPECTED);
  larktest::PumpUntilIdle();
  EXPECT_TRUE(host.Busy());
  EXPECT_TRUE(host.Sink->Log.empty());

  // What the sink sees at DocumentComplete: busy already false, the DOM readable.
  bool busyAtComplete = true;
  std::string bodyAtComplete;
  host.Sink->Handlers[DISPID_EV_DOCUMENTCOMPLETE] = [&](EventObject*) {
    busyAtComplete = host.Busy();
    ComPtr<IDispatch> d;
    if (SUCCEEDED(host.Edit->get_DOM(d.ReleaseAndGetAddressOf())))
      bodyAtComplete = U(d.As<IHTMLDocument2>()->GetDocument()->GetBody()->GetInnerHTML());
  };
  ASSERT_EQ(host.Object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, host.Site.Get(), 0, host.Frame, &host.Place), S_OK);
  EXPECT_EQ(host.Site->Calls, (std::vector<std::string>{"CanInPlaceActivate", "OnInPlaceActivate", "ShowObject"}));
  // The window is the frame's child, and the load has not finished inside DoVerb.
  HWND window = 0;
  ASSERT_EQ(host.Object.As<IOleInPlaceObject>()->GetWindow(&window), S_OK);
  EXPECT_EQ(GetParent(window), host.Frame);
  EXPECT_TRUE(host.Busy());
  EXPECT_TRUE(host.Sink->Log.empty());
  ASSERT_TRUE(host.WaitLoaded());
  EXPECT_EQ(host.Sink->Ids(), LoadEvents(1));
  EXPECT_FALSE(busyAtComplete);
  EXPECT_EQ(bodyAtComplete, "<P>&nbsp;</P>");
  EXPECT_EQ(U(host.Sink->Dom->GetReadyState()), "complete");
  EXPECT_EQ(host.Doc()->GetDesignMode(), u"On");
  // The document's window lies inside the component's.
  EXPECT_EQ(GetParent(host.DocWindow()), window);
  // Resizing moves the component's window and relays the document out.
  RECT bigger{0, 0, 320, 240};
  EXPECT_EQ(host.Object.As<IOleInPlaceObject>()->SetObjectRects(&bigger, &bigger), S_OK);
  RECT client{};
  GetClientRect(host.DocWindow(), &client);
  EXPECT_EQ(client.bottom, 240);
  EXPECT_EQ(host.TheLayout()->GetViewportHeight(), 240);
  // UI activation gives the document the focus; deactivation takes the windows away
  // and tells the site in order; the document stays.
  host.Site->Calls.clear();
  ASSERT_EQ(host.Object->DoVerb(OLEIVERB_UIACTIVATE, nullptr, host.Site.Get(), 0, host.Frame, &host.Place), S_OK);
  EXPECT_EQ(host.Site->Calls, (std::vector<std::string>{"OnUIActivate"}));
  EXPECT_EQ(GetFocus(), host.DocWindow());
  const HWND doc = host.DocWindow();
  ASSERT_EQ(host.Object.As<IOleInPlaceObject>()->InPlaceDeactivate(), S_OK);
  EXPECT_EQ(host.Site->Calls, (std::vector<std::string>{"OnUIActivate", "OnUIDeactivate", "OnInPlaceDeactivate"}));
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(IsWindow(doc));
  EXPECT_EQ(host.Object.As<IOleInPlaceObject>()->GetWindow(&window), E_FAIL);
  EXPECT_EQ(U(host.Doc()->GetBody()->GetInnerHTML()), "<P>&nbsp;</P>");
  // Activated again, it shows the same document without loading it again.
  host.Sink->Log.clear();
  ASSERT_EQ(host.Object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, host.Site.Get(), 0, host.Frame, &host.Place), S_OK);
  EXPECT_FALSE(host.Busy());
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_TRUE(host.Sink->Log.empty());
  EXPECT_TRUE(IsWindow(host.DocWindow()));
}

TEST(MshtmlEditor, EveryLoadRequestFinishesOnALaterPassWithItsEventsInOrder) {
  const auto dir = TempDir();
  const auto page = dir / "page one.htm";
  {
    std::ofstream out(page, std::ios::binary);
    out << "\xEF\xBB\xBF<html><head><title>From a file</title></head><body><p>caf\xC3\xA9</p></body></html>";
  }
  Host host;
  host.Activate();
  struct Case {
    const char* Name;
    std::function<HRESULT(Host&)> Request;
    std::string Body;   // the body afterwards
    std::string Path;   // property 23 afterwards ("*" leaves it unchecked)
  };
  const std::string pathText = page.string();
  const Case cases[] = {
      {"DocumentHTML", [](Host& h) { return h.Put(DISPID_DHTMLEDIT_DOCUMENTHTML, OleVariant(u"<p>one</p><p>two</p>")); },
       "<P>one</P>\r\n<P>two</P>", ""},
      {"LoadDocument", [&](Host& h) {
         OleVariant path(W(pathText));
         OleVariant prompt = OleVariant::Missing();
         return h.Edit->LoadDocument(&path, &prompt);
       }, "<P>caf\xC3\xA9</P>", pathText},
      {"NewDocument", [](Host& h) { return h.Edit->NewDocument(); }, "<P>&nbsp;</P>", ""},
      {"LoadURL file:", [&](Host& h) {
         return h.Edit->LoadURL(W("file://" + std::string(page.string()).replace(pathText.find(' '), 1, "%20")).c_str());
       }, "<P>caf\xC3\xA9</P>", pathText},
      {"LoadURL about:blank", [](Host& h) { return h.Edit->LoadURL(u"about:blank"); }, "<P>&nbsp;</P>", ""},
      {"BaseURL", [](Host& h) { return h.Put(DISPID_DHTMLEDIT_BASEURL, OleVariant(u"http://example.com/")); },
       "<P>&nbsp;</P>", "*"},
      {"BrowseMode", [](Host& h) { return h.Put(DISPID_DHTMLEDIT_BROWSEMODE, OleVariant(true)); }, "<P>&nbsp;</P>",
       "*"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    host.Sink->Log.clear();
    ASSERT_EQ(c.Request(host), S_OK);
    // Never finished inside the call.
    EXPECT_TRUE(host.Busy());
    EXPECT_TRUE(host.Sink->Log.empty());
    OleVariant v;
    EXPECT_EQ(U(host.Sink->Dom->GetReadyState()), "loading");
    ASSERT_TRUE(host.WaitLoaded());
    EXPECT_EQ(host.Sink->Ids(), LoadEvents(1));
    EXPECT_EQ(host.Body(), c.Body);
    if (std::string(c.Path) != "*") {
      ASSERT_EQ(host.Get(DISPID_DHTMLEDIT_CURRENTDOCUMENTPATH, &v), S_OK);
      EXPECT_EQ(U(v.AsWideString()), c.Path);
    }
    // A fresh load is not modified.
    ASSERT_EQ(host.Get(DISPID_DHTMLEDIT_ISDIRTY, &v), S_OK);
    EXPECT_FALSE(v.AsBool());
  }
  // BrowseMode on: the document is no longer in design mode; the base address stays.
  EXPECT_EQ(host.Doc()->GetDesignMode(), u"Off");
  OleVariant v;
  ASSERT_EQ(host.Get(DISPID_DHTMLEDIT_BASEURL, &v), S_OK);
  EXPECT_EQ(U(v.AsWideString()), "http://example.com/");
  // The title of a loaded file, and the markup read back.
  {
    OleVariant path(W(pathText));
    ASSERT_EQ(host.Edit->LoadDocument(&path, nullptr), S_OK);
    ASSERT_TRUE(host.WaitLoaded());
    ASSERT_EQ(host.Get(DISPID_DHTMLEDIT_DOCUMENTTITLE, &v), S_OK);
    EXPECT_EQ(U(v.AsWideString()), "From a file");
    ASSERT_EQ(host.Get(DISPID_DHTMLEDIT_DOCUMENTHTML, &v), S_OK);
    EXPECT_NE(U(v.AsWideString()).find("<TITLE>From a file</TITLE>"), std::string::npos);
  }
  // Requests that start nothing: remote addresses are never fetched, missing files,
  // a prompt (there is no dialog here: as cancelled).
  host.Sink->Log.clear();
  EXPECT_EQ(host.Edit->LoadURL(u"http://127.0.0.1:1/feed.htm"), INET_E_RESOURCE_NOT_FOUND);
  EXPECT_EQ(host.Edit->LoadURL(W("file://" + (dir / "missing.htm").string()).c_str()), INET_E_RESOURCE_NOT_FOUND);
  OleVariant missing(W((dir / "missing.htm").string()));
  EXPECT_EQ(host.Edit->LoadDocument(&missing, nullptr), STG_E_FILENOTFOUND);
  OleVariant yes(true);
  EXPECT_EQ(host.Edit->LoadDocument(&missing, &yes), S_OK);
  EXPECT_FALSE(host.Busy());
  larktest::PumpUntilIdle();
  EXPECT_TRUE(host.Sink->Log.empty());
  // Two requests in a row: one completion, for the last.
  ASSERT_EQ(host.Put(DISPID_DHTMLEDIT_DOCUMENTHTML, OleVariant(u"<p>first</p>")), S_OK);
  ASSERT_EQ(host.Put(DISPID_DHTMLEDIT_DOCUMENTHTML, OleVariant(u"<p>second</p>")), S_OK);
  ASSERT_TRUE(host.WaitLoaded());
  EXPECT_EQ(host.Sink->Ids(), LoadEvents(1));
  EXPECT_EQ(host.Body(), "<P>second</P>");
}

TEST(MshtmlEditor, DesignModeSwitchesReloadWithTheirOwnCompletions) {
  Host host;
  host.Activate();
  host.Load("<p>kept as it is</p>");
  host.Sink->Log.clear();
  // What a host does to empty the undo buffer: off, wait, on, wait.
  host.Doc()->SetDesignMode(u"off");
  EXPECT_TRUE(host.Busy());
  ASSERT_TRUE(host.WaitLoaded());
  EXPECT_EQ(host.Doc()->GetDesignMode(), u"Off");
  host.Doc()->SetDesignMode(u"On");
  EXPECT_TRUE(host.Busy());
  ASSERT_TRUE(host.WaitLoaded());
  EXPECT_EQ(host.Sink->Ids(), LoadEvents(2));
  EXPECT_EQ(host.Doc()->GetDesignMode(), u"On");
  EXPECT_EQ(host.Body(), "<P>kept as it is</P>");
  // Writing the mode it already has starts nothing.
  host.Doc()->SetDesignMode(u"on");
  EXPECT_FALSE(host.Busy());
  larktest::PumpUntilIdle();
  EXPECT_EQ(host.Sink->Ids(), LoadEvents(2));
}

TEST(MshtmlEditor, HeldAndDelayedLoadsStayBusyUntilLetGo) {
  Host host;
  host.Activate();
  host.Sink->Log.clear();
  sim::HoldEditLoads(true);
  ASSERT_EQ(host.Put(DISPID_DHTMLEDIT_DOCUMENTHTML, OleVariant(u"<p>held</p>")), S_OK);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_TRUE(host.Busy());
  EXPECT_TRUE(host.Sink->Log.empty());
  OleVariant v;
  EXPECT_EQ(host.Get(DISPID_DHTMLEDIT_DOCUMENTHTML, &v), E_PENDING);
  sim::HoldEditLoads(false);
  ASSERT_TRUE(host.WaitLoaded());
  EXPECT_EQ(host.Sink->Ids(), LoadEvents(1));
  EXPECT_EQ(host.Body(), "<P>held</P>");

  // Delayed: the load survives a number of passes of the loop, one message each.
  sim::DelayEditLoads(3);
  host.Sink->Log.clear();
  ASSERT_EQ(host.Edit->NewDocument(), S_OK);
  int passes = 0;
  MSG msg;
  while (host.Busy() && passes < 100) {
    if (!PeekMessage(&msg, 0, 0, 0, PM_REMOVE)) break;
    DispatchMessage(&msg);
    ++passes;
  }
  EXPECT_FALSE(host.Busy());
  EXPECT_GE(passes, 4);
  ASSERT_TRUE(host.WaitLoaded());
  EXPECT_EQ(host.Sink->Ids(), LoadEvents(1));
}

TEST(MshtmlEditor, PropertiesByDispidAndTheFailureKnob) {
  Host host;
  host.Activate();
  struct Case {
    DISPID Id;
    OleVariant Value;
  };
  const Case cases[] = {
      {DISPID_DHTMLEDIT_SHOWDETAILS, OleVariant(true)},   {DISPID_DHTMLEDIT_SHOWBORDERS, OleVariant(true)},
      {DISPID_DHTMLEDIT_APPEARANCE, OleVariant(int32_t{0})}, {DISPID_DHTMLEDIT_SCROLLBARS, OleVariant(false)},
      {DISPID_DHTMLEDIT_SCROLLBARAPPEARANCE, OleVariant(int32_t{0})},
      {DISPID_DHTMLEDIT_SOURCECODEPRESERVATION, OleVariant(true)}, {DISPID_DHTMLEDIT_USEDIVONCR, OleVariant(true)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Id);
    ASSERT_EQ(host.Put(c.Id, c.Value), S_OK);
    OleVariant v;
    ASSERT_EQ(host.Get(c.Id, &v), S_OK);
    EXPECT_EQ(v.Type(), c.Value.Type());
    EXPECT_EQ(v.AsInteger(), c.Value.AsInteger());
  }
  // The settings travel in the component's stream and come back in a new one.
  ComPtr<IStream> stream;
  ASSERT_EQ(CreateStreamOnHGlobal(0, TRUE, stream.ReleaseAndGetAddressOf()), S_OK);
  ASSERT_EQ(host.Object.As<IPersistStreamInit>()->IsDirty(), S_OK);
  ASSERT_EQ(host.Object.As<IPersistStreamInit>()->Save(stream.Get(), TRUE), S_OK);
  EXPECT_EQ(host.Object.As<IPersistStreamInit>()->IsDirty(), S_FALSE);
  {
    ComPtr<IPersistStreamInit> other;
    ASSERT_EQ(CoCreateInstance(CLSID_DHTMLEdit, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistStreamInit,
                               other.ReleaseAndGetVoidAddress()),
              S_OK);
    stream->Seek(0, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(other->Load(stream.Get()), S_OK);
    ComPtr<IDispatch> d = other.As<IDispatch>();
    for (const Case& c : cases) {
      OleVariant v;
      ASSERT_EQ(d->Invoke(c.Id, IID_NULL, 0, DISPATCH_PROPERTYGET, nullptr, &v, nullptr, nullptr), S_OK);
      EXPECT_EQ(v.AsInteger(), c.Value.AsInteger()) << c.Id;
    }
  }
  // Read-only and unknown properties.
  EXPECT_EQ(host.Put(DISPID_DHTMLEDIT_BUSY, OleVariant(true)), DISP_E_MEMBERNOTFOUND);
  OleVariant v;
  EXPECT_EQ(host.Get(999, &v), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(host.Put(DISPID_DHTMLEDIT_SHOWDETAILS, OleVariant(u"not a Boolean")), DISP_E_TYPEMISMATCH);
  // One property fails to read; the others still answer.
  sim::FailEditProperty(DISPID_DHTMLEDIT_BUSY, E_FAIL);
  EXPECT_EQ(host.Get(DISPID_DHTMLEDIT_BUSY, &v), E_FAIL);
  EXPECT_EQ(host.Get(DISPID_DHTMLEDIT_ISDIRTY, &v), S_OK);
  sim::FailEditProperty(DISPID_DHTMLEDIT_BUSY, S_OK);
  EXPECT_EQ(host.Get(DISPID_DHTMLEDIT_BUSY, &v), S_OK);
}

TEST(MshtmlEditor, CommandsAreRecordedAndCanBeMadeToFail) {
  Host host;
  host.Activate();
  ComPtr<IOleCommandTarget> target = host.Sink->Dom.As<IOleCommandTarget>();
  ASSERT_TRUE(target);
  sim::ClearEditExecRecords();
  OleVariant off(false);
  EXPECT_EQ(target->Exec(&CGID_MSHTML, 2342, OLECMDEXECOPT_DODEFAULT, &off, nullptr), S_OK);
  // Inserting a table takes an array of five values, not a text.
  OleVariant table(u"rows");
  EXPECT_EQ(host.Edit->ExecCommand(22, OLECMDEXECOPT_DONTPROMPTUSER, &table, nullptr), DISP_E_TYPEMISMATCH);
  sim::FailEditCommand(2340, E_ACCESSDENIED);
  OleVariant on(true);
  EXPECT_EQ(target->Exec(&CGID_MSHTML, 2340, 0, &on, nullptr), E_ACCESSDENIED);
  EXPECT_EQ(host.Object.As<IOleCommandTarget>()->Exec(nullptr, OLECMDID_SELECTALL, 0, nullptr, nullptr),
            OLECMDERR_E_NOTSUPPORTED);
  const auto& records = sim::EditExecRecords();
  ASSERT_EQ(records.size(), 4u);
  EXPECT_TRUE(records[0].HasGroup);
  EXPECT_EQ(records[0].Group, CGID_MSHTML);
  EXPECT_EQ(records[0].Id, 2342u);
  EXPECT_EQ(records[0].InType, VT_BOOL);
  EXPECT_EQ(U(records[0].In), "False");
  EXPECT_EQ(records[1].Group, CGID_DHTMLEDIT);
  EXPECT_EQ(records[1].Id, 22u);
  EXPECT_EQ(records[1].Option, OLECMDEXECOPT_DONTPROMPTUSER);
  EXPECT_EQ(U(records[1].In), "rows");
  EXPECT_EQ(records[2].Id, 2340u);
  EXPECT_FALSE(records[3].HasGroup);
  EXPECT_EQ(records[3].InType, VT_EMPTY);
  DWORD status = 99;
  // Inserting a row is offered, but not with the caret outside a table.
  EXPECT_EQ(host.Edit->QueryStatus(14, &status), S_OK);
  EXPECT_EQ(status, static_cast<DWORD>(OLECMDF_SUPPORTED));
}

TEST(MshtmlEditor, DocumentStreamsAndFilesCarryTheMarkup) {
  Host host;
  host.Activate();
  host.Load("<p>Gr\xC3\xBC\xC3\x9F\x65</p>");
  ComPtr<IPersistStreamInit> persist = host.Sink->Dom.As<IPersistStreamInit>();
  ASSERT_TRUE(persist);
  ComPtr<IStream> stream;
  ASSERT_EQ(CreateStreamOnHGlobal(0, TRUE, stream.ReleaseAndGetAddressOf()), S_OK);
  ASSERT_EQ(persist->Save(stream.Get(), FALSE), S_OK);
  STATSTG stat;
  stream->Stat(&stat, 1);
  std::string bytes(static_cast<size_t>(stat.cbSize), '\0');
  stream->Seek(0, STREAM_SEEK_SET, nullptr);
  ULONG got = 0;
  stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &got);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE", 2));
  WideString text;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2)
    text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  EXPECT_EQ(text, host.Doc()->GetHTML());
  // Loading it back through the document's stream is a load job too.
  host.Load("<p>other</p>");
  host.Sink->Log.clear();
  stream->Seek(0, STREAM_SEEK_SET, nullptr);
  ASSERT_EQ(persist->Load(stream.Get()), S_OK);
  EXPECT_TRUE(host.Busy());
  ASSERT_TRUE(host.WaitLoaded());
  EXPECT_EQ(host.Sink->Ids(), LoadEvents(1));
  EXPECT_EQ(host.Body(), "<P>Gr\xC3\xBC\xC3\x9F\x65</P>");
  // SaveDocument writes the file, which an independent reader decodes.
  const auto file = TempDir() / "saved.htm";
  OleVariant path(W(file.string()));
  ASSERT_EQ(host.Edit->SaveDocument(&path, nullptr), S_OK);
  std::ifstream in(file, std::ios::binary);
  std::string saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(saved, bytes);
  const std::string decoded = [&] {
    const std::string cmd = "/usr/bin/python3 -c \"import sys;print(open(sys.argv[1],encoding='utf-16').read().split('<BODY>')[1].strip()[:20])\" '" +
                            file.string() + "'";
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
      char buf[256];
      while (fgets(buf, sizeof buf, p)) out += buf;
      pclose(p);
    }
    return out;
  }();
  EXPECT_EQ(decoded.substr(0, 14), "<P>Gr\xC3\xBC\xC3\x9F\x65</P>");
  // A folder that cannot be written: the save fails and nothing is left behind.
  OleVariant bad(W((TempDir() / "no such folder" / "x.htm").string()));
  EXPECT_EQ(host.Edit->SaveDocument(&bad, nullptr), STG_E_ACCESSDENIED);
  // A folder is no document to load, by path or by address: the request is refused
  // and nothing starts.
  OleVariant folder(W(TempDir().string()));
  EXPECT_EQ(host.Edit->LoadDocument(&folder, nullptr), STG_E_FILENOTFOUND);
  EXPECT_EQ(host.Edit->LoadURL(W("file://" + TempDir().string()).c_str()), INET_E_RESOURCE_NOT_FOUND);
  EXPECT_FALSE(host.Busy());
}

TEST(MshtmlEditor, ChangeLogsHearEachChangeOnceAndEndWithTheDocument) {
  Host host;
  host.Activate();
  host.Load("<p>text</p>");
  ComPtr<IMarkupContainer2> container = host.Sink->Dom.As<IMarkupContainer2>();
  ASSERT_TRUE(container);
  ComPtr<ChangeCounter> counter = MakeComObject<ChangeCounter>();
  ComPtr<IHTMLChangeLog> log;
  ASSERT_EQ(container->CreateChangeLog(counter.Get(), log.ReleaseAndGetAddressOf(), TRUE, TRUE), S_OK);
  // A change through the model (one write that makes several changes in the tree)
  // is one notification, on the next pass of the loop.
  host.Doc()->GetBody()->SetInnerHTML(u"<p>a</p><p>b</p>");
  EXPECT_EQ(counter->Count, 0);
  larktest::PumpUntilIdle();
  EXPECT_EQ(counter->Count, 1);
  // The document's modified flag follows.
  OleVariant v;
  ASSERT_EQ(host.Get(DISPID_DHTMLEDIT_ISDIRTY, &v), S_OK);
  EXPECT_TRUE(v.AsBool());
  // A new document ends the log: its changes reach no one.
  host.Load("<p>new</p>");
  host.Doc()->GetBody()->SetInnerHTML(u"<p>c</p>");
  larktest::PumpUntilIdle();
  EXPECT_EQ(counter->Count, 1);
  // A released log hears nothing either.
  ASSERT_EQ(container->CreateChangeLog(counter.Get(), log.ReleaseAndGetAddressOf(), TRUE, TRUE), S_OK);
  log = nullptr;
  host.Doc()->GetBody()->SetInnerHTML(u"<p>d</p>");
  larktest::PumpUntilIdle();
  EXPECT_EQ(counter->Count, 1);
}

TEST(MshtmlEditor, GlyphCommandsShowTheirGlyphsInEditModeAndShowDetailsTakesTheExtraOnesOff) {
  Host host;
  host.Activate();
  host.Load("<p>ab<!-- note --><span><b id=s>cd</b></span><br>ef</p>");
  ComPtr<IOleCommandTarget> target = host.Sink->Dom.As<IOleCommandTarget>();
  ASSERT_TRUE(target);
  auto left = [&] {
    host.TheLayout()->Update();
    return host.TheLayout()->GetBoundingClientRect(host.Doc()->GetElementById(u"s")).left;
  };
  auto latched = [&](DWORD id) {
    OLECMD cmd{id, 0};
    target->QueryStatus(&CGID_MSHTML, 1, &cmd, nullptr);
    return (cmd.cmdf & OLECMDF_LATCHED) != 0;
  };
  const Integer plain = left();
  OleVariant on(true), off(false);
  // The component starts in edit mode: the comment's glyph takes its room.
  ASSERT_EQ(target->Exec(&CGID_MSHTML, IDM_SHOWCOMMENTGLYPHS, 0, &on, nullptr), S_OK);
  EXPECT_EQ(left(), plain + 20);
  ASSERT_EQ(target->Exec(&CGID_MSHTML, IDM_SHOWLINEBREAKGLYPHS, 0, &on, nullptr), S_OK);
  EXPECT_TRUE(latched(IDM_SHOWLINEBREAKGLYPHS));
  // Writing ShowDetails redraws without the comment and line-break glyphs.
  ASSERT_EQ(host.Put(DISPID_DHTMLEDIT_SHOWDETAILS, OleVariant(false)), S_OK);
  EXPECT_FALSE(latched(IDM_SHOWCOMMENTGLYPHS));
  EXPECT_FALSE(latched(IDM_SHOWLINEBREAKGLYPHS));
  EXPECT_EQ(left(), plain);
  // All glyphs: the built-in table (P, the comment, SPAN before the text), then a
  // table of the glyph commands' form, then an emptied table: none.
  ASSERT_EQ(target->Exec(&CGID_MSHTML, IDM_SHOWGLYPHS, 0, &on, nullptr), S_OK);
  EXPECT_EQ(left(), plain + 20 + 20 + 43);
  OleVariant table(u"%%span^^%%res://C:\\x.exe/GIF/IDR_spanbgn^^%%0^^%%3^^%%3^^%%4^^%%43^^%%14^^%%43^^%%14^^**");
  ASSERT_EQ(target->Exec(&CGID_MSHTML, IDM_REPLACEGLYPHTABLE, 0, &table, nullptr), S_OK);
  EXPECT_EQ(left(), plain + 43);
  // Browse mode shows the page as it reads.
  host.Doc()->SetDesignMode(u"off");
  ASSERT_TRUE(host.WaitLoaded());
  EXPECT_EQ(left(), plain);
  host.Doc()->SetDesignMode(u"on");
  ASSERT_TRUE(host.WaitLoaded());
  EXPECT_EQ(left(), plain + 43);
  ASSERT_EQ(target->Exec(&CGID_MSHTML, IDM_EMPTYGLYPHTABLE, 0, nullptr, nullptr), S_OK);
  EXPECT_EQ(left(), plain);
  ASSERT_EQ(target->Exec(&CGID_MSHTML, IDM_SHOWGLYPHS, 0, &off, nullptr), S_OK);
  EXPECT_EQ(left(), plain);
}
