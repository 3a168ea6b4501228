// The command table and its dispatch by number and by name.
#include "platform/mshtml/Commands.h"

#include <algorithm>
#include <functional>

#include "platform/mshtml/CommandDialogs.h"
#include "platform/mshtml/CommandsInternal.h"
#include "platform/mshtml/HtmlClipboard.h"
#include "platform/ole/OleVariant.h"
#include "platform/ole/Stream.h"

namespace mshtml {

namespace {

struct Call {
  DWORD Option = 0;
  const VARIANT* In = nullptr;
  VARIANT* Out = nullptr;
  bool Prompt = false;  // the platform's dialog is wanted
};

struct CommandDef {
  const char16_t* Name = nullptr;  // null: by number only
  DWORD Id = 0;                    // 0: by name only
  bool Component = false;          // the editing component's group
  bool Edits = true;               // needs edit mode
  std::function<bool(Document&)> Enabled;
  std::function<bool(Document&)> Latched;
  std::function<bool(Document&)> Ninched;
  std::function<HRESULT(Document&, const Call&)> Run;
  std::function<HRESULT(Document&, VARIANT*)> Value;
  bool Undoable = true;  // the run is an undo unit
};

bool Always(Document&) { return true; }

HRESULT TextArg(const Call& call, WideString* text, bool required) {
  bool present = false;
  const HRESULT hr = ReadTextArgument(call.In, text, &present);
  if (FAILED(hr)) return hr;
  if (required && !present) return E_INVALIDARG;
  return S_OK;
}

HRESULT BoolValue(VARIANT* out, bool value) {
  VariantClear(out);
  out->vt = VT_BOOL;
  out->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

// A dialog request from a command; answers the dialog's answer.
DialogAnswer Ask(DWORD command, const Call& call, const WideString& text = {}) {
  DialogRequest request;
  request.Command = command;
  request.Option = call.Option;
  request.Text = text;
  return AskDialog(request);
}

// --- Format commands ---

CommandDef Format(const char16_t* name, DWORD id, InlineFormat format, bool triState = false) {
  CommandDef d;
  d.Name = name;
  d.Id = id;
  d.Enabled = [](Document& doc) { return SelectionRange(doc) != nullptr; };
  d.Latched = [format, triState](Document& doc) {
    bool all, any;
    InlineFormatState(doc, format, &all, &any);
    return triState ? any : all;
  };
  if (!triState)
    d.Ninched = [format](Document& doc) {
      bool all, any;
      InlineFormatState(doc, format, &all, &any);
      return any && !all;
    };
  d.Run = [format](Document& doc, const Call&) { return ToggleInlineFormat(doc, format); };
  return d;
}

CommandDef Font(const char16_t* name, const WideString& attribute) {
  CommandDef d;
  d.Name = name;
  d.Enabled = [](Document& doc) { return SelectionRange(doc) != nullptr; };
  d.Run = [attribute](Document& doc, const Call& call) { return ApplyFont(doc, attribute, call.In); };
  d.Value = [attribute](Document& doc, VARIANT* out) { return FontValue(doc, attribute, out); };
  return d;
}

CommandDef JustifyDef(const char16_t* name, DWORD id, const WideString& align) {
  CommandDef d;
  d.Name = name;
  d.Id = id;
  d.Enabled = Always;
  d.Latched = [align](Document& doc) {
    const WideString state = JustifyState(doc);
    if (align.empty()) return state.empty();
    return state == align || (align == u"left" && state.empty());
  };
  d.Run = [align](Document& doc, const Call&) { return Justify(doc, align); };
  return d;
}

CommandDef InsertDef(const char16_t* name, DWORD id) {
  CommandDef d;
  d.Name = name;
  d.Id = id;
  d.Enabled = Always;
  d.Run = [id](Document& doc, const Call& call) {
    WideString text;
    const HRESULT hr = TextArg(call, &text, false);
    if (FAILED(hr)) return hr;
    return InsertElement(doc, id, text);
  };
  return d;
}

// A view switch stored beside the document; a Boolean input (true when absent).
CommandDef Switch(DWORD id, bool ViewSwitches::*field) {
  CommandDef d;
  d.Id = id;
  d.Edits = false;
  d.Undoable = false;
  d.Enabled = Always;
  d.Latched = [field](Document& doc) { return GetViewSwitches(doc).*field; };
  d.Run = [field](Document& doc, const Call& call) {
    bool value = true, present = false;
    const HRESULT hr = ReadBoolArgument(call.In, &value, &present);
    if (FAILED(hr)) return hr;
    StateOf(doc).View.*field = present ? value : true;
    return S_OK;
  };
  return d;
}

// A command that opens one of the platform's dialogs and does nothing more.
CommandDef DialogDef(DWORD id, bool edits) {
  CommandDef d;
  d.Id = id;
  d.Edits = edits;
  d.Undoable = edits;
  d.Enabled = Always;
  d.Run = [id](Document&, const Call& call) {
    WideString text;
    bool present = false;
    ReadTextArgument(call.In, &text, &present);
    return Ask(id, call, text).Ok ? S_OK : OLECMDERR_E_CANCELED;
  };
  return d;
}

HRESULT ReadStreamBytes(IUnknown* unknown, std::string* bytes) {
  if (!unknown) return DISP_E_TYPEMISMATCH;
  ComPtr<IStream> stream;
  if (FAILED(ComPtr<IUnknown>(unknown).As(&stream))) return DISP_E_TYPEMISMATCH;
  char buffer[4096];
  // Header markup larger than this is not read further.
  while (bytes->size() < (1u << 20)) {
    ULONG read = 0;
    if (FAILED(stream->Read(buffer, sizeof buffer, &read)) || read == 0) break;
    bytes->append(buffer, read);
  }
  return S_OK;
}

HRESULT PrintCommand(Document& document, const Call& call) {
  DialogRequest request;
  request.Command = IDM_PRINT;
  request.Option = call.Option;
  const VARIANT* in = call.In;
  if (in && in->vt != VT_EMPTY && !(in->vt == VT_ERROR && in->scode == DISP_E_PARAMNOTFOUND)) {
    SAFEARRAY* array = nullptr;
    const HRESULT read = ReadVariantArray(in, &array);
    if (FAILED(read)) return read;
    LONG low = 0, high = -1;
    SafeArrayGetLBound(array, 1, &low);
    SafeArrayGetUBound(array, 1, &high);
    for (LONG i = low; i <= high && i - low < 3; ++i) {
      OleVariant item;
      if (FAILED(SafeArrayGetElement(array, &i, &item))) return E_INVALIDARG;
      if (i - low < 2) {
        if (item.vt != VT_BSTR && item.vt != VT_EMPTY) return DISP_E_TYPEMISMATCH;
        request.PrintTexts.push_back(item.vt == VT_BSTR ? BstrToWide(item.bstrVal) : WideString());
      } else {
        if (item.vt != VT_UNKNOWN && item.vt != VT_DISPATCH) return DISP_E_TYPEMISMATCH;
        const HRESULT hr = ReadStreamBytes(item.punkVal, &request.PrintHeaderHtml);
        if (FAILED(hr)) return hr;
        request.HasPrintStream = true;
      }
    }
  }
  if (call.Option == OLECMDEXECOPT_DONTPROMPTUSER) {
    RecordSilentRequest(request);
  } else if (!AskDialog(request).Ok) {
    return OLECMDERR_E_CANCELED;
  }
  return PrintDocument(document, request);
}

std::vector<CommandDef> BuildTable() {
  std::vector<CommandDef> t;
  t.push_back(Format(u"Bold", IDM_BOLD, InlineFormat::Bold));
  t.push_back(Format(nullptr, IDM_TRISTATEBOLD, InlineFormat::Bold, true));
  t.push_back(Format(u"Italic", IDM_ITALIC, InlineFormat::Italic));
  t.push_back(Format(nullptr, IDM_TRISTATEITALIC, InlineFormat::Italic, true));
  t.push_back(Format(u"Underline", IDM_UNDERLINE, InlineFormat::Underline));
  t.push_back(Format(nullptr, IDM_TRISTATEUNDERLINE, InlineFormat::Underline, true));
  t.push_back(Format(u"StrikeThrough", IDM_STRIKETHROUGH, InlineFormat::Strike));
  t.push_back(Format(u"SubScript", IDM_SUBSCRIPT, InlineFormat::Sub));
  t.push_back(Format(u"SuperScript", IDM_SUPERSCRIPT, InlineFormat::Sup));
  t.push_back(Font(u"ForeColor", u"color"));
  t.push_back(Font(u"BackColor", u"background-color"));
  t.push_back(Font(u"FontName", u"face"));
  t.push_back(Font(u"FontSize", u"size"));
  {
    CommandDef d;
    d.Name = u"RemoveFormat";
    d.Enabled = [](Document& doc) { return !SelectionIsEmpty(doc); };
    d.Run = [](Document& doc, const Call&) { return RemoveFormat(doc); };
    t.push_back(d);
  }
  t.push_back(JustifyDef(u"JustifyLeft", IDM_JUSTIFYLEFT, u"left"));
  t.push_back(JustifyDef(u"JustifyCenter", IDM_JUSTIFYCENTER, u"center"));
  t.push_back(JustifyDef(u"JustifyRight", IDM_JUSTIFYRIGHT, u"right"));
  t.push_back(JustifyDef(u"JustifyFull", IDM_JUSTIFYFULL, u"justify"));
  t.push_back(JustifyDef(u"JustifyNone", IDM_JUSTIFYNONE, u""));
  {
    CommandDef d;
    d.Name = u"FormatBlock";
    d.Enabled = Always;
    d.Run = [](Document& doc, const Call& call) {
      WideString name;
      const HRESULT hr = TextArg(call, &name, true);
      return FAILED(hr) ? hr : FormatBlock(doc, name);
    };
    d.Value = [](Document& doc, VARIANT* out) {
      VariantClear(out);
      out->vt = VT_BSTR;
      out->bstrVal = WideToBstr(BlockFormatValue(doc));
      return S_OK;
    };
    t.push_back(d);
  }
  {
    CommandDef d;
    d.Id = IDM_GETBLOCKFMTS;
    d.Edits = false;
    d.Undoable = false;
    d.Enabled = Always;
    d.Run = [](Document&, const Call& call) {
      if (!call.Out) return E_INVALIDARG;
      const auto& names = BlockFormatNames();
      SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(names.size()));
      if (!array) return E_OUTOFMEMORY;
      for (LONG i = 0; i < static_cast<LONG>(names.size()); ++i) {
        BSTR s = WideToBstr(names[static_cast<size_t>(i)]);
        SafeArrayPutElement(array, &i, &s);
        SysFreeString(s);
      }
      VariantClear(call.Out);
      call.Out->vt = VT_ARRAY | VT_BSTR;
      call.Out->parray = array;
      return S_OK;
    };
    t.push_back(d);
  }
  for (bool ordered : {true, false}) {
    CommandDef d;
    d.Name = ordered ? u"InsertOrderedList" : u"InsertUnorderedList";
    d.Enabled = Always;
    d.Latched = [ordered](Document& doc) { return ListState(doc) == (ordered ? 1 : 2); };
    d.Run = [ordered](Document& doc, const Call&) { return ToggleList(doc, ordered); };
    t.push_back(d);
  }
  {
    CommandDef d;
    d.Name = u"Indent";
    d.Enabled = Always;
    d.Run = [](Document& doc, const Call&) { return Indent(doc); };
    t.push_back(d);
    d.Name = u"Outdent";
    d.Enabled = CanOutdent;
    d.Run = [](Document& doc, const Call&) { return Outdent(doc); };
    t.push_back(d);
  }
  {
    CommandDef d;
    d.Name = u"InsertParagraph";
    d.Id = IDM_PARAGRAPH;
    d.Enabled = Always;
    d.Run = [](Document& doc, const Call& call) {
      WideString id;
      const HRESULT hr = TextArg(call, &id, false);
      return FAILED(hr) ? hr : InsertParagraph(doc, id);
    };
    t.push_back(d);
  }
  for (bool rtl : {false, true}) {
    CommandDef d;
    d.Name = rtl ? u"DirRTL" : u"DirLTR";
    d.Enabled = Always;
    d.Latched = [rtl](Document& doc) {
      const Attribute* a = doc.GetBody() ? doc.GetBody()->FindAttribute(u"dir") : nullptr;
      return rtl ? (a && SameTextW(a->Value, u"rtl")) : !(a && SameTextW(a->Value, u"rtl"));
    };
    d.Run = [rtl](Document& doc, const Call&) { return SetDirection(doc, rtl ? u"rtl" : u"ltr"); };
    t.push_back(d);
  }
  {
    CommandDef d;
    d.Name = u"AbsolutePosition";
    d.Enabled = [](Document& doc) { return !SelectedControls(doc).empty(); };
    d.Latched = [](Document& doc) {
      const ElementList c = SelectedControls(doc);
      return !c.empty() && SameTextW(c.front()->GetStyle()->GetPropertyValue(u"position"), u"absolute");
    };
    d.Run = [](Document& doc, const Call&) { return ToggleAbsolutePosition(doc); };
    t.push_back(d);
  }
  t.push_back(InsertDef(u"InsertHorizontalRule", IDM_HORIZONTALLINE));
  for (DWORD id : {IDM_LINEBREAKNORMAL, IDM_LINEBREAKLEFT, IDM_LINEBREAKRIGHT, IDM_LINEBREAKBOTH, IDM_NONBREAK,
                   IDM_IFRAME, IDM_TEXTBOX, IDM_TEXTAREA, IDM_CHECKBOX, IDM_RADIOBUTTON, IDM_DROPDOWNBOX, IDM_LISTBOX,
                   IDM_BUTTON, IDM_DIVISION, IDM_MARQUEE})
    t.push_back(InsertDef(nullptr, id));
  {
    CommandDef d;
    d.Name = u"InsertImage";
    d.Id = IDM_IMAGE;
    d.Enabled = Always;
    d.Run = [](Document& doc, const Call& call) {
      WideString src;
      const HRESULT hr = TextArg(call, &src, false);
      if (FAILED(hr)) return hr;
      if (call.Prompt) {
        const DialogAnswer a = Ask(IDM_IMAGE, call, src);
        if (!a.Ok) return OLECMDERR_E_CANCELED;
        src = a.Value;
      }
      if (src.empty()) return E_INVALIDARG;
      return InsertImage(doc, src);
    };
    t.push_back(d);
  }
  for (bool byName : {true, false}) {
    CommandDef d;
    // By name it links the selection, or puts the address at a caret; the dialog by
    // number needs something to link, or a link to change.
    d.Name = byName ? u"CreateLink" : nullptr;
    d.Id = byName ? DWORD{0} : DWORD{IDM_HYPERLINK};
    d.Enabled = byName ? std::function<bool(Document&)>(Always)
                       : [](Document& doc) { return !SelectionIsEmpty(doc) || SelectionInLink(doc); };
    d.Run = [](Document& doc, const Call& call) {
      WideString href;
      const HRESULT hr = TextArg(call, &href, false);
      if (FAILED(hr)) return hr;
      if (call.Prompt) {
        const DialogAnswer a = Ask(IDM_HYPERLINK, call, href);
        if (!a.Ok) return OLECMDERR_E_CANCELED;
        href = a.Value;
      }
      return CreateLink(doc, href);
    };
    t.push_back(d);
  }
  {
    CommandDef d;
    d.Name = u"Unlink";
    d.Enabled = SelectionInLink;
    d.Run = [](Document& doc, const Call&) { return Unlink(doc); };
    t.push_back(d);
  }
  {
    CommandDef d;
    d.Name = u"Copy";
    d.Edits = false;
    d.Undoable = false;
    d.Enabled = [](Document& doc) { return !SelectionIsEmpty(doc); };
    d.Run = [](Document& doc, const Call&) { return CopySelection(doc); };
    t.push_back(d);
    d.Name = u"Cut";
    d.Edits = true;
    d.Undoable = true;
    d.Run = [](Document& doc, const Call&) {
      const HRESULT hr = CopySelection(doc);
      return FAILED(hr) ? hr : DeleteSelection(doc, false);
    };
    t.push_back(d);
    d.Name = u"Paste";
    d.Enabled = [](Document& doc) { return SelectionRange(doc) != nullptr && ClipboardHasFragment(); };
    d.Run = [](Document& doc, const Call&) { return Paste(doc); };
    t.push_back(d);
    d.Name = u"Delete";
    d.Enabled = [](Document& doc) { return SelectionRange(doc) != nullptr; };
    d.Run = [](Document& doc, const Call&) { return DeleteSelection(doc, false); };
    t.push_back(d);
    d.Name = nullptr;
    d.Id = IDM_DELETEWORD;
    d.Run = [](Document& doc, const Call&) { return DeleteSelection(doc, true); };
    t.push_back(d);
  }
  {
    CommandDef d;
    d.Name = u"SelectAll";
    d.Id = IDM_SELECTALL;
    d.Edits = false;
    d.Undoable = false;
    d.Enabled = [](Document& doc) { return doc.GetBody() != nullptr; };
    d.Run = [](Document& doc, const Call&) {
      SelectUnits(doc, 0, TextRange(doc.GetBody()).GetUnitCount());
      return S_OK;
    };
    t.push_back(d);
    d.Name = u"Unselect";
    d.Id = 0;
    d.Run = [](Document& doc, const Call&) {
      auto range = SelectionRange(doc);
      SelectUnits(doc, range->GetStart(), range->GetStart());
      return S_OK;
    };
    t.push_back(d);
  }
  {
    CommandDef d;
    d.Name = u"Undo";
    d.Id = IDM_UNDO;
    d.Undoable = false;
    d.Enabled = CanUndo;
    d.Run = [](Document& doc, const Call&) { return Undo(doc) ? S_OK : OLECMDERR_E_DISABLED; };
    t.push_back(d);
    d.Name = u"Redo";
    d.Id = IDM_REDO;
    d.Enabled = CanRedo;
    d.Run = [](Document& doc, const Call&) { return Redo(doc) ? S_OK : OLECMDERR_E_DISABLED; };
    t.push_back(d);
  }
  {
    CommandDef d;
    d.Name = u"Overwrite";
    d.Id = IDM_OVERWRITE;
    d.Undoable = false;
    d.Enabled = Always;
    d.Latched = IsOverwriteMode;
    d.Run = [](Document& doc, const Call& call) {
      bool value = false, present = false;
      const HRESULT hr = ReadBoolArgument(call.In, &value, &present);
      if (FAILED(hr)) return hr;
      EditState& state = StateOf(doc);
      state.Overwrite = present ? value : !state.Overwrite;
      return S_OK;
    };
    t.push_back(d);
  }
  {
    CommandDef d;
    d.Id = IDM_SETDIRTY;
    d.Edits = false;
    d.Undoable = false;
    d.Enabled = Always;
    d.Latched = IsModified;
    d.Run = [](Document& doc, const Call& call) {
      bool value = false, present = false;
      const HRESULT hr = ReadBoolArgument(call.In, &value, &present);
      if (FAILED(hr)) return hr;
      if (!present) return E_INVALIDARG;
      SetModified(doc, value);
      return S_OK;
    };
    t.push_back(d);
  }
  t.push_back(Switch(IDM_SHOWCOMMENTGLYPHS, &ViewSwitches::ShowCommentGlyphs));
  t.push_back(Switch(IDM_SHOWLINEBREAKGLYPHS, &ViewSwitches::ShowLineBreakGlyphs));
  t.push_back(Switch(IDM_SHOWGLYPHS, &ViewSwitches::ShowGlyphs));
  t.push_back(Switch(IDM_SHOWZEROBORDERS, &ViewSwitches::ShowZeroBorders));
  t.push_back(Switch(IDM_OVERRIDECURSOR, &ViewSwitches::CursorOverridden));
  {
    CommandDef d;
    d.Edits = false;
    d.Undoable = false;
    d.Enabled = Always;
    d.Id = IDM_EMPTYGLYPHTABLE;
    d.Run = [](Document& doc, const Call&) {
      StateOf(doc).View.GlyphTable.clear();
      StateOf(doc).View.GlyphTableWritten = true;
      return S_OK;
    };
    t.push_back(d);
    d.Id = IDM_REPLACEGLYPHTABLE;
    d.Run = [](Document& doc, const Call& call) {
      WideString text;
      const HRESULT hr = TextArg(call, &text, true);
      if (FAILED(hr)) return hr;
      StateOf(doc).View.GlyphTable = text;
      StateOf(doc).View.GlyphTableWritten = true;
      return S_OK;
    };
    t.push_back(d);
    for (DWORD id = IDM_BASELINEFONT1; id <= IDM_BASELINEFONT5; ++id) {
      d.Id = id;
      const int size = static_cast<int>(id - IDM_BASELINEFONT1);
      d.Latched = [size](Document& doc) { return GetViewSwitches(doc).TextSize == size; };
      d.Run = [size](Document& doc, const Call&) {
        StateOf(doc).View.TextSize = size;
        return S_OK;
      };
      t.push_back(d);
    }
    d.Latched = nullptr;
    // Stopping a load is the component's; the document has nothing to stop.
    d.Name = u"Stop";
    d.Id = IDM_STOP;
    d.Run = [](Document&, const Call&) { return S_OK; };
    t.push_back(d);
  }
  // The platform's dialogs.
  t.push_back(DialogDef(IDM_INSERTOBJECT, true));
  t.push_back(DialogDef(IDM_PROPERTIES, false));
  t.push_back(DialogDef(IDM_PRINTPREVIEW, false));
  t.push_back(DialogDef(IDM_PAGESETUP, false));
  t.push_back(DialogDef(IDM_ABOUTBOX, false));
  {
    CommandDef d;
    d.Id = IDM_PRINT;
    d.Edits = false;
    d.Undoable = false;
    d.Enabled = Always;
    d.Run = PrintCommand;
    t.push_back(d);
  }
  {
    CommandDef d = DialogDef(IDM_FIND, false);
    // An answer with a text searches for it from the selection on and selects it.
    d.Run = [](Document& doc, const Call& call) {
      const DialogAnswer a = Ask(IDM_FIND, call);
      if (!a.Ok) return OLECMDERR_E_CANCELED;
      if (a.Value.empty()) return S_OK;
      auto range = SelectionRange(doc);
      if (!range) return E_FAIL;
      range->SetRange(range->GetEnd(), range->GetUnitCount());
      if (range->FindText(a.Value)) doc.GetSelection()->Select(*range);
      return S_OK;
    };
    t.push_back(d);
  }
  {
    CommandDef d = DialogDef(IDM_FONT, true);
    // An answer with a name puts that font on the selection.
    d.Run = [](Document& doc, const Call& call) {
      const DialogAnswer a = Ask(IDM_FONT, call);
      if (!a.Ok) return OLECMDERR_E_CANCELED;
      if (a.Value.empty()) return S_OK;
      OleVariant name(a.Value);
      return ApplyFont(doc, u"face", &name);
    };
    t.push_back(d);
  }
  {
    CommandDef d = DialogDef(IDM_SAVEPICTURE, false);
    d.Enabled = [](Document& doc) {
      const ElementList c = SelectedControls(doc);
      return c.size() == 1 && c.front()->GetTagId() == TAGID_IMG;
    };
    d.Run = [](Document& doc, const Call& call) {
      const ElementList c = SelectedControls(doc);
      DialogRequest request;
      request.Command = IDM_SAVEPICTURE;
      request.Option = call.Option;
      request.ElementTag = c.front()->GetTagName();
      request.ElementSrc = c.front()->GetAttribute(u"src").value_or(WideString());
      return AskDialog(request).Ok ? S_OK : OLECMDERR_E_CANCELED;
    };
    t.push_back(d);
  }
  // The editing component's table commands.
  for (DWORD id = DECMD_INSERTROW; id <= DECMD_INSERTTABLE; ++id) {
    CommandDef d;
    d.Id = id;
    d.Component = true;
    d.Enabled = [id](Document& doc) { return TableCommandEnabled(doc, id); };
    d.Run = [id](Document& doc, const Call& call) { return TableCommand(doc, id, call.In); };
    t.push_back(d);
  }
  return t;
}

const std::vector<CommandDef>& Table() {
  static const std::vector<CommandDef> table = BuildTable();
  return table;
}

// The command of a group by number: null when the group holds none; *knownGroup
// false for a group other than the two.
const CommandDef* FindById(const GUID* group, DWORD id, bool* knownGroup) {
  const bool component = group && *group == CGID_DHTMLEDIT;
  *knownGroup = !group || *group == CGID_MSHTML || component;
  if (!*knownGroup || id == 0) return nullptr;
  for (const CommandDef& d : Table())
    if (d.Id == id && d.Component == component) return &d;
  return nullptr;
}

const CommandDef* FindByName(const WideString& name) {
  for (const CommandDef& d : Table())
    if (d.Name && SameTextW(name, d.Name)) return &d;
  return nullptr;
}

bool IsEnabled(Document& document, const CommandDef& d) {
  try {
    // Edits need a body to edit (a document before its first load has none).
    if (d.Edits && (!IsEditMode(document) || !document.GetBody())) return false;
    return d.Enabled(document);
  } catch (const EOleSysError&) {
    return false;
  }
}

DWORD Flags(Document& document, const CommandDef& d) {
  if (d.Id)
    if (const std::optional<DWORD> forced = ForcedFlags(d.Id)) return *forced;
  DWORD flags = OLECMDF_SUPPORTED;
  try {
    if (IsEnabled(document, d)) flags |= OLECMDF_ENABLED;
    if (d.Latched && d.Latched(document)) flags |= OLECMDF_LATCHED;
    if (d.Ninched && d.Ninched(document)) flags |= OLECMDF_NINCHED;
  } catch (const EOleSysError&) {
  }
  return flags;
}

HRESULT Run(Document& document, const CommandDef& d, const Call& call, const WideString& name) {
  HRESULT result;
  if (const std::optional<HRESULT> forced = d.Id ? ForcedFailure(d.Id) : std::nullopt) {
    result = *forced;
  } else if (!IsEnabled(document, d)) {
    result = OLECMDERR_E_DISABLED;
  } else {
    try {
      if (d.Undoable) {
        UndoUnit unit(document, d.Name ? WideString(d.Name) : name.empty() ? WideString(u"Edit") : name);
        result = d.Run(document, call);
      } else {
        result = d.Run(document, call);
      }
    } catch (const EOleSysError& e) {
      result = e.ErrorCode;
    } catch (const std::exception&) {
      result = E_FAIL;
    }
  }
  RecordExec(d.Component, d.Id, d.Name ? WideString(d.Name) : name, call.Option, call.In, result);
  return result;
}

// The undo names of commands known by number only.
WideString NameOfId(DWORD id) {
  switch (id) {
    case DECMD_INSERTROW: return u"Insert Row";
    case DECMD_INSERTCOL: return u"Insert Column";
    case DECMD_DELETEROWS: return u"Delete Rows";
    case DECMD_DELETECOLS: return u"Delete Columns";
    case DECMD_MERGECELLS: return u"Merge Cells";
    case DECMD_SPLITCELL: return u"Split Cell";
    case DECMD_INSERTCELL: return u"Insert Cell";
    case DECMD_DELETECELLS: return u"Delete Cells";
    case DECMD_INSERTTABLE: return u"Insert Table";
    case IDM_DELETEWORD: return u"Delete";
    default: return u"Insert";
  }
}

}  // namespace

HRESULT QueryStatus(Document& document, const GUID* group, ULONG count, OLECMD* commands, OLECMDTEXT* text) {
  if (count > 0 && !commands) return E_POINTER;
  bool knownGroup = true;
  FindById(group, 0, &knownGroup);
  if (!knownGroup) return OLECMDERR_E_UNKNOWNGROUP;
  for (ULONG i = 0; i < count; ++i) {
    const CommandDef* d = FindById(group, commands[i].cmdID, &knownGroup);
    commands[i].cmdf = d ? Flags(document, *d) : 0;
  }
  if (text) {
    WideString name;
    if (count > 0 && (text->cmdtextf & OLECMDTEXTF_NAME)) {
      if (commands[0].cmdID == IDM_UNDO && (!group || *group == CGID_MSHTML)) name = UndoText(document);
      if (commands[0].cmdID == IDM_REDO && (!group || *group == CGID_MSHTML)) name = RedoText(document);
    }
    const ULONG room = text->cwBuf > 0 ? text->cwBuf - 1 : 0;
    const ULONG n = std::min<ULONG>(room, static_cast<ULONG>(name.size()));
    if (text->cwBuf > 0) {
      std::copy_n(name.data(), n, text->rgwz);
      text->rgwz[n] = 0;
    }
    text->cwActual = n;
  }
  return S_OK;
}

DWORD CommandFlags(Document& document, const GUID* group, DWORD id) {
  OLECMD command{id, 0};
  return SUCCEEDED(QueryStatus(document, group, 1, &command, nullptr)) ? command.cmdf : 0;
}

HRESULT Exec(Document& document, const GUID* group, DWORD id, DWORD option, const VARIANT* in, VARIANT* out) {
  bool knownGroup = true;
  const CommandDef* d = FindById(group, id, &knownGroup);
  if (!knownGroup) return OLECMDERR_E_UNKNOWNGROUP;
  if (!d) return OLECMDERR_E_NOTSUPPORTED;
  Call call;
  call.Option = option;
  call.In = in;
  call.Out = out;
  call.Prompt = option != OLECMDEXECOPT_DONTPROMPTUSER;
  return Run(document, *d, call, NameOfId(id));
}

HRESULT ExecOnControls(Document& document, const ElementList& controls, DWORD id, DWORD option, const VARIANT* in,
                       VARIANT* out) {
  if (controls.empty()) return E_INVALIDARG;
  Selection* selection = document.GetSelection();
  const ElementList heldControls = selection->GetControls();
  auto heldRange = selection->CreateRange();
  selection->SelectControls(controls);
  const HRESULT hr = Exec(document, &CGID_MSHTML, id, option, in, out);
  if (!heldControls.empty())
    selection->SelectControls(heldControls);
  else if (heldRange)
    selection->Select(*heldRange);
  else
    selection->Empty();
  return hr;
}

bool QueryCommandSupported(Document&, const WideString& name) { return FindByName(name) != nullptr; }

HRESULT QueryCommandEnabled(Document& document, const WideString& name, bool* enabled) {
  if (!enabled) return E_POINTER;
  *enabled = false;
  const CommandDef* d = FindByName(name);
  if (!d) return OLECMDERR_E_NOTSUPPORTED;
  *enabled = (Flags(document, *d) & OLECMDF_ENABLED) != 0;
  return S_OK;
}

HRESULT QueryCommandState(Document& document, const WideString& name, bool* state) {
  if (!state) return E_POINTER;
  *state = false;
  const CommandDef* d = FindByName(name);
  if (!d) return OLECMDERR_E_NOTSUPPORTED;
  *state = (Flags(document, *d) & OLECMDF_LATCHED) != 0;
  return S_OK;
}

HRESULT QueryCommandValue(Document& document, const WideString& name, VARIANT* value) {
  if (!value) return E_POINTER;
  const CommandDef* d = FindByName(name);
  if (!d) return OLECMDERR_E_NOTSUPPORTED;
  try {
    if (d->Value) return d->Value(document, value);
  } catch (const EOleSysError& e) {
    return e.ErrorCode;
  }
  return BoolValue(value, (Flags(document, *d) & OLECMDF_LATCHED) != 0);
}

HRESULT ExecCommand(Document& document, const WideString& name, bool showUI, const VARIANT* value, bool* done) {
  if (done) *done = false;
  const CommandDef* d = FindByName(name);
  if (!d) return OLECMDERR_E_NOTSUPPORTED;
  Call call;
  call.Option = showUI ? OLECMDEXECOPT_PROMPTUSER : OLECMDEXECOPT_DONTPROMPTUSER;
  call.In = value;
  call.Prompt = showUI;
  const HRESULT hr = Run(document, *d, call, name);
  if (hr == OLECMDERR_E_DISABLED || hr == OLECMDERR_E_CANCELED) return S_OK;
  if (done) *done = SUCCEEDED(hr);
  return hr;
}

}  // namespace mshtml
