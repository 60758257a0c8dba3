#include "d88/d88image.h"

#include <gtest/gtest.h>

#include <memory>

#include "tests/test_support.h"

namespace d88 {
namespace {

using d88test::Bytes;
using d88test::DiskBuilder;
using d88test::Record;

constexpr int kHeader = 0x2B0;

Bytes Filled(size_t size, uint8_t value) { return Bytes(size, value); }

class D88ImageTest : public ::testing::Test {
 protected:
  // Writes bytes to a file of its own and opens it.
  void OpenBytes(const Bytes& bytes) {
    const std::string path = dir_.File("image" + std::to_string(files_++));
    ASSERT_TRUE(d88test::WriteBytes(path, bytes));
    ASSERT_TRUE(image_->Open(path.c_str()));
  }

  // Reads one sector of track into a buffer sized capacity; returns the
  // result and the bytes placed.
  int32_t Read(int track, int c, int h, int r, int n, int32_t capacity,
               Bytes* data = nullptr) {
    Bytes buffer(static_cast<size_t>(capacity) + 1, 0xEE);
    const int32_t got =
        image_->ReadSector(track, c, h, r, n, buffer.data(), capacity);
    EXPECT_EQ(buffer[static_cast<size_t>(capacity)], 0xEE)
        << "wrote past capacity";
    if (data != nullptr) data->assign(buffer.begin(), buffer.begin() + got);
    return got;
  }

  d88test::TempDir dir_;
  int files_ = 0;
  std::unique_ptr<D88Image> image_ = std::make_unique<D88Image>();
};

// --- Scan -----------------------------------------------------------------

TEST_F(D88ImageTest, ScanCountsOnlyCompleteHeaders) {
  const Bytes disk = DiskBuilder("A").Build();
  const struct {
    Bytes file;
    int32_t count;
  } cases[] = {
      {{}, 0},
      {Filled(kHeader - 1, 0), 0},
      {d88test::Concat({disk, Filled(kHeader - 1, 0)}), 1},
      {d88test::Concat({disk, disk}), 2},
      {d88test::Concat({disk, disk, disk}), 3},
  };
  for (const auto& c : cases) {
    OpenBytes(c.file);
    EXPECT_EQ(image_->GetDiskCount(), c.count) << c.file.size();
  }
}

TEST_F(D88ImageTest, ScanFollowsSizeFieldsWhateverTheyHold) {
  const auto disk = [](uint32_t size) {
    return DiskBuilder("D").SetSizeField(size).Build();
  };
  const struct {
    const char* what;
    Bytes file;
    int32_t count;
  } cases[] = {
      {"size 0 repeats the disk", disk(0), 64},
      {"size past the end", disk(100000), 1},
      {"size 2^31 makes the offset negative", disk(0x80000000u), 1},
      {"offsets past 2^31-1",
       d88test::Concat({disk(kHeader), disk(0x7FFFFFFFu)}), 2},
      {"size -688 steps back",
       d88test::Concat({disk(kHeader), disk(0xFFFFFD50u)}), 64},
      {"size 2^32-1 steps back a byte", disk(0xFFFFFFFFu), 1},
  };
  for (const auto& c : cases) {
    OpenBytes(c.file);
    EXPECT_EQ(image_->GetDiskCount(), c.count) << c.what;
  }
}

TEST_F(D88ImageTest, ScanStopsAtSixtyFourDisks) {
  std::vector<Bytes> disks;
  for (int i = 0; i < 70; ++i)
    disks.push_back(DiskBuilder("D" + std::to_string(i)).Build());
  OpenBytes(d88test::Concat(disks));
  EXPECT_EQ(image_->GetDiskCount(), 64);
  ASSERT_TRUE(image_->SelectDisk(63));
  EXPECT_STREQ(image_->GetDiskName(), "D63");
  EXPECT_EQ(image_->GetDiskOffset(), 63 * kHeader);
  EXPECT_FALSE(image_->SelectDisk(64));
}

TEST_F(D88ImageTest, SizeZeroRecordsTheSameOffsetAtEveryIndex) {
  OpenBytes(DiskBuilder("SAME").SetSizeField(0).Build());
  ASSERT_TRUE(image_->SelectDisk(40));
  EXPECT_EQ(image_->GetDiskOffset(), 0);
  EXPECT_STREQ(image_->GetDiskName(), "SAME");
}

TEST_F(D88ImageTest, FailedOpenKeepsTheDiskCountAndLeavesNoFile) {
  OpenBytes(d88test::Concat({DiskBuilder().Build(), DiskBuilder().Build()}));
  EXPECT_FALSE(image_->Open(dir_.File("missing").c_str()));
  EXPECT_EQ(image_->GetDiskCount(), 2);
  EXPECT_FALSE(image_->SelectDisk(0));
}

// --- Selection --------------------------------------------------------------

TEST_F(D88ImageTest, SelectLoadsTheDisksHeader) {
  DiskBuilder b("SECOND", 0x20);
  b.AddSector(3, 1, 1, 1, 3, Filled(16, 1));
  const Bytes first = DiskBuilder("FIRST", 0x10).Build();
  OpenBytes(d88test::Concat({first, b.Build()}));
  ASSERT_TRUE(image_->SelectDisk(1));
  EXPECT_STREQ(image_->GetDiskName(), "SECOND");
  EXPECT_EQ(image_->GetMediaType(), 0x20);
  EXPECT_EQ(image_->GetDiskOffset(), kHeader);
  EXPECT_EQ(image_->GetDiskSize(), kHeader + 32);
  EXPECT_TRUE(image_->IsTrackPresent(3));
  EXPECT_FALSE(image_->IsTrackPresent(2));
}

TEST_F(D88ImageTest, NameIsAtMostSixteenBytesAndStopsAtZero) {
  Bytes disk = DiskBuilder().Build();
  for (int i = 0; i < 0x1B; ++i) disk[i] = static_cast<uint8_t>('A' + i);
  Bytes second = DiskBuilder("AB").Build();
  second[2] = 0;
  second[3] = 'X';  // after the terminator
  OpenBytes(d88test::Concat({disk, second}));
  ASSERT_TRUE(image_->SelectDisk(0));
  EXPECT_STREQ(image_->GetDiskName(), "ABCDEFGHIJKLMNOP");
  ASSERT_TRUE(image_->SelectDisk(1));
  EXPECT_STREQ(image_->GetDiskName(), "AB");
}

TEST_F(D88ImageTest, FailedSelectClearsTheSelection) {
  DiskBuilder b("DISK", 0x10);
  b.AddSector(0, 0, 0, 1, 3, Filled(1024, 7));
  OpenBytes(d88test::Concat({b.Build(), DiskBuilder().Build()}));
  for (int32_t index : {2, -1, 1 << 30}) {
    ASSERT_TRUE(image_->SelectDisk(0));
    EXPECT_FALSE(image_->SelectDisk(index));
    EXPECT_EQ(image_->GetDiskOffset(), -1);
    EXPECT_EQ(image_->GetMediaType(), -1);
    EXPECT_EQ(image_->GetDiskSize(), 0);
    EXPECT_STREQ(image_->GetDiskName(), "");
    // The old track table is still there, but no track is usable.
    EXPECT_EQ(Read(0, 0, 0, 1, 3, 1024), 0);
    uint8_t ids[64];
    EXPECT_EQ(image_->GetTrackSectorIds(0, ids, 64), 0);
  }
}

TEST_F(D88ImageTest, SelectWithoutAFileChangesNothing) {
  EXPECT_FALSE(image_->SelectDisk(0));
  EXPECT_EQ(image_->GetMediaType(), -1);
  EXPECT_EQ(image_->GetDiskCount(), 0);
  EXPECT_STREQ(image_->GetDiskName(), "");
}

TEST_F(D88ImageTest, OpeningAnotherFileClearsTheSelection) {
  DiskBuilder b("OLD");
  b.AddSector(0, 0, 0, 1, 3, Filled(1024, 7));
  OpenBytes(d88test::Concat({b.Build(), b.Build()}));
  ASSERT_TRUE(image_->SelectDisk(0));
  OpenBytes(d88test::Concat({b.Build(), b.Build()}));
  EXPECT_EQ(image_->GetDiskOffset(), -1);
  EXPECT_EQ(Read(0, 0, 0, 1, 3, 1024), 0);
  // Also when the earlier file was closed in between.
  ASSERT_TRUE(image_->SelectDisk(1));
  ASSERT_TRUE(image_->Open(nullptr));
  OpenBytes(d88test::Concat({b.Build(), b.Build()}));
  EXPECT_EQ(image_->GetDiskOffset(), -1);
  EXPECT_EQ(Read(0, 0, 0, 1, 3, 1024), 0);
}

TEST_F(D88ImageTest, ClosingKeepsTheSelectedDisksFields) {
  OpenBytes(d88test::Concat(
      {DiskBuilder("KEEP", 0x20).Build(), DiskBuilder().Build()}));
  ASSERT_TRUE(image_->SelectDisk(0));
  EXPECT_TRUE(image_->Open(nullptr));
  EXPECT_EQ(image_->GetDiskCount(), 0);
  EXPECT_EQ(image_->GetMediaType(), -1);
  EXPECT_STREQ(image_->GetDiskName(), "KEEP");
  EXPECT_FALSE(image_->SelectDisk(0));
}

TEST_F(D88ImageTest, TrackValidityUsesSignedEntriesUpToTheDiskSize) {
  const uint32_t size = 5000;
  DiskBuilder b;
  b.SetSizeField(size)
      .SetTrackOffset(0, 0)
      .SetTrackOffset(1, size)
      .SetTrackOffset(2, size + 1)
      .SetTrackOffset(3, 0x80000000u)
      .SetTrackOffset(4, 1)
      .SetTrackOffset(163, 100);
  OpenBytes(b.Build());
  ASSERT_TRUE(image_->SelectDisk(0));
  const struct {
    int32_t track;
    bool present;
  } cases[] = {{0, false}, {1, true},   {2, false},   {3, false},
               {4, true},  {163, true}, {164, false}, {-1, false}};
  for (const auto& c : cases)
    EXPECT_EQ(image_->IsTrackPresent(c.track), c.present) << c.track;
}

// --- ReadSector -------------------------------------------------------------

TEST_F(D88ImageTest, ReadSectorSkipsRecordsByTheirDataLength) {
  DiskBuilder b;
  b.AddSector(0, 0, 0, 1, 3, Filled(100, 1))
      .AddSector(0, 0, 0, 2, 3, Filled(300, 2))
      .AddSector(0, 0, 0, 3, 3, Filled(50, 3));
  OpenBytes(b.Build());
  ASSERT_TRUE(image_->SelectDisk(0));
  Bytes data;
  EXPECT_EQ(Read(0, 0, 0, 3, 3, 1024, &data), 50);
  EXPECT_EQ(data, Filled(50, 3));
  EXPECT_EQ(Read(0, 0, 0, 2, 3, 10, &data), 10);
  EXPECT_EQ(data, Filled(10, 2));
  EXPECT_EQ(Read(0, 0, 0, 2, 3, 0), 0);
}

TEST_F(D88ImageTest, ReadSectorMatchesAllFourIdBytes) {
  DiskBuilder b;
  b.AddSector(5, 2, 1, 7, 3, Filled(8, 1));
  OpenBytes(b.Build());
  ASSERT_TRUE(image_->SelectDisk(0));
  EXPECT_EQ(Read(5, 2, 1, 7, 3, 64), 8);
  const int misses[][4] = {{3, 1, 7, 3}, {2, 0, 7, 3},   {2, 1, 8, 3},
                           {2, 1, 7, 2}, {258, 1, 7, 3}, {2, 1, 7, -253}};
  for (const auto& m : misses)
    EXPECT_EQ(Read(5, m[0], m[1], m[2], m[3], 64), 0);
  EXPECT_EQ(Read(4, 2, 1, 7, 3, 64), 0);  // absent track
}

TEST_F(D88ImageTest, FirstMatchingRecordWins) {
  DiskBuilder b;
  b.AddSector(0, 0, 0, 1, 3, Filled(4, 1))
      .AddSector(0, 0, 0, 1, 3, Filled(4, 2));
  OpenBytes(b.Build());
  ASSERT_TRUE(image_->SelectDisk(0));
  Bytes data;
  EXPECT_EQ(Read(0, 0, 0, 1, 3, 4, &data), 4);
  EXPECT_EQ(data, Filled(4, 1));
}

TEST_F(D88ImageTest, CountsDecideWhereTheWalkEnds) {
  // Track 0 claims five records but holds two; track 1's records follow.
  const auto record = [](int r, int count) {
    Record rec;
    rec.r = static_cast<uint8_t>(r);
    rec.count = count;
    rec.data = Filled(32, static_cast<uint8_t>(r));
    return rec;
  };
  DiskBuilder b;
  b.AddRecord(0, record(1, 5)).AddRecord(0, record(2, 5));
  b.AddRecord(1, record(3, 2))
      .AddRecord(1, record(4, 2))
      .AddRecord(1, record(5, 2));
  b.AddRecord(2, record(6, 0)).AddRecord(2, record(7, 3));
  OpenBytes(b.Build());
  ASSERT_TRUE(image_->SelectDisk(0));
  EXPECT_EQ(Read(0, 0, 0, 3, 3, 64), 32);  // record 2 of the walk, count 5
  EXPECT_EQ(Read(0, 0, 0, 4, 3, 64), 32);  // record 3: its own count is 2
  EXPECT_EQ(Read(0, 0, 0, 5, 3, 64), 32);  // index 3 is not count 2 - 1
  EXPECT_EQ(Read(0, 0, 0, 7, 3, 64), 0);   // record 5 has a count of 0
  EXPECT_EQ(Read(1, 0, 0, 5, 3, 64), 0);   // index 1 == count 2 - 1
  EXPECT_EQ(Read(2, 0, 0, 6, 3, 64), 0);   // count 0 ends before the ID test
  EXPECT_EQ(Read(2, 0, 0, 7, 3, 64), 0);
}

TEST_F(D88ImageTest, WalkWithHugeCountsEndsAtTheEndOfTheFile) {
  DiskBuilder b;
  for (int i = 0; i < 100; ++i) {
    Record rec;
    rec.r = 9;
    rec.count = 65535;
    b.AddRecord(0, rec);
  }
  OpenBytes(b.Build());
  ASSERT_TRUE(image_->SelectDisk(0));
  EXPECT_EQ(Read(0, 0, 0, 1, 3, 64), 0);
  uint8_t ids[4 * 200];
  EXPECT_EQ(image_->GetTrackSectorIds(0, ids, sizeof ids), 400);
}

TEST_F(D88ImageTest, RecordsCutShortAtEveryLengthAreNotFound) {
  DiskBuilder b;
  b.AddSector(0, 0, 0, 1, 3, Filled(64, 1))
      .AddSector(0, 0, 0, 2, 3, Filled(64, 2));
  const Bytes full = b.Build();
  const size_t first_end = kHeader + 16 + 64;
  for (size_t length = kHeader; length <= full.size(); ++length) {
    OpenBytes(Bytes(full.begin(), full.begin() + length));
    ASSERT_TRUE(image_->SelectDisk(0));
    EXPECT_EQ(Read(0, 0, 0, 1, 3, 64), length >= first_end ? 64 : 0) << length;
    EXPECT_EQ(Read(0, 0, 0, 2, 3, 64), length == full.size() ? 64 : 0)
        << length;
    uint8_t ids[8];
    const int32_t listed = length >= first_end + 16 ? 8
                           : length >= kHeader + 16 ? 4
                                                    : 0;
    EXPECT_EQ(image_->GetTrackSectorIds(0, ids, 8), listed) << length;
  }
}

// --- ReadSectors ------------------------------------------------------------

class RunTest : public D88ImageTest {
 protected:
  void SetUp() override {
    DiskBuilder b;
    for (int track = 2; track <= 4; ++track) b.AddFileTrack(track, 9);
    b.AddSector(5, 2, 1, 1, 3, Filled(1024, 0x51))
        .AddSector(5, 2, 1, 2, 3, Filled(256, 0x52));
    OpenBytes(b.Build());
    ASSERT_TRUE(image_->SelectDisk(0));
    image_->SetSectorRange(1, 5);
  }

  int32_t Run(int track, int r, int32_t total, Bytes* data = nullptr,
              int n = 3) {
    Bytes buffer(static_cast<size_t>(total > 0 ? total : 0) + 1, 0xEE);
    const int32_t got = image_->ReadSectors(track, track / 2, track % 2, r, n,
                                            buffer.data(), total);
    if (data != nullptr) *data = buffer;
    return got;
  }
};

TEST_F(RunTest, RunContinuesOnTheNextTrackAndHead) {
  Bytes data;
  EXPECT_EQ(Run(2, 5, 6144, &data), 6144);
  data.pop_back();
  EXPECT_EQ(data, d88test::FileContents(9, 2, 5, 6));
  EXPECT_EQ(Run(3, 5, 2048, &data), 2048);  // head 1 to head 0, cylinder up
}

TEST_F(RunTest, OnlyTheLastPieceIsShortened) {
  Bytes data;
  EXPECT_EQ(Run(2, 1, 1500, &data), 1500);
  EXPECT_TRUE(std::equal(data.begin(), data.begin() + 1500,
                         d88test::FileContents(9, 2, 1, 2).begin()));
  EXPECT_EQ(data[1500], 0xEE);
}

TEST_F(RunTest, RunStopsAtAMissingOrShortSector) {
  EXPECT_EQ(Run(4, 5, 3072), 2048);  // track 5's R 2 holds 256 bytes
  Bytes data;
  EXPECT_EQ(Run(5, 1, 4096, &data), 1024);  // R 2 holds 256 bytes
  EXPECT_EQ(data[1024 + 255], 0x52);        // but they were copied
  EXPECT_EQ(data[1024 + 256], 0xEE);
  EXPECT_EQ(Run(6, 1, 1024), 0);
}

TEST_F(RunTest, NothingToReadGivesZero) {
  EXPECT_EQ(Run(2, 1, 0), 0);
  EXPECT_EQ(Run(2, 1, -5), 0);
  EXPECT_EQ(Run(2, 1, 1024, nullptr, 24), 0);
  EXPECT_EQ(Run(2, 1, 1024, nullptr, -1), 0);
}

TEST_F(RunTest, SectorRangeBelongsToTheReader) {
  image_->SetSectorRange(1, 16);
  ASSERT_TRUE(image_->SelectDisk(0));
  EXPECT_EQ(Run(2, 5, 2048), 1024);  // looks for R 6 on track 2
  image_->SetSectorRange(1, 5);
  ASSERT_TRUE(image_->SelectDisk(0));
  EXPECT_EQ(Run(2, 5, 2048), 2048);
}

// --- GetTrackSectorIds ------------------------------------------------------

TEST_F(RunTest, TrackSectorIdsFillWholeEntriesOnly) {
  uint8_t ids[64];
  EXPECT_EQ(image_->GetTrackSectorIds(3, ids, 16), 16);
  EXPECT_EQ(ids[12], 1);  // C of R 4
  EXPECT_EQ(ids[14], 4);
  EXPECT_EQ(image_->GetTrackSectorIds(3, ids, 64), 20);
  const uint8_t last[] = {1, 1, 5, 3};
  EXPECT_TRUE(std::equal(last, last + 4, ids + 16));
  EXPECT_EQ(image_->GetTrackSectorIds(3, ids, 3), 0);
  EXPECT_EQ(image_->GetTrackSectorIds(7, ids, 64), 0);
}

TEST_F(D88ImageTest, TrackSectorIdsPassOverCountZero) {
  DiskBuilder b;
  for (int count : {0, 0, 3, 9}) {
    Record rec;
    rec.r = static_cast<uint8_t>(count);
    rec.count = count;
    rec.data = Filled(10, 0);
    b.AddRecord(0, rec);
  }
  OpenBytes(b.Build());
  ASSERT_TRUE(image_->SelectDisk(0));
  uint8_t ids[64];
  EXPECT_EQ(image_->GetTrackSectorIds(0, ids, 64), 12);
  EXPECT_EQ(ids[10], 3);
}

}  // namespace
}  // namespace d88
