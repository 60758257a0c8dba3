// SPDX-License-Identifier: MIT

#include "tool/catalogue.h"

#include <gtest/gtest.h>

#include <string>

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
  std::FILE* file = std::tmpfile();
  TextOut out(file);
  WriteListingLine(&out, entry);
  std::rewind(file);
  char line[128] = {};
  const size_t got = std::fread(line, 1, sizeof line - 1, file);
  std::fclose(file);
  return std::string(line, got);
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

}  // namespace
}  // namespace d88
