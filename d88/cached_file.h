// A read-only file served through a fixed cache of file blocks.
//
// Walking a track reads one 16-byte record header after another and may run
// through tens of thousands of records for every sector looked up. Serving
// those headers from memory, and reading the file only in whole blocks at
// absolute positions, keeps a walk free of system calls once its records have
// been seen.

#ifndef D88_CACHED_FILE_H_
#define D88_CACHED_FILE_H_

#include <cstdint>
#include <cstdio>

namespace d88 {

class CachedFile {
 public:
  static constexpr int32_t kBlockBits = 16;
  static constexpr int32_t kBlockSize = 1 << kBlockBits;
  static constexpr int32_t kBlockCount = 64;

  CachedFile();
  ~CachedFile();
  CachedFile(const CachedFile&) = delete;
  CachedFile& operator=(const CachedFile&) = delete;

  // Closes any earlier file, then opens path for binary reading. Returns
  // false, with no file open, when the file cannot be opened.
  bool Open(const char* path);

  // Closes the file if one is open and forgets everything cached.
  void Close();

  bool IsOpen() const { return file_ != nullptr; }

  // Copies up to size bytes found at offset into dest. Returns how many were
  // copied: fewer than size only where the file ends (or cannot be read), 0
  // with no file open or a negative offset. Requires size >= 0.
  int32_t Read(int64_t offset, uint8_t* dest, int32_t size);

  // Returns a view of the file at offset holding at least want bytes, and
  // sets *available to how many bytes the view holds. The view points into
  // the cache, where it may hold more than want bytes; where the first want
  // bytes straddle two blocks, they are copied into scratch instead. Returns
  // null when fewer than want bytes remain in the file. The view is good
  // until the next call. Requires 0 < want <= kBlockSize and room for want
  // bytes in scratch.
  const uint8_t* View(int64_t offset, int32_t want, uint8_t* scratch,
                      int32_t* available);

 private:
  // Returns block `index` of the file, loading it into its slot if need be,
  // and sets *length to the bytes it holds (short only at the end).
  const uint8_t* LoadBlock(int64_t index, int32_t* length);

  std::FILE* file_;
  int64_t block_index_[kBlockCount];  // -1 marks an empty slot
  int32_t block_length_[kBlockCount];
  uint8_t blocks_[kBlockCount][kBlockSize];
};

}  // namespace d88

#endif  // D88_CACHED_FILE_H_
