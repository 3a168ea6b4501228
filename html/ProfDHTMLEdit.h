// The HTML display and editing control. TCustomProfDHTMLEdit gives the program one
// interface whatever engine it hosts: it loads documents from text, addresses and
// files and waits (bounded by Timeout) until the engine has finished, reads the
// document back as source, gives access to the document (title, style sheets, the
// link under the mouse, the selection as text), turns the engine's mouse and key
// events into the framework's messages, tracks table borders for resizing and
// reports every edit through OnChange. TProfDHTMLEdit hosts the editing component
// (platform/mshtml) through the control site of OleControl.h.
//
// Operations never raise to their caller: without an available document (a load
// pending, the engine busy, no first document yet) getters answer empty text, -1 or
// false and setters do nothing. Only loads report errors, in a message box.
#pragma once

#include <array>
#include <memory>

#include "html/OleControl.h"
#include "html/ProfDHTMLEditTableAttrs.h"
#include "html/SourceFormatter.h"
#include "platform/mshtml/EditComponent.h"
#include "platform/rtl/Lists.h"

// Why a load was started; the completion handler acts on it.
enum class TProfDHTMLEditDocumentCompleteReason : Byte {
  dcrUndefined, dcrCreate, dcrCreate2, dcrTimeout, dcrSetSource, dcrSetSource2, dcrSetSource3,
  dcrNewDocument, dcrNewDocument2, dcrLoadURL, dcrLoadURL2, dcrLoadFromFile, dcrLoadFromFile2,
  dcrOpenDialog, dcrOpenDialog2, dcrStop, dcrSetBaseURL, dcrClearUndo, dcrClearUndo2
};
using enum TProfDHTMLEditDocumentCompleteReason;

enum class TTextSize : Byte { TextSizeSmallest, TextSizeSmaller, TextSizeMedium, TextSizeLarger, TextSizeLargest };
using enum TTextSize;

class TCustomProfDHTMLEdit;
using TProfDHTMLEditPrivateMethod = void (TCustomProfDHTMLEdit::*)(const WideString& param);

// The engine's document as the control holds it.
using THtmlDocument = ComPtr<mshtml::IHTMLDocument2>;

// Hears the document's change log and raises the owner's OnChange.
class TProfDHTMLEditChangeSink final : public ComObject<mshtml::IHTMLChangeSink> {
 public:
  explicit TProfDHTMLEditChangeSink(TCustomProfDHTMLEdit* owner) : owner_(owner) {}
  HRESULT Notify() override;
  void Detach() noexcept { owner_ = nullptr; }

 private:
  TCustomProfDHTMLEdit* owner_;
  bool inside_ = false;
};

class TCustomProfDHTMLEdit : public TProfOleControl {
 public:
  LARK_CLASS_NAME(TCustomProfDHTMLEdit)
  explicit TCustomProfDHTMLEdit(TComponent* owner);
  ~TCustomProfDHTMLEdit() override;

  // --- Update lock
  Integer BeginUpdate();
  Integer EndUpdate();
  Integer GetUpdateCount() const noexcept { return FUpdateCount; }

  // --- Loading
  double GetTimeout() const noexcept { return FTimeout; }
  // Values of 0 or less are ignored.
  void SetTimeout(double seconds);
  bool CallAndWait(const THtmlDocument& document, TProfDHTMLEditDocumentCompleteReason reason,
                   TProfDHTMLEditPrivateMethod method, const WideString& param);
  bool RaiseTimeout();
  WideString GetSource();
  void SetSource(const WideString& text);
  bool LoadURL(const WideString& url);
  bool LoadFromFile(const AnsiString& fileName);
  bool Stop();
  void SetBaseURL(const WideString& url);
  bool CanGetSource() { return CanGetDOM(); }
  bool CanSetSource() { return CanGetDOM(); }
  bool CanLoadURL() { return CanGetDOM(); }
  bool CanLoadFromFile() { return CanGetDOM(); }
  bool CanSetBaseURL() { return CanGetDOM(); }
  bool CanStop() const noexcept { return static_cast<bool>(FLoadingDocument); }
  bool UseSourceCodePreservation();
  TProfDHTMLEditDocumentCompleteReason GetReason() const noexcept { return FReason; }
  bool GetSourceLoaded() const noexcept { return FSourceLoaded; }

  // --- Source as the control writes it
  WideString GetHead();
  WideString GetBody();
  TSourceCodeOptions GetSourceCodeOptions() const noexcept { return FSourceCodeOptions; }
  void SetSourceCodeOptions(TSourceCodeOptions value) noexcept { FSourceCodeOptions = value; }
  // Element names written as others by the formatter: "original=replacement" lines.
  TStringList* GetTagsSubstitution() const noexcept { return FTagsSubstitution.get(); }
  bool GetUseBrOnCarriageReturn() const noexcept { return FUseBrOnCarriageReturn; }
  void SetUseBrOnCarriageReturn(bool value) noexcept { FUseBrOnCarriageReturn = value; }

  // --- Window, focus, painting, change notification
  HWND GetWindowHandle();
  bool Focused();
  void PaintTo(HDC dc, Integer x, Integer y);
  void CreateChangeLog();
  bool SetRTL();
  bool SetLTR();

  // --- Document access
  WideString GetTitle();
  void SetTitle(const WideString& text);
  bool GetModified();
  void SetModified(bool value);
  bool CanUndo();
  bool CanRedo();
  bool Undo();
  bool Redo();
  bool CanClearUndo();
  bool ClearUndo();
  bool CanSave() { return CanGetDOM(); }
  bool SaveToFile(const AnsiString& fileName);
  WideString GetPlainText();
  bool GetImages(TStrings* list);
  bool GetLinks(TStrings* list);
  bool CanAddCSS();
  bool AddCSS(const WideString& text);
  bool AddCSSFile(const AnsiString& name);
  WideString HrefAtPoint(Integer x, Integer y);
  WideString SrcAtPoint(Integer x, Integer y);
  bool IsEverythingSelected();
  void SaveBody();
  bool InsertHTML(const WideString& text);

  // --- Selection as text
  WideString GetSelText();
  void SetSelText(const WideString& text);
  Integer GetSelStart();
  void SetSelStart(Integer start);
  Integer GetSelLength();
  void SetSelLength(Integer length);

  // --- Document access, continued: the selected element, the selection as HTML,
  // undo names, lists, text size, colours and background (ProfDHTMLEdit_access.cpp)
  WideString GetObjectTag();
  WideString GetObjectHTML();
  void SetObjectHTML(const WideString& text);
  WideString GetObjectID();
  void SetObjectID(const WideString& text);
  WideString GetObjectName();
  void SetObjectName(const WideString& text);
  WideString GetObjectClass();
  void SetObjectClass(const WideString& text);
  WideString GetObjectStyle();
  void SetObjectStyle(const WideString& text);
  // The selected element's client width and height; (-1, -1) when there is none.
  TPoint GetObjectSize();
  WideString GetSelHTML();
  void SetSelHTML(const WideString& text) { InsertHTML(text); }
  bool CanInsertHTML();
  WideString UndoHint();
  WideString RedoHint();
  void SetPlainText(const WideString& text);
  bool GetAnchors(TStrings* list);
  bool GetParagraphStyles(TStrings* list);
  bool GetStyleClasses(TStrings* list);
  bool CanAddCSSFile() { return CanAddCSS(); }
  // The text size the user chose for pages (the registry); Medium when none.
  TTextSize GetTextSize();
  bool CanSetTextSize() { return CanGetDOM(); }
  // The engine's view size; GetTextSize keeps reading the user's choice.
  void SetTextSize(TTextSize size);
  TColor GetBgColor();
  void SetBgColor(TColor color);
  TColor GetTextColor();
  void SetTextColor(TColor color);
  TColor GetLinkColor();
  void SetLinkColor(TColor color);
  TColor GetVLinkColor();
  void SetVLinkColor(TColor color);
  TColor GetALinkColor();
  void SetALinkColor(TColor color);
  AnsiString GetBackground();
  void SetBackground(const AnsiString& address);

  // --- Selection as text, continued (ProfDHTMLEdit_selection.cpp)
  // The document's text one engine character at a time, as an edit box holds it.
  WideString GetPlainTextEx();
  // The caret in the document window's client coordinates; (-1, -1) without one.
  TPoint GetCaretPos();
  // True while typing inserts (false: it overwrites).
  bool GetInsertMode();
  void SetInsertMode(bool value);
  bool DeleteWord();

  // --- Open and save dialogs (ProfDHTMLEdit_dialogs.cpp): the file chosen or saved
  bool CanDisplayOpenDialog() { return CanGetDOM(); }
  bool CanDisplaySaveDialog() { return CanGetDOM(); }
  virtual AnsiString OpenDialog(const AnsiString& initialDir) = 0;
  virtual AnsiString SaveDialog(const AnsiString& initialDir) = 0;

  // --- Engine events that do nothing here
  void BlurHandler(TObject*) {}
  void ClickHandler(TObject*) {}

  // --- Event layer (engine events to framework messages)
  void KeyDownHandler(TObject* sender);
  bool CloseParagraph();
  void KeyUpHandler(TObject* sender);
  void KeyPressHandler(TObject* sender);
  void MouseDownHandler(TObject* sender);
  void MouseMoveHandler(TObject* sender);
  void MouseUpHandler(TObject* sender);
  void DblClickHandler(TObject* sender);
  void MouseOverHandler(TObject* sender);
  void MouseOutHandler(TObject* sender);
  void DisplayChangedHandler(TObject* sender);

  // --- Table-border tracking and dragging
  Byte GetTableMouseLocation(mshtml::EventObject* event);
  void SetTableCursor(TCursor value);
  bool GetResizeCursor() const noexcept { return FResizeCursor; }
  bool GetDragging() const noexcept { return FDragging; }

  // --- Editing commands, tables, find and print -------------------------------------
  // Each asks for the document first and answers its not-ready value without one
  // (false, empty text, -1, clNone); engine failures are caught and answer the same.
  // Clipboard, character formats, colours, fonts, dialogs (ProfDHTMLEdit_commands.cpp)
  bool SelectAll();
  bool CanSelectAll();
  bool CopyToClipboard();
  bool CanCopy();
  bool CutToClipboard();
  bool CanCut();
  bool PasteFromClipboard();
  bool CanPaste();
  bool ClearSelection();
  bool CanClearSelection();
  bool RemoveFormat();
  bool CanRemoveFormat();
  bool ToggleAbsolutePositioning();
  bool CanToggleAbsolutePositioning();
  bool ToggleBold(bool UseExecCommand);
  bool CanToggleBold(bool UseExecCommand);
  bool ToggleItalic(bool UseExecCommand);
  bool CanToggleItalic(bool UseExecCommand);
  bool ToggleUnderline(bool UseExecCommand);
  bool CanToggleUnderline(bool UseExecCommand);
  bool ToggleStrikeOut(bool UseExecCommand);
  bool CanToggleStrikeOut(bool UseExecCommand);
  bool ToggleSubScript();
  bool CanToggleSubScript();
  bool ToggleSuperScript();
  bool CanToggleSuperScript();
  bool GetTRISTATE(const WideString& Command, DWORD ValueID, DWORD TriStateID);
  bool GetBold();
  bool GetItalic();
  bool GetUnderline();
  bool GetStrikeOut();
  bool GetSubScript();
  bool GetSuperScript();
  // The toggling setters: toggle while the state differs and the toggle is offered,
  // at most twice, and stop as soon as a toggle leaves the state as it was.
  void SetBold(bool Value);
  void SetItalic(bool Value);
  void SetUnderline(bool Value);
  void SetStrikeOut(bool Value);
  void SetSubScript(bool Value);
  void SetSuperScript(bool Value);
  void SetForeColor(TColor Color);
  void SetBackColor(TColor Color);
  bool CanSetForeColor();
  bool CanSetBackColor();
  TColor GetForeColor();
  TColor GetBackColor();
  void SetFontName(const WideString& Name);
  WideString GetFontName();
  bool CanSetFontName();
  void SetFontHTMLSize(THTMLFontSize Size);
  THTMLFontSize GetFontHTMLSize();
  bool CanSetFontHTMLSize();
  bool FontDialog();
  bool CanDisplayFontDialog();
  bool HyperlinkDialog();
  bool CanDisplayHyperlinkDialog();
  bool RemoveHyperlink();
  bool CanRemoveHyperlink();
  bool PropertiesDialog();
  bool CanDisplayPropertiesDialog();
  bool ShowAboutBox();
  bool ShowEditMenu(Integer X, Integer Y);
  // Lists, paragraph styles, indentation, alignment, margins (ProfDHTMLEdit_paragraphs.cpp)
  bool GetBullets();
  bool GetNumbering();
  bool CanToggleBullets();
  bool CanToggleNumbering();
  bool ToggleList(bool Numbered);
  bool ToggleBullets() { return ToggleList(false); }
  bool ToggleNumbering() { return ToggleList(true); }
  void SetBullets(bool Value);
  void SetNumbering(bool Value);
  WideString GetParagraphStyle();
  bool CanSetParagraphStyle();
  void SetParagraphStyle(const WideString& Style);
  bool IsNormalStyle();
  bool IncreaseIndentation();
  bool CanIncreaseIndentation();
  bool DecreaseIndentation();
  bool CanDecreaseIndentation();
  void SetJustify(TJustify Value);
  TJustify GetJustify();
  bool CanJustifyNone();
  bool CanJustifyLeft();
  bool CanJustifyCenter();
  bool CanJustifyRight();
  bool CanJustifyFull();
  Integer GetTextIndent();
  void SetTextIndent(Integer Value);
  Integer GetLeftMargin();
  void SetLeftMargin(Integer Value);
  Integer GetRightMargin();
  void SetRightMargin(Integer Value);
  void RepairDiv();
  void RepairBr();
  void RemoveParagraph();
  void CreateTempParagraph();
  // Inserts and images (ProfDHTMLEdit_inserts.cpp)
  bool InsertHorizontalLine(const WideString& Id);
  bool CanInsertHorizontalLine();
  bool InsertTextBox(const WideString& Id);
  bool CanInsertTextBox();
  bool InsertTextArea(const WideString& Id);
  bool CanInsertTextArea();
  bool InsertCheckBox(const WideString& Id);
  bool CanInsertCheckBox();
  bool InsertRadioButton(const WideString& Id);
  bool CanInsertRadioButton();
  bool InsertDropdownBox(const WideString& Id);
  bool CanInsertDropdownBox();
  bool InsertListBox(const WideString& Id);
  bool CanInsertListBox();
  bool InsertButton(const WideString& Id);
  bool CanInsertButton();
  bool InsertIframe(const WideString& Id);
  bool CanInsertIframe();
  bool InsertMarquee(const WideString& Id);
  bool CanInsertMarquee();
  bool InsertDivision(const WideString& Id);
  bool CanInsertDivision();
  bool InsertLineBreak(const WideString& Id, TClear Clear);
  bool CanInsertLineBreak(TClear Clear);
  bool InsertParagraph(const WideString& Id);
  bool CanInsertParagraph();
  bool InsertNoBreakSpace();
  bool CanInsertNoBreakSpace();
  bool InsertObjectDialog();
  bool CanDisplayInsertObjectDialog();
  bool InsertImage(const WideString& Src);
  bool CanInsertImage();
  bool PictureDialog();
  bool CanDisplayPictureDialog();
  // The text goes in as a comment; a "--" in it is written "- -" so it cannot end
  // the comment early.
  bool InsertComment(const WideString& Text);
  bool CanInsertComment();
  WideString GetImageSource();
  bool IsImageSelected();
  bool SavePictureDialog(Integer X, Integer Y);
  bool CanDisplaySavePictureDialog(Integer X, Integer Y);
  // Span and division classes, hyperlinks (ProfDHTMLEdit_classes.cpp)
  bool ApplySpanDivClass(bool IsSpan, const WideString& ClassName);
  bool RemoveSpanDivClass(bool IsSpan);
  bool ToggleSpanDivClass(bool IsSpan, const WideString& ClassName);
  bool ApplySpanClass(const WideString& ClassName) { return ApplySpanDivClass(true, ClassName); }
  bool RemoveSpanClass() { return RemoveSpanDivClass(true); }
  bool ToggleSpanClass(const WideString& ClassName) { return ToggleSpanDivClass(true, ClassName); }
  bool ApplyDivClass(const WideString& ClassName) { return ApplySpanDivClass(false, ClassName); }
  bool RemoveDivClass() { return RemoveSpanDivClass(false); }
  bool ToggleDivClass(const WideString& ClassName) { return ToggleSpanDivClass(false, ClassName); }
  bool IsHyperlinkSelected(WideString& Href, WideString& Target);
  bool CanCreateHyperlink();
  bool CreateHyperlink(const WideString& Href, const WideString& Target);
  bool ModifyHyperlink(const WideString& Href, const WideString& Target);
  // Table attributes and table commands (ProfDHTMLEdit_tableattrs.cpp). The table
  // commands below run the editing component's own table commands; a host that
  // edits tables itself overrides them.
  TProfDHTMLEditTableAttrs* GetTableAttrs() const noexcept { return FTableAttrs.get(); }
  TProfDHTMLEditTableCellAttrs* GetTableCellAttrs() const noexcept { return FTableCellAttrs.get(); }
  bool IsTableCellSelected();
  bool IsTableRangeSelected();
  bool SetTableAttrs(TProfDHTMLEditTableAttrs* Attrs);
  bool GetTableInfo(Integer& Rows, Integer& Cols, TProfDHTMLEditTableAttrs* Attrs, WideString& Caption);
  // Negative counts are refused before anything changes.
  bool AlterTable(Integer Rows, Integer Cols, const WideString& Caption);
  bool GetTableCellAttrs(TProfDHTMLEditTableCellAttrs* Attrs);
  bool SetTableCellAttrs(TProfDHTMLEditTableCellAttrs* Attrs);
  virtual bool InsertTable(Integer Rows, Integer Cols, const WideString& Caption);
  virtual bool CanInsertTable();
  virtual bool IsTableSelected();
  virtual bool TableInsertRow();
  virtual bool CanTableInsertRow();
  virtual bool TableDeleteRow();
  virtual bool CanTableDeleteRow();
  virtual bool TableInsertColumn();
  virtual bool CanTableInsertColumn();
  virtual bool TableDeleteColumn();
  virtual bool CanTableDeleteColumn();
  virtual bool TableInsertCell();
  virtual bool CanTableInsertCell();
  virtual bool TableDeleteCell();
  virtual bool CanTableDeleteCell();
  virtual bool TableSplitCell();
  virtual bool CanTableSplitCell();
  virtual bool TableMergeCells();
  virtual bool CanTableMergeCells();
  // Find and print (ProfDHTMLEdit_find.cpp)
  bool CanDisplayFindDialog();
  bool FindDialog();
  bool CanFind() { return CanGetDOM(); }
  bool Find(const WideString& Text, bool WholeWord, bool MatchCase);
  bool FindNext();
  bool CanPrint();
  bool CanDisplayPrintDialog() { return CanPrint(); }
  bool Print();
  bool PrintDialog();
  bool CanDisplayPrintPreviewDialog();
  bool PrintPreviewDialog();
  bool CanDisplayPageSetupDialog();
  bool PageSetupDialog();
  bool PrintWithHeaderAndFooter(const WideString& Header, const WideString& Footer, const AnsiString& HeaderHTML,
                                bool ShowPrintDialog);
  WideString GetFindText() const noexcept { return FFindText; }

 protected:
  std::unique_ptr<TProfDHTMLEditTableAttrs> FTableAttrs = std::make_unique<TProfDHTMLEditTableAttrs>();
  std::unique_ptr<TProfDHTMLEditTableCellAttrs> FTableCellAttrs = std::make_unique<TProfDHTMLEditTableCellAttrs>();
  WideString FFindText;
  bool FFindWholeWord = false, FFindMatchCase = false;
  bool RunComponentTableCommand(DWORD id);
  bool ComponentTableCommandEnabled(DWORD id);
  void CorrectCaretAfterInsert();

 public:

  // --- The operations each engine host fills in
  virtual void ReadyStateChangeHandler(TObject* sender) = 0;
  virtual void DoSetModified(bool value) = 0;
  virtual bool DoClearUndo(TProfDHTMLEditDocumentCompleteReason reason) = 0;
  virtual AnsiString GetAbout() = 0;
  virtual bool RuntimeBrowseMode() = 0;
  virtual bool RuntimeUseDivOnCarriageReturn() = 0;
  virtual bool RuntimeShowDetails() = 0;
  virtual bool RuntimeSourceCodePreservation() = 0;
  virtual void private_NewDocument(const WideString& param) = 0;
  virtual void private_LoadURL(const WideString& param) = 0;
  virtual void private_LoadFromFile(const WideString& param) = 0;
  virtual void private_SaveToFile(const WideString& param) = 0;
  virtual void private_SetBaseURL(const WideString& param) = 0;
  virtual void private_SetSource(const WideString& param) = 0;
  virtual bool GetBusy() = 0;
  virtual WideString GetFileName() = 0;
  virtual WideString GetBaseURL() = 0;
  virtual bool GetModifiedFlag() = 0;
  virtual WideString GetEngineTitle() = 0;
  virtual bool GetDOM(THtmlDocument& document) = 0;
  virtual WideString GetHTML() = 0;
  virtual THtmlDocument ReadDOM() = 0;
  virtual WideString MSSource() = 0;
  virtual bool CanGetDOM() = 0;
  virtual bool CanNewDocument() = 0;
  virtual bool NewDocument() = 0;
  void private_Stop(const WideString& param);

  // --- Events
  TNotifyEvent OnMouseEnter, OnMouseLeave, OnDisplayChanged, OnCreate, OnSetBaseURL, OnSetBrowseMode,
      OnNewDocument, OnLoadURL, OnStop, OnSetSource, OnClearUndo, OnOpenDialog, OnLoadFromFile, OnTimeout,
      OnOpenDialogCancel, OnChange;

 protected:
  friend class TProfDHTMLEditChangeSink;
  // The style the control adds to the site's once the site is made.
  void ApplyControlStyle();
  // Raises an event when assigned; an exception from its handler is dropped.
  void Raise(const TNotifyEvent& event);
  void WndProc(TMessage& message) override;
  // What the source formatter takes from the control.
  TSourceFormatContext FormatContext();
  // Waits until the pending reason is consumed or Timeout passes; false on expiry.
  bool WaitForReason();
  // One pass of the control's waits (the load's and the undo clearing's): handles
  // the messages that are pending. A host that must act inside the waits overrides it.
  virtual void WaitPass();
  // The program folder + name unless the name has a folder part.
  static AnsiString ResolvePath(const AnsiString& fileName);
  mshtml::EventObject* CurrentEvent(THtmlDocument& document);
  void TrackTableBorder(mshtml::EventObject* event);
  void DragTableBorder(mshtml::EventObject* event);
  void StartTableDrag(mshtml::EventObject* event);
  void EndTableDrag();
  bool SendMouse(UINT msg, mshtml::EventObject* event, WPARAM extra = 0);

  double FTimeout = 30.0;
  THtmlDocument FLoadingDocument;
  mshtml::Element* FResizeElement = nullptr;
  ComPtr<mshtml::IHTMLChangeLog> FChangeLog;
  WideString FSavedBody;
  ComPtr<TProfDHTMLEditChangeSink> FChangeSink;
  std::unique_ptr<TStringList> FTagsSubstitution;
  Integer FUpdateCount = 0;
  Integer FMouseColumn = 0, FDragColumn = 0, FCellColSpan = 0, FMouseRow = 0, FDragRow = 0, FCellRowSpan = 0;
  Word FLastKey = 0;
  TSourceCodeOptions FSourceCodeOptions = AllSourceCodeOptions;
  TProfDHTMLEditDocumentCompleteReason FReason = dcrCreate;
  Byte FSkipKeyDown = 0, FSkipKeyUp = 0;
  Byte FTableLocation = 0, FMouseLocation = 0;
  bool FUseBrOnCarriageReturn = false;
  bool FRepairDiv = false, FRepairBr = false;
  bool FResizeCursor = false, FDragging = false, FDraggingRow = false;
  bool FUseExecJustify = true, FUseExecStop = true, FUseExecParagraph = true;
  bool FSourceLoaded = false;
};

// The control that hosts the DHTML editing component.
class TProfDHTMLEdit : public TCustomProfDHTMLEdit {
 public:
  LARK_CLASS_NAME(TProfDHTMLEdit)
  explicit TProfDHTMLEdit(TComponent* owner);
  ~TProfDHTMLEdit() override;

  // Component properties by DISPID.
  Integer GetAppearance();
  void SetAppearance(Integer value);
  bool GetBrowseMode();
  void SetBrowseMode(bool value);
  bool GetScrollbars();
  void SetScrollbars(bool value);
  bool GetShowBorders();
  void SetShowBorders(bool value);
  bool GetShowDetails();
  void SetShowDetails(bool value);
  bool GetSourceCodePreservation();
  void SetSourceCodePreservation(bool value);
  bool GetUseDivOnCarriageReturn();
  void SetUseDivOnCarriageReturn(bool value);
  void RuntimeSetShowDetails(bool value);

  void DocumentCompleteHandler(TObject* sender);
  void ShowContextMenuHandler(TObject* sender, Integer xPos, Integer yPos);
  void ContextMenuActionHandler(TObject*, Integer) {}

  // The abstract operations.
  void ReadyStateChangeHandler(TObject*) override {}
  void DoSetModified(bool value) override;
  bool DoClearUndo(TProfDHTMLEditDocumentCompleteReason reason) override;
  AnsiString GetAbout() override;
  bool RuntimeBrowseMode() override;
  bool RuntimeUseDivOnCarriageReturn() override;
  bool RuntimeShowDetails() override;
  bool RuntimeSourceCodePreservation() override;
  void private_NewDocument(const WideString& param) override;
  void private_LoadURL(const WideString& param) override;
  void private_LoadFromFile(const WideString& param) override;
  void private_SaveToFile(const WideString& param) override;
  void private_SetBaseURL(const WideString& param) override;
  void private_SetSource(const WideString& param) override;
  bool GetBusy() override;
  WideString GetFileName() override;
  WideString GetBaseURL() override;
  bool GetModifiedFlag() override;
  WideString GetEngineTitle() override;
  bool GetDOM(THtmlDocument& document) override;
  WideString GetHTML() override;
  THtmlDocument ReadDOM() override;
  WideString MSSource() override;
  bool CanGetDOM() override;
  bool CanNewDocument() override;
  bool NewDocument() override;
  AnsiString OpenDialog(const AnsiString& initialDir) override;
  AnsiString SaveDialog(const AnsiString& initialDir) override;
  // The component's own open and save dialogs, starting from param.
  void private_OpenDialog(const WideString& param);
  void private_SaveDialog(const WideString& param);
  // Glyphs for line-break tags and for comments: shown on true; on false the
  // component redraws without them.
  void SetShowBrTags(bool value);
  void SetShowCommentTags(bool value);

 protected:
  void InitControlData() override;
  void WndProc(TMessage& message) override;

 private:
  ComPtr<mshtml::IDHTMLEdit> Editor();
  bool PropertyBool(DISPID id, bool onFailure);
  void RePutBody();
  void FocusDocumentWindow();

  std::array<TOleEventMethod, 16> FEvents;
  // The component reads the pages' pictures through the image library.
  bool FPictureLoaderSet = false;
};

// --- The unit's start-up and shut-down ------------------------------------------------

// Renames the installer-feature value "HTMLSourceEditing" to "_HTMLSourceEditing"
// (hide) or back, in every product key that holds it; stops quietly at the first error.
void SetHTMLSourceEditingFeature(bool hide);
// Start-up: the feature value hidden, OLE initialised, pictures in pages loaded through
// the image library. Runs once; later calls do nothing. The controls run it themselves
// when the program has not.
void ProfDHTMLEditStartup();
// Shut-down: the feature value restored, OLE uninitialised. Runs once, after start-up.
void ProfDHTMLEditShutdown();
bool ProfDHTMLEditStarted();
// The product-code templates and locale ids the feature toggle visits (10 x 171 keys).
const std::array<const char*, 10>& HTMLSourceEditingTemplates();
const std::array<uint16_t, 171>& HTMLSourceEditingLocales();
// The key name for a template and a locale id.
AnsiString HTMLSourceEditingKey(const char* productTemplate, uint16_t lcid);
// Reads a local picture (a plain path or a file: address) for the engine's layout;
// null when it is not a picture the image library can read.
HBITMAP LoadPagePicture(const WideString& src);
