// One store for every text file the library keeps. Each change is a read-modify-write done under
// an in-process mutex and a whole-file fcntl lock (on "<file>.lock", which outlives the renames),
// written to a temporary file, fsync'd, renamed into place and made durable by a sync of the
// directory. Every write is checked; on any failure the old file is left untouched and false is
// returned.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

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

// ---- the steps, for a store that keeps a file's content its own way (the simulated adapter's state,
// which stands in for a device, not for a disk) ---------------------------------------------------

// Why a lock could not be had.
enum class LockFailure {
  kNone,
  kUnopened,   // the lock file could not be opened or made (its directory is missing...): error()
  kRefused,    // what stands at its name is not a regular file of this user (a link, a FIFO,
               // another user's file): it is never used, so nobody else can hold this user's lock
  kBusy,       // another process held it past the wait the caller allowed
};

// Lock files sit beside the files they guard, in directories every user may read: made 0600 (one
// of this user's own found wider is made 0600), they can be opened, and so held, by their user
// alone. Nothing planted at the name is followed, waited on or used.
constexpr mode_t kLockFileMode = 0600;

// The locks of one change of `path` for the object's life: the in-process mutex and the whole-file
// lock on "<path>.lock". Not held when the lock file cannot be used (failure() tells why), or when
// another process holds it past `wait_ms` (kWaitForever: as long as it takes; the saved files'
// holders may be logging in). Nested holders of one path in this process share its descriptor:
// fcntl drops a process's lock on a file when any of its descriptors of that file is closed.
class FileLock {
 public:
  static constexpr int kWaitForever = -1;
  explicit FileLock(const std::string& path, int wait_ms = kWaitForever);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool held() const { return fd_ >= 0; }
  LockFailure failure() const { return failure_; }
  int error() const { return error_; }   // errno of kUnopened
  const std::string& lock_path() const { return lock_path_; }

 private:
  std::lock_guard<std::recursive_mutex> guard_;
  std::string lock_path_;
  int fd_ = -1;
  LockFailure failure_ = LockFailure::kNone;
  int error_ = 0;
};

// Whether the lock of `path` could be used, told without taking it: kNone also when this process
// holds it, or when no lock file is made yet. *error (when given) gets the errno of kUnopened.
LockFailure lock_problem(const std::string& path, int* error = nullptr);

// A file that stands for a claim only while the process that made it lives: made whole under a
// hidden name ".<pid>-<n>", held under a lock of its open file (flock: no other descriptor of this
// process lets it go, and another descriptor of this process conflicts with it as another
// process's would), then given a name of its own "<pid>-<n>" that replaces nothing: a name taken
// (another process of the same pid in another PID namespace, sharing the directory) makes it try
// the next. It lasts until the object goes, which deletes it. A process that dies leaves a file
// nobody holds, under either name, which counts for nothing and is deleted by the next reader. A
// file whose maker lives is never replaced or deleted by anyone else.
//
// The directory is its user's alone, like the lock files: made 0700 when missing, set back to 0700
// when it is this user's and wider, and used only when it is a directory of this user; anything else
// at its name (a link, another user's directory, a file) is refused and nothing in it is touched.
// Makers and the readers that delete are meant to be kept apart by the caller (one lock around both),
// so that a dead maker's file is never deleted just as a new one takes its name, nor a maker's
// hidden file in the moment between its making and its lock (that make would fail).
class LiveFile {
 public:
  LiveFile() = default;
  ~LiveFile();
  LiveFile(const LiveFile&) = delete;
  LiveFile& operator=(const LiveFile&) = delete;
  // False, with errno set, when the file cannot be made; *failure (when given) tells whether the
  // directory was refused (kRefused) or could not be opened or written (kUnopened).
  bool make(const std::string& dir, const std::string& content, LockFailure* failure = nullptr);

 private:
  std::string path_;
  int fd_ = -1;
};
// The contents of the named files of `dir` whose makers still live (this process's own too). A
// hidden file is still being made: never counted (its content may be partial), and left while it is
// held. A file that nobody holds, hidden or named, is its dead maker's and is deleted: only while
// its name is still that file, never through a link, and only a regular file of this user; anything
// else in the directory is passed over. kMissing when there is no such directory (no claims); kFailed
// when it cannot be read (*failure kUnopened, errno set), or is not a directory of this user
// (kRefused).
ReadResult read_live_files(const std::string& dir, std::vector<std::string>* contents,
                           LockFailure* failure = nullptr);

// read() without the locks: a file is only ever replaced whole, never written in place. *seen (when
// given) gets the status of the very file read.
ReadResult read_unlocked(const std::string& path, std::string* out, struct stat* seen = nullptr);

// Writes the content over "<path>.tmp" in place, runs `finish` on it while open (false stops), and
// swaps it with the file in one step (renameat2 RENAME_EXCHANGE; a rename where the file is missing
// or the file system cannot swap). Nothing is fsync'd and no file is made or removed once both
// exist: the previous content stays in the temporary file, which the next change overwrites. Hence
// readers must hold the FileLock too. The caller holds the FileLock.
bool swap_unlocked(const std::string& path, const std::string& content, mode_t mode,
                   const std::function<bool(int fd)>& finish);

// Which content of a file this process last read or wrote, told without reading the file again:
// its device and inode, size, and modification and change times (nanoseconds). The file stays open
// while its version is kept, so that its inode number goes to no other file meanwhile: a file that
// another process's store replaced (a rename) always shows another inode, however soon after and
// whatever its size. A file written in place (by hand) keeps its inode and is told by its size and
// times, which cannot tell two changes within their granularity apart: a version taken less than
// kSettleSeconds after the file's last modification or last change of status is never taken as
// current (read it again). Both count: a writer that puts the modification time back after an edit
// in place (`cp -p`, `touch -r`, `rsync --inplace -t`) moves only the change time.
class FileVersion {
 public:
  static constexpr int64_t kSettleSeconds = 2;   // beyond the coarsest file time granularity (FAT's)

  FileVersion() = default;
  ~FileVersion() { forget(); }
  FileVersion(const FileVersion&) = delete;
  FileVersion& operator=(const FileVersion&) = delete;

  bool known() const { return fd_ >= 0; }
  void forget();

 private:
  friend class HeldFile;
  // Takes `fd` (open on the file whose status is `st`) as the version's.
  void take(int fd, const struct stat& st);

  int fd_ = -1;
  dev_t device_ = 0;
  ino_t inode_ = 0;
  off_t size_ = 0;
  int64_t modified_ = 0;
  int64_t changed_ = 0;
  bool settled_ = false;   // changed long enough before it was taken that any later change shows
};

// A file locked for a span of work (a pass over its records): read once, then replaced as often as
// needed, all under the one lock taken here and released when the object goes. The store's other
// calls on the same path, made meanwhile by this process, share that lock.
class HeldFile {
 public:
  explicit HeldFile(const std::string& path);
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

  bool locked() const { return lock_.held(); }
  const std::string& path() const { return path_; }
  // As read() (also when the lock could not be had, as read() does). With `version`, it becomes the
  // version of the very file read (forgotten when none was read or the lock is not held).
  ReadResult read(std::string* out, FileVersion* version = nullptr) const;
  // True when the file is still the content `version` names, as far as its status can tell (see
  // FileVersion); false when that cannot be told (the lock is not held, the version not settled).
  bool unchanged(const FileVersion& version) const;
  // As write_file: a temporary file, fsync, rename, directory sync; false leaves the file as it was.
  // With `version`, it becomes the version written (forgotten on failure).
  bool replace(const std::string& content, mode_t mode = 0644, FileVersion* version = nullptr) const;

 private:
  std::string path_;
  FileLock lock_;
};

// The calls whose failures the store must survive (a read error, a failed sync of the file or its
// directory), and those that tell a file's version: its status and the time it is taken at (tests
// stand in a file system of coarser times, or a version taken long after its change), and the
// process id a live file is named after (tests stand in two processes of one pid, as two PID
// namespaces give). Tests swap an entry; ::read, ::fsync, ::stat, ::fstat, ::clock_gettime and
// ::getpid otherwise.
struct SystemCalls {
  ssize_t (*read)(int fd, void* buf, size_t count);
  int (*fsync)(int fd);
  int (*stat)(const char* path, struct stat* st);
  int (*fstat)(int fd, struct stat* st);
  int (*clock_gettime)(clockid_t clock, struct timespec* now);
  pid_t (*getpid)();
};
SystemCalls& system_calls();

}  // namespace vx::file_store
