// What the command table's sources share: the per-document editing state, the
// selection read as a range of units, and the tree surgery the commands are made of.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/mshtml/CommandDialogs.h"
#include "platform/mshtml/Commands.h"
#include "platform/mshtml/DocumentInternal.h"
#include "platform/mshtml/TextRange.h"
#include "platform/mshtml/Undo.h"
#include "platform/ole/OleVariant.h"

namespace mshtml {

// The body and the selection at one moment.
struct EditSnapshot {
  WideString BodyHtml;
  std::vector<Attribute> BodyAttributes;
  Integer Start = 0, End = 0;
  std::vector<Integer> Controls;  // source indexes of a control selection
};

struct UndoEntry {
  WideString Name;
  bool Typing = false;
  EditSnapshot Before, After;
};

struct EditState {
  UInt64 LoadCount = 0;
  std::vector<UndoEntry> UndoStack, RedoStack;
  int Depth = 0;          // open units
  WideString OpenName;
  bool OpenTyping = false;
  EditSnapshot OpenBefore;
  UInt64 OpenChangeCount = 0;
  bool TypingRunOpen = false;  // the top unit may take the next typing
  bool Modified = false;
  bool Overwrite = false;
  ViewSwitches View;
  TypingFormats Typing;
  UInt64 TypingChangeCount = 0;
  Integer TypingAt = -1;
};

// The document's state, made on first use; a load since the last use forgets the
// undo history, the modified flag and the typing formats.
EditState& StateOf(Document& document);

EditSnapshot TakeSnapshot(Document& document);
void RestoreSnapshot(Document& document, const EditSnapshot& snapshot);

// The document is in edit mode.
bool IsEditMode(Document& document);

// The selection as a text range over the body (for a control selection: the range
// over the selected elements). Null without a body.
std::unique_ptr<TextRange> SelectionRange(Document& document);
// The elements of a control selection (empty otherwise).
ElementList SelectedControls(Document& document);
bool SelectionIsEmpty(Document& document);
void SelectUnits(Document& document, Integer start, Integer end);

// The units of [start, end) that carry content (characters and objects).
std::vector<const TextUnit*> ContentUnits(const std::vector<TextUnit>& units, Integer start, Integer end);
// The unit that decides the format at a caret: the content unit before it in the
// same line, else the one after; null in an empty document.
const TextUnit* CaretUnit(const std::vector<TextUnit>& units, Integer at);
// The unit boundaries around a node's content: first is the first unit inside it,
// second one past the last (both the count when it holds none).
std::pair<Integer, Integer> UnitSpan(const std::vector<TextUnit>& units, const Node* node);

// Elements treated as blocks by the commands (blocks of the serializer).
bool IsBlock(const Node* n);
// The nearest block ancestor of n (the body when there is none below it).
Element* BlockOf(Node* n, Element* body);
// Inserts nodes at the point (a text node is split there).
void InsertAtPoint(const TreePoint& point, const std::vector<Node*>& nodes);

// Marks the ends of a range with two empty comments and splits the inline elements
// around each mark up to its nearest block, so that every node between the marks
// lies wholly inside the range. TopNodes are those nodes, topmost first, in order.
class RangeMarks {
 public:
  RangeMarks(Document& document, const TextRange& range);
  ~RangeMarks();
  RangeMarks(const RangeMarks&) = delete;
  RangeMarks& operator=(const RangeMarks&) = delete;
  std::vector<Node*> TopNodes() const;
  Node* Start() const { return start_; }
  Node* End() const { return end_; }

 private:
  void Lift(Node* mark);
  Node* start_ = nullptr;
  Node* end_ = nullptr;
};

// Where a block goes at the caret's unit boundary: a paragraph or heading around
// it is split there (a half left empty at its start goes), so the block does not
// land inside a paragraph.
TreePoint BlockInsertPoint(Document& document, Integer at);

// Moves the children of e in its place and takes e out of the tree.
void Unwrap(Element* e);
// A new element named tag in place of e, with e's attributes and children.
Element* Rename(Element* e, const WideString& tag);

// The colour a command value names: VT_I4 0x00BBGGRR, or a text ("#rrggbb", a
// colour name). Empty text: *remove. DISP_E_TYPEMISMATCH for other types.
HRESULT ReadColorArgument(const VARIANT* value, WideString* html, bool* remove);
// "#rrggbb" from 0x00BBGGRR; the reverse (-1 for text that is no colour).
WideString ColorText(Integer bgr);
Integer ColorValue(const WideString& text);

// Reads a text argument: VT_BSTR (a null BSTR is empty). Absent and the omitted
// value give *present false.
HRESULT ReadTextArgument(const VARIANT* value, WideString* text, bool* present);
// VT_I2/I4/UI*/BSTR of digits; DISP_E_TYPEMISMATCH otherwise.
HRESULT ReadIntegerArgument(const VARIANT* value, Integer* number, bool* present);
HRESULT ReadBoolArgument(const VARIANT* value, bool* flag, bool* present);
// A one-dimensional array of variants, held or referred to (VT_BYREF) by the value:
// DISP_E_TYPEMISMATCH for another type, E_POINTER for a null array, E_INVALIDARG for
// other dimensions. The array stays the value's.
HRESULT ReadVariantArray(const VARIANT* value, SAFEARRAY** array);

// The command families, each in its own source.
//
// An operation answers S_OK when done, or a failure code; it may raise EOleSysError
// from the model (the dispatcher turns it into its code).

// Inline formats (Commands_format.cpp).
enum class InlineFormat { Bold, Italic, Underline, Strike, Sub, Sup };
HRESULT ToggleInlineFormat(Document& document, InlineFormat format);
// all: every content unit of the selection is formatted; any: at least one.
void InlineFormatState(Document& document, InlineFormat format, bool* all, bool* any);
HRESULT ApplyFont(Document& document, const WideString& attribute, const VARIANT* value);
HRESULT FontValue(Document& document, const WideString& attribute, VARIANT* out);
HRESULT RemoveFormat(Document& document);
// Takes the elements of the same kinds off the selection and, unless remove, wraps
// its content in a new element tag with the attributes.
void ApplyElementFormat(Document& document, const WideString& tag, const std::vector<Attribute>& attributes,
                        const std::vector<ELEMENT_TAG_ID>& same, bool remove);

// Blocks (Commands_blocks.cpp). align: "left", "center", "right", "justify", or
// empty to remove.
HRESULT Justify(Document& document, const WideString& align);
WideString JustifyState(Document& document);
HRESULT FormatBlock(Document& document, const WideString& name);
WideString BlockFormatValue(Document& document);
HRESULT ToggleList(Document& document, bool ordered);
// 0 none, 1 the selection is in an ordered list, 2 unordered.
int ListState(Document& document);
HRESULT Indent(Document& document);
HRESULT Outdent(Document& document);
bool CanOutdent(Document& document);
HRESULT InsertParagraph(Document& document, const WideString& id);
HRESULT SetDirection(Document& document, const WideString& dir);
HRESULT ToggleAbsolutePosition(Document& document);

// Inserts, links, deletion and the clipboard (Commands_insert.cpp).
HRESULT InsertElement(Document& document, DWORD command, const WideString& argument);
HRESULT InsertImage(Document& document, const WideString& src);
HRESULT CreateLink(Document& document, const WideString& href);
HRESULT Unlink(Document& document);
bool SelectionInLink(Document& document);
HRESULT DeleteSelection(Document& document, bool wordAfter);
HRESULT CopySelection(Document& document);
HRESULT Paste(Document& document);
// Replaces the selection with markup and leaves the caret after it.
void ReplaceSelectionWithHtml(Document& document, const WideString& html);

// The knobs of the simulated world (CommandDialogs.cpp).
std::optional<HRESULT> ForcedFailure(DWORD id);
std::optional<DWORD> ForcedFlags(DWORD id);
void RecordExec(bool componentGroup, DWORD id, const WideString& name, DWORD option, const VARIANT* in,
                HRESULT result);

// The component's table commands (Commands_tables.cpp).
bool TableCommandEnabled(Document& document, DWORD id);
HRESULT TableCommand(Document& document, DWORD id, const VARIANT* in);

// Prints the document on the system's printer (platform/printer): pages of the laid
// out document with the request's header and footer texts (Commands_print.cpp).
// E_FAIL when there is no printer or the job cannot be written.
HRESULT PrintDocument(Document& document, const DialogRequest& request);

}  // namespace mshtml
