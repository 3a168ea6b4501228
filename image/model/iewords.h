// The built-in user-interface words of the image library's dialogs, and changes to
// single words. The lookup, iemsg, is in ieutils.h.
#pragma once

#include "image/model/iedefs.h"

// Fills the rows msEnglish to msPolish of ieMessages with the built-in words (every
// entry but IEMSG_RATE of msPolish, which stays empty). The msUser row is left alone.
void IESetDefaultTranslationWords();

// Fills the built-in words the first time it is called in the process; later calls
// do nothing, so words changed by the program stay changed. The library calls it at
// start and before every lookup or change.
void IEInitTranslationWords();

// Stores text as the word of one row. msSystem is no row, and a language or word
// outside the table changes nothing.
void IESetTranslationWord(TMsgLanguage language, TMsgLanguageWords word, const AnsiString& text);
