// SPDX-License-Identifier: MIT

// d88info [--tracks] [--json] IMAGE...: shows the disks of a D88 image and
// what the extraction does with each catalogue entry, and why, without
// writing anything.

#include <cstdio>

#include "d88/d88image.h"
#include "port/port.h"
#include "tool/command_line.h"
#include "tool/info.h"
#include "tool/program.h"
#include "tool/text_out.h"

namespace {

constexpr char kUsage[] =
    "Usage: d88info [--tracks] [--json] IMAGE...\n"
    "Try 'd88info --help' for more.\n";

constexpr char kHelp[] =
    "Usage: d88info [--tracks] [--json] IMAGE...\n"
    "Shows the disks of a D88 image and, for every catalogue entry of Disk A\n"
    "in use, what d88extract does with it: ok, partial (and why), nothing\n"
    "(and why) or refused name. Nothing is written. The image is one file\n"
    "holding Disk A and Disk B, or one file per disk in order, Disk A first;\n"
    "\"-\" reads standard input.\n"
    "\n"
    "Options:\n"
    "      --tracks   also list the records (sector IDs and data lengths) of\n"
    "                 every present track\n"
    "      --json     write the report as one JSON document (UTF-8)\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the version and exit\n"
    "\n"
    "Exit status:\n"
    "  0  the report was written\n"
    "  1  wrong usage, or an image that cannot be opened\n"
    "  2  the report could not be written\n"
    "\n"
    "Example:\n"
    "  d88info --json A.d88 B.d88 | python3 -m json.tool\n";

enum Option { kHelpOption = 1, kVersionOption, kTracksOption, kJsonOption };
constexpr d88::OptionSpec kOptions[] = {
    {kHelpOption, "help", 'h', false},
    {kVersionOption, "version", '\0', false},
    {kTracksOption, "tracks", '\0', false},
    {kJsonOption, "json", '\0', false},
};

// The cache is large, so it lives outside any stack frame.
d88::ReaderCache cache;
d88::D88Image image(&cache);

}  // namespace

int main(int argc, char** argv) {
  bool stdout_closed = false;
  d88::StartProgram(&argc, &argv, &stdout_closed);
  d88::TextOut out(stdout);
  d88::TextOut err(stderr);

  d88::CommandLine line(argc, argv, kOptions, 4);
  bool tracks = false;
  bool json = false;
  for (;;) {
    const char* value = nullptr;
    const int option = line.Next(&value);
    if (option == d88::CommandLine::kEnd) break;
    if (option == kHelpOption || option == kVersionOption) {
      out.Ascii(option == kHelpOption ? kHelp : "d88info " D88_VERSION "\n");
      return d88::FinishStandardOutput(&out, &err, "d88info", stdout_closed)
                 ? 0
                 : 2;
    }
    if (option == kTracksOption) {
      tracks = true;
    } else if (option == kJsonOption) {
      json = true;
    } else {
      err.Ascii(kUsage);
      return 1;
    }
  }
  const int images = line.operand_count();
  if (images == 0) {
    err.Ascii(kUsage);
    return 1;
  }
  const bool opened =
      d88::OpenImages(&image, line.operands(), images, [&](const char* path) {
        err.Ascii("d88info: cannot open ");
        err.User(path);
        err.Ascii(": ");
        err.User(port::LastErrorText());
        err.Ascii("\n");
      });
  if (!opened) return 1;
  const d88::ReportRequest request = {line.operands(), images, tracks};
  if (json) {
    d88::WriteJsonReport(&image, request, &out);
  } else {
    d88::WriteImageReport(&image, request, &out);
  }
  return d88::FinishStandardOutput(&out, &err, "d88info", stdout_closed) ? 0
                                                                         : 2;
}
