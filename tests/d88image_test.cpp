// SPDX-License-Identifier: MIT

#include "d88/d88image.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <set>

#include "tests/plain_image.h"
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
  std::unique_ptr<ReaderCache> cache_ = std::make_unique<ReaderCache>();
  std::unique_ptr<D88Image> image_ = std::make_unique<D88Image>(cache_.get());
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

// --- How lookups end and kept walks ----------------------------------------

TEST_F(D88ImageTest, LookupsSayHowTheyEnded) {
  const auto record = [](int r, int count, int length) {
    Record rec;
    rec.r = static_cast<uint8_t>(r);
    rec.count = count;
    rec.data = Filled(static_cast<size_t>(length), static_cast<uint8_t>(r));
    return rec;
  };
  DiskBuilder b;
  b.AddRecord(0, record(1, 2, 64)).AddRecord(0, record(2, 2, 64));
  b.AddRecord(1, record(3, 0, 64));
  b.AddRecord(2, record(4, 9, 64)).AddRecord(2, record(5, 9, 64));
  Bytes image = b.Build();
  image.resize(image.size() - 10);  // R 5's data is cut short
  OpenBytes(Bytes(image.begin(), image.end()));
  ASSERT_TRUE(image_->SelectDisk(0));
  const struct {
    int track, r;
    int32_t got;
    LookupEnd end;
  } cases[] = {
      {0, 2, 64, LookupEnd::kFound},     {0, 7, 0, LookupEnd::kNotFound},
      {1, 3, 0, LookupEnd::kCountZero},  {2, 5, 0, LookupEnd::kCutShort},
      {2, 6, 0, LookupEnd::kCutShort},   {3, 1, 0, LookupEnd::kNoTrack},
      {0, 256, 0, LookupEnd::kNotFound}, {1, -1, 0, LookupEnd::kCountZero},
  };
  for (const auto& c : cases) {
    uint8_t data[64];
    LookupEnd end = LookupEnd::kFound;
    EXPECT_EQ(image_->ReadSector(c.track, 0, 0, c.r, 3, data, 64, &end), c.got)
        << c.track << " " << c.r;
    EXPECT_EQ(end, c.end) << c.track << " " << c.r;
  }
}

TEST_F(D88ImageTest, RunsSayHowTheirLastLookupEnded) {
  DiskBuilder b;
  b.AddSector(4, 2, 0, 1, 0, Filled(128, 1))
      .AddSector(4, 2, 0, 2, 0, Filled(128, 2));
  OpenBytes(b.Build());
  ASSERT_TRUE(image_->SelectDisk(0));
  const struct {
    int32_t last_sector, total, got;
    RunStop stop;
  } cases[] = {
      {2, 512, 256, {LookupEnd::kNoTrack, 0}},  // on into absent track 5
      {3, 512, 256, {LookupEnd::kNotFound, 0}},
      {2, 200, 200, {LookupEnd::kFound, 72}},
      {2, 0, 0, {LookupEnd::kFound, 0}},
  };
  for (const auto& c : cases) {
    image_->SetSectorRange(1, c.last_sector);
    uint8_t run[512];
    RunStop stop = {LookupEnd::kCutShort, -1};
    EXPECT_EQ(image_->ReadSectors(4, 2, 0, 1, 0, run, c.total, &stop), c.got);
    EXPECT_EQ(stop.end, c.stop.end) << c.last_sector << " " << c.total;
    EXPECT_EQ(stop.last_got, c.stop.last_got);
  }
}

// The reader keeps what its walks found. Whatever order lookups come in and
// however often, every answer must be the one a plain walk from the track's
// first record gives.
class KeptWalkTest : public D88ImageTest {
 protected:
  void ExpectPlainResults(const Bytes& image, int32_t last_track = 8) {
    OpenBytes(image);
    d88test::PlainImage plain(image.data(), image.size());
    ASSERT_EQ(image_->GetDiskCount(), plain.DiskCount());
    for (int32_t disk = 0; disk < plain.DiskCount(); ++disk) {
      ASSERT_TRUE(image_->SelectDisk(disk));
      ASSERT_TRUE(plain.Select(disk));
      // Every ID on the disk, and one R past each, asked on every track.
      std::set<std::array<int32_t, 4>> distinct;
      for (int32_t track = 0; track < kTrackCount; ++track) {
        uint8_t listed[4 * 64];
        int32_t lengths[64];
        const int32_t bytes =
            plain.TrackIds(track, listed, sizeof listed, lengths);
        for (int32_t i = 0; i < bytes; i += 4) {
          distinct.insert(
              {listed[i], listed[i + 1], listed[i + 2], listed[i + 3]});
          distinct.insert(
              {listed[i], listed[i + 1], listed[i + 2] + 1, listed[i + 3]});
        }
      }
      const std::vector<std::array<int32_t, 4>> ids(distinct.begin(),
                                                    distinct.end());
      for (int pass = 0; pass < 3; ++pass) {
        for (int32_t track = -1; track <= last_track; ++track) {
          for (size_t k = 0; k < ids.size(); ++k) {
            const auto& id = ids[pass == 1 ? ids.size() - 1 - k : k];
            ExpectSameLookup(plain, track, id);
          }
          ExpectSameListing(plain, track);
        }
      }
    }
  }

 private:
  void ExpectSameLookup(const d88test::PlainImage& plain, int32_t track,
                        const std::array<int32_t, 4>& id) {
    for (int32_t capacity : {1024, 10}) {
      Bytes got(1024), want(1024);
      LookupEnd got_end, want_end;
      const int32_t got_bytes = image_->ReadSector(
          track, id[0], id[1], id[2], id[3], got.data(), capacity, &got_end);
      const int32_t want_bytes = plain.ReadSector(
          track, id[0], id[1], id[2], id[3], want.data(), capacity, &want_end);
      ASSERT_EQ(got_bytes, want_bytes)
          << "track " << track << " R " << id[2] << " C " << id[0];
      ASSERT_EQ(got_end, want_end) << "track " << track << " R " << id[2];
      ASSERT_TRUE(
          std::equal(got.begin(), got.begin() + got_bytes, want.begin()));
    }
  }

  void ExpectSameListing(const d88test::PlainImage& plain, int32_t track) {
    uint8_t got[4 * 40], want[4 * 40];
    int32_t got_lengths[40], want_lengths[40];
    const int32_t bytes =
        image_->GetTrackSectorIds(track, got, sizeof got, got_lengths);
    ASSERT_EQ(bytes, plain.TrackIds(track, want, sizeof want, want_lengths));
    ASSERT_TRUE(std::equal(got, got + bytes, want));
    ASSERT_TRUE(std::equal(got_lengths, got_lengths + bytes / 4, want_lengths));
  }
};

Record Sector(int c, int h, int r, int count, size_t length) {
  Record rec;
  rec.c = static_cast<uint8_t>(c);
  rec.h = static_cast<uint8_t>(h);
  rec.r = static_cast<uint8_t>(r);
  rec.count = count;
  rec.data = Filled(length, static_cast<uint8_t>(16 * c + r));
  return rec;
}

TEST_F(KeptWalkTest, LayoutsGiveWhatAPlainWalkGives) {
  const auto layout = [](const std::function<void(DiskBuilder*)>& fill) {
    DiskBuilder b("D");
    fill(&b);
    return d88test::Concat({b.Build(), DiskBuilder("E").Build()});
  };
  const struct {
    const char* what;
    Bytes image;
  } cases[] = {
      {"one track asked again and again", layout([](DiskBuilder* b) {
         for (int r : {3, 1, 2, 1, 5}) b->AddRecord(0, Sector(0, 0, r, 5, 100));
       })},
      {"a walk runs past its track into the next track's records",
       layout([](DiskBuilder* b) {
         for (int r = 1; r <= 3; ++r) b->AddRecord(0, Sector(0, 0, r, 9, 50));
         for (int r = 1; r <= 4; ++r) b->AddRecord(1, Sector(0, 1, r, 4, 50));
         for (int r = 1; r <= 2; ++r) b->AddRecord(2, Sector(0, 0, r, 2, 50));
       })},
      {"walks that start at different records of one chain",
       layout([](DiskBuilder* b) {
         // Every count is 6: a walk ends six records after its own start.
         for (int i = 0; i < 12; ++i)
           b->AddRecord(0, Sector(0, 0, 1 + i % 8, 6, 30));
         for (int t = 1; t <= 6; ++t)
           b->SetTrackOffset(t, 0x2B0 + 46 * static_cast<uint32_t>(t));
       })},
      {"records on both sides of a block boundary", layout([](DiskBuilder* b) {
         b->AddRecord(0, Sector(0, 0, 1, 4, 65536 - 0x2B0 - 16 - 16 - 8));
         for (int r = 2; r <= 4; ++r) b->AddRecord(0, Sector(0, 0, r, 4, 40));
         b->AddRecord(1, Sector(0, 1, 1, 1, 100));
       })},
      {"headers far apart", layout([](DiskBuilder* b) {
         for (int r = 1; r <= 4; ++r)
           b->AddRecord(0, Sector(0, 0, r, 4, 65535));
         b->SetTrackOffset(1, 0x2B0 + 2 * (16 + 65535));
       })},
      {"counts of 0 end lookups but not listings", layout([](DiskBuilder* b) {
         b->AddRecord(0, Sector(0, 0, 1, 0, 20));
         b->AddRecord(0, Sector(0, 0, 2, 3, 20));
         b->AddRecord(0, Sector(0, 0, 3, 3, 20));
         b->SetTrackOffset(1, 0x2B0 + 36);
       })},
      {"several sizes and cylinders on one track", layout([](DiskBuilder* b) {
         b->AddSector(0, 0, 0, 1, 3, Filled(1024, 1))
             .AddSector(0, 0, 0, 1, 2, Filled(512, 2))
             .AddSector(0, 7, 0, 1, 3, Filled(1024, 3))
             .AddSector(0, 0, 0, 1, 3, Filled(1024, 4));
       })},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ExpectPlainResults(c.image);
    // Cut anywhere inside its last records, the same must hold.
    for (size_t cut = 1; cut <= 80; cut += 13) {
      ExpectPlainResults(Bytes(c.image.begin(), c.image.end() - 688 - cut));
    }
  }
}

TEST_F(KeptWalkTest, MoreWalksThanTheReaderKeeps) {
  // Every track holds sectors of four cylinders, R far apart: each track
  // is walked for four groups of IDs, more walks than are kept at once.
  DiskBuilder b("MANY");
  for (int track = 0; track < kTrackCount; ++track) {
    for (int c = 0; c < 4; ++c) {
      for (int r : {1, 40, 200}) {
        b.AddRecord(track, Sector(c, track % 2, r, 12, 8 + track % 5));
      }
    }
  }
  ExpectPlainResults(b.Build(), kTrackCount);
}

}  // namespace
}  // namespace d88
