// SPDX-License-Identifier: MIT

// The report of d88info: the disks of an image, what the extraction does with
// each catalogue entry and why, and optionally every track's records; as text
// for people or as one JSON document for scripts.

#ifndef TOOL_INFO_H_
#define TOOL_INFO_H_

#include <cstdint>

#include "d88/d88image.h"
#include "tool/catalogue.h"
#include "tool/text_out.h"

namespace d88 {

// What the report covers.
struct ReportRequest {
  const char* const* paths;  // the image files, in the order they were opened
  int32_t path_count;
  bool tracks;  // also every present track's records
};

// The usual meaning of a media type byte: "2D", "2DD", "2HD" or "unknown".
const char* MediaTypeName(int32_t media_type);

// Why a run read less than it asked for, e.g. "first sector not found";
// "complete" when it did not.
const char* StopReason(const RunOutcome& run);

// Writes into text (at least 64 bytes) what the extraction does with an
// entry planned as plan: "ok", "partial N/M (why)", "nothing (why)" or
// "refused name".
void DescribeVerdict(const CatalogueEntry& entry, const ExtractionPlan& plan,
                     char* text, int32_t size);

// Writes the report on the open image to out as text: the files when there
// are several, one line per disk (a run of disks that repeat one header as
// one line), then the catalogue entries in use with their verdicts; with
// request.tracks, also one line per present track listing its records.
void WriteImageReport(D88Image* image, const ReportRequest& request,
                      TextOut* out);

// Writes the same report as one JSON document; every disk is listed. The
// README gives its fields.
void WriteJsonReport(D88Image* image, const ReportRequest& request,
                     TextOut* out);

}  // namespace d88

#endif  // TOOL_INFO_H_
