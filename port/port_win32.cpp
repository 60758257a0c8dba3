#include <windows.h>

#include <cstdio>

#include "port/port.h"

namespace port {

namespace {

// Entry names are code page 932 (Shift_JIS) text on every Windows, whatever
// the system's own code page.
constexpr UINT kNameCodePage = 932;
constexpr int kMaxWideName = 64;

// Fills wide with the UTF-16 form of name; false when name is not valid
// code page 932 text.
bool ToWide(const char* name, wchar_t (&wide)[kMaxWideName]) {
  return MultiByteToWideChar(kNameCodePage, MB_ERR_INVALID_CHARS, name, -1,
                             wide, kMaxWideName) > 0;
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

}  // namespace

// A write to a closed pipe already fails with an error here.
void KeepRunningWhenOutputCloses() {}

bool RandomAccessFile::Open(const char* path) {
  Close();
  // Sharing as fopen does, so that an image another program holds open can
  // still be read. A folder cannot be opened without backup semantics.
  const HANDLE handle =
      CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
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
  for (const char* p = name; *p != '\0'; ++p) {
    const BYTE byte = static_cast<BYTE>(*p);
    if (IsDBCSLeadByteEx(kNameCodePage, byte)) {
      // The trail byte, even 0x5C, belongs to this character.
      if (p[1] == '\0') return false;
      ++p;
      continue;
    }
    if (byte == ':' || byte == '\\') return false;
  }
  wchar_t wide[kMaxWideName];
  return ToWide(name, wide);
}

bool WriteWholeFile(const char* name, const uint8_t* data, int32_t size) {
  wchar_t wide_name[kMaxWideName];
  if (!ToWide(name, wide_name)) return false;
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
