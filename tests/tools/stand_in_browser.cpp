// A stand-in for a web browser's DDE window-information service, for tests. It listens
// on <folder>/lark-dde-<service>.sock and speaks the conversation protocol of the DDE
// layer (frames of one kind byte, a 32-bit big-endian length and the payload), written
// here on its own so that each side checks the other.
//
//   stand_in_browser --folder DIR --service NAME [--topic TOPIC] [--refuse] --script FILE
//
// Each request takes the next line of the script; the last line answers every request
// after it. Lines:
//   reply TEXT          the data TEXT (with "\0" for a NUL byte)
//   hold FILE TEXT      waits until FILE exists, then the data TEXT
//   none                no data for the item
//   silent              never answers; the conversation stays open
//   oversize            announces data of 1 MiB and sends a little of it
//   garbage             writes bytes that are no frame
//   close               ends the conversation
// It writes "listening" once it accepts conversations, then "connect TOPIC" and
// "request FORMAT ITEM (N)" for what it receives, one line each, N counting
// the requests from 1.
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::string gSocketPath;

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool ReadAll(int fd, unsigned char* out, size_t count) {
  size_t done = 0;
  while (done < count) {
    const ssize_t n = recv(fd, out + done, count - done, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string Frame(char kind, const std::string& payload, uint32_t announced) {
  std::string f(5, '\0');
  f[0] = kind;
  for (int i = 0; i < 4; ++i) f[1 + i] = static_cast<char>(announced >> (24 - 8 * i));
  return f + payload;
}
std::string Frame(char kind, const std::string& payload) {
  return Frame(kind, payload, static_cast<uint32_t>(payload.size()));
}

bool ReadFrame(int fd, char* kind, std::string* payload) {
  unsigned char head[5];
  if (!ReadAll(fd, head, 5)) return false;
  const uint32_t len = (uint32_t{head[1]} << 24) | (uint32_t{head[2]} << 16) | (uint32_t{head[3]} << 8) | head[4];
  if (len > 65536) return false;
  payload->assign(len, '\0');
  if (len > 0 && !ReadAll(fd, reinterpret_cast<unsigned char*>(payload->data()), len)) return false;
  *kind = static_cast<char>(head[0]);
  return true;
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "\\0") == 0) {
      out += '\0';
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

// Serves one conversation until either side ends it.
void Serve(int fd, const std::string& topic, bool refuse, const std::vector<std::string>& script,
           size_t* next) {
  char kind = 0;
  std::string payload;
  if (!ReadFrame(fd, &kind, &payload) || kind != 'C') return;
  Say("connect " + payload);
  if (refuse || payload != topic) {
    WriteAll(fd, Frame('N', "topic not served"));
    return;
  }
  if (!WriteAll(fd, Frame('A', ""))) return;
  while (ReadFrame(fd, &kind, &payload)) {
    if (kind != 'R' || payload.size() < 2) return;
    const unsigned format = (static_cast<unsigned char>(payload[0]) << 8) | static_cast<unsigned char>(payload[1]);
    ++*next;
    Say("request " + std::to_string(format) + " " + payload.substr(2) + " (" + std::to_string(*next) + ")");
    const std::string line = script.empty() ? "none" : script[std::min(*next - 1, script.size() - 1)];
    const size_t space = line.find(' ');
    const std::string verb = line.substr(0, space);
    const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
    if (verb == "reply") {
      if (!WriteAll(fd, Frame('D', Unescape(rest)))) return;
    } else if (verb == "hold") {
      const size_t gap = rest.find(' ');
      const std::string file = rest.substr(0, gap);
      while (!FileExists(file)) poll(nullptr, 0, 5);
      if (!WriteAll(fd, Frame('D', gap == std::string::npos ? "" : Unescape(rest.substr(gap + 1))))) return;
    } else if (verb == "none") {
      if (!WriteAll(fd, Frame('N', ""))) return;
    } else if (verb == "silent") {
      // Keep the conversation until the client goes.
      char byte;
      while (recv(fd, &byte, 1, 0) > 0) {
      }
      return;
    } else if (verb == "oversize") {
      WriteAll(fd, Frame('D', std::string(4096, 'x'), 1u << 20));
      return;
    } else if (verb == "garbage") {
      WriteAll(fd, "HTTP/1.0 200 OK\r\n\r\n\"http://example.org/\"");
      return;
    } else {
      return;  // close
    }
  }
}

void RemoveSocket(int) {
  unlink(gSocketPath.c_str());
  _exit(0);
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder, service, topic = "WWW_GetWindowInfo", scriptPath;
  bool refuse = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() { return i + 1 < argc ? std::string(argv[++i]) : std::string(); };
    if (arg == "--folder") folder = value();
    else if (arg == "--service") service = value();
    else if (arg == "--topic") topic = value();
    else if (arg == "--script") scriptPath = value();
    else if (arg == "--refuse") refuse = true;
  }
  if (folder.empty() || service.empty()) {
    std::fprintf(stderr, "usage: %s --folder DIR --service NAME [--topic T] [--refuse] --script FILE\n", argv[0]);
    return 2;
  }
  std::vector<std::string> script;
  if (!scriptPath.empty()) {
    std::ifstream in(scriptPath);
    for (std::string line; std::getline(in, line);)
      if (!line.empty()) script.push_back(line);
  }
  if (folder.back() != '/') folder += '/';
  gSocketPath = folder + "lark-dde-" + service + ".sock";
  signal(SIGTERM, RemoveSocket);
  signal(SIGINT, RemoveSocket);
  const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (gSocketPath.size() >= sizeof addr.sun_path) return 2;
  std::memcpy(addr.sun_path, gSocketPath.data(), gSocketPath.size());
  unlink(gSocketPath.c_str());
  if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(listener, 8) != 0) {
    std::perror("stand_in_browser");
    return 1;
  }
  Say("listening");
  size_t next = 0;
  for (;;) {
    const int fd = accept(listener, nullptr, nullptr);
    if (fd < 0) {
      if (errno == EINTR) continue;
      return 1;
    }
    Serve(fd, topic, refuse, script, &next);
    close(fd);
  }
}
