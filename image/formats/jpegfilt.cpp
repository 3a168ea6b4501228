// JPEG detector and the glue shared by the reader and the writer: message texts,
// the error manager, the stream source and destination managers and the job state.
#include "image/formats/jpegfilt.h"

#include <iterator>

#include "image/formats/jpegfilt_lib.h"

namespace jpegfilt {

namespace {

// The library's message texts by code; "?" stands where the library would print a
// value.
const char* const kMessages[] = {
    "Bogus message code ?",  // 0
    "Sorry, there are legal restrictions on arithmetic coding",  // 1
    "ALIGN_TYPE is wrong, please fix",  // 2
    "MAX_ALLOC_CHUNK is wrong, please fix",  // 3
    "Bogus buffer control mode",  // 4
    "Invalid component ID ? in SOS",  // 5
    "DCT coefficient out of range",  // 6
    "IDCT output block size ? not supported",  // 7
    "Bogus Huffman table definition",  // 8
    "Bogus input colorspace",  // 9
    "Bogus JPEG colorspace",  // 10
    "Bogus marker length",  // 11
    "Wrong JPEG library version: library is ?, caller expects ?",  // 12
    "Sampling factors too large for interleaved scan",  // 13
    "Invalid memory pool code ?",  // 14
    "Unsupported JPEG data precision ?",  // 15
    "Invalid progressive parameters Ss=? Se=? Ah=? Al=?",  // 16
    "Invalid progressive parameters at scan script entry ?",  // 17
    "Bogus sampling factors",  // 18
    "Invalid scan script at entry ?",  // 19
    "Improper call to JPEG library in state ?",  // 20
    "JPEG parameter struct mismatch: library thinks size is ?, caller expects ?",  // 21
    "Bogus virtual array access",  // 22
    "Buffer passed to JPEG library is too small",  // 23
    "Suspension not allowed here",  // 24
    "CCIR601 sampling not implemented yet",  // 25
    "Too many color components: ?, max ?",  // 26
    "Unsupported color conversion request",  // 27
    "Bogus DAC index ?",  // 28
    "Bogus DAC value 0x?",  // 29
    "Bogus DHT index ?",  // 30
    "Bogus DQT index ?",  // 31
    "Empty JPEG image (DNL not supported)",  // 32
    "Read from EMS failed",  // 33
    "Write to EMS failed",  // 34
    "Didn't expect more than one scan",  // 35
    "Input file read error",  // 36
    "Output file write error --- out of disk space?",  // 37
    "Fractional sampling not implemented yet",  // 38
    "Huffman code size table overflow",  // 39
    "Missing Huffman code table entry",  // 40
    "Maximum supported image dimension is ? pixels",  // 41
    "Empty input file",  // 42
    "Premature end of input file",  // 43
    "Cannot transcode due to multiple use of quantization table ?",  // 44
    "Scan script does not transmit all data",  // 45
    "Invalid color quantization mode change",  // 46
    "Not implemented yet",  // 47
    "Requested feature was omitted at compile time",  // 48
    "Backing store not supported",  // 49
    "Huffman table was not defined",  // 50
    "JPEG datastream contains no image",  // 51
    "Quantization table was not defined",  // 52
    "Not a JPEG file: starts with ?",  // 53
    "Insufficient memory (case ?)",  // 54
    "Cannot quantize more than ? color components",  // 55
    "Cannot quantize to fewer than ? colors",  // 56
    "Cannot quantize to more than ? colors",  // 57
    "Invalid JPEG file structure: two SOF markers",  // 58
    "Invalid JPEG file structure: missing SOS marker",  // 59
    "Unsupported JPEG process: SOF type ?",  // 60
    "Invalid JPEG file structure: two SOI markers",  // 61
    "Invalid JPEG file structure: SOS before SOF",  // 62
    "Failed to create temporary file ?",  // 63
    "Read failed on temporary file",  // 64
    "Seek failed on temporary file",  // 65
    "Write failed on temporary file --- out of disk space?",  // 66
    "Application transferred too few scanlines",  // 67
    "Unsupported marker type ?",  // 68
    "Virtual array controller messed up",  // 69
    "Image too wide for this implementation",  // 70
    "Read from XMS failed",  // 71
    "Write to XMS failed",  // 72
    "",  // 73
    "",  // 74
    "Caution: quantization tables are too coarse for baseline JPEG",  // 75
    "Adobe APP14 marker: version ?, flags ?, transform ?",  // 76
    "Unknown APP0 marker (not JFIF), length ?",  // 77
    "Unknown APP14 marker (not Adobe), length ?",  // 78
    "Define Arithmetic Table ?",  // 79
    "Define Huffman Table ?",  // 80
    "Define Quantization Table ?  precision ?",  // 81
    "Define Restart Interval ?",  // 82
    "Freed EMS handle ?",  // 83
    "Obtained EMS handle ?",  // 84
    "End Of Image",  // 85
    "?",  // 86
    "JFIF APP0 marker: version ?, density ?",  // 87
    "Warning: thumbnail image size does not match data length ?",  // 88
    "JFIF extension marker: type ?, length ?",  // 89
    "with ? x ? thumbnail image",  // 90
    "Miscellaneous marker ?, length ?",  // 91
    "Unexpected marker ?",  // 92
    "?",  // 93
    "Quantizing to ? = ?*?*? colors",  // 94
    "Quantizing to ? colors",  // 95
    "Selected ? colors for quantization",  // 96
    "At marker ?, recovery action ?",  // 97
    "RST?",  // 98
    "Smoothing not supported with nonstandard sampling ratios",  // 99
    "Start Of Frame ?: width=?, height=?, components=?",  // 100
    "Component ?: ?hx?v q=?",  // 101
    "Start of Image",  // 102
    "Start Of Scan: ? components",  // 103
    "Component ?: dc=? ac=?",  // 104
    "Ss=?, Se=?, Ah=?, Al=?",  // 105
    "Closed temporary file ?",  // 106
    "Opened temporary file ?",  // 107
    "JFIF extension marker: JPEG-compressed thumbnail image, length ?",  // 108
    "JFIF extension marker: palette thumbnail image, length ?",  // 109
    "JFIF extension marker: RGB thumbnail image, length ?",  // 110
    "Unrecognized component IDs ? ? ?, assuming YCbCr",  // 111
    "Freed XMS handle ?",  // 112
    "Obtained XMS handle ?",  // 113
    "Unknown Adobe color transform code ?",  // 114
    "Inconsistent progression sequence for component ? coefficient ?",  // 115
    "Corrupt JPEG data: ? extraneous bytes before marker ?",  // 116
    "Corrupt JPEG data: premature end of data segment",  // 117
    "Corrupt JPEG data: bad Huffman code",  // 118
    "Warning: unknown JFIF revision number ?",  // 119
    "Premature end of JPEG file",  // 120
    "Corrupt JPEG data: found marker ? instead of RST?",  // 121
    "Invalid SOS parameters for sequential JPEG",  // 122
    "Application transferred too many scanlines",  // 123
};

ErrorManager& Manager(j_common_ptr cinfo) { return *reinterpret_cast<ErrorManager*>(cinfo->err); }

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  ErrorManager& m = Manager(cinfo);
  m.errorCode = m.pub.msg_code;
  if (m.failed != nullptr) *m.failed = true;
  std::longjmp(m.jump, 1);
}

void EmitMessage(j_common_ptr cinfo, int msgLevel) {
  if (msgLevel != -1) return;
  ErrorManager& m = Manager(cinfo);
  ++m.pub.num_warnings;
  m.lastWarning = m.pub.msg_code;
}

void OutputMessage(j_common_ptr) {}

void FormatMessage(j_common_ptr, char* buffer) { buffer[0] = '\0'; }

void ResetErrorManager(j_common_ptr cinfo) {
  cinfo->err->num_warnings = 0;
  cinfo->err->msg_code = 0;
}

// ---------------------------------------------------------------------------
// Source

StreamSource& Source(j_decompress_ptr cinfo) { return *reinterpret_cast<StreamSource*>(cinfo->src); }

void InitSource(j_decompress_ptr cinfo) {
  StreamSource& s = Source(cinfo);
  s.startOfFile = true;
  s.pub.next_input_byte = nullptr;
  s.pub.bytes_in_buffer = 0;
}

// A stream that fails counts as one that has ended.
Integer ReadQuietly(TStream* stream, Byte* buffer, Integer count) {
  try {
    const Integer got = stream->Read(buffer, count);
    return got > 0 ? got : 0;
  } catch (...) {
    return 0;
  }
}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  static const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};
  StreamSource& s = Source(cinfo);
  const Integer got = ReadQuietly(s.stream, s.buffer, kStreamBufferSize);
  if (got == 0) {
    if (s.startOfFile && s.failed != nullptr) *s.failed = true;
    // The library warns of the early end and finishes with what it has.
    WARNMS(cinfo, JWRN_JPEG_EOF);
    s.pub.next_input_byte = kEndOfImage;
    s.pub.bytes_in_buffer = 2;
  } else {
    s.pub.next_input_byte = s.buffer;
    s.pub.bytes_in_buffer = static_cast<size_t>(got);
  }
  s.startOfFile = false;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  StreamSource& s = Source(cinfo);
  while (count > static_cast<long>(s.pub.bytes_in_buffer)) {
    count -= static_cast<long>(s.pub.bytes_in_buffer);
    FillInputBuffer(cinfo);
  }
  s.pub.next_input_byte += count;
  s.pub.bytes_in_buffer -= static_cast<size_t>(count);
}

void TermSource(j_decompress_ptr) {}

// ---------------------------------------------------------------------------
// Destination

StreamDestination& Destination(j_compress_ptr cinfo) {
  return *reinterpret_cast<StreamDestination*>(cinfo->dest);
}

void WriteQuietly(StreamDestination& d, Integer count) {
  if (count <= 0) return;
  Integer written = 0;
  try {
    written = d.stream->Write(d.buffer, count);
  } catch (...) {
    written = 0;
  }
  if (written != count && d.failed != nullptr) *d.failed = true;
}

void InitDestination(j_compress_ptr cinfo) {
  StreamDestination& d = Destination(cinfo);
  d.pub.next_output_byte = d.buffer;
  d.pub.free_in_buffer = kStreamBufferSize;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  StreamDestination& d = Destination(cinfo);
  WriteQuietly(d, kStreamBufferSize);
  d.pub.next_output_byte = d.buffer;
  d.pub.free_in_buffer = kStreamBufferSize;
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  StreamDestination& d = Destination(cinfo);
  WriteQuietly(d, kStreamBufferSize - static_cast<Integer>(d.pub.free_in_buffer));
  d.pub.next_output_byte = d.buffer;
  d.pub.free_in_buffer = kStreamBufferSize;
}

}  // namespace

void InitErrorManager(ErrorManager& manager) {
  jpeg_std_error(&manager.pub);
  manager.pub.error_exit = ErrorExit;
  manager.pub.emit_message = EmitMessage;
  manager.pub.output_message = OutputMessage;
  manager.pub.format_message = FormatMessage;
  manager.pub.reset_error_mgr = ResetErrorManager;
  manager.errorCode = 0;
  manager.lastWarning = 0;
}

AnsiString MessageText(int code) {
  if (code < 0 || code >= static_cast<int>(std::size(kMessages))) return "Corrupted";
  return kMessages[code];
}

void AttachSource(j_decompress_ptr cinfo, StreamSource& source) {
  source.pub.init_source = InitSource;
  source.pub.fill_input_buffer = FillInputBuffer;
  source.pub.skip_input_data = SkipInputData;
  source.pub.resync_to_restart = jpeg_resync_to_restart;
  source.pub.term_source = TermSource;
  source.pub.next_input_byte = nullptr;
  source.pub.bytes_in_buffer = 0;
  cinfo->src = &source.pub;
}

void AttachDestination(j_compress_ptr cinfo, StreamDestination& destination) {
  destination.pub.init_destination = InitDestination;
  destination.pub.empty_output_buffer = EmptyOutputBuffer;
  destination.pub.term_destination = TermDestination;
  cinfo->dest = &destination.pub;
}

J_DCT_METHOD DctMethod(TIOJPEGDctMethod method) {
  switch (method) {
    case ioJPEG_IFAST:
      return JDCT_IFAST;
    case ioJPEG_FLOAT:
      return JDCT_FLOAT;
    default:
      return JDCT_ISLOW;
  }
}

jpeg_error_mgr* JobState::PrepareErrors() {
  streamBuffer.resize(kStreamBufferSize);
  InitErrorManager(err);
  err.failed = &failed;
  return &err.pub;
}

static_assert(std::size(kMessages) == 124, "one text per message code 0..123");

}  // namespace jpegfilt

Integer JpegTryStream(TStream* Stream) {
  // FF D8 FF starting at any of the next 100 positions.
  constexpr Integer kPositions = 100;
  Byte window[kPositions + 2];
  const Int64 start = Stream->GetPosition();
  Integer got = 0;
  try {
    while (got < static_cast<Integer>(sizeof window)) {
      const Integer n = Stream->Read(window + got, static_cast<Integer>(sizeof window) - got);
      if (n <= 0) break;
      got += n;
    }
  } catch (...) {
  }
  Stream->SetPosition(start);
  for (Integer i = 0; i + 2 < got; ++i)
    if (window[i] == 0xFF && window[i + 1] == 0xD8 && window[i + 2] == 0xFF)
      return static_cast<Integer>(start + i);
  return -1;
}
