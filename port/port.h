// Everything that differs between the hosts the tools run on: reading the
// image at 64-bit positions, creating output files, and which entry names the
// host's file system can take. One source file per host implements it.

#ifndef PORT_PORT_H_
#define PORT_PORT_H_

#include <cstdint>

namespace port {

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

  // Closes any earlier file, then opens path, given as the program received
  // it. Returns false, with no file open, when the file cannot be opened or
  // is a folder.
  bool Open(const char* path);

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

// True when name, which already passed the rules every host shares (not
// empty, not "." or "..", no '/'), is also a plain file name on this host.
bool IsHostFileName(const char* name);

// Writes size bytes from data into a file called name in the current
// directory, replacing any file of that name only once every byte is written
// and the file is closed. Returns false when the file could not be created,
// written, closed or put in place; then a file already called name is left as
// it was and no temporary file remains. Requires IsHostFileName(name).
bool WriteWholeFile(const char* name, const uint8_t* data, int32_t size);

}  // namespace port

#endif  // PORT_PORT_H_
