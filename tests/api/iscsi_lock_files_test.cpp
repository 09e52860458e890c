// The lock files of the ISID choice and of the saved targets are their user's alone: made 0600 (one
// of the user's own found wider is made so), and anything left at their name (another user's file,
// held with a lock; a link; a FIFO) is refused at once with the saved-file status and a text that
// names it, before anything is sent to the adapter.
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

}  // namespace
}  // namespace vxtest
