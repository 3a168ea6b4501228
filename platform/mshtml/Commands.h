// The editing engine's command table: every command by number in its two command
// groups (the engine's CGID_MSHTML and the editing component's own group) and by
// name (the document's execCommand / queryCommand* family), each with its state
// (supported, enabled, latched, value) and its effect on the document.
//
// Who calls what:
//   - a command target (IOleCommandTarget::QueryStatus / Exec of the document or of
//     the editing component) forwards to QueryStatus / Exec below;
//   - the document's execCommand, queryCommandSupported, queryCommandEnabled,
//     queryCommandState and queryCommandValue forward to the functions of the same
//     names below.
// Every command works on the document's current selection (Document::GetSelection,
// TextRange.h): a caret, a text range or a control selection.
//
// Edit mode: the editing commands are enabled only while the document's designMode
// reads "On". In browse mode they answer supported but not enabled, and executing
// them answers OLECMDERR_E_DISABLED (by number) or false (by name); the commands that
// only read (Copy, SelectAll, Find, Print, ...) work in both modes.
//
// Each command that changes the document is one undo unit (Undo.h) named after the
// command ("Bold", "Delete", ...), and marks the document modified.
//
// Answers (HRESULT):
//   S_OK                         done (or, for QueryStatus, the flags are filled in)
//   OLECMDERR_E_UNKNOWNGROUP     a group other than the two
//   OLECMDERR_E_NOTSUPPORTED     a number or name the table does not hold
//   OLECMDERR_E_DISABLED         the command is not enabled now
//   OLECMDERR_E_CANCELED         a dialog the command opened was cancelled
//   DISP_E_TYPEMISMATCH          an argument of a type the command cannot read
//   E_INVALIDARG                 an argument of the right type with a value the
//                                command does not take (FontSize 9, a table of 0 rows)
//   E_POINTER                    a null array where one is required
//   E_FAIL                       the document refused the change
// No function here raises.
//
// What an editing component does besides forwarding its command target:
//   - its own edits (typing, Enter, Backspace, drops) go in undo units (Undo.h):
//     typing as BeginUndoUnit(doc, u"Typing", true) ... EndUndoUnit(doc), so a run
//     of keys undoes as one; it calls BreakTypingRun when the caret moves otherwise;
//   - typed text takes the formats GetTypingFormats gives (Bold at a caret), and
//     replaces the next character while IsOverwriteMode;
//   - its modified property reads IsModified; a designMode switch calls ClearUndo
//     (a load forgets the history and the flag by itself);
//   - it draws the glyphs and borders GetViewSwitches asks for;
//   - IDM_STOP / "Stop" answers S_OK here: stopping a pending load is the component's;
//   - dialogs the commands open go through the hook of CommandDialogs.h.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "platform/mshtml/Document.h"
#include "platform/ole/Guid.h"
#include "platform/ole/OleAuto.h"
#include "platform/ole/OleHost.h"

namespace mshtml {

// The engine's command group.
inline constexpr GUID CGID_MSHTML = MakeGuid("{DE4BA900-59CA-11CF-9592-444553540000}");
// The editing component's own group (its table commands).
inline constexpr GUID CGID_DHTMLEDIT = MakeGuid("{2582F1C0-084E-11D1-9A0E-006097C9B344}");

// Command numbers of CGID_MSHTML.
enum : DWORD {
  IDM_INSERTOBJECT = 25,  // dialog
  IDM_PRINT = 27,         // dialog (option 1) or silent (option 2); input: [header, footer(, stream)]
  IDM_PROPERTIES = 28,    // dialog
  IDM_REDO = 29,
  IDM_SELECTALL = 31,
  IDM_UNDO = 43,
  IDM_JUSTIFYFULL = 50,
  IDM_BOLD = 52,
  IDM_ITALIC = 56,
  IDM_JUSTIFYCENTER = 57,
  IDM_JUSTIFYLEFT = 59,
  IDM_JUSTIFYRIGHT = 60,
  IDM_UNDERLINE = 63,
  IDM_FIND = 67,  // dialog
  IDM_FONT = 90,  // dialog
  IDM_STRIKETHROUGH = 91,
  IDM_DELETEWORD = 92,
  IDM_JUSTIFYNONE = 94,
  IDM_TRISTATEBOLD = 95,
  IDM_TRISTATEITALIC = 96,
  IDM_TRISTATEUNDERLINE = 97,
  IDM_PRINTPREVIEW = 2003,  // dialog
  IDM_PAGESETUP = 2004,     // dialog
  IDM_HYPERLINK = 2124,     // dialog (prompt) or, with a text input and no prompt, a link to it
  IDM_BROWSEMODE = 2126,
  IDM_EDITMODE = 2127,
  IDM_STOP = 2138,
  IDM_BASELINEFONT1 = 2141,  // .. IDM_BASELINEFONT5 = 2145: the view's text size
  IDM_BASELINEFONT5 = 2145,
  IDM_HORIZONTALLINE = 2150,
  IDM_LINEBREAKNORMAL = 2151,
  IDM_LINEBREAKLEFT = 2152,
  IDM_LINEBREAKRIGHT = 2153,
  IDM_LINEBREAKBOTH = 2154,
  IDM_NONBREAK = 2155,
  IDM_IFRAME = 2158,
  IDM_TEXTBOX = 2161,
  IDM_TEXTAREA = 2162,
  IDM_CHECKBOX = 2163,
  IDM_RADIOBUTTON = 2164,
  IDM_DROPDOWNBOX = 2165,
  IDM_LISTBOX = 2166,
  IDM_BUTTON = 2167,
  IDM_IMAGE = 2168,  // dialog (prompt) or, with a text input and no prompt, the image inserted
  IDM_DIVISION = 2170,
  IDM_PARAGRAPH = 2180,
  IDM_MARQUEE = 2182,
  IDM_ABOUTBOX = 2221,  // dialog
  IDM_GETBLOCKFMTS = 2233,
  IDM_SUBSCRIPT = 2247,
  IDM_SUPERSCRIPT = 2248,
  IDM_SAVEPICTURE = 2270,  // dialog, for the image of a control selection
  IDM_OVERWRITE = 2314,
  IDM_SHOWCOMMENTGLYPHS = 2324,
  IDM_SHOWGLYPHS = 2326,
  IDM_SHOWZEROBORDERS = 2328,
  IDM_EMPTYGLYPHTABLE = 2336,
  IDM_REPLACEGLYPHTABLE = 2339,
  IDM_SHOWLINEBREAKGLYPHS = 2340,
  IDM_SETDIRTY = 2342,
  IDM_OVERRIDECURSOR = 2420,
};

// Command numbers of the editing component's group.
enum : DWORD {
  DECMD_INSERTROW = 14,
  DECMD_INSERTCOL = 15,
  DECMD_DELETEROWS = 16,
  DECMD_DELETECOLS = 17,
  DECMD_MERGECELLS = 18,
  DECMD_SPLITCELL = 19,
  DECMD_INSERTCELL = 20,
  DECMD_DELETECELLS = 21,
  // Input: a one-dimensional array of five variants: rows, columns (integers), the
  // table's attribute text, the cells' attribute text (or empty), the caption (or
  // empty). The caption is text, not markup.
  DECMD_INSERTTABLE = 22,
};

// The block formats, in the order IDM_GETBLOCKFMTS gives them and FormatBlock's
// value names them: 0 "Normal", 1 "Formatted", 2 "Address", 3..8 "Heading 1".."Heading 6",
// then the list and definition formats and "Paragraph".
const std::vector<WideString>& BlockFormatNames();

// --- By number ---

// Fills cmdf of each entry with OLECMDF_SUPPORTED / ENABLED / LATCHED / NINCHED (0
// for a number the group does not hold). With text and OLECMDTEXTF_NAME, writes the
// first command's name (IDM_UNDO: "Undo Bold", ...; empty when it has none) into
// text->rgwz, at most cwBuf characters with the terminator, and its length without
// the terminator into cwActual. A null group is CGID_MSHTML.
HRESULT QueryStatus(Document& document, const GUID* group, ULONG count, OLECMD* commands, OLECMDTEXT* text);
// The state of one command of a group: its OLECMDF_* flags (0 when unknown).
DWORD CommandFlags(Document& document, const GUID* group, DWORD id);
// Runs a command. option: OLECMDEXECOPT_DODEFAULT (0), _PROMPTUSER (1),
// _DONTPROMPTUSER (2). in may be null (no argument); VT_BYREF arguments are read
// through. out may be null; when given it receives the command's output
// (IDM_GETBLOCKFMTS: a VT_ARRAY | VT_BSTR of the block format names).
HRESULT Exec(Document& document, const GUID* group, DWORD id, DWORD option, const VARIANT* in, VARIANT* out);

// A control range's own command target: the command runs on the elements as if they
// were selected as controls (IDM_SAVEPICTURE on an image); the document's selection
// is left as it was.
HRESULT ExecOnControls(Document& document, const ElementList& controls, DWORD id, DWORD option, const VARIANT* in,
                       VARIANT* out);

// --- By name (letter case ignored) ---
//
// Names: AbsolutePosition, BackColor, Bold, Copy, CreateLink, Cut, Delete, DirLTR,
// DirRTL, FontName, FontSize, ForeColor, FormatBlock, Indent, InsertHorizontalRule,
// InsertImage, InsertOrderedList, InsertParagraph, InsertUnorderedList, Italic,
// JustifyCenter, JustifyFull, JustifyLeft, JustifyNone, JustifyRight, Outdent,
// Overwrite, Paste, Redo, RemoveFormat, SelectAll, Stop, StrikeThrough, SubScript,
// SuperScript, Underline, Undo, Unlink, Unselect.
//
// The value of a command that takes none may be absent (null), VT_EMPTY or the
// omitted-parameter value (VT_ERROR DISP_E_PARAMNOTFOUND). CreateLink and
// InsertImage with showUI true open the platform's dialog (the dialog hook,
// CommandDialogs.h) instead of reading the value.

bool QueryCommandSupported(Document& document, const WideString& name);
// OLECMDERR_E_NOTSUPPORTED for an unknown name.
HRESULT QueryCommandEnabled(Document& document, const WideString& name, bool* enabled);
// Latched: the selection is formatted so (Bold), in a list of the kind, aligned so.
HRESULT QueryCommandState(Document& document, const WideString& name, bool* state);
// Bold & co., the lists and the justifications: VT_BOOL. ForeColor, BackColor:
// VT_I4 0x00BBGGRR (VT_NULL where none is set, or for a selection of mixed colours).
// FontName: VT_BSTR (VT_NULL for none). FontSize: VT_I4 1..7 (3 where none is set).
// FormatBlock: VT_BSTR, the block format's name. Overwrite: VT_BOOL.
HRESULT QueryCommandValue(Document& document, const WideString& name, VARIANT* value);
// Runs the command; *done (may be null) tells whether it ran. A disabled command
// answers S_OK with *done false and changes nothing.
HRESULT ExecCommand(Document& document, const WideString& name, bool showUI, const VARIANT* value, bool* done);

// --- State kept beside the document ---

// The modified flag (set by every edit and by IDM_SETDIRTY; cleared by IDM_SETDIRTY
// false and by a load).
bool IsModified(Document& document);
void SetModified(Document& document, bool modified);
// IDM_OVERWRITE: typing replaces the character after the caret. The Insert key
// switches it (SetOverwriteMode).
bool IsOverwriteMode(Document& document);
void SetOverwriteMode(Document& document, bool overwrite);

// The view switches the commands store for the layout and the component: the glyphs
// for comments (2324) and line breaks (2340), all glyphs (2326), borders of
// borderless tables (2328), the component leaves the cursor alone (2420), the view
// text size 0..4 (2141..2145, 2 by default) and the glyph table text (2339; 2336
// empties it: no tag glyphs then).
struct ViewSwitches {
  bool ShowCommentGlyphs = false;
  bool ShowLineBreakGlyphs = false;
  bool ShowGlyphs = false;
  bool ShowZeroBorders = false;
  bool CursorOverridden = false;
  int TextSize = 2;
  WideString GlyphTable;
  bool GlyphTableWritten = false;  // 2339 or 2336 ran: the built-in table is replaced
};
const ViewSwitches& GetViewSwitches(Document& document);
// Turns the comment and line-break glyphs off (a write of the component's
// ShowDetails redraws without them).
void ClearCommentAndBreakGlyphs(Document& document);

// Formats that apply to the next typed text at the caret (Bold or ForeColor at a
// caret does not change the document: it arms the format for typing). Tag names
// ("STRONG", "EM", "U", "STRIKE", "SUB", "SUP") to wrap typed text in, and those to
// take off; the font's values (attribute "color", "face", "size" or
// "background-color" with its value; an empty value takes it off). All are
// forgotten when the selection moves or the document changes.
struct TypingFormats {
  std::vector<WideString> Add;
  std::vector<WideString> Remove;
  std::vector<std::pair<WideString, WideString>> Font;
  bool Empty() const { return Add.empty() && Remove.empty() && Font.empty(); }
};
TypingFormats GetTypingFormats(Document& document);
// Puts the formats on the units [start, end) just typed, and the caret at end.
void ApplyTypingFormats(Document& document, Integer start, Integer end, const TypingFormats& formats);

// Deletes the selected text as the Delete command does (an editor's Delete and
// Backspace over a selection): a selection of whole words between blanks takes one
// blank with it, blocks it crosses are joined; the caret stays where it began.
// Nothing happens at a caret or with a control selection.
void DeleteSelectedText(Document& document);

}  // namespace mshtml
