// Writes the benchmark images. Usage: make_bench_images FULL WORST
//
// FULL: both disks with 160 tracks of five 1024-byte sectors, and 118
// catalogue entries that cover every file track of both disks.
// WORST: 118 entries of 255 sectors each, every sector the last record of a
// 65,535-record walk, so that each sector costs a walk of about 1 MiB.

#include <cstdio>
#include <string>
#include <vector>

#include "tests/image_builder.h"

namespace {

using d88test::Bytes;
using d88test::DiskBuilder;
using d88test::Entry;

constexpr int kEntries = 118;

std::string EntryName(int i) {
  char name[16];
  std::snprintf(name, sizeof name, "FILE%03d", i);
  return name;
}

Bytes FullImage() {
  // Disk A's files start at track 2 (track 1 is the catalogue), Disk B's at
  // track 0: 790 + 800 sectors spread over 118 entries.
  struct Span {
    int disk, first_track, sectors;
  };
  const Span spans[] = {{0, 2, 158 * 5}, {1, 0, 160 * 5}};
  std::vector<Entry> entries;
  const int total = spans[0].sectors + spans[1].sectors;
  int done = 0;
  for (const Span& span : spans) {
    const int share = span.disk == 0
                          ? kEntries * span.sectors / total
                          : kEntries - static_cast<int>(entries.size());
    int sector = 0;
    for (int i = 0; i < share; ++i) {
      const int end = span.sectors * (i + 1) / share;
      const int track = span.first_track + sector / 5;
      entries.push_back(
          {EntryName(done++), span.disk, track, sector % 5 + 1, end - sector});
      sector = end;
    }
  }
  DiskBuilder a("BENCH A");
  d88test::AddCatalogueTrack(&a, d88test::CatalogueBytes(entries));
  for (int t = 0; t < 160; ++t) {
    if (t != 1) a.AddFileTrack(t, 0);
  }
  DiskBuilder b("BENCH B");
  for (int t = 0; t < 160; ++t) b.AddFileTrack(t, 1);
  return d88test::Concat({a.Build(), b.Build()});
}

Bytes WorstImage() {
  constexpr int kChain = 65535;
  constexpr int kTracks = 51;  // 255 sectors from track 2 on
  std::vector<Entry> entries;
  for (int i = 0; i < kEntries; ++i)
    entries.push_back({EntryName(i), 0, 2, 1, 255});
  DiskBuilder a("WORST A");
  d88test::AddCatalogueTrack(&a, d88test::CatalogueBytes(entries));
  // Records that never match, then the real sectors of tracks 2 to 52. Track
  // t starts 5 (t - 2) records into the chain, so its sector r is record
  // 65,530 + r - 1 of its walk: the last one its count allows.
  d88test::Record filler;
  filler.c = filler.h = filler.r = filler.n = 0xFF;
  filler.count = kChain;
  for (int i = 0; i < kChain - 5; ++i) a.AddRecord(2, filler);
  for (int t = 2; t < 2 + kTracks; ++t) {
    for (int r = 1; r <= 5; ++r) {
      d88test::Record sector;
      sector.c = static_cast<uint8_t>(t / 2);
      sector.h = static_cast<uint8_t>(t % 2);
      sector.r = static_cast<uint8_t>(r);
      sector.count = kChain;
      sector.data = d88test::SectorPattern(0, t, r);
      a.AddRecord(2, sector);
    }
  }
  const uint32_t track2 = 0x2B0 + 5 * (16 + 1024);
  for (int t = 3; t < 2 + kTracks; ++t) {
    a.SetTrackOffset(t, track2 + 16 * 5 * static_cast<uint32_t>(t - 2));
  }
  return d88test::Concat({a.Build(), DiskBuilder("WORST B").Build()});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "Usage: %s FULL WORST\n", argv[0]);
    return 1;
  }
  if (!d88test::WriteBytes(argv[1], FullImage()) ||
      !d88test::WriteBytes(argv[2], WorstImage())) {
    std::fprintf(stderr, "%s: cannot write the images\n", argv[0]);
    return 1;
  }
  return 0;
}
