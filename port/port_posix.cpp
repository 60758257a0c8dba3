#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "port/port.h"

namespace port {

void KeepRunningWhenOutputCloses() { signal(SIGPIPE, SIG_IGN); }

bool RandomAccessFile::Open(const char* path) {
  Close();
  int fd = -1;
  do {
    fd = open(path, O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  // A folder opens here but holds no bytes to read: it is no image file.
  struct stat info;
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    close(fd);
    return false;
  }
  handle_ = fd;
  return true;
}

void RandomAccessFile::Close() {
  if (handle_ != kNoHandle) close(static_cast<int>(handle_));
  handle_ = kNoHandle;
}

int32_t RandomAccessFile::ReadAt(int64_t offset, uint8_t* dest,
                                 int32_t size) const {
  if (handle_ == kNoHandle) return 0;
  const int fd = static_cast<int>(handle_);
  int32_t done = 0;
  while (done < size) {
    const ssize_t got = pread(fd, dest + done, static_cast<size_t>(size - done),
                              static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<int32_t>(got);
  }
  return done;
}

bool IsHostFileName(const char*) { return true; }

namespace {

bool WriteAll(int fd, const uint8_t* data, int32_t size) {
  int32_t done = 0;
  while (done < size) {
    const ssize_t wrote =
        write(fd, data + done, static_cast<size_t>(size - done));
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    done += static_cast<int32_t>(wrote);
  }
  return true;
}

}  // namespace

bool WriteWholeFile(const char* name, const uint8_t* data, int32_t size) {
  // Longer than any entry name can be, so it never stands for an entry.
  static unsigned sequence = 0;
  char temp_name[64];
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    std::snprintf(temp_name, sizeof temp_name, ".d88extract-%ld-%u.tmp",
                  static_cast<long>(getpid()), sequence++);
    fd = open(temp_name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  const bool written = WriteAll(fd, data, size);
  const bool closed = close(fd) == 0;
  if (written && closed && std::rename(temp_name, name) == 0) return true;
  unlink(temp_name);
  return false;
}

}  // namespace port
