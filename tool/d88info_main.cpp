// d88info [--tracks] IMAGE: shows the disks of a D88 image and what the
// extraction does with each catalogue entry, and why, without writing
// anything.

#include <cstdio>
#include <cstring>

#include "d88/d88image.h"
#include "port/port.h"
#include "tool/info.h"
#include "tool/text_out.h"

namespace {

constexpr char kUsage[] =
    "Usage: d88info [--tracks] IMAGE\n"
    "Shows the disks of a D88 image and, for every catalogue entry of Disk A\n"
    "in use, what d88extract does with it: ok, partial (and why), nothing\n"
    "(and why) or refused name. --tracks also lists the records (sector IDs\n"
    "and data lengths) of every present track. Nothing is written.\n";

// The cache is large, so it lives outside any stack frame. The reader's
// destruction at exit closes the image.
d88::ReaderCache cache;
d88::D88Image image(&cache);

}  // namespace

int main(int argc, char** argv) {
  port::GetArguments(&argc, &argv);
  port::SetUpText();
  d88::TextOut out(stdout);
  d88::TextOut err(stderr);
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    out.Ascii(kUsage);
    return 0;
  }
  const bool tracks = argc == 3 && std::strcmp(argv[1], "--tracks") == 0;
  if (argc != 2 + tracks || argv[argc - 1][0] == '-') {
    err.Ascii(kUsage);
    return 1;
  }
  const char* path = argv[argc - 1];
  if (!image.Open(path)) {
    err.Ascii("d88info: cannot open ");
    err.User(path);
    err.Ascii("\n");
    return 1;
  }
  d88::WriteImageReport(&image, tracks, &out);
  return 0;
}
