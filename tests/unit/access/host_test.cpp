// The host layer against a temporary root: files and locks, identity, time, compression, shell
// commands (through a scripted stand-in for system()), start-up directories and the NIC helpers.
#include "access/host.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "access/backend_state.h"
#include "access/platform.h"
#include "access/walks.h"
#include "access_tree.h"
#include "fake_driver.h"
#include "engine/messages.h"

namespace vxtest::access_tree {
namespace {

// ---- a scripted shell ----------------------------------------------------------------------------
// Each rule answers the first command that contains `match`: it writes `output` into the file named
// after the command's last `redirect` and exits with `exit_code` (a raw status when `raw` is set).
struct ShellRule {
  std::string match;
  int exit_code;
  std::string output;
  std::string redirect = "> ";
  bool raw = false;
};
std::vector<ShellRule> g_rules;
std::vector<std::string> g_commands;

int fake_system(const char* command) {
  std::string cmd(command);
  g_commands.push_back(cmd);
  for (const ShellRule& rule : g_rules) {
    if (cmd.find(rule.match) == std::string::npos) continue;
    if (!rule.output.empty()) {
      size_t at = cmd.rfind(rule.redirect);
      std::string path = cmd.substr(at + rule.redirect.size());
      path = path.substr(0, path.find(' '));
      FILE* f = std::fopen(path.c_str(), "w");
      if (f != nullptr) {
        std::fputs(rule.output.c_str(), f);
        std::fclose(f);
      }
    }
    return rule.raw ? rule.exit_code : rule.exit_code << 8;
  }
  return 1 << 8;   // anything unscripted fails
}

class HostTest : public TreeTest {
 protected:
  void SetUp() override {
    TreeTest::SetUp();
    ASSERT_TRUE(vx::make_dirs(temp_root.at("/tmp")));   // where commands leave their output
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
    if (::stat(temp_root.at(absolute).c_str(), &st) != 0) return 07777;
    return st.st_mode & 07777;
  }
  vx::ScopedHostOp<int (*)(const char*)> shell{&vx::HostOps::system, fake_system};
};

// Runs `fn` in a child process and returns its exit code (what the child saw of a lock).
template <typename Fn>
int in_child(Fn fn) {
  pid_t pid = ::fork();
  if (pid == 0) ::_exit(fn());
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// ---- files and locks -----------------------------------------------------------------------------

TEST_F(HostTest, FileHelpersWorkUnderTheRoot) {
  temp_root.write("/scratch/Talvix/a.txt", "hello\n");
  FILE* f = vx::VARU_file_open("/scratch/Talvix/a.txt", "r");
  ASSERT_NE(f, nullptr);
  char line[16] = "";
  EXPECT_NE(std::fgets(line, sizeof line, f), nullptr);
  EXPECT_STREQ(line, "hello\n");
  vx::VARU_file_close(f);
  vx::VARU_file_close(nullptr);
  EXPECT_EQ(vx::VARU_file_open(nullptr, "r"), nullptr);
  EXPECT_EQ(vx::VARU_file_open("/scratch/Talvix/a.txt", nullptr), nullptr);

  ::chmod(temp_root.at("/scratch/Talvix/a.txt").c_str(), 0666);
  vx::VARU_change_permissions_file("/scratch/Talvix/a.txt");
  EXPECT_EQ(mode_of("/scratch/Talvix/a.txt"), 0644u);
  vx::VARU_change_permissions_file("/scratch/Talvix/a.txt", vx::kSecretFileMode);
  EXPECT_EQ(mode_of("/scratch/Talvix/a.txt"), 0600u);
  vx::VARU_change_permissions_file("/scratch/Talvix/missing.txt");
  EXPECT_FALSE(temp_root.exists("/scratch/Talvix/missing.txt"));

  vx::VARU_delete_file("/scratch/Talvix/a.txt");
  EXPECT_FALSE(temp_root.exists("/scratch/Talvix/a.txt"));
  vx::VARU_delete_file("/scratch/Talvix/a.txt");   // already gone: nothing happens
  vx::VARU_delete_file(nullptr);
}

TEST_F(HostTest, FlashNameIsTheLastComponent) {
  struct Row {
    const char* path;
    size_t size;
    uint32_t want_rc;
    const char* want;
  };
  std::string long_name = "/fw/" + std::string(300, 'x');
  const Row rows[] = {
      {"/a/b/fw.ufi", 256, 0, "fw.ufi"}, {"fw.ufi", 256, 0, "fw.ufi"}, {"/a/b/", 256, 1, ""},
      {long_name.c_str(), 256, 1, ""},    {"/x/abc", 4, 0, "abc"},     {"/x/abcd", 4, 1, ""},
  };
  for (const Row& r : rows) {
    char name[256] = "";
    EXPECT_EQ(vx::get_flash_name(r.path, name, r.size), r.want_rc) << r.path;
    EXPECT_STREQ(name, r.want) << r.path;
  }
  char name[256];
  EXPECT_EQ(vx::get_flash_name(nullptr, name), 1u);
}

// Whether another process can take a write lock on the file right now.
int other_process_can_lock(const std::string& path) {
  return in_child([&path] {
    int fd = ::open(path.c_str(), O_RDWR);
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    return (fd >= 0 && ::fcntl(fd, F_SETLK, &fl) == 0) ? 1 : 0;
  });
}

TEST_F(HostTest, WholeFileLockKeepsOtherProcessesOut) {
  temp_root.write("/scratch/Talvix/savetgt.txt", "");
  std::string path = temp_root.at("/scratch/Talvix/savetgt.txt");
  FILE* f = vx::VARU_file_open("/scratch/Talvix/savetgt.txt", "a");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(vx::varu_lock_file(f), 0u);
  EXPECT_EQ(other_process_can_lock(path), 0);
  EXPECT_EQ(vx::varu_unlock_file(f), 0u);
  EXPECT_EQ(other_process_can_lock(path), 1);
  {
    vx::FileLockGuard guard(f);
    EXPECT_TRUE(guard.held());
    EXPECT_EQ(other_process_can_lock(path), 0);
  }
  EXPECT_EQ(other_process_can_lock(path), 1) << "the guard releases at the end of its scope";
  vx::VARU_file_close(f);
  EXPECT_EQ(vx::varu_lock_file(nullptr), 1u);
  EXPECT_EQ(vx::varu_unlock_file(nullptr), 1u);
  vx::FileLockGuard none(nullptr);
  EXPECT_FALSE(none.held());
}

constexpr const char* kPid = "/var/run/varuflash.pid";

int child_locks() {
  return in_child([] { return vx::VARU_cmd_lock(kPid) == vx::kCmdLockFailed ? 0 : 1; });
}

TEST_F(HostTest, CommandLockHasOneHolderAcrossProcesses) {
  ASSERT_TRUE(vx::make_dirs(temp_root.at("/var/run")));
  EXPECT_EQ(child_locks(), 1) << "the child dies holding it: the pid file stays, the lock does not";
  EXPECT_TRUE(temp_root.exists(kPid));
  int32_t fd = vx::VARU_cmd_lock(kPid);
  ASSERT_NE(fd, vx::kCmdLockFailed);
  EXPECT_GT(fd, 0);
  EXPECT_EQ(child_locks(), 0) << "a second holder is refused";
  EXPECT_EQ(vx::VARU_cmd_unlock(0, kPid), vx::kCmdLockFailed);
  EXPECT_EQ(vx::VARU_cmd_unlock(vx::kCmdLockFailed, kPid), vx::kCmdLockFailed);
  EXPECT_TRUE(temp_root.exists(kPid));
  EXPECT_EQ(vx::VARU_cmd_unlock(fd, kPid), 0);
  EXPECT_FALSE(temp_root.exists(kPid));
  EXPECT_EQ(child_locks(), 1);
  EXPECT_EQ(vx::VARU_cmd_lock("/no/such/dir/x.pid"), vx::kCmdLockFailed);
  EXPECT_EQ(vx::VARU_cmd_lock(nullptr), vx::kCmdLockFailed);
}

// An operation that fails half-way must still leave the lock free.
uint32_t failing_operation() {
  vx::CmdLockGuard lock(kPid);
  if (!lock.held()) return 255;
  return 1;   // an error path: no explicit unlock
}

TEST_F(HostTest, CommandLockGuardReleasesOnErrorPaths) {
  ASSERT_TRUE(vx::make_dirs(temp_root.at("/var/run")));
  EXPECT_EQ(failing_operation(), 1u);
  EXPECT_FALSE(temp_root.exists(kPid));
  EXPECT_EQ(child_locks(), 1);
  vx::CmdLockGuard held(kPid);
  ASSERT_TRUE(held.held());
  EXPECT_EQ(child_locks(), 0);
  EXPECT_EQ(held.release(), 0);
  EXPECT_FALSE(held.held());
  EXPECT_FALSE(temp_root.exists(kPid));
}

TEST_F(HostTest, CommandLockNeverReturnsTheFailureValueAsADescriptor) {
  ASSERT_TRUE(vx::make_dirs(temp_root.at("/var/run")));
  // Occupy every free descriptor below 255 so that the pid file would open as 255.
  std::vector<int> fillers;
  for (int fd = 3; fd < 255; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1) continue;
    int filler = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(filler, 0);
    fillers.push_back(filler);
  }
  int32_t fd = vx::VARU_cmd_lock(kPid);
  for (int filler : fillers) ::close(filler);
  ASSERT_NE(fd, vx::kCmdLockFailed);
  EXPECT_GT(fd, 0);
  EXPECT_EQ(child_locks(), 0);
  EXPECT_EQ(vx::VARU_cmd_unlock(fd, kPid), 0);
}

// ---- shell -----------------------------------------------------------------------------------------

TEST_F(HostTest, ShellExitStatus) {
  struct Row {
    int raw;
    int32_t want;
  };
  const Row rows[] = {{0, 0}, {1 << 8, 1}, {255 << 8, 255}, {-1, -1}, {9, -1} /* killed by a signal */};
  for (const Row& r : rows) {
    g_rules = {{"cmd", r.raw, "", "> ", true}};
    EXPECT_EQ(vx::run_shell("cmd"), r.want) << r.raw;
  }
}

TEST_F(HostTest, ShellQuotingAndInterfaceNames) {
  struct Quote {
    const char* text;
    const char* want;
  };
  const Quote quotes[] = {{"abc", "abc"},           {"/tmp/a-b_c.txt", "/tmp/a-b_c.txt"}, {"a b", "'a b'"},
                          {"it's", "'it'\\''s'"},   {"", "''"},                           {"$(reboot)", "'$(reboot)'"},
                          {"a;b", "'a;b'"},         {"`x`", "'`x`'"}};
  for (const Quote& q : quotes) EXPECT_EQ(vx::shell_quote(q.text), q.want) << q.text;
  EXPECT_EQ(vx::shell_quote(std::string("a\0b", 3)), std::string("'a\0b'", 5)) << "an embedded NUL is not safe";

  struct Name {
    const char* name;
    bool ok;
  };
  const Name names[] = {{"vmnic0", true},       {"eth0.100", true},  {"vmnic0;reboot", false}, {"", false},
                        {"a b", false},         {"-x", false},       {"abcdefghijklmno", true},
                        {"abcdefghijklmnop", false}, {"$(x)", false}, {nullptr, false}};
  for (const Name& n : names) EXPECT_EQ(vx::is_interface_name(n.name), n.ok) << (n.name ? n.name : "NULL");
}

// ---- host identity -----------------------------------------------------------------------------------

TEST_F(HostTest, EmbeddedHostRecognised) {
  struct Row {
    const char* issue;    // NULL: no file
    bool banner;
    uint32_t want;
  };
  const Row rows[] = {{"VMware ESXi 5.5.0\n", false, 2}, {"VMware ESX 4.1\n", false, 3}, {"VMware ESX 4.1\n", true, 2},
                      {nullptr, false, 3},               {nullptr, true, 2},           {"\n\nESXi\n", false, 2}};
  for (const Row& r : rows) {
    ::unlink(temp_root.at("/etc/issue.net").c_str());
    ::unlink(temp_root.at("/etc/banner").c_str());
    if (r.issue != nullptr) temp_root.write("/etc/issue.net", r.issue);
    if (r.banner) temp_root.write("/etc/banner", "welcome\n");
    EXPECT_EQ(vx::VARU_get_esx_version(), r.want) << (r.issue ? r.issue : "no issue.net") << r.banner;
  }
}

TEST_F(HostTest, OsVersionFromTheReleaseFiles) {
  struct Row {
    const char* banner;    // NULL: no file
    const char* release;   // NULL: no file
    uint32_t want_rc;
    uint32_t major;
    uint32_t minor;
  };
  const Row rows[] = {
      {"VMware ESXi 5.1.0 build\n", nullptr, 0, 5, 1},
      {"5.0 and 5.5\n", nullptr, 0, 5, 5},
      {"nothing\nESXi 5.0\n", "VMware ESX 4.1", 0, 5, 0},
      {nullptr, "VMware ESX 4.1 (Kandinsky)\n", 0, 4, 1},
      {nullptr, "VMware ESX Server 4.0\n", 0, 4, 0},
      {"no version here\n", nullptr, 0, 99, 99},
      {nullptr, nullptr, 1, 99, 99},
  };
  for (const Row& r : rows) {
    ::unlink(temp_root.at("/etc/banner").c_str());
    ::unlink(temp_root.at("/etc/vmware-release").c_str());
    if (r.banner != nullptr) temp_root.write("/etc/banner", r.banner);
    if (r.release != nullptr) temp_root.write("/etc/vmware-release", r.release);
    uint32_t major = 99, minor = 99;
    char name[256] = "";
    EXPECT_EQ(vx::VARU_get_os_info(&major, &minor, name), r.want_rc);
    EXPECT_EQ(major, r.major);
    EXPECT_EQ(minor, r.minor);
    EXPECT_STREQ(name, r.want_rc == 0 ? "VMWare ESX Server" : "");
  }
  temp_root.write("/etc/banner", "5.5");
  char small[5];
  uint32_t major = 0, minor = 0;
  EXPECT_EQ(vx::VARU_get_os_info(&major, &minor, small, sizeof small), 0u);
  EXPECT_STREQ(small, "VMWa");
}

TEST_F(HostTest, DistributionFromTheKernelRelease) {
  struct Row {
    const char* uname;   // NULL: the command leaves no file
    int32_t want;
  };
  const Row rows[] = {{"2.6.32-131.0.15.el6\n", 3}, {"3.10.0-123.el7\n", 17}, {"3.10.0+0-x\n", 18},
                      {"2.6.18-164.el5\n", 1},      {"4.18.0-80\n", -1},      {"2.6.18-164\n3.12.28-4\n", 20},
                      {nullptr, -1},                {"", -1}};
  for (const Row& r : rows) {
    g_commands.clear();
    g_rules = {{"uname -r", 0, r.uname != nullptr ? r.uname : ""}};
    if (r.uname != nullptr && r.uname[0] == '\0') temp_root.write("/tmp/kernelname", "");
    EXPECT_EQ(vx::find_os_distribution(), r.want) << (r.uname ? r.uname : "no file");
    ASSERT_EQ(g_commands.size(), 1u);
    EXPECT_EQ(g_commands[0], "uname -r  2>/dev/null > " + temp_root.at("/tmp/kernelname"));
    EXPECT_FALSE(temp_root.exists("/tmp/kernelname"));
  }
}

TEST_F(HostTest, LocalTimeAndItsDistanceFromUtc) {
  ::setenv("TZ", "UTC-2", 1);   // two hours east of UTC, no daylight saving
  ::tzset();
  uint16_t month = 0, year = 0, hour = 99, mday = 0, second = 99, minute = 99, seventh = 7;
  int16_t bias = 0;
  EXPECT_EQ(vx::VARU_get_system_time(&month, &year, &hour, &mday, &second, &minute, &seventh, &bias), 0u);
  EXPECT_TRUE(month >= 1 && month <= 12 && year >= 2020 && hour < 24 && mday >= 1 && second < 61 && minute < 60);
  EXPECT_EQ(seventh, 7) << "the seventh output is not written";
  EXPECT_EQ(bias, 120);
}

// ---- stopwatch -----------------------------------------------------------------------------------------

TEST_F(HostTest, ElapsedMilliseconds) {
  struct Row {
    timeval start;
    timeval stop;
    uint32_t want;
  };
  const Row rows[] = {{{10, 900000}, {12, 100000}, 1200}, {{0, 0}, {0, 999}, 0}, {{1, 0}, {2, 999}, 1000},
                      {{5, 500}, {5, 1500}, 1},           {{7, 0}, {7, 0}, 0}};
  for (const Row& r : rows) EXPECT_EQ(vx::elapsed_ms(r.start, r.stop), r.want);
}

TEST_F(HostTest, StopwatchSlotsAreBounded) {
  std::vector<hm_node*> slots;
  for (int i = 0; i < 17; ++i) slots.push_back(build(kSlot, root));
  uint32_t ms = 12345;
  EXPECT_EQ(vx::VARU_start_clock(slots[15]), 0u);
  EXPECT_EQ(vx::VARU_stop_clock(slots[15], &ms), 0u);
  EXPECT_LT(ms, 5000u);
  EXPECT_EQ(vx::VARU_start_clock(slots[16]), 1u) << "instance 16 has no slot";
  EXPECT_EQ(vx::VARU_stop_clock(slots[16], &ms), 1u);
  EXPECT_EQ(vx::VARU_start_clock(nullptr), 1u);
  EXPECT_EQ(vx::VARU_start_clock(root), 1u) << "no instanced group";

  hm_node* controller = build(kVexalon, root);
  hm_node* property = prop(controller, "ActiveFirmwareVersion");
  EXPECT_EQ(vx::VARU_start_clock(property), 0u) << "a property uses its instance's slot";
  EXPECT_EQ(vx::VARU_stop_clock(property, &ms), 0u);
  EXPECT_EQ(vx::VARU_stop_clock(property, nullptr), 1u);

  EXPECT_EQ(vx::baset_update_time(-1), nullptr);
  EXPECT_EQ(vx::baset_update_time(vx::kBaseTTimerSlots), nullptr);
  ASSERT_NE(vx::baset_update_time(0), nullptr);
  ASSERT_NE(vx::baset_update_time(vx::kBaseTTimerSlots - 1), nullptr);
  // The 10GBASE-T times do not disturb a running stopwatch.
  EXPECT_EQ(vx::VARU_start_clock(slots[0]), 0u);
  *vx::baset_update_time(0) = timeval{1, 0};
  EXPECT_EQ(vx::VARU_stop_clock(slots[0], &ms), 0u);
  EXPECT_LT(ms, 5000u);
}

// ---- compression -----------------------------------------------------------------------------------------

TEST_F(HostTest, MaxCompressedLength) {
  struct Row {
    uint32_t n;
    uint32_t want;
  };
  const Row rows[] = {{0, 6}, {1, 12}, {16384, 16395}, {16385, 16401}, {0xFFFFFFFFu, 0}, {0xFFF00000u, 0}};
  for (const Row& r : rows) EXPECT_EQ(vx::GetMaxCompressedLen(r.n), r.want) << r.n;
}

std::vector<uint8_t> sample_data(size_t n) {
  std::vector<uint8_t> data(n);
  std::mt19937 rng(42);
  for (size_t i = 0; i < n; ++i) data[i] = static_cast<uint8_t>((i % 64 < 32) ? i % 7 : rng() & 0xFF);
  return data;
}

TEST_F(HostTest, CompressionRoundTrip) {
  for (size_t n : {size_t{1}, size_t{1000}, size_t{70000}}) {
    std::vector<uint8_t> data = sample_data(n);
    std::vector<uint8_t> packed(vx::GetMaxCompressedLen(static_cast<uint32_t>(n)));
    uint32_t packed_len = vx::CompressData(data.data(), static_cast<uint32_t>(n), packed.data(),
                                           static_cast<uint32_t>(packed.size()));
    ASSERT_NE(packed_len, vx::kCompressFailed) << n;
    std::vector<uint8_t> back(n + 1);
    EXPECT_EQ(vx::UncompressData(packed.data(), packed_len, back.data(), static_cast<uint32_t>(back.size())), n);
    back.resize(n);
    EXPECT_EQ(back, data) << n;
  }
}

TEST_F(HostTest, CompressionFailuresAreClean) {
  std::vector<uint8_t> data = sample_data(5000);
  std::vector<uint8_t> packed(vx::GetMaxCompressedLen(5000));
  uint32_t len = vx::CompressData(data.data(), 5000, packed.data(), static_cast<uint32_t>(packed.size()));
  ASSERT_NE(len, vx::kCompressFailed);
  std::vector<uint8_t> out(5000);

  EXPECT_EQ(vx::CompressData(data.data(), 5000, packed.data(), 10), vx::kCompressFailed) << "destination too small";
  // An empty input needs 8 bytes, more than the room formula gives for 0: the caller then keeps the data
  // uncompressed.
  EXPECT_EQ(vx::CompressData(data.data(), 0, packed.data(), vx::GetMaxCompressedLen(0)), vx::kCompressFailed);
  EXPECT_EQ(vx::UncompressData(packed.data(), len, out.data(), 100), vx::kCompressFailed) << "output too small";
  EXPECT_EQ(vx::UncompressData(packed.data(), len / 2, out.data(), 5000), vx::kCompressFailed) << "truncated";

  std::vector<uint8_t> corrupt(packed.begin(), packed.begin() + len);
  corrupt[0] ^= 0xFF;   // damaged header
  EXPECT_EQ(vx::UncompressData(corrupt.data(), len, out.data(), 5000), vx::kCompressFailed);
  corrupt = std::vector<uint8_t>(packed.begin(), packed.begin() + len);
  for (size_t i = 2; i < corrupt.size(); i += 3) corrupt[i] ^= 0x5A;   // damaged body
  EXPECT_EQ(vx::UncompressData(corrupt.data(), len, out.data(), 5000), vx::kCompressFailed);
  std::vector<uint8_t> garbage = sample_data(64);
  EXPECT_EQ(vx::UncompressData(garbage.data(), 64, out.data(), 5000), vx::kCompressFailed);

  EXPECT_EQ(vx::CompressData(nullptr, 10, out.data(), 100), vx::kCompressFailed);
  EXPECT_EQ(vx::CompressData(data.data(), 10, nullptr, 100), vx::kCompressFailed);
  EXPECT_EQ(vx::UncompressData(nullptr, 10, out.data(), 100), vx::kCompressFailed);
}

// ---- start-up directories -------------------------------------------------------------------------------

TEST_F(HostTest, ScratchDirectoriesAreCreatedSearchable) {
  temp_root.write("/scratch/Talvix/savetgt.txt", "x\n");
  temp_root.write("/scratch/Talvix/savestp.txt", "y\n");
  ::chmod(temp_root.at("/scratch/Talvix/savetgt.txt").c_str(), 0644);
  ::chmod(temp_root.at("/scratch/Talvix").c_str(), 0700);
  ::chmod(temp_root.at("/scratch").c_str(), 0711);
  EXPECT_EQ(vx::VARU_config_dir_permssions(), vx::kHostClassic);
  EXPECT_EQ(mode_of("/scratch"), 0711u) << "an existing /scratch/ is left as it is";
  EXPECT_EQ(mode_of("/scratch/Talvix"), 0755u);
  EXPECT_EQ(mode_of("/scratch/Talvix/savetgt.txt"), 0600u) << "CHAP secrets";
  EXPECT_EQ(mode_of("/scratch/Talvix/savestp.txt"), 0600u);
}

TEST_F(HostTest, ScratchDirectoriesOnAFreshHost) {
  EXPECT_EQ(vx::VARU_config_dir_permssions(), vx::kHostClassic);
  EXPECT_EQ(mode_of("/scratch"), 0755u);
  EXPECT_EQ(mode_of("/scratch/Talvix"), 0755u);
  temp_root.write("/etc/banner", "ESXi\n");
  EXPECT_EQ(vx::VARU_config_dir_permssions(), vx::kHostEmbedded);

  temp_root.write("/tmp/varu2d.log", "");
  ::chmod(temp_root.at("/tmp/varu2d.log").c_str(), 0600);
  EXPECT_EQ(vx::VARU_config_log_dir_permissions(), 0u);
  EXPECT_EQ(mode_of("/var/opt/talvix/varu/logs"), 0755u);
  EXPECT_EQ(mode_of("/tmp/varu2d.log"), 0644u);
  EXPECT_TRUE(g_commands.empty()) << "no shell for directories";
}

TEST_F(HostTest, IscsiPciAddressesFromLspci) {
  g_rules = {{"-d 1f4e:702 ", 0, "0000:03:00.2\n0000:04:00.2\n\n"},
             {"-d 1f4f:722 ", 0, "0000:0a:00.10123456789\n"},
             {"-d 1f4f:212 ", 2, "0000:99:00.0\n"}};   // a failed command's output is not used
  EXPECT_EQ(vx::VARU_get_all_iscsi_devices(), 3u);
  EXPECT_STREQ(vx::iscsi_device_address(0), "0000:03:00.2");
  EXPECT_STREQ(vx::iscsi_device_address(1), "0000:04:00.2");
  EXPECT_STREQ(vx::iscsi_device_address(2), "0000:0a:00.1012") << "cut to 15 characters";
  EXPECT_EQ(vx::iscsi_device_address(3), nullptr);
  EXPECT_EQ(g_commands.size(), 12u);
  EXPECT_EQ(g_commands.at(0), "lspci -D -d 1f4e:212 2> /dev/null | cut -d \" \" -f1 2> /dev/null > " +
                                  temp_root.at("/tmp/varu_scsi_ids"));
  EXPECT_FALSE(temp_root.exists("/tmp/varu_scsi_ids"));
}

// ---- NIC helpers ------------------------------------------------------------------------------------------

void set_interface(int32_t handle, const char* name) {
  vx::VaruGlobGuard guard;
  std::snprintf(vx::varu_glob.nic_ifname[handle - 1], vx::kIfNameSize, "%s", name);
}

TEST_F(HostTest, NicPciAddressFromEthtool) {
  struct Row {
    const char* bus_info;
    uint32_t domain;
    const char* bus;
    const char* function;
  };
  const Row rows[] = {{"0000:81:00.1\n", 0, "0x81", "0x1"}, {"0002:0a:1f.7\n", 2, "0xa", "0x7"},
                      {"03:00.4\n", 77, "0x3", "0x4"}};
  set_interface(2, "vmnic3");
  for (const Row& r : rows) {
    g_commands.clear();
    g_rules = {{"ethtool -i vmnic3", 0, r.bus_info}};
    char bus[256] = "", function[256] = "";
    uint32_t domain = 77;
    EXPECT_EQ(vx::VARU_backend_client_nic_bdf(2, bus, function, &domain), 0u);
    EXPECT_STREQ(bus, r.bus) << r.bus_info;
    EXPECT_STREQ(function, r.function) << r.bus_info;
    EXPECT_EQ(domain, r.domain) << r.bus_info;
    EXPECT_EQ(g_commands.at(0), "ethtool -i vmnic3 2>/dev/null | grep bus-info | cut -d\" \" -f2 > " +
                                    temp_root.at("/tmp/IfName"));
    EXPECT_FALSE(temp_root.exists("/tmp/IfName"));
  }
  set_interface(3, "vm;reboot");
  char bus[256], function[256];
  uint32_t domain = 0;
  g_commands.clear();
  EXPECT_EQ(vx::VARU_backend_client_nic_bdf(3, bus, function, &domain), 1u);
  EXPECT_EQ(vx::VARU_backend_client_nic_bdf(0, bus, function, &domain), 1u);
  EXPECT_EQ(vx::VARU_backend_client_nic_bdf(129, bus, function, &domain), 1u);
  EXPECT_TRUE(g_commands.empty()) << "an unsafe name never reaches the shell";
}

TEST_F(HostTest, PciAddressFromAttributesOrTheDriverTable) {
  uint8_t attributes[540] = {};
  attributes[508] = 0x81;
  attributes[509] = 0x0;
  attributes[510] = 0x3;
  std::memset(attributes + 192, 'S', 40);   // no terminator within the 32-byte field
  {
    vx::VaruGlobGuard guard;
    vx::varu_glob.nic_pci[4] = vx::PciAddress{0x0a, 0x1f, 0x6};
  }
  char bus[256], device[256], function[256], serial[256];
  EXPECT_EQ(vx::VARU_get_pci_bdf(5, bus, device, function, serial, 1, attributes, 0), 0u);
  EXPECT_STREQ(bus, "0x81");
  EXPECT_STREQ(device, "0x0");
  EXPECT_STREQ(function, "0x3");
  EXPECT_EQ(std::string(serial), std::string(32, 'S'));

  EXPECT_EQ(vx::VARU_get_pci_bdf(5, bus, device, function, serial, 2, attributes, 1), 0u);
  EXPECT_STREQ(bus, "0xa");
  EXPECT_STREQ(device, "0x1f");
  EXPECT_STREQ(function, "0x6");
  EXPECT_STREQ(serial, "0");

  EXPECT_EQ(vx::VARU_get_pci_bdf(5, bus, device, function, serial, 1, attributes, 1), 1u);
  EXPECT_EQ(vx::VARU_get_pci_bdf(0, bus, device, function, serial, 2, attributes, 1), 1u);
  EXPECT_EQ(vx::VARU_get_pci_bdf(5, bus, device, function, serial, 2, nullptr, 0), 1u);

  char small[4];
  EXPECT_EQ(vx::VARU_get_pci_bdf(5, small, small, small, small, 1, attributes, 0, sizeof small), 0u);
  EXPECT_STREQ(small, "SSS");
}

TEST_F(HostTest, NicPropertiesTheHostDoesNotGive) {
  hm_node* controller = build(kVexalon, root);
  hm_node* nic = build(kNicPhba, controller);
  set_interface(1, "vmnic7");
  EXPECT_EQ(vx::VARU_update_nic_ifname(nic, 1), 0u);
  EXPECT_EQ(value(nic, "IfName"), "vmnic7");
  EXPECT_EQ(vx::VARU_update_nic_ifname(prop(nic, "IfName"), 1), 0u) << "a property stands for its group";
  EXPECT_EQ(vx::VARU_update_nic_ifname(nic, 0), 1u);
  EXPECT_EQ(vx::VARU_update_nic_ifname(controller, 1), 1u) << "no IfName property";

  vx::VARU_get_nic_subnetmask(1, prop(nic, "SubnetMask"));
  EXPECT_EQ(value(nic, "SubnetMask"), "N/A");
  EXPECT_STATUS(vx::VARU_set_nic_macaddress(), 70, vx::msg::kSettingNotSupportedInOs);

  uint8_t attributes[540] = {};
  std::memset(attributes + 352, 'V', 64);   // runs past its field: only 32 are taken
  EXPECT_EQ(vx::VARU_get_driver_name(nic, 1, 2), 0u);
  hm_node* driver = vx::internal_get_node(nic, "Driver", kGroup);
  EXPECT_EQ(value(driver, "DriverName"), "vx2net.o");
  EXPECT_EQ(vx::VARU_get_driver_name(nic, 1, 1), 0u);
  EXPECT_EQ(value(driver, "DriverName"), "vx2iscsi.o");
  EXPECT_EQ(vx::VARU_get_driver_name(nic, 1, 3), 0u);
  EXPECT_EQ(value(driver, "DriverName"), "vx2iscsi.o");
  EXPECT_EQ(vx::VARU_get_driver_name(controller, 1, 2), 1u) << "no Driver group";
  EXPECT_EQ(vx::VARU_get_driver_version(nic, 1, 2, attributes, 0), 0u);
  EXPECT_EQ(value(driver, "DriverVersion"), std::string(32, 'V'));
  EXPECT_EQ(vx::VARU_get_driver_version(nic, 1, 2, attributes, 1), 1u);
  EXPECT_EQ(vx::VARU_get_driver_version(nic, 1, 2, nullptr, 0), 1u);
  EXPECT_EQ(vx::VARU_get_driver_version(controller, 1, 2, attributes, 0), 1u);
}

// ---- firmware download through the host's tools --------------------------------------------------------

class FirmwareDownloadTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    set_interface(1, "vmnic3");
    controller = build(kVexalon, root);
    vx::varu_set_last_status(0, "");
  }
  hm_node* controller = nullptr;
};

TEST_F(FirmwareDownloadTest, ThroughEthtool) {
  g_rules = {{"ifconfig vmnic3 2> /dev/null | grep UP", 0, ""},
             {"ethtool -h", 0, ""},
             {"rm -rf", 0, ""},
             {"getenforce", 1, ""},
             {"ethtool -f vmnic3 fw.ufi", 0, ""}};
  EXPECT_EQ(vx::VARU_firmware_download(controller, 1, 3, "/images/fw.ufi"), 0u);
  EXPECT_EQ(last_status().code, 55u);
  EXPECT_EQ(last_status().text, vx::msg::kFirmwareUpdatedReboot);
  EXPECT_TRUE(ran("rm -rf " + temp_root.at("/lib/firmware/fw.ufi") + "; cp /images/fw.ufi " +
                  temp_root.at("/lib/firmware")));
  EXPECT_TRUE(ran("ethtool -f vmnic3 fw.ufi >/dev/null 2> " + temp_root.at("/tmp/m_flash.txt")));
  EXPECT_FALSE(ran("setenforce"));
  EXPECT_FALSE(ran("ifconfig vmnic3 down"));

  // Exit status 255: the error text tells a two-pass firmware from a failure.
  g_rules.back() = {"ethtool -f", 255, "ethtool: Resource temporarily unavailable\n", "2> "};
  EXPECT_EQ(vx::VARU_firmware_download(controller, 1, 3, "/images/fw.ufi"), vx::kStatusTwoPassFirmware);
  EXPECT_EQ(last_status().code, 318u);
  EXPECT_EQ(last_status().text, vx::msg::kFirmwareTwoPass);
  EXPECT_FALSE(temp_root.exists("/tmp/m_flash.txt"));
  g_rules.back().output = "something else\n";
  EXPECT_STATUS(vx::VARU_firmware_download(controller, 1, 3, "/images/fw.ufi"), 166, vx::msg::kFirmwareUpgradeFailed);
  g_rules.back().output = "";
  EXPECT_EQ(vx::VARU_firmware_download(controller, 1, 3, "/images/fw.ufi"), 1u) << "no error text to read";
}

TEST_F(FirmwareDownloadTest, FailuresBringTheInterfaceBackDown) {
  g_rules = {{"ifconfig vmnic3 2> /dev/null | grep UP", 1, ""},
             {"ifconfig vmnic3 up", 0, ""},
             {"ifconfig vmnic3 down", 0, ""},
             {"ethtool -h", 0, ""},
             {"rm -rf", 0, ""},
             {"getenforce", 0, ""},
             {"setenforce", 0, ""},
             {"ethtool -f", 3, ""}};
  EXPECT_STATUS(vx::VARU_firmware_download(controller, 1, 3, "/images/fw.ufi"), 166, vx::msg::kFirmwareUpgradeFailed);
  EXPECT_TRUE(ran("setenforce 0"));
  EXPECT_TRUE(ran("setenforce 1"));
  EXPECT_TRUE(ran("ifconfig vmnic3 down > /dev/null"));
}

TEST_F(FirmwareDownloadTest, ThroughTheDriverFlashFile) {
  g_rules = {{"grep UP", 0, ""},
             {"ethtool -h", 1, ""},
             {"ls " + temp_root.at("/sys/class/net/vmnic3/flash_fw"), 0, ""},
             {"firmware=", 0, ""},
             {"rm -rf", 0, ""},
             {"cat ", 0, ""},
             {"echo `cat", 0, ""}};
  EXPECT_EQ(vx::VARU_firmware_download(controller, 1, 2, "/images/fw.ufi"), 0u);
  EXPECT_EQ(last_status().code, 55u);
  EXPECT_TRUE(ran("firmware=/images/fw.ufi;echo \"${firmware##*/}\" > " +
                  temp_root.at("/sys/class/net/vmnic3/flash_fw")));

  g_rules[2].exit_code = 1;   // the driver has no flash file
  EXPECT_STATUS(vx::VARU_firmware_download(controller, 1, 2, "/images/fw.ufi"), 166, vx::msg::kFirmwareUpgradeFailed);
}

TEST_F(FirmwareDownloadTest, CallerTextNeverReachesTheShellUnquoted) {
  g_rules = {{"grep UP", 0, ""}, {"ethtool -h", 0, ""}, {"rm -rf", 0, ""}, {"ethtool -f", 0, ""}};
  EXPECT_EQ(vx::VARU_firmware_download(controller, 1, 2, "/tmp/a'b;reboot x.ufi"), 0u);
  EXPECT_TRUE(ran("cp '/tmp/a'\\''b;reboot x.ufi' "));
  EXPECT_TRUE(ran("ethtool -f vmnic3 'a'\\''b;reboot x.ufi' "));

  g_commands.clear();
  EXPECT_EQ(vx::VARU_firmware_download(controller, 1, 2, "/images/.."), 1u);
  EXPECT_FALSE(ran("rm -rf")) << "a name that climbs out of the firmware directory is refused";

  set_interface(2, "vmnic0;reboot");
  g_commands.clear();
  EXPECT_EQ(vx::VARU_firmware_download(controller, 2, 2, "/images/fw.ufi"), 1u);
  EXPECT_TRUE(g_commands.empty());
  EXPECT_EQ(vx::VARU_firmware_download(nullptr, 1, 2, "/images/fw.ufi"), 1u);
  EXPECT_EQ(vx::VARU_firmware_download(controller, 1, 2, nullptr), 1u);
}

TEST_F(FirmwareDownloadTest, QuentaGenerationComparesTheVersions) {
  g_rules = {{"grep UP", 0, ""}, {"ethtool -h", 0, ""}, {"rm -rf", 0, ""}, {"ethtool -f", 0, ""}};
  vx::set_prop_val(controller, "ActiveFirmwareVersion", "4.2.1.0");
  vx::set_prop_val(controller, "FirmwareVersionOnFlash", "4.2.1.0");
  EXPECT_EQ(vx::VARU_firmware_download(controller, 1, 4, "/images/fw.ufi"), 0u);
  EXPECT_EQ(last_status().code, 0u) << "the same version: nothing to reboot for";

  vx::set_prop_val(controller, "FirmwareVersionOnFlash", "4.4.0.0");
  EXPECT_EQ(vx::VARU_firmware_download(controller, 1, 4, "/images/fw.ufi"), 0u);
  EXPECT_EQ(last_status().code, 55u);

  set_handler(controller, "FirmwareVersionOnFlash", unreadable);
  EXPECT_EQ(vx::VARU_firmware_download(controller, 1, 4, "/images/fw.ufi"), 0u);
  EXPECT_EQ(last_status().code, 264u);
  EXPECT_EQ(last_status().text, vx::msg::kFirmwareVersionsUnread);
}

// ---- helpers that send a firmware command, against the scripted driver ----------------------------------

class FirmwareHelperTest : public vxtest::FakeDriverTest {
 protected:
  void SetUp() override {
    FakeDriverTest::SetUp();
    ASSERT_EQ(vx::init_hm(), 0);   // start-up builds the scripted adapter's own tree under "ROOT"
    root = build(kSlot, vx::hierarchy_name_.root);   // so the test's nodes stand apart from it
    driver_.sent.clear();
    vx::varu_glob.protocol_mask[0] = vx::kProtocolBitIscsi;
    vx::varu_glob.protocol_mask[1] = vx::kProtocolBitNic;
    driver_.answer = [this](unsigned long request, uint8_t* arg, size_t) {
      uint8_t* header = vxtest::FakeDriver::header(request, arg);
      uint8_t* payload = header + vx::wire::kHeaderSize;
      header[vx::wire::kResponseStatusOffset] = status;
      if (status != 0) return;
      if (header[0] == 32) {   // controller attributes
        payload[446] = 4;
        payload[447] = 1;
        payload[508] = 0x81;
        payload[510] = 3;
      } else if (header[0] == 1) {   // MAC query
        const uint8_t mac[6] = {0x00, 0x90, 0xfa, 0x0a, 0xbc, 0x01};
        std::memcpy(payload + 2, mac, sizeof mac);
      }
    };
  }
  void TearDown() override {
    release_records();
    vx::exit_hm();
    vx::reset_varu_glob();
    FakeDriverTest::TearDown();
  }
  // Header and payload of the n-th firmware command sent.
  std::vector<uint8_t> command(size_t n) {
    std::vector<vxtest::SentRequest> sent = driver_.commands();
    if (n >= sent.size()) return {};
    const uint8_t* header = vxtest::FakeDriver::header(sent[n].request, sent[n].bytes.data());
    uint32_t length = 0;
    std::memcpy(&length, header + 8, sizeof length);
    return std::vector<uint8_t>(header, header + vx::wire::kHeaderSize + length);
  }
  hm_node* root = nullptr;
  uint8_t status = 0;
};

TEST_F(FirmwareHelperTest, ConfigurationSignatureOnlyForIscsiAdapters) {
  EXPECT_EQ(vx::VARU_set_config_signature(1, 0), 0u);
  std::vector<uint8_t> sent = command(0);
  ASSERT_EQ(sent.size(), 16u + 132u);
  EXPECT_EQ(sent[0], 79);   // set configuration signature, common subsystem
  EXPECT_EQ(sent[1], 1);
  std::vector<uint8_t> want(132, 0);
  want[0] = 3;
  EXPECT_EQ(std::vector<uint8_t>(sent.begin() + 16, sent.end()), want);

  EXPECT_EQ(vx::VARU_set_config_signature(1, 1), 0u) << "an adapter reached through its NIC functions";
  EXPECT_EQ(driver_.commands().size(), 1u) << "nothing sent for it";
}

TEST_F(FirmwareHelperTest, LogicalHbaCountFromTheControllerAttributes) {
  hm_node* phba = build(kIscsiPhba, build(kVexalon, root));
  attach_record(phba, 1);
  char a[256], b[256], c[256], d[256];
  EXPECT_EQ(vx::get_lhba_count(phba, a, b, c, d), 4u);
  EXPECT_EQ(std::string(a) + "/" + b + "/" + c + "/" + d, "129/0/3/1");
  EXPECT_EQ(command(0).at(0), 32);
  char small[3];
  EXPECT_EQ(vx::get_lhba_count(phba, small, small, small, small, sizeof small), 4u);
  EXPECT_STREQ(small, "1");
  status = 0x42;
  EXPECT_EQ(vx::get_lhba_count(phba, a, b, c, d), 1u);
}

TEST_F(FirmwareHelperTest, NicMacAddressThroughTheNicNode) {
  hm_node* nic = build(kNicPhba, build(kVexalon, root));
  attach_record(nic, 2);
  vx::set_prop_val(nic, "PortNumber", "1");
  EXPECT_EQ(vx::VARU_get_nic_macaddress(prop(nic, "MACAddress")), 0u);
  EXPECT_EQ(value(nic, "MACAddress"), "00-90-fa-0a-bc-01");
  std::vector<uint8_t> sent = command(0);
  ASSERT_EQ(sent.size(), 16u + 72u);
  EXPECT_EQ(sent[0], 1);
  EXPECT_EQ(sent[2], 1) << "port number";
  EXPECT_EQ(sent[16], 1);
  EXPECT_EQ(sent[17], 1);
  EXPECT_EQ(driver_.commands().at(0).request, vx::wire::kNicFirmwareCommand);

  status = 0x42;
  vx::set_prop_val(nic, "MACAddress", "kept");
  EXPECT_STATUS(vx::VARU_get_nic_macaddress(nic), 246, vx::msg::kMacAddressFailed);
  EXPECT_EQ(value(nic, "MACAddress"), "kept");
}

}  // namespace
}  // namespace vxtest::access_tree
