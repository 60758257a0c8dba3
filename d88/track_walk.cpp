// SPDX-License-Identifier: MIT

#include "d88/track_walk.h"

#include <cstdint>

namespace d88 {

namespace {

bool IsFound(const uint32_t* found, int32_t r) {
  return (found[r >> 5] >> (r & 31)) & 1u;
}

}  // namespace

TrackWalks::Table* TrackWalks::Acquire(uint32_t file_key, int64_t start,
                                       uint8_t c, uint8_t h, uint8_t n) {
  const uint64_t key =
      static_cast<uint64_t>(start) ^ (static_cast<uint64_t>(file_key) << 40) ^
      (static_cast<uint64_t>(c) << 24) ^ (static_cast<uint64_t>(h) << 32) ^
      (static_cast<uint64_t>(n) << 16);
  const uint32_t set =
      static_cast<uint32_t>((key * 0x9E3779B97F4A7C15u) >> (64 - kSetBits));
  uint16_t* ways = index_[set];
  int32_t victim_way = 0;
  uint64_t victim_use = UINT64_MAX;
  for (int32_t way = 0; way < kWays; ++way) {
    if (ways[way] == 0) {
      if (victim_use > 0) {
        victim_way = way;
        victim_use = 0;
      }
      continue;
    }
    Table& table = tables_[ways[way] - 1];
    if (table.file_key == file_key && table.start == start && table.c == c &&
        table.h == h && table.n == n) {
      table.last_use = ++uses_;
      return &table;
    }
    if (table.last_use < victim_use) {
      victim_way = way;
      victim_use = table.last_use;
    }
  }
  int32_t number = ways[victim_way] - 1;
  if (number < 0 && tables_used_ < kTableCount) number = tables_used_++;
  if (number < 0) {
    number = 0;
    for (int32_t i = 1; i < kTableCount; ++i) {
      if (tables_[i].last_use < tables_[number].last_use) number = i;
    }
    const uint16_t old_slot = tables_[number].slot;
    index_[old_slot / kWays][old_slot % kWays] = 0;
  }
  ways[victim_way] = static_cast<uint16_t>(number + 1);
  Table* table = &tables_[number];
  for (uint16_t& chunk : table->chunks) {
    if (chunk != 0) free_chunks_[free_chunk_count_++] = chunk - 1;
    chunk = 0;
  }
  table->file_key = file_key;
  table->c = c;
  table->h = h;
  table->n = n;
  table->walking = true;
  table->end = LookupEnd::kNotFound;
  table->slot = static_cast<uint16_t>(set * kWays + victim_way);
  table->start = start;
  table->cursor = start;
  table->index = 0;
  table->step = 0;
  table->last_use = ++uses_;
  for (uint32_t& bits : table->found) bits = 0;
  return table;
}

TrackWalks::Sector& TrackWalks::SectorOf(Table* table, int32_t r) {
  return chunks_[table->chunks[r / kChunkSectors] - 1][r % kChunkSectors];
}

void TrackWalks::Step(CachedFile* file, Table* table) {
  RecordHeader header;
  if (!file->ReadRecordHeader(table->cursor, table->step, &header)) {
    table->walking = false;
    table->end = LookupEnd::kCutShort;
    return;
  }
  // A count of 0 ends the walk before the ID is looked at.
  if (header.count == 0) {
    table->walking = false;
    table->end = LookupEnd::kCountZero;
    return;
  }
  if (header.c == table->c && header.h == table->h && header.n == table->n &&
      !IsFound(table->found, header.r)) {
    uint16_t& chunk = table->chunks[header.r / kChunkSectors];
    if (chunk == 0) {
      // Every table holds at most kChunksPerTable chunks, so there is
      // always one free.
      chunk = static_cast<uint16_t>(1 + (free_chunk_count_ > 0
                                             ? free_chunks_[--free_chunk_count_]
                                             : chunks_used_++));
    }
    table->found[header.r >> 5] |= 1u << (header.r & 31);
    SectorOf(table, header.r) = {table->cursor, header.length};
  }
  if (table->index == header.count - 1) {
    table->walking = false;
    table->end = LookupEnd::kNotFound;
    return;
  }
  table->step = kRecordHeaderSize + header.length;
  table->cursor += table->step;
  ++table->index;
}

SectorFind TrackWalks::Find(CachedFile* file, int64_t start, int32_t c,
                            int32_t h, int32_t r, int32_t n) {
  // ID bytes are 0 to 255: any other value matches no record, and the walk
  // ends as it would for any such ID. Where it ends does not depend on the
  // IDs a table collects, so any table of the start can tell.
  const bool can_match = ((c | h | r | n) & ~0xFF) == 0;
  Table* table = Acquire(file->GetKey(), start, static_cast<uint8_t>(c),
                         static_cast<uint8_t>(h), static_cast<uint8_t>(n));
  const int32_t wanted = can_match ? r : 0;
  while ((!can_match || !IsFound(table->found, wanted)) && table->walking) {
    Step(file, table);
  }
  if (!can_match || !IsFound(table->found, wanted)) return {table->end, 0, 0};
  const Sector& sector = SectorOf(table, wanted);
  return {LookupEnd::kFound, sector.offset, sector.length};
}

}  // namespace d88
