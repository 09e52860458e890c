// The lock files of the ISID choice and of the saved targets are their user's alone: made 0600 (one
// of the user's own found wider is made so), and anything left at their name (another user's file,
// held with a lock; a link; a FIFO) is refused at once with the saved-file status and a text that
// names it, before anything is sent to the adapter. So is the directory of the ISID claims. A closed
// session whose qualifier cannot be held (such a lock file, or another process's claim of it) is left
// as it was.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "access/fw_commands.h"
#include "engine/messages.h"
#include "platform/file_store.h"
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

// The commands of the journal that change something (every row of their opcode and subsystem
// sends something to be written), as "opcode/subsystem".
std::vector<std::string> changes_sent(const SimControls& sim) {
  std::vector<std::string> out;
  for (const vxsim_journal_entry& e : sim.commands()) {
    bool rows = false;
    bool writes = true;
    for (const vx::FwCommand& c : vx::kFwCommands) {
      if (c.opcode != e.opcode || c.subsystem != e.subsystem) continue;
      rows = true;
      writes = writes && (c.direction == 2 || c.direction == 3);
    }
    if (rows && writes) out.push_back(std::to_string(e.opcode) + "/" + std::to_string(e.subsystem));
  }
  return out;
}

// A closed session whose qualifier cannot be held stays as it was: its logout, the delete of its
// target and a change of the target's login options (which registers it again) are each refused
// before anything is sent or changed, with the lock file's text, or with the claim's when another
// process claims the qualifier (here a claim that stands as another process's would). A boot
// session on generation 5 keeps its boot setting and its boot target in the flash region; a plain
// one on generation 3 its registration and record, and the target its options.
TEST_F(LockFiles, AClosedSessionWhoseQualifierCannotBeHeldStaysAsItWas) {
  const std::string region3 = "/var/lib/vxsim/BL5202B0007/objects/%2Fiscsidata%2FPort0%2FInstance0%2FRegion3";
  ASSERT_EQ(login(), 0u);
  ASSERT_EQ(add_target(kGen5Lhba, kOpenTarget, "10.0.0.5", nullptr, "True"), 0u);
  ASSERT_EQ(session_control(kOpenTarget, VXSIM_SESSION_CLOSE), 2);
  const std::string records = saved();
  ASSERT_EQ(registrations(), std::vector<std::string>{"0 0000 ImmediateData=Yes"});
  ASSERT_NE(root_.read(region3).find(kOpenTarget), std::string::npos);
  struct Refusal {
    const char* what;
    std::string text;
    std::function<std::shared_ptr<void>()> leave;   // what refuses, for as long as it lasts
  };
  const Refusal refusals[] = {
      {"a link at the section's lock file", refused("isid_choice.lock"),
       [&]() -> std::shared_ptr<void> {
         auto link = std::make_shared<std::string>(lock("isid_choice.lock"));
         ::unlink(link->c_str());
         if (::symlink(root_.at("/elsewhere").c_str(), link->c_str()) != 0) return nullptr;
         return std::shared_ptr<void>(link.get(), [link](void*) { ::unlink(link->c_str()); });
       }},
      {"another process's claim", claimed_elsewhere(0),
       [&]() -> std::shared_ptr<void> {
         auto claims = std::make_shared<std::vector<std::unique_ptr<vx::file_store::LiveFile>>>();
         for (const char* initiator : {kGen3Initiator, "iqn.1990-07.com.quillmarchant:bl5202b0007"}) {
           claims->push_back(std::make_unique<vx::file_store::LiveFile>());
           if (!claim_as_another(claims->back().get(), lock("isid_claims"), 0, initiator)) return nullptr;
         }
         return claims;
       }},
  };
  const auto logout_of = [](const std::string& target) { return act(tag_at(target), "Logout", {}); };
  const auto delete_of = [](const std::string& target) {
    return act(tag_at(target.substr(0, target.rfind('/'))), "DeleteTarget", {"0"});
  };
  const auto change_options_of = [](const std::string& target) {
    return set_value(tag_at(target + "/TargetLoginOptions"), "ImmediateData", "No");
  };
  struct Step {
    const char* what;
    const char* lhba;
    std::function<uint32_t(const std::string& target)> run;
  };
  const Step steps[] = {
      {"logout", kGen5Lhba, logout_of},          {"DeleteTarget", kGen5Lhba, delete_of},
      {"logout", kGen3Lhba, logout_of},          {"DeleteTarget", kGen3Lhba, delete_of},
      {"option change", kGen3Lhba, change_options_of},
  };
  for (const Refusal& r : refusals) {
    const std::shared_ptr<void> left = r.leave();
    ASSERT_NE(left, nullptr) << r.what;
    for (const Step& step : steps) {
      SCOPED_TRACE(std::string(r.what) + ": " + step.what + " on " + step.lhba);
      const std::string target = target_path(step.lhba, 0);
      sim_.journal_clear();
      EXPECT_STATUS(step.run(target), 336, r.text);
      EXPECT_EQ(changes_sent(sim_), std::vector<std::string>{});
      EXPECT_EQ(value_at(target + "/TargetISCSIName"), kOpenTarget) << "the target is kept";
      EXPECT_EQ(value_at(target + "/Session0/SessionStatus"), "Closed");
      EXPECT_EQ(value_at(target + "/Session0/Persistent"), "True");
      EXPECT_EQ(value_at(target + "/TargetLoginOptions/ImmediateData"), "Yes");
      EXPECT_EQ(value_at(target_path(kGen5Lhba, 0) + "/Session0/iSCSIBoot"), "True");
      EXPECT_NE(root_.read(region3).find(kOpenTarget), std::string::npos) << "the boot target left the flash region";
      EXPECT_EQ(registrations(), std::vector<std::string>{"0 0000 ImmediateData=Yes"});
      EXPECT_EQ(saved(), records);
    }
  }
  EXPECT_EQ(act(tag_at(target_path(kGen5Lhba, 0)), "Logout", {}), 0u) << "once nothing refuses";
  EXPECT_EQ(root_.read(region3).find(kOpenTarget), std::string::npos);
  EXPECT_EQ(act(tag_at(kGen3Lhba), "DeleteTarget", {"0"}), 0u);
  EXPECT_EQ(registrations(), std::vector<std::string>{});
}

// Every idle session's qualifier is held before the first of them changes: with two idle sessions
// of a target, another process's claim of the second's refuses the delete of the target and the
// change of its options before the first is withdrawn.
TEST_F(LockFiles, AClaimOnOneOfTwoIdleSessionsChangesNeither) {
  const std::string target = target_path(kGen3Lhba, 0);
  ASSERT_EQ(login(), 0u);
  ASSERT_EQ(act(tag_at(target), "AddTargetPortal", {"10.0.0.5", "3262"}), 0u);
  ASSERT_EQ(session_control(kOpenTarget, VXSIM_SESSION_CLOSE), 2);
  ASSERT_EQ(value_at(target + "/Session0/SessionStatus"), "Closed");
  ASSERT_EQ(value_at(target + "/Session1/SessionStatus"), "Closed");
  ASSERT_EQ(value_at(target + "/Session1/ISIDQualifier"), "0001");
  const std::vector<std::string> registered = registrations();
  const std::string records = saved();
  vx::file_store::LiveFile claim;
  ASSERT_TRUE(claim_as_another(&claim, lock("isid_claims"), 1, kGen3Initiator));
  const std::string text = claimed_elsewhere(1);
  sim_.journal_clear();
  EXPECT_STATUS(act(tag_at(kGen3Lhba), "DeleteTarget", {"0"}), 336, text);
  EXPECT_STATUS(set_value(tag_at(target + "/TargetLoginOptions"), "ImmediateData", "No"), 336, text);
  EXPECT_EQ(changes_sent(sim_), std::vector<std::string>{});
  EXPECT_EQ(registrations(), registered);
  EXPECT_EQ(saved(), records);
  EXPECT_EQ(value_at(target + "/TargetLoginOptions/ImmediateData"), "Yes");
  EXPECT_EQ(value_at(target + "/Session0/SessionStatus"), "Closed");
}

// A claim is of a qualifier for one target name and one initiator name: other processes' claims of
// the session's own number for another initiator name and for another target name refuse neither
// the change of the target's options (which holds its idle session's qualifier) nor the logout
// that follows (which holds it again).
TEST_F(LockFiles, ClaimsOfTheQualifierUnderOtherNamesRefuseNoHold) {
  const std::string target = target_path(kGen3Lhba, 0);
  ASSERT_EQ(login(), 0u);
  ASSERT_EQ(session_control(kOpenTarget, VXSIM_SESSION_CLOSE), 1);
  ASSERT_EQ(value_at(target + "/Session0/SessionStatus"), "Closed");
  ASSERT_EQ(registrations(), std::vector<std::string>{"0 0000 ImmediateData=Yes"});
  vx::file_store::LiveFile other_initiator;
  vx::file_store::LiveFile other_target;
  ASSERT_TRUE(claim_as_another(&other_initiator, lock("isid_claims"), 0, "iqn.2026-01.com.example:another.host"));
  ASSERT_TRUE(claim_as_another(&other_target, lock("isid_claims"), 0, kGen3Initiator, kChapTarget));
  EXPECT_EQ(set_value(tag_at(target + "/TargetLoginOptions"), "ImmediateData", "No"), 0u)
      << last_status().code << " " << last_status().text;
  EXPECT_EQ(value_at(target + "/TargetLoginOptions/ImmediateData"), "No");
  EXPECT_EQ(registrations(), std::vector<std::string>{"0 0000 ImmediateData=No"});
  EXPECT_EQ(logout(), 0u) << last_status().code << " " << last_status().text;
  EXPECT_EQ(tag_at(target + "/Session0"), kMissing);
  EXPECT_EQ(registrations(), std::vector<std::string>{});
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
