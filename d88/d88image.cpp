// SPDX-License-Identifier: MIT

#include "d88/d88image.h"

#include <cstring>

namespace d88 {

namespace {

// Disk offsets are signed 32-bit: a running offset outside that range has no
// header to read.
constexpr int64_t kMaxDiskOffset = 0x7FFFFFFF;

}  // namespace

D88Image::D88Image(ReaderCache* cache)
    : cache_(cache),
      opened_(false),
      file_count_(0),
      slots_used_(0),
      disk_count_(0),
      first_sector_(1),
      last_sector_(16),
      disk_offsets_(),
      disk_slots_(),
      file_numbers_(),
      disk_size_(0),
      disk_offset_(0),
      selected_slot_(0),
      track_offsets_(),
      media_type_(-1),
      disk_name_() {}

void D88Image::ClearSelection() {
  disk_offset_ = -1;
  media_type_ = -1;
  disk_size_ = 0;
  std::memset(disk_name_, 0, sizeof disk_name_);
}

void D88Image::CloseFiles() {
  for (int32_t slot = 0; slot < slots_used_; ++slot) files_[slot].Close();
  slots_used_ = 0;
  file_count_ = 0;
  opened_ = false;
}

bool D88Image::Open(const char* path) {
  // Positions of an earlier file's disk mean nothing in another file, also
  // when that file was closed in between.
  const bool had_file = opened_;
  CloseFiles();
  if (path == nullptr) {
    disk_count_ = 0;
    media_type_ = -1;
    return true;
  }
  if (!files_[0].Open(path, &cache_->files)) {
    if (had_file) ClearSelection();
    return false;
  }
  ClearSelection();
  disk_count_ = 0;
  ScanFile(0);
  return true;
}

bool D88Image::AddFile(const char* path) {
  // Every kept file holds a disk: with all slots used, the disks are all
  // found, and the file need only be opened to know that it can be.
  CachedFile spare;
  CachedFile& file = slots_used_ < kMaxDisks ? files_[slots_used_] : spare;
  if (!file.Open(path, &cache_->files)) return false;
  ScanFile(slots_used_);
  return true;
}

void D88Image::ScanFile(int32_t slot) {
  opened_ = true;
  const int32_t number = file_count_++;
  if (slot >= kMaxDisks) return;
  CachedFile& file = files_[slot];
  const int32_t first_disk = disk_count_;
  int64_t offset = 0;
  uint8_t header[kDiskHeaderSize];
  while (disk_count_ < kMaxDisks && offset >= 0 && offset <= kMaxDiskOffset) {
    disk_offsets_[disk_count_] = static_cast<int32_t>(offset);
    disk_slots_[disk_count_] = static_cast<uint8_t>(slot);
    if (file.Read(offset, header, kDiskHeaderSize) < kDiskHeaderSize) break;
    // A size of 0 keeps the offset, so the same disk is counted again.
    offset += ReadLe32(header + kDiskSizeOffset);
    ++disk_count_;
  }
  if (disk_count_ == first_disk && slot > 0) {
    file.Close();
    return;
  }
  file_numbers_[slot] = number;
  slots_used_ = slot + 1;
}

bool D88Image::SelectDisk(int32_t index) {
  if (!opened_) return false;
  ClearSelection();
  if (index < 0 || index >= disk_count_) return false;
  const int32_t slot = disk_slots_[index];
  uint8_t header[kDiskHeaderSize];
  if (files_[slot].Read(disk_offsets_[index], header, kDiskHeaderSize) <
      kDiskHeaderSize) {
    return false;
  }
  selected_slot_ = slot;
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

int32_t D88Image::GetDiskFile() const {
  return media_type_ < 0 ? -1 : file_numbers_[selected_slot_];
}

bool D88Image::IsTrackPresent(int32_t track) const {
  return track >= 0 && track < kTrackCount && track_offsets_[track] > 0 &&
         track_offsets_[track] <= disk_size_;
}

bool D88Image::FindTrack(int32_t track, int64_t* position) const {
  if (!opened_ || !IsTrackPresent(track)) return false;
  *position = static_cast<int64_t>(disk_offset_) + track_offsets_[track];
  return true;
}

int32_t D88Image::ReadSector(int32_t track, int32_t c, int32_t h, int32_t r,
                             int32_t n, uint8_t* dest, int32_t capacity,
                             LookupEnd* end) {
  LookupEnd ignored;
  if (end == nullptr) end = &ignored;
  int64_t position = 0;
  if (!FindTrack(track, &position)) {
    *end = LookupEnd::kNoTrack;
    return 0;
  }
  CachedFile* file = &files_[selected_slot_];
  const SectorFind found = cache_->walks.Find(file, position, c, h, r, n);
  *end = found.end;
  if (found.end != LookupEnd::kFound) return 0;
  int32_t wanted = found.length < capacity ? found.length : capacity;
  if (wanted < 0) wanted = 0;
  if (file->Read(found.offset + kRecordHeaderSize, dest, wanted) < wanted) {
    *end = LookupEnd::kCutShort;
    return 0;
  }
  return wanted;
}

int32_t D88Image::ReadSectors(int32_t track, int32_t c, int32_t h, int32_t r,
                              int32_t n, uint8_t* dest, int32_t total,
                              RunStop* stop) {
  RunStop ignored;
  if (stop == nullptr) stop = &ignored;
  stop->end = LookupEnd::kFound;
  stop->last_got = 0;
  if (n < 0 || n > 23) {
    // No sector has a piece of that size.
    stop->end = LookupEnd::kNotFound;
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
  int32_t result = 0;
  int64_t step = 0;
  for (int64_t i = 0; 4 * (i + 1) <= capacity; ++i) {
    RecordHeader header;
    if (!files_[selected_slot_].ReadRecordHeader(position, step, &header)) {
      break;
    }
    dest[4 * i] = header.c;
    dest[4 * i + 1] = header.h;
    dest[4 * i + 2] = header.r;
    dest[4 * i + 3] = header.n;
    result += 4;
    if (data_lengths != nullptr) data_lengths[i] = header.length;
    // Unlike a lookup, the listing passes over a count of 0.
    if (i == header.count - 1) break;
    step = kRecordHeaderSize + header.length;
    position += step;
  }
  return result;
}

}  // namespace d88
