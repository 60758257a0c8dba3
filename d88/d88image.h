// SPDX-License-Identifier: MIT

// Reading D88 floppy images: the disks in one or more files and their sectors
// by ID. d88/format.h describes the bytes.
//
// The reader finds the disks that lie back to back in each file, makes one of
// them the selected disk and reads its sectors. A sector is looked up by a
// walk over its track's records (d88/track_walk.h gives the rules); a run
// read steps from sector to sector and on to the next track the way a file
// laid out in consecutive sectors does. What the reader reads is kept in a
// ReaderCache that its owner provides.

#ifndef D88_D88IMAGE_H_
#define D88_D88IMAGE_H_

#include <cstdint>

#include "d88/cached_file.h"
#include "d88/format.h"
#include "d88/track_walk.h"

namespace d88 {

// Where a reader keeps what it has read: file blocks, record headers and
// track walks. About 8.5 MiB: give it static storage, or allocate it
// value-initialized (`new ReaderCache()`). Whatever it keeps is keyed by the
// open file it came from, so nothing of one file is served for another, and
// nothing is kept across Open.
struct ReaderCache {
  FileCache files;
  TrackWalks walks;
};

// How a run read ended: how its last lookup ended and the bytes that lookup
// gave; kFound and 0 when the run asked for nothing.
struct RunStop {
  LookupEnd end;
  int32_t last_got;
};

// A reader is small and may live anywhere; its cache is not inside it.
class D88Image {
 public:
  // No file, no disks, sector range 1 to 16, nothing selected. Requires
  // cache to outlive the reader.
  explicit D88Image(ReaderCache* cache);
  D88Image(const D88Image&) = delete;
  D88Image& operator=(const D88Image&) = delete;

  // With a path: closes any open files and clears the selection, opens path
  // for binary reading and finds the disks in it. Returns false only when
  // the file cannot be opened (the disk count then keeps its earlier value,
  // and a selection stays only if no file was open), true also when no disk
  // is found.
  // With a null path: closes the files and sets the disk count to 0; the
  // selected disk's fields stay as they were. Returns true.
  bool Open(const char* path);

  // Adds the disks of one more image file after those already found: the
  // file is scanned from its own start, its disks are numbered after the
  // earlier ones, 64 in all at most, and every read of its disks stays
  // inside it. Returns false, changing nothing, when the file cannot be
  // opened. After Open with a path, this is how further image files join.
  bool AddFile(const char* path);

  // Number of image files opened since the last Open, those that hold no
  // disk included.
  int32_t GetFileCount() const { return file_count_; }

  // Number of disks found by the last scan, 0 to 64.
  int32_t GetDiskCount() const { return disk_count_; }

  // Loads the header of disk `index` and makes it the selected disk. Returns
  // false with nothing changed when no file is open; false with the selection
  // cleared when index is not below the disk count or the header cannot be
  // read.
  bool SelectDisk(int32_t index);

  // Sets the sector numbers at which a run read starts each further track
  // (first) and after which it moves to the next track (last). Unchecked.
  void SetSectorRange(int32_t first, int32_t last) {
    first_sector_ = first;
    last_sector_ = last;
  }

  // The selected disk's name, zero-terminated, at most 16 bytes; empty when
  // nothing is selected.
  const char* GetDiskName() const { return disk_name_; }

  // The selected disk's media type byte, 0 to 255; -1 when nothing is
  // selected.
  int32_t GetMediaType() const { return media_type_; }

  // Offset of the selected disk's header in its file: 0 in a new reader, -1
  // once a selection has been cleared.
  int32_t GetDiskOffset() const { return disk_offset_; }

  // The selected disk's size field; 0 when nothing is selected.
  int32_t GetDiskSize() const { return disk_size_; }

  // Which image file holds the selected disk: 0 for the one opened with
  // Open, then 1, 2, ... in the order AddFile added them; -1 when nothing is
  // selected.
  int32_t GetDiskFile() const;

  // True when track is 0 to 163 and its table entry in the selected disk is
  // above 0 and not above the disk size.
  bool IsTrackPresent(int32_t track) const;

  // Walks track for the first record whose ID is (c, h, r, n) and copies up
  // to capacity bytes of its data into dest. Returns the number of bytes
  // copied: the smaller of the record's data length and capacity; 0 when no
  // file is open, the track is absent, the walk ends without a match or the
  // data is cut short by the end of the file. If end is not null, it
  // receives how the lookup ended. Requires room for capacity bytes in dest.
  int32_t ReadSector(int32_t track, int32_t c, int32_t h, int32_t r, int32_t n,
                     uint8_t* dest, int32_t capacity, LookupEnd* end = nullptr);

  // Reads total bytes as a run of sectors of 128 << n bytes starting at
  // (track, c, h, r): after the last sector of the range the run goes on at
  // the first sector of the next track, whose head flips from 0 to 1, or from
  // 1 to 0 with the cylinder one up. Returns the bytes of the whole pieces
  // read before the first sector that is missing or shorter than its piece
  // (that sector's bytes are still copied into dest). Returns 0 for total <= 0
  // or n outside 0 to 23. If stop is not null, it receives how the last
  // lookup of the run ended. Requires room for total bytes in dest.
  int32_t ReadSectors(int32_t track, int32_t c, int32_t h, int32_t r, int32_t n,
                      uint8_t* dest, int32_t total, RunStop* stop = nullptr);

  // Lists the IDs of the records of track in walk order, 4 bytes each (C, H,
  // R, N), as many whole entries as capacity holds. Unlike a sector lookup it
  // passes over records whose count is 0. Returns the bytes stored; 0 when
  // no file is open or the track is absent. If data_lengths is not null, the
  // data length of the record listed at dest[4i] goes to data_lengths[i].
  // Requires room for capacity bytes in dest and capacity / 4 values in
  // data_lengths.
  int32_t GetTrackSectorIds(int32_t track, uint8_t* dest, int32_t capacity,
                            int32_t* data_lengths = nullptr);

 private:
  void ClearSelection();
  void CloseFiles();

  // Finds the disks of the file just opened in files_[slot], slot up to
  // kMaxDisks (the disks are all found), and keeps it if it holds any.
  void ScanFile(int32_t slot);

  // Sets *position to the file offset of track's first record; false when
  // no file is open or the track is absent.
  bool FindTrack(int32_t track, int64_t* position) const;

  ReaderCache* cache_;
  // The files that hold disks; an image's only file is kept even without.
  CachedFile files_[kMaxDisks];
  bool opened_;
  int32_t file_count_;
  int32_t slots_used_;
  int32_t disk_count_;
  int32_t first_sector_;
  int32_t last_sector_;
  int32_t disk_offsets_[kMaxDisks];  // in the disk's own file
  uint8_t disk_slots_[kMaxDisks];
  int32_t file_numbers_[kMaxDisks];  // of the file in each slot
  int32_t disk_size_;
  int32_t disk_offset_;
  int32_t selected_slot_;
  int32_t track_offsets_[kTrackCount];
  int32_t media_type_;
  char disk_name_[kDiskNameSize + 1];
};

}  // namespace d88

#endif  // D88_D88IMAGE_H_
