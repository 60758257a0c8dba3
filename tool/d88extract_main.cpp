// d88extract IMAGE: lists the catalogue of Disk A of a two-disk D88 image
// and writes every catalogued file into the current directory.

#include <cstdio>

#include "d88/d88image.h"
#include "port/port.h"
#include "tool/catalogue.h"
#include "tool/messages.h"
#include "tool/text_out.h"

namespace {

// The cache is large, so it lives outside any stack frame. The reader's
// destruction at exit closes the image.
d88::ReaderCache cache;
d88::D88Image image(&cache);

int Fail(d88::TextOut* err, const char* message) {
  err->Cp932(message, d88::TextOut::Controls::kKept);
  err->Ascii("\n");
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  port::GetArguments(&argc, &argv);
  port::SetUpText();
  d88::TextOut out(stdout);
  d88::TextOut err(stderr);
  if (argc != 2) {
    err.Ascii("Usage: ");
    err.User(argc > 0 && argv[0] != nullptr ? argv[0] : "d88extract");
    err.Ascii(" [d88file]\n");
    return 1;
  }
  if (!image.Open(argv[1])) return Fail(&err, d88::kCannotOpenMessage);
  if (image.GetDiskCount() < 2) return Fail(&err, d88::kTwoDisksMessage);
  port::KeepRunningWhenOutputCloses();
  return d88::ExtractCatalogue(&image, &out, &err) ? 0 : 1;
}
