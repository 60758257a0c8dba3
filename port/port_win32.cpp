// SPDX-License-Identifier: MIT

#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <initializer_list>

#include "port/port.h"

namespace port {

namespace {

// Entry names and the tools' messages are code page 932 text on every
// Windows, whatever the system's own code page.
constexpr UINT kImageCodePage = 932;
// An entry name of 9 bytes is at most 9 UTF-16 units.
constexpr int kMaxWideName = 16;
// The longest command line Windows passes, in UTF-16 units.
constexpr int kMaxCommandLine = 32768;

bool stdout_console = false;
bool stderr_console = false;

// Why the last call of this layer that failed did, in UTF-8.
char last_error_text[512];

// Keeps the system's words for error, after what was being done when what
// is not null.
bool Failed(DWORD error, const char* what = nullptr) {
  wchar_t text[256];
  const DWORD units =
      FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, text, 256, nullptr);
  // System messages end in a line break and sometimes a full stop.
  DWORD end = units;
  while (end > 0 && (text[end - 1] == L'\r' || text[end - 1] == L'\n' ||
                     text[end - 1] == L'.' || text[end - 1] == L' ')) {
    --end;
  }
  const int prefix = what == nullptr
                         ? 0
                         : std::snprintf(last_error_text,
                                         sizeof last_error_text, "%s: ", what);
  char* const out = last_error_text + prefix;
  const int room = static_cast<int>(sizeof last_error_text) - prefix - 1;
  const int bytes =
      end == 0 ? 0
               : WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(end),
                                     out, room, nullptr, nullptr);
  if (bytes > 0) {
    out[bytes] = '\0';
  } else {
    std::snprintf(out, static_cast<size_t>(room) + 1, "error %lu",
                  static_cast<unsigned long>(error));
  }
  return false;
}

// Arguments in UTF-8: each UTF-16 unit takes at most 3 bytes, a pair of
// surrogates 4, and each argument a terminating zero.
char argument_bytes[4 * kMaxCommandLine];
char* argument_list[kMaxCommandLine / 2 + 1];

// Room for a path or a line of text in UTF-16.
wchar_t wide_text[kMaxCommandLine];

HANDLE ConsoleOf(std::FILE* stream) {
  if (stream == stdout && stdout_console)
    return GetStdHandle(STD_OUTPUT_HANDLE);
  if (stream == stderr && stderr_console) return GetStdHandle(STD_ERROR_HANDLE);
  return nullptr;
}

bool IsConsole(DWORD which) {
  DWORD mode = 0;
  // _isatty is also true for NUL, which is no console.
  return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

// Writes count UTF-16 units to the console behind stream, after what the C
// stream holds, so that the order stays.
bool WriteConsole(std::FILE* stream, HANDLE console, const wchar_t* text,
                  int count) {
  std::fflush(stream);
  while (count > 0) {
    DWORD wrote = 0;
    if (!WriteConsoleW(console, text, static_cast<DWORD>(count), &wrote,
                       nullptr) ||
        wrote == 0) {
      return false;
    }
    text += wrote;
    count -= static_cast<int>(wrote);
  }
  return true;
}

// Fills wide_text with UTF-8 text of size bytes in UTF-16; returns the units
// written, zero-terminated, or -1 when it does not fit.
int Utf8ToWide(const char* text, size_t size) {
  if (size == 0) {
    wide_text[0] = L'\0';
    return 0;
  }
  if (size >= static_cast<size_t>(kMaxCommandLine)) return -1;
  const int units = MultiByteToWideChar(
      CP_UTF8, 0, text, static_cast<int>(size), wide_text, kMaxCommandLine - 1);
  if (units <= 0) return -1;
  wide_text[units] = L'\0';
  return units;
}

// Fills wide with the entry name decoded character by character; false when
// a byte does not decode or the name is too long.
bool DecodeName(const char* name, wchar_t (&wide)[kMaxWideName]) {
  const uint8_t* text = reinterpret_cast<const uint8_t*>(name);
  const int32_t length = static_cast<int32_t>(std::strlen(name));
  int units = 0;
  for (int32_t at = 0; at < length;) {
    uint32_t code_point = 0;
    at += DecodeCp932(text + at, length - at, &code_point);
    if (code_point == 0xFFFD || code_point > 0xFFFF ||
        units >= kMaxWideName - 1) {
      return false;
    }
    wide[units++] = static_cast<wchar_t>(code_point);
  }
  wide[units] = L'\0';
  return true;
}

bool IsDeviceName(const wchar_t* name) {
  // The part before the first '.' decides: "CON.TXT" is the console too.
  wchar_t base[kMaxWideName];
  int length = 0;
  for (; name[length] != L'\0' && name[length] != L'.'; ++length) {
    const wchar_t c = name[length];
    base[length] = c >= L'a' && c <= L'z' ? c - L'a' + L'A' : c;
  }
  base[length] = L'\0';
  for (const wchar_t* device :
       {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"}) {
    if (wcscmp(base, device) == 0) return true;
  }
  return length == 4 &&
         (wcsncmp(base, L"COM", 3) == 0 || wcsncmp(base, L"LPT", 3) == 0) &&
         base[3] >= L'0' && base[3] <= L'9';
}

bool WriteAll(HANDLE handle, const uint8_t* data, int32_t size) {
  int32_t done = 0;
  while (done < size) {
    DWORD wrote = 0;
    if (!WriteFile(handle, data + done, static_cast<DWORD>(size - done), &wrote,
                   nullptr) ||
        wrote == 0) {
      return false;
    }
    done += static_cast<int32_t>(wrote);
  }
  return true;
}

// Copies at most limit bytes from from into a new file in the user's
// temporary folder, deleted when closed. Returns its handle, or
// INVALID_HANDLE_VALUE (with the reason kept) when it cannot be made or
// written, or from cannot be read.
HANDLE CopyToTemporaryFile(HANDLE from, int64_t limit) {
  wchar_t folder[MAX_PATH + 1];
  wchar_t path[MAX_PATH + 1];
  const char* const making = "cannot make a temporary copy";
  if (GetTempPathW(MAX_PATH + 1, folder) == 0 ||
      GetTempFileNameW(folder, L"d88", 0, path) == 0) {
    Failed(GetLastError(), making);
    return INVALID_HANDLE_VALUE;
  }
  const HANDLE copy = CreateFileW(
      path, GENERIC_READ | GENERIC_WRITE,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
      nullptr);
  if (copy == INVALID_HANDLE_VALUE) {
    Failed(GetLastError(), making);
    DeleteFileW(path);
    return INVALID_HANDLE_VALUE;
  }
  static uint8_t buffer[1 << 16];
  for (int64_t copied = 0; copied < limit;) {
    const DWORD want = static_cast<DWORD>(
        limit - copied < int64_t{sizeof buffer} ? limit - copied
                                                : int64_t{sizeof buffer});
    DWORD got = 0;
    if (!ReadFile(from, buffer, want, &got, nullptr)) {
      // The writing end of a pipe closing is its end, not a failure.
      if (GetLastError() == ERROR_BROKEN_PIPE) break;
      Failed(GetLastError(), "cannot read it");
      CloseHandle(copy);
      return INVALID_HANDLE_VALUE;
    }
    if (got == 0) break;
    if (!WriteAll(copy, buffer, static_cast<int32_t>(got))) {
      Failed(GetLastError(), "cannot copy it");
      CloseHandle(copy);
      return INVALID_HANDLE_VALUE;
    }
    copied += got;
  }
  return copy;
}

}  // namespace

void ReopenClosedStandardStreams(bool* stdout_closed) {
  // Windows hands out no lowest free number that a file could take in place
  // of a closed stream; a missing standard output makes the writes fail.
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  *stdout_closed = out == nullptr || out == INVALID_HANDLE_VALUE;
}

const char* LastErrorText() { return last_error_text; }

bool ChangeFolder(const char* path) {
  if (Utf8ToWide(path, std::strlen(path)) <= 0) {
    return Failed(ERROR_INVALID_NAME);
  }
  return SetCurrentDirectoryW(wide_text) != 0 || Failed(GetLastError());
}

// The C library reports a write to a pipe whose reader has gone as EINVAL
// (from ERROR_NO_DATA), or EPIPE.
bool IsReaderGone(int error) { return error == EPIPE || error == EINVAL; }

void GetArguments(int* argc, char*** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return;
  char* out = argument_bytes;
  char* const end = argument_bytes + sizeof argument_bytes;
  int taken = 0;
  for (; taken < count && taken < kMaxCommandLine / 2; ++taken) {
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, wide[taken], -1, out,
                            static_cast<int>(end - out), nullptr, nullptr);
    if (bytes <= 0) break;
    argument_list[taken] = out;
    out += bytes;
  }
  LocalFree(wide);
  argument_list[taken] = nullptr;
  *argc = taken;
  *argv = argument_list;
}

void SetUpText() {
  stdout_console = IsConsole(STD_OUTPUT_HANDLE);
  stderr_console = IsConsole(STD_ERROR_HANDLE);
}

TextStream GetTextStream(std::FILE* stream) {
  const bool console = ConsoleOf(stream) != nullptr;
  return {console, console};
}

int32_t DecodeCp932(const uint8_t* text, int32_t size, uint32_t* code_point) {
  *code_point = 0xFFFD;
  const uint8_t first = text[0];
  // Windows maps these to a control and to private-use characters, while
  // the C library rejects them: as undecodable, every host agrees.
  if (first == 0x80 || first == 0xA0 || first >= 0xFD) return 1;
  // MB_ERR_INVALID_CHARS fails a whole string without saying where: one
  // character at a time, then.
  const int length =
      IsDBCSLeadByteEx(kImageCodePage, first) && size >= 2 ? 2 : 1;
  wchar_t wide[2];
  if (MultiByteToWideChar(kImageCodePage, MB_ERR_INVALID_CHARS,
                          reinterpret_cast<const char*>(text), length, wide,
                          2) != 1) {
    return 1;
  }
  *code_point = static_cast<uint16_t>(wide[0]);
  return length;
}

bool WriteCodePoints(std::FILE* stream, const uint32_t* code_points,
                     int32_t count) {
  const HANDLE console = ConsoleOf(stream);
  if (console == nullptr) return false;
  wchar_t buffer[256];
  int used = 0;
  bool ok = true;
  for (int32_t i = 0; i < count; ++i) {
    if (used > 250) {
      ok = WriteConsole(stream, console, buffer, used) && ok;
      used = 0;
    }
    const uint32_t c = code_points[i];
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      buffer[used++] = L'?';
    } else if (c > 0xFFFF) {
      buffer[used++] = static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
      buffer[used++] = static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      buffer[used++] = static_cast<wchar_t>(c);
    }
  }
  return WriteConsole(stream, console, buffer, used) && ok;
}

bool WriteUserText(std::FILE* stream, const char* text) {
  const int units = Utf8ToWide(text, std::strlen(text));
  if (units < 0) return false;
  const HANDLE console = ConsoleOf(stream);
  if (console != nullptr)
    return WriteConsole(stream, console, wide_text, units);
  if (units == 0) return true;
  // Written to a file or pipe, the text goes in the code page that the
  // rest of the output uses.
  static char bytes[2 * kMaxCommandLine];
  const int size =
      WideCharToMultiByte(kImageCodePage, WC_NO_BEST_FIT_CHARS, wide_text,
                          units, bytes, sizeof bytes, "?", nullptr);
  return size > 0 && std::fwrite(bytes, 1, static_cast<size_t>(size), stream) ==
                         static_cast<size_t>(size);
}

bool WriteUtf8(std::FILE* stream, const char* text, size_t size) {
  const HANDLE console = ConsoleOf(stream);
  if (console == nullptr) return std::fwrite(text, 1, size, stream) == size;
  const int units = Utf8ToWide(text, size);
  return units >= 0 && WriteConsole(stream, console, wide_text, units);
}

// A write to a closed pipe already fails with an error here.
void KeepRunningWhenOutputCloses() {}

bool RandomAccessFile::Open(const char* path, int64_t copy_limit) {
  Close();
  HANDLE handle = INVALID_HANDLE_VALUE;
  if (std::strcmp(path, "-") == 0) {
    // Standard input is not the program's to keep: always copied.
    handle = CopyToTemporaryFile(GetStdHandle(STD_INPUT_HANDLE), copy_limit);
    if (handle == INVALID_HANDLE_VALUE) return false;
  } else {
    if (Utf8ToWide(path, std::strlen(path)) <= 0) {
      return Failed(ERROR_INVALID_NAME);
    }
    // Sharing as fopen does, so that an image another program holds open can
    // still be read. A folder cannot be opened without backup semantics.
    handle =
        CreateFileW(wide_text, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return Failed(GetLastError());
    // A pipe or a device cannot be read at a position: it is read once, as
    // far as a scan of disks can reach, into a file that can.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
      const HANDLE copy = CopyToTemporaryFile(handle, copy_limit);
      CloseHandle(handle);
      if (copy == INVALID_HANDLE_VALUE) return false;
      handle = copy;
    }
  }
  handle_ = reinterpret_cast<intptr_t>(handle);
  return true;
}

void RandomAccessFile::Close() {
  if (handle_ != kNoHandle) CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = kNoHandle;
}

int32_t RandomAccessFile::ReadAt(int64_t offset, uint8_t* dest,
                                 int32_t size) const {
  if (handle_ == kNoHandle) return 0;
  int32_t done = 0;
  while (done < size) {
    const uint64_t position = static_cast<uint64_t>(offset) + done;
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(position);
    at.OffsetHigh = static_cast<DWORD>(position >> 32);
    DWORD got = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(handle_), dest + done,
                  static_cast<DWORD>(size - done), &got, &at) ||
        got == 0) {
      break;
    }
    done += static_cast<int32_t>(got);
  }
  return done;
}

bool IsHostFileName(const char* name) {
  // Judged on the characters, never the bytes: 0x5C and 0x7C are also
  // second bytes of double-byte characters (ソ is 83 5C, ポ is 83 7C).
  wchar_t wide[kMaxWideName];
  if (!DecodeName(name, wide)) return false;
  for (const wchar_t* p = wide; *p != L'\0'; ++p) {
    if (*p < 0x20 || *p == 0x7F || std::wcschr(L"<>:\"\\|?*", *p) != nullptr) {
      return false;
    }
  }
  // Windows drops a trailing '.' or space, so "X." would be "X".
  const wchar_t last = wide[wcslen(wide) - 1];
  return last != L'.' && last != L' ' && !IsDeviceName(wide);
}

bool WriteWholeFile(const char* name, const uint8_t* data, int32_t size) {
  wchar_t wide_name[kMaxWideName];
  if (!DecodeName(name, wide_name)) return false;
  // Longer than any entry name can be, so it never stands for an entry.
  static unsigned sequence = 0;
  wchar_t temp_name[64];
  HANDLE handle = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && handle == INVALID_HANDLE_VALUE;
       ++attempt) {
    _snwprintf(temp_name, 64, L".d88extract-%lu-%u.tmp",
               static_cast<unsigned long>(GetCurrentProcessId()), sequence++);
    temp_name[63] = L'\0';
    handle = CreateFileW(temp_name, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
      return false;
    }
  }
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool written = WriteAll(handle, data, size);
  const bool closed = CloseHandle(handle) != 0;
  if (written && closed &&
      MoveFileExW(temp_name, wide_name,
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  DeleteFileW(temp_name);
  return false;
}

}  // namespace port
