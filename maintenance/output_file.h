// A file an action writes for the user (FAT data, the ARM log, a core dump, the firmware's
// command-line output), opened exactly as named, relative to the working directory, once: a link
// planted at the name, a FIFO or anything else that is not a regular file of one name is refused
// (platform/platform.h), and every byte goes through that one descriptor. Closed on every path;
// every write is checked, and so is the close.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

namespace vx {

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile() { close(); }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Opened for writing at its end, made 0600 when missing; an existing file of this user keeps its
  // content, another user's is refused untouched.
  // False (error() tells why) when it cannot be opened or is refused.
  bool open(const char* path) { return open_as(path, CallerOutput::kOwnFile); }
  // Whether the name can take a file, tried without writing: a file found there, anyone's, is left
  // as it is. For a caller that then deletes the old file and makes its own with create_new.
  bool try_name(const char* path) { return open_as(path, CallerOutput::kAnyUsers) && close(); }
  // Made here, 0600, where the caller has deleted the old file: anything found at the name (a link
  // or another user's file planted since) is refused, never written.
  bool create_new(const char* path) { return open_as(path, CallerOutput::kNewFile); }
  // Made fresh: an existing file is emptied.
  bool create(const char* path) { return open(path) && empty(); }
  // Empties the file and starts again at its beginning.
  bool empty() {
    if (fd_ < 0) return false;
    if (::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) != 0) failed();
    return ok_;
  }
  // True when every byte of this write reached the file. A failed write makes close() answer false.
  bool write(const void* data, size_t size) {
    if (fd_ < 0) return false;
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
      const ssize_t n = ::write(fd_, p, size);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        if (n == 0) errno = EIO;
        failed();
        return false;
      }
      p += n;
      size -= static_cast<size_t>(n);
    }
    return true;
  }
  // True when everything written reached the file.
  bool close() {
    if (fd_ < 0) return ok_;
    if (::close(fd_) != 0) failed();
    fd_ = -1;
    return ok_;
  }
  // Closes the file and removes `path`, when that name still leads to this very file.
  void discard(const char* path) {
    struct stat mine {};
    struct stat named {};
    const bool same = fd_ >= 0 && ::fstat(fd_, &mine) == 0 && ::lstat(path, &named) == 0 &&
                      mine.st_dev == named.st_dev && mine.st_ino == named.st_ino;
    close();
    if (same) ::unlink(path);
  }
  // The errno of the last failure, 0 when none.
  int error() const { return error_; }

 private:
  bool open_as(const char* path, CallerOutput how) {
    close();
    ok_ = true;
    error_ = 0;
    fd_ = open_caller_output(path, how);
    if (fd_ < 0 || ::lseek(fd_, 0, SEEK_END) < 0) failed();
    return ok_;
  }
  void failed() {
    error_ = errno;
    ok_ = false;
  }

  int fd_ = -1;
  bool ok_ = false;
  int error_ = 0;
};

}  // namespace vx
