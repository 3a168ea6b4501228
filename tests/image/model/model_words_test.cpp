// The user-interface word table: built-in rows, changes and the lookup by language
// and by the user's locale.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "image/model/iedefs.h"
#include "image/model/ieutils.h"
#include "image/model/iewords.h"
#include "tests/support/Peers.h"

namespace {

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

// Keeps the table and the locale variables as they were for the next test.
class IEWords : public ::testing::Test {
 protected:
  void SetUp() override {
    IEInitTranslationWords();
    for (Integer row = 0; row < IEMsgLanguageRows; ++row)
      for (Integer word = 0; word < IEMsgWordCount; ++word)
        saved_.push_back(ieMessages[row][word]);
    for (const char* name : kLocaleVariables) {
      const char* value = std::getenv(name);
      env_.push_back(value != nullptr ? std::optional<std::string>(value) : std::nullopt);
    }
  }
  void TearDown() override {
    size_t i = 0;
    for (Integer row = 0; row < IEMsgLanguageRows; ++row)
      for (Integer word = 0; word < IEMsgWordCount; ++word) ieMessages[row][word] = saved_[i++];
    for (size_t v = 0; v < std::size(kLocaleVariables); ++v) {
      if (env_[v]) {
        setenv(kLocaleVariables[v], env_[v]->c_str(), 1);
      } else {
        unsetenv(kLocaleVariables[v]);
      }
    }
  }
  void SetLocale(const char* lang) {
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    setenv("LANG", lang, 1);
  }

  static constexpr const char* kLocaleVariables[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  std::vector<AnsiString> saved_;
  std::vector<std::optional<std::string>> env_;
};

TEST_F(IEWords, BuiltInRowsAreFullButForPolishRateAndTheUserRowIsEmpty) {
  Integer filled = 0;
  for (Integer row = 0; row < IEMsgLanguageRows; ++row)
    for (Integer word = 0; word < IEMsgWordCount; ++word) {
      const AnsiString& text = ieMessages[row][word];
      filled += text.empty() ? 0 : 1;
      EXPECT_EQ(text.find('?'), AnsiString::npos) << "a character lost to the code page: row "
                                                  << row << " word " << word;
    }
  EXPECT_EQ(filled, 1363);
  EXPECT_TRUE(ieMessages[static_cast<int>(msPolish) - 1][IEMSG_RATE].empty());
  for (Integer word = 0; word < IEMsgWordCount; ++word)
    EXPECT_TRUE(ieMessages[static_cast<int>(msUser) - 1][word].empty()) << word;
}

TEST_F(IEWords, EnglishWordsKeepTheirOddOnes) {
  struct Case {
    TMsgLanguageWords word;
    const char* text;
  };
  const Case cases[] = {{IEMSG_PREVIEW, "Preview"},
                        {IEMSG_SOURCE, "Original"},
                        {IEMSG_SOURCEIMAGEQUANTITY, "Original image quantity"},
                        {IEMSG_OPEN, "Opening"},
                        {IEMSG_CLOSE, "Closing"},
                        {IEMSG_CLOSE2, "Close"},
                        {IEMSG_VALUE2, "Value"},
                        {IEMSG_SCANNDEDDOCUMENTINFO, "Scanned document info"},
                        {IEMSG_HORIZPOSITIONINCH, "Horiz. Position (inch)"},
                        {IEMSG_SELECTTHEREGIONTOCLEAR, "Select the region to clean"},
                        {IEMSG_LOCATIONSIZE, "Location/size"},
                        {IEMSG_RATE, "Rate"}};
  for (const Case& c : cases) EXPECT_EQ(iemsg(c.word, msEnglish), c.text) << int(c.word);
}

// The rows of the Western languages, in Windows-1252.
TEST_F(IEWords, TellingWordsOfTheWesternRows) {
  struct Case {
    TMsgLanguage language;
    const char* preview;
    const char* ok;
    const char* cancel;
    const char* open;
    const char* close;
    const char* inches;
    const char* rate;
  };
  const Case cases[] = {
      {msItalian, "Anteprima", "OK", "Annulla", "Apertura", "Chiusura", "pollici", "Qualit\xE0"},
      {msGerman, "Vorschau", "OK", "Abbrechen", "\xD6" "ffnen", "Schlie\xDF" "en", "Inches",
       "Rate"},
      {msSpanish, "Vista Previa", "Aceptar", "Cancelar", "Abrir", "Cerrar", "pulgadas", "Rate"},
      {msFrench, "Pr\xE9visualisation", "Ok", "Annuler", "Filtre ouvert", "Filtre ferm\xE9",
       "Pouces", "Rate"},
      {msPortuguese, "Visualizar", "OK", "Cancelar", "Abrir", "Fechar", "polegadas", "Rate"},
      {msDutch, "Voorbeeld", "OK", "Annuleren", "Openen", "Sluiten", "inch", "Rate"},
      {msSwedish, "Granska", "OK", "Avbryt", "\xD6ppna", "St\xE4ng", "inches", "Rate"},
  };
  for (const Case& c : cases) {
    const int l = static_cast<int>(c.language);
    EXPECT_EQ(iemsg(IEMSG_PREVIEW, c.language), c.preview) << l;
    EXPECT_EQ(iemsg(IEMSG_OK, c.language), c.ok) << l;
    EXPECT_EQ(iemsg(IEMSG_CANCEL, c.language), c.cancel) << l;
    EXPECT_EQ(iemsg(IEMSG_OPEN, c.language), c.open) << l;
    EXPECT_EQ(iemsg(IEMSG_CLOSE, c.language), c.close) << l;
    EXPECT_EQ(iemsg(IEMSG_INCHES, c.language), c.inches) << l;
    EXPECT_EQ(iemsg(IEMSG_RATE, c.language), c.rate) << l;
  }
}

// The Greek, Russian and Polish rows are in their own code pages, checked against
// Python's codecs.
TEST_F(IEWords, NonWesternRowsAreInTheirCodePages) {
  const std::string python = larktest::RequireProgram("/usr/bin/python3");
  ASSERT_FALSE(python.empty());
  struct Case {
    TMsgLanguage language;
    const char* codePage;
    TMsgLanguageWords word;
    const char* utf8;
  };
  const Case cases[] = {
      {msGreek, "cp1253", IEMSG_CANCEL, "Άκυρο"},
      {msGreek, "cp1253", IEMSG_PREVIEW, "Προεπισκόπηση"},
      {msRussian, "cp1251", IEMSG_CANCEL, "Отмена"},
      {msRussian, "cp1251", IEMSG_GREEN, "Зелёный"},
      {msPolish, "cp1250", IEMSG_CANCEL, "Anuluj"},
      {msPolish, "cp1250", IEMSG_CENTER, "Środek"},
      {msPolish, "cp1250", IEMSG_LIGHT, "Światło"},
  };
  for (const Case& c : cases) {
    const std::string expected = larktest::RunCommand(
        {python, "-c", "import sys; print(sys.argv[1].encode(sys.argv[2]).hex(), end='')",
         c.utf8, c.codePage});
    EXPECT_EQ(Hex(iemsg(c.word, c.language)), expected) << c.utf8;
  }
  // Every word of these rows decodes strictly in its code page.
  for (const Case& c : {cases[0], cases[2], cases[4]}) {
    std::vector<std::string> argv = {
        python, "-c",
        "import sys\n"
        "cp = sys.argv[1]\n"
        "for h in sys.argv[2:]: bytes.fromhex(h).decode(cp)\n"
        "print('ok', end='')",
        c.codePage};
    for (Integer word = 0; word < IEMsgWordCount; ++word)
      argv.push_back(Hex(ieMessages[static_cast<int>(c.language) - 1][word]));
    int exitCode = -1;
    EXPECT_EQ(larktest::RunCommand(argv, &exitCode), "ok") << c.codePage;
    EXPECT_EQ(exitCode, 0);
  }
}

TEST_F(IEWords, EmptyEntriesFallBackToEnglishWordByWord) {
  EXPECT_EQ(iemsg(IEMSG_RATE, msPolish), "Rate");
  EXPECT_EQ(iemsg(IEMSG_RATE, msItalian), "Qualit\xE0");
  EXPECT_EQ(iemsg(IEMSG_CANCEL, msUser), "Cancel");
  IESetTranslationWord(msUser, IEMSG_CANCEL, "Stop");
  EXPECT_EQ(iemsg(IEMSG_CANCEL, msUser), "Stop");
  EXPECT_EQ(iemsg(IEMSG_OK, msUser), "OK");

  IESetTranslationWord(msGerman, IEMSG_OK, "");
  EXPECT_EQ(iemsg(IEMSG_OK, msGerman), "OK");
  SetLocale("de_DE.UTF-8");
  EXPECT_EQ(iemsg(IEMSG_OK, msSystem), "") << "the locale's row is taken as it is";
  EXPECT_EQ(iemsg(IEMSG_CANCEL, msSystem), "Abbrechen");
}

TEST_F(IEWords, SystemLanguageComesFromTheLocale) {
  struct Case {
    const char* lang;
    TMsgLanguage row;
  };
  const Case cases[] = {
      {"de_DE.UTF-8", msGerman},  {"el_GR", msGreek},         {"en_GB.UTF-8", msEnglish},
      {"es_ES", msSpanish},       {"fr_CA.UTF-8", msFrench},  {"it_IT@euro", msItalian},
      {"nl_NL", msDutch},         {"pt_BR.UTF-8", msPortuguese}, {"ru_RU.KOI8-R", msRussian},
      {"sv_SE.UTF-8", msEnglish}, {"pl_PL", msEnglish},       {"ja_JP", msEnglish},
      {"C", msEnglish},           {"POSIX", msEnglish},       {"", msEnglish},
      {"de", msGerman},           {"deu_DE", msEnglish},
  };
  for (const Case& c : cases) {
    SetLocale(c.lang);
    EXPECT_EQ(iemsg(IEMSG_CANCEL, msSystem), iemsg(IEMSG_CANCEL, c.row)) << c.lang;
  }
  // LC_ALL comes before LC_MESSAGES, which comes before LANG.
  setenv("LANG", "fr_FR", 1);
  setenv("LC_MESSAGES", "it_IT", 1);
  EXPECT_EQ(iemsg(IEMSG_CANCEL, msSystem), "Annulla");
  setenv("LC_ALL", "es_ES", 1);
  EXPECT_EQ(iemsg(IEMSG_CANCEL, msSystem), "Cancelar");
}

// msSystem is no row: storing a word for it must not write outside the table.
TEST_F(IEWords, SettingAWordForNoRowChangesNothing) {
  IESetTranslationWord(msSystem, IEMSG_OK, "nowhere");
  IESetTranslationWord(static_cast<TMsgLanguage>(13), IEMSG_OK, "nowhere");
  IESetTranslationWord(msEnglish, static_cast<TMsgLanguageWords>(124), "nowhere");
  size_t i = 0;
  for (Integer row = 0; row < IEMsgLanguageRows; ++row)
    for (Integer word = 0; word < IEMsgWordCount; ++word)
      EXPECT_EQ(ieMessages[row][word], saved_[i++]) << row << " " << word;
  EXPECT_EQ(iemsg(static_cast<TMsgLanguageWords>(200), msEnglish), "");
}

TEST_F(IEWords, DefaultsComeBackButTheUserRowStays) {
  IESetTranslationWord(msEnglish, IEMSG_OK, "Okay");
  IESetTranslationWord(msUser, IEMSG_OK, "Mine");
  IEInitTranslationWords();  // later calls keep the program's words
  EXPECT_EQ(iemsg(IEMSG_OK, msEnglish), "Okay");
  IESetDefaultTranslationWords();
  EXPECT_EQ(iemsg(IEMSG_OK, msEnglish), "OK");
  EXPECT_EQ(iemsg(IEMSG_OK, msUser), "Mine");
}

}  // namespace
