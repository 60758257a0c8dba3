// SPDX-License-Identifier: MIT

// Writes the benchmark images into a folder. Usage: make_bench_images FOLDER
//
// full.d88: both disks with 160 tracks of five 1024-byte sectors, and 118
//   catalogue entries that cover every file track of both disks.
// dense.d88: 118 entries of 255 sectors each, every sector the last record
//   of a 65,535-record walk, so that each sector costs a walk of about 1 MiB.
// sparse-N.d88, sparse-N-staggered.d88: 118 entries of 255 sectors; every
//   file track of Disk A starts at a chain of N records that never match,
//   each carrying 65,535 data bytes, so that every header lies in a 64 KiB
//   block of its own; the file's sectors follow the chain. In the staggered
//   image track t starts at record t of the chain instead of record 0. The
//   data of the chain is never written: the files are sparse.

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/image_builder.h"

namespace {

using d88test::Bytes;
using d88test::DiskBuilder;
using d88test::Entry;

constexpr int kEntries = 118;
constexpr int kHeaderSize = 0x2B0;
constexpr int kRecordSize = 16 + 1024;
// 255 sectors from track 2 on.
constexpr int kFirstFileTrack = 2;
constexpr int kFileTracks = 51;

std::string EntryName(int i) {
  char name[16];
  std::snprintf(name, sizeof name, "FILE%03d", i);
  return name;
}

// 118 entries of 255 sectors from track 2, sector 1 of Disk A.
Bytes LongEntriesCatalogue() {
  std::vector<Entry> entries;
  for (int i = 0; i < kEntries; ++i)
    entries.push_back({EntryName(i), 0, kFirstFileTrack, 1, 255});
  return d88test::CatalogueBytes(entries);
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

Bytes DenseImage() {
  constexpr int kChain = 65535;
  DiskBuilder a("DENSE A");
  d88test::AddCatalogueTrack(&a, LongEntriesCatalogue());
  // Records that never match, then the real sectors of tracks 2 to 52. Track
  // t starts 5 (t - 2) records into the chain, so its sector r is record
  // 65,530 + r - 1 of its walk: the last one its count allows.
  d88test::Record filler;
  filler.c = filler.h = filler.r = filler.n = 0xFF;
  filler.count = kChain;
  for (int i = 0; i < kChain - 5; ++i) a.AddRecord(2, filler);
  for (int t = kFirstFileTrack; t < kFirstFileTrack + kFileTracks; ++t) {
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
  const uint32_t track2 = kHeaderSize + 5 * kRecordSize;
  for (int t = 3; t < kFirstFileTrack + kFileTracks; ++t) {
    a.SetTrackOffset(t, track2 + 16 * 5 * static_cast<uint32_t>(t - 2));
  }
  return d88test::Concat({a.Build(), DiskBuilder("DENSE B").Build()});
}

void PutLe32(Bytes* bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i)
    (*bytes)[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// Writes bytes at offset of file; false on failure.
bool WriteAt(std::FILE* file, int64_t offset, const Bytes& bytes) {
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0 &&
         std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

bool WriteSparseImage(const std::string& path, int chain, bool staggered) {
  constexpr int kFiller = 16 + 65535;
  // Disk A: header, catalogue track, the chain, then the file's sectors.
  const int64_t catalogue = kHeaderSize;
  const int64_t first_filler = catalogue + 5 * kRecordSize;
  const int64_t sectors = first_filler + int64_t{chain} * kFiller;
  const int64_t size_a = sectors + int64_t{kFileTracks} * 5 * kRecordSize;
  Bytes header(kHeaderSize, 0);
  std::snprintf(reinterpret_cast<char*>(header.data()), 16, "SPARSE A");
  PutLe32(&header, 0x1C, static_cast<uint32_t>(size_a));
  PutLe32(&header, 0x20 + 4, static_cast<uint32_t>(catalogue));
  for (int t = kFirstFileTrack; t < kFirstFileTrack + kFileTracks; ++t) {
    const int64_t start = first_filler + (staggered ? int64_t{t} * kFiller : 0);
    PutLe32(&header, 0x20 + 4 * static_cast<size_t>(t),
            static_cast<uint32_t>(start));
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = WriteAt(file, 0, header);
  const Bytes entries = LongEntriesCatalogue();
  for (int r = 1; r <= 5; ++r) {
    Bytes record = d88test::RecordHeader(0, 1, r, 3, 5, 1024);
    record.resize(kRecordSize, 0);
    if (r <= 2) {
      std::copy_n(entries.begin() + (r - 1) * 1024, 1024, record.begin() + 16);
    }
    ok = ok && WriteAt(file, catalogue + (r - 1) * kRecordSize, record);
  }
  const Bytes filler =
      d88test::RecordHeader(0xFF, 0xFF, 0xFF, 0xFF, 65535, kFiller - 16);
  for (int i = 0; i < chain && ok; ++i)
    ok = WriteAt(file, first_filler + int64_t{i} * kFiller, filler);
  int64_t at = sectors;
  for (int t = kFirstFileTrack; t < kFirstFileTrack + kFileTracks; ++t) {
    for (int r = 1; r <= 5; ++r) {
      Bytes record = d88test::RecordHeader(t / 2, t % 2, r, 3, 65535, 1024);
      const Bytes data = d88test::SectorPattern(0, t, r);
      record.insert(record.end(), data.begin(), data.end());
      ok = ok && WriteAt(file, at, record);
      at += kRecordSize;
    }
  }
  // Disk B: a blank disk.
  Bytes disk_b(kHeaderSize, 0);
  PutLe32(&disk_b, 0x1C, kHeaderSize);
  ok = ok && WriteAt(file, size_a, disk_b);
  return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage: %s FOLDER\n", argv[0]);
    return 1;
  }
  const std::string folder = argv[1];
  bool ok = d88test::WriteBytes(folder + "/full.d88", FullImage()) &&
            d88test::WriteBytes(folder + "/dense.d88", DenseImage());
  for (int chain : {1000, 16000}) {
    const std::string name = folder + "/sparse-" + std::to_string(chain);
    ok = ok && WriteSparseImage(name + ".d88", chain, false) &&
         WriteSparseImage(name + "-staggered.d88", chain, true);
  }
  if (!ok) {
    std::fprintf(stderr, "%s: cannot write the images\n", argv[0]);
    return 1;
  }
  return 0;
}
