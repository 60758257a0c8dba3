// SPDX-License-Identifier: MIT

// Sector lookups by track walk, with what each walk found kept for later.
//
// A lookup walks the records from a track's first one: it ends at a record
// whose count is 0 (before that record's ID is looked at), at the first
// record with the wanted ID, at the record whose index in the walk equals
// its own count - 1, or where the file ends. It is not confined to its track.
//
// Walking from the first record for every lookup costs up to 65,535 records
// (and past that, the rest of the file) per sector, for every sector of every
// file, however far apart the records lie. So instead a walk is kept: for
// each walk start and each group of IDs sharing C, H and N, a table of the
// first record of every R met so far and how far the walk got. A lookup
// answers from the table, or walks on from where the table stopped until
// it meets the R or the walk ends. Each record of a walk is then visited
// once per group however often its track is asked. Results cannot change:
// the image's bytes do not change during a run, the first match is the one
// kept, and a walk's end counts from its own start, so tables are never
// shared between walks that start at different records of one chain.
//
// A walk still costs its own length once: up to 65,535 records, or, where the
// counts never stop it, the rest of the file (past index 65,534 only a count
// of 0 or the end of the file can end it).

#ifndef D88_TRACK_WALK_H_
#define D88_TRACK_WALK_H_

#include <cstdint>

#include "d88/cached_file.h"

namespace d88 {

// How a sector lookup ended.
enum class LookupEnd : uint8_t {
  kFound,      // the record was found and its data read
  kNoTrack,    // no file is open, or the track is not usable
  kNotFound,   // the walk reached the record whose index is its count - 1
  kCountZero,  // a record with a count of 0 ended the walk
  kCutShort,   // the file ends inside a record header or the data wanted
};

// Where a lookup found its record: the record's header offset and data
// length when end is kFound.
struct SectorFind {
  LookupEnd end;
  int64_t offset;
  int32_t length;
};

// The kept walks of one reader. Large (about 1.4 MiB): give it static
// storage, or allocate it value-initialized (`new TrackWalks()`). All zero
// bytes keep no walk.
class TrackWalks {
 public:
  static constexpr int32_t kTableCount = 512;
  static constexpr int32_t kSetBits = 8;
  static constexpr int32_t kWays = 4;
  static constexpr int32_t kChunkSectors = 32;
  static constexpr int32_t kChunksPerTable = 256 / kChunkSectors;
  static constexpr int32_t kChunkCount = kTableCount * kChunksPerTable;

  TrackWalks() = default;
  TrackWalks(const TrackWalks&) = delete;
  TrackWalks& operator=(const TrackWalks&) = delete;

  // Finds the first record with ID (c, h, r, n) on the walk that starts at
  // offset start of file. Never returns kNoTrack. Requires an open file
  // whose bytes do not change while it is open.
  SectorFind Find(CachedFile* file, int64_t start, int32_t c, int32_t h,
                  int32_t r, int32_t n);

 private:
  struct Sector {
    int64_t offset;  // of the record header
    uint16_t length;
  };

  // Walks from start for IDs (c, h, *, n); found[r / 32] bit r % 32 tells
  // which R have their first record kept, in entry r % 32 of the chunk
  // that chunks[r / 32] names. Chunks are taken as they are needed, so that
  // a walk that meets few R keeps a few hundred bytes, not four kilobytes.
  struct Table {
    uint32_t file_key;
    uint8_t c, h, n;
    bool walking;  // false once the walk has ended, as end says
    LookupEnd end;
    uint16_t slot;  // where the index points at it: set * kWays + way
    int64_t start;
    int64_t cursor;  // offset of the next record to walk
    int64_t index;   // its index in the walk
    int64_t step;    // how far it lies from the record before it
    uint64_t last_use;
    uint32_t found[8];
    uint16_t chunks[kChunksPerTable];  // chunk number + 1; 0 = none yet
  };

  // Returns the table of the walk, starting it afresh if it is not kept.
  // A fresh walk takes a table never used before while there are some, so
  // that a run touches only as much memory as it has walks; then the least
  // recently used one of its set, or of all.
  Table* Acquire(uint32_t file_key, int64_t start, uint8_t c, uint8_t h,
                 uint8_t n);

  // Walks the next record of table's walk.
  void Step(CachedFile* file, Table* table);

  // The kept record of R r of table, which must have one.
  Sector& SectorOf(Table* table, int32_t r);

  uint64_t uses_;
  int32_t tables_used_;
  int32_t chunks_used_;
  int32_t free_chunk_count_;
  uint16_t index_[1 << kSetBits][kWays];  // table number + 1; 0 = none
  Table tables_[kTableCount];
  Sector chunks_[kChunkCount][kChunkSectors];
  uint16_t free_chunks_[kChunkCount];
};

}  // namespace d88

#endif  // D88_TRACK_WALK_H_
