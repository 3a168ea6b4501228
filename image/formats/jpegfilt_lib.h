// What the JPEG reader and writer share on top of the JPEG library: the error
// manager, the stream source and destination managers and the message texts.
//
// Library errors never unwind through the library as C++ exceptions: the error
// manager's error exit records the message code and longjmps back to the setjmp of
// the caller's library frame. That frame keeps no object with a destructor, so the
// jump skips no cleanup; the objects live in the caller of that frame.
#pragma once

#include <cstddef>
#include <cstdio>  // jpeglib.h needs FILE

#include <csetjmp>
#include <vector>

// Our types come before the library's headers: jmorecfg.h defines TRUE and FALSE as
// macros when they are not macros yet, which would break the declarations of our
// constants of those names.
#include "image/formats/dadiravio.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/Types.h"

#include <jpeglib.h>
#include <jerror.h>

namespace jpegfilt {

// Bytes moved between a stream and the library per call.
inline constexpr Integer kStreamBufferSize = 65536;

// The library's error record followed by our state. `pub` must stay first: the
// library sees only it.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  // Set by the error exit; null detaches it (errors are then only jumped over).
  bool* failed = nullptr;
  int errorCode = 0;    // message code of the error that ended the work
  int lastWarning = 0;  // message code of the last warning
};

// Fills the library's error record with our handlers: error exit (sets *failed,
// records the code, jumps), emit message (counts warnings), output and format
// message (nothing), reset (warning count and message code 0).
void InitErrorManager(ErrorManager& manager);

// The text for a library message code; "Corrupted" for a code outside 0..123.
AnsiString MessageText(int code);

// Reads from a stream through a 64 KB buffer. When the stream has nothing more to
// give, the library is handed an end-of-image marker so that it ends cleanly; if
// that happens on the very first fill, *failed is set.
struct StreamSource {
  jpeg_source_mgr pub;
  TStream* stream = nullptr;
  bool* failed = nullptr;
  bool startOfFile = true;
  Byte* buffer = nullptr;  // kStreamBufferSize bytes, owned by the caller
};

// Points the decompressor at source (whose stream, failed flag and buffer are set).
// The same source can be attached again after the stream changed.
void AttachSource(j_decompress_ptr cinfo, StreamSource& source);

// Writes to a stream through a 64 KB buffer; a short write (or a stream error) sets
// *failed.
struct StreamDestination {
  jpeg_destination_mgr pub;
  TStream* stream = nullptr;
  bool* failed = nullptr;
  Byte* buffer = nullptr;  // kStreamBufferSize bytes, owned by the caller
};

void AttachDestination(j_compress_ptr cinfo, StreamDestination& destination);

// The library's DCT method for ours; the accurate integer one by default.
J_DCT_METHOD DctMethod(TIOJPEGDctMethod method);

// What the read and the write job keep besides the library's own record: the error
// manager, the stream buffer and the flag that ends the work. A job lives on the
// heap, so the pointers handed to the library stay valid.
struct JobState {
  ErrorManager err;
  std::vector<Byte> streamBuffer;  // kStreamBufferSize bytes
  TProgressRec* progress = nullptr;
  bool failed = false;  // set by the error manager, the stream managers or the job

  // Sizes the stream buffer and readies the error manager to set `failed`; returns
  // the record to give the library as cinfo.err.
  jpeg_error_mgr* PrepareErrors();

  void Fail() {
    failed = true;
    progress->Abort();
  }
  bool Stopped() const { return failed || progress->Aborted(); }
};

}  // namespace jpegfilt
