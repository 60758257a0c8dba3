// SPDX-License-Identifier: MIT

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

// Writes message on a line of its own, after "NAME: " unless name is null.
void Report(const ExtractionOutput& out, const char* name,
            const char* message) {
  // Keeps the listing so far ahead of the message on a shared terminal.
  out.listing->Flush();
  if (name != nullptr) {
    out.messages->Cp932(name, TextOut::Controls::kShownOnTerminal);
    out.messages->Ascii(": ");
  }
  out.messages->Cp932(message, TextOut::Controls::kKept);
  out.messages->Ascii("\n");
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
  // Where the run stopped says why.
  switch (stop.end) {
    case LookupEnd::kFound:
      return {RunEnd::kSectorShort, bytes};
    case LookupEnd::kNoTrack:
      return {RunEnd::kNoTrack, bytes};
    case LookupEnd::kCutShort:
      return {RunEnd::kCutShort, bytes};
    case LookupEnd::kNotFound:
    case LookupEnd::kCountZero:
      break;
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

ExtractionPlan PlanRun(D88Image* image, const char* name, int32_t track,
                       int32_t c, int32_t h, int32_t r, int32_t n,
                       uint8_t* buffer, int32_t total) {
  const RunOutcome run = ReadRun(image, track, c, h, r, n, buffer, total);
  if (run.end == RunEnd::kEmpty) return {run, Action::kNone};
  if (run.bytes_read == 0) return {run, Action::kUnreadable};
  if (!IsSafeFileName(name)) return {run, Action::kRefuseName};
  return {run, Action::kWrite};
}

ExtractionPlan PlanEntry(D88Image* image, const CatalogueEntry& entry,
                         uint8_t* buffer) {
  if (!SelectEntryDisk(image, entry)) {
    if (entry.length == 0) return {{RunEnd::kEmpty, 0}, Action::kNone};
    return {{RunEnd::kNoDisk, 0}, Action::kUnreadable};
  }
  return PlanRun(image, entry.name, entry.track, entry.track / 2,
                 entry.track % 2, entry.sector, kFileSizeCode, buffer,
                 entry.length);
}

ExtractResult CarryOut(const ExtractionPlan& plan, const char* name,
                       const uint8_t* data, int32_t length,
                       const ExtractionOutput& out) {
  switch (plan.action) {
    case Action::kNone:
      return ExtractResult::kNothing;
    case Action::kUnreadable:
      Report(out, name, kUnreadableFileMessage);
      return ExtractResult::kUnreadable;
    case Action::kRefuseName:
      Report(out, name, kRefusedNameMessage);
      return ExtractResult::kRefusedName;
    case Action::kWrite:
      break;
  }
  // A refused name or a failed write says more than a partial message
  // could: no file was written.
  if (!port::WriteWholeFile(name, data, length)) {
    Report(out, name, kWriteFailedMessage);
    return ExtractResult::kWriteFailed;
  }
  if (plan.partial()) {
    Report(out, name, kPartialFileMessage);
    return ExtractResult::kWrittenPartly;
  }
  return ExtractResult::kWritten;
}

ExtractResult ExtractFile(D88Image* image, const ExtractionOutput& out,
                          const char* name, int32_t track, int32_t c, int32_t h,
                          int32_t r, int32_t n, int32_t skip, int32_t length) {
  if (skip < 0 || length < 0 ||
      static_cast<int64_t>(skip) + length > kExtractionBufferSize) {
    return ExtractResult::kNothing;
  }
  const ExtractionPlan plan =
      PlanRun(image, name, track, c, h, r, n, extraction_buffer, skip + length);
  return CarryOut(plan, name, extraction_buffer + skip, length, out);
}

bool ExtractCatalogue(D88Image* image, const ExtractionOutput& out) {
  bool whole = true;
  if (ReadCatalogue(image, catalogue_buffer).end != RunEnd::kComplete) {
    Report(out, nullptr, kUnreadableCatalogueMessage);
    whole = false;
  }
  for (int32_t i = 0; i < kCatalogueEntryCount; ++i) {
    CatalogueEntry entry;
    DecodeCatalogueEntry(CatalogueEntryBytes(catalogue_buffer, i), &entry);
    WriteListingLine(out.listing, entry);
    const ExtractionPlan plan = PlanEntry(image, entry, extraction_buffer);
    const ExtractResult result =
        CarryOut(plan, entry.name, extraction_buffer, entry.length, out);
    if (result != ExtractResult::kNothing &&
        result != ExtractResult::kWritten) {
      whole = false;
    }
  }
  return whole;
}

}  // namespace d88
