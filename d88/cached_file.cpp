#include "d88/cached_file.h"

#include <cstring>

#include "port/port.h"

namespace d88 {

CachedFile::CachedFile() : file_(nullptr) { Close(); }

CachedFile::~CachedFile() { Close(); }

bool CachedFile::Open(const char* path) {
  Close();
  file_ = port::OpenForReading(path);
  return file_ != nullptr;
}

void CachedFile::Close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  for (int32_t slot = 0; slot < kBlockCount; ++slot) {
    block_index_[slot] = -1;
    block_length_[slot] = 0;
  }
}

const uint8_t* CachedFile::LoadBlock(int64_t index, int32_t* length) {
  const int32_t slot = static_cast<int32_t>(index & (kBlockCount - 1));
  if (block_index_[slot] != index) {
    block_index_[slot] = index;
    block_length_[slot] =
        port::ReadAt(file_, index << kBlockBits, blocks_[slot], kBlockSize);
  }
  *length = block_length_[slot];
  return blocks_[slot];
}

const uint8_t* CachedFile::View(int64_t offset, int32_t want, uint8_t* scratch,
                                int32_t* available) {
  if (file_ == nullptr || offset < 0) return nullptr;
  int32_t length = 0;
  const uint8_t* block = LoadBlock(offset >> kBlockBits, &length);
  const int32_t start = static_cast<int32_t>(offset & (kBlockSize - 1));
  if (length - start >= want) {
    *available = length - start;
    return block + start;
  }
  if (Read(offset, scratch, want) < want) return nullptr;
  *available = want;
  return scratch;
}

int32_t CachedFile::Read(int64_t offset, uint8_t* dest, int32_t size) {
  if (file_ == nullptr || offset < 0) return 0;
  int32_t done = 0;
  while (done < size) {
    const int64_t position = offset + done;
    int32_t length = 0;
    const uint8_t* block = LoadBlock(position >> kBlockBits, &length);
    const int32_t start = static_cast<int32_t>(position & (kBlockSize - 1));
    if (start >= length) break;
    int32_t take = length - start;
    if (take > size - done) take = size - done;
    std::memcpy(dest + done, block + start, static_cast<size_t>(take));
    done += take;
    if (length < kBlockSize) break;  // the file ends in this block
  }
  return done;
}

}  // namespace d88
