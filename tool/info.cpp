#include "tool/info.h"

namespace d88 {

namespace {

// A track may hold up to 65,535 records; a listing longer than this says it
// stops rather than flood the report.
constexpr int32_t kMaxListedRecords = 256;

uint8_t catalogue_buffer[kCatalogueSize];
uint8_t entry_buffer[255 * kFileSectorSize];
uint8_t id_buffer[4 * kMaxListedRecords];
int32_t length_buffer[kMaxListedRecords];

int32_t CountPresentTracks(const D88Image& image) {
  int32_t present = 0;
  for (int32_t t = 0; t < kTrackCount; ++t) present += image.IsTrackPresent(t);
  return present;
}

// Why a run read less than it asked for.
const char* StopReason(const RunOutcome& run) {
  const bool first = run.bytes_read == 0;
  switch (run.end) {
    case RunEnd::kNoDisk:
      return "disk out of range";
    case RunEnd::kNoTrack:
      return "track absent";
    case RunEnd::kSectorMissing:
      return first ? "first sector not found" : "sector not found";
    case RunEnd::kSectorShort:
      return first ? "first sector short" : "short sector";
    case RunEnd::kEmpty:
      return "empty";
    case RunEnd::kComplete:
      break;
  }
  return "complete";
}

bool IsAllZero(const uint8_t* bytes, int32_t size) {
  for (int32_t i = 0; i < size; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

void WriteDisks(D88Image* image, TextOut* out) {
  const int32_t count = image->GetDiskCount();
  out->Format("%d disk%s\n", count, count == 1 ? "" : "s");
  if (count == 0) return;
  out->Ascii("disk  offset      size        media      tracks  name\n");
  for (int32_t disk = 0; disk < count; ++disk) {
    if (!image->SelectDisk(disk)) {
      out->Format("%4d  (header cannot be read)\n", disk);
      continue;
    }
    const int32_t media = image->GetMediaType();
    out->Format("%4d  %-10d  %-10d  0x%02x %-5s  %6d  ", disk,
                image->GetDiskOffset(), image->GetDiskSize(), media,
                MediaTypeName(media), CountPresentTracks(*image));
    out->Cp932(image->GetDiskName(), TextOut::Controls::kShownEverywhere);
    out->Ascii("\n");
  }
}

void WriteCatalogue(D88Image* image, TextOut* out) {
  if (image->GetDiskCount() < 2) {
    out->Ascii(
        "\nno catalogue: extraction needs Disk A and Disk B in one image\n");
    return;
  }
  const RunOutcome read = ReadCatalogue(image, catalogue_buffer);
  if (read.end == RunEnd::kComplete) {
    out->Ascii("\ncatalogue of Disk A\n");
  } else if (read.bytes_read == 0) {
    out->Format("\ncatalogue of Disk A: not read (%s)\n", StopReason(read));
  } else {
    out->Format("\ncatalogue of Disk A: %d of %d bytes read (%s)\n",
                read.bytes_read, kCatalogueSize, StopReason(read));
  }
  out->Ascii("entry  name       disk  trk  sec  size   verdict\n");
  int32_t in_use = 0;
  for (int32_t i = 0; i < kCatalogueEntryCount; ++i) {
    const uint8_t* bytes = CatalogueEntryBytes(catalogue_buffer, i);
    if (IsAllZero(bytes, kCatalogueEntrySize)) continue;
    ++in_use;
    CatalogueEntry entry;
    DecodeCatalogueEntry(bytes, &entry);
    const RunOutcome run = ReadEntry(image, entry, entry_buffer);
    char verdict[96];
    DescribeVerdict(entry, run, verdict, sizeof verdict);
    out->Format("%5d  ", i);
    out->PaddedName(entry.name, kCatalogueNameSize,
                    TextOut::Controls::kShownEverywhere);
    out->Format(
        "  %02x    %02x   %02x   %-5x  %s\n", static_cast<unsigned>(entry.disk),
        static_cast<unsigned>(entry.track), static_cast<unsigned>(entry.sector),
        static_cast<unsigned>(entry.length), verdict);
  }
  out->Format("%d of %d entries in use\n", in_use, kCatalogueEntryCount);
}

void WriteTracks(D88Image* image, TextOut* out) {
  for (int32_t disk = 0; disk < image->GetDiskCount(); ++disk) {
    out->Format("\ntracks of disk %d (records: C H R N data length)\n", disk);
    if (!image->SelectDisk(disk)) continue;
    for (int32_t t = 0; t < kTrackCount; ++t) {
      if (!image->IsTrackPresent(t)) continue;
      const int32_t listed =
          image->GetTrackSectorIds(t, id_buffer, sizeof id_buffer,
                                   length_buffer) /
          4;
      out->Format("%5d:", t);
      for (int32_t i = 0; i < listed; ++i) {
        const uint8_t* id = id_buffer + 4 * i;
        out->Format("  %02x %02x %02x %02x %d", id[0], id[1], id[2], id[3],
                    length_buffer[i]);
      }
      if (listed == 0) out->Ascii("  (no record can be read)");
      if (listed == kMaxListedRecords) out->Ascii("  (listing stops here)");
      out->Ascii("\n");
    }
  }
}

}  // namespace

const char* MediaTypeName(int32_t media_type) {
  switch (media_type) {
    case 0x00:
      return "2D";
    case 0x10:
      return "2DD";
    case 0x20:
      return "2HD";
    default:
      return "unknown";
  }
}

void DescribeVerdict(const CatalogueEntry& entry, const RunOutcome& run,
                     char* text, int32_t size) {
  const size_t room = static_cast<size_t>(size);
  if (run.bytes_read == 0) {
    std::snprintf(text, room, "nothing (%s)", StopReason(run));
  } else if (!IsSafeFileName(entry.name)) {
    std::snprintf(text, room, "refused name");
  } else if (run.end == RunEnd::kComplete) {
    std::snprintf(text, room, "ok");
  } else {
    std::snprintf(text, room, "partial %d/%d (%s)", run.bytes_read,
                  entry.length, StopReason(run));
  }
}

void WriteImageReport(D88Image* image, bool tracks, TextOut* out) {
  WriteDisks(image, out);
  WriteCatalogue(image, out);
  if (tracks) WriteTracks(image, out);
}

}  // namespace d88
