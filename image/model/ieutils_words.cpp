// iemsg: the lookup in the word table, with the row of msSystem taken from the
// user's locale.
#include <cstdlib>
#include <cstring>

#include "image/model/ieutils.h"
#include "image/model/iewords.h"

namespace {

// The primary language identifiers of the platform's locale records.
constexpr Integer LANG_GERMAN = 7;
constexpr Integer LANG_GREEK = 8;
constexpr Integer LANG_ENGLISH = 9;
constexpr Integer LANG_SPANISH = 10;
constexpr Integer LANG_FRENCH = 12;
constexpr Integer LANG_ITALIAN = 16;
constexpr Integer LANG_DUTCH = 19;
constexpr Integer LANG_POLISH = 21;
constexpr Integer LANG_PORTUGUESE = 22;
constexpr Integer LANG_RUSSIAN = 25;
constexpr Integer LANG_SWEDISH = 29;

// The user's message language from the POSIX locale variables, in their order of
// precedence ("de_DE.UTF-8" -> German); 0 when none is set or the language is not
// one the table knows.
Integer SystemPrimaryLanguage() {
  const char* locale = nullptr;
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    locale = std::getenv(variable);
    if (locale != nullptr && *locale != 0) break;
  }
  if (locale == nullptr || std::strlen(locale) < 2) return 0;
  struct Code {
    const char* code;
    Integer id;
  };
  static constexpr Code kCodes[] = {
      {"de", LANG_GERMAN}, {"el", LANG_GREEK},   {"en", LANG_ENGLISH},    {"es", LANG_SPANISH},
      {"fr", LANG_FRENCH}, {"it", LANG_ITALIAN}, {"nl", LANG_DUTCH},      {"pl", LANG_POLISH},
      {"pt", LANG_PORTUGUESE}, {"ru", LANG_RUSSIAN}, {"sv", LANG_SWEDISH}};
  // The language code is the text before '_', '.' or '@'.
  const size_t length = std::strcspn(locale, "_.@");
  if (length != 2) return 0;
  for (const Code& code : kCodes)
    if (std::strncmp(locale, code.code, 2) == 0) return code.id;
  return 0;
}

TMsgLanguage SystemLanguage() {
  switch (SystemPrimaryLanguage()) {
    case LANG_GERMAN:
      return msGerman;
    case LANG_GREEK:
      return msGreek;
    case LANG_SPANISH:
      return msSpanish;
    case LANG_FRENCH:
      return msFrench;
    case LANG_ITALIAN:
      return msItalian;
    case LANG_DUTCH:
      return msDutch;
    case LANG_PORTUGUESE:
      return msPortuguese;
    case LANG_RUSSIAN:
      return msRussian;
    default:  // English, and the languages whose rows only an explicit choice uses
      return msEnglish;
  }
}

const AnsiString& Entry(TMsgLanguage language, TMsgLanguageWords word) {
  return ieMessages[static_cast<Integer>(language) - 1][word];
}

}  // namespace

AnsiString iemsg(TMsgLanguageWords word, TMsgLanguage language) {
  static const AnsiString none;
  if (static_cast<Integer>(word) >= IEMsgWordCount ||
      static_cast<Integer>(language) > IEMsgLanguageRows)
    return none;
  IEInitTranslationWords();
  if (language == msSystem) return Entry(SystemLanguage(), word);
  const AnsiString& text = Entry(language, word);
  return text.empty() ? Entry(msEnglish, word) : text;
}
