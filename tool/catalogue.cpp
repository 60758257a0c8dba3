#include "tool/catalogue.h"

#include <cstring>

#include "port/port.h"
#include "tool/messages.h"

namespace d88 {

namespace {

// Room for the largest run ExtractFile is asked for, with headroom for skip.
constexpr int32_t kExtractionBufferSize = 400 * kFileSectorSize;

uint8_t catalogue_buffer[kCatalogueSize];
uint8_t extraction_buffer[kExtractionBufferSize];

void ReportFile(TextOut* messages, const char* name, const char* message) {
  // Keeps the listing line of the entry ahead of its message on a shared
  // terminal.
  std::fflush(stdout);
  messages->Cp932(name, TextOut::Controls::kShownOnTerminal);
  messages->Ascii(": ");
  messages->Cp932(message, TextOut::Controls::kKept);
  messages->Ascii("\n");
}

}  // namespace

void DecodeCatalogueEntry(const uint8_t* bytes, CatalogueEntry* entry) {
  int32_t i = 0;
  for (; i < kCatalogueNameSize && bytes[i] != ' '; ++i) {
    entry->name[i] = static_cast<char>(bytes[i]);
  }
  entry->name[i] = '\0';
  entry->track = bytes[12];
  entry->sector = bytes[13];
  entry->length = bytes[14] * kFileSectorSize;
  entry->disk = bytes[15];
}

bool SelectEntryDisk(D88Image* image, const CatalogueEntry& entry) {
  const bool selected = image->SelectDisk(entry.disk);
  image->SetSectorRange(kFirstFileSector, kLastFileSector);
  return selected;
}

void WriteListingLine(TextOut* out, const CatalogueEntry& entry) {
  out->PaddedName(entry.name, kCatalogueNameSize,
                  TextOut::Controls::kShownOnTerminal);
  out->Format(
      "  DISK:%02x TRK:%02x SEC:%02x SIZE:%02x\n",
      static_cast<unsigned>(entry.disk), static_cast<unsigned>(entry.track),
      static_cast<unsigned>(entry.sector), static_cast<unsigned>(entry.length));
}

bool IsSafeFileName(const char* name) {
  if (name[0] == '\0' || std::strcmp(name, ".") == 0 ||
      std::strcmp(name, "..") == 0 || std::strchr(name, '/') != nullptr) {
    return false;
  }
  return port::IsHostFileName(name);
}

RunOutcome ReadRun(D88Image* image, int32_t track, int32_t c, int32_t h,
                   int32_t r, int32_t n, uint8_t* buffer, int32_t total) {
  if (total <= 0) return {RunEnd::kEmpty, 0};
  // An earlier, longer entry must not show through where this run stops.
  std::memset(buffer, 0, static_cast<size_t>(total));
  RunStop stop;
  const int32_t bytes =
      image->ReadSectors(track, c, h, r, n, buffer, total, &stop);
  if (bytes == total) return {RunEnd::kComplete, bytes};
  if (stop.last_got > 0) return {RunEnd::kSectorShort, bytes};
  if (bytes == 0 && !image->IsTrackPresent(track)) {
    return {RunEnd::kNoTrack, 0};
  }
  return {RunEnd::kSectorMissing, bytes};
}

RunOutcome ReadCatalogue(D88Image* image, uint8_t* catalogue) {
  image->SelectDisk(0);
  image->SetSectorRange(kFirstFileSector, kLastFileSector);
  return ReadRun(image, kCatalogueTrack, kCatalogueTrack / 2,
                 kCatalogueTrack % 2, kFirstFileSector, kFileSizeCode,
                 catalogue, kCatalogueSize);
}

RunOutcome ReadEntry(D88Image* image, const CatalogueEntry& entry,
                     uint8_t* buffer) {
  if (!SelectEntryDisk(image, entry)) return {RunEnd::kNoDisk, 0};
  return ReadRun(image, entry.track, entry.track / 2, entry.track % 2,
                 entry.sector, kFileSizeCode, buffer, entry.length);
}

ExtractResult ExtractFile(D88Image* image, TextOut* messages, const char* name,
                          int32_t track, int32_t c, int32_t h, int32_t r,
                          int32_t n, int32_t skip, int32_t length) {
  if (skip < 0 || length < 0 ||
      static_cast<int64_t>(skip) + length > kExtractionBufferSize) {
    return ExtractResult::kNothingRead;
  }
  const RunOutcome run =
      ReadRun(image, track, c, h, r, n, extraction_buffer, skip + length);
  if (run.bytes_read == 0) return ExtractResult::kNothingRead;
  if (!IsSafeFileName(name)) {
    ReportFile(messages, name, kRefusedNameMessage);
    return ExtractResult::kRefusedName;
  }
  if (!port::WriteWholeFile(name, extraction_buffer + skip, length)) {
    ReportFile(messages, name, kWriteFailedMessage);
    return ExtractResult::kWriteFailed;
  }
  return ExtractResult::kWritten;
}

bool ExtractCatalogue(D88Image* image, TextOut* listing, TextOut* messages) {
  ReadCatalogue(image, catalogue_buffer);
  bool all_written = true;
  for (int32_t i = 0; i < kCatalogueEntryCount; ++i) {
    CatalogueEntry entry;
    DecodeCatalogueEntry(CatalogueEntryBytes(catalogue_buffer, i), &entry);
    SelectEntryDisk(image, entry);
    WriteListingLine(listing, entry);
    const ExtractResult result = ExtractFile(
        image, messages, entry.name, entry.track, entry.track / 2,
        entry.track % 2, entry.sector, kFileSizeCode, 0, entry.length);
    if (result == ExtractResult::kRefusedName ||
        result == ExtractResult::kWriteFailed) {
      all_written = false;
    }
  }
  return all_written;
}

}  // namespace d88
