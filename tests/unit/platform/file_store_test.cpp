// The file store's guarantees under faults: an unreadable file is never taken as empty, every
// write is made durable by a sync of its directory, a held file stays locked, lock files are their
// user's alone, and a live file counts only while its maker lives.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/file_store.h"
#include "support/test_support.h"

namespace {

namespace fs = vx::file_store;

int g_dir_syncs = 0;
bool g_fail_dir_sync = false;

int watched_fsync(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ++g_dir_syncs;
    if (g_fail_dir_sync) {
      errno = EIO;
      return -1;
    }
  }
  return ::fsync(fd);
}

ssize_t failing_read(int, void*, size_t) {
  errno = EIO;
  return -1;
}

class FileStoreTest : public ::testing::Test {
 protected:
  void TearDown() override { fs::system_calls() = saved_; }
  std::string at(const char* name) const { return root_.at(name); }

  vxtest::TempRoot root_;
  fs::SystemCalls saved_ = fs::system_calls();
};

struct Change {
  const char* what;
  std::function<bool(const std::string& path)> run;
};

const Change kChanges[] = {
    {"write_file", [](const std::string& p) { return fs::write_file(p, "new\n"); }},
    {"append (a read-modify-write)", [](const std::string& p) { return fs::append(p, "new\n"); }},
};

TEST_F(FileStoreTest, AFileThatCannotBeReadIsNeverRewrittenFromEmpty) {
  root_.write("/data.txt", "kept\n");
  fs::system_calls().read = failing_read;
  std::string content;
  EXPECT_EQ(fs::read(at("/data.txt"), &content), fs::ReadResult::kFailed);
  bool edited = false;
  EXPECT_FALSE(fs::update_file(at("/data.txt"), [&](std::string&, bool) { return edited = true; }));
  EXPECT_FALSE(edited) << "the edit never sees an unreadable file as empty";
  EXPECT_FALSE(fs::append(at("/data.txt"), "lost\n"));
  fs::system_calls() = saved_;
  EXPECT_EQ(root_.read("/data.txt"), "kept\n");

  // Only a file that does not exist reads as missing (and empty for a change).
  EXPECT_EQ(fs::read(at("/none.txt"), &content), fs::ReadResult::kMissing);
  EXPECT_TRUE(fs::append(at("/none.txt"), "first\n"));
  EXPECT_EQ(root_.read("/none.txt"), "first\n");
  root_.write("/cut.txt", "no newline");
  EXPECT_TRUE(fs::append(at("/cut.txt"), "next\n"));
  EXPECT_EQ(root_.read("/cut.txt"), "no newline\nnext\n");
}

TEST_F(FileStoreTest, EveryChangeSyncsTheDirectoryAndFailsWithIt) {
  fs::system_calls().fsync = watched_fsync;
  for (const Change& change : kChanges) {
    SCOPED_TRACE(change.what);
    g_dir_syncs = 0;
    g_fail_dir_sync = false;
    EXPECT_TRUE(change.run(at("/data.txt")));
    EXPECT_EQ(g_dir_syncs, 1);
    g_fail_dir_sync = true;
    EXPECT_FALSE(change.run(at("/data.txt"))) << "a write whose directory sync failed is not reported done";
  }
}

// This process's own calls on a held file come and go without letting another process in.
TEST_F(FileStoreTest, AHeldFileStaysLockedThroughNestedCalls) {
  fs::HeldFile held(at("/data.txt"));
  ASSERT_TRUE(held.locked());
  ASSERT_TRUE(fs::append(at("/data.txt"), "nested\n"));
  const pid_t child = ::fork();
  if (child == 0) {
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    ::_exit(::fcntl(::open((at("/data.txt") + ".lock").c_str(), O_RDWR), F_SETLK, &fl) == 0 ? 1 : 0);
  }
  int status = -1;
  ::waitpid(child, &status, 0);
  EXPECT_EQ(status, 0) << "another process took the lock";
  EXPECT_TRUE(held.replace("whole\n"));
  EXPECT_EQ(root_.read("/data.txt"), "whole\n");
}

mode_t mode_of(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// A lock file is made 0600, one of the user's own found wider is made so, and anything else at its
// name (a link, followed or not, a FIFO, a directory, another user's file) is never used: the
// change fails without touching the file, and nothing is made where a link points.
TEST_F(FileStoreTest, LockFilesAreTheirUsersAloneAndNothingPlantedIsUsed) {
  const std::string lock = at("/data.txt.lock");
  ASSERT_TRUE(fs::write_file(at("/data.txt"), "one\n"));
  EXPECT_EQ(mode_of(lock), fs::kLockFileMode);
  ASSERT_EQ(::chmod(lock.c_str(), 0644), 0);
  EXPECT_EQ(fs::lock_problem(at("/data.txt")), fs::LockFailure::kNone);
  ASSERT_TRUE(fs::write_file(at("/data.txt"), "two\n"));
  EXPECT_EQ(mode_of(lock), fs::kLockFileMode);
  EXPECT_EQ(fs::lock_problem(at("/none.txt")), fs::LockFailure::kNone) << "not made yet";

  struct Plant {
    const char* what;
    std::function<int()> make;
    bool needs_root;
  };
  const Plant plants[] = {
      {"a link", [&] { return ::symlink(at("/elsewhere").c_str(), lock.c_str()); }, false},
      {"a FIFO", [&] { return ::mkfifo(lock.c_str(), 0600); }, false},
      {"a directory", [&] { return ::mkdir(lock.c_str(), 0700); }, false},
      {"another user's file", [&] {
         root_.write("/data.txt.lock", "");
         return ::chown(lock.c_str(), 65534, 65534);
       }, true},
  };
  for (const Plant& p : plants) {
    SCOPED_TRACE(p.what);
    if (p.needs_root && ::geteuid() != 0) continue;
    ::unlink(lock.c_str());
    ::rmdir(lock.c_str());
    ASSERT_EQ(p.make(), 0);
    {
      const fs::FileLock held(at("/data.txt"));
      EXPECT_FALSE(held.held());
      EXPECT_EQ(held.failure(), fs::LockFailure::kRefused);
    }
    EXPECT_EQ(fs::lock_problem(at("/data.txt")), fs::LockFailure::kRefused);
    EXPECT_FALSE(fs::write_file(at("/data.txt"), "planted\n"));
    EXPECT_EQ(root_.read("/data.txt"), "two\n");
    EXPECT_FALSE(root_.exists("/elsewhere"));
  }
  ::rmdir(lock.c_str());
  ::unlink(lock.c_str());
}

// A wait with a bound gives up on a lock another process holds, and takes it once it is let go.
TEST_F(FileStoreTest, ABoundedWaitGivesUpOnAnotherProcesssLock) {
  ASSERT_TRUE(fs::write_file(at("/data.txt"), "one\n"));
  vxtest::OtherProcessLock other(at("/data.txt.lock"), F_WRLCK);
  ASSERT_TRUE(other.held());
  {
    const fs::FileLock busy(at("/data.txt"), 50);
    EXPECT_FALSE(busy.held());
    EXPECT_EQ(busy.failure(), fs::LockFailure::kBusy);
  }
  other.release();
  const fs::FileLock free(at("/data.txt"), 30 * 1000);
  EXPECT_TRUE(free.held());
}

std::vector<std::string> live(const std::string& dir) {
  std::vector<std::string> out;
  EXPECT_EQ(fs::read_live_files(dir, &out), fs::ReadResult::kRead);
  return out;
}

// A child process that has run `hold` (true: what it took is held) and holds it until it is killed
// (without destructors, as a killed process dies); -1 when `hold` failed.
pid_t child_holding(const std::function<bool()>& hold) {
  int ready[2];
  if (::pipe(ready) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    const char word = hold() ? '1' : '0';
    if (::write(ready[1], &word, 1) != 1) ::_exit(1);
    ::pause();
    ::_exit(0);
  }
  char word = '0';
  const bool made = child > 0 && ::read(ready[0], &word, 1) == 1 && word == '1';
  ::close(ready[0]);
  ::close(ready[1]);
  if (!made && child > 0) {
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
  }
  return made ? child : -1;
}

// A child holding a live file of `content` it made in `dir`.
pid_t child_holding(const std::string& dir, const char* content) {
  return child_holding([&] { return (new fs::LiveFile)->make(dir, content); });
}

// A live file counts while its maker lives, this process's own too; one whose maker died without
// deleting it counts for nothing and goes at the next read.
TEST_F(FileStoreTest, ALiveFileCountsWhileItsMakerLives) {
  const std::string dir = at("/claims");
  std::vector<std::string> read;
  EXPECT_EQ(fs::read_live_files(dir, &read), fs::ReadResult::kMissing);
  auto own = std::make_unique<fs::LiveFile>();
  ASSERT_TRUE(own->make(dir, std::string("one\0two", 7)));
  EXPECT_EQ(mode_of(dir), 0700u);
  EXPECT_EQ(live(dir), std::vector<std::string>{std::string("one\0two", 7)});

  const pid_t child = child_holding(dir, "child");
  ASSERT_GT(child, 0);
  EXPECT_EQ(live(dir).size(), 2u);
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  EXPECT_EQ(live(dir).size(), 1u) << "the dead maker's file counts for nothing";
  own.reset();
  EXPECT_TRUE(live(dir).empty());
  EXPECT_EQ(::rmdir(dir.c_str()), 0) << "every file went";

  // A link at the directory's name is not followed.
  ASSERT_EQ(::mkdir(at("/real").c_str(), 0700), 0);
  ASSERT_EQ(::symlink(at("/real").c_str(), dir.c_str()), 0);
  fs::LiveFile refused;
  EXPECT_FALSE(refused.make(dir, "x"));
  EXPECT_EQ(fs::read_live_files(dir, &read), fs::ReadResult::kFailed);
  EXPECT_EQ(::rmdir(at("/real").c_str()), 0) << "nothing was made in the directory the link names";
}

// A maker killed before it named its file leaves it hidden: nobody holds it, so the next read
// deletes it. One still being made (held, by another process) is neither counted nor touched, and
// neither is anything hidden that is not a regular file.
TEST_F(FileStoreTest, AHiddenFileGoesOnceNobodyHoldsIt) {
  const std::string dir = at("/claims");
  fs::LiveFile own;
  ASSERT_TRUE(own.make(dir, "named"));
  const std::string making = dir + "/.4243-0";
  const std::string link = dir + "/.4244-0";
  root_.write("/claims/.4242-0", "abandoned");
  root_.write("/claims/.4243-0", "making");
  root_.write("/elsewhere", "kept");
  ASSERT_EQ(::symlink(at("/elsewhere").c_str(), link.c_str()), 0);
  const pid_t maker = child_holding([&] {
    const int fd = ::open(making.c_str(), O_RDWR);
    return fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  });
  ASSERT_GT(maker, 0);

  EXPECT_EQ(live(dir), std::vector<std::string>{"named"}) << "a hidden file was counted";
  EXPECT_FALSE(root_.exists("/claims/.4242-0")) << "an abandoned hidden file stayed";
  EXPECT_EQ(root_.read("/claims/.4243-0"), "making") << "a file being made was deleted";
  EXPECT_EQ(root_.read("/elsewhere"), "kept");
  struct stat st {};
  EXPECT_EQ(::lstat(link.c_str(), &st), 0) << "a link at a hidden name was not passed over";

  ::kill(maker, SIGKILL);
  ::waitpid(maker, nullptr, 0);
  EXPECT_EQ(live(dir), std::vector<std::string>{"named"});
  EXPECT_FALSE(root_.exists("/claims/.4243-0")) << "its maker died: it goes";
}

pid_t pid_one() { return 1; }

// Two processes of one pid (each the first of its own PID namespace, both using the directory): the
// second's file never replaces the first's, which it finds at the name it would take; both count.
TEST_F(FileStoreTest, ALiveFileNeverReplacesAnotherOfTheSamePid) {
  const std::string dir = at("/claims");
  fs::system_calls().getpid = pid_one;
  // Its own count of files made is this process's: the names it tries are the same.
  const pid_t child = child_holding(dir, "first");
  ASSERT_GT(child, 0);
  {
    fs::LiveFile second;
    ASSERT_TRUE(second.make(dir, "second"));
    std::vector<std::string> both = live(dir);
    std::sort(both.begin(), both.end());
    EXPECT_EQ(both, (std::vector<std::string>{"first", "second"}));
  }
  EXPECT_EQ(live(dir), std::vector<std::string>{"first"}) << "the second's end deleted the first's file";
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
}

// The directory is its user's alone: one left wider is set back to 0700 by the next maker or
// reader; a file or another user's directory at its name is refused, and left as it is.
TEST_F(FileStoreTest, TheDirectoryOfLiveFilesIsItsUsersAlone) {
  const std::string dir = at("/claims");
  fs::LiveFile first;
  ASSERT_TRUE(first.make(dir, "x"));
  ASSERT_EQ(::chmod(dir.c_str(), 0777), 0);
  std::vector<std::string> read;
  fs::LockFailure why = fs::LockFailure::kBusy;
  EXPECT_EQ(fs::read_live_files(dir, &read, &why), fs::ReadResult::kRead);
  EXPECT_EQ(why, fs::LockFailure::kNone);
  EXPECT_EQ(mode_of(dir), 0700u);

  const std::string file = at("/file");
  ASSERT_TRUE(fs::write_file(file, "not a directory\n"));
  fs::LiveFile refused;
  EXPECT_FALSE(refused.make(file, "x", &why));
  EXPECT_EQ(why, fs::LockFailure::kRefused);
  EXPECT_EQ(fs::read_live_files(file, &read, &why), fs::ReadResult::kFailed);
  EXPECT_EQ(why, fs::LockFailure::kRefused);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(dir.c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(dir.c_str(), 0777), 0);
    EXPECT_EQ(fs::read_live_files(dir, &read, &why), fs::ReadResult::kFailed);
    EXPECT_EQ(why, fs::LockFailure::kRefused);
    EXPECT_EQ(mode_of(dir), 0777u) << "another user's directory is left as it is";
    fs::LiveFile in_others;
    EXPECT_FALSE(in_others.make(dir, "y", &why));
    EXPECT_EQ(why, fs::LockFailure::kRefused);
    ASSERT_EQ(::chown(dir.c_str(), 0, 0), 0);
  }
}

}  // namespace
