// SPDX-License-Identifier: MIT

// What both programs do before their work: the process set up for the host,
// and the image files opened.

#ifndef TOOL_PROGRAM_H_
#define TOOL_PROGRAM_H_

#include <cstdint>

#include "d88/d88image.h"
#include "port/port.h"

namespace d88 {

// Sets the process up, first thing in main: standard streams that were
// closed get the null device (*stdout_closed says whether standard output
// was one), the arguments come as port::GetArguments gives them, text is
// spelled for the host, and writes to an output whose reader has gone fail
// instead of ending the program.
inline void StartProgram(int* argc, char*** argv, bool* stdout_closed) {
  port::ReopenClosedStandardStreams(stdout_closed);
  port::GetArguments(argc, argv);
  port::SetUpText();
  port::KeepRunningWhenOutputCloses();
}

// Opens the count files at paths as one image, in order: disks are numbered
// across them. Calls failed(path) for each file that cannot be opened.
// Returns true when every one could be.
template <typename Failed>
bool OpenImages(D88Image* image, char* const* paths, int32_t count,
                Failed failed) {
  bool opened = true;
  for (int32_t i = 0; i < count; ++i) {
    if (i == 0 ? image->Open(paths[i]) : image->AddFile(paths[i])) continue;
    failed(paths[i]);
    opened = false;
  }
  return opened;
}

}  // namespace d88

#endif  // TOOL_PROGRAM_H_
