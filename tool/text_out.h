// SPDX-License-Identifier: MIT

// Text for one standard stream, each piece spelled for the host: the tools'
// own ASCII text as it is; code page 932 text (entry and disk names, the
// Japanese messages) converted where the host has an encoding of its own and
// as its bytes elsewhere; the user's own text (paths) as the user gave it.
// port/port.h says what each host does.

#ifndef TOOL_TEXT_OUT_H_
#define TOOL_TEXT_OUT_H_

#include <cerrno>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "port/port.h"

namespace d88 {

class TextOut {
 public:
  // Where a name's control characters (0x01 to 0x1F, 0x7F) are shown as '?'.
  enum class Controls {
    kKept,             // nowhere: messages that hold none
    kShownOnTerminal,  // on a terminal only, as `ls` does: listings
    kShownEverywhere,  // wherever the text goes: reports for people
  };

  // Requires port::SetUpText to have run.
  explicit TextOut(std::FILE* stream);

  std::FILE* stream() const { return stream_; }

  // True while every write has succeeded.
  bool ok() const { return error_ == 0; }

  // The errno of the first write that failed; 0 while none has.
  int error() const { return error_; }

  // Hands what the stream buffers to the system, so that a write that fails
  // only then counts too. Returns ok().
  bool Flush();

  void Ascii(const char* text);

  // printf-style ASCII text; at most 1,023 bytes of it.
  void Format(const char* format, ...);

  // Code page 932 text of size bytes, or up to its terminating zero.
  void Cp932(const char* text, size_t size, Controls controls);
  void Cp932(const char* text, Controls controls);

  // The name, then spaces up to width columns: a double-byte character takes
  // two, as on a terminal, so columns line up in every spelling.
  void PaddedName(const char* name, int32_t width, Controls controls);

  // Text that is the user's own, as port::GetArguments gives it.
  void User(const char* text);

  // UTF-8 text, written as UTF-8 whatever the locale.
  void Utf8(const char* text, size_t size);

 private:
  void Track(bool ok);

  std::FILE* stream_;
  port::TextStream kind_;
  int error_;
};

// Hands out, the program's standard output, to the system and, if not all of
// it could be written, says so on err ("PROGRAM: cannot write standard
// output: REASON"). A reader that has gone early (a broken pipe) is no
// fault. was_closed says that standard output was closed when the program
// started. Returns true when the output was written or its reader has gone.
bool FinishStandardOutput(TextOut* out, TextOut* err, const char* program,
                          bool was_closed);

}  // namespace d88

#endif  // TOOL_TEXT_OUT_H_
