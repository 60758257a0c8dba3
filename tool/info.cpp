// SPDX-License-Identifier: MIT

#include "tool/info.h"

#include "tool/json_writer.h"

namespace d88 {

namespace {

// A track may hold up to 65,535 records; a listing longer than this says it
// stops rather than flood the report. One more is asked for, to know.
constexpr int32_t kMaxListedRecords = 256;

uint8_t catalogue_buffer[kCatalogueSize];
uint8_t entry_buffer[255 * kFileSectorSize];
uint8_t id_buffer[4 * (kMaxListedRecords + 1)];
int32_t length_buffer[kMaxListedRecords + 1];

int32_t CountPresentTracks(const D88Image& image) {
  int32_t present = 0;
  for (int32_t t = 0; t < kTrackCount; ++t) present += image.IsTrackPresent(t);
  return present;
}

bool IsAllZero(const uint8_t* bytes, int32_t size) {
  for (int32_t i = 0; i < size; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

// The verdict without its numbers and reason.
const char* VerdictWord(const ExtractionPlan& plan) {
  switch (plan.action) {
    case Action::kNone:
    case Action::kUnreadable:
      return "nothing";
    case Action::kRefuseName:
      return "refused name";
    case Action::kWrite:
      break;
  }
  return plan.partial() ? "partial" : "ok";
}

bool HasReason(const ExtractionPlan& plan) {
  return plan.action == Action::kNone || plan.action == Action::kUnreadable ||
         plan.partial();
}

// Lists the records of track on the selected disk into the buffers. Returns
// how many there are, kMaxListedRecords + 1 meaning "more".
int32_t ListRecords(D88Image* image, int32_t track) {
  return image->GetTrackSectorIds(track, id_buffer, sizeof id_buffer,
                                  length_buffer) /
         4;
}

// Walks the catalogue entries in use: visit(index, entry, plan).
template <typename Visit>
void ForEachEntryInUse(D88Image* image, Visit visit) {
  for (int32_t i = 0; i < kCatalogueEntryCount; ++i) {
    const uint8_t* bytes = CatalogueEntryBytes(catalogue_buffer, i);
    if (IsAllZero(bytes, kCatalogueEntrySize)) continue;
    CatalogueEntry entry;
    DecodeCatalogueEntry(bytes, &entry);
    visit(i, entry, PlanEntry(image, entry, entry_buffer));
  }
}

// --- Text -------------------------------------------------------------------

void WriteFiles(const ReportRequest& request, TextOut* out) {
  if (request.path_count < 2) return;
  out->Ascii("file  path\n");
  for (int32_t i = 0; i < request.path_count; ++i) {
    out->Format("%4d  ", i);
    out->User(request.paths[i]);
    out->Ascii("\n");
  }
}

void WriteDisks(D88Image* image, const ReportRequest& request, TextOut* out) {
  const int32_t count = image->GetDiskCount();
  out->Format("%d disk%s", count, count == 1 ? "" : "s");
  if (request.path_count > 1) out->Format(" in %d files", request.path_count);
  out->Ascii("\n");
  WriteFiles(request, out);
  if (count == 0) return;
  out->Ascii(
      request.path_count > 1
          ? "disk  file  offset      size        media      tracks  name\n"
          : "disk  offset      size        media      tracks  name\n");
  int32_t previous_file = -1;
  int32_t previous_offset = -1;
  for (int32_t disk = 0; disk < count; ++disk) {
    if (!image->SelectDisk(disk)) {
      out->Format("%4d  (header cannot be read)\n", disk);
      previous_file = -1;
      continue;
    }
    const int32_t file = image->GetDiskFile();
    const int32_t offset = image->GetDiskOffset();
    if (file == previous_file && offset == previous_offset) {
      // A size field of 0 makes the scan read the same header again, up to
      // the last disk: one line says so.
      out->Format("%4d  to disk %d: disk %d again (its size field is 0)\n",
                  disk, count - 1, disk - 1);
      break;
    }
    previous_file = file;
    previous_offset = offset;
    const int32_t media = image->GetMediaType();
    out->Format("%4d  ", disk);
    if (request.path_count > 1) out->Format("%4d  ", file);
    out->Format("%-10d  %-10d  0x%02x %-5s  %6d  ", offset,
                image->GetDiskSize(), media, MediaTypeName(media),
                CountPresentTracks(*image));
    out->Cp932(image->GetDiskName(), TextOut::Controls::kShownEverywhere);
    out->Ascii("\n");
  }
}

void WriteCatalogue(D88Image* image, TextOut* out) {
  if (image->GetDiskCount() < 2) {
    out->Ascii("\nno catalogue: extraction needs Disk A and Disk B\n");
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
  ForEachEntryInUse(image, [&](int32_t i, const CatalogueEntry& entry,
                               const ExtractionPlan& plan) {
    ++in_use;
    char verdict[96];
    DescribeVerdict(entry, plan, verdict, sizeof verdict);
    out->Format("%5d  ", i);
    out->PaddedName(entry.name, kCatalogueNameSize,
                    TextOut::Controls::kShownEverywhere);
    out->Format(
        "  %02x    %02x   %02x   %-5x  %s\n", static_cast<unsigned>(entry.disk),
        static_cast<unsigned>(entry.track), static_cast<unsigned>(entry.sector),
        static_cast<unsigned>(entry.length), verdict);
  });
  out->Format("%d of %d entries in use\n", in_use, kCatalogueEntryCount);
}

void WriteTracks(D88Image* image, TextOut* out) {
  for (int32_t disk = 0; disk < image->GetDiskCount(); ++disk) {
    out->Format("\ntracks of disk %d (records: C H R N data length)\n", disk);
    if (!image->SelectDisk(disk)) continue;
    for (int32_t t = 0; t < kTrackCount; ++t) {
      if (!image->IsTrackPresent(t)) continue;
      const int32_t listed = ListRecords(image, t);
      out->Format("%5d:", t);
      for (int32_t i = 0; i < listed && i < kMaxListedRecords; ++i) {
        const uint8_t* id = id_buffer + 4 * i;
        out->Format("  %02x %02x %02x %02x %d", id[0], id[1], id[2], id[3],
                    length_buffer[i]);
      }
      if (listed == 0) out->Ascii("  (no record can be read)");
      if (listed > kMaxListedRecords) out->Ascii("  (listing stops here)");
      out->Ascii("\n");
    }
  }
}

// --- JSON -------------------------------------------------------------------

void WriteJsonRecords(D88Image* image, JsonWriter* json) {
  json->Key("records");
  json->BeginArray();
  for (int32_t t = 0; t < kTrackCount; ++t) {
    if (!image->IsTrackPresent(t)) continue;
    const int32_t listed = ListRecords(image, t);
    json->BeginObject();
    json->Key("track");
    json->Int(t);
    json->Key("ids");
    json->BeginArray();
    for (int32_t i = 0; i < listed && i < kMaxListedRecords; ++i) {
      const uint8_t* id = id_buffer + 4 * i;
      json->BeginObject();
      const char* fields[] = {"c", "h", "r", "n"};
      for (int32_t k = 0; k < 4; ++k) {
        json->Key(fields[k]);
        json->Int(id[k]);
      }
      json->Key("length");
      json->Int(length_buffer[i]);
      json->EndObject();
    }
    json->EndArray();
    json->Key("more");
    json->Bool(listed > kMaxListedRecords);
    json->EndObject();
  }
  json->EndArray();
}

void WriteJsonDisks(D88Image* image, const ReportRequest& request,
                    JsonWriter* json) {
  json->Key("disks");
  json->BeginArray();
  for (int32_t disk = 0; disk < image->GetDiskCount(); ++disk) {
    json->BeginObject();
    json->Key("index");
    json->Int(disk);
    const bool readable = image->SelectDisk(disk);
    json->Key("readable");
    json->Bool(readable);
    if (readable) {
      const int32_t file = image->GetDiskFile();
      json->Key("file");
      json->Int(file);
      json->Key("path");
      json->String(file < request.path_count ? request.paths[file] : "");
      json->Key("offset");
      json->Int(image->GetDiskOffset());
      json->Key("size");
      json->Int(image->GetDiskSize());
      json->Key("media_type");
      json->Int(image->GetMediaType());
      json->Key("media");
      json->String(MediaTypeName(image->GetMediaType()));
      json->Key("name");
      json->Cp932String(image->GetDiskName());
      json->Key("name_hex");
      json->HexString(image->GetDiskName());
      json->Key("tracks");
      json->BeginArray();
      for (int32_t t = 0; t < kTrackCount; ++t) {
        if (image->IsTrackPresent(t)) json->Int(t);
      }
      json->EndArray();
      if (request.tracks) WriteJsonRecords(image, json);
    }
    json->EndObject();
  }
  json->EndArray();
}

void WriteJsonCatalogue(D88Image* image, JsonWriter* json) {
  json->Key("catalogue");
  if (image->GetDiskCount() < 2) {
    json->Null();
    json->Key("entries");
    json->BeginArray();
    json->EndArray();
    return;
  }
  const RunOutcome read = ReadCatalogue(image, catalogue_buffer);
  json->BeginObject();
  json->Key("complete");
  json->Bool(read.end == RunEnd::kComplete);
  json->Key("bytes_read");
  json->Int(read.bytes_read);
  json->Key("reason");
  if (read.end == RunEnd::kComplete) {
    json->Null();
  } else {
    json->String(StopReason(read));
  }
  json->EndObject();
  json->Key("entries");
  json->BeginArray();
  ForEachEntryInUse(image, [&](int32_t i, const CatalogueEntry& entry,
                               const ExtractionPlan& plan) {
    json->BeginObject();
    json->Key("index");
    json->Int(i);
    json->Key("name");
    json->Cp932String(entry.name);
    json->Key("name_hex");
    json->HexString(entry.name);
    json->Key("disk");
    json->Int(entry.disk);
    json->Key("track");
    json->Int(entry.track);
    json->Key("sector");
    json->Int(entry.sector);
    json->Key("size");
    json->Int(entry.length);
    json->Key("verdict");
    json->String(VerdictWord(plan));
    json->Key("bytes_read");
    json->Int(plan.run.bytes_read);
    json->Key("reason");
    if (HasReason(plan)) {
      json->String(StopReason(plan.run));
    } else {
      json->Null();
    }
    json->EndObject();
  });
  json->EndArray();
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

const char* StopReason(const RunOutcome& run) {
  const bool first = run.bytes_read == 0;
  switch (run.end) {
    case RunEnd::kNoDisk:
      return "disk out of range";
    case RunEnd::kNoTrack:
      return "track absent";
    case RunEnd::kSectorMissing:
      return first ? "first sector not found" : "sector not found";
    case RunEnd::kCutShort:
      return first ? "first sector cut short by the end of the file"
                   : "sector cut short by the end of the file";
    case RunEnd::kSectorShort:
      return first ? "first sector short" : "short sector";
    case RunEnd::kEmpty:
      return "empty";
    case RunEnd::kComplete:
      break;
  }
  return "complete";
}

void DescribeVerdict(const CatalogueEntry& entry, const ExtractionPlan& plan,
                     char* text, int32_t size) {
  const size_t room = static_cast<size_t>(size);
  const char* word = VerdictWord(plan);
  if (plan.partial()) {
    std::snprintf(text, room, "%s %d/%d (%s)", word, plan.run.bytes_read,
                  entry.length, StopReason(plan.run));
  } else if (HasReason(plan)) {
    std::snprintf(text, room, "%s (%s)", word, StopReason(plan.run));
  } else {
    std::snprintf(text, room, "%s", word);
  }
}

void WriteImageReport(D88Image* image, const ReportRequest& request,
                      TextOut* out) {
  WriteDisks(image, request, out);
  WriteCatalogue(image, out);
  if (request.tracks) WriteTracks(image, out);
}

void WriteJsonReport(D88Image* image, const ReportRequest& request,
                     TextOut* out) {
  JsonWriter json(out);
  json.BeginObject();
  json.Key("files");
  json.BeginArray();
  for (int32_t i = 0; i < request.path_count; ++i)
    json.String(request.paths[i]);
  json.EndArray();
  json.Key("disk_count");
  json.Int(image->GetDiskCount());
  WriteJsonDisks(image, request, &json);
  WriteJsonCatalogue(image, &json);
  json.EndObject();
  json.End();
}

}  // namespace d88
