// SPDX-License-Identifier: MIT

// Image files read through a fixed cache that the files' owner provides.
//
// Walking a track reads one 16-byte record header after another and may run
// through tens of thousands of records for one sector. Where records lie
// close together, whole 64 KiB blocks of the file serve their headers; where
// each header lies in a block of its own, a 16-byte read fetches just the
// header. Every header read is kept, so a later walk over the same records
// costs no file access either way.

#ifndef D88_CACHED_FILE_H_
#define D88_CACHED_FILE_H_

#include <cstdint>

#include "d88/format.h"
#include "port/port.h"

namespace d88 {

// Storage for the blocks and record headers of any number of files. Files
// opened through one cache never see each other's bytes, also when one is
// closed and another opened. It is large (about 7 MiB): give it static
// storage, or allocate it value-initialized (`new FileCache()`). All zero
// bytes are an empty cache, so that pages the run never touches cost
// nothing.
class FileCache {
 public:
  static constexpr int32_t kBlockBits = 16;
  static constexpr int32_t kBlockSize = 1 << kBlockBits;
  static constexpr int32_t kBlockCount = 64;
  static constexpr int32_t kHeaderSetBits = 15;
  static constexpr int32_t kHeaderWays = 4;

  FileCache() = default;
  FileCache(const FileCache&) = delete;
  FileCache& operator=(const FileCache&) = delete;

 private:
  friend class CachedFile;

  struct Block {
    uint32_t serial;  // of the file it belongs to; 0 marks an empty slot
    int32_t length;   // bytes it holds: short only at the end of the file
    int64_t index;
    uint8_t bytes[kBlockSize];
  };

  struct HeaderSlot {
    uint32_t serial;  // 0 marks an empty slot
    RecordHeader header;
    int64_t offset;
  };

  // A number that no file opened through this cache had before.
  uint32_t NewSerial();

  uint32_t last_serial_;
  Block blocks_[kBlockCount];
  HeaderSlot headers_[1 << kHeaderSetBits][kHeaderWays];
  uint8_t next_victim_[1 << kHeaderSetBits];
};

// One image file, read at absolute positions through a FileCache.
class CachedFile {
 public:
  CachedFile() = default;
  CachedFile(const CachedFile&) = delete;
  CachedFile& operator=(const CachedFile&) = delete;

  // Closes any earlier file, then opens path for reading through cache.
  // Returns false, with no file open, when the file cannot be opened.
  // Requires cache to outlive the open file.
  bool Open(const char* path, FileCache* cache);

  // Closes the file if one is open; what the cache holds of it is never
  // served again.
  void Close();

  bool IsOpen() const { return file_.IsOpen(); }

  // A number that tells this open file from every other one opened through
  // the same cache, closed ones included; 0 with no file open.
  uint32_t GetKey() const { return serial_; }

  // Copies up to size bytes found at offset into dest. Returns how many were
  // copied: fewer than size only where the file ends (or cannot be read), 0
  // with no file open or a negative offset. Requires size >= 0.
  int32_t Read(int64_t offset, uint8_t* dest, int32_t size);

  // Fills *header with the record header at offset. step is how far that
  // header lies from the one the caller read before it (0 for a first one):
  // for headers close together the whole block around them is read, for
  // headers far apart just the header. Returns false when fewer than 16
  // bytes remain at offset or no file is open.
  bool ReadRecordHeader(int64_t offset, int64_t step, RecordHeader* header);

 private:
  // The slot that block `index` of this file goes in.
  uint32_t BlockSlot(int64_t index) const;

  // Returns the cached block `index` of this file, loading it if need be.
  const FileCache::Block& LoadBlock(int64_t index);

  port::RandomAccessFile file_;
  FileCache* cache_ = nullptr;
  uint32_t serial_ = 0;
  int64_t blocks_loaded_ = 0;
};

}  // namespace d88

#endif  // D88_CACHED_FILE_H_
