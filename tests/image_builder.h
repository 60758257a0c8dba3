// SPDX-License-Identifier: MIT

// Builds D88 images in memory for tests, samples, benchmarks and fuzz seeds.
//
// A DiskBuilder lays out one disk: its header, then its tracks in track order,
// each track's records back to back. Every field can be overridden so that
// broken and hostile images are as easy to make as sound ones.

#ifndef TESTS_IMAGE_BUILDER_H_
#define TESTS_IMAGE_BUILDER_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace d88test {

using Bytes = std::vector<uint8_t>;

struct Record {
  uint8_t c = 0, h = 0, r = 0, n = 3;
  int count = -1;        // the record count field; -1: records in the track
  int data_length = -1;  // the data length field; -1: data.size()
  Bytes data;
};

class DiskBuilder {
 public:
  explicit DiskBuilder(const std::string& name = "", uint8_t media_type = 0)
      : name_(name), media_type_(media_type) {}

  // Appends a record with the given ID to track.
  DiskBuilder& AddSector(int track, int c, int h, int r, int n, Bytes data);
  DiskBuilder& AddRecord(int track, const Record& record);
  // Adds sectors 1 to 5 of 1024 bytes on cylinder track / 2, head track % 2,
  // filled with SectorPattern(seed, track, r).
  DiskBuilder& AddFileTrack(int track, int seed);
  // Overrides the raw track table entry or size field.
  DiskBuilder& SetTrackOffset(int track, uint32_t value);
  DiskBuilder& SetSizeField(uint32_t value);
  // Appends bytes after the last track (inside the disk's size).
  DiskBuilder& AppendRaw(const Bytes& bytes);

  Bytes Build() const;

 private:
  std::string name_;
  uint8_t media_type_;
  std::map<int, std::vector<Record>> tracks_;
  std::map<int, uint32_t> track_offset_overrides_;
  bool size_overridden_ = false;
  uint32_t size_field_ = 0;
  Bytes trailer_;
};

// 1024 bytes that differ for every (seed, track, r), so a misplaced sector
// shows.
Bytes SectorPattern(int seed, int track, int r);

// A record header: ID, count and data length.
Bytes RecordHeader(int c, int h, int r, int n, int count, int data_length);

// One catalogue entry; the name is raw bytes, padded with spaces to nine.
struct Entry {
  std::string name;
  int disk = 0, track = 0, sector = 0, size_kb = 0;
};

// The 2048 catalogue bytes for entries (at most 118); the rest is zero.
Bytes CatalogueBytes(const std::vector<Entry>& entries);

// Puts the catalogue on track 1 of disk: sectors 1 and 2 hold it, sectors 3
// to 5 are zero, so the track reads like any file track.
void AddCatalogueTrack(DiskBuilder* disk, const Bytes& catalogue);

// Bytes of disks laid back to back.
Bytes Concat(const std::vector<Bytes>& disks);

// The bytes a file of size_kb kilobytes from (seed, track, r) holds on a disk
// built with AddFileTrack.
Bytes FileContents(int seed, int track, int r, int size_kb);

// Writes bytes to path; false on failure.
bool WriteBytes(const std::string& path, const Bytes& bytes);

}  // namespace d88test

#endif  // TESTS_IMAGE_BUILDER_H_
