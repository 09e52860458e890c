// File helpers, file and command locks, shell commands, host identity and time.
#include "access/host.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>

#include "platform/platform.h"

namespace vx {
namespace {

constexpr size_t kMaxInterfaceName = 15;
constexpr int kCmdLockAttempts = 100;

std::string mapped(const char* path) { return host_path(path); }

bool whole_file_lock(int fd, short type, int cmd) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 0;
  for (;;) {
    if (::fcntl(fd, cmd, &fl) == 0) return true;
    if (errno != EINTR) return false;
  }
}

// A descriptor that can't be confused with the failure value 255 or with "no descriptor" (0).
int usable_fd(int fd) {
  if (fd != 0 && fd != kCmdLockFailed) return fd;
  int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 1);
  if (moved == kCmdLockFailed) {
    int again = ::fcntl(moved, F_DUPFD_CLOEXEC, kCmdLockFailed + 1);
    ::close(moved);
    moved = again;
  }
  ::close(fd);
  return moved;
}

// True when `path` names the file open on `fd`.
bool names_file(const std::string& path, int fd) {
  struct stat open_file {};
  struct stat named {};
  return ::fstat(fd, &open_file) == 0 && ::stat(path.c_str(), &named) == 0 && open_file.st_dev == named.st_dev &&
         open_file.st_ino == named.st_ino;
}

bool safe_shell_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         (c != '\0' && std::strchr("_@%+=:,./-", c) != nullptr);
}

// Kernel releases and their distribution codes, searched in this order; a row matches when its
// text occurs anywhere in the release.
struct ReleaseRow {
  const char* release;
  int32_t code;
};
constexpr ReleaseRow kReleases[] = {
    {"2.6.16.60-0.54.5", 5},  {"2.6.32.12-0.7.1.xs5", 9}, {"2.6.27.42-0.1", 9},    {"2.6.16.60-0.21", 7},
    {"2.6.32.12-0.7", 4},     {"2.6.16.60-0.81.1", 8},    {"2.6.16.60-0.85.1", 8}, {"2.6.18-164", 1},
    {"2.6.18-194", 2},        {"2.6.18-235", 6},          {"2.6.18-238", 6},       {"2.6.18-348", 12},
    {"2.6.32-71", 3},         {"2.6.32-125", 3},          {"2.6.32-131.0.5", 3},   {"2.6.32-131.0.15", 3},
    {"2.6.9-100", 11},        {"2.6.18-262", 10},         {"2.6.18-266", 10},      {"3.0.76-0", 13},
    {"2.6.18-371", 14},       {"3.0.13-0.27", 15},        {"2.6.39-400.206.0", 16}, {"3.8.13-58", 21},
    {"3.10.0+0", 18},         {"3.10.0", 17},             {"2.6.32-358", 19},      {"3.12.28", 20},
};

// Release texts of the host files and the version numbers they stand for, tested in this order.
struct VersionRow {
  const char* text;
  uint32_t major;
  uint32_t minor;
};
constexpr VersionRow kVersions[] = {{"5.5", 5, 5}, {"5.1", 5, 1}, {"5.0", 5, 0}, {"4.0", 4, 0}, {"4.1", 4, 1}};

constexpr const char* kKernelNameFile = "/tmp/kernelname";
constexpr const char* kHostName = "VMWare ESX Server";

timeval g_stopwatch[kStopwatchSlots];
timeval g_baset_times[kBaseTTimerSlots];

// Stopwatch slot of the node's nearest instanced group, or NULL.
timeval* stopwatch_slot(hm_node* node) {
  for (int steps = 0; node != nullptr && steps < kPathLevels; ++steps) {
    hm_instance_info* info = instance_info(node);
    if (info != nullptr) {
      return (info->number >= 0 && info->number < kStopwatchSlots) ? &g_stopwatch[info->number] : nullptr;
    }
    if (node->parent == node) break;
    node = node->parent;
  }
  return nullptr;
}

}  // namespace

// ---- files ------------------------------------------------------------------------------------------

FILE* VARU_file_open(const char* path, const char* mode) {
  if (path == nullptr || mode == nullptr) return nullptr;
  // Never inherited by the shell commands the library starts.
  return ::fopen64(mapped(path).c_str(), (std::string(mode) + "e").c_str());
}

void VARU_file_close(FILE* file) {
  if (file != nullptr) std::fclose(file);
}

void VARU_delete_file(const char* path) {
  if (path == nullptr) return;
  std::string p = mapped(path);
  if (::access(p.c_str(), R_OK) == 0) ::unlink(p.c_str());
}

void VARU_change_permissions_file(const char* path, mode_t mode) {
  if (path == nullptr) return;
  int fd = ::open(mapped(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  if (::fchmod(fd, mode) != 0) pdebug(kBackEnd, 3, "Failed change the permissions for %s file\n", path);
  ::close(fd);
}

uint32_t varu_lock_file(FILE* file) {
  if (file == nullptr || !whole_file_lock(::fileno(file), F_WRLCK, F_SETLKW)) {
    pdebug(kBackEnd, 3, "%s Failed to get file lock\n", __func__);
    return 1;
  }
  return 0;
}

uint32_t varu_unlock_file(FILE* file) {
  if (file != nullptr) std::fflush(file);   // what was written under the lock lands before others read
  if (file == nullptr || !whole_file_lock(::fileno(file), F_UNLCK, F_SETLK)) {
    pdebug(kBackEnd, 3, "%s Failed to unlock file\n", __func__);
    return 1;
  }
  return 0;
}

int32_t VARU_cmd_lock(const char* pidfile) {
  if (pidfile == nullptr) return kCmdLockFailed;
  std::string p = mapped(pidfile);
  // The holder deletes the file as it lets go: a lock taken on a file the path no longer names keeps
  // nobody out, so it is taken again on the file the path names now.
  for (int attempt = 0; attempt < kCmdLockAttempts; ++attempt) {
    int fd = ::open(p.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) fd = ::open(p.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kFileMode);
    if (fd >= 0) fd = usable_fd(fd);
    if (fd < 0) {
      pdebug(kBackEnd, 3, "failed to create varuflash.pid file\n");
      return kCmdLockFailed;
    }
    if (!whole_file_lock(fd, F_WRLCK, F_SETLK)) {
      pdebug(kBackEnd, 3, "Already locked by another process\n");
      ::close(fd);
      return kCmdLockFailed;
    }
    if (names_file(p, fd)) return fd;
    ::close(fd);
  }
  pdebug(kBackEnd, 3, "%s: %s kept changing under the lock\n", __func__, pidfile);
  return kCmdLockFailed;
}

int32_t VARU_cmd_unlock(int32_t fd, const char* pidfile) {
  if (fd <= 0 || fd == kCmdLockFailed) return kCmdLockFailed;
  // Deleted while still held, so whoever opened it meanwhile finds the path gone once it holds the
  // lock, and starts again on a new file.
  if (pidfile != nullptr && names_file(mapped(pidfile), fd)) VARU_delete_file(pidfile);
  if (!whole_file_lock(fd, F_UNLCK, F_SETLK)) {
    pdebug(kBackEnd, 3, "Already locked by another process\n");
    ::close(fd);
    return kCmdLockFailed;
  }
  ::close(fd);
  return 0;
}

uint32_t get_flash_name(const char* path, char* name, size_t name_size) {
  if (path == nullptr || name == nullptr || name_size == 0) return 1;
  const char* slash = std::strrchr(path, '/');
  const char* base = slash != nullptr ? slash + 1 : path;
  size_t n = std::strlen(base);
  if (n == 0 || n >= name_size) return 1;
  std::memcpy(name, base, n + 1);
  return 0;
}

// ---- shell ------------------------------------------------------------------------------------------

int32_t run_shell(const std::string& command) {
  int raw = host_ops().system(command.c_str());
  if (raw == -1 || !WIFEXITED(raw)) return -1;
  return WEXITSTATUS(raw);
}

std::string shell_quote(const std::string& text) {
  bool safe = !text.empty();
  for (char c : text) safe = safe && safe_shell_char(c);
  if (safe) return text;
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

bool is_interface_name(const char* name) {
  if (name == nullptr) return false;
  size_t n = 0;
  for (; name[n] != '\0'; ++n) {
    char c = name[n];
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.' ||
              c == ':' || c == '-';
    if (!ok || n >= kMaxInterfaceName) return false;
  }
  return n > 0 && name[0] != '-';
}

CommandOutput::CommandOutput(const char* path) {
  if (path == nullptr) return;
  path_ = make_private_file(mapped(path));
  if (path_.empty()) pdebug(kBackEnd, 3, "%s: could not make a file beside %s\n", __func__, path);
}

CommandOutput::~CommandOutput() {
  if (made()) ::unlink(path_.c_str());
}

bool CommandOutput::lines(std::vector<std::string>* out) const {
  std::ifstream in(path_);
  if (!made() || !in) return false;
  std::string line;
  while (std::getline(in, line)) {
    if (out != nullptr) out->push_back(line);
  }
  return true;
}

// ---- host identity ----------------------------------------------------------------------------------

uint32_t VARU_get_esx_version() {
  std::ifstream issue(mapped("/etc/issue.net"));
  std::string line;
  while (issue && std::getline(issue, line)) {
    if (line.find("ESXi") != std::string::npos) return kHostEmbedded;
  }
  return ::access(mapped("/etc/banner").c_str(), F_OK) == 0 ? kHostEmbedded : kHostClassic;
}

uint32_t VARU_get_os_info(uint32_t* major, uint32_t* minor, char* name, size_t name_size) {
  std::ifstream release(mapped("/etc/banner"));
  if (!release) release.open(mapped("/etc/vmware-release"));
  if (!release) return 1;
  if (name != nullptr && name_size > 0) std::snprintf(name, name_size, "%s", kHostName);
  std::string line;
  while (std::getline(release, line)) {
    for (const VersionRow& row : kVersions) {
      if (line.find(row.text) == std::string::npos) continue;
      if (major != nullptr) *major = row.major;
      if (minor != nullptr) *minor = row.minor;
      return 0;
    }
  }
  return 0;
}

uint32_t VARU_get_system_name(char* name, size_t name_size) {
  if (name == nullptr || name_size == 0) return 1;
  char host[256] = "";
  if (::gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
  std::memset(name, 0, name_size);
  std::snprintf(name, name_size, "%s", host);
  return 0;
}

int32_t find_os_distribution() {
  const CommandOutput out(kKernelNameFile);
  if (out.made()) run_shell("uname -r  2>/dev/null > " + out.quoted());
  std::vector<std::string> lines;
  if (!out.lines(&lines)) {
    pdebug(kBackEnd, 3, "%s: %s not found\n", __func__, kKernelNameFile);
    return -1;
  }
  if (lines.empty()) return -1;
  const std::string& release = lines.back();
  for (const ReleaseRow& row : kReleases) {
    if (release.find(row.release) != std::string::npos) return row.code;
  }
  return -1;
}

// ---- time -------------------------------------------------------------------------------------------

uint32_t VARU_get_system_time(uint16_t* month, uint16_t* year, uint16_t* hour, uint16_t* mday, uint16_t* second,
                              uint16_t* minute, uint16_t* /*seventh*/, int16_t* utc_bias) {
  time_t now = std::time(nullptr);
  struct tm local {};
  struct tm utc {};
  ::localtime_r(&now, &local);
  ::gmtime_r(&now, &utc);
  if (month != nullptr) *month = static_cast<uint16_t>(local.tm_mon + 1);
  if (year != nullptr) *year = static_cast<uint16_t>(local.tm_year + 1900);
  if (hour != nullptr) *hour = static_cast<uint16_t>(local.tm_hour);
  if (mday != nullptr) *mday = static_cast<uint16_t>(local.tm_mday);
  if (second != nullptr) *second = static_cast<uint16_t>(local.tm_sec);
  if (minute != nullptr) *minute = static_cast<uint16_t>(local.tm_min);
  if (utc_bias != nullptr) {
    struct tm l = local;
    struct tm u = utc;
    l.tm_isdst = -1;
    u.tm_isdst = -1;
    *utc_bias = static_cast<int16_t>(static_cast<long>(std::difftime(std::mktime(&l), std::mktime(&u))) / 60);
  }
  return 0;
}

uint32_t elapsed_ms(const timeval& start, const timeval& stop) {
  long long ms = static_cast<long long>(stop.tv_sec - start.tv_sec) * 1000 +
                 static_cast<long long>(stop.tv_usec - start.tv_usec) / 1000;
  return static_cast<uint32_t>(ms);
}

uint32_t VARU_start_clock(hm_node* node) {
  timeval* slot = stopwatch_slot(node);
  if (slot == nullptr) return 1;
  host_ops().gettimeofday(slot);
  return 0;
}

uint32_t VARU_stop_clock(hm_node* node, uint32_t* ms) {
  timeval* slot = stopwatch_slot(node);
  if (slot == nullptr || ms == nullptr) return 1;
  timeval now {};
  host_ops().gettimeofday(&now);
  *ms = elapsed_ms(*slot, now);
  return 0;
}

void clear_stopwatch() { std::memset(g_stopwatch, 0, sizeof g_stopwatch); }

timeval* baset_update_time(int32_t slot) {
  return (slot >= 0 && slot < kBaseTTimerSlots) ? &g_baset_times[slot] : nullptr;
}

}  // namespace vx
