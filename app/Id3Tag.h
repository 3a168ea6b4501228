// Reading the ID3v2.3 tag at the head of an MP3 enclosure while its download runs:
// the tag is collected across data chunks, then scanned for the encoder text (TENC)
// and the picture (APIC). The main window feeds it the chunks of its enclosure
// download, aborts the download when told, shows the caption in the player picture's
// popup menu and the picture (JPEG bytes, saved as "i0.jpg") in the player picture.
#pragma once

#include <string>
#include <vector>

#include "platform/rtl/Types.h"

// The largest tag collected, header included; a tag announcing this or more is refused.
inline constexpr Integer kMaxId3Size = 1000000;
// The caption of the popup menu's first item while nothing is known.
inline constexpr char kEncodedByCaption[] = "Encoded By:";
// The file the picture is written to, in the program folder.
inline constexpr char kId3PictureFile[] = "i0.jpg";

// What the scan of a complete tag found. Several frames of a kind: the last one wins.
struct TId3ScanResult {
  bool CaptionChanged = false;
  AnsiString Caption;  // "Encoded By: " + the encoder, or "Encoded By: ?"
  bool HasPicture = false;
  std::string Picture;  // the picture's bytes as the frame holds them
};

// Scans n bytes of a tag (its 10-byte header first) byte by byte for TENC and APIC
// frames. Reads nothing outside buf[0..n).
TId3ScanResult ScanId3Tag(const BYTE* buf, Integer n);

// What the main window does after a chunk.
struct TId3ChunkResult {
  bool AbortDownload = false;  // abort the enclosure download: the tag is known or missing
  bool CaptionChanged = false;
  AnsiString Caption;  // the popup menu's first item
  bool HasPicture = false;
  std::string Picture;
};

// The tag reading state kept between data chunks of one enclosure download.
struct TId3TagReader {
  bool ReadingId3 = false;          // chunks are being examined
  std::vector<BYTE> Id3Buffer;      // the tag being collected (empty: none yet)
  bool HaveBuffer = false;          // Id3Buffer holds a tag of Id3Size bytes
  Integer Id3Size = 0;              // the header's size plus the 10 header bytes
  Integer Id3Received = 0;          // bytes of the tag collected so far
  bool Id3Complete = false;         // Id3Received has reached Id3Size
  std::vector<BYTE> Head;           // the first header bytes, while fewer than 10 arrived

  // The enclosure download begins: any earlier tag is discarded and reading starts.
  // Answers the caption to show, "Encoded By:".
  AnsiString DocBegin();
  // One chunk of the enclosure download; ignored unless ReadingId3.
  TId3ChunkResult DocData(const BYTE* Buffer, Integer Len);
};
