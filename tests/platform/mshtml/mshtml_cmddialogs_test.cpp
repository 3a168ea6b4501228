// Commands that open the platform's dialogs: what they ask, what an unanswered
// dialog does (cancel, nothing changed), scripted answers, the print request with
// its header, footer and header stream, and the knobs on the commands.
#include <gtest/gtest.h>

#include <cstring>

#include "MshtmlCommandSupport.h"
#include "platform/ole/Stream.h"
#include "platform/printer/SimHooks.h"
#include "platform/sim/MshtmlCommands.h"
#include "platform/win/GlobalMemory.h"
#include "tests/support/Peers.h"

using namespace mshtml;
using namespace mshtmltest;

namespace {

TEST(MshtmlCommandDialogs, UnansweredDialogsCancelAndChangeNothing) {
  const DWORD commands[] = {IDM_FIND, IDM_FONT, IDM_HYPERLINK, IDM_IMAGE, IDM_INSERTOBJECT,
                            IDM_PRINTPREVIEW, IDM_PAGESETUP, IDM_PROPERTIES, IDM_ABOUTBOX};
  for (DWORD id : commands) {
    sim::ClearHtmlDialogs();
    Document doc;
    LoadMarked(doc, "<p>a [b] c</p>");
    ASSERT_TRUE(CommandFlags(doc, &CGID_MSHTML, id) & OLECMDF_ENABLED) << id;
    EXPECT_EQ(Exec(doc, &CGID_MSHTML, id, OLECMDEXECOPT_PROMPTUSER, nullptr, nullptr), OLECMDERR_E_CANCELED) << id;
    EXPECT_EQ(Body(doc), "<P>a b c</P>") << id;
    EXPECT_FALSE(CanUndo(doc)) << id;
    const auto log = sim::HtmlDialogLog();
    ASSERT_EQ(log.size(), 1u) << id;
    EXPECT_EQ(log[0].Command, id);
    EXPECT_EQ(log[0].Option, OLECMDEXECOPT_PROMPTUSER);
  }
}

TEST(MshtmlCommandDialogs, AnswersCarryOut) {
  Document doc;
  LoadMarked(doc, "<p>a [b] c</p>");
  sim::QueueHtmlDialogAnswer(IDM_HYPERLINK, true, u"http://h/");
  ASSERT_EQ(Exec(doc, &CGID_MSHTML, IDM_HYPERLINK, 0, nullptr, nullptr), S_OK);
  EXPECT_EQ(Body(doc), "<P>a <A href=\"http://h/\">b</A> c</P>");
  EXPECT_EQ(UndoText(doc), u"Undo Insert");

  LoadMarked(doc, "<p>a|b</p>");
  EXPECT_FALSE(CommandFlags(doc, &CGID_MSHTML, IDM_HYPERLINK) & OLECMDF_ENABLED) << "nothing to link at a bare caret";
  sim::QueueHtmlDialogAnswer(IDM_IMAGE, true, u"p.png");
  ASSERT_EQ(Exec(doc, &CGID_MSHTML, IDM_IMAGE, 0, nullptr, nullptr), S_OK);
  EXPECT_EQ(Body(doc), "<P>a<IMG src=p.png>b</P>");
  // Without prompting, the text given is the picture.
  const OleVariant src(u"q.png");
  ASSERT_EQ(Exec(doc, &CGID_MSHTML, IDM_IMAGE, OLECMDEXECOPT_DONTPROMPTUSER, &src, nullptr), S_OK);
  EXPECT_EQ(Body(doc), "<P>a<IMG src=p.png><IMG src=q.png>b</P>");
  // CreateLink by name with showUI asks the same dialog; its address comes back to it.
  SelectUnits(doc, 0, 1);
  const OleVariant suggested(u"http://s/");
  sim::QueueHtmlDialogAnswer(IDM_HYPERLINK, true, u"http://t/");
  bool done = false;
  ASSERT_EQ(ExecCommand(doc, u"CreateLink", true, &suggested, &done), S_OK);
  EXPECT_TRUE(done);
  EXPECT_EQ(U(sim::HtmlDialogLog().back().Text), "http://s/");
  EXPECT_EQ(Body(doc), "<P><A href=\"http://t/\">a</A><IMG src=p.png><IMG src=q.png>b</P>");
  // A cancelled dialog by name: not done, no failure.
  sim::QueueHtmlDialogAnswer(0, false);
  ASSERT_EQ(ExecCommand(doc, u"InsertImage", true, nullptr, &done), S_OK);
  EXPECT_FALSE(done);

  LoadMarked(doc, "<p>[ab]</p>");
  sim::QueueHtmlDialogAnswer(IDM_FONT, true, u"Courier");
  ASSERT_EQ(Exec(doc, &CGID_MSHTML, IDM_FONT, 0, nullptr, nullptr), S_OK);
  EXPECT_EQ(Body(doc), "<P><FONT face=Courier>ab</FONT></P>");

  LoadMarked(doc, "<p>|one feed, two feeds</p>");
  sim::QueueHtmlDialogAnswer(IDM_FIND, true, u"feeds");
  ASSERT_EQ(Exec(doc, &CGID_MSHTML, IDM_FIND, 0, nullptr, nullptr), S_OK);
  EXPECT_EQ(U(SelectionText(doc)), "feeds");
  EXPECT_EQ(CaretOf(doc), 14);
}

// Print: silent with option 2, with the dialog otherwise; the input array gives
// header and footer and, in element 2, a stream of header markup.
TEST(MshtmlCommandDialogs, PrintRequests) {
  larktest::TempDir dir;  // the pages printed go here, not into the user's spool
  sim::SetSpoolFolder(dir.Path() + "spool");
  Document doc;
  LoadMarked(doc, "<p>a|b</p>");
  sim::ClearHtmlDialogs();
  ASSERT_EQ(Exec(doc, &CGID_MSHTML, IDM_PRINT, OLECMDEXECOPT_DONTPROMPTUSER, nullptr, nullptr), S_OK)
      << "printing without a dialog has nothing to cancel";
  ASSERT_EQ(sim::HtmlDialogLog().size(), 1u);
  EXPECT_EQ(sim::HtmlDialogLog()[0].Option, OLECMDEXECOPT_DONTPROMPTUSER);
  EXPECT_EQ(Exec(doc, &CGID_MSHTML, IDM_PRINT, OLECMDEXECOPT_PROMPTUSER, nullptr, nullptr), OLECMDERR_E_CANCELED);

  // The array the control builds: header, footer and a stream over a global block.
  const std::string header = "<b>Header</b>";
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, header.size());
  ComPtr<IStream> stream;
  ASSERT_EQ(CreateStreamOnHGlobal(block, TRUE, stream.GetAddressOf()), S_OK);
  ULONG written = 0;
  stream->Write(header.data(), static_cast<ULONG>(header.size()), &written);
  stream->Seek(0, STREAM_SEEK_SET, nullptr);
  SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, 3);
  OleVariant items[3] = {OleVariant(u"Page &p"), OleVariant(u"&d"), OleVariant(static_cast<IUnknown*>(stream.Get()))};
  for (LONG i = 0; i < 3; ++i) SafeArrayPutElement(array, &i, &items[i]);
  VARIANT in;
  VariantInit(&in);
  in.vt = VT_ARRAY | VT_VARIANT | VT_BYREF;
  in.pparray = &array;
  sim::QueueHtmlDialogAnswer(IDM_PRINT, true);
  EXPECT_EQ(Exec(doc, &CGID_MSHTML, IDM_PRINT, OLECMDEXECOPT_PROMPTUSER, &in, nullptr), S_OK);
  const DialogRequest request = sim::HtmlDialogLog().back();
  ASSERT_EQ(request.PrintTexts.size(), 2u);
  EXPECT_EQ(U(request.PrintTexts[0]), "Page &p");
  EXPECT_EQ(U(request.PrintTexts[1]), "&d");
  EXPECT_TRUE(request.HasPrintStream);
  EXPECT_EQ(request.PrintHeaderHtml, header);
  SafeArrayDestroy(array);

  // Wrong element types are refused before any dialog.
  const size_t asked = sim::HtmlDialogLog().size();
  SAFEARRAY* bad = SafeArrayCreateVector(VT_VARIANT, 0, 2);
  OleVariant number(5);
  LONG index = 0;
  SafeArrayPutElement(bad, &index, &number);
  VARIANT badIn;
  VariantInit(&badIn);
  badIn.vt = VT_ARRAY | VT_VARIANT;
  badIn.parray = bad;
  EXPECT_EQ(Exec(doc, &CGID_MSHTML, IDM_PRINT, OLECMDEXECOPT_DONTPROMPTUSER, &badIn, nullptr), DISP_E_TYPEMISMATCH);
  const OleVariant text(u"x");
  EXPECT_EQ(Exec(doc, &CGID_MSHTML, IDM_PRINT, OLECMDEXECOPT_DONTPROMPTUSER, &text, nullptr), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(sim::HtmlDialogLog().size(), asked);
  VariantClear(&badIn);
}

TEST(MshtmlCommandDialogs, SavePictureNeedsAnImage) {
  Document doc;
  LoadMarked(doc, "<p>a<img id=i src=pic.png>b</p>");
  EXPECT_FALSE(CommandFlags(doc, &CGID_MSHTML, IDM_SAVEPICTURE) & OLECMDF_ENABLED);
  EXPECT_EQ(Exec(doc, &CGID_MSHTML, IDM_SAVEPICTURE, 0, nullptr, nullptr), OLECMDERR_E_DISABLED);
  doc.GetSelection()->SelectControls({doc.GetElementById(u"i")});
  sim::QueueHtmlDialogAnswer(IDM_SAVEPICTURE, true);
  ASSERT_EQ(Exec(doc, &CGID_MSHTML, IDM_SAVEPICTURE, 0, nullptr, nullptr), S_OK);
  EXPECT_EQ(U(sim::HtmlDialogLog().back().ElementSrc), "pic.png");
  EXPECT_EQ(U(sim::HtmlDialogLog().back().ElementTag), "IMG");
  // A control range's own target: the image, without selecting it.
  SelectUnits(doc, 1, 1);
  sim::QueueHtmlDialogAnswer(IDM_SAVEPICTURE, true);
  ASSERT_EQ(ExecOnControls(doc, {doc.GetElementById(u"i")}, IDM_SAVEPICTURE, 0, nullptr, nullptr), S_OK);
  EXPECT_EQ(U(sim::HtmlDialogLog().back().ElementSrc), "pic.png");
  EXPECT_EQ(doc.GetSelection()->GetType(), u"None");
  EXPECT_EQ(CaretOf(doc), 1);
}

TEST(MshtmlCommandDialogs, KnobsFailForceAndRecord) {
  Document doc;
  LoadMarked(doc, "<p>[ab]</p>");
  sim::FailHtmlCommand(IDM_BOLD, E_FAIL);
  EXPECT_EQ(Exec(doc, &CGID_MSHTML, IDM_BOLD, 0, nullptr, nullptr), E_FAIL);
  bool done = true;
  EXPECT_EQ(ExecCommand(doc, u"Bold", false, nullptr, &done), E_FAIL) << "the name reaches the same command";
  EXPECT_FALSE(done);
  EXPECT_EQ(Body(doc), "<P>ab</P>");
  sim::ForceHtmlCommandFlags(IDM_BOLD, OLECMDF_SUPPORTED | OLECMDF_LATCHED);
  EXPECT_EQ(CommandFlags(doc, &CGID_MSHTML, IDM_BOLD), OLECMDF_SUPPORTED | OLECMDF_LATCHED);
  EXPECT_TRUE(State(doc, "Bold"));
  sim::ResetHtmlCommands();
  EXPECT_EQ(CommandFlags(doc, &CGID_MSHTML, IDM_BOLD), OLECMDF_SUPPORTED | OLECMDF_ENABLED);

  const OleVariant size(4);
  ASSERT_EQ(ExecCommand(doc, u"FontSize", false, &size, nullptr), S_OK);
  ASSERT_EQ(Exec(doc, &CGID_DHTMLEDIT, DECMD_INSERTROW, 0, nullptr, nullptr), OLECMDERR_E_DISABLED);
  const auto log = sim::HtmlExecLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(U(log[0].Name), "FontSize");
  EXPECT_EQ(log[0].In.vt, VT_I4);
  EXPECT_EQ(log[0].In.lVal, 4);
  EXPECT_EQ(log[0].Result, S_OK);
  EXPECT_TRUE(log[1].ComponentGroup);
  EXPECT_EQ(log[1].Id, DECMD_INSERTROW);
  EXPECT_EQ(log[1].Result, OLECMDERR_E_DISABLED);
}

}  // namespace
