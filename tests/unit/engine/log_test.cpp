// The log writer and the log-level file.
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "engine/hm.h"
#include "support/test_support.h"

namespace {

using namespace vx;

constexpr const char* kLevelFile = "/scratch/Talvix/libvaru.conf";
constexpr const char* kHeader =
    "#VARULogLevel: Control the number of messages logged to the varu2d.log file.\n"
    "#Possible values are 0 - Disabled, 1 - FATAL, 2 - CRITICAL, 3 - ERROR, 4 - WARNING, 5 - INFORMATION, "
    "6 - DEBUG.\nVARULogLevel ";

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override { varu_set_debug_level_value(0); }
  void TearDown() override {
    varu_log_close();
    varu_set_debug_level_value(0);
  }
  vxtest::TempRoot root;
};

// "/tmp" is everyone's: a link planted at the log's name, to a file or to none, is never followed.
TEST_F(LogTest, ALinkPlantedAtTheLogsNameIsNeverFollowed) {
  ASSERT_EQ(::mkdir(root.at("/tmp").c_str(), 0755), 0);
  root.write("/victim", "kept\n");
  varu_set_debug_level_value(6);
  for (const char* target : {"/victim", "/absent"}) {
    ::unlink(root.at("/tmp/varu2d.log").c_str());
    ASSERT_EQ(::symlink(root.at(target).c_str(), root.at("/tmp/varu2d.log").c_str()), 0);
    EXPECT_FALSE(varu_log_open()) << target;
    pdebug(1, 3, "planted\n");
    varu_log_close();
  }
  EXPECT_EQ(root.read("/victim"), "kept\n");
  EXPECT_FALSE(root.exists("/absent"));
}

TEST_F(LogTest, LevelFileIsCreatedReadAndBadValuesAreReplaced) {
  EXPECT_EQ(VARU_update_loglevel(), 0u);
  EXPECT_EQ(root.read(kLevelFile), std::string(kHeader) + "0");
  struct stat st {};
  ASSERT_EQ(::stat(root.at(kLevelFile).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);

  const std::string comment(300, '#');
  const struct {
    std::string content;
    int32_t level;      // level after the read
    bool rewritten;     // the file then holds the header and that level
  } rows[] = {
      {"VARULogLevel 2", 2, false},      {"VARULogLevel 9\n", 4, true},
      {"VARULogLevel -1\n", 4, true},   {"VARULogLevel abc\n", 4, true},
      {"VARULogLevel 1\nVARULogLevel 6\n", 6, false},   // the last line wins
      {"VARULogLevel 9\nVARULogLevel 6\n", 6, true},
      {"#VARULogLevel: 5\n", 4, false},                 // the comment's key has a colon
      {"x\tVARULogLevel 5\n", 5, false},                // tokens are split at blanks only
      // Lines are read in pieces of 255 characters: a key in a later piece counts, one cut by a
      // piece's end does not.
      {comment + "VARULogLevel 2\n", 2, false},
      {comment.substr(0, 250) + " VARULogLevel 2\n", 4, false},
  };
  for (const auto& r : rows) {
    varu_set_debug_level_value(4);
    root.write(kLevelFile, r.content);
    EXPECT_EQ(VARU_get_debug_level(), 0u);
    EXPECT_EQ(varu_debug_level(), r.level) << r.content;
    EXPECT_EQ(root.read(kLevelFile), r.rewritten ? std::string(kHeader) + std::to_string(r.level) : r.content);
  }
}

}  // namespace
