// Files named by a caller: what may be at the name, and whether it is opened for reading (an
// image) and for writing (a dump or trace). Nothing but a regular file reached without a link at
// the last component is opened, a FIFO never waits, and nothing is made through a link.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "support/test_support.h"

namespace {

struct Row {
  const char* what;
  std::function<void(const std::string& dir)> plant;   // makes dir + "/name"
  int read_errno;    // 0: opened for reading
  int write_errno;   // 0: opened for writing
};

void file(const std::string& path) { ASSERT_EQ(::close(::open(path.c_str(), O_CREAT | O_WRONLY, 0644)), 0); }

TEST(CallerFiles, OnlyARegularFileReachedWithoutALinkIsOpened) {
  const Row rows[] = {
      {"a regular file", [](const std::string& d) { file(d + "/name"); }, 0, 0},
      {"nothing (made for writing)", [](const std::string&) {}, ENOENT, 0},
      {"a link to a regular file",
       [](const std::string& d) {
         file(d + "/target");
         ::symlink("target", (d + "/name").c_str());
       },
       ELOOP, ELOOP},
      {"a link to nothing", [](const std::string& d) { ::symlink("target", (d + "/name").c_str()); }, ELOOP, ELOOP},
      {"a FIFO", [](const std::string& d) { ::mkfifo((d + "/name").c_str(), 0666); }, EINVAL, ENXIO},
      {"a directory", [](const std::string& d) { ::mkdir((d + "/name").c_str(), 0755); }, EINVAL, EISDIR},
      {"a second name of a file",
       [](const std::string& d) {
         file(d + "/target");
         ::link((d + "/target").c_str(), (d + "/name").c_str());
       },
       0, EMLINK},
  };
  for (const Row& row : rows) {
    for (const bool writing : {false, true}) {
      SCOPED_TRACE(std::string(row.what) + (writing ? " for writing" : " for reading"));
      vxtest::TempRoot root;
      const std::string name = root.path() + "/name";
      row.plant(root.path());
      const std::string target = root.path() + "/target";
      const bool had_target = ::access(target.c_str(), F_OK) == 0;
      errno = 0;
      const int fd = writing ? vx::open_caller_output(name.c_str()) : vx::open_caller_file(name.c_str());
      EXPECT_EQ(fd >= 0 ? 0 : errno, writing ? row.write_errno : row.read_errno);
      if (fd >= 0) {
        EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
        ::close(fd);
      }
      EXPECT_EQ(::access(target.c_str(), F_OK) == 0, had_target) << "nothing is made through a link";
    }
  }
}

TEST(CallerFiles, AFileMadeForWritingIsTheUsersOnly) {
  vxtest::TempRoot root;
  const mode_t saved = ::umask(0);
  const int fd = vx::open_caller_output((root.path() + "/out").c_str());
  ::umask(saved);
  ASSERT_GE(fd, 0);
  struct stat st {};
  ASSERT_EQ(::fstat(fd, &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  ::close(fd);
}

}  // namespace
