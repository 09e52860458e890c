// SaveProfile of a generation-5 adapter of 4 ports with 4, 8 and 16 functions each (the full
// request, the rebuilt configured profile and pending lines, every port's channels saved, read
// again and restored), and a read-write cycle of the MAC, VLAN and transmit rate of 15, 30 and 60
// virtual functions (the `ip` command stood in for by the seam's runner, so the library's own cost
// is measured). Both report the library's own cost per function (the simulated adapter's time
// apart; wall and CPU time) and its fsyncs, which should stay flat.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "platform/platform.h"
#include "varu.h"

namespace {

constexpr int kPorts = 4;

std::string save_config(int per_port) {
  std::string ports, functions, nics;
  for (int p = 0; p < kPorts; ++p) {
    ports += std::string(p ? "," : "") + R"({"link": )" + std::to_string(p) + R"(, "mc_type": "NPAR", "max_pf": )" +
             std::to_string(per_port) + R"(, "counts": {"nic": )" + std::to_string(per_port) + "}}";
    for (int f = 0; f < per_port; ++f) {
      const int pf = p * per_port + f;
      functions += std::string(pf ? "," : "") + R"({"pf": )" + std::to_string(pf) + R"(, "link": )" +
                   std::to_string(p) + R"(, "min_bw": 5, "max_bw": 50})";
    }
    nics +=
        std::string(p ? "," : "") + R"({"function": )" + std::to_string(p) + R"(, "port": )" + std::to_string(p) + "}";
  }
  return R"({"adapters": [{"serial_number": "BL5204S0001", "generation": 5, "ports": 4, "mc_capabilities": ["NPAR"],
    "nic_functions": [)" + nics + R"(],
    "profiles": {"list": [{"id": 1, "description": "NPAR"}], "configurations": {"1": {"protocols": ["NIC"],
      "ports": [)" + ports + R"(], "functions": [)" + functions + "]}}}}]}";
}

std::string vf_config(int vfs) {
  return R"({"adapters": [{"serial_number": "BL5204V0001", "generation": 5, "ports": 1,
    "nic_functions": [{"function": 0, "port": 0, "virtual_functions": )" + std::to_string(vfs) + "}]}]}";
}

void BM_SaveProfile(benchmark::State& state) {
  const int per_port = static_cast<int>(state.range(0));
  vxbench::Lab lab(save_config(per_port));
  if (!lab.ok()) {
    state.SkipWithError("simulated adapter module not available (build the vxsim target)");
    return;
  }
  VARU_init();
  const uint32_t management = vxbench::tag_of("Vexalon0/ProfileManagement");
  lab.clear_journal();
  vxbench::act(management, "SaveProfile", {});
  const double commands = lab.firmware_commands();
  vxbench::SplitTimer timer;
  for (auto _ : state) {
    timer.start();
    vxbench::act(management, "SaveProfile", {});
    timer.stop();
  }
  VARU_exit();
  const double saves = static_cast<double>(state.iterations());
  state.counters["ms_per_save"] = timer.total() * 1e3 / saves;
  state.counters["commands"] = commands;
  timer.report(state, "per_function", saves * kPorts * per_port);
}

int accept_all(const std::vector<std::string>&, int) { return 0; }

void BM_VirtualFunctionCycle(benchmark::State& state) {
  const int vfs = static_cast<int>(state.range(0));
  vxbench::Lab lab(vf_config(vfs));
  if (!lab.ok()) {
    state.SkipWithError("simulated adapter module not available (build the vxsim target)");
    return;
  }
  vx::ScopedProgramRunner runner(accept_all);
  VARU_init();
  struct Vf {
    uint32_t group;
    uint32_t mac, vlan, rate;
  };
  std::vector<Vf> table;
  for (int v = 0; v < vfs; ++v) {
    const std::string path = "Vexalon0/NICPhysicalHBA0/NICLogicalHBA" + std::to_string(v);
    table.push_back({vxbench::tag_of(path), vxbench::tag_of(path + "/MACAddress", VARU_KIND_PROPERTY),
                     vxbench::tag_of(path + "/VLANID", VARU_KIND_PROPERTY),
                     vxbench::tag_of(path + "/TxRate", VARU_KIND_PROPERTY)});
  }
  char buf[VARU_VALUE_SIZE];
  vxbench::SplitTimer timer;
  for (auto _ : state) {
    timer.start();
    for (const Vf& v : table) {
      for (uint32_t prop : {v.mac, v.vlan, v.rate}) VARU_get_property_val(v.group, prop, buf, sizeof buf);
      char mac[] = "00:1f:4e:50:30:01";
      char vlan[] = "12";
      char rate[] = "400";
      VARU_set_property_val(v.group, static_cast<int32_t>(v.mac), mac, sizeof mac);
      VARU_set_property_val(v.group, static_cast<int32_t>(v.vlan), vlan, sizeof vlan);
      VARU_set_property_val(v.group, static_cast<int32_t>(v.rate), rate, sizeof rate);
    }
    timer.stop();
  }
  VARU_exit();
  timer.report(state, "per_vf", static_cast<double>(state.iterations()) * vfs);
}

}  // namespace

BENCHMARK(BM_SaveProfile)
    ->ArgName("functions_per_port")
    ->Arg(4)
    ->Arg(8)
    ->Arg(16)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK(BM_VirtualFunctionCycle)
    ->ArgName("vfs")
    ->Arg(15)
    ->Arg(30)
    ->Arg(60)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
