// Everything that differs between the hosts the tools run on: reading the
// image at 64-bit positions, creating output files, and which entry names the
// host's file system can take. One source file per host implements it.

#ifndef PORT_PORT_H_
#define PORT_PORT_H_

#include <cstdint>
#include <cstdio>

namespace port {

// Makes writes to a standard stream whose reader has gone fail as errors
// instead of ending the process, so that a listing piped into a pager or
// `head` never cuts the extraction short.
void KeepRunningWhenOutputCloses();

// Opens path, given as the bytes of the command line, for binary reading with
// the C library's own buffering off (callers cache what they read). Returns
// null when the file cannot be opened.
std::FILE* OpenForReading(const char* path);

// Reads up to size bytes starting offset bytes into file. Returns the number
// of bytes read: fewer than size only at the end of the file or on a read
// error, 0 when offset cannot be reached. Requires offset >= 0, size >= 0.
int32_t ReadAt(std::FILE* file, int64_t offset, uint8_t* dest, int32_t size);

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
