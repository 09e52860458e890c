// The files the maintenance actions are given by name, in a directory that every user can write:
// links and FIFOs planted at the name (also between the deletion of an old file and the making of
// the new one) are refused and nothing outside is created or changed; what the actions make is
// 0600; an image that is a FIFO is refused at once.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "engine/messages.h"
#include "support/request_hook.h"
#include "tests/api/maintenance_fixture.h"

namespace vxtest {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr const char* kLab = R"({"adapters": [{"serial_number": "S3", "generation": 3, "pci": {"bus": 3},
  "fat": {"size": 1000}, "iscsi_functions": [{"function": 1}], "nic_functions": [{"function": 0}],
  "core_dump": {"components": [{"id": 2, "segments": [{"id": 0, "length": 64}]}],
                "cli": {"show ver": "76657273696f6e"}}}]})";

enum class Plant { kLink, kDanglingLink, kHardLink, kFifo, kForeignFile };
constexpr uid_t kOtherUser = 65534;

// Keeps something planted at `name` while an action runs, as another user of the directory would:
// at once, and again as the command `at` leaves for the adapter (opcode 0: none), the moment between
// the action's deletion of the old file and its making of the new one. A FIFO still there after 30
// seconds is opened from the other side and drained, so that code waiting on one fails the test
// (rescued()) instead of hanging it.
class Planted {
 public:
  Planted(std::string name, Plant kind, std::string target, CommandId at = {0, 0})
      : name_(std::move(name)),
        kind_(kind),
        target_(std::move(target)),
        saved_pipe_(::signal(SIGPIPE, SIG_IGN)),
        again_([this, at](unsigned long request, const void* arg) {
          const CommandId sent = command_of(request, arg);
          if (at.opcode != 0 && sent.opcode == at.opcode && sent.subsystem == at.subsystem) plant();
        }) {
    plant();
    if (kind_ == Plant::kFifo) thread_ = std::thread([this] { rescue(); });
  }
  ~Planted() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    ::unlink(name_.c_str());
    ::signal(SIGPIPE, saved_pipe_);
  }
  // Whether a FIFO had to be opened from the other side: something waited on it.
  bool rescued() const { return rescued_; }

 private:
  void plant() const {
    switch (kind_) {
      case Plant::kLink:
      case Plant::kDanglingLink: (void)::symlink(target_.c_str(), name_.c_str()); break;
      case Plant::kHardLink: (void)::link(target_.c_str(), name_.c_str()); break;
      case Plant::kFifo: (void)::mkfifo(name_.c_str(), 0666); break;
      case Plant::kForeignFile: {
        const int fd = ::open(name_.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (fd >= 0) {
          (void)::fchmod(fd, 0666);
          (void)::fchown(fd, kOtherUser, kOtherUser);
          ::close(fd);
        }
        break;
      }
    }
  }
  void rescue() {
    const Clock::time_point start = Clock::now();
    int reader = -1;
    while (!stop_) {
      if (Clock::now() - start > 30s) {
        rescued_ = true;
        const int next = ::open(name_.c_str(), O_RDONLY | O_NONBLOCK);
        const int writer = ::open(name_.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) ::close(writer);
        if (reader >= 0) ::close(reader);
        reader = next;
        char sink[4096];
        while (reader >= 0 && ::read(reader, sink, sizeof sink) > 0) {
        }
      }
      std::this_thread::sleep_for(1ms);
    }
    if (reader >= 0) ::close(reader);
  }

  const std::string name_;
  const Plant kind_;
  const std::string target_;
  sighandler_t saved_pipe_;
  RequestHook again_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> rescued_{false};
  std::thread thread_;
};

struct Writer {
  const char* name;
  const char* group;
  const char* action;
  const char* second;   // the action's second parameter, or NULL
  // The actions that delete an old file first: a command between the deletion and the new file's
  // making (0 for the others).
  int opcode;
  int subsystem;
  bool made_anew;   // an old file at the name is deleted and a new one made (FAT data writes over it)
  uint32_t status;
  const char* text;
};
const Writer kWriters[] = {
    {"FAT data", "Vexalon0/FATData", "RetrieveFATData", nullptr, 0, 0, false, 66, vx::msg::kInvalidFatFileName},
    {"ARM log", "Vexalon0/ExtFATData", "RetrieveARMLog", "RAM", 127, 1, true, 257, vx::msg::kInvalidFileName},
    {"core dump", "Vexalon0", "RetrieveBrightlaneCoreDump", nullptr, 0, 0, true, 257, vx::msg::kInvalidFileName},
    {"command line", "Vexalon0", "RetrieveFwCliData", "show ver", 24, 11, true, 257, vx::msg::kInvalidFileName},
};

class OutputFiles : public MaintenanceLab {
 protected:
  void SetUp() override {
    MaintenanceLab::SetUp();
    start_lab(kLab);
    ASSERT_EQ(::mkdir("shared", 0777), 0);
    ASSERT_EQ(::chmod("shared", 01777), 0);   // as /tmp
  }
  uint32_t write(const Writer& w, const char* file) { return run(w.group, w.action, {file, w.second}); }
  static mode_t mode_of(const char* file) {
    struct stat st {};
    return ::lstat(file, &st) == 0 ? st.st_mode & 07777 : 0;
  }
};

TEST_F(OutputFiles, WhatIsPlantedAtTheNameIsRefusedAndNothingOutsideChanges) {
  const std::pair<Plant, const char*> plants[] = {
      {Plant::kLink, "victim"}, {Plant::kDanglingLink, "../made_through_a_link"}, {Plant::kHardLink, "victim"},
      {Plant::kFifo, ""}};
  for (const Writer& w : kWriters) {
    for (const auto& [kind, target] : plants) {
      SCOPED_TRACE(std::string(w.name) + " " + std::to_string(static_cast<int>(kind)));
      root_.write("/work/victim", "precious");
      ASSERT_EQ(::chmod("victim", 0644), 0);
      {
        Planted planted("shared/out", kind, target, {w.opcode, w.subsystem});
        EXPECT_STATUS(write(w, "shared/out"), w.status, w.text);
        EXPECT_FALSE(planted.rescued()) << "the action waited on a FIFO";
      }
      EXPECT_TRUE(bytes("victim") == "precious") << "the file a link leads to is left as it was";
      EXPECT_EQ(mode_of("victim"), 0644u);
      EXPECT_EQ(files(), (std::set<std::string>{"shared", "victim"}));
    }
  }
}

TEST_F(OutputFiles, WhatTheActionsMakeOnlyTheirOwnUserReads) {
  const mode_t saved_umask = ::umask(0);   // the mode is the actions' own, not the umask's
  for (const Writer& w : kWriters) {
    SCOPED_TRACE(w.name);
    ::unlink("shared/out");
    EXPECT_EQ(write(w, "shared/out"), 0u);
    EXPECT_EQ(mode_of("shared/out"), 0600u);
    EXPECT_FALSE(bytes("shared/out").empty());
  }
  ::umask(saved_umask);
  // A file at the name is written over, its mode kept, or made anew where the action deletes it
  // first; one a link leads to is not, where the action does not delete the link first.
  root_.write("/work/shared/mine", "old content");
  ASSERT_EQ(::symlink("mine", "shared/link"), 0);
  for (const Writer& w : kWriters) {
    SCOPED_TRACE(w.name);
    ASSERT_EQ(::chmod("shared/mine", 0640), 0);
    EXPECT_EQ(write(w, "shared/mine"), 0u);
    EXPECT_NE(bytes("shared/mine"), "old content");
    EXPECT_EQ(mode_of("shared/mine"), w.made_anew ? 0600u : 0640u);
    root_.write("/work/shared/mine", "old content");
    if (w.opcode == 0) EXPECT_STATUS(write(w, "shared/link"), w.status, w.text);
    EXPECT_EQ(bytes("shared/mine"), "old content");
  }
}

// A file another user left at the name, or put there after the action's deletion of the old one,
// never receives the adapter's data: the actions that delete it first make a new file of their own;
// FAT data, which writes over the file it finds, refuses one that is not its user's and leaves it
// as it was.
TEST_F(OutputFiles, AFileAnotherUserLeavesAtTheNameGetsNothing) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs to give a file to another user";
  for (const Writer& w : kWriters) {
    SCOPED_TRACE(w.name);
    root_.write("/work/shared/out", "theirs");
    ASSERT_EQ(::chown("shared/out", kOtherUser, kOtherUser), 0);
    ASSERT_EQ(::chmod("shared/out", 0666), 0);
    if (!w.made_anew) {
      EXPECT_STATUS(write(w, "shared/out"), w.status, w.text);
      struct stat st {};
      ASSERT_EQ(::lstat("shared/out", &st), 0);
      EXPECT_EQ(st.st_uid, kOtherUser);
      EXPECT_EQ(st.st_mode & 07777, 0666u);
      EXPECT_EQ(bytes("shared/out"), "theirs");
      ::unlink("shared/out");
      continue;
    }
    const int theirs = ::open("shared/out", O_RDONLY);
    ASSERT_GE(theirs, 0);
    EXPECT_EQ(write(w, "shared/out"), 0u);
    struct stat st {};
    ASSERT_EQ(::lstat("shared/out", &st), 0);
    EXPECT_EQ(st.st_uid, ::geteuid());
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    char left[16] = {};
    EXPECT_EQ(::pread(theirs, left, sizeof left, 0), 6);
    EXPECT_STREQ(left, "theirs");
    ::close(theirs);
    ::unlink("shared/out");
    if (w.opcode == 0) continue;
    // Planted as the command leaves, after the action's own deletion.
    {
      Planted planted("shared/out", Plant::kForeignFile, "", {w.opcode, w.subsystem});
      EXPECT_STATUS(write(w, "shared/out"), w.status, w.text);
      EXPECT_TRUE(bytes("shared/out").empty()) << "the planted file was written";
    }
  }
}

TEST_F(OutputFiles, AnImageThatIsAFifoOrALinkIsRefusedAtOnce) {
  const std::pair<Plant, const char*> plants[] = {{Plant::kFifo, ""}, {Plant::kLink, "../image.ufi"}};
  root_.write("/work/image.ufi", std::string(4096, 'x'));
  for (const auto& [kind, target] : plants) {
    Planted planted("shared/fw.ufi", kind, target);
    EXPECT_STATUS(run("Vexalon0", "UpgradeFlashROM", {"shared/fw.ufi"}), 39, vx::msg::kUfiNotFound);
    EXPECT_FALSE(planted.rescued()) << "the update waited on a FIFO";
  }
  // A regular file is read.
  EXPECT_STATUS(run("Vexalon0", "UpgradeFlashROM", {"image.ufi"}), 162, vx::msg::kUfiIncompatible);
}

}  // namespace
}  // namespace vxtest
