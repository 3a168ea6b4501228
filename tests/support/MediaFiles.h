// Sound files and covers for tests, written at run time by independent tools: sox
// (WAV tones), lame (MP3), ImageMagick (JPEG covers) and mutagen (ID3v2 tags).
// Each records a test failure when its tool fails.
#pragma once

#include <string>
#include <vector>

namespace larktest {

// The whole file; "" when it cannot be read.
std::string ReadFileBytes(const std::string& path);
// A mono 16-bit sine tone of the given length ("0.5") at rate samples a second.
void MakeToneWav(const std::string& path, const std::string& seconds, const std::string& rate = "8000");
void MakeMp3(const std::string& wav, const std::string& mp3);
// A JPEG of the given size ("40x30"): a smooth gradient, or a noisy picture that
// compresses badly (a large file).
void MakeJpeg(const std::string& path, const std::string& size, bool noisy);
// mp3 copied to path with an ID3v2 tag in front (tests/data/id3/tag_mp3.py: --version,
// --encoder, --cover, --title, --padding); answers the tagged file's bytes.
std::string TagMp3(const std::string& mp3, const std::string& path, const std::vector<std::string>& options);

}  // namespace larktest
