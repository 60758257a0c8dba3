#include "d88/d88image.h"

#include <cstring>

namespace d88 {

namespace {

// Disk offsets are signed 32-bit: a running offset outside that range has no
// header to read.
constexpr int64_t kMaxDiskOffset = 0x7FFFFFFF;

}  // namespace

D88Image::D88Image()
    : disk_count_(0),
      first_sector_(1),
      last_sector_(16),
      disk_offsets_(),
      disk_size_(0),
      disk_offset_(0),
      track_offsets_(),
      media_type_(-1),
      disk_name_() {}

void D88Image::ClearSelection() {
  disk_offset_ = -1;
  media_type_ = -1;
  disk_size_ = 0;
  std::memset(disk_name_, 0, sizeof disk_name_);
}

bool D88Image::Open(const char* path) {
  if (path == nullptr) {
    file_.Close();
    disk_count_ = 0;
    media_type_ = -1;
    return true;
  }
  // Positions of an earlier file's disk mean nothing in another file, also
  // when that file was closed in between.
  const bool had_file = file_.IsOpen();
  if (!file_.Open(path)) {
    if (had_file) ClearSelection();
    return false;
  }
  ClearSelection();

  disk_count_ = 0;
  int64_t offset = 0;
  uint8_t header[kDiskHeaderSize];
  while (disk_count_ < kMaxDisks && offset >= 0 && offset <= kMaxDiskOffset) {
    disk_offsets_[disk_count_] = static_cast<int32_t>(offset);
    if (file_.Read(offset, header, kDiskHeaderSize) < kDiskHeaderSize) break;
    // A size of 0 keeps the offset, so the same disk is counted again.
    offset += ReadLe32(header + kDiskSizeOffset);
    ++disk_count_;
  }
  return true;
}

bool D88Image::SelectDisk(int32_t index) {
  if (!file_.IsOpen()) return false;
  ClearSelection();
  if (index < 0 || index >= disk_count_) return false;
  uint8_t header[kDiskHeaderSize];
  if (file_.Read(disk_offsets_[index], header, kDiskHeaderSize) <
      kDiskHeaderSize) {
    return false;
  }
  disk_offset_ = disk_offsets_[index];
  for (int32_t t = 0; t < kTrackCount; ++t) {
    track_offsets_[t] = ReadLe32(header + kTrackTableOffset + 4 * t);
  }
  media_type_ = header[kMediaTypeOffset];
  disk_size_ = ReadLe32(header + kDiskSizeOffset);
  // The name ends at its first zero byte; the field need not contain one.
  for (int32_t i = 0; i < kDiskNameSize && header[i] != 0; ++i) {
    disk_name_[i] = static_cast<char>(header[i]);
  }
  return true;
}

bool D88Image::IsTrackPresent(int32_t track) const {
  return track >= 0 && track < kTrackCount && track_offsets_[track] > 0 &&
         track_offsets_[track] <= disk_size_;
}

bool D88Image::FindTrack(int32_t track, int64_t* position) const {
  if (!file_.IsOpen() || !IsTrackPresent(track)) return false;
  *position = static_cast<int64_t>(disk_offset_) + track_offsets_[track];
  return true;
}

int32_t D88Image::ReadSector(int32_t track, int32_t c, int32_t h, int32_t r,
                             int32_t n, uint8_t* dest, int32_t capacity) {
  int64_t position = 0;
  if (!FindTrack(track, &position)) return 0;
  // ID bytes are 0 to 255: any other value matches no record, and the walk
  // would end with 0 whatever it met.
  if ((c | h | r | n) & ~0xFF) return 0;
  const uint32_t wanted_id =
      static_cast<uint32_t>(c) | (static_cast<uint32_t>(h) << 8) |
      (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(n) << 24);
  // Walks may run through tens of thousands of records per sector, so each
  // header is read in place from the cache while it holds the next one.
  uint8_t scratch[kRecordHeaderSize];
  const uint8_t* header = nullptr;
  int32_t available = 0;
  for (int64_t i = 0;; ++i) {
    if (available < kRecordHeaderSize) {
      header = file_.View(position, kRecordHeaderSize, scratch, &available);
      if (header == nullptr) return 0;
    }
    const int32_t count = ReadLe16(header + kSectorCountOffset);
    const int32_t length = ReadLe16(header + kDataLengthOffset);
    // A count of 0 ends the walk before the ID is looked at.
    if (count == 0) return 0;
    if (static_cast<uint32_t>(ReadLe32(header)) == wanted_id) {
      int32_t wanted = length < capacity ? length : capacity;
      if (wanted < 0) wanted = 0;
      return file_.Read(position + kRecordHeaderSize, dest, wanted) == wanted
                 ? wanted
                 : 0;
    }
    if (i == count - 1) return 0;
    const int32_t step = kRecordHeaderSize + length;
    position += step;
    if (step < available) {
      header += step;
      available -= step;
    } else {
      available = 0;
    }
  }
}

int32_t D88Image::ReadSectors(int32_t track, int32_t c, int32_t h, int32_t r,
                              int32_t n, uint8_t* dest, int32_t total,
                              int32_t* last_got) {
  int32_t got = 0;
  if (last_got == nullptr) last_got = &got;
  *last_got = 0;
  if (n < 0 || n > 23) return 0;
  int32_t piece = 128 << n;
  int32_t sum = 0;
  while (sum < total) {
    if (total - sum < piece) piece = total - sum;
    *last_got = ReadSector(track, c, h, r, n, dest, piece);
    if (*last_got < piece) return sum;
    dest += piece;
    sum += piece;
    // A sector was matched, so c, h and r are bytes and track is below 164:
    // none of the steps can overflow.
    if (r == last_sector_) {
      ++track;
      if (h == 0) {
        h = 1;
      } else {
        h = 0;
        ++c;
      }
      r = first_sector_;
    } else {
      ++r;
    }
  }
  return sum;
}

int32_t D88Image::GetTrackSectorIds(int32_t track, uint8_t* dest,
                                    int32_t capacity, int32_t* data_lengths) {
  int64_t position = 0;
  if (!FindTrack(track, &position)) return 0;
  uint8_t scratch[kRecordHeaderSize];
  int32_t result = 0;
  for (int64_t i = 0; 4 * (i + 1) <= capacity; ++i) {
    int32_t available = 0;
    const uint8_t* header =
        file_.View(position, kRecordHeaderSize, scratch, &available);
    if (header == nullptr) break;
    std::memcpy(dest + 4 * i, header, 4);
    result += 4;
    const int32_t count = ReadLe16(header + kSectorCountOffset);
    const int32_t length = ReadLe16(header + kDataLengthOffset);
    if (data_lengths != nullptr) data_lengths[i] = length;
    if (i == count - 1) break;
    position += kRecordHeaderSize + length;
  }
  return result;
}

}  // namespace d88
