// The objects behind AVIFile's handles, shared by its sources.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/avifile/AVIFile.h"

namespace avifile {

// A frame of a read stream: where its bytes are in the file.
struct FrameEntry {
  uint64_t offset = 0;  // the first byte of the frame's data
  uint32_t size = 0;    // 0: the previous frame is shown again
  bool key = true;
};

// One stream list (strl) of a read file.
struct StreamHeader {
  AVISTREAMINFOA info;
  std::vector<Byte> format;  // the strf chunk
  Integer number = 0;        // its position among the file's streams
};

// A written frame, as idx1 lists it.
struct WrittenFrame {
  uint32_t offset = 0;  // of its chunk header, from the movi list's type
  uint32_t size = 0;
};

}  // namespace avifile

struct AVIFileObject {
  std::atomic<ULONG> refs{1};
  int fd = -1;
  bool writing = false;
  uint64_t fileSize = 0;  // reading: the file's size

  // Reading
  std::vector<avifile::StreamHeader> streams;
  uint64_t moviStart = 0;  // the position of the movi list's type ("movi")
  uint64_t moviEnd = 0;
  bool hasMovi = false;
  uint64_t idx1Start = 0;
  uint64_t idx1Size = 0;
  bool hasIdx1 = false;

  // Writing
  std::string target;   // the name the file gets when it is whole
  std::string tempName; // the name it is written under
  bool failed = false;
  bool abandoned = false;
  AVIStreamObject* written = nullptr;  // the one stream, not owned
};

struct AVIStreamObject {
  std::atomic<ULONG> refs{1};
  AVIFileObject* file = nullptr;  // holds a reference
  AVISTREAMINFOA info;
  std::vector<Byte> format;

  // Reading
  std::vector<avifile::FrameEntry> frames;

  // Writing
  bool formatSet = false;
  uint32_t frameSize = 0;
  uint32_t headerSize = 0;  // bytes before the first frame chunk
  uint64_t end = 0;         // where the next chunk goes
  std::vector<avifile::WrittenFrame> index;
};

namespace avifile {

// Bytes of a row of width pixels at bitCount bits, padded to 4 bytes.
inline uint64_t RowBytes(uint64_t width, uint64_t bitCount) { return ((width * bitCount + 31) / 32) * 4; }

// Completes or removes a written file, then closes it (the last release).
void FinishWrite(AVIFileObject* file);

// The size limit writes are checked against (kAVI1MaxFileSize unless a test lowered it).
uint64_t FileSizeLimit();

}  // namespace avifile
