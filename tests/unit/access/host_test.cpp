// The host layer against a temporary root: locks across processes, shell commands (through a
// scripted stand-in for system()), compression, start-up directories and the firmware download;
// and the controller queries of the ancestor walks, on a controller built from the schema.
#include "access/host.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "access/backend_state.h"
#include "platform/platform.h"
#include "access/walks.h"
#include "schema/controller.h"
#include "schema/iscsi_phba.h"
#include "schema/nic_hba.h"
#include "unit/engine/tree_helpers.h"
#include "engine/messages.h"

namespace vxtest {
namespace {

// Each rule answers the first command that contains `match`: it writes `output` into the file named
// after the command's last "> " (or "2> ") and exits with `exit_code`; anything unscripted fails.
struct ShellRule {
  std::string match;
  int exit_code;
  std::string output = "";
  std::string redirect = "> ";
};
std::vector<ShellRule> g_rules;
std::vector<std::string> g_commands;

int fake_system(const char* command) {
  const std::string cmd(command);
  g_commands.push_back(cmd);
  for (const ShellRule& rule : g_rules) {
    if (cmd.find(rule.match) == std::string::npos) continue;
    const std::string path = cmd.substr(cmd.rfind(rule.redirect) + rule.redirect.size());
    if (FILE* f = rule.output.empty() ? nullptr : std::fopen(path.substr(0, path.find(' ')).c_str(), "w")) {
      std::fputs(rule.output.c_str(), f);
      std::fclose(f);
    }
    return rule.exit_code < 0 ? -rule.exit_code : rule.exit_code << 8;   // negative: a raw status
  }
  return 1 << 8;
}

class HostTest : public TreeFixture {
 protected:
  void SetUp() override {
    TreeFixture::SetUp();
    ASSERT_TRUE(vx::make_dirs(temp_root.at("/tmp")) && vx::make_dirs(temp_root.at("/var/run")));
    g_rules.clear();
    g_commands.clear();
  }
  bool ran(const std::string& text) const {
    for (const std::string& c : g_commands) {
      if (c.find(text) != std::string::npos) return true;
    }
    return false;
  }
  mode_t mode_of(const std::string& absolute) const {
    struct stat st {};
    return ::stat(temp_root.at(absolute).c_str(), &st) != 0 ? 07777 : st.st_mode & 07777;
  }
  vx::ScopedHostOp<int (*)(const char*)> shell{&vx::HostOps::system, fake_system};
};

constexpr const char* kPid = "/var/run/varuflash.pid";
int child_locks() { return in_child([] { return vx::VARU_cmd_lock(kPid) == vx::kCmdLockFailed ? 0 : 1; }); }

// The whole-file lock and the command lock keep other processes out; the guards release on every
// path, and the command lock never hands out the failure value as a descriptor.
TEST_F(HostTest, LocksKeepOtherProcessesOut) {
  temp_root.write("/scratch/Talvix/savetgt.txt", "");
  const std::string path = temp_root.at("/scratch/Talvix/savetgt.txt");
  auto other_can_lock = [&path] {
    return in_child([&path] {
      struct flock fl {};
      fl.l_type = F_WRLCK;
      const int fd = ::open(path.c_str(), O_RDWR);
      return fd >= 0 && ::fcntl(fd, F_SETLK, &fl) == 0 ? 1 : 0;
    });
  };
  FILE* f = vx::VARU_file_open("/scratch/Talvix/savetgt.txt", "a");
  ASSERT_NE(f, nullptr);
  {
    vx::FileLockGuard guard(f);
    EXPECT_TRUE(guard.held());
    EXPECT_EQ(other_can_lock(), 0);
  }
  EXPECT_EQ(other_can_lock(), 1);
  vx::VARU_file_close(f);
  EXPECT_EQ(vx::varu_lock_file(nullptr), 1u);

  EXPECT_EQ(child_locks(), 1) << "the child dies holding it: the pid file stays, the lock does not";
  std::vector<int> fillers;   // every free descriptor below 255 taken: the pid file would open as 255
  for (int fd = 3; fd < 255; ++fd) {
    if (::fcntl(fd, F_GETFD) == -1) fillers.push_back(::open("/dev/null", O_RDONLY));
  }
  const int32_t fd = vx::VARU_cmd_lock(kPid);
  for (int filler : fillers) ::close(filler);
  ASSERT_NE(fd, vx::kCmdLockFailed);
  EXPECT_EQ(child_locks(), 0) << "a second holder is refused";
  EXPECT_EQ(vx::VARU_cmd_unlock(0, kPid), vx::kCmdLockFailed);
  EXPECT_EQ(vx::VARU_cmd_unlock(fd, kPid), 0);
  EXPECT_EQ(vx::VARU_cmd_lock("/no/such/dir/x.pid"), vx::kCmdLockFailed);
  {
    vx::CmdLockGuard held(kPid);   // an error path that returns without unlocking
    ASSERT_TRUE(held.held());
    EXPECT_EQ(child_locks(), 0);
  }
  EXPECT_FALSE(temp_root.exists(kPid));
  EXPECT_EQ(child_locks(), 1);
}

void set_interface(int32_t handle, const char* name) {
  vx::VaruGlobGuard guard;
  std::snprintf(vx::varu_glob.nic_ifname[handle - 1], vx::kIfNameSize, "%s", name);
}

TEST_F(HostTest, ShellStatusQuotingAndInterfaceNames) {
  const std::pair<int, int32_t> statuses[] = {{0, 0}, {-(1 << 8), 1}, {-(255 << 8), 255}, {-9, -1}};   // 9: signal
  for (const auto& [raw, want] : statuses) {
    g_rules = {{"cmd", raw}};
    EXPECT_EQ(vx::run_shell("cmd"), want) << raw;
  }
  const std::pair<std::string, std::string> quotes[] = {
      {"/tmp/a-b_c.txt", "/tmp/a-b_c.txt"}, {"a b", "'a b'"}, {"it's", "'it'\\''s'"}, {"", "''"},
      {"$(reboot)", "'$(reboot)'"}, {"a;b", "'a;b'"}, {"`x`", "'`x`'"},
      {std::string("a\0b", 3), std::string("'a\0b'", 5)}};
  for (const auto& [text, want] : quotes) EXPECT_EQ(vx::shell_quote(text), want) << text;
  const std::pair<const char*, bool> names[] = {
      {"vmnic0", true}, {"eth0.100", true}, {"abcdefghijklmno", true}, {"vmnic0;reboot", false}, {"", false},
      {"a b", false},   {"-x", false},      {"abcdefghijklmnop", false}, {"$(x)", false},       {nullptr, false}};
  for (const auto& [name, ok] : names) EXPECT_EQ(vx::is_interface_name(name), ok) << (name ? name : "NULL");
  set_interface(3, "vm;reboot");
  char bus[256], function[256];
  uint32_t domain = 0;
  g_commands.clear();
  for (int32_t handle : {3, 0, 129}) EXPECT_EQ(vx::VARU_backend_client_nic_bdf(handle, bus, function, &domain), 1u);
  EXPECT_TRUE(g_commands.empty()) << "an unsafe name never reaches the shell";
}

// Output files live in "/tmp", where anyone may plant a link at their names: each command writes
// into a file of its own, and nothing is left behind.
TEST_F(HostTest, CommandOutputNeverGoesThroughAPlantedName) {
  temp_root.write("/victim", "kept\n");
  ASSERT_EQ(::symlink(temp_root.at("/victim").c_str(), temp_root.at("/tmp/kernelname").c_str()), 0);
  g_rules = {{"uname -r", 0, "3.10.0-957\n"}};
  EXPECT_EQ(vx::find_os_distribution(), 17);
  EXPECT_EQ(g_commands.at(0).find("/tmp/kernelname "), std::string::npos) << g_commands.at(0);
  EXPECT_EQ(temp_root.read("/victim"), "kept\n");
  std::vector<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(temp_root.at("/tmp"))) left.push_back(e.path().filename());
  EXPECT_EQ(left, std::vector<std::string>{"kernelname"}) << "only the planted link";
}

TEST_F(HostTest, CompressionRoundTripAndCleanFailures) {
  std::vector<uint8_t> data(70000);
  std::mt19937 rng(42);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>((i % 64 < 32) ? i % 7 : rng() & 0xFF);
  EXPECT_EQ(vx::GetMaxCompressedLen(0xFFFFFFFFu), 0u) << "no room formula overflows";
  std::vector<uint8_t> packed(vx::GetMaxCompressedLen(70000)), out(70001);
  for (uint32_t n : {1u, 5000u, 70000u}) {
    const uint32_t len = vx::CompressData(data.data(), n, packed.data(), vx::GetMaxCompressedLen(n));
    ASSERT_NE(len, vx::kCompressFailed) << n;
    EXPECT_EQ(vx::UncompressData(packed.data(), len, out.data(), n + 1), n);
    EXPECT_TRUE(std::equal(data.begin(), data.begin() + n, out.begin())) << n;
  }
  const uint32_t len = vx::CompressData(data.data(), 5000, packed.data(), vx::GetMaxCompressedLen(5000));
  EXPECT_EQ(vx::CompressData(data.data(), 5000, packed.data(), 10), vx::kCompressFailed) << "no room";
  EXPECT_EQ(vx::CompressData(data.data(), 0, packed.data(), vx::GetMaxCompressedLen(0)), vx::kCompressFailed);
  EXPECT_EQ(vx::UncompressData(packed.data(), len, out.data(), 100), vx::kCompressFailed) << "output too small";
  EXPECT_EQ(vx::UncompressData(packed.data(), len / 2, out.data(), 5000), vx::kCompressFailed) << "truncated";
  for (size_t i = 2; i < len; i += 3) packed[i] ^= 0x5A;
  EXPECT_EQ(vx::UncompressData(packed.data(), len, out.data(), 5000), vx::kCompressFailed) << "damaged";
  EXPECT_EQ(vx::CompressData(nullptr, 10, out.data(), 100), vx::kCompressFailed);
  EXPECT_EQ(vx::UncompressData(nullptr, 10, out.data(), 100), vx::kCompressFailed);
}

TEST_F(HostTest, StartUpDirectoriesAreSearchableAndSecretsPrivate) {
  temp_root.write("/scratch/Talvix/savetgt.txt", "x\n");
  temp_root.write("/scratch/Talvix/savestp.txt", "y\n");
  ::chmod(temp_root.at("/scratch/Talvix").c_str(), 0700);
  ::chmod(temp_root.at("/scratch").c_str(), 0711);
  EXPECT_EQ(vx::VARU_config_dir_permssions(), vx::kHostClassic);
  EXPECT_EQ(mode_of("/scratch"), 0711u) << "an existing /scratch/ is left as it is";
  EXPECT_EQ(mode_of("/scratch/Talvix"), 0755u);
  EXPECT_EQ(mode_of("/scratch/Talvix/savetgt.txt"), 0600u) << "CHAP secrets";
  EXPECT_EQ(mode_of("/scratch/Talvix/savestp.txt"), 0600u);
  temp_root.write("/etc/banner", "ESXi\n");
  EXPECT_EQ(vx::VARU_config_dir_permssions(), vx::kHostEmbedded);
  EXPECT_TRUE(g_commands.empty()) << "no shell for directories";
}

class FirmwareDownloadTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    set_interface(1, "vmnic3");
    controller = vx::initialize_Vexalon(root, nullptr, nullptr, nullptr);
    vx::varu_set_last_status(0, "");
  }
  uint32_t download(const char* image, int32_t handle = 1) {
    g_commands.clear();
    return vx::VARU_firmware_download(controller, handle, 3, image);
  }
  hm_node* controller = nullptr;
};

TEST_F(FirmwareDownloadTest, ThroughEthtool) {
  g_rules = {{"ifconfig vmnic3 2> /dev/null | grep UP", 0}, {"ethtool -h", 0}, {"rm -rf", 0}, {"getenforce", 1},
             {"ethtool -f vmnic3 fw.ufi", 0}};
  EXPECT_EQ(download("/images/fw.ufi"), 0u);
  EXPECT_EQ(last_status().text, vx::msg::kFirmwareUpdatedReboot);
  EXPECT_TRUE(ran("cp /images/fw.ufi " + temp_root.at("/lib/firmware")));
  EXPECT_FALSE(ran("setenforce") || ran("ifconfig vmnic3 down"));
  // Exit status 255: the error text tells a two-pass firmware from a failure.
  g_rules.back() = {"ethtool -f", 255, "ethtool: Resource temporarily unavailable\n", "2> "};
  EXPECT_EQ(download("/images/fw.ufi"), vx::kStatusTwoPassFirmware);
  EXPECT_EQ(last_status().text, vx::msg::kFirmwareTwoPass);
  EXPECT_FALSE(temp_root.exists("/tmp/m_flash.txt"));
  g_rules.back().output = "something else\n";
  EXPECT_STATUS(download("/images/fw.ufi"), 166, vx::msg::kFirmwareUpgradeFailed);
  // A failure on an interface that was down brings it down again, and enforcement back on.
  g_rules = {{"grep UP", 1}, {"ifconfig", 0}, {"ethtool -h", 0}, {"rm -rf", 0}, {"enforce", 0}, {"ethtool -f", 3}};
  EXPECT_STATUS(download("/images/fw.ufi"), 166, vx::msg::kFirmwareUpgradeFailed);
  EXPECT_TRUE(ran("setenforce 0") && ran("setenforce 1") && ran("ifconfig vmnic3 down > /dev/null"));
}

TEST_F(FirmwareDownloadTest, CallerTextNeverReachesTheShellUnquoted) {
  g_rules = {{"grep UP", 0}, {"ethtool -h", 0}, {"rm -rf", 0}, {"ethtool -f", 0}};
  EXPECT_EQ(download("/tmp/a'b;reboot x.ufi"), 0u);
  EXPECT_TRUE(ran("cp '/tmp/a'\\''b;reboot x.ufi' "));
  EXPECT_TRUE(ran("ethtool -f vmnic3 'a'\\''b;reboot x.ufi' "));
  EXPECT_EQ(download("/images/.."), 1u);
  EXPECT_FALSE(ran("rm -rf")) << "a name that climbs out of the firmware directory is refused";
  set_interface(2, "vmnic0;reboot");
  EXPECT_EQ(download("/images/fw.ufi", 2), 1u);
  EXPECT_TRUE(g_commands.empty());
  EXPECT_EQ(download(nullptr), 1u);
}

uint32_t unreadable(hm_node*, char*, uint32_t) { return 1; }

class WalksTest : public TreeFixture {
 protected:
  void SetUp() override {
    TreeFixture::SetUp();
    controller = vx::initialize_Vexalon(root, nullptr, nullptr, nullptr);
    phba = vx::initialize_iSCSIPhysicalHBA(controller, nullptr, nullptr, nullptr);
    nic = vx::initialize_NICPhysicalHBA(controller, nullptr, nullptr, nullptr);
    ASSERT_TRUE(controller && phba && nic);
  }
  hm_node* pci(hm_node* function) { return vx::internal_get_node(function, "PCI", kGroup); }
  hm_node* controller = nullptr;
  hm_node* phba = nullptr;
  hm_node* nic = nullptr;
};

// The generation comes from the first iSCSI function's device ID, else the NIC function's; 1 with
// status 163 when none can be read.
TEST_F(WalksTest, GenerationFromTheDeviceId) {
  const std::pair<const char*, uint32_t> rows[] = {
      {"0x210", 2}, {"0x217", 2}, {"0x218", 65535}, {"0x700", 2}, {"0x703", 2}, {"0x704", 65535}, {"0x220", 3},
      {"0x227", 3}, {"0x228", 65535}, {"0x710", 3}, {"0x711", 65535}, {"0x712", 3}, {"0x713", 65535}, {"0x714", 3},
      {"0xE220", 4}, {"e228", 4}, {"0xE221", 65535}, {"0x0720", 5}, {"0x721", 65535}, {"0x722", 5}, {"0x728", 5},
      {"0x730", 6}, {"0x731", 65535}, {"0", 65535}, {"FFFFFFFFFF", 65535}, {"720x", 1}, {"", 1}, {"-720", 1},
      {"0x", 1}, {"zz", 1}};
  vx::set_prop_val(pci(nic), "DeviceID", "0x730");
  for (const auto& [id, want] : rows) {
    vx::varu_set_last_status(0, "");
    vx::set_prop_val(pci(phba), "DeviceID", "%s", id);
    EXPECT_EQ(vx::get_vx_type(controller), want) << id;
    EXPECT_EQ(last_status().code, want == 1 ? 163u : 0u) << id;
  }
  ASSERT_EQ(vx::delete_node(phba), 0u);
  vx::set_prop_val(pci(nic), "DeviceID", "0xE228");
  EXPECT_EQ(vx::get_vx_type(controller), 4u) << "without an iSCSI function";
  vx::property_data(vx::internal_get_node(pci(nic), "DeviceID", kProperty))->handler = unreadable;
  hm_node* empty = vx::initialize_Vexalon(root, nullptr, nullptr, nullptr);
  for (hm_node* node : {controller, empty, static_cast<hm_node*>(nullptr)}) {
    EXPECT_STATUS(vx::get_vx_type(node), 163, vx::msg::kNoControllerType);
  }
}

}  // namespace
}  // namespace vxtest
