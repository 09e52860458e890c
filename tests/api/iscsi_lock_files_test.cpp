// The lock files of the ISID choice and of the saved targets are their user's alone: made 0600 (one
// of the user's own found wider is made so), and anything left at their name (another user's file,
// held with a lock; a link; a FIFO) is refused at once with the saved-file status and a text that
// names it, before anything is sent to the adapter. So is the directory of the ISID claims.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "engine/messages.h"
#include "tests/api/iscsi_fixture.h"

namespace vxtest {
namespace {

constexpr uid_t kOtherUser = 65534;
constexpr const char* kScratch = "/scratch/Talvix/";

class LockFiles : public IscsiLab {
 protected:
  void SetUp() override {
    IscsiLab::SetUp();
    ASSERT_EQ(add_target(kGen3Lhba, kOpenTarget, "10.0.0.5"), 0u);
    ASSERT_EQ(logout(), 0u);
  }
  uint32_t login() { return act(tag_at(target_path(kGen3Lhba, 0)), "Login", {}); }
  uint32_t logout() { return act(tag_at(target_path(kGen3Lhba, 0)), "Logout", {}); }
  std::string lock(const char* name) const { return root_.at(std::string(kScratch) + name); }
  mode_t mode_of(const char* name) const {
    struct stat st {};
    return ::lstat(lock(name).c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
  }
  // Registrations and logins in the journal.
  int sent() const {
    int n = 0;
    for (const vxsim_journal_entry& e : sim_.commands()) n += e.subsystem == 6 && (e.opcode == 23 || e.opcode == 27);
    return n;
  }
};

std::string refused(const char* name) {
  char text[600];
  std::snprintf(text, sizeof text, vx::msg::kLockFileRefused, name);
  return text;
}

TEST_F(LockFiles, AreMadeForTheirUserAlone) {
  ASSERT_EQ(login(), 0u);
  for (const char* name : {"isid_choice.lock", "savetgt.txt.lock"}) {
    EXPECT_EQ(mode_of(name), 0600u) << name;
    ASSERT_EQ(::chmod(lock(name).c_str(), 0644), 0);
  }
  ASSERT_EQ(logout(), 0u);
  ASSERT_EQ(login(), 0u);
  for (const char* name : {"isid_choice.lock", "savetgt.txt.lock"}) EXPECT_EQ(mode_of(name), 0600u) << name;
}

TEST_F(LockFiles, WhatOthersLeaveAtTheirNameIsRefusedAndNothingIsSent) {
  struct Plant {
    const char* what;
    bool needs_root;
    // Leaves it at `path`; what it holds (another user's lock) lasts as long as the returned object.
    std::function<std::shared_ptr<void>(const std::string& path)> leave;
  };
  const std::string elsewhere = root_.at("/elsewhere");
  const Plant plants[] = {
      {"another user's file, held with a read lock", true,
       [](const std::string& path) -> std::shared_ptr<void> {
         const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL, 0644);
         if (fd < 0 || ::fchown(fd, kOtherUser, kOtherUser) != 0) return nullptr;
         ::close(fd);
         auto other = std::make_shared<OtherProcessLock>(path, F_RDLCK, kOtherUser);
         return other->held() ? other : nullptr;
       }},
      {"a link", false,
       [&](const std::string& path) -> std::shared_ptr<void> {
         return ::symlink(elsewhere.c_str(), path.c_str()) == 0 ? std::make_shared<int>(0) : nullptr;
       }},
      {"a FIFO", false,
       [](const std::string& path) -> std::shared_ptr<void> {
         return ::mkfifo(path.c_str(), 0666) == 0 ? std::make_shared<int>(0) : nullptr;
       }},
  };
  for (const char* name : {"isid_choice.lock", "savetgt.txt.lock"}) {
    for (const Plant& p : plants) {
      SCOPED_TRACE(std::string(name) + ": " + p.what);
      if (p.needs_root && ::geteuid() != 0) continue;
      ::unlink(lock(name).c_str());
      const std::shared_ptr<void> left = p.leave(lock(name));
      ASSERT_NE(left, nullptr);
      sim_.journal_clear();
      EXPECT_STATUS(login(), 336, refused(name));
      EXPECT_EQ(sent(), 0);
      EXPECT_EQ(tag_at(target_path(kGen3Lhba, 0) + "/Session0"), kMissing);
      EXPECT_FALSE(root_.exists("/elsewhere")) << "a lock file was made where the link points";
      ::unlink(lock(name).c_str());
    }
  }
  ASSERT_EQ(login(), 0u) << "once they are gone";
}

// A logout holds its session's qualifier through the section before its logout command: a lock file
// that cannot be used refuses it with its text before anything is sent, and the session stays.
TEST_F(LockFiles, ALogoutThatCannotHoldItsQualifierSendsNothing) {
  ASSERT_EQ(login(), 0u);
  ::unlink(lock("isid_choice.lock").c_str());
  ASSERT_EQ(::symlink(root_.at("/elsewhere").c_str(), lock("isid_choice.lock").c_str()), 0);
  sim_.journal_clear();
  EXPECT_STATUS(logout(), 336, refused("isid_choice.lock"));
  int logouts = 0;
  for (const vxsim_journal_entry& e : sim_.commands()) logouts += e.subsystem == 6 && (e.opcode == 24 || e.opcode == 28);
  EXPECT_EQ(logouts, 0);
  EXPECT_EQ(cached_at(target_path(kGen3Lhba, 0) + "/Session0/SessionStatus"), "Open");
  ASSERT_EQ(::unlink(lock("isid_choice.lock").c_str()), 0);
  EXPECT_EQ(logout(), 0u) << "once it is gone";
}

// The directory of the ISID claims is held like the lock files: made 0700 and set back to 0700 when
// it is this user's and wider (another user could delete a live claim in it); a link, another
// user's directory or a file at its name is refused before anything is sent, with a text that
// names the directory and the reason.
TEST_F(LockFiles, TheClaimsDirectoryIsItsUsersAlone) {
  const std::string dir = lock("isid_claims");
  ASSERT_EQ(login(), 0u);
  EXPECT_EQ(mode_of("isid_claims"), 0700u);
  ASSERT_EQ(logout(), 0u);
  ASSERT_EQ(::chmod(dir.c_str(), 0777), 0);
  ASSERT_EQ(login(), 0u);
  EXPECT_EQ(mode_of("isid_claims"), 0700u);
  ASSERT_EQ(logout(), 0u);

  char text[600];
  std::snprintf(text, sizeof text, vx::msg::kLiveDirRefused, "isid_claims");
  const std::string elsewhere = root_.at("/elsewhere");
  ASSERT_EQ(::mkdir(elsewhere.c_str(), 0700), 0);
  struct Plant {
    const char* what;
    bool needs_root;
    std::function<bool()> leave;
  };
  const Plant plants[] = {
      {"a link", false, [&] { return ::symlink(elsewhere.c_str(), dir.c_str()) == 0; }},
      {"another user's directory", true,
       [&] { return ::mkdir(dir.c_str(), 0777) == 0 && ::chown(dir.c_str(), kOtherUser, kOtherUser) == 0; }},
      {"a file", false,
       [&] {
         root_.write(std::string(kScratch) + "isid_claims", "x");
         return true;
       }},
  };
  for (const Plant& p : plants) {
    SCOPED_TRACE(p.what);
    if (p.needs_root && ::geteuid() != 0) continue;
    ASSERT_EQ(::rmdir(dir.c_str()), 0);
    ASSERT_TRUE(p.leave());
    sim_.journal_clear();
    EXPECT_STATUS(login(), 336, text);
    EXPECT_EQ(sent(), 0);
    EXPECT_EQ(tag_at(target_path(kGen3Lhba, 0) + "/Session0"), kMissing);
    EXPECT_EQ(::rmdir(elsewhere.c_str()), 0) << "something was made where the link points";
    ASSERT_EQ(::mkdir(elsewhere.c_str(), 0700), 0);
    ASSERT_TRUE(::unlink(dir.c_str()) == 0 || ::rmdir(dir.c_str()) == 0);
    ASSERT_EQ(::mkdir(dir.c_str(), 0700), 0);
  }
  ASSERT_EQ(login(), 0u) << "once they are gone";
}

}  // namespace
}  // namespace vxtest
