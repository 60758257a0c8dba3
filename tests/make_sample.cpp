// SPDX-License-Identifier: MIT

// Writes the bundled sample: a two-disk image whose catalogue holds a few
// text files on both disks, one of them crossing from one track to the next
// and one with a Japanese (Shift_JIS) name. Usage: make_sample OUTPUT

#include <cstdio>
#include <string>

#include "tests/image_builder.h"

namespace {

using d88test::Bytes;

// A 1024-byte sector of text that says where it lies.
Bytes TextSector(int disk, int track, int r) {
  char line[80];
  const int length = std::snprintf(
      line, sizeof line, "Sample text on disk %c, track %d, sector %d.\n",
      disk == 0 ? 'A' : 'B', track, r);
  Bytes sector;
  while (sector.size() + static_cast<size_t>(length) <= 1024) {
    sector.insert(sector.end(), line, line + length);
  }
  sector.resize(1024, '\n');
  return sector;
}

void AddTextTrack(d88test::DiskBuilder* disk, int disk_index, int track) {
  for (int r = 1; r <= 5; ++r) {
    disk->AddSector(track, track / 2, track % 2, r, 3,
                    TextSector(disk_index, track, r));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage: %s OUTPUT\n", argv[0]);
    return 1;
  }
  const std::vector<d88test::Entry> entries = {
      {"HELLO.TXT", 0, 2, 1, 2},
      {"LONG.TXT", 0, 2, 4, 4},  // sectors 4 and 5 of track 2, 1 and 2 of 3
      {"\x83\x66\x81\x5B\x83\x5E", 1, 4, 1, 3},  // "データ"
      {"NOTES", 1, 5, 2, 1},
  };
  d88test::DiskBuilder disk_a("SAMPLE A");
  d88test::AddCatalogueTrack(&disk_a, d88test::CatalogueBytes(entries));
  AddTextTrack(&disk_a, 0, 2);
  AddTextTrack(&disk_a, 0, 3);
  d88test::DiskBuilder disk_b("SAMPLE B");
  AddTextTrack(&disk_b, 1, 4);
  AddTextTrack(&disk_b, 1, 5);
  if (!d88test::WriteBytes(argv[1],
                           d88test::Concat({disk_a.Build(), disk_b.Build()}))) {
    std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
    return 1;
  }
  return 0;
}
