// SPDX-License-Identifier: MIT

#include "d88/cached_file.h"

#include <cstring>

namespace d88 {

namespace {

// Headers closer together than this share a block often enough that reading
// the whole block pays off.
constexpr int64_t kDenseStep = 4096;

// Spreads (serial, offset) over the header sets.
uint32_t HeaderSet(uint32_t serial, int64_t offset) {
  const uint64_t key =
      static_cast<uint64_t>(offset) ^ (static_cast<uint64_t>(serial) << 40);
  return static_cast<uint32_t>((key * 0x9E3779B97F4A7C15u) >>
                               (64 - FileCache::kHeaderSetBits));
}

}  // namespace

uint32_t FileCache::NewSerial() {
  // Zero marks an empty slot, so it is never handed out; after four billion
  // opens the numbers come round again, long after any slot was refilled.
  if (++last_serial_ == 0) ++last_serial_;
  return last_serial_;
}

bool CachedFile::Open(const char* path, FileCache* cache) {
  Close();
  if (!file_.Open(path, kMaxImageBytes)) return false;
  cache_ = cache;
  serial_ = cache->NewSerial();
  blocks_loaded_ = 0;
  return true;
}

void CachedFile::Close() {
  file_.Close();
  serial_ = 0;
}

uint32_t CachedFile::BlockSlot(int64_t index) const {
  return static_cast<uint32_t>(index + 17 * static_cast<int64_t>(serial_)) &
         (FileCache::kBlockCount - 1);
}

const FileCache::Block& CachedFile::LoadBlock(int64_t index) {
  FileCache::Block& block = cache_->blocks_[BlockSlot(index)];
  if (block.serial != serial_ || block.index != index) {
    ++blocks_loaded_;
    block.serial = serial_;
    block.index = index;
    block.length = file_.ReadAt(index << FileCache::kBlockBits, block.bytes,
                                FileCache::kBlockSize);
  }
  return block;
}

int32_t CachedFile::Read(int64_t offset, uint8_t* dest, int32_t size) {
  if (!IsOpen() || offset < 0) return 0;
  int32_t done = 0;
  while (done < size) {
    const int64_t position = offset + done;
    const FileCache::Block& block =
        LoadBlock(position >> FileCache::kBlockBits);
    const int32_t start =
        static_cast<int32_t>(position & (FileCache::kBlockSize - 1));
    if (start >= block.length) break;
    int32_t take = block.length - start;
    if (take > size - done) take = size - done;
    std::memcpy(dest + done, block.bytes + start, static_cast<size_t>(take));
    done += take;
    if (block.length < FileCache::kBlockSize) break;  // the file ends here
  }
  return done;
}

bool CachedFile::ReadRecordHeader(int64_t offset, int64_t step,
                                  RecordHeader* header) {
  if (!IsOpen() || offset < 0) return false;
  const int64_t index = offset >> FileCache::kBlockBits;
  const int32_t start =
      static_cast<int32_t>(offset & (FileCache::kBlockSize - 1));
  const bool in_one_block = start <= FileCache::kBlockSize - kRecordHeaderSize;
  if (in_one_block) {
    const FileCache::Block& block = cache_->blocks_[BlockSlot(index)];
    if (block.serial == serial_ && block.index == index) {
      if (block.length - start < kRecordHeaderSize) return false;
      *header = DecodeRecordHeader(block.bytes + start);
      return true;
    }
  }
  const uint32_t set = HeaderSet(serial_, offset);
  FileCache::HeaderSlot* slots = cache_->headers_[set];
  for (int32_t way = 0; way < FileCache::kHeaderWays; ++way) {
    if (slots[way].serial == serial_ && slots[way].offset == offset) {
      *header = slots[way].header;
      return true;
    }
  }
  // Headers read with their block are kept only once this file has read
  // more blocks than the cache holds: until then the blocks keep them.
  bool keep = true;
  uint8_t bytes[kRecordHeaderSize];
  if (step < kDenseStep && in_one_block) {
    const FileCache::Block& block = LoadBlock(index);
    if (block.length - start < kRecordHeaderSize) return false;
    std::memcpy(bytes, block.bytes + start, sizeof bytes);
    keep = blocks_loaded_ > FileCache::kBlockCount;
  } else if (file_.ReadAt(offset, bytes, kRecordHeaderSize) <
             kRecordHeaderSize) {
    return false;
  }
  *header = DecodeRecordHeader(bytes);
  if (keep) {
    const uint8_t way = cache_->next_victim_[set];
    cache_->next_victim_[set] =
        static_cast<uint8_t>((way + 1) % FileCache::kHeaderWays);
    slots[way].serial = serial_;
    slots[way].offset = offset;
    slots[way].header = *header;
  }
  return true;
}

}  // namespace d88
