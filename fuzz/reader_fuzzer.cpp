// Drives every reader operation over arbitrary bytes taken as an image:
// the scan, selection of each disk, the ID listing and sector reads of each
// track with varied IDs, sizes and capacities. Buffers are exactly as large
// as promised, so AddressSanitizer sees any byte written past them.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "d88/d88image.h"
#include "fuzz/fuzz_file.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void ExerciseTrack(d88::D88Image* image, int32_t track, uint8_t salt) {
  const int32_t id_capacity = 4 * (salt % 12) + (salt & 3);
  std::vector<uint8_t> ids(static_cast<size_t>(id_capacity));
  const int32_t listed =
      image->GetTrackSectorIds(track, ids.data(), id_capacity);
  Check(listed >= 0 && listed <= id_capacity && listed % 4 == 0);
  for (int32_t i = 0; i < listed; i += 4) {
    const int32_t capacity = (salt & 1) ? 1024 : (salt * 37 + i) % 2000;
    std::vector<uint8_t> data(static_cast<size_t>(capacity));
    const int32_t got = image->ReadSector(track, ids[i], ids[i + 1], ids[i + 2],
                                          ids[i + 3], data.data(), capacity);
    Check(got >= 0 && got <= capacity);
  }
  const int32_t n = salt % 5;
  const int32_t total = (salt * 131) % 6000;
  std::vector<uint8_t> run(static_cast<size_t>(total));
  const int32_t got = image->ReadSectors(track, track / 2, track % 2,
                                         1 + salt % 3, n, run.data(), total);
  Check(got >= 0 && got <= total);
  Check(got == total || got % (128 << n) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static d88::D88Image* image = new d88::D88Image;
  const std::string path = std::string(d88fuzz::PrivateRoot()) + "/image.d88";
  d88fuzz::WriteInput(path, data, size);
  Check(image->Open(path.c_str()));
  const int32_t count = image->GetDiskCount();
  Check(count >= 0 && count <= d88::kMaxDisks);
  const uint8_t salt = size > 0 ? data[size / 2] : 0;
  image->SetSectorRange(1, 1 + salt % 16);
  // Every disk would cost 64 full passes on a self-repeating image; the
  // first three and the last one cover the different ways in.
  for (int32_t disk : {-1, 0, 1, 2, count - 1, count}) {
    if (!image->SelectDisk(disk)) {
      Check(image->GetDiskSize() == 0 && image->GetMediaType() == -1);
      continue;
    }
    Check(std::strlen(image->GetDiskName()) <= 16);
    Check(image->GetMediaType() >= 0 && image->GetMediaType() <= 255);
    for (int32_t track = -1; track <= d88::kTrackCount; ++track) {
      ExerciseTrack(image, track, static_cast<uint8_t>(salt + track));
    }
  }
  Check(image->Open(nullptr));
  return 0;
}
