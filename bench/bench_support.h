// What the benchmarks share: a root directory for the library's files, the heap and allocations a
// step takes, and a client of the hierarchy with an iSCSI initiator's chain built under "ROOT".
#pragma once

#include <malloc.h>
#include <stdlib.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <system_error>

#include "engine/hm.h"
#include "platform/platform.h"
#include "schema/controller.h"
#include "schema/iscsi_phba.h"
#include "schema/logical_hba.h"
#include "schema/target.h"
#include "support/sim_controls.h"
#include "varu.h"

namespace vxbench {

// Points VXIMA_ROOT at a shared scratch directory, unless a root is set already.
inline void use_shared_root() {
  if (std::getenv("VXIMA_ROOT") != nullptr) return;
  std::string root = (std::filesystem::temp_directory_path() / "vxima-bench").string();
  std::filesystem::create_directories(root);
  ::setenv("VXIMA_ROOT", root.c_str(), 1);
}

// A fresh directory "<tmp>/<prefix>XXXXXX" as VXIMA_ROOT for one benchmark; removed (and the
// variable unset) at the end.
class ScratchRoot {
 public:
  explicit ScratchRoot(const char* prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (std::string(prefix) + "XXXXXX")).string();
    path_ = ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
    ::setenv("VXIMA_ROOT", path_.c_str(), 1);
  }
  ~ScratchRoot() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
    ::unsetenv("VXIMA_ROOT");
  }
  ScratchRoot(const ScratchRoot&) = delete;
  ScratchRoot& operator=(const ScratchRoot&) = delete;

  const std::string& path() const { return path_; }   // "" when it could not be made

 private:
  std::string path_;
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

// Time of the steps measured, in all and inside the device calls (open, close and ioctl of the
// platform seam: the drivers, here the simulated adapter); the library's own time is the rest. The
// seam's entries are timed while a timer stands. One thread.
class SplitTimer {
 public:
  SplitTimer() {
    if (timers()++ != 0) return;
    real() = vx::host_ops();
    vx::HostOps& ops = vx::host_ops();
    ops.open = [](const char* path, int flags, mode_t mode) { return timed(real().open, path, flags, mode); };
    ops.close = [](int fd) { return timed(real().close, fd); };
    ops.ioctl = [](int fd, unsigned long request, void* arg) { return timed(real().ioctl, fd, request, arg); };
  }
  ~SplitTimer() {
    if (--timers() == 0) vx::host_ops() = real();
  }
  SplitTimer(const SplitTimer&) = delete;
  SplitTimer& operator=(const SplitTimer&) = delete;

  // Around each step measured.
  void start() {
    device_at_start_ = in_devices();
    start_ = std::chrono::steady_clock::now();
  }
  void stop() {
    total_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    device_ += in_devices() - device_at_start_;
  }
  // Seconds in all, inside the device calls, and the library's own.
  double total() const { return total_; }
  double device() const { return device_; }
  double library() const { return total_ - device_; }

 private:
  static int& timers() {
    static int count = 0;
    return count;
  }
  static vx::HostOps& real() {
    static vx::HostOps ops{};
    return ops;
  }
  static double& in_devices() {
    static double seconds = 0;
    return seconds;
  }
  template <typename Call, typename... Args>
  static int timed(Call call, Args... args) {
    const auto start = std::chrono::steady_clock::now();
    const int result = call(args...);
    in_devices() += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
  }

  std::chrono::steady_clock::time_point start_;
  double device_at_start_ = 0;
  double total_ = 0;
  double device_ = 0;
};

// How much of an iSCSI initiator's chain a Client builds under "ROOT".
enum class Chain { kNone, kLogicalHba, kTarget };

// One client of the hierarchy for the length of a benchmark, with a controller, physical HBA,
// logical HBA (and target) of its own, removed again at the end. Another benchmark's tree, when
// one stands, is shared and left as it was.
class Client {
 public:
  explicit Client(Chain chain = Chain::kNone) {
    use_shared_root();
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
// benchmark.
class Lab {
 public:
  explicit Lab(const std::string& config_text) {
    std::string config = root_.path() + "/adapters.json";
    std::ofstream(config) << config_text;
    ::setenv("VXIMA_SIMULATOR", config.c_str(), 1);
    ok_ = !root_.path().empty() && sim_.load() && sim_.reset() == 0;
  }
  Lab(int adapters, bool with_nic, bool tlvs = false) : Lab(adapters_config(adapters, with_nic, tlvs)) {}

  bool ok() const { return ok_; }
  void clear_journal() const { sim_.journal_clear(); }
  int firmware_commands() const { return static_cast<int>(sim_.commands().size()); }

 private:
  ScratchRoot root_{"vxima-lab-"};
  vxtest::SimControls sim_;
  bool ok_ = false;
};

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
