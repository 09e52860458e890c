// Reading every property of the port trees of one generation-5 adapter with 1, 2 and 4 ports (an
// iSCSI and a NIC function on each, DCBX, LLDP and application TLVs on every port), each through its
// handler as a client reads it. Reported per port, so that a flat figure shows that the cost of a
// port does not grow with its neighbours, and per read: time (in all, and the library's own wall and
// CPU time without the device calls), fsyncs and firmware commands.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "varu.h"

namespace {

std::string adapter_config(int ports) {
  std::string port_settings;
  std::string functions;
  for (int p = 0; p < ports; ++p) {
    const std::string n = std::to_string(p);
    port_settings += std::string(p == 0 ? "" : ",") +
                     R"({"lldp": {"local": {"chassis_id": "c", "ttl": 120}, "stats": {"tx": 1}},
                         "dcbx": {"admin": {"pg": ["enabled"], "app_tlvs": [{"entry": 0, "protocol": 3260, "selector": 1}]},
                                  "operational": {"app_tlvs": [{"entry": 0, "protocol": 3260, "selector": 1}]}}})";
    functions += std::string(p == 0 ? "" : ",") + R"({"function": )" + std::to_string(2 * p) + R"(, "port": )" + n + "}";
  }
  std::string nic;
  for (int p = 0; p < ports; ++p) {
    nic += std::string(p == 0 ? "" : ",") + R"({"function": )" + std::to_string(2 * p + 1) + R"(, "port": )" +
           std::to_string(p) + "}";
  }
  return R"({"adapters": [{"serial_number": "BENCH5", "generation": 5, "ports": )" + std::to_string(ports) +
         R"(, "ffv_name": "F", "port_settings": [)" + port_settings + R"(], "iscsi_functions": [)" + functions +
         R"(], "nic_functions": [)" + nic + "]}]}";
}

// Every property below `tag` (group and property tags), in tree order.
void properties_below(uint32_t tag, std::vector<std::pair<uint32_t, uint32_t>>* out) {
  std::vector<uint32_t> children(4096);
  uint32_t count = 0;
  if (VARU_get_child_tags(static_cast<int32_t>(tag), children.data(), &count, VARU_KIND_PROPERTY) == 0) {
    for (uint32_t i = 0; i < count; ++i) out->emplace_back(tag, children[i]);
  }
  count = 0;
  if (VARU_get_child_tags(static_cast<int32_t>(tag), children.data(), &count, VARU_KIND_GROUP) == 0) {
    const std::vector<uint32_t> groups(children.begin(), children.begin() + count);
    for (uint32_t g : groups) properties_below(g, out);
  }
}

void BM_ReadPortTrees(benchmark::State& state) {
  const int ports = static_cast<int>(state.range(0));
  vxbench::Lab lab(adapter_config(ports));
  const vxbench::Started library;
  if (!lab.ok() || !library.ok()) {
    state.SkipWithError("simulated adapter module not available (build the vxsim target)");
    return;
  }
  std::vector<std::pair<uint32_t, uint32_t>> reads;
  for (int p = 0; p < ports; ++p) {
    properties_below(vxbench::tag_of("Vexalon0/PortDiscoveryAndConfiguration" + std::to_string(p)), &reads);
  }
  char value[256];
  lab.clear_journal();
  for (const auto& [group, prop] : reads) VARU_get_property_val(group, prop, value, sizeof value);
  const double commands = lab.firmware_commands();
  vxbench::SplitTimer timer;
  for (auto _ : state) {
    timer.start();
    for (const auto& [group, prop] : reads) VARU_get_property_val(group, prop, value, sizeof value);
    timer.stop();
  }
  const double rounds = static_cast<double>(state.iterations());
  state.counters["ports"] = ports;
  state.counters["reads_per_port"] = static_cast<double>(reads.size()) / ports;
  state.counters["us_per_port"] = timer.total() * 1e6 / rounds / ports;
  state.counters["commands_per_read"] = commands / static_cast<double>(reads.size());
  timer.report(state, "per_read", rounds * static_cast<double>(reads.size()));
}

}  // namespace

BENCHMARK(BM_ReadPortTrees)->ArgName("ports")->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);
