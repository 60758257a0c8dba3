// The file catalogue of a two-disk image and the extraction of its files.
//
// Disk A holds the catalogue at track 1 (cylinder 0, head 1), sectors 1 and
// 2. Both disks use 1024-byte sectors (N = 3) numbered 1 to 5 on every track,
// track t lying on cylinder t / 2 and head t % 2. A file fills consecutive
// sectors from its first one, on to the next track after sector 5.
//
//   catalogue bytes 0 to 159     not used
//   catalogue bytes 160 to 2047  118 entries of 16 bytes:
//     0   9 bytes   name, padded with spaces; it ends at the first space
//     12  1 byte    track of the first sector
//     13  1 byte    sector number R of the first sector
//     14  1 byte    length in units of 1024 bytes
//     15  1 byte    disk: 0 for Disk A, 1 for Disk B
//
// There is no end marker: every one of the 118 entries is listed.

#ifndef TOOL_CATALOGUE_H_
#define TOOL_CATALOGUE_H_

#include <cstdint>
#include <cstdio>

#include "d88/d88image.h"
#include "tool/text_out.h"

namespace d88 {

constexpr int32_t kCatalogueSize = 2048;
constexpr int32_t kCatalogueEntryCount = 118;
constexpr int32_t kCatalogueEntriesOffset = 160;
constexpr int32_t kCatalogueEntrySize = 16;
constexpr int32_t kCatalogueNameSize = 9;
constexpr int32_t kCatalogueTrack = 1;
constexpr int32_t kFileSectorSize = 1024;
constexpr int32_t kFileSizeCode = 3;
constexpr int32_t kFirstFileSector = 1;
constexpr int32_t kLastFileSector = 5;

struct CatalogueEntry {
  char name[kCatalogueNameSize + 1];  // zero-terminated, at most 9 bytes
  int32_t disk;
  int32_t track;
  int32_t sector;
  int32_t length;  // in bytes
};

// The 16 bytes of entry index (0 to 117) in the catalogue's bytes.
inline const uint8_t* CatalogueEntryBytes(const uint8_t* catalogue,
                                          int32_t index) {
  return catalogue + kCatalogueEntriesOffset + kCatalogueEntrySize * index;
}

// Fills entry from the 16 entry bytes at bytes.
void DecodeCatalogueEntry(const uint8_t* bytes, CatalogueEntry* entry);

// Selects the entry's disk and the file geometry, ready for its sectors.
// Returns false when the image has no such disk.
bool SelectEntryDisk(D88Image* image, const CatalogueEntry& entry);

// Writes the entry's listing line, e.g.
// "DATA1      DISK:01 TRK:10 SEC:03 SIZE:2800\n".
void WriteListingLine(TextOut* out, const CatalogueEntry& entry);

// True when name can only mean a file in the current directory on this host:
// not empty, not "." or "..", no '/', and whatever the host adds.
bool IsSafeFileName(const char* name);

// How reading an entry's run ends.
enum class RunEnd {
  kComplete,       // every piece was read
  kEmpty,          // the run asks for no bytes
  kNoDisk,         // the image has no disk of the entry's index
  kNoTrack,        // the run's first track is absent
  kSectorMissing,  // a sector of the run is not found (or cut off by the
                   // end of the file)
  kSectorShort,    // a sector holds fewer bytes than its piece
};

struct RunOutcome {
  RunEnd end;
  int32_t bytes_read;  // bytes of the whole pieces read before the run ended
};

// Reads total bytes as a run from (track, c, h, r, n) on the selected disk
// into buffer, which it first zeroes: bytes the run does not read stay zero,
// while a short sector's own bytes are kept. Never reports kNoDisk. Requires
// room for total bytes in buffer.
RunOutcome ReadRun(D88Image* image, int32_t track, int32_t c, int32_t h,
                   int32_t r, int32_t n, uint8_t* buffer, int32_t total);

// Selects the entry's disk and reads the entry's run into buffer, exactly
// as the extraction does before it writes the entry's file. Requires room for
// entry.length bytes in buffer.
RunOutcome ReadEntry(D88Image* image, const CatalogueEntry& entry,
                     uint8_t* buffer);

// Selects Disk A and reads its catalogue into catalogue, which must hold
// kCatalogueSize bytes. Bytes that are not read are zero; a short sector's
// own bytes are kept.
RunOutcome ReadCatalogue(D88Image* image, uint8_t* catalogue);

enum class ExtractResult {
  kWritten,      // the file holds the run's bytes
  kNothingRead,  // the run yielded nothing, so no file was touched
  kRefusedName,  // reported on stderr; no file was touched
  kWriteFailed,  // reported on stderr; an earlier file of the name is intact
};

// Reads skip + length bytes as a run from (track, c, h, r, n) on the selected
// disk and writes the length bytes from skip on into a file called name in
// the current directory. Bytes the run did not read are zero. Refusals and
// write failures are reported to messages.
ExtractResult ExtractFile(D88Image* image, TextOut* messages, const char* name,
                          int32_t track, int32_t c, int32_t h, int32_t r,
                          int32_t n, int32_t skip, int32_t length);

// Lists every catalogue entry of the open image to listing and extracts each
// one whose sectors can be read. Returns false when a name was refused or a
// file could not be written. Requires an image with at least two disks.
bool ExtractCatalogue(D88Image* image, TextOut* listing, TextOut* messages);

}  // namespace d88

#endif  // TOOL_CATALOGUE_H_
