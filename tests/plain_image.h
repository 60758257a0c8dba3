// SPDX-License-Identifier: MIT

// The reader's results worked out the plain way, straight from an image's
// bytes in memory: every lookup walks its track from the first record, and
// nothing is kept between lookups. The reader tests and the reader fuzzer
// hold the reader to it.

#ifndef TESTS_PLAIN_IMAGE_H_
#define TESTS_PLAIN_IMAGE_H_

#include <cstdint>
#include <cstring>

#include "d88/d88image.h"

namespace d88test {

class PlainImage {
 public:
  // Scans bytes for disks as the reader does. Requires bytes to outlive it.
  PlainImage(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {
    int64_t offset = 0;
    while (disk_count_ < 64 && offset >= 0 && offset <= 0x7FFFFFFF &&
           Has(offset, 688)) {
      disk_offsets_[disk_count_++] = offset;
      offset += Le32(offset + 0x1C);
    }
  }

  int32_t DiskCount() const { return disk_count_; }

  // Makes disk the one the reads below use; false when there is none.
  bool Select(int32_t disk) {
    selected_ = disk >= 0 && disk < disk_count_ ? disk : -1;
    return selected_ >= 0;
  }

  // Sets *start to where track's walk starts; false when it is not usable.
  bool TrackStart(int32_t track, int64_t* start) const {
    if (selected_ < 0 || track < 0 || track >= 164) return false;
    const int64_t disk = disk_offsets_[selected_];
    const int32_t entry = Le32(disk + 0x20 + 4 * track);
    if (entry <= 0 || entry > Le32(disk + 0x1C)) return false;
    *start = disk + entry;
    return true;
  }

  int32_t ReadSector(int32_t track, int32_t c, int32_t h, int32_t r, int32_t n,
                     uint8_t* dest, int32_t capacity,
                     d88::LookupEnd* end) const {
    int64_t position = 0;
    if (!TrackStart(track, &position))
      return Ends(end, d88::LookupEnd::kNoTrack);
    for (int64_t i = 0;; ++i) {
      if (!Has(position, 16)) return Ends(end, d88::LookupEnd::kCutShort);
      const uint8_t* header = bytes_ + position;
      const int32_t count = header[4] | header[5] << 8;
      const int32_t length = header[14] | header[15] << 8;
      if (count == 0) return Ends(end, d88::LookupEnd::kCountZero);
      if (header[0] == c && header[1] == h && header[2] == r &&
          header[3] == n) {
        const int32_t wanted =
            capacity < 0 ? 0 : (length < capacity ? length : capacity);
        if (!Has(position + 16, wanted)) {
          return Ends(end, d88::LookupEnd::kCutShort);
        }
        std::memcpy(dest, bytes_ + position + 16, static_cast<size_t>(wanted));
        *end = d88::LookupEnd::kFound;
        return wanted;
      }
      if (i == count - 1) return Ends(end, d88::LookupEnd::kNotFound);
      position += 16 + length;
    }
  }

  int32_t ReadSectors(int32_t track, int32_t c, int32_t h, int32_t r, int32_t n,
                      uint8_t* dest, int32_t total, int32_t first, int32_t last,
                      d88::RunStop* stop) const {
    *stop = {d88::LookupEnd::kFound, 0};
    if (n < 0 || n > 23) {
      stop->end = d88::LookupEnd::kNotFound;
      return 0;
    }
    int32_t piece = 128 << n;
    int32_t sum = 0;
    while (sum < total) {
      if (total - sum < piece) piece = total - sum;
      stop->last_got = ReadSector(track, c, h, r, n, dest, piece, &stop->end);
      if (stop->last_got < piece) return sum;
      dest += piece;
      sum += piece;
      if (r == last) {
        ++track;
        c += h;
        h = 1 - h;
        r = first;
      } else {
        ++r;
      }
    }
    return sum;
  }

  // The ID listing: passes over a count of 0, ends at index count - 1, where
  // the file ends or when capacity is full.
  int32_t TrackIds(int32_t track, uint8_t* dest, int32_t capacity,
                   int32_t* lengths) const {
    int64_t position = 0;
    if (!TrackStart(track, &position)) return 0;
    int32_t result = 0;
    for (int64_t i = 0; 4 * (i + 1) <= capacity && Has(position, 16); ++i) {
      const uint8_t* header = bytes_ + position;
      std::memcpy(dest + 4 * i, header, 4);
      lengths[i] = header[14] | header[15] << 8;
      result += 4;
      if (i == (header[4] | header[5] << 8) - 1) break;
      position += 16 + lengths[i];
    }
    return result;
  }

 private:
  static int32_t Ends(d88::LookupEnd* end, d88::LookupEnd why) {
    *end = why;
    return 0;
  }

  bool Has(int64_t offset, int64_t size) const {
    return offset >= 0 && static_cast<uint64_t>(offset + size) <= size_;
  }

  int32_t Le32(int64_t offset) const {
    const uint8_t* p = bytes_ + offset;
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | p[1] << 8 |
                                p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
  }

  const uint8_t* bytes_;
  size_t size_;
  int32_t disk_count_ = 0;
  int64_t disk_offsets_[64] = {};
  int32_t selected_ = -1;
};

}  // namespace d88test

#endif  // TESTS_PLAIN_IMAGE_H_
