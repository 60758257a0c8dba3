// SPDX-License-Identifier: MIT

#include "tests/image_builder.h"

#include <algorithm>
#include <cstdio>

namespace d88test {

namespace {

constexpr size_t kHeaderSize = 0x2B0;

void PutLe16(Bytes* bytes, size_t at, uint32_t value) {
  (*bytes)[at] = static_cast<uint8_t>(value);
  (*bytes)[at + 1] = static_cast<uint8_t>(value >> 8);
}

void PutLe32(Bytes* bytes, size_t at, uint32_t value) {
  PutLe16(bytes, at, value & 0xFFFF);
  PutLe16(bytes, at + 2, value >> 16);
}

}  // namespace

DiskBuilder& DiskBuilder::AddSector(int track, int c, int h, int r, int n,
                                    Bytes data) {
  Record record;
  record.c = static_cast<uint8_t>(c);
  record.h = static_cast<uint8_t>(h);
  record.r = static_cast<uint8_t>(r);
  record.n = static_cast<uint8_t>(n);
  record.data = std::move(data);
  return AddRecord(track, record);
}

DiskBuilder& DiskBuilder::AddRecord(int track, const Record& record) {
  tracks_[track].push_back(record);
  return *this;
}

DiskBuilder& DiskBuilder::AddFileTrack(int track, int seed) {
  for (int r = 1; r <= 5; ++r) {
    AddSector(track, track / 2, track % 2, r, 3, SectorPattern(seed, track, r));
  }
  return *this;
}

DiskBuilder& DiskBuilder::SetTrackOffset(int track, uint32_t value) {
  track_offset_overrides_[track] = value;
  return *this;
}

DiskBuilder& DiskBuilder::SetSizeField(uint32_t value) {
  size_overridden_ = true;
  size_field_ = value;
  return *this;
}

DiskBuilder& DiskBuilder::AppendRaw(const Bytes& bytes) {
  trailer_.insert(trailer_.end(), bytes.begin(), bytes.end());
  return *this;
}

Bytes DiskBuilder::Build() const {
  Bytes disk(kHeaderSize, 0);
  std::copy_n(name_.begin(), std::min<size_t>(name_.size(), 16), disk.begin());
  disk[0x1B] = media_type_;
  for (const auto& [track, records] : tracks_) {
    if (track >= 0 && track < 164) {
      PutLe32(&disk, 0x20 + 4 * static_cast<size_t>(track),
              static_cast<uint32_t>(disk.size()));
    }
    for (const Record& record : records) {
      const int count =
          record.count >= 0 ? record.count : static_cast<int>(records.size());
      const int length = record.data_length >= 0
                             ? record.data_length
                             : static_cast<int>(record.data.size());
      const Bytes header =
          RecordHeader(record.c, record.h, record.r, record.n, count, length);
      disk.insert(disk.end(), header.begin(), header.end());
      disk.insert(disk.end(), record.data.begin(), record.data.end());
    }
  }
  for (const auto& [track, value] : track_offset_overrides_) {
    PutLe32(&disk, 0x20 + 4 * static_cast<size_t>(track), value);
  }
  disk.insert(disk.end(), trailer_.begin(), trailer_.end());
  PutLe32(&disk, 0x1C,
          size_overridden_ ? size_field_ : static_cast<uint32_t>(disk.size()));
  return disk;
}

Bytes SectorPattern(int seed, int track, int r) {
  Bytes data(1024);
  uint32_t state = static_cast<uint32_t>(seed * 1000003 + track * 131 + r);
  for (uint8_t& byte : data) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<uint8_t>(state >> 16);
  }
  return data;
}

Bytes RecordHeader(int c, int h, int r, int n, int count, int data_length) {
  Bytes header(16, 0);
  header[0] = static_cast<uint8_t>(c);
  header[1] = static_cast<uint8_t>(h);
  header[2] = static_cast<uint8_t>(r);
  header[3] = static_cast<uint8_t>(n);
  PutLe16(&header, 4, static_cast<uint32_t>(count));
  PutLe16(&header, 14, static_cast<uint32_t>(data_length));
  return header;
}

Bytes CatalogueBytes(const std::vector<Entry>& entries) {
  Bytes catalogue(2048, 0);
  for (size_t i = 0; i < entries.size() && i < 118; ++i) {
    uint8_t* entry = &catalogue[160 + 16 * i];
    std::fill_n(entry, 9, ' ');
    std::copy_n(entries[i].name.begin(),
                std::min<size_t>(entries[i].name.size(), 9), entry);
    entry[12] = static_cast<uint8_t>(entries[i].track);
    entry[13] = static_cast<uint8_t>(entries[i].sector);
    entry[14] = static_cast<uint8_t>(entries[i].size_kb);
    entry[15] = static_cast<uint8_t>(entries[i].disk);
  }
  return catalogue;
}

void AddCatalogueTrack(DiskBuilder* disk, const Bytes& catalogue) {
  for (int r = 1; r <= 5; ++r) {
    Bytes data(1024, 0);
    if (r <= 2) {
      std::copy_n(catalogue.begin() + (r - 1) * 1024, 1024, data.begin());
    }
    disk->AddSector(1, 0, 1, r, 3, data);
  }
}

Bytes Concat(const std::vector<Bytes>& disks) {
  Bytes image;
  for (const Bytes& disk : disks)
    image.insert(image.end(), disk.begin(), disk.end());
  return image;
}

Bytes FileContents(int seed, int track, int r, int size_kb) {
  Bytes contents;
  for (int i = 0; i < size_kb; ++i) {
    const Bytes sector = SectorPattern(seed, track, r);
    contents.insert(contents.end(), sector.begin(), sector.end());
    if (r == 5) {
      ++track;
      r = 1;
    } else {
      ++r;
    }
  }
  return contents;
}

bool WriteBytes(const std::string& path, const Bytes& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written =
      bytes.empty() ||
      std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace d88test
