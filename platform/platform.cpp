#include "platform/platform.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

#include "platform/device_nodes.h"

namespace vx {
namespace {

// ---- the simulated adapter module ------------------------------------------------------------
// Loaded from the directory of this library when VXIMA_SIMULATOR names a configuration; it then
// serves the driver device nodes. Descriptors it hands out are real (reserved) descriptors, so
// ioctl and close ask it whether a descriptor is its own.
struct SimModule {
  void* handle;
  int (*open)(const char* path, int flags);
  int (*ioctl)(int fd, unsigned long request, void* arg);
  int (*close)(int fd);
  int (*owns_fd)(int fd);
};

constexpr const char* kSimModuleName = "libvxsim.so";

std::mutex g_sim_mutex;
std::atomic<const SimModule*> g_sim{nullptr};
bool g_sim_unavailable = false;

std::string library_dir() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&library_dir), &info) == 0 || info.dli_fname == nullptr) return "";
  std::string path(info.dli_fname);
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

template <typename Fn>
Fn resolve(void* handle, const char* name) {
  return reinterpret_cast<Fn>(::dlsym(handle, name));
}

const SimModule* simulator() {
  const SimModule* sim = g_sim.load(std::memory_order_acquire);
  if (sim != nullptr) return sim;
  const char* config = std::getenv("VXIMA_SIMULATOR");
  if (config == nullptr || config[0] == '\0') return nullptr;
  std::lock_guard<std::mutex> guard(g_sim_mutex);
  sim = g_sim.load(std::memory_order_acquire);
  if (sim != nullptr || g_sim_unavailable) return sim;
  void* handle = nullptr;
  std::string dir = library_dir();
  if (!dir.empty()) handle = ::dlopen((dir + kSimModuleName).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) handle = ::dlopen(kSimModuleName, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    g_sim_unavailable = true;
    return nullptr;
  }
  static SimModule module;
  module.handle = handle;
  module.open = resolve<int (*)(const char*, int)>(handle, "vxsim_device_open");
  module.ioctl = resolve<int (*)(int, unsigned long, void*)>(handle, "vxsim_device_ioctl");
  module.close = resolve<int (*)(int)>(handle, "vxsim_device_close");
  module.owns_fd = resolve<int (*)(int)>(handle, "vxsim_owns_fd");
  if (module.open == nullptr || module.ioctl == nullptr || module.close == nullptr || module.owns_fd == nullptr) {
    g_sim_unavailable = true;
    return nullptr;
  }
  g_sim.store(&module, std::memory_order_release);
  return &module;
}

// The two device node forms: the NIC node and "<iSCSI prefix><decimal number>".
bool is_device_path(const char* path) {
  if (std::strcmp(path, wire::kNicNodePath) == 0) return true;
  const size_t prefix = std::strlen(wire::kIscsiNodePrefix);
  if (std::strncmp(path, wire::kIscsiNodePrefix, prefix) != 0 || path[prefix] == '\0') return false;
  for (const char* p = path + prefix; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
  }
  return true;
}

const SimModule* owner_of(int fd) {
  const SimModule* sim = g_sim.load(std::memory_order_acquire);
  return sim != nullptr && sim->owns_fd(fd) != 0 ? sim : nullptr;
}

int real_open(const char* path, int flags, mode_t mode) {
  if (path != nullptr && is_device_path(path)) {
    if (const SimModule* sim = simulator()) return sim->open(path, flags);
    return ::open(host_path(path).c_str(), flags, mode);
  }
  return ::open(path, flags, mode);
}

int real_close(int fd) {
  if (const SimModule* sim = owner_of(fd)) return sim->close(fd);
  return ::close(fd);
}

int real_ioctl(int fd, unsigned long request, void* arg) {
  if (const SimModule* sim = owner_of(fd)) return sim->ioctl(fd, request, arg);
  return ::ioctl(fd, request, arg);
}

int real_system(const char* command) { return ::system(command); }

// ---- the program runner ------------------------------------------------------------------------

constexpr long kPollNanoseconds = 5 * 1000 * 1000;

// Waits for `child` at most `timeout_seconds`; a child still running then is killed and reaped.
int wait_for(pid_t child, int timeout_seconds) {
  const long polls = static_cast<long>(timeout_seconds) * (1000000000L / kPollNanoseconds);
  for (long i = 0;; ++i) {
    int status = 0;
    const pid_t done = ::waitpid(child, &status, WNOHANG);
    if (done == child) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (done < 0 && errno != EINTR) return -1;
    if (i >= polls) break;
    const timespec pause{0, kPollNanoseconds};
    ::nanosleep(&pause, nullptr);
  }
  ::kill(child, SIGKILL);
  while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
  return -1;
}

int real_run_program(const std::vector<std::string>& argv, int timeout_seconds) {
  if (argv.empty() || argv[0].empty()) return -1;
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  if (::posix_spawn_file_actions_init(&actions) != 0) return -1;
  bool ok = true;
  for (int fd = 0; fd <= 2 && ok; ++fd) {
    ok = ::posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0) == 0;
  }
  // Device nodes, logs and locks of the library stay with the library.
  ok = ok && ::posix_spawn_file_actions_addclosefrom_np(&actions, 3) == 0;
  pid_t child = -1;
  // The environment goes with it: a stand-in program finds VXIMA_ROOT there.
  static char* const kNoEnvironment[] = {nullptr};
  char* const* environment = ::environ != nullptr ? ::environ : kNoEnvironment;
  const int spawned = ok ? ::posix_spawn(&child, args[0], &actions, nullptr, args.data(), environment) : 0;
  if (spawned != 0) program_start_error() = spawned;
  ok = ok && spawned == 0;
  ::posix_spawn_file_actions_destroy(&actions);
  return ok ? wait_for(child, timeout_seconds) : -1;
}

int real_gettimeofday(struct timeval* now) { return ::gettimeofday(now, nullptr); }

}  // namespace

int& program_start_error() {
  thread_local int error = 0;
  return error;
}

ProgramRunner& program_runner() {
  static ProgramRunner runner = real_run_program;
  return runner;
}

HostOps& host_ops() {
  static HostOps ops{real_open, real_close, real_ioctl, real_system, real_gettimeofday};
  return ops;
}

std::string host_path(const char* absolute) {
  if (absolute == nullptr) return std::string();
  const char* root = std::getenv("VXIMA_ROOT");
  if (root == nullptr || root[0] == '\0' || absolute[0] != '/') return absolute;
  std::string mapped(root);
  while (!mapped.empty() && mapped.back() == '/') mapped.pop_back();
  mapped += absolute;
  return mapped;
}

void* simulator_symbol(const char* name) {
  const SimModule* sim = simulator();
  return sim == nullptr || name == nullptr ? nullptr : ::dlsym(sim->handle, name);
}

void* alloc_driver_data_area(size_t size) {
  if (size == 0) size = 1;
#if UINTPTR_MAX > 0xFFFFFFFFu
#ifdef MAP_32BIT
  void* area = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
  return area == MAP_FAILED ? nullptr : area;
#else
  return nullptr;   // no way to ask for low memory here: the read is refused
#endif
#else
  return std::calloc(1, size);
#endif
}

void free_driver_data_area(void* area, size_t size) {
  if (area == nullptr) return;
#if UINTPTR_MAX > 0xFFFFFFFFu
  ::munmap(area, size == 0 ? 1 : size);
#else
  (void)size;
  std::free(area);
#endif
}

uint32_t driver_address(const void* area) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(area));
}

namespace {

// A link at the last component is refused, a FIFO or device never waited on, and no program the
// library runs inherits the descriptor.
constexpr int kCallerFileFlags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;

// What a caller's file must be beyond a regular file.
enum class Keep { kAny, kOneName, kOwnOneName };

// `fd` when it is a regular file as `keep` asks; closed otherwise.
int regular_only(int fd, Keep keep) {
  if (fd < 0) return -1;
  struct stat st {};
  int error = 0;
  if (::fstat(fd, &st) != 0) {
    error = errno;
  } else if (!S_ISREG(st.st_mode)) {
    error = EINVAL;
  } else if (keep != Keep::kAny && st.st_nlink != 1) {
    error = EMLINK;
  } else if (keep == Keep::kOwnOneName && st.st_uid != ::geteuid()) {
    error = EPERM;
  }
  if (error == 0) return fd;
  ::close(fd);
  errno = error;
  return -1;
}

}  // namespace

// A hard link to another file, a device or a file someone else left there is not ours to write.
int open_shared_dir_log(const std::string& path, mode_t mode) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | kCallerFileFlags, mode);
  return regular_only(fd, Keep::kOwnOneName);
}

int open_caller_file(const char* path) {
  if (path == nullptr || path[0] == '\0') {
    errno = ENOENT;
    return -1;
  }
  return regular_only(::open(path, O_RDONLY | kCallerFileFlags), Keep::kAny);
}

int open_caller_output(const char* path, CallerOutput how) {
  if (path == nullptr || path[0] == '\0') {
    errno = ENOENT;
    return -1;
  }
  const int exclusive = how == CallerOutput::kNewFile ? O_EXCL : 0;
  return regular_only(::open(path, O_WRONLY | O_CREAT | exclusive | kCallerFileFlags, 0600),
                      how == CallerOutput::kAnyUsers ? Keep::kOneName : Keep::kOwnOneName);
}

std::string make_private_file(const std::string& prefix) {
  std::string path = prefix + ".XXXXXX";
  const int fd = ::mkostemp(path.data(), O_CLOEXEC);
  if (fd < 0) return std::string();
  ::close(fd);
  return path;
}

bool make_dirs(const std::string& dir) {
  if (dir.empty()) return false;
  std::string partial;
  size_t pos = 0;
  while (pos != std::string::npos) {
    size_t next = dir.find('/', pos + 1);
    partial = dir.substr(0, next);
    if (!partial.empty() && partial != "/") {
      if (::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    pos = next;
  }
  struct stat st {};
  return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace vx
