// SPDX-License-Identifier: MIT

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

// How reading a run ends.
enum class RunEnd {
  kComplete,       // every piece was read
  kEmpty,          // the run asks for no bytes
  kNoDisk,         // the image has no disk of the entry's index
  kNoTrack,        // the run reached a track that is absent
  kSectorMissing,  // a sector of the run is not found
  kCutShort,       // the file ends before a sector of the run does
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

// Selects Disk A and reads its catalogue into catalogue, which must hold
// kCatalogueSize bytes. Bytes that are not read are zero; a short sector's
// own bytes are kept.
RunOutcome ReadCatalogue(D88Image* image, uint8_t* catalogue);

// What the extraction does with a file.
enum class Action {
  kNone,        // the run asks for nothing: no file, nothing to say
  kUnreadable,  // nothing of the run could be read: no file, and a message
  kRefuseName,  // the name cannot be used here: no file, and a message
  kWrite,       // the file is written; if the run stopped early, a message
                // follows
};

// The one place where what happens to a file is decided: d88extract carries
// plans out, d88info shows them.
struct ExtractionPlan {
  RunOutcome run;
  Action action;

  // A file written from a run that stopped early, padded with zeros.
  bool partial() const {
    return action == Action::kWrite && run.end != RunEnd::kComplete;
  }
};

// Reads total bytes as a run from (track, c, h, r, n) on the selected disk
// into buffer, as ReadRun does, and plans the file called name. Requires
// room for total bytes in buffer.
ExtractionPlan PlanRun(D88Image* image, const char* name, int32_t track,
                       int32_t c, int32_t h, int32_t r, int32_t n,
                       uint8_t* buffer, int32_t total);

// Selects the entry's disk and plans its file, reading its run into buffer.
// Requires room for entry.length bytes in buffer.
ExtractionPlan PlanEntry(D88Image* image, const CatalogueEntry& entry,
                         uint8_t* buffer);

// Where extraction writes: the listing, and messages about what was lost.
// Each message goes out after the listing so far, so that lines stay in
// order on a shared terminal.
struct ExtractionOutput {
  TextOut* listing;
  TextOut* messages;
};

enum class ExtractResult {
  kNothing,        // the run asked for nothing
  kWritten,        // the file holds the whole run
  kWrittenPartly,  // the file is written, zero-filled where the run stopped;
                   // reported
  kUnreadable,     // reported; no file was touched
  kRefusedName,    // reported; no file was touched
  kWriteFailed,    // reported; an earlier file of the name is intact
};

// Carries out plan for the file called name, whose bytes are length bytes at
// data: writes it into the current directory and reports what was lost.
ExtractResult CarryOut(const ExtractionPlan& plan, const char* name,
                       const uint8_t* data, int32_t length,
                       const ExtractionOutput& out);

// Reads skip + length bytes as a run from (track, c, h, r, n) on the selected
// disk and writes the length bytes from skip on into a file called name in
// the current directory. Bytes the run did not read are zero. What was lost
// is reported to out.messages.
ExtractResult ExtractFile(D88Image* image, const ExtractionOutput& out,
                          const char* name, int32_t track, int32_t c, int32_t h,
                          int32_t r, int32_t n, int32_t skip, int32_t length);

// Lists every catalogue entry of the open image to out.listing and extracts
// each one whose sectors can be read. Returns false when something was lost:
// the catalogue or a file could not be read whole, a name was refused or a
// file could not be written. Requires an image with at least two disks.
bool ExtractCatalogue(D88Image* image, const ExtractionOutput& out);

}  // namespace d88

#endif  // TOOL_CATALOGUE_H_
