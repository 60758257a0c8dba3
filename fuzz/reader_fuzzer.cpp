// SPDX-License-Identifier: MIT

// Drives every reader operation over arbitrary bytes taken as an image: the
// scan, selection of each disk, the ID listing and sector reads of each track
// with varied IDs, sizes and capacities, and holds every result to a plain
// walk from the track's first record that keeps nothing between lookups.
// Buffers are exactly as large as promised, so AddressSanitizer sees any byte
// written past them.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "d88/d88image.h"
#include "fuzz/fuzz_file.h"
#include "tests/plain_image.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckLookup(d88::D88Image* image, const d88test::PlainImage& plain,
                 int32_t track, const uint8_t* id, int32_t r,
                 int32_t capacity) {
  std::vector<uint8_t> got(static_cast<size_t>(capacity));
  std::vector<uint8_t> want(static_cast<size_t>(capacity));
  d88::LookupEnd got_end, want_end;
  const int32_t got_bytes = image->ReadSector(track, id[0], id[1], r, id[3],
                                              got.data(), capacity, &got_end);
  const int32_t want_bytes = plain.ReadSector(track, id[0], id[1], r, id[3],
                                              want.data(), capacity, &want_end);
  Check(got_bytes == want_bytes && got_end == want_end);
  Check(std::equal(got.begin(), got.begin() + got_bytes, want.begin()));
}

void ExerciseTrack(d88::D88Image* image, const d88test::PlainImage& plain,
                   int32_t track, uint8_t salt, int32_t last_sector) {
  const int32_t id_capacity = 4 * (salt % 12) + (salt & 3);
  std::vector<uint8_t> ids(static_cast<size_t>(id_capacity));
  std::vector<uint8_t> want_ids(static_cast<size_t>(id_capacity));
  std::vector<int32_t> lengths(static_cast<size_t>(id_capacity / 4));
  std::vector<int32_t> want_lengths(lengths.size());
  const int32_t listed =
      image->GetTrackSectorIds(track, ids.data(), id_capacity, lengths.data());
  Check(listed == plain.TrackIds(track, want_ids.data(), id_capacity,
                                 want_lengths.data()));
  Check(std::equal(ids.begin(), ids.begin() + listed, want_ids.begin()));
  Check(std::equal(lengths.begin(), lengths.begin() + listed / 4,
                   want_lengths.begin()));
  // Each listed ID, the R after it, and again the first one: later lookups
  // answer from what earlier ones kept.
  for (int32_t i = 0; i < listed; i += 4) {
    const int32_t capacity = (salt & 1) ? 1024 : (salt * 37 + i) % 2000;
    CheckLookup(image, plain, track, &ids[i], ids[i + 2], capacity);
    CheckLookup(image, plain, track, &ids[i], ids[i + 2] + 1, capacity);
  }
  if (listed > 0) CheckLookup(image, plain, track, &ids[0], ids[2], 256);

  const int32_t n = salt % 5;
  const int32_t total = (salt * 131) % 6000;
  std::vector<uint8_t> run(static_cast<size_t>(total));
  std::vector<uint8_t> want_run(run.size());
  d88::RunStop stop, want_stop;
  const int32_t got = image->ReadSectors(
      track, track / 2, track % 2, 1 + salt % 3, n, run.data(), total, &stop);
  Check(got == plain.ReadSectors(track, track / 2, track % 2, 1 + salt % 3, n,
                                 want_run.data(), total, 1, last_sector,
                                 &want_stop));
  Check(stop.end == want_stop.end && stop.last_got == want_stop.last_got);
  Check(std::equal(run.begin(), run.begin() + got, want_run.begin()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static d88::D88Image* image = new d88::D88Image(new d88::ReaderCache());
  const std::string path = std::string(d88fuzz::PrivateRoot()) + "/image.d88";
  d88fuzz::WriteInput(path, data, size);
  Check(image->Open(path.c_str()));
  d88test::PlainImage plain(data, size);
  const int32_t count = image->GetDiskCount();
  Check(count == plain.DiskCount());
  const uint8_t salt = size > 0 ? data[size / 2] : 0;
  const int32_t last_sector = 1 + salt % 16;
  image->SetSectorRange(1, last_sector);
  // Every disk would cost 64 full passes on a self-repeating image; the
  // first three and the last one cover the different ways in.
  for (int32_t disk : {-1, 0, 1, 2, count - 1, count}) {
    if (!image->SelectDisk(disk)) {
      Check(!plain.Select(disk));
      Check(image->GetDiskSize() == 0 && image->GetMediaType() == -1);
      continue;
    }
    Check(plain.Select(disk));
    Check(std::strlen(image->GetDiskName()) <= 16);
    Check(image->GetMediaType() >= 0 && image->GetMediaType() <= 255);
    for (int32_t track = -1; track <= d88::kTrackCount; ++track) {
      ExerciseTrack(image, plain, track, static_cast<uint8_t>(salt + track),
                    last_sector);
    }
  }
  Check(image->Open(nullptr));
  return 0;
}
