#include "platform/file_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>

namespace vx::file_store {

SystemCalls& system_calls() {
  static SystemCalls calls{::read, ::fsync, ::stat, ::fstat, ::clock_gettime, ::getpid};
  return calls;
}

namespace {

std::recursive_mutex& store_mutex() {
  static std::recursive_mutex m;
  return m;
}

// The lock files this process holds, by path, with their descriptor and the number of holders.
std::map<std::string, std::pair<int, int>>& held_locks() {
  static std::map<std::string, std::pair<int, int>> locks;
  return locks;
}

bool write_all(int fd, const std::string& content) {
  size_t done = 0;
  while (done < content.size()) {
    ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// After a rename the new directory entry is durable only once the directory itself is synced.
bool sync_parent_dir(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = system_calls().fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  return ok;
}

bool replace_unlocked(const std::string& path, const std::string& content, mode_t mode) {
  std::string tmp = path + ".tmp";
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  if (fd < 0) return false;
  bool ok = write_all(fd, content) && ::fchmod(fd, mode) == 0 && system_calls().fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(tmp.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(tmp.c_str());
    return false;
  }
  return sync_parent_dir(path);
}

// Reads the file open as `fd` from where it stands to its end; `expected` (its size, when known)
// saves growing the buffer step by step.
bool read_rest(int fd, std::string* out, size_t expected = 0) {
  std::string data(expected + 1, '\0');
  size_t have = 0;
  for (;;) {
    if (have == data.size()) data.resize(data.size() < 4096 ? 4096 : 2 * data.size());
    ssize_t n = system_calls().read(fd, &data[have], data.size() - have);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) break;
    have += static_cast<size_t>(n);
  }
  data.resize(have);
  *out = std::move(data);
  return true;
}

int64_t nanoseconds(const struct timespec& t) { return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec; }

}  // namespace

ReadResult read_unlocked(const std::string& path, std::string* out, struct stat* seen) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? ReadResult::kMissing : ReadResult::kFailed;
  struct stat st {};
  if (seen == nullptr) seen = &st;
  const bool read = system_calls().fstat(fd, seen) == 0 && read_rest(fd, out, static_cast<size_t>(seen->st_size));
  ::close(fd);
  return read ? ReadResult::kRead : ReadResult::kFailed;
}

void FileVersion::forget() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void FileVersion::take(int fd, const struct stat& st) {
  forget();
  fd_ = fd;
  device_ = st.st_dev;
  inode_ = st.st_ino;
  size_ = st.st_size;
  modified_ = nanoseconds(st.st_mtim);
  changed_ = nanoseconds(st.st_ctim);
  struct timespec now {};
  system_calls().clock_gettime(CLOCK_REALTIME, &now);
  settled_ = nanoseconds(now) - std::max(modified_, changed_) >= kSettleSeconds * 1000000000;
}

bool swap_unlocked(const std::string& path, const std::string& content, mode_t mode,
                   const std::function<bool(int fd)>& finish) {
  const std::string tmp = path + ".tmp";
  // Written in place and cut to length, never truncated to zero first: a file cut to zero has its
  // data flushed at close by some file systems.
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, mode);
  if (fd < 0) return false;
  bool ok = write_all(fd, content) && ::ftruncate(fd, static_cast<off_t>(content.size())) == 0 &&
            ::fchmod(fd, mode) == 0 && finish(fd);
  ok = (::close(fd) == 0) && ok;
  if (!ok) return false;
  if (::renameat2(AT_FDCWD, tmp.c_str(), AT_FDCWD, path.c_str(), RENAME_EXCHANGE) == 0) return true;
  return ::rename(tmp.c_str(), path.c_str()) == 0;
}

namespace {

// Opens (or makes) the lock file at `lock_path` as a lock file must be; -1 with *failure and *error set.
int open_lock_file(const std::string& lock_path, bool create, LockFailure* failure, int* error) {
  const int fd = ::open(lock_path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (create ? O_CREAT : 0),
                        kLockFileMode);
  if (fd < 0) {
    *error = errno;
    // A link at the name, a directory, or a file this user may not open.
    const bool planted = errno == ELOOP || errno == EISDIR || errno == EACCES || errno == ENXIO;
    *failure = planted ? LockFailure::kRefused : LockFailure::kUnopened;
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
      ((st.st_mode & 07777) != kLockFileMode && ::fchmod(fd, kLockFileMode) != 0)) {
    *error = errno;
    *failure = LockFailure::kRefused;
    ::close(fd);
    return -1;
  }
  return fd;
}

// Takes the write lock on `fd`, waiting at most `wait_ms` (kWaitForever: as long as it takes).
bool take_lock(int fd, int wait_ms, LockFailure* failure, int* error) {
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  if (wait_ms == FileLock::kWaitForever) {
    while (::fcntl(fd, F_SETLKW, &fl) != 0) {
      if (errno != EINTR) {
        *error = errno;
        *failure = LockFailure::kUnopened;
        return false;
      }
    }
    return true;
  }
  // No timed variant of the wait: polled, at a pace that grows to a fiftieth of a second.
  struct timespec now {};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  const int64_t deadline = nanoseconds(now) + static_cast<int64_t>(wait_ms) * 1000000;
  long pause = 500 * 1000;
  while (::fcntl(fd, F_SETLK, &fl) != 0) {
    if (errno != EAGAIN && errno != EACCES && errno != EINTR) {
      *error = errno;
      *failure = LockFailure::kUnopened;
      return false;
    }
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    if (nanoseconds(now) >= deadline) {
      *failure = LockFailure::kBusy;
      return false;
    }
    const timespec step{0, pause};
    ::nanosleep(&step, nullptr);
    pause = pause * 2 > 20 * 1000 * 1000 ? 20 * 1000 * 1000 : pause * 2;
  }
  return true;
}

}  // namespace

FileLock::FileLock(const std::string& path, int wait_ms) : guard_(store_mutex()), lock_path_(path + ".lock") {
  auto held = held_locks().find(lock_path_);
  if (held != held_locks().end()) {
    ++held->second.second;
    fd_ = held->second.first;
    return;
  }
  const int fd = open_lock_file(lock_path_, true, &failure_, &error_);
  if (fd < 0) return;
  if (!take_lock(fd, wait_ms, &failure_, &error_)) {
    ::close(fd);
    return;
  }
  fd_ = fd;
  held_locks()[lock_path_] = {fd_, 1};
}

FileLock::~FileLock() {
  if (fd_ < 0) return;
  auto held = held_locks().find(lock_path_);
  if (--held->second.second > 0) return;
  held_locks().erase(held);
  ::close(fd_);   // closing drops the fcntl lock
}

LockFailure lock_problem(const std::string& path, int* error) {
  const std::lock_guard<std::recursive_mutex> guard(store_mutex());
  const std::string lock_path = path + ".lock";
  // Closing a descriptor of a lock file this process holds would let the lock go.
  if (held_locks().count(lock_path) != 0) return LockFailure::kNone;
  LockFailure failure = LockFailure::kNone;
  int ignored = 0;
  const int fd = open_lock_file(lock_path, false, &failure, error != nullptr ? error : &ignored);
  if (fd >= 0) {
    ::close(fd);
    return LockFailure::kNone;
  }
  return failure == LockFailure::kUnopened && (error != nullptr ? *error : ignored) == ENOENT ? LockFailure::kNone
                                                                                              : failure;
}

ReadResult read(const std::string& path, std::string* out) {
  if (out == nullptr) return ReadResult::kFailed;
  FileLock lock(path);
  return read_unlocked(path, out, nullptr);
}

bool read_file(const std::string& path, std::string* out) { return read(path, out) == ReadResult::kRead; }

bool write_file(const std::string& path, const std::string& content, mode_t mode) {
  FileLock lock(path);
  if (!lock.held()) return false;
  return replace_unlocked(path, content, mode);
}

bool update_file(const std::string& path, const std::function<bool(std::string&, bool)>& edit, mode_t mode) {
  FileLock lock(path);
  if (!lock.held()) return false;
  std::string content;
  const ReadResult got = read_unlocked(path, &content, nullptr);
  if (got == ReadResult::kFailed) return false;
  const bool existed = got == ReadResult::kRead;
  if (!existed) content.clear();
  if (!edit(content, existed)) return false;
  return replace_unlocked(path, content, mode);
}

bool append(const std::string& path, const std::string& text, mode_t mode) {
  return update_file(path, [&](std::string& content, bool) {
    // A last line that lost its newline (an edit by hand) must not swallow the new one.
    if (!content.empty() && content.back() != '\n') content += '\n';
    content += text;
    return true;
  }, mode);
}

HeldFile::HeldFile(const std::string& path) : path_(path), lock_(path) {}

ReadResult HeldFile::read(std::string* out, FileVersion* version) const {
  if (version != nullptr) version->forget();
  if (out == nullptr) return ReadResult::kFailed;
  if (version == nullptr || !locked()) return read_unlocked(path_, out);
  int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? ReadResult::kMissing : ReadResult::kFailed;
  struct stat st {};
  if (system_calls().fstat(fd, &st) != 0 || !read_rest(fd, out, static_cast<size_t>(st.st_size))) {
    ::close(fd);
    return ReadResult::kFailed;
  }
  version->take(fd, st);
  return ReadResult::kRead;
}

bool HeldFile::unchanged(const FileVersion& version) const {
  struct stat st {};
  return locked() && version.known() && version.settled_ && system_calls().stat(path_.c_str(), &st) == 0 &&
         st.st_dev == version.device_ && st.st_ino == version.inode_ && st.st_size == version.size_ &&
         nanoseconds(st.st_mtim) == version.modified_ && nanoseconds(st.st_ctim) == version.changed_;
}

bool HeldFile::replace(const std::string& content, mode_t mode, FileVersion* version) const {
  if (version != nullptr) version->forget();
  if (!locked() || !replace_unlocked(path_, content, mode)) return false;
  if (version == nullptr) return true;
  // The file just written, under the lock still: nobody else's.
  int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (fd >= 0 && system_calls().fstat(fd, &st) == 0 && st.st_size == static_cast<off_t>(content.size())) {
    version->take(fd, st);
  } else if (fd >= 0) {
    ::close(fd);
  }
  return true;
}

// ---- live files ------------------------------------------------------------------------------------

namespace {

constexpr mode_t kLiveDirMode = 0700;
constexpr int kLiveNameAttempts = 100;

// The directory of live files, opened without following a link at its name and set back to 0700
// when it is wider; -1 (errno and *failure set) when it is missing (and not `make`; kUnopened with
// ENOENT), is not a directory of this user (kRefused), or cannot be opened.
int open_live_dir(const std::string& dir, bool make, LockFailure* failure) {
  *failure = LockFailure::kUnopened;
  constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  int fd = ::open(dir.c_str(), kFlags);
  // Made only when it is missing, which is once: every claim passes here.
  if (fd < 0 && errno == ENOENT && make) {
    if (::mkdir(dir.c_str(), kLiveDirMode) != 0 && errno != EEXIST) return -1;
    fd = ::open(dir.c_str(), kFlags);
  }
  if (fd < 0) {
    const int error = errno;
    // A link at the name, something that is not a directory, or another user's directory.
    struct stat st {};
    if (error == ELOOP || error == ENOTDIR ||
        (error == EACCES && ::lstat(dir.c_str(), &st) == 0 && st.st_uid != ::geteuid())) {
      *failure = LockFailure::kRefused;
    }
    errno = error;
    return -1;
  }
  struct stat st {};
  const bool stated = ::fstat(fd, &st) == 0;
  if (!stated || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) {
    const int error = stated ? EPERM : errno;
    ::close(fd);
    *failure = stated ? LockFailure::kRefused : LockFailure::kUnopened;
    errno = error;
    return -1;
  }
  // Wider, anyone allowed in could delete a live file of this user's.
  if ((st.st_mode & 07777) != kLiveDirMode && ::fchmod(fd, kLiveDirMode) != 0) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return -1;
  }
  *failure = LockFailure::kNone;
  return fd;
}

}  // namespace

LiveFile::~LiveFile() {
  if (fd_ < 0) return;
  // Deleted before the lock goes: a reader that opened it meanwhile sees it held, or gone. The name
  // is still this file's: nobody replaces or deletes a file that is held.
  ::unlink(path_.c_str());
  ::close(fd_);
}

bool LiveFile::make(const std::string& dir, const std::string& content, LockFailure* failure) {
  LockFailure ignored = LockFailure::kNone;
  if (failure == nullptr) failure = &ignored;
  *failure = LockFailure::kNone;
  if (fd_ >= 0) {
    errno = EEXIST;
    return false;
  }
  const int dir_fd = open_live_dir(dir, true, failure);
  if (dir_fd < 0) return false;
  // Made and held under a hidden name that readers never count, then given its own: no reader ever
  // counts it before it is whole, nor finds it unheld while its maker lives.
  static std::atomic<unsigned> made{0};
  const std::string base = std::to_string(system_calls().getpid()) + "-";
  std::string hidden;
  int fd = -1;
  for (int attempt = 0; attempt < kLiveNameAttempts && fd < 0; ++attempt) {
    hidden = "." + base + std::to_string(made++);
    fd = ::openat(dir_fd, hidden.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST) break;
  }
  bool ok = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && write_all(fd, content);
  // Its own name replaces nothing: one that stands (a live file of another process of this pid, or
  // a dead one not yet deleted) makes it try the next.
  std::string name;
  bool named = false;
  for (int attempt = 0; ok && !named && attempt < kLiveNameAttempts; ++attempt) {
    name = base + std::to_string(made++);
    named = ::renameat2(dir_fd, hidden.c_str(), dir_fd, name.c_str(), RENAME_NOREPLACE) == 0;
    if (!named && (errno == EINVAL || errno == ENOSYS)) {
      // A file system that cannot rename without replacing: a second link, then the hidden one goes.
      named = ::linkat(dir_fd, hidden.c_str(), dir_fd, name.c_str(), 0) == 0;
      if (named) ::unlinkat(dir_fd, hidden.c_str(), 0);
    }
    if (!named && errno != EEXIST) ok = false;
  }
  ok = ok && named;
  const int error = errno;
  if (!ok) {
    if (fd >= 0) {
      ::unlinkat(dir_fd, hidden.c_str(), 0);
      ::close(fd);
    }
    *failure = LockFailure::kUnopened;
  }
  ::close(dir_fd);
  errno = error;
  if (!ok) return false;
  path_ = dir + "/" + name;
  fd_ = fd;
  return true;
}

ReadResult read_live_files(const std::string& dir, std::vector<std::string>* contents, LockFailure* failure) {
  LockFailure ignored = LockFailure::kNone;
  if (failure == nullptr) failure = &ignored;
  const int dir_fd = open_live_dir(dir, false, failure);
  if (dir_fd < 0) {
    if (*failure == LockFailure::kUnopened && errno == ENOENT) {
      *failure = LockFailure::kNone;
      return ReadResult::kMissing;
    }
    return ReadResult::kFailed;
  }
  DIR* listing = ::fdopendir(dir_fd);
  if (listing == nullptr) {
    const int error = errno;
    ::close(dir_fd);
    *failure = LockFailure::kUnopened;
    errno = error;
    return ReadResult::kFailed;
  }
  ReadResult result = ReadResult::kRead;
  while (const struct dirent* entry = ::readdir(listing)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    // A hidden name is a file still being made, never a claim: its content may be partial. Held,
    // its maker is at work; unheld, its maker died before naming it, and it goes like any dead
    // maker's file.
    const bool being_made = entry->d_name[0] == '.';
    const int fd = ::openat(dir_fd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;   // gone since the listing
    struct stat st {};
    std::string content;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
      ::close(fd);
      continue;
    }
    if (::flock(fd, LOCK_SH | LOCK_NB) == 0) {
      // Nobody holds it: its maker is gone. Deleted only while the name is still this file's.
      struct stat now {};
      if (::fstatat(dir_fd, entry->d_name, &now, AT_SYMLINK_NOFOLLOW) == 0 && now.st_ino == st.st_ino &&
          now.st_dev == st.st_dev) {
        ::unlinkat(dir_fd, entry->d_name, 0);
      }
    } else if (being_made) {
      // Left to its maker; what its lock could not tell does not fail the read of the claims.
    } else if (errno != EWOULDBLOCK || !read_rest(fd, &content, static_cast<size_t>(st.st_size))) {
      result = ReadResult::kFailed;
      *failure = LockFailure::kUnopened;
    } else {
      contents->push_back(std::move(content));
    }
    ::close(fd);
  }
  ::closedir(listing);   // closes dir_fd
  return result;
}

bool move_aside(const std::string& path, const std::string& to) {
  FileLock lock(path);
  if (!lock.held()) return false;
  if (::rename(path.c_str(), to.c_str()) != 0) return false;
  return sync_parent_dir(to);
}

}  // namespace vx::file_store
