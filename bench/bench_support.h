// What the benchmarks share: a root directory for the library's files, the heap and allocations a
// step takes, the split of a step's time between the library and the device calls, a client of the
// hierarchy with an iSCSI initiator's chain built under "ROOT", and a lab of simulated adapters.
// Each benchmark leaves the process as it found it (variables, working directory, the library
// stopped, the simulator empty, the seam's entries): these helpers undo what they set up when they
// go, and the harness (main.cpp) fails a benchmark that leaves anything behind.
#pragma once

#include <malloc.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "engine/hm.h"
#include "platform/file_store.h"
#include "platform/platform.h"
#include "schema/controller.h"
#include "schema/iscsi_phba.h"
#include "schema/logical_hba.h"
#include "schema/target.h"
#include "support/sim_controls.h"
#include "varu.h"

namespace vxbench {

// Points VXIMA_ROOT at a shared scratch directory, unless a root is set already. It stays set: a
// benchmark that calls it must restore the variable itself (ScopedVariable); prefer ScratchRoot.
inline void use_shared_root() {
  if (std::getenv("VXIMA_ROOT") != nullptr) return;
  std::string root = (std::filesystem::temp_directory_path() / "vxima-bench").string();
  std::filesystem::create_directories(root);
  ::setenv("VXIMA_ROOT", root.c_str(), 1);
}

// An environment variable set (or, with nullptr, unset) for a scope; its earlier value, or its
// absence, comes back at the end.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    set(value);
  }
  ~ScopedVariable() { set(saved_ ? saved_->c_str() : nullptr); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

  void set(const char* value) const {
    if (value != nullptr) {
      ::setenv(name_.c_str(), value, 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }

 private:
  std::string name_;
  std::optional<std::string> saved_;
};

// A fresh directory "<tmp>/<prefix>XXXXXX" as VXIMA_ROOT for one benchmark; removed (and the
// variable as it was before) at the end.
class ScratchRoot {
 public:
  explicit ScratchRoot(const char* prefix) : path_(make(prefix)), variable_("VXIMA_ROOT", path_.c_str()) {}
  ~ScratchRoot() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  ScratchRoot(const ScratchRoot&) = delete;
  ScratchRoot& operator=(const ScratchRoot&) = delete;

  const std::string& path() const { return path_; }   // "" when it could not be made

 private:
  static std::string make(const char* prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (std::string(prefix) + "XXXXXX")).string();
    return ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
  }

  std::string path_;
  ScopedVariable variable_;
};

// A root for a benchmark that needs one but not a fresh one of its own: the root in force (a lab's),
// else a scratch root for the object's life.
class AnyRoot {
 public:
  AnyRoot() {
    if (std::getenv("VXIMA_ROOT") == nullptr) scratch_ = std::make_unique<ScratchRoot>("vxima-bench-");
  }

 private:
  std::unique_ptr<ScratchRoot> scratch_;
};

// The working directory changed for a scope and restored at its end.
class InDirectory {
 public:
  explicit InDirectory(const std::string& dir) {
    char cwd[4096];
    if (::getcwd(cwd, sizeof cwd) == nullptr) return;
    saved_ = cwd;
    ok_ = ::chdir(dir.c_str()) == 0;
  }
  ~InDirectory() {
    if (ok_ && ::chdir(saved_.c_str()) != 0) std::perror("vxbench: cannot return to the working directory");
  }
  InDirectory(const InDirectory&) = delete;
  InDirectory& operator=(const InDirectory&) = delete;
  bool ok() const { return ok_; }

 private:
  std::string saved_;
  bool ok_ = false;
};

// The library started (VARU_init) for a scope and stopped (VARU_exit) at its end.
class Started {
 public:
  Started() : status_(VARU_init()) {}
  ~Started() {
    if (status_ == 0) VARU_exit();
  }
  Started(const Started&) = delete;
  Started& operator=(const Started&) = delete;
  bool ok() const { return status_ == 0; }

 private:
  uint32_t status_;
};

// Heap in use (glibc's count, chunk headers included) and the library's allocations since the
// meter was made.
class HeapMeter {
 public:
  HeapMeter() : heap_(mallinfo2().uordblks), allocations_(vx::varu_alloc_count()) {}
  double bytes() const { return static_cast<double>(mallinfo2().uordblks - heap_); }
  double allocations() const { return static_cast<double>(vx::varu_alloc_count() - allocations_); }

 private:
  size_t heap_;
  uint32_t allocations_;
};

// The thread's CPU time, in seconds.
inline double thread_cpu_seconds() {
  timespec now{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// What SplitTimer measured, in seconds; the times of several timers add up (a login's and a
// logout's into a session's).
class SplitTimes {
 public:
  // In all, inside the device calls, and the library's own: wall time.
  double total() const { return total_; }
  double device() const { return device_; }
  double library() const { return total_ - device_; }
  // The same as the thread's CPU time.
  double cpu() const { return cpu_; }
  double device_cpu() const { return device_cpu_; }
  double library_cpu() const { return cpu_ - device_cpu_; }
  // The library's CPU time split into its own code (user time) and the kernel's work in its system
  // calls (system time: the files it reads, writes, renames and fsyncs). The kernel samples the
  // split at each timer tick (every 4 ms on a kernel of 250 Hz), so it is a share of as many ticks
  // as fell within the library's part, good to about 1/sqrt(ticks); it is applied to the library's
  // CPU time, which is exact. Both are 0 while no tick fell there.
  double library_system() const { return share_of(sampled_system()); }
  double library_user() const { return share_of(sampled_user()); }
  // The library's fsyncs (of files and of their directories).
  double fsyncs() const { return fsyncs_; }

  SplitTimes& operator+=(const SplitTimes& other) {
    total_ += other.total_;
    device_ += other.device_;
    cpu_ += other.cpu_;
    device_cpu_ += other.device_cpu_;
    user_ += other.user_;
    system_ += other.system_;
    fsyncs_ += other.fsyncs_;
    return *this;
  }

  // Counters per operation, `per` naming it ("per_adapter"): "us_<per>" in all, the library's own
  // wall time "library_us_<per>", its CPU time "library_cpu_us_<per>" with that split into
  // "library_user_us_<per>" and "library_system_us_<per>", and "fsyncs_<per>".
  void report(benchmark::State& state, const std::string& per, double operations) const {
    const double us = 1e6 / operations;
    state.counters["us_" + per] = total() * us;
    state.counters["library_us_" + per] = library() * us;
    state.counters["library_cpu_us_" + per] = library_cpu() * us;
    state.counters["library_user_us_" + per] = library_user() * us;
    state.counters["library_system_us_" + per] = library_system() * us;
    state.counters["fsyncs_" + per] = fsyncs() / operations;
  }

 protected:
  // As sampled; the overhead taken off may leave a sample a little below 0.
  double sampled_user() const { return std::max(user_, 0.0); }
  double sampled_system() const { return std::max(system_, 0.0); }
  bool sampled() const { return sampled_user() + sampled_system() > 0; }
  // The library's CPU time in the proportion `part` of the samples: each share computed on its own,
  // so that a part no tick fell in is 0, never a rounding error below it.
  double share_of(double part) const {
    return sampled() ? library_cpu() * part / (sampled_user() + sampled_system()) : 0;
  }

  double total_ = 0;
  double device_ = 0;
  double cpu_ = 0;
  double device_cpu_ = 0;
  double user_ = 0;     // the library's user and system time as the kernel sampled them
  double system_ = 0;
  double fsyncs_ = 0;
};

// Time of the steps measured, in all and inside the device calls (open, close and ioctl of the
// platform seam: the drivers, here the simulated adapter); the library's own time is the rest. Both
// as wall time and as the thread's CPU time: the library's wall time holds its own fsyncs (a wait
// for the disk that is short on a quiet disk and long on a loaded one), its CPU time does not, so
// the two together tell the library's work from the disk's. The library's CPU time holds the
// kernel's work in its own system calls, told apart as system time (the thread's user and system
// time around the same steps and device calls). The fsyncs of the library's file store are counted
// too. The seam's entries are timed, and the fsyncs counted, while a timer stands. One thread.
class SplitTimer : public SplitTimes {
 public:
  SplitTimer() {
    if (timers()++ == 0) {
      vx::HostOps& ops = vx::host_ops();
      real() = ops;
      ops.open = [](const char* path, int flags, mode_t mode) { return timed(real().open, path, flags, mode); };
      ops.close = [](int fd) { return timed(real().close, fd); };
      ops.ioctl = [](int fd, unsigned long request, void* arg) { return timed(real().ioctl, fd, request, arg); };
      vx::file_store::SystemCalls& calls = vx::file_store::system_calls();
      real_fsync() = calls.fsync;
      calls.fsync = [](int fd) {
        ++seam().fsyncs;
        return real_fsync()(fd);
      };
    }
    overhead();   // measured before the first step, not inside one
  }
  ~SplitTimer() {
    if (--timers() != 0) return;
    vx::HostOps& ops = vx::host_ops();
    ops.open = real().open;
    ops.close = real().close;
    ops.ioctl = real().ioctl;
    vx::file_store::system_calls().fsync = real_fsync();
  }
  SplitTimer(const SplitTimer&) = delete;
  SplitTimer& operator=(const SplitTimer&) = delete;

  // Around each step measured.
  void start() {
    at_start_ = seam();
    usage_start_ = Usage::now();
    start_ = Clocks::now();
  }
  void stop() {
    const Clocks end = Clocks::now();
    const Usage usage_end = Usage::now();
    const Seam& now = seam();
    const Overhead& cost = overhead();
    const double calls = static_cast<double>(now.calls - at_start_.calls);
    total_ += end.wall - start_.wall - calls * cost.wall;
    cpu_ += end.cpu - start_.cpu - calls * cost.cpu;
    device_ += now.wall - at_start_.wall - calls * cost.device_wall;
    device_cpu_ += now.cpu - at_start_.cpu - calls * cost.device_cpu;
    user_ += usage_end.user - usage_start_.user - (now.usage.user - at_start_.usage.user);
    system_ += usage_end.system - usage_start_.system - (now.usage.system - at_start_.usage.system) -
               calls * cost.usage;
    fsyncs_ += static_cast<double>(now.fsyncs - at_start_.fsyncs);
  }

 private:
  struct Clocks {
    double wall;
    double cpu;
    static Clocks now() {
      return {std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(),
              thread_cpu_seconds()};
    }
  };
  // The thread's user and system time as the kernel samples them: at each timer tick it adds the
  // tick to the user or the system time of the thread it interrupted. Read raw, from the thread's
  // CPU clocks of user time and of user and system time; getrusage scales them to the exact
  // run time at every call, which spreads each span's time in the thread's lifelong ratio of the
  // two (a spin in user code between kernel work read as a third user time). Both change only at a
  // tick, so the user time is read again only when the sum has changed: one clock read a reading.
  struct Usage {
    double user = 0;
    double system = 0;
    static Usage now() {
      static double last_total = -1;
      static double last_user = 0;
      const double total = clock_seconds(kUserSystemClock);
      if (total != last_total) {
        last_total = total;
        last_user = clock_seconds(kUserClock);
      }
      return {last_user, total - last_user};
    }
    // The calling thread's CPU clocks, as the kernel numbers them: ~tid << 3 | type | 4 (a thread's
    // clock), thread id 0 the caller's own, type 0 user and system time, type 1 user time.
    static constexpr clockid_t kUserSystemClock = static_cast<clockid_t>(~0u << 3 | 0 | 4);
    static constexpr clockid_t kUserClock = static_cast<clockid_t>(~0u << 3 | 1 | 4);
    static double clock_seconds(clockid_t clock) {
      timespec now{};
      ::clock_gettime(clock, &now);
      return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
    }
  };
  // What the seam has seen while timers stood: time inside the device calls, the calls, fsyncs.
  struct Seam {
    double wall = 0;
    double cpu = 0;
    Usage usage;
    uint64_t calls = 0;
    uint64_t fsyncs = 0;
  };
  // What timing one device call adds, in all and inside the call as timed. The thread's CPU clocks
  // are system calls (a quarter to half a microsecond on a virtual machine), which would otherwise
  // show as the library's or the drivers' time; they are measured once on calls that do nothing and
  // taken off. The user and system times are read outermost, so what their reading adds to the
  // library's part is about one reading a call (the entry before the first and the return after the
  // last), kernel time: `usage` is its CPU time, taken off the system time.
  struct Overhead {
    double wall = 0;
    double cpu = 0;
    double device_wall = 0;
    double device_cpu = 0;
    double usage = 0;
  };

  static int& timers() {
    static int count = 0;
    return count;
  }
  static vx::HostOps& real() {
    static vx::HostOps ops{};
    return ops;
  }
  using Fsync = int (*)(int);
  static Fsync& real_fsync() {
    static Fsync fsync = nullptr;
    return fsync;
  }
  static Seam& seam() {
    static Seam seen;
    return seen;
  }
  template <typename Call, typename... Args>
  static int timed(Call call, Args... args) {
    const Usage usage_start = Usage::now();
    const Clocks start = Clocks::now();
    const int result = call(args...);
    const Clocks end = Clocks::now();
    const Usage usage_end = Usage::now();
    Seam& s = seam();
    s.wall += end.wall - start.wall;
    s.cpu += end.cpu - start.cpu;
    s.usage.user += usage_end.user - usage_start.user;
    s.usage.system += usage_end.system - usage_start.system;
    ++s.calls;
    return result;
  }
  static const Overhead& overhead() {
    static const Overhead cost = [] {
      constexpr int kCalls = 200;
      constexpr int kRounds = 9;
      std::vector<double> wall, cpu, device_wall, device_cpu, usage;
      for (int round = 0; round < kRounds; ++round) {
        const Seam before = seam();
        Clocks start = Clocks::now();
        for (int i = 0; i < kCalls; ++i) timed(+[](int fd) { return fd; }, i);
        Clocks end = Clocks::now();
        const Seam after = seam();
        seam() = before;
        wall.push_back((end.wall - start.wall) / kCalls);
        cpu.push_back((end.cpu - start.cpu) / kCalls);
        device_wall.push_back((after.wall - before.wall) / kCalls);
        device_cpu.push_back((after.cpu - before.cpu) / kCalls);
        start = Clocks::now();
        for (int i = 0; i < kCalls; ++i) Usage::now();
        end = Clocks::now();
        usage.push_back((end.cpu - start.cpu) / kCalls);
      }
      return Overhead{median(wall), median(cpu), median(device_wall), median(device_cpu), median(usage)};
    }();
    return cost;
  }
  static double median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
  }

  Clocks start_{};
  Usage usage_start_;
  Seam at_start_;
};

// Starts the library (VARU_init) once an iteration and stops it again; the times of the start-ups.
inline SplitTimes timed_start_ups(benchmark::State& state) {
  SplitTimer timer;
  for (auto _ : state) {
    timer.start();
    VARU_init();
    timer.stop();
    state.PauseTiming();
    VARU_exit();
    state.ResumeTiming();
  }
  return timer;
}

// How much of an iSCSI initiator's chain a Client builds under "ROOT".
enum class Chain { kNone, kLogicalHba, kTarget };

// One client of the hierarchy for the length of a benchmark, with a controller, physical HBA,
// logical HBA (and target) of its own, removed again at the end. A tree that stands already (a
// lab's) is shared and left as it was; without a root in force, the client has a scratch root.
class Client {
 public:
  explicit Client(Chain chain = Chain::kNone) {
    VARU_init();
    root_ = vx::get_node(0);
    if (root_ == nullptr || chain == Chain::kNone) return;
    vexalon_ = vx::initialize_Vexalon(root_, nullptr, nullptr, nullptr);
    hm_node* phba =
        vexalon_ != nullptr ? vx::initialize_iSCSIPhysicalHBA(vexalon_, nullptr, nullptr, nullptr) : nullptr;
    lhba_ = phba != nullptr ? vx::initialize_LogicalHBA(phba, nullptr, nullptr, nullptr) : nullptr;
    if (chain == Chain::kTarget) {
      target_ = lhba_ != nullptr ? vx::initialize_Target(lhba_, nullptr, nullptr, nullptr) : nullptr;
    }
  }
  ~Client() {
    if (vexalon_ != nullptr) vx::delete_node(vexalon_);
    VARU_exit();
  }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  hm_node* root() const { return root_; }
  hm_node* lhba() const { return lhba_; }
  hm_node* target() const { return target_; }

 private:
  AnyRoot scratch_;
  hm_node* root_ = nullptr;
  hm_node* vexalon_ = nullptr;
  hm_node* lhba_ = nullptr;
  hm_node* target_ = nullptr;
};

// A simulator configuration of `adapters` generation-3 adapters with an iSCSI function on each of
// their four ports and, for the first eight (the NIC driver's inventory holds eight chips), a NIC
// function on every port as well. With `tlvs`, every port's DCBX records hold application TLVs
// (two of the administrator, one operational, one of the peer).
constexpr int kLabPorts = 4;
constexpr int kMaxAdaptersWithNic = 8;

constexpr const char* kLabPortSettings =
    R"({"dcbx": {"admin": {"app_tlvs": [{"entry": 0, "protocol": 35078, "priorities": 8},
                                         {"entry": 3, "selector": 1, "protocol": 3260, "priorities": 16}]},
                "operational": {"app_tlvs": [{"entry": 3, "selector": 1, "protocol": 3260, "priorities": 16}]},
                "peer": {"app_tlvs": [{"entry": 1, "selector": 1, "protocol": 3260, "priorities": 16}]}}})";

inline std::string adapters_config(int adapters, bool with_nic, bool tlvs = false) {
  auto functions = [](int first) {
    std::string list;
    for (int p = 0; p < kLabPorts; ++p) {
      list += (p ? ", " : "") + std::string("{\"function\": ") + std::to_string(first + p) + ", \"port\": " +
              std::to_string(p) + "}";
    }
    return list;
  };
  std::string s = "{\"adapters\": [";
  for (int a = 0; a < adapters; ++a) {
    char head[160];
    std::snprintf(head, sizeof head,
                  "%s{\"serial_number\": \"BENCH%02d\", \"generation\": 3, \"pci\": {\"bus\": %d}, \"ports\": %d",
                  a == 0 ? "" : ", ", a, 16 + a, kLabPorts);
    s += head + std::string(", \"iscsi_functions\": [") + functions(4) + "]";
    if (with_nic && a < kMaxAdaptersWithNic) s += ", \"nic_functions\": [" + functions(0) + "]";
    if (tlvs) {
      s += ", \"port_settings\": [";
      for (int p = 0; p < kLabPorts; ++p) s += (p ? ", " : "") + std::string(kLabPortSettings);
      s += "]";
    }
    s += "}";
  }
  return s + "]}";
}

// The i-th of many remote target addresses, 250 to a /24.
inline std::string spread_address(int i) {
  return "10.1." + std::to_string(i / 250) + "." + std::to_string(1 + i % 250);
}

// A scratch root and a simulator configuration (its JSON text, or `adapters` adapters), for one
// benchmark. At the end the simulator is emptied (reset without a configuration: it then serves no
// device node, as before it was loaded), VXIMA_SIMULATOR is as it was and the root is removed. The
// library must be stopped by then (Started, declared after the lab, sees to it).
class Lab {
 public:
  explicit Lab(const std::string& config_text) {
    std::string config = root_.path() + "/adapters.json";
    std::ofstream(config) << config_text;
    simulator_.set(config.c_str());
    ok_ = !root_.path().empty() && sim_.load() && sim_.reset() == 0;
  }
  Lab(int adapters, bool with_nic, bool tlvs = false) : Lab(adapters_config(adapters, with_nic, tlvs)) {}
  ~Lab() {
    simulator_.set(nullptr);
    if (sim_.reset != nullptr) sim_.reset();
  }
  Lab(const Lab&) = delete;
  Lab& operator=(const Lab&) = delete;

  bool ok() const { return ok_; }
  const std::string& root() const { return root_.path(); }
  void clear_journal() const { sim_.journal_clear(); }
  int firmware_commands() const { return static_cast<int>(sim_.commands().size()); }

 private:
  ScratchRoot root_{"vxima-lab-"};
  ScopedVariable simulator_{"VXIMA_SIMULATOR", nullptr};
  vxtest::SimControls sim_;
  bool ok_ = false;
};

// What one start-up (VARU_init) against a lab leaves and sends, the library stopped again: the heap
// and allocations of the built tree and of what the library keeps (the simulator's journal of the
// commands left out), the firmware commands sent, and the controllers built (groups under "ROOT").
struct StartUpFootprint {
  double heap = 0;
  double allocations = 0;
  double commands = 0;
  uint32_t controllers = 0;

  explicit StartUpFootprint(const Lab& lab) {
    lab.clear_journal();
    const HeapMeter meter;
    VARU_init();
    allocations = meter.allocations();
    commands = lab.firmware_commands();
    lab.clear_journal();   // the simulator's record of the commands is not the library's heap
    heap = meter.bytes();
    // The call needs room for every child: as many as the hierarchy has tags (a tree another
    // benchmark left standing may hold far more groups than there are adapters).
    std::vector<uint32_t> tags(static_cast<size_t>(vx::hierarchy_name_.capacity));
    VARU_get_child_tags(0, tags.data(), &controllers, VARU_KIND_GROUP);
    VARU_exit();
  }
};

// A start-up benchmark over a lab of `adapters` adapters: one measured start-up (heap, allocations,
// commands; every adapter must become a controller), then timed start-ups, all reported per adapter.
inline void start_ups_per_adapter(benchmark::State& state, const Lab& lab, int adapters) {
  const StartUpFootprint footprint(lab);
  if (footprint.controllers != static_cast<uint32_t>(adapters)) {
    state.SkipWithError("not every adapter became a controller");
    return;
  }
  const SplitTimes timer = timed_start_ups(state);
  const double n = static_cast<double>(adapters);
  state.counters["adapters"] = n;
  timer.report(state, "per_adapter", static_cast<double>(state.iterations()) * n);
  state.counters["heap_bytes_per_adapter"] = footprint.heap / n;
  state.counters["allocations_per_adapter"] = footprint.allocations / n;
  state.counters["commands_per_adapter"] = footprint.commands / n;
}

// The text of a file ("" when it cannot be read).
inline std::string file_text(const std::string& path) {
  std::ifstream file(path);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The tag of the node at `path` below "ROOT" (the last part of the given kind); UINT32_MAX when a
// part is missing.
inline uint32_t tag_of(const std::string& path, int32_t kind = VARU_KIND_GROUP) {
  uint32_t tag = 0;
  size_t start = 0;
  while (start < path.size()) {
    const size_t slash = path.find('/', start);
    const bool last = slash == std::string::npos;
    uint32_t next = 0;
    if (VARU_get_node_tag(static_cast<int32_t>(tag), path.substr(start, last ? std::string::npos : slash - start).c_str(),
                          &next, last ? kind : VARU_KIND_GROUP) != 0) {
      return UINT32_MAX;
    }
    tag = next;
    if (last) break;
    start = slash + 1;
  }
  return tag;
}

// Runs an action of a group by name with the given parameters (the others not given).
inline uint32_t act(uint32_t group, const char* action, std::initializer_list<const char*> slots) {
  char params[6][256] = {};
  for (auto& slot : params) slot[0] = static_cast<char>(VARU_PARAM_ABSENT);
  int i = 0;
  for (const char* text : slots) std::snprintf(params[i++], 256, "%s", text);
  uint32_t action_tag = 0;
  if (VARU_get_node_tag(static_cast<int32_t>(group), action, &action_tag, VARU_KIND_ACTION) != 0) return 1;
  return VARU_do_action(group, static_cast<int32_t>(action_tag), params, nullptr);
}

}  // namespace vxbench
