// The platform seam: every host path and every device call of the library goes through here.
//  - VXIMA_ROOT=DIR puts every absolute host path under DIR.
//  - VXIMA_SIMULATOR=FILE serves the driver device nodes from the simulated adapter module
//    (libvxsim.so beside the library) configured by FILE.
// With neither set, the real paths and the real system calls are used.
#pragma once

#include <sys/time.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>

#include <string>
#include <vector>

namespace vx {

struct HostOps {
  int (*open)(const char* path, int flags, mode_t mode);
  int (*close)(int fd);
  int (*ioctl)(int fd, unsigned long request, void* arg);
  int (*system)(const char* command);
  // The time of day of every interval the library measures (the 10GBASE-T refresh, stopwatches);
  // tests set and advance it.
  int (*gettimeofday)(struct timeval* now);
};

// The table in force. Tests swap single entries for a scope with ScopedHostOp.
HostOps& host_ops();

// `absolute` under VXIMA_ROOT when it is set; other paths unchanged.
std::string host_path(const char* absolute);
inline std::string host_path(const std::string& absolute) { return host_path(absolute.c_str()); }

// Creates every missing directory of `absolute_dir` (already mapped by host_path) with mode 0755.
bool make_dirs(const std::string& dir);

// Files the library keeps in a directory that others can write ("/tmp"): nothing planted at the
// name is ever followed or truncated. Paths are host paths.
// Opens a log for appending: no symbolic link followed, no FIFO waited for, close-on-exec, and
// only a regular file of one link that this process's user owns. -1 otherwise.
int open_shared_dir_log(const std::string& path, mode_t mode);
// Files a caller names (an image to read, a dump or trace to write), opened as named relative to
// the working directory. The directories on the way are followed as given; a symbolic link at the
// last component is refused (the caller's own too), and so is anything that is not a regular file:
// a FIFO or a device is never waited on. Close-on-exec. -1 with errno set otherwise.
int open_caller_file(const char* path);
// For writing: made with mode 0600 when missing (these files hold adapter memory and traces); an
// existing file keeps its content and mode, and is refused when it has another name as well (a
// hard link planted at the name would carry the writes to a file elsewhere) or, unless `how` is
// kAnyUsers, belongs to another user (planted in a directory all can write, it would hand them the
// data). With kNewFile, only a file this call makes is taken: anything found at the name is refused.
enum class CallerOutput {
  kOwnFile,    // an existing file must be this user's
  kAnyUsers,   // only to try the name: nothing is written through it
  kNewFile,
};
int open_caller_output(const char* path, CallerOutput how = CallerOutput::kOwnFile);
// Makes a new empty file whose name is `prefix` and six random characters (created exclusively,
// mode 0600); its path, or "" when none could be made.
std::string make_private_file(const std::string& prefix);

// Memory whose address fits the 32-bit data-address field of the driver's configuration-read
// record (the library is a 32-bit process; the 64-bit test build maps it below 4 GiB). Zeroed;
// NULL on failure. Free with the same size.
void* alloc_driver_data_area(size_t size);
void free_driver_data_area(void* area, size_t size);
uint32_t driver_address(const void* area);

// A symbol of the simulated adapter module (loaded on first use when VXIMA_SIMULATOR is set); NULL
// when there is no simulator. Tests reach the module's controls through it.
void* simulator_symbol(const char* name);

// ---- programs the library runs (never through a shell) -----------------------------------------
// argv[0] is the program's path as given (map it with host_path first); the rest are its arguments,
// passed as they are. The child gets /dev/null as its standard input, output and error, and none of
// the library's other descriptors. Returns the exit status, or -1 when the program could not be
// started, was ended by a signal, or was still running after `timeout_seconds` (it is then killed).
constexpr int kProgramTimeoutSeconds = 10;
using ProgramRunner = int (*)(const std::vector<std::string>& argv, int timeout_seconds);
// The runner in force; tests swap it for a scope with ScopedProgramRunner.
ProgramRunner& program_runner();
// Why the last program this thread ran could not be started (ENOENT, EACCES: errno values), 0 when it
// was started. run_program clears it; a runner sets it when the start fails.
int& program_start_error();
inline int run_program(const std::vector<std::string>& argv, int timeout_seconds = kProgramTimeoutSeconds) {
  program_start_error() = 0;
  return program_runner()(argv, timeout_seconds);
}

class ScopedProgramRunner {
 public:
  explicit ScopedProgramRunner(ProgramRunner replacement) : saved_(program_runner()) { program_runner() = replacement; }
  ~ScopedProgramRunner() { program_runner() = saved_; }
  ScopedProgramRunner(const ScopedProgramRunner&) = delete;
  ScopedProgramRunner& operator=(const ScopedProgramRunner&) = delete;

 private:
  ProgramRunner saved_;
};

template <typename Fn>
class ScopedHostOp {
 public:
  ScopedHostOp(Fn HostOps::*member, Fn replacement) : member_(member), saved_(host_ops().*member) {
    host_ops().*member = replacement;
  }
  ~ScopedHostOp() { host_ops().*member_ = saved_; }
  ScopedHostOp(const ScopedHostOp&) = delete;
  ScopedHostOp& operator=(const ScopedHostOp&) = delete;

 private:
  Fn HostOps::*member_;
  Fn saved_;
};

}  // namespace vx
