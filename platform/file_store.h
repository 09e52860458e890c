// One store for every text file the library keeps. Each change is a read-modify-write done under
// an in-process mutex and a whole-file fcntl lock (on "<file>.lock", which outlives the renames),
// written to a temporary file, fsync'd, renamed into place and made durable by a sync of the
// directory. Every write is checked; on any failure the old file is left untouched and false is
// returned.
#pragma once

#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>

namespace vx::file_store {

// Paths are host paths (already mapped through host_path).

enum class ReadResult { kRead, kMissing, kFailed };

// Reads the whole file into *out. Only a file that does not exist is kMissing; one that exists but
// cannot be opened or read is kFailed, never taken as empty.
ReadResult read(const std::string& path, std::string* out);
// True only when the file was read (kRead).
bool read_file(const std::string& path, std::string* out);

// Replaces the whole content.
bool write_file(const std::string& path, const std::string& content, mode_t mode = 0644);

// Runs `edit` on the current content (empty when the file is missing; *existed tells) under the
// locks; when it returns true the result replaces the file. False when the file exists but cannot be
// read (the file is left alone and edit is not called), when edit declines, or when a write fails.
bool update_file(const std::string& path, const std::function<bool(std::string& content, bool existed)>& edit,
                 mode_t mode = 0644);

// Appends `text` (a whole line with its newline) under the locks, on a line of its own even when the
// file's last line has no newline.
bool append(const std::string& path, const std::string& text, mode_t mode = 0644);

// Renames `path` to `to` under the locks of `path` (a file at `to` is replaced) and syncs the
// directory. False when `path` is missing or the rename fails.
bool move_aside(const std::string& path, const std::string& to);

class FileLock;

// A file locked for a span of work (a pass over its records): read once, then replaced as often as
// needed, all under the one lock taken here and released when the object goes. The store's other
// calls on the same path, made meanwhile by this process, share that lock: a second descriptor of
// the lock file, once closed, would drop it.
class HeldFile {
 public:
  explicit HeldFile(const std::string& path);
  ~HeldFile();
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

  bool locked() const;
  // As read() (also when the lock could not be had, as read() does).
  ReadResult read(std::string* out) const;
  // As write_file: a temporary file, fsync, rename, directory sync; false leaves the file as it was.
  bool replace(const std::string& content, mode_t mode = 0644) const;

 private:
  std::string path_;
  std::unique_ptr<FileLock> lock_;
};

// The calls whose failures the store must survive (a read error, a failed sync of the file or its
// directory); tests swap an entry to inject a fault. ::read and ::fsync otherwise.
struct SystemCalls {
  ssize_t (*read)(int fd, void* buf, size_t count);
  int (*fsync)(int fd);
};
SystemCalls& system_calls();

}  // namespace vx::file_store
