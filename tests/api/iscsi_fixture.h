// The iSCSI lab (examples/iscsi-lab.json: a generation-3 and a generation-5 adapter and a network
// of remote targets) started through the public calls, with the simulator's iSCSI controls.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "engine/messages.h"
#include "platform/file_store.h"
#include "sim/vxsim_control.h"
#include "tests/api/lab_fixture.h"
#include "tests/api/startup_fixture.h"

namespace vxtest {

constexpr const char* kGen3Lhba = "Vexalon0/iSCSIPhysicalHBA0/LogicalHBA0";
constexpr const char* kGen5Lhba = "Vexalon1/iSCSIPhysicalHBA0/LogicalHBA0";
constexpr const char* kOpenTarget = "iqn.2026-01.com.example:store.open";
constexpr const char* kChapTarget = "iqn.2026-01.com.example:store.chap";
constexpr const char* kCrcTarget = "iqn.2026-01.com.example:store.crc";
constexpr const char* kGen3Initiator = "iqn.1990-07.com.quillmarchant:bl3202a0001";
constexpr const char* kSavedTargets = "/scratch/Talvix/savetgt.txt";

// Every value of the tree below `tag`, read through its handler. Left out: the statistics that the
// firmware counts (logins, commands), and the group tag of a static target's portal, which shows 0
// until the firmware reports the target's portal groups at the next start.
inline std::string walk(uint32_t tag = 0, const std::string& path = "") {
  std::string out;
  for (uint32_t p : children_of(tag, VARU_KIND_PROPERTY)) {
    const std::string name = name_of(p, VARU_KIND_PROPERTY);
    if (name == "PortalGroupTag") continue;
    out += path + "/" + name + "=" + value_of(tag, name.c_str()) + "\n";
  }
  for (uint32_t g : children_of(tag, VARU_KIND_GROUP)) {
    const std::string name = name_of(g, VARU_KIND_GROUP);
    if (name == "iSCSIStatistics" || name == "iSCSISessionStatistics") continue;
    out += walk(g, path + "/" + name);
  }
  return out;
}

// The registrations of the open target that the generation-3 adapter's simulated firmware keeps,
// read from its state under VXIMA_ROOT, as "<iSCSI port> <ISID qualifier> ImmediateData=<Yes|No>"
// (port 0 is PCI function 2, port 1 function 3), in the order of the ports.
inline std::vector<std::string> registrations() {
  std::vector<std::string> out;
  for (const char* port : {"0", "1"}) {
    std::ifstream in(std::string(std::getenv("VXIMA_ROOT")) + "/var/lib/vxsim/BL3202A0001/records/iscsi-003.00." +
                     (port[0] == '0' ? "2" : "3"));
    std::stringstream text;
    text << in.rdbuf();
    if (text.str().empty()) continue;
    const nlohmann::json state = nlohmann::json::parse(text.str());
    for (const nlohmann::json& p : state.at("persistent")) {
      if (p.at("target") != kOpenTarget) continue;
      char isid[8];
      std::snprintf(isid, sizeof isid, "%04x", p.at("isid").get<unsigned>());
      const unsigned first_byte = std::stoul(p.at("options").get<std::string>().substr(0, 2), nullptr, 16);
      out.push_back(std::string(port) + " " + isid + " ImmediateData=" + ((first_byte & 2) != 0 ? "Yes" : "No"));
    }
  }
  return out;
}

// The text of a hold that another process's claim of `isid` (of the open target) refuses.
inline std::string claimed_elsewhere(unsigned isid) {
  char text[600];
  std::snprintf(text, sizeof text, vx::msg::kIsidClaimedElsewhere, isid);
  return text;
}

// A claim of `target`'s qualifier `isid` for `initiator` in the claims directory `dir`, made as
// another process's stands while `file` lasts; false when it cannot be made.
inline bool claim_as_another(vx::file_store::LiveFile* file, const std::string& dir, unsigned isid,
                             const char* initiator, const char* target = kOpenTarget) {
  return file->make(dir, std::to_string(isid) + '\0' + initiator + '\0' + target);
}

constexpr const char* kRestartFlag = "VXIMA_RESTART_CHILD";
constexpr const char* kRestartWalk = "/cfg/restart-walk.txt";

class IscsiLab : public StartupTest {
 protected:
  void SetUp() override {
    use_example("iscsi-lab.json");
    session_control_ = reinterpret_cast<decltype(session_control_)>(vx::simulator_symbol("vxsim_session_control"));
    lun_read_ = reinterpret_cast<decltype(lun_read_)>(vx::simulator_symbol("vxsim_lun_read"));
    ASSERT_NE(session_control_, nullptr);
    ASSERT_NE(lun_read_, nullptr);
    ASSERT_EQ(start(), 0u);
  }

  // AddTarget on a logical HBA; a NULL port or boot flag is a parameter not given.
  uint32_t add_target(const char* lhba, const char* name, const char* address, const char* port = nullptr,
                      const char* boot = nullptr) {
    return act(tag_at(lhba), "AddTarget", {name, address, port, boot});
  }
  std::string target_path(const char* lhba, int n) const { return std::string(lhba) + "/Target" + std::to_string(n); }
  std::string saved() const { return root_.read(kSavedTargets); }
  int session_control(const char* target, int action) { return session_control_(target, action); }
  // A new process on this root, once this one has stopped, shows the tree at `path` value for value
  // as this one shows it now (RestartChild.ShowsTheSameTree compares).
  void expect_same_after_restart(const std::string& path);
  std::vector<uint8_t> lun_blocks(const char* target, uint32_t lun, uint64_t lba, uint32_t blocks, uint32_t size) {
    std::vector<uint8_t> out(static_cast<size_t>(blocks) * size);
    const int64_t n = lun_read_(target, lun, lba, blocks, out.data(), static_cast<uint32_t>(out.size()));
    out.resize(n < 0 ? 0 : static_cast<size_t>(n));
    return out;
  }

 private:
  int (*session_control_)(const char*, int) = nullptr;
  int64_t (*lun_read_)(const char*, uint32_t, uint64_t, uint32_t, void*, uint32_t) = nullptr;
};

// Starts this test program again with only the named test, `flag` set in its environment, as a
// second process on the same root (another client, or the one after a host restart); its pid.
inline pid_t spawn_child(const char* test, const char* flag) {
  char self[4096] = {};
  if (::readlink("/proc/self/exe", self, sizeof self - 1) <= 0) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::setenv(flag, "1", 1);
    std::string filter = std::string("--gtest_filter=") + test;
    char* argv[] = {self, filter.data(), nullptr};   // its own path: the simulated adapter is found beside it
    ::execv(self, argv);
    ::_exit(127);
  }
  return pid;
}

// The child's exit status, -1 when it did not exit.
inline int wait_child(pid_t pid) {
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline int run_child(const char* test, const char* flag) { return wait_child(spawn_child(test, flag)); }

inline void IscsiLab::expect_same_after_restart(const std::string& path) {
  root_.write(kRestartWalk, path + "\n" + walk(tag_at(path)));
  stop();
  EXPECT_EQ(run_child("RestartChild.ShowsTheSameTree", kRestartFlag), 0) << path;
}

// A block of a remote LUN never written: byte i of block b is (b * 31 + i) % 251 + 1.
inline bool untouched(const uint8_t* block, uint64_t lba, uint32_t size) {
  for (uint32_t i = 0; i < size; ++i) {
    if (block[i] != static_cast<uint8_t>((lba * 31 + i) % 251 + 1)) return false;
  }
  return true;
}

}  // namespace vxtest
