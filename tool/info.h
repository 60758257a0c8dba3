// The report of d88info: the disks of an image, the verdict of the
// extraction on each catalogue entry, and optionally every track's records.

#ifndef TOOL_INFO_H_
#define TOOL_INFO_H_

#include <cstdio>

#include "d88/d88image.h"
#include "tool/catalogue.h"
#include "tool/text_out.h"

namespace d88 {

// The usual meaning of a media type byte: "2D", "2DD", "2HD" or "unknown".
const char* MediaTypeName(int32_t media_type);

// Writes into text (at least 64 bytes) what the extraction does with an
// entry whose run ended as run: "ok", "partial N/M (why)", "nothing (why)" or
// "refused name".
void DescribeVerdict(const CatalogueEntry& entry, const RunOutcome& run,
                     char* text, int32_t size);

// Writes the report on the open image to out: one line per disk, then the
// catalogue entries in use with their verdicts; with tracks, also one line
// per present track of each disk listing its records.
void WriteImageReport(D88Image* image, bool tracks, TextOut* out);

}  // namespace d88

#endif  // TOOL_INFO_H_
