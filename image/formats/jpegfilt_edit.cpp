// JPEG stream editing: IPTC injection by a marker walk, lossless transforms through
// TurboJPEG's transform routine.
#include "image/formats/jpegfilt_edit.h"

#include <turbojpeg.h>

#include <algorithm>
#include <exception>
#include <memory>
#include <vector>

#include "image/formats/jpegfilt.h"

namespace {

// The bytes from the stream's position to its end; false when the stream gives
// fewer than it claims or more than a buffer can hold.
bool ReadRest(TStream* stream, std::vector<Byte>& out) {
  const Int64 left = stream->GetSize() - stream->GetPosition();
  if (left < 0 || left > (Int64{1} << 30)) return false;
  out.resize(static_cast<size_t>(left));  // bounded by the stream's own bytes
  return left == 0 || stream->Read(out.data(), static_cast<Integer>(left)) == left;
}

bool WriteAll(TStream* stream, const Byte* data, size_t size) {
  return size == 0 || stream->Write(data, static_cast<Integer>(size)) == static_cast<Integer>(size);
}

Integer Be16(const Byte* p) { return (p[0] << 8) | p[1]; }

// The marker walk of the IPTC injection over in; the result in out.
bool Inject(const std::vector<Byte>& in, const std::vector<Byte>& block, std::vector<Byte>& out) {
  out.reserve(in.size() + block.size() + 4);
  bool written = false;
  const auto writeBlock = [&] {
    if (written) return;
    written = true;
    if (block.empty()) return;
    const size_t len = block.size() + 2;
    out.insert(out.end(), {0xFF, 0xED, static_cast<Byte>(len >> 8), static_cast<Byte>(len)});
    out.insert(out.end(), block.begin(), block.end());
  };
  size_t i = 0;
  const size_t n = in.size();
  while (i < n) {
    const Byte b = in[i++];
    if (b != 0xFF) {
      out.push_back(b);
      continue;
    }
    if (i >= n) return false;  // cut short after FF
    const Byte c = in[i++];
    if (c == 0x00 || c == 0x01 || (c >= 0xD0 && c <= 0xD8)) {
      out.insert(out.end(), {0xFF, c});
      continue;
    }
    if (c == 0xD9) {  // end of image: the rest goes along unchanged
      out.insert(out.end(), {0xFF, 0xD9});
      out.insert(out.end(), in.begin() + static_cast<std::ptrdiff_t>(i), in.end());
      break;
    }
    if ((c >= 0x02 && c <= 0xBF) || c == 0xFF) return false;
    // A marker segment: its length counts itself and must lie inside the input.
    if (n - i < 2) return false;
    const size_t len = static_cast<size_t>(Be16(&in[i]));
    if (len < 2 || n - i < len) return false;
    if (c == 0xED) {  // the old IPTC block goes
      i += len;
      writeBlock();
      continue;
    }
    if (c == 0xE1) writeBlock();
    out.insert(out.end(), {0xFF, c});
    out.insert(out.end(), in.begin() + static_cast<std::ptrdiff_t>(i), in.begin() + static_cast<std::ptrdiff_t>(i + len));
    i += len;
    if (c == 0xE0) writeBlock();
  }
  return written;
}

// The comment segments (FF FE with length and text) of a JPEG before its scan.
std::vector<Byte> CommentSegments(const std::vector<Byte>& jpeg) {
  std::vector<Byte> comments;
  size_t i = 2;
  while (i + 4 <= jpeg.size() && jpeg[i] == 0xFF) {
    const Byte c = jpeg[i + 1];
    if (c == 0xFF) { ++i; continue; }  // fill byte
    if (c == 0xDA || c == 0xD9) break;
    const size_t len = static_cast<size_t>(Be16(&jpeg[i + 2]));
    if (len < 2 || i + 2 + len > jpeg.size()) break;
    if (c == 0xFE) comments.insert(comments.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(i),
                                   jpeg.begin() + static_cast<std::ptrdiff_t>(i + 2 + len));
    i += 2 + len;
  }
  return comments;
}

// Where the comments go in a JPEG: after its leading APPn segments.
size_t AfterApplicationSegments(const Byte* jpeg, size_t size) {
  size_t i = 2;
  while (i + 4 <= size && jpeg[i] == 0xFF && jpeg[i + 1] >= 0xE0 && jpeg[i + 1] <= 0xEF) {
    const size_t len = static_cast<size_t>(Be16(&jpeg[i + 2]));
    if (len < 2 || i + 2 + len > size) break;
    i += 2 + len;
  }
  return std::min(i, size);
}

int TransformOp(TIEJpegTransform t) {
  switch (t) {
    case jtHorizFlip: return TJXOP_HFLIP;
    case jtVertFlip: return TJXOP_VFLIP;
    case jtTranspose: return TJXOP_TRANSPOSE;
    case jtTransverse: return TJXOP_TRANSVERSE;
    case jtRotate90: return TJXOP_ROT90;
    case jtRotate180: return TJXOP_ROT180;
    case jtRotate270: return TJXOP_ROT270;
    default: return TJXOP_NONE;  // jtNone, and jtCut, which only crops
  }
}

struct TjHandle {
  tjhandle h = tjInitTransform();
  ~TjHandle() {
    if (h != nullptr) tjDestroy(h);
  }
};
struct TjBuffer {
  unsigned char* p = nullptr;
  ~TjBuffer() { tjFree(p); }
};

bool Transform(TStream* InStream, TStream* OutStream, TIEJpegTransform transform, bool grayScale,
               TIEJpegCopyMarkers copyMarkers, TRect cutRect) {
  const Integer start = JpegTryStream(InStream);
  if (start < 0) return false;
  InStream->SetPosition(start);
  std::vector<Byte> in;
  if (!ReadRest(InStream, in) || in.size() < 4) return false;

  TjHandle handle;
  if (handle.h == nullptr) return false;
  int width = 0, height = 0, subsamp = 0, colourspace = 0;
  if (tjDecompressHeader3(handle.h, in.data(), in.size(), &width, &height, &subsamp, &colourspace) != 0)
    return false;
  tjtransform xf{};
  xf.op = TransformOp(transform);
  xf.options = TJXOPT_TRIM;
  if (grayScale) xf.options |= TJXOPT_GRAY;
  if (copyMarkers != jcCopyAll) xf.options |= TJXOPT_COPYNONE;
  if (transform == jtCut) {
    if (subsamp < 0 || subsamp >= TJ_NUMSAMP) return false;
    // The region's origin moves back to the block grid and the region grows by as
    // much, so that it still covers what was asked; it ends at the image's edge.
    const int mw = tjMCUWidth[subsamp], mh = tjMCUHeight[subsamp];
    const Int64 left = std::clamp<Int64>(cutRect.left, 0, width), top = std::clamp<Int64>(cutRect.top, 0, height);
    const Int64 right = std::min<Int64>(Int64{cutRect.right} + 1, width);
    const Int64 bottom = std::min<Int64>(Int64{cutRect.bottom} + 1, height);
    xf.r.x = static_cast<int>(left - left % mw);
    xf.r.y = static_cast<int>(top - top % mh);
    if (right <= xf.r.x || bottom <= xf.r.y) return false;
    xf.r.w = static_cast<int>(right - xf.r.x);
    xf.r.h = static_cast<int>(bottom - xf.r.y);
    xf.options |= TJXOPT_CROP;
  }
  TjBuffer out;
  unsigned long outSize = 0;
  if (tjTransform(handle.h, in.data(), in.size(), 1, &out.p, &outSize, &xf, 0) != 0) return false;
  if (copyMarkers != jcCopyComments) return WriteAll(OutStream, out.p, outSize);
  const std::vector<Byte> comments = CommentSegments(in);
  const size_t at = AfterApplicationSegments(out.p, outSize);
  return WriteAll(OutStream, out.p, at) && WriteAll(OutStream, comments.data(), comments.size()) &&
         WriteAll(OutStream, out.p + at, outSize - at);
}

}  // namespace

bool IEJpegInjectIPTC(TStream* InStream, TStream* OutStream, TIEIPTCInfoList* IPTC) {
  try {
    std::vector<Byte> in;
    if (!ReadRest(InStream, in)) return false;
    std::vector<Byte> block;
    if (IPTC != nullptr) {
      std::unique_ptr<Byte[]> buffer;
      Integer length = 0;
      IPTC->SaveToStandardBuffer(buffer, length, true);
      if (length + 2 > 0xFFFF) return false;  // more than one segment can hold
      if (length > 0) block.assign(buffer.get(), buffer.get() + length);
    }
    std::vector<Byte> out;
    if (!Inject(in, block, out)) return false;
    return WriteAll(OutStream, out.data(), out.size());
  } catch (const std::exception&) {
    return false;
  }
}

void IEJpegLosslessTransform(TStream* InStream, TStream* OutStream, TProgressRec& Progress,
                             TIEJpegTransform Transform, bool grayScale,
                             TIEJpegCopyMarkers CopyMarkers, TRect CutRect) {
  bool ok = false;
  try {
    ok = ::Transform(InStream, OutStream, Transform, grayScale, CopyMarkers, CutRect);
  } catch (const std::exception&) {
    ok = false;
  }
  if (!ok) Progress.Abort();
}
