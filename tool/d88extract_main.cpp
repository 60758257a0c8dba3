// SPDX-License-Identifier: MIT

// d88extract [-C DIR] IMAGE...: lists the catalogue of Disk A of a two-disk
// D88 image and writes every catalogued file into the current directory.

#include <cstdio>

#include "d88/d88image.h"
#include "port/port.h"
#include "tool/catalogue.h"
#include "tool/command_line.h"
#include "tool/messages.h"
#include "tool/program.h"
#include "tool/text_out.h"

namespace {

constexpr char kHelp[] =
    "Usage: d88extract [OPTION]... IMAGE...\n"
    "Lists the file catalogue on Disk A of a two-disk D88 floppy image, one\n"
    "line per entry, and writes every catalogued file into the current\n"
    "folder. The image is one file holding Disk A and Disk B, or one file per\n"
    "disk in order, Disk A first; \"-\" reads standard input.\n"
    "\n"
    "Options:\n"
    "  -C, --directory=DIR  write the files into DIR instead\n"
    "  -h, --help           show this help and exit\n"
    "      --version        show the version and exit\n"
    "\n"
    "Exit status:\n"
    "  0  every entry with a size was extracted whole, and the listing was\n"
    "     written\n"
    "  1  the run could not start: wrong usage, an image that cannot be\n"
    "     opened, fewer than two disks, or a folder (-C) that cannot be\n"
    "     entered\n"
    "  2  the run went through but something was lost: the catalogue or a\n"
    "     file could not be read whole, a name was refused, a file could not\n"
    "     be written, or the listing could not be written\n"
    "\n"
    "Example:\n"
    "  d88extract -C files A.d88 B.d88\n";

enum Option { kHelpOption = 1, kVersionOption, kDirectoryOption };
constexpr d88::OptionSpec kOptions[] = {
    {kHelpOption, "help", 'h', false},
    {kVersionOption, "version", '\0', false},
    {kDirectoryOption, "directory", 'C', true},
};

// The cache is large, so it lives outside any stack frame. The reader's
// destruction at exit closes the images.
d88::ReaderCache cache;
d88::D88Image image(&cache);

int Fail(d88::TextOut* err, const char* message) {
  err->Cp932(message, d88::TextOut::Controls::kKept);
  err->Ascii("\n");
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  bool stdout_closed = false;
  d88::StartProgram(&argc, &argv, &stdout_closed);
  d88::TextOut out(stdout);
  d88::TextOut err(stderr);
  const char* program = argc > 0 && argv[0] != nullptr ? argv[0] : "d88extract";

  d88::CommandLine line(argc, argv, kOptions, 3);
  const char* folder = nullptr;
  bool wrong_usage = false;
  for (;;) {
    const char* value = nullptr;
    const int option = line.Next(&value);
    if (option == d88::CommandLine::kEnd) break;
    if (option == kHelpOption || option == kVersionOption) {
      out.Ascii(option == kHelpOption ? kHelp : "d88extract " D88_VERSION "\n");
      return d88::FinishStandardOutput(&out, &err, "d88extract", stdout_closed)
                 ? 0
                 : 2;
    }
    if (option == kDirectoryOption) {
      folder = value;  // the last one given wins
      continue;
    }
    wrong_usage = true;  // an unknown option, or -C without its folder
    break;
  }
  const int images = line.operand_count();
  if (wrong_usage || images == 0) {
    err.Ascii("Usage: ");
    err.User(program);
    err.Ascii(" [d88file]\n");
    return 1;
  }
  const bool opened =
      d88::OpenImages(&image, line.operands(), images, [&](const char* path) {
        // With several images, the message says which one.
        if (images > 1) {
          err.User(path);
          err.Ascii(": ");
        }
        Fail(&err, d88::kCannotOpenMessage);
      });
  if (!opened) return 1;
  if (image.GetDiskCount() < 2) return Fail(&err, d88::kTwoDisksMessage);
  if (folder != nullptr && !port::ChangeFolder(folder)) {
    err.Ascii("d88extract: cannot extract into ");
    err.User(folder);
    err.Ascii(": ");
    err.User(port::LastErrorText());
    err.Ascii("\n");
    return 1;
  }
  const bool whole = d88::ExtractCatalogue(&image, {&out, &err});
  const bool listed =
      d88::FinishStandardOutput(&out, &err, "d88extract", stdout_closed);
  return whole && listed ? 0 : 2;
}
