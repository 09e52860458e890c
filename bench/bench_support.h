// What the benchmarks share: a root directory for the library's files, the heap and allocations a
// step takes, the split of a step's time between the library and the device calls, a client of the
// hierarchy with an iSCSI initiator's chain built under "ROOT", and a lab of simulated adapters.
// Each benchmark leaves the process as it found it (variables, working directory, the library
// stopped, the simulator empty, the seam's entries): these helpers undo what they set up when they
// go, and the harness (main.cpp) fails a benchmark that leaves anything behind.
#pragma once

#include <malloc.h>
#include <stdlib.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

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

#include "bench/split_timer.h"
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
