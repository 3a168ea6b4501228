#include "image/model/iedefs.h"

#include "image/model/iewords.h"

AnsiString ieMessages[IEMsgLanguageRows][IEMsgWordCount];
constinit CRITICAL_SECTION gThreadCS;
bool gAVIFILEinit = false;

namespace {

// The unit's start and end: the lock is ready before any user runs (it is constant
// initialised) and the built-in words are in the table before main. The strings of
// the table are released with the table itself at exit.
struct IEDefsUnit {
  IEDefsUnit() {
    InitializeCriticalSection(&gThreadCS);
    IEInitTranslationWords();
  }
  ~IEDefsUnit() { DeleteCriticalSection(&gThreadCS); }
};
const IEDefsUnit unit;

}  // namespace
