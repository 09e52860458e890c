// Start-up of a generation-5 adapter with four ports of 16 functions each and 100 profiles (the
// list, each profile's protocols and capacities, the active and configured profiles with their 64
// functions, the pending-choices lines, the link configurations and the channels of every port);
// and one pending choice set while the file holds the lines of 1, 4 and 16 such adapters, which
// should cost at most in proportion to the file. Both in all, as the library's own wall and CPU time
// (without the device calls) and as the library's fsyncs.
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include "adapter/pending_profile.h"
#include "bench/bench_support.h"
#include "platform/platform.h"
#include "varu.h"

namespace {

constexpr int kPorts = 4;
constexpr int kFunctionsPerPort = 16;
constexpr int kProfiles = 100;

std::string configuration() {
  std::string ports, functions;
  for (int p = 0; p < kPorts; ++p) {
    ports += std::string(p ? "," : "") + R"({"link": )" + std::to_string(p) +
             R"(, "mc_type": "NPAR", "max_pf": 16, "counts": {"nic": 15, "iscsi": 1, "storage": 1}})";
    for (int f = 0; f < kFunctionsPerPort; ++f) {
      const int pf = p * kFunctionsPerPort + f;
      functions += std::string(pf ? "," : "") + R"({"pf": )" + std::to_string(pf) + R"(, "link": )" + std::to_string(p) +
                   (f == 0 ? R"(, "protocol": "iSCSI", "roles": ["NIC", "iSCSI"])" : R"(, "roce": true)") + "}";
    }
  }
  return R"({"protocols": ["NIC", "RoCE", "iSCSI"], "ports": [)" + ports + R"(], "functions": [)" + functions + "]}";
}

std::string lab_config() {
  std::string list, configurations;
  const std::string one = configuration();
  for (int id = 1; id <= kProfiles; ++id) {
    list += std::string(id > 1 ? "," : "") + R"({"id": )" + std::to_string(id) + R"(, "description": "Profile )" +
            std::to_string(id) + R"("})";
    configurations += std::string(id > 1 ? "," : "") + "\"" + std::to_string(id) + "\": " + one;
  }
  std::string iscsi;
  for (int p = 0; p < kPorts; ++p) iscsi += std::string(p ? "," : "") + R"({"function": )" + std::to_string(p) + R"(, "port": )" + std::to_string(p) + "}";
  return R"({"adapters": [{"serial_number": "BL5204P0001", "generation": 5, "ports": 4, "iscsi_functions": [)" + iscsi +
         R"(], "profiles": {"list": [)" + list + R"(], "configurations": {)" + configurations +
         R"(}}, "link_configurations": {"list": [{"id": 1, "description": "4 x 10 Gbps"}]},
         "ari": {"next_max": 15}, "mc_capabilities": ["NPAR"]}]})";
}

void BM_ProfileStartUp(benchmark::State& state) {
  vxbench::Lab lab(lab_config());
  if (!lab.ok()) {
    state.SkipWithError("simulated adapter module not available (build the vxsim target)");
    return;
  }
  const double commands = vxbench::StartUpFootprint(lab).commands;
  const vxbench::SplitTimes timer = vxbench::timed_start_ups(state);
  state.counters["startup_ms"] = timer.total() * 1e3 / static_cast<double>(state.iterations());
  state.counters["commands"] = commands;
  timer.report(state, "per_startup", static_cast<double>(state.iterations()));
}

void BM_PendingChoiceSet(benchmark::State& state) {
  const int adapters = static_cast<int>(state.range(0));
  vxbench::ScratchRoot root("vxima-pending-");
  std::string content;
  for (int a = 0; a < adapters; ++a) {
    for (int f = 0; f < kPorts * kFunctionsPerPort; ++f) {
      content += "BL5204P" + std::to_string(1000 + a) + ",0x" + std::to_string(5 + a) + ",1,NPAR,0x" + std::to_string(f) +
                 ",NIC,Disabled\n";
    }
  }
  std::filesystem::create_directories(vx::host_path("/scratch/Talvix"));
  std::ofstream(vx::host_path(vx::kPendingProfileFile)) << content;
  const vx::AdapterKey key{"BL5204P1000", "0x5"};
  int i = 0;
  vxbench::SplitTimer timer;
  for (auto _ : state) {
    timer.start();
    vx::set_pending_field(key, "0x3", ++i % 2 ? "Enabled" : "Disabled", vx::kMatchFunction, vx::kFieldSRIOV);
    timer.stop();
  }
  state.counters["lines"] = adapters * kPorts * kFunctionsPerPort;
  timer.report(state, "per_set", static_cast<double>(state.iterations()));
}

}  // namespace

BENCHMARK(BM_ProfileStartUp)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PendingChoiceSet)->ArgName("adapters")->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMicrosecond);
