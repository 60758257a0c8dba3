// SPDX-License-Identifier: MIT

#include "tool/catalogue.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace d88 {
namespace {

CatalogueEntry Decode(const std::string& name_field, uint8_t disk = 0,
                      uint8_t track = 0, uint8_t sector = 0, uint8_t size = 0) {
  uint8_t bytes[16] = {};
  for (size_t i = 0; i < name_field.size() && i < 12; ++i) {
    bytes[i] = static_cast<uint8_t>(name_field[i]);
  }
  bytes[12] = track;
  bytes[13] = sector;
  bytes[14] = size;
  bytes[15] = disk;
  CatalogueEntry entry;
  DecodeCatalogueEntry(bytes, &entry);
  return entry;
}

std::string Listing(const CatalogueEntry& entry) {
  return d88test::WrittenText([&](std::FILE* file) {
    TextOut out(file);
    WriteListingLine(&out, entry);
  });
}

TEST(CatalogueTest, NameEndsAtTheFirstSpaceOrZeroWithinNineBytes) {
  const struct {
    std::string field;
    std::string name;
  } cases[] = {
      {std::string(12, '\0'), ""},
      {"AB CD     ", "AB"},
      {"ABCDEFGHIXYZ", "ABCDEFGHI"},  // bytes 9 to 11 are not part of it
      {std::string("AB\0CD    ", 9), "AB"},
      {" ABC     ", ""},
      {"\x83\x66\x81\x5B\x83\x5E   ", "\x83\x66\x81\x5B\x83\x5E"},
      {"\x01\xFF.       ", "\x01\xFF."},
  };
  for (const auto& c : cases) EXPECT_EQ(Decode(c.field).name, c.name);
}

TEST(CatalogueTest, FieldsComeFromTheirBytes) {
  const CatalogueEntry entry = Decode("X", 1, 0x10, 3, 0xFF);
  EXPECT_EQ(entry.disk, 1);
  EXPECT_EQ(entry.track, 0x10);
  EXPECT_EQ(entry.sector, 3);
  EXPECT_EQ(entry.length, 261120);
}

TEST(CatalogueTest, ListingLineFormat) {
  EXPECT_EQ(Listing(Decode("")), "           DISK:00 TRK:00 SEC:00 SIZE:00\n");
  EXPECT_EQ(Listing(Decode("DATA1    ", 1, 0x10, 3, 0x0A)),
            "DATA1      DISK:01 TRK:10 SEC:03 SIZE:2800\n");
  EXPECT_EQ(Listing(Decode("ABCDEFGHI", 0xFF, 0xA4, 0xFF, 0xFF)),
            "ABCDEFGHI  DISK:ff TRK:a4 SEC:ff SIZE:3fc00\n");
  // A double-byte character counts as two of the nine columns.
  EXPECT_EQ(Listing(Decode("\x83\x66\x81\x5B ", 2, 4, 1, 1)),
            "\x83\x66\x81\x5B       DISK:02 TRK:04 SEC:01 SIZE:400\n");
}

TEST(CatalogueTest, SafeNamesAreSingleFileNames) {
  const struct {
    const char* name;
    bool safe;
  } cases[] = {
      {"", false},     {".", false},       {"..", false},
      {"/", false},    {"a/b", false},     {"/etc", false},
      {"../x", false}, {"...", true},      {".hidden", true},
      {"A.B", true},   {"\x83\x5C", true}, {"\x01\x7F", true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsSafeFileName(c.name), c.safe) << c.name;
}

// The plan of a run, and ExtractFile carrying it out, skip included.
TEST(CatalogueTest, ExtractFileWritesTheRunFromSkipOn) {
  d88test::DiskBuilder disk;
  disk.AddFileTrack(2, 7);
  d88test::TempDir dir;
  ASSERT_TRUE(d88test::WriteBytes(dir.File("image.d88"), disk.Build()));
  auto cache = std::make_unique<ReaderCache>();
  D88Image image(cache.get());
  ASSERT_TRUE(image.Open(dir.File("image.d88").c_str()));
  ASSERT_TRUE(image.SelectDisk(0));
  image.SetSectorRange(1, 5);
  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  std::FILE* sink = std::tmpfile();
  TextOut listing(sink);
  TextOut messages(sink);
  const ExtractionOutput out = {&listing, &messages};
  EXPECT_EQ(ExtractFile(&image, out, "PART", 2, 1, 0, 4, 3, 1000, 3000),
            ExtractResult::kWrittenPartly);  // R 4 and 5, then track 3
  EXPECT_EQ(ExtractFile(&image, out, "WHOLE", 2, 1, 0, 1, 3, 100, 924),
            ExtractResult::kWritten);
  EXPECT_EQ(ExtractFile(&image, out, "NONE", 2, 1, 0, 9, 3, 0, 1),
            ExtractResult::kUnreadable);
  EXPECT_EQ(ExtractFile(&image, out, "..", 2, 1, 0, 1, 3, 0, 1),
            ExtractResult::kRefusedName);
  EXPECT_EQ(ExtractFile(&image, out, "EMPTY", 2, 1, 0, 1, 3, 0, 0),
            ExtractResult::kNothing);
  std::fclose(sink);
  ASSERT_EQ(chdir(here), 0);
  const d88test::Bytes run = d88test::FileContents(7, 2, 4, 2);
  d88test::Bytes part(run.begin() + 1000, run.end());
  part.resize(3000, 0);  // zeros where the run stopped
  EXPECT_EQ(d88test::ReadBytes(dir.File("PART")), part);
  const d88test::Bytes sector = d88test::SectorPattern(7, 2, 1);
  EXPECT_EQ(d88test::ReadBytes(dir.File("WHOLE")),
            d88test::Bytes(sector.begin() + 100, sector.end()));
  EXPECT_EQ(d88test::ListDir(dir.path()),
            (std::vector<std::string>{"PART", "WHOLE", "image.d88"}));
}

}  // namespace
}  // namespace d88
