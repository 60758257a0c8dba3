// SPDX-License-Identifier: MIT

#include "d88/cached_file.h"

#include <gtest/gtest.h>

#include <memory>

#include "tests/test_support.h"

namespace d88 {
namespace {

using d88test::Bytes;

constexpr int32_t kBlock = FileCache::kBlockSize;

Bytes Pattern(size_t size, int seed) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<uint8_t>(
        (i * 7 + i / 251 + static_cast<size_t>(seed)) & 0xFF);
  }
  return bytes;
}

class CachedFileTest : public ::testing::Test {
 protected:
  void OpenBytes(const Bytes& bytes, CachedFile* file = nullptr) {
    if (file == nullptr) file = file_.get();
    const std::string path = dir_.File("f" + std::to_string(files_++));
    contents_ = bytes;
    ASSERT_TRUE(d88test::WriteBytes(path, bytes));
    ASSERT_TRUE(file->Open(path.c_str(), cache_.get()));
  }

  // The header the file's bytes hold at offset.
  RecordHeader Expected(int64_t offset) const {
    return DecodeRecordHeader(contents_.data() + offset);
  }

  d88test::TempDir dir_;
  int files_ = 0;
  std::unique_ptr<FileCache> cache_ = std::make_unique<FileCache>();
  std::unique_ptr<CachedFile> file_ = std::make_unique<CachedFile>();
  Bytes contents_;
};

bool operator==(const RecordHeader& a, const RecordHeader& b) {
  return a.c == b.c && a.h == b.h && a.r == b.r && a.n == b.n &&
         a.count == b.count && a.length == b.length;
}

TEST_F(CachedFileTest, HeadersNearBlockEdgesAndTheEndOfFile) {
  const int64_t size = 2 * kBlock + 40;
  OpenBytes(Pattern(size, 1));
  const int64_t offsets[] = {0,          kBlock - 16, kBlock - 15,
                             kBlock - 1, kBlock,      2 * kBlock - 8};
  // Close together (read by blocks) and far apart (read alone), twice each:
  // the second time from what was kept.
  for (int64_t step : {int64_t{16}, int64_t{1} << 20, int64_t{16}}) {
    for (int64_t offset : offsets) {
      RecordHeader header;
      ASSERT_TRUE(file_->ReadRecordHeader(offset, step, &header)) << offset;
      EXPECT_TRUE(header == Expected(offset)) << offset << " " << step;
    }
  }
  for (int64_t offset = size - 20; offset <= size + 1; ++offset) {
    for (int64_t step : {int64_t{0}, int64_t{1} << 20}) {
      RecordHeader header;
      EXPECT_EQ(file_->ReadRecordHeader(offset, step, &header),
                offset + 16 <= size)
          << offset;
    }
  }
  RecordHeader header;
  EXPECT_FALSE(file_->ReadRecordHeader(-1, 0, &header));
}

TEST_F(CachedFileTest, ReadCopiesAcrossBlocksAndStopsAtTheEnd) {
  const int64_t size = 3 * kBlock + 5;
  OpenBytes(Pattern(size, 2));
  Bytes dest(size + 100, 0xEE);
  EXPECT_EQ(file_->Read(10, dest.data(), static_cast<int32_t>(size)),
            size - 10);
  EXPECT_TRUE(
      std::equal(contents_.begin() + 10, contents_.end(), dest.begin()));
  EXPECT_EQ(dest[size - 10], 0xEE);
  EXPECT_EQ(file_->Read(size, dest.data(), 1), 0);
  EXPECT_EQ(file_->Read(size + 5 * kBlock, dest.data(), 1), 0);
  EXPECT_EQ(file_->Read(-1, dest.data(), 1), 0);
}

TEST_F(CachedFileTest, StaysExactWhenTheFileOutgrowsTheCache) {
  const int64_t size = (FileCache::kBlockCount + 7) * int64_t{kBlock};
  OpenBytes(Pattern(size, 3));
  for (int pass = 0; pass < 2; ++pass) {
    for (int64_t offset = pass; offset + 16 <= size; offset += 4099) {
      RecordHeader header;
      ASSERT_TRUE(file_->ReadRecordHeader(offset, 4099, &header));
      ASSERT_TRUE(header == Expected(offset)) << offset;
      uint8_t byte = 0;
      ASSERT_EQ(file_->Read(offset + 15, &byte, 1), 1);
      ASSERT_EQ(byte, contents_[offset + 15]) << offset;
    }
  }
}

TEST_F(CachedFileTest, FilesSharingACacheNeverSeeEachOthersBytes) {
  OpenBytes(Pattern(100, 4));
  uint8_t byte = 0;
  RecordHeader header;
  ASSERT_EQ(file_->Read(50, &byte, 1), 1);
  ASSERT_TRUE(file_->ReadRecordHeader(20, 1 << 20, &header));
  // Another file open at the same time, and the first one reopened on
  // other bytes.
  CachedFile other;
  OpenBytes(Pattern(100, 5), &other);
  ASSERT_EQ(other.Read(50, &byte, 1), 1);
  EXPECT_EQ(byte, contents_[50]);
  ASSERT_TRUE(other.ReadRecordHeader(20, 1 << 20, &header));
  EXPECT_TRUE(header == Expected(20));
  OpenBytes(Pattern(100, 6));
  ASSERT_EQ(file_->Read(50, &byte, 1), 1);
  EXPECT_EQ(byte, contents_[50]);
  ASSERT_TRUE(file_->ReadRecordHeader(20, 1 << 20, &header));
  EXPECT_TRUE(header == Expected(20));
  EXPECT_FALSE(file_->Open(dir_.File("missing").c_str(), cache_.get()));
  EXPECT_FALSE(file_->IsOpen());
  EXPECT_EQ(file_->Read(50, &byte, 1), 0);
}

}  // namespace
}  // namespace d88
