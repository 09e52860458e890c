// Start-up (VARU_init: enumeration of every adapter and the per-controller steps) and shut-down
// against 1, 4 and 16 simulated adapters, each with an iSCSI function on every one of its four
// ports and, for the first eight (the NIC driver's inventory holds eight chips), a NIC function on
// every port as well; and the same adapters with their iSCSI functions only. Reported per adapter, so that linear growth shows as flat counters:
// start-up time, heap and allocations of the built tree, and firmware commands sent (from the
// simulator's journal).
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "access/platform.h"
#include "engine/hm.h"
#include "sim/vxsim_control.h"
#include "varu.h"

namespace {

constexpr int kPorts = 4;
constexpr int kMaxAdaptersWithNic = 8;

std::string make_config(int adapters, bool with_nic) {
  std::string s = "{\"adapters\": [";
  for (int a = 0; a < adapters; ++a) {
    char head[160];
    std::snprintf(head, sizeof head,
                  "%s{\"serial_number\": \"BENCH%02d\", \"generation\": 3, \"pci\": {\"bus\": %d}, \"ports\": %d",
                  a == 0 ? "" : ", ", a, 16 + a, kPorts);
    s += head;
    s += ", \"iscsi_functions\": [";
    for (int p = 0; p < kPorts; ++p) {
      s += (p ? ", " : "") + std::string("{\"function\": ") + std::to_string(4 + p) + ", \"port\": " +
           std::to_string(p) + "}";
    }
    s += "]";
    if (with_nic && a < kMaxAdaptersWithNic) {
      s += ", \"nic_functions\": [";
      for (int p = 0; p < kPorts; ++p) {
        s += (p ? ", " : "") + std::string("{\"function\": ") + std::to_string(p) + ", \"port\": " +
             std::to_string(p) + "}";
      }
      s += "]";
    }
    s += "}";
  }
  return s + "]}";
}

// A scratch root and a configuration of `adapters` adapters for the simulator, for one benchmark.
class Lab {
 public:
  Lab(int adapters, bool with_nic) {
    std::string pattern = (std::filesystem::temp_directory_path() / "vxima-startup-XXXXXX").string();
    root_ = ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
    std::string config = root_ + "/adapters.json";
    std::ofstream(config) << make_config(adapters, with_nic);
    ::setenv("VXIMA_ROOT", root_.c_str(), 1);
    ::setenv("VXIMA_SIMULATOR", config.c_str(), 1);
    reset_ = reinterpret_cast<int (*)()>(vx::simulator_symbol("vxsim_reset"));
    count_ = reinterpret_cast<int (*)()>(vx::simulator_symbol("vxsim_journal_count"));
    get_ = reinterpret_cast<int (*)(int, vxsim_journal_entry*)>(vx::simulator_symbol("vxsim_journal_get"));
    clear_ = reinterpret_cast<void (*)()>(vx::simulator_symbol("vxsim_journal_clear"));
    ok_ = !root_.empty() && reset_ != nullptr && count_ != nullptr && get_ != nullptr && clear_ != nullptr &&
          reset_() == 0;
  }
  ~Lab() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  Lab(const Lab&) = delete;
  Lab& operator=(const Lab&) = delete;

  bool ok() const { return ok_; }
  void clear_journal() const { clear_(); }
  int firmware_commands() const {
    int n = 0;
    for (int i = 0; i < count_(); ++i) {
      vxsim_journal_entry e{};
      if (get_(i, &e) == 0 && e.is_firmware_command != 0) ++n;
    }
    return n;
  }

 private:
  std::string root_;
  bool ok_ = false;
  int (*reset_)() = nullptr;
  int (*count_)() = nullptr;
  int (*get_)(int, vxsim_journal_entry*) = nullptr;
  void (*clear_)() = nullptr;
};

uint32_t controllers() {
  std::vector<uint32_t> tags(64);
  uint32_t count = 0;
  VARU_get_child_tags(0, tags.data(), &count, VARU_KIND_GROUP);
  return count;
}

void BM_StartUp(benchmark::State& state) {
  const int adapters = static_cast<int>(state.range(0));
  Lab lab(adapters, state.range(1) != 0);
  if (!lab.ok()) {
    state.SkipWithError("simulated adapter module not available (build the vxsim target)");
    return;
  }
  // One measured start for what the tree holds and what was sent.
  lab.clear_journal();
  const size_t heap_before = mallinfo2().uordblks;
  const uint32_t allocations_before = vx::varu_alloc_count();
  VARU_init();
  const double heap = static_cast<double>(mallinfo2().uordblks - heap_before);
  const double allocations = static_cast<double>(vx::varu_alloc_count() - allocations_before);
  const double commands = lab.firmware_commands();
  const uint32_t built = controllers();
  VARU_exit();
  if (built != static_cast<uint32_t>(adapters)) {
    state.SkipWithError("not every adapter became a controller");
    return;
  }

  double seconds = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    VARU_init();
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.PauseTiming();
    VARU_exit();
    state.ResumeTiming();
  }
  const double n = static_cast<double>(adapters);
  state.counters["adapters"] = n;
  state.counters["startup_us_per_adapter"] = seconds * 1e6 / static_cast<double>(state.iterations()) / n;
  state.counters["heap_bytes_per_adapter"] = heap / n;
  state.counters["allocations_per_adapter"] = allocations / n;
  state.counters["commands_per_adapter"] = commands / n;
}

}  // namespace

// Second argument 1: NIC functions too (every NIC command first re-enumerates the NIC functions,
// so their cost grows with the number of functions); 0: iSCSI functions only.
BENCHMARK(BM_StartUp)
    ->ArgNames({"adapters", "nic"})
    ->ArgsProduct({{1, 4, 8, 16}, {1, 0}})
    ->Unit(benchmark::kMillisecond);
