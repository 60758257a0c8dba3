// SPDX-License-Identifier: MIT

// Shared by the fuzz harnesses: each input becomes an image file on disk,
// since the reader works on files.

#ifndef FUZZ_FUZZ_FILE_H_
#define FUZZ_FUZZ_FILE_H_

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace d88fuzz {

// A private folder for this fuzzing process, made on first use and removed
// when the process exits. Kept in a plain array, which outlives the exit
// handlers.
inline const char* PrivateRoot() {
  static char root[] = "/tmp/d88fuzz-XXXXXX";
  static const bool made = [] {
    if (mkdtemp(root) == nullptr) std::abort();
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(root, ignored);
    });
    return true;
  }();
  (void)made;
  return root;
}

// Writes data to path; aborts when it cannot, since the run would mean
// nothing.
inline void WriteInput(const std::string& path, const uint8_t* data,
                       size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  if (std::fclose(file) != 0) std::abort();
}

}  // namespace d88fuzz

#endif  // FUZZ_FUZZ_FILE_H_
