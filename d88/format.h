// SPDX-License-Identifier: MIT

// The D88 disk image layout: the one description of the bytes the reader
// reads. All multi-byte fields are little-endian and are assembled from
// single bytes, so no alignment or host byte order matters.
//
//   file    disk 0, disk 1, ... back to back, with no gap and no file header;
//           disk 0 starts at offset 0 and disk k+1 where disk k's size field
//           says it ends. A disk exists only if all 688 bytes of its header
//           can be read; at most 64 are used.
//
//   disk header, 688 bytes:
//     0x00  16 bytes   name, zero-padded (no terminator when all 16 are used)
//     0x1B   1 byte    media type
//     0x1C   4 bytes   disk size, header included
//     0x20 164 x 4     track offsets from the start of the header; 0 = absent
//
//   track   sector records back to back from the track's offset.
//
//   record header, 16 bytes, then data length bytes of data:
//     0x00   4 bytes   sector ID: C, H, R, N (nominal length 128 << N)
//     0x04   2 bytes   number of records in the track
//     0x0E   2 bytes   data length: the data that follows this header
//
// A sector is found by its ID, never by its position in the track, and the
// data length (not N) decides where the next record starts.

#ifndef D88_FORMAT_H_
#define D88_FORMAT_H_

#include <cstdint>

namespace d88 {

constexpr int32_t kDiskHeaderSize = 0x2B0;
constexpr int32_t kMaxDisks = 64;
constexpr int32_t kTrackCount = 164;
constexpr int32_t kDiskNameSize = 16;
constexpr int32_t kRecordHeaderSize = 16;
// Disk offsets are signed 32-bit, so no scan reads a header that starts past
// 2^31 - 1: this many bytes of a file are all a scan can reach.
constexpr int64_t kMaxImageBytes = int64_t{0x7FFFFFFF} + kDiskHeaderSize;

// Byte positions inside a disk header.
constexpr int32_t kMediaTypeOffset = 0x1B;
constexpr int32_t kDiskSizeOffset = 0x1C;
constexpr int32_t kTrackTableOffset = 0x20;

// Byte positions inside a sector record header.
constexpr int32_t kSectorCountOffset = 0x04;
constexpr int32_t kDataLengthOffset = 0x0E;

// What the reader uses of a sector record header.
struct RecordHeader {
  uint8_t c, h, r, n;  // the sector ID
  uint16_t count;      // records in the track, as this record says
  uint16_t length;     // data bytes after the header
};

// Returns p[0] + 256 * p[1]: 0 to 65535. Requires two readable bytes at p.
inline int32_t ReadLe16(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) |
                              (static_cast<uint32_t>(p[1]) << 8));
}

// Returns the four bytes at p as a signed 32-bit value (FF FF FF FF is -1).
// Requires four readable bytes at p.
inline int32_t ReadLe32(const uint8_t* p) {
  const uint32_t value =
      static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
      (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
  // Two's complement without relying on an implementation-defined narrowing.
  return value <= 0x7FFFFFFFu
             ? static_cast<int32_t>(value)
             : static_cast<int32_t>(value - 0x80000000u) - 0x7FFFFFFF - 1;
}

// Decodes the 16-byte record header at p. Requires 16 readable bytes at p.
inline RecordHeader DecodeRecordHeader(const uint8_t* p) {
  RecordHeader header;
  header.c = p[0];
  header.h = p[1];
  header.r = p[2];
  header.n = p[3];
  header.count = static_cast<uint16_t>(ReadLe16(p + kSectorCountOffset));
  header.length = static_cast<uint16_t>(ReadLe16(p + kDataLengthOffset));
  return header;
}

}  // namespace d88

#endif  // D88_FORMAT_H_
