// SPDX-License-Identifier: MIT

// Everything that differs between the hosts the tools run on: the command
// line, reading the image at 64-bit positions, creating output files, which
// entry names the host's file system can take, and how text is spelled on the
// host. One source file per host implements it.
//
// Text of the image (entry and disk names) and the tools' Japanese messages
// are code page 932: Shift_JIS with the Windows extensions. Where the host
// has an encoding of its own (a POSIX locale whose code set is not ASCII, a
// Windows console), that text is converted for it; elsewhere (the C locale,
// output to a file or pipe on Windows) it goes out as its bytes.

#ifndef PORT_PORT_H_
#define PORT_PORT_H_

#include <cstdint>
#include <cstdio>

namespace port {

// Puts the program's arguments in *argc and *argv as the rest of the program
// takes them: the bytes of the command line on POSIX, UTF-8 on Windows
// (whose command line is UTF-16, whatever the system's code page). Paths in
// that form are what RandomAccessFile::Open takes and WriteUserText writes.
void GetArguments(int* argc, char*** argv);

// Reads the host's text settings: the character type of the environment's
// locale on POSIX, which standard streams are consoles on Windows. Call it
// once, before any text is written.
void SetUpText();

// How text written to stdout or stderr reaches the user.
struct TextStream {
  bool converts;  // code page 932 text is converted for the host
  bool terminal;  // a terminal or console, where names' control characters
                  // are shown as '?'
};
TextStream GetTextStream(std::FILE* stream);

// Decodes the code page 932 character at text[0] (of size bytes): sets
// *code_point and returns the bytes it takes, 1 or 2. A byte that does not
// decode (a lone lead byte, a pair the code page does not define, and the
// single bytes 0x80, 0xA0 and 0xFD to 0xFF) gives U+FFFD and takes 1 byte.
// Works in every locale, before SetUpText too. Requires size >= 1.
int32_t DecodeCp932(const uint8_t* text, int32_t size, uint32_t* code_point);

// Writes count code points to stream, spelled in the host's encoding: the
// locale's code set (POSIX) or UTF-16 to a console (Windows); a character the
// encoding cannot write becomes '?'. Returns false when the write fails.
// Requires GetTextStream(stream).converts.
bool WriteCodePoints(std::FILE* stream, const uint32_t* code_points,
                     int32_t count);

// Writes text that is the user's own (a path or the program's name, as
// GetArguments gives them) as it is: its bytes on POSIX; on Windows UTF-16 to
// a console, and code page 932, with '?' for what it cannot spell, to a file
// or pipe. Returns false when the write fails.
bool WriteUserText(std::FILE* stream, const char* text);

// Writes UTF-8 text as UTF-8 whatever the locale; on a Windows console, as the
// same characters in UTF-16. Returns false when the write fails.
bool WriteUtf8(std::FILE* stream, const char* text, size_t size);

// Opens the null device onto any of standard input, output and error that
// is closed when the program starts, so that no file the program opens takes
// its place. Sets *stdout_closed when standard output was closed. Call it
// first thing in main.
void ReopenClosedStandardStreams(bool* stdout_closed);

// The host's words for why the last failed call of this layer failed (an
// open, a copy, a change of folder), e.g. "No such file or directory", in
// the form WriteUserText writes.
const char* LastErrorText();

// Makes path the current folder. Returns false when it cannot; LastErrorText
// then says why.
bool ChangeFolder(const char* path);

// True when error, the errno of a failed write to a standard stream, means
// that the stream's reader has gone (a broken pipe), which is no fault.
bool IsReaderGone(int error);

// Makes writes to a standard stream whose reader has gone fail as errors
// instead of ending the process, so that a listing piped into a pager or
// `head` never cuts the extraction short.
void KeepRunningWhenOutputCloses();

// A file opened for reading at absolute positions: nothing depends on where
// an earlier read left off. Closed on destruction.
class RandomAccessFile {
 public:
  RandomAccessFile() = default;
  ~RandomAccessFile() { Close(); }
  RandomAccessFile(const RandomAccessFile&) = delete;
  RandomAccessFile& operator=(const RandomAccessFile&) = delete;

  // Closes any earlier file, then opens path, in the form GetArguments
  // gives; "-" is standard input. Input that cannot be read at a position (a
  // pipe, a FIFO) is first copied, at most copy_limit bytes of it, into a
  // temporary file that is gone once closed. Returns false, with no file
  // open, when the file cannot be opened, is a folder, or cannot be copied;
  // LastErrorText then says why.
  bool Open(const char* path, int64_t copy_limit);

  void Close();

  bool IsOpen() const { return handle_ != kNoHandle; }

  // Reads up to size bytes starting offset bytes into the file. Returns the
  // number of bytes read: fewer than size only at the end of the file or on
  // a read error; 0 with no file open. Requires offset >= 0, size >= 0.
  int32_t ReadAt(int64_t offset, uint8_t* dest, int32_t size) const;

 private:
  // A descriptor on POSIX, a HANDLE on Windows; -1 is neither.
  static constexpr intptr_t kNoHandle = -1;
  intptr_t handle_ = kNoHandle;
};

// True when the entry name (code page 932, at most 9 bytes), which already
// passed the rules every host shares (not empty, not "." or "..", no '/'),
// is also a plain file name on this host, once spelled for it: on POSIX,
// unchanged in the C locale, and otherwise decodable and writable in the
// locale's code set; on Windows, decodable and not a name Windows keeps for
// itself or changes.
bool IsHostFileName(const char* name);

// Writes size bytes from data into a file in the current directory named by
// the entry name spelled for the host, replacing any file of that name only
// once every byte is written and the file is closed. Returns false when the
// file could not be created, written, closed or put in place; then a file
// already of that name is left as it was and no temporary file remains.
// Requires IsHostFileName(name).
bool WriteWholeFile(const char* name, const uint8_t* data, int32_t size);

}  // namespace port

#endif  // PORT_PORT_H_
