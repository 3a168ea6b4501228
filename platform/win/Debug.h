// Text for a debugger. Nobody attaches one here: the text is kept for tests
// (platform/sim/DebugOutput.h) and, when LARK_DEBUG_OUTPUT is set in the
// environment, echoed to stderr.
#pragma once

void OutputDebugString(const char* outputString);
