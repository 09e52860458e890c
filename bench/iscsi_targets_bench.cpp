// Adding and deleting one static target while 1, 16 or 128 others (each logged in, each with two
// records in the saved-target file) stand under the initiator, and the LUN rescan of a target with
// 256 LUNs, through the public calls on a simulated generation-5 adapter. An add reads the saved
// file and the firmware's session list, so its cost may grow with the targets there are, but no
// faster: the per-existing-target counter should fall as the count grows. Both report the time in
// all, the library's own wall and CPU time (without the device calls) and its fsyncs.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "bench/bench_support.h"
#include "varu.h"

namespace {

constexpr const char* kLhba = "Vexalon0/iSCSIPhysicalHBA0/LogicalHBA0";
constexpr const char* kManyLuns = "iqn.2026-01.com.example:many-luns";

std::string target_name(int i) { return "iqn.2026-01.com.example:t" + std::to_string(i); }

std::string make_config(int targets) {
  std::string s =
      R"({"adapters": [{"serial_number": "BENCHT5", "generation": 5, "pci": {"bus": 9}, "ports": 1,
                       "iscsi_functions": [{"function": 2}]}], "network": {"targets": [)";
  for (int i = 0; i < targets; ++i) {
    s += "{\"name\": \"" + target_name(i) + "\", \"portals\": [{\"address\": \"" + vxbench::spread_address(i) + "\"}]}, ";
  }
  s += "{\"name\": \"" + std::string(kManyLuns) + "\", \"portals\": [{\"address\": \"10.2.0.1\"}], \"luns\": [";
  for (int lun = 0; lun < 256; ++lun) s += (lun ? ", " : "") + std::string("{\"lun\": ") + std::to_string(lun) + "}";
  return s + "]}]}}";
}

using vxbench::act;
using vxbench::tag_of;

// A scratch root, the simulated adapter with `targets` remote targets and a started library.
class TargetLab {
 public:
  explicit TargetLab(int targets) : lab_(make_config(targets)) {
    ok_ = lab_.ok() && library_.ok();
    lhba_ = tag_of(kLhba);
    ok_ = ok_ && lhba_ != UINT32_MAX;
  }
  bool ok() const { return ok_; }
  uint32_t lhba() const { return lhba_; }

 private:
  vxbench::Lab lab_;
  vxbench::Started library_;
  bool ok_ = false;
  uint32_t lhba_ = UINT32_MAX;
};

void BM_AddDeleteTarget(benchmark::State& state) {
  const int existing = static_cast<int>(state.range(0));
  TargetLab lab(existing);
  if (!lab.ok()) {
    state.SkipWithError("simulated adapter module not available (build the vxsim target)");
    return;
  }
  for (int i = 0; i < existing; ++i) {
    if (act(lab.lhba(), "AddTarget", {target_name(i).c_str(), vxbench::spread_address(i).c_str()}) != 0) {
      state.SkipWithError("an existing target could not be added");
      return;
    }
  }
  // The measured target's address is listed nowhere: its login fails, so it can go at once.
  const std::string number = std::to_string(existing);
  vxbench::SplitTimer timer;
  for (auto _ : state) {
    timer.start();
    const uint32_t added = act(lab.lhba(), "AddTarget", {"iqn.2026-01.com.example:measured", "10.250.0.1"});
    const uint32_t deleted = act(lab.lhba(), "DeleteTarget", {number.c_str()});
    timer.stop();
    if (added != 0 || deleted != 0) {
      state.SkipWithError("add or delete failed");
      return;
    }
  }
  const double pairs = static_cast<double>(state.iterations());
  state.counters["existing"] = existing;
  state.counters["us_per_existing_target"] = timer.total() * 1e6 / pairs / existing;
  timer.report(state, "per_add_delete", pairs);
}

void BM_RescanLuns(benchmark::State& state) {
  TargetLab lab(0);
  if (!lab.ok() || act(lab.lhba(), "AddTarget", {kManyLuns, "10.2.0.1"}) != 0) {
    state.SkipWithError("simulated adapter module not available, or the target was not added");
    return;
  }
  const uint32_t target = tag_of(std::string(kLhba) + "/Target0");
  vxbench::SplitTimer timer;
  for (auto _ : state) {
    timer.start();
    const uint32_t scanned = act(target, "ReScanLUNS", {});
    timer.stop();
    if (scanned != 0) {
      state.SkipWithError("rescan failed");
      return;
    }
  }
  const bool last = tag_of(std::string(kLhba) + "/Target0/LUN254") != UINT32_MAX;
  state.counters["luns"] = last ? 255 : 0;   // a scan keeps the first 255 of a report
  state.counters["rescan_us"] = timer.total() * 1e6 / static_cast<double>(state.iterations());
  timer.report(state, "per_lun", static_cast<double>(state.iterations()) * 255);
}

}  // namespace

BENCHMARK(BM_AddDeleteTarget)->ArgName("existing")->Arg(1)->Arg(16)->Arg(128)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RescanLuns)->Unit(benchmark::kMillisecond);
