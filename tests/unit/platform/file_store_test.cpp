// The file store's guarantees under faults: an unreadable file is never taken as empty, every
// write is made durable by a sync of its directory, and a held file stays locked.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <string>

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

}  // namespace
