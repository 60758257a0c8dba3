// d88extract IMAGE: lists the catalogue of Disk A of a two-disk D88 image
// and writes every catalogued file into the current directory.

#include <cstdio>

#include "d88/d88image.h"
#include "port/port.h"
#include "tool/catalogue.h"

namespace {

// "ファイルをオープンできません." in Shift_JIS.
constexpr char kCannotOpenMessage[] =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x83\x49\x81\x5B\x83\x76\x83\x93"
    "\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1.\n";
// "Disk AとDisk Bが連結したイメージを使用してください." in Shift_JIS.
constexpr char kTwoDisksMessage[] =
    "Disk A\x82\xC6"
    "Disk B\x82\xAA\x98\x41\x8C\x8B\x82\xB5\x82\xBD\x83\x43\x83\x81\x81\x5B"
    "\x83\x57\x82\xF0\x8E\x67\x97\x70\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3"
    "\x82\xA2.\n";

// The cache is large, so it lives outside any stack frame. The reader's
// destruction at exit closes the image.
d88::ReaderCache cache;
d88::D88Image image(&cache);

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage: %s [d88file]\n",
                 argc > 0 && argv[0] != nullptr ? argv[0] : "d88extract");
    return 1;
  }
  if (!image.Open(argv[1])) {
    std::fputs(kCannotOpenMessage, stderr);
    return 1;
  }
  if (image.GetDiskCount() < 2) {
    std::fputs(kTwoDisksMessage, stderr);
    return 1;
  }
  port::KeepRunningWhenOutputCloses();
  return d88::ExtractCatalogue(&image) ? 0 : 1;
}
