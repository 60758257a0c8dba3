#include "d88/cached_file.h"

#include <gtest/gtest.h>

#include <memory>

#include "tests/test_support.h"

namespace d88 {
namespace {

using d88test::Bytes;

constexpr int32_t kBlock = CachedFile::kBlockSize;

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
  void OpenBytes(const Bytes& bytes) {
    contents_ = bytes;
    ASSERT_TRUE(d88test::WriteBytes(dir_.File("f"), bytes));
    ASSERT_TRUE(file_->Open(dir_.File("f").c_str()));
  }

  d88test::TempDir dir_;
  std::unique_ptr<CachedFile> file_ = std::make_unique<CachedFile>();
  Bytes contents_;
};

TEST_F(CachedFileTest, ViewNearBlockEdgesAndTheEndOfFile) {
  const int64_t size = 2 * kBlock + 40;
  OpenBytes(Pattern(size, 1));
  const int64_t offsets[] = {0,          kBlock - 16, kBlock - 15,
                             kBlock - 1, kBlock,      2 * kBlock - 8};
  uint8_t scratch[16];
  int32_t available = 0;
  for (int64_t offset : offsets) {
    const uint8_t* got = file_->View(offset, 16, scratch, &available);
    ASSERT_NE(got, nullptr) << offset;
    ASSERT_GE(available, 16);
    // Whatever the view holds is the file's bytes at offset.
    EXPECT_EQ(Bytes(got, got + available),
              Bytes(contents_.begin() + offset,
                    contents_.begin() + offset + available));
    EXPECT_EQ(available,
              offset % kBlock > kBlock - 16
                  ? 16
                  : std::min<int64_t>(kBlock - offset % kBlock, size - offset));
  }
  for (int64_t offset = size - 20; offset <= size + 1; ++offset) {
    EXPECT_EQ(file_->View(offset, 16, scratch, &available) != nullptr,
              offset + 16 <= size)
        << offset;
  }
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
  const int64_t size = (CachedFile::kBlockCount + 7) * int64_t{kBlock};
  OpenBytes(Pattern(size, 3));
  uint8_t scratch[16];
  int32_t available = 0;
  for (int pass = 0; pass < 2; ++pass) {
    for (int64_t offset = pass; offset + 16 <= size; offset += 4099) {
      const uint8_t* got = file_->View(offset, 16, scratch, &available);
      ASSERT_NE(got, nullptr);
      ASSERT_EQ(got[15], contents_[offset + 15]) << offset;
    }
  }
}

TEST_F(CachedFileTest, ReopeningForgetsTheEarlierFile) {
  OpenBytes(Pattern(100, 4));
  uint8_t byte = 0;
  ASSERT_EQ(file_->Read(50, &byte, 1), 1);
  OpenBytes(Pattern(100, 5));
  ASSERT_EQ(file_->Read(50, &byte, 1), 1);
  EXPECT_EQ(byte, contents_[50]);
  EXPECT_FALSE(file_->Open(dir_.File("missing").c_str()));
  EXPECT_FALSE(file_->IsOpen());
  EXPECT_EQ(file_->Read(50, &byte, 1), 0);
}

}  // namespace
}  // namespace d88
