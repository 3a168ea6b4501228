// The HTML control's source formatter: gives the engine's document back as HTML text
// in the control's own format, governed by a set of options.
//
// How the control uses it: it fills a TSourceFormatContext from its own state (the
// engine document when it can reach one, else null; its SourceCodeOptions; its base
// address; its TagsSubstitution as pairs; UseSourceCodePreservation; and ways to read
// the engine's preserved HTML, the engine's own serialization and the title), then
//
//   WideString TCustomProfDHTMLEdit::GetSource() { return TSourceFormatter(FormatContext()).GetSource(); }
//
// and the same for GetHead and GetBody. GetObjectHTML and GetSelHTML format one
// element with a fresh emitted-element list:
//
//   TEmittedElements list;
//   WideString html = TSourceFormatter(FormatContext()).ParseOuterHTML(element, 0, list);
//
// The text repairs of the preserved path (AdjustPreservedOuterHTML, CheckAmpInLinks,
// AdjustPreservedHead, MovePreHTMLText) are free functions, for the selection code too.
//
// Two paths: the formatted one walks the document tree and writes every node itself
// (GetSource2, GetHead2, GetBody2 and ParseOuterHTML), then repairs the head from the
// engine's own serialization (AddHeader, AdjustHead); the preserved one (taken when
// UseSourceCodePreservation is true) takes the engine's preserved HTML with a few
// repairs. Failures of the engine give empty texts (for the whole call, or for the
// node that failed); nothing here raises.
//
// What the formatter writes parses back to the same content: text is escaped as the
// options say (with "<", ">", "&" and the no-break space always as references);
// attribute values are quoted whenever they could not stand bare (empty, or holding
// white space, a quote, "<", ">", "=" or a backquote), with "&" and double quotes
// written as references inside; percent escapes in values are decoded only for a blank
// and the characters that never need one (letters, digits, "-", ".", "_", "~").
#pragma once

#include <functional>
#include <set>
#include <vector>

#include "platform/mshtml/Document.h"
#include "platform/rtl/Sets.h"
#include "platform/rtl/Types.h"

// The options of the formatter; as a set, option n is bit n.
enum TSourceCodeOption {
  LowercaseElementNames,              // element names in lower case (before tag substitution)
  TerminateEmptyElements,             // empty elements end with "/>" (or " />"); their stray end tags go
  AddSpaceInTerminatedEmptyElements,  // with the previous option: " />" instead of "/>"
  TerminateComments,                  // a comment is completed to end with " -->"
  LowercaseAttributeNames,            // attribute names in lower case
  QuoteAttributeValues,               // every attribute value in double quotes
  UnminimizeBooleanAttributes,        // a Boolean attribute as name=name instead of the bare name
  LowercaseStylePropertyNames,        // property names in style attributes in lower case
  UseEntityReferences,                // every character that has an entity name as its named reference
  Preserve8BitCharacters,             // characters the code page can show stay characters
  ExcludeFileProtocol,                // attribute values lose a leading "file://"
  ExcludeBaseURL,                     // the base address is removed from "file://" values
  IndentSource,                       // block elements on new lines, two blanks per level
  AddNbsp,                            // an element without content gets "&nbsp;"
};
using TSourceCodeOptions = TSet<TSourceCodeOption>;
// The control's names for them.
using TProfDHTMLEditSourceCodeOption = TSourceCodeOption;
using TProfDHTMLEditSourceCodeOptions = TSourceCodeOptions;

// Every option: the control's default.
inline constexpr TSourceCodeOptions AllSourceCodeOptions = {
    LowercaseElementNames,       TerminateEmptyElements,      AddSpaceInTerminatedEmptyElements,
    TerminateComments,           LowercaseAttributeNames,     QuoteAttributeValues,
    UnminimizeBooleanAttributes, LowercaseStylePropertyNames, UseEntityReferences,
    Preserve8BitCharacters,      ExcludeFileProtocol,         ExcludeBaseURL,
    IndentSource,                AddNbsp};

// One item of the control's TagsSubstitution: elements named OriginalTag (letter case
// ignored) are written as ReplacementTag.
struct TTagSubstitution {
  WideString OriginalTag;
  WideString ReplacementTag;
};

// The elements already written by one top-level formatting call, so that an element
// the tree reaches twice is written once.
using TEmittedElements = std::set<const mshtml::Element*>;

// What the formatter takes from the control.
struct TSourceFormatContext {
  // The engine's document; null when the control is not ready (every reader then
  // gives an empty text).
  mshtml::Document* Document = nullptr;
  TSourceCodeOptions Options = AllSourceCodeOptions;
  // The control's base address (GetBaseURL), for ExcludeBaseURL.
  WideString BaseURL;
  // Applied in order; a later match overrides an earlier one.
  std::vector<TTagSubstitution> TagsSubstitution;
  // True: the preserved path.
  bool UseSourceCodePreservation = false;
  // The engine's HTML as the preserved path reads it (GetHTML). When not set, the
  // document's own serialization.
  std::function<WideString()> EngineHTML;
  // The engine's own serialization of the document (MSSource), for AddHeader and
  // AdjustHead. When not set, the document's own serialization.
  std::function<WideString()> MSSource;
  // The engine's current title (GetTitle). When not set, the document's title.
  std::function<WideString()> Title;
  // The system code page's number, written into a "charset=unicode" content type
  // under Preserve8BitCharacters.
  Integer CodePage = 1252;
};

class TSourceFormatter {
 public:
  explicit TSourceFormatter(TSourceFormatContext context);

  // The whole document, its head (from "<head>" through "</head>") and its body.
  WideString GetSource();
  WideString GetHead();
  WideString GetBody();

  // The formatted path: the one "html", "head" or "body" element formatted at level 0
  // with a new emitted-element list (GetSource2 adds the text before "<html>" with
  // AddHeader). Empty when there is not exactly one such element.
  WideString GetSource2();
  WideString GetHead2();
  WideString GetBody2();

  // One node and, recursively, its children: elements, text and comments (other
  // nodes give nothing). Level is the indentation level; List the elements already
  // written. An element already in List gives nothing.
  WideString ParseOuterHTML(mshtml::Node* Node, Integer Level, TEmittedElements& List);

  // Escapes the characters of a text node as the options say.
  void AdjustText(WideString& Text) const;
  // Puts before Text what the engine's serialization has before "<html>" (without
  // the engine's standard document type line).
  void AddHeader(WideString& Text);
  // Puts back into Text's head the script blocks of the engine's serialized head,
  // when Text's head has none.
  void AdjustHead(WideString& Text);

 private:
  WideString FormatTopElement(const char16_t* name);
  WideString FormatElement(mshtml::Element* element, Integer level, TEmittedElements& list);
  WideString FormatComment(const WideString& text) const;
  WideString EngineHTML();
  WideString MSSource();
  WideString Title();

  TSourceFormatContext context_;
  bool msSourceRead_ = false;
  WideString msSource_;
  // Above 0 while inside an element whose white space is content (no indentation).
  Integer preserving_ = 0;
};

// The entity name of a character code (one of the 252 character references of HTML
// 4.01, "quot" to "diams"), or null.
const char16_t* EntityName(WideChar Code);

// Preserved-path repairs of the engine's HTML text.

// Between the first "<title>" and the first "</title>" (letter case ignored), when
// both are found, puts Title in place of the text (escaped as text).
void AdjustPreservedHead(WideString& Text, const WideString& Title);
// Removes every " DESIGNTIMEURL=" or " DESIGNTIMESP=" attribute (name case ignored)
// through its closing double quote (stops at one without a closing quote), then trims
// characters with codes up to 32 at both ends.
WideString AdjustPreservedOuterHTML(const WideString& Text);
// In every href="..." value (name case ignored), "&amp;" becomes "&".
void CheckAmpInLinks(WideString& Text);
// Moves the stray text that stands before the "<html>" start tag of Source into
// Target, right after its body start tag. When Target is the whole of Source
// (TargetIsSource), the text is also removed from where it stood.
void MovePreHTMLText(WideString& Target, const WideString& Source, bool TargetIsSource);
// The body of the engine's HTML as the preserved path gives it.
WideString PreservedBody(const WideString& HTML);
