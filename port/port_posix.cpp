// SPDX-License-Identifier: MIT

#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <signal.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "port/port.h"

namespace port {

namespace {

// Why the last call of this layer that failed did.
char last_error_text[4200];

// Keeps the reason error, after what was being done when where is not null.
bool Failed(int error, const char* what = nullptr, const char* where = "") {
  if (what == nullptr) {
    std::snprintf(last_error_text, sizeof last_error_text, "%s",
                  std::strerror(error));
  } else {
    std::snprintf(last_error_text, sizeof last_error_text, "%s%s: %s", what,
                  where, std::strerror(error));
  }
  return false;
}

bool WriteAll(int fd, const uint8_t* data, int32_t size) {
  int32_t done = 0;
  while (done < size) {
    const ssize_t wrote =
        write(fd, data + done, static_cast<size_t>(size - done));
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    done += static_cast<int32_t>(wrote);
  }
  return true;
}

// An entry name of 9 code page 932 bytes spelled in any code set the C
// library knows fits with room to spare.
constexpr size_t kMaxHostName = 64;

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// The converter from code page 932 to UTF-32, opened on first use.
iconv_t FromCp932() {
  static const iconv_t converter = iconv_open("UTF-32LE", "CP932");
  return converter;
}

// The converter from UTF-32 to the locale's code set, opened by SetUpText
// where text is converted. Converting in two steps tells a byte that does not
// decode from a character the locale cannot spell, which one step would
// report alike.
iconv_t to_locale = kNoConverter;
bool ascii_is_ascii = false;
bool stdout_terminal = false;
bool stderr_terminal = false;

bool IsAsciiCodeSet(const char* code_set) {
  // The names C libraries give the code set of the C and POSIX locales.
  for (const char* name : {"ANSI_X3.4-1968", "ASCII", "US-ASCII", "646"}) {
    if (strcasecmp(code_set, name) == 0) return true;
  }
  return false;
}

bool Converts() { return to_locale != kNoConverter; }

// Appends the locale's spelling of code_point at *out, which has *room bytes.
// Returns false, leaving *out as it was, when the code set cannot spell it or
// *room is too small.
bool Encode(uint32_t code_point, char** out, size_t* room) {
  uint8_t utf32[4];
  for (int i = 0; i < 4; ++i) {
    utf32[i] = static_cast<uint8_t>(code_point >> (8 * i));
  }
  char* in = reinterpret_cast<char*>(utf32);
  size_t in_left = sizeof utf32;
  char* const start = *out;
  const size_t start_room = *room;
  if (iconv(to_locale, &in, &in_left, out, room) == static_cast<size_t>(-1)) {
    *out = start;
    *room = start_room;
    return false;
  }
  return true;
}

// Ends a spelling in a code set with shift states. Returns false when *room
// is too small.
bool EndEncoding(char** out, size_t* room) {
  return iconv(to_locale, nullptr, nullptr, out, room) !=
         static_cast<size_t>(-1);
}

// Fills host_name with the entry name as the file system gets it: unchanged
// where text is not converted, else spelled in the locale's code set. Returns
// false when the name does not decode or the code set cannot spell it.
bool HostName(const char* name, char (&host_name)[kMaxHostName]) {
  const size_t length = std::strlen(name);
  if (!Converts()) {
    if (length >= kMaxHostName) return false;
    std::memcpy(host_name, name, length + 1);
    return true;
  }
  const uint8_t* text = reinterpret_cast<const uint8_t*>(name);
  size_t ascii = 0;
  while (ascii < length && text[ascii] < 0x80) ++ascii;
  if (ascii == length && ascii_is_ascii) {
    std::memcpy(host_name, name, length + 1);
    return true;
  }
  char* out = host_name;
  size_t room = kMaxHostName - 1;
  iconv(to_locale, nullptr, nullptr, nullptr, nullptr);
  for (size_t at = 0; at < length;) {
    uint32_t code_point = 0;
    at += static_cast<size_t>(
        DecodeCp932(text + at, static_cast<int32_t>(length - at), &code_point));
    if (code_point == 0xFFFD || !Encode(code_point, &out, &room)) return false;
  }
  if (!EndEncoding(&out, &room)) return false;
  *out = '\0';
  // No code set in use spells a character with a '/' byte, but the file
  // system would take one as a folder: make sure.
  return std::strchr(host_name, '/') == nullptr &&
         std::strcmp(host_name, ".") != 0 && std::strcmp(host_name, "..") != 0;
}

// Copies at most limit bytes from from into a new file that has no name,
// in $TMPDIR or else /tmp. Returns its descriptor, or -1 (with the reason
// kept) when it cannot be made or written, or from cannot be read.
int CopyToTemporaryFile(int from, int64_t limit) {
  const char* folder = std::getenv("TMPDIR");
  if (folder == nullptr || folder[0] == '\0') folder = "/tmp";
  char path[4096];
  const char* const making = "cannot make a temporary copy in ";
  if (std::snprintf(path, sizeof path, "%s/d88extract-XXXXXX", folder) >=
      static_cast<int>(sizeof path)) {
    Failed(ENAMETOOLONG, making, folder);
    return -1;
  }
  const int copy = mkstemp(path);
  if (copy < 0) {
    Failed(errno, making, folder);
    return -1;
  }
  // Gone from the folder at once: nothing is left behind, whatever happens.
  unlink(path);
  fcntl(copy, F_SETFD, FD_CLOEXEC);
  static uint8_t buffer[1 << 16];
  for (int64_t copied = 0; copied < limit;) {
    const size_t want = static_cast<size_t>(
        limit - copied < int64_t{sizeof buffer} ? limit - copied
                                                : int64_t{sizeof buffer});
    const ssize_t got = read(from, buffer, want);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      Failed(errno, "cannot read it");
      close(copy);
      return -1;
    }
    if (!WriteAll(copy, buffer, static_cast<int32_t>(got))) {
      Failed(errno, "cannot copy it into ", folder);
      close(copy);
      return -1;
    }
    if (got == 0) break;
    copied += got;
  }
  return copy;
}

}  // namespace

void KeepRunningWhenOutputCloses() { signal(SIGPIPE, SIG_IGN); }

const char* LastErrorText() { return last_error_text; }

bool ChangeFolder(const char* path) {
  return chdir(path) == 0 || Failed(errno);
}

bool IsReaderGone(int error) { return error == EPIPE; }

void ReopenClosedStandardStreams(bool* stdout_closed) {
  *stdout_closed = false;
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    if (fd == STDOUT_FILENO) *stdout_closed = true;
    // The lowest free descriptor is the one that was closed.
    open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
  }
}

void GetArguments(int*, char***) {}

void SetUpText() {
  setlocale(LC_CTYPE, "");
  // The code set decides, not the locale's name: C.UTF-8 is UTF-8.
  const char* code_set = nl_langinfo(CODESET);
  if (!IsAsciiCodeSet(code_set) && FromCp932() != kNoConverter) {
    to_locale = iconv_open(code_set, "UTF-32LE");
  }
  if (to_locale != kNoConverter) {
    // Where the code set spells ASCII as ASCII, as nearly all do, text that
    // is all ASCII needs no conversion.
    uint32_t ascii[127];
    for (uint32_t c = 1; c < 128; ++c) ascii[c - 1] = c;
    char spelled[256];
    char* out = spelled;
    size_t room = sizeof spelled;
    iconv(to_locale, nullptr, nullptr, nullptr, nullptr);
    bool same = true;
    for (uint32_t c : ascii) same = same && Encode(c, &out, &room);
    same = same && EndEncoding(&out, &room) && out - spelled == 127;
    for (int i = 0; same && i < 127; ++i) same = spelled[i] == i + 1;
    ascii_is_ascii = same;
  }
  stdout_terminal = isatty(STDOUT_FILENO) == 1;
  stderr_terminal = isatty(STDERR_FILENO) == 1;
}

TextStream GetTextStream(std::FILE* stream) {
  const bool terminal = stream == stdout   ? stdout_terminal
                        : stream == stderr ? stderr_terminal
                                           : isatty(fileno(stream)) == 1;
  return {Converts(), terminal};
}

int32_t DecodeCp932(const uint8_t* text, int32_t size, uint32_t* code_point) {
  *code_point = 0xFFFD;
  const uint8_t first = text[0];
  // The C library rejects these, and Windows maps them to a control and to
  // private-use characters: as undecodable, every host agrees.
  if (first == 0x80 || first == 0xA0 || first >= 0xFD) return 1;
  // The single bytes below 0x80 are ASCII in code page 932 (0x5C is '\\',
  // 0x7E is '~'), whatever converter the host has.
  if (first < 0x80) {
    *code_point = first;
    return 1;
  }
  const iconv_t from_cp932 = FromCp932();
  if (from_cp932 == kNoConverter) return 1;
  // One character at most fits the output: a single byte stops with E2BIG
  // before the next, a pair converts whole, a bad or lone lead byte (EILSEQ,
  // or EINVAL at the end) converts nothing.
  const size_t offered = size >= 2 ? 2 : 1;
  char* in = const_cast<char*>(reinterpret_cast<const char*>(text));
  size_t in_left = offered;
  uint8_t utf32[4];
  char* out = reinterpret_cast<char*>(utf32);
  size_t out_left = sizeof utf32;
  iconv(from_cp932, nullptr, nullptr, nullptr, nullptr);
  iconv(from_cp932, &in, &in_left, &out, &out_left);
  const size_t used = offered - in_left;
  if (used == 0 || out_left != 0) return 1;
  *code_point = static_cast<uint32_t>(utf32[0]) |
                static_cast<uint32_t>(utf32[1]) << 8 |
                static_cast<uint32_t>(utf32[2]) << 16 |
                static_cast<uint32_t>(utf32[3]) << 24;
  return static_cast<int32_t>(used);
}

bool WriteCodePoints(std::FILE* stream, const uint32_t* code_points,
                     int32_t count) {
  if (ascii_is_ascii) {
    char ascii[256];
    int32_t i = 0;
    for (; i < count && i < 256 && code_points[i] < 0x80; ++i) {
      ascii[i] = static_cast<char>(code_points[i]);
    }
    if (i == count) {
      return std::fwrite(ascii, 1, static_cast<size_t>(count), stream) ==
             static_cast<size_t>(count);
    }
  }
  uint8_t utf32[4 * 256];
  char buffer[1024];
  bool ok = true;
  iconv(to_locale, nullptr, nullptr, nullptr, nullptr);
  for (int32_t done = 0; done < count;) {
    const int32_t chunk = count - done < 256 ? count - done : 256;
    for (int32_t i = 0; i < chunk; ++i) {
      for (int32_t k = 0; k < 4; ++k) {
        utf32[4 * i + k] =
            static_cast<uint8_t>(code_points[done + i] >> (8 * k));
      }
    }
    done += chunk;
    char* in = reinterpret_cast<char*>(utf32);
    size_t in_left = 4 * static_cast<size_t>(chunk);
    while (in_left > 0) {
      char* out = buffer;
      size_t room = sizeof buffer;
      if (iconv(to_locale, &in, &in_left, &out, &room) ==
          static_cast<size_t>(-1)) {
        if (errno == EILSEQ) {
          // A character the code set cannot write shows as '?'.
          Encode('?', &out, &room);
          in += 4;
          in_left -= 4;
        } else if (errno != E2BIG) {
          in_left = 0;  // no way on
          ok = false;
        }
      }
      if (in_left == 0 && done == count) EndEncoding(&out, &room);
      const size_t used = static_cast<size_t>(out - buffer);
      ok = std::fwrite(buffer, 1, used, stream) == used && ok;
    }
  }
  return ok;
}

bool WriteUserText(std::FILE* stream, const char* text) {
  return std::fputs(text, stream) >= 0;
}

bool WriteUtf8(std::FILE* stream, const char* text, size_t size) {
  return std::fwrite(text, 1, size, stream) == size;
}

bool RandomAccessFile::Open(const char* path, int64_t copy_limit) {
  Close();
  const bool standard_input = std::strcmp(path, "-") == 0;
  int fd = standard_input ? dup(STDIN_FILENO) : -1;
  while (!standard_input && fd < 0) {
    fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno != EINTR) return Failed(errno);
  }
  if (fd < 0) return Failed(errno);
  struct stat info;
  if (fstat(fd, &info) != 0) {
    const int error = errno;
    close(fd);
    return Failed(error);
  }
  // A folder opens here but holds no bytes to read: it is no image file.
  if (S_ISDIR(info.st_mode)) {
    close(fd);
    return Failed(EISDIR);
  }
  // A pipe, a FIFO or a terminal cannot be read at a position: it is read
  // once, as far as a scan of disks can reach, into a file that can.
  if (!S_ISREG(info.st_mode) && !S_ISBLK(info.st_mode)) {
    const int copy = CopyToTemporaryFile(fd, copy_limit);
    close(fd);
    if (copy < 0) return false;
    fd = copy;
  }
  handle_ = fd;
  return true;
}

void RandomAccessFile::Close() {
  if (handle_ != kNoHandle) close(static_cast<int>(handle_));
  handle_ = kNoHandle;
}

int32_t RandomAccessFile::ReadAt(int64_t offset, uint8_t* dest,
                                 int32_t size) const {
  if (handle_ == kNoHandle) return 0;
  const int fd = static_cast<int>(handle_);
  int32_t done = 0;
  while (done < size) {
    const ssize_t got = pread(fd, dest + done, static_cast<size_t>(size - done),
                              static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<int32_t>(got);
  }
  return done;
}

bool IsHostFileName(const char* name) {
  char host_name[kMaxHostName];
  return HostName(name, host_name);
}

bool WriteWholeFile(const char* entry_name, const uint8_t* data, int32_t size) {
  char name[kMaxHostName];
  if (!HostName(entry_name, name)) return false;
  // Longer than any entry name can be, so it never stands for an entry.
  static unsigned sequence = 0;
  static const long pid = static_cast<long>(getpid());
  char temp_name[64];
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    std::snprintf(temp_name, sizeof temp_name, ".d88extract-%ld-%u.tmp", pid,
                  sequence++);
    fd = open(temp_name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  const bool written = WriteAll(fd, data, size);
  const bool closed = close(fd) == 0;
  if (written && closed && std::rename(temp_name, name) == 0) return true;
  unlink(temp_name);
  return false;
}

}  // namespace port
