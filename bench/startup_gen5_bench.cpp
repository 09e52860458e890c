// Start-up (VARU_init) of a generated lab of 1, 4 and 16 generation-5 adapters of four ports, each
// with an iSCSI function on every port and (for the first eight: the NIC driver's inventory holds
// eight chips) a NIC function on every port, three profiles with their configured profile of four
// ports, link configurations, ARI, an event log, the firmware trace (FAT and ExtFAT modules), and
// DCB with application TLVs and LLDP on every port. Reported per adapter so that linear growth
// shows as flat counters: wall time, the library's own wall and CPU time (without the time inside the
// device calls, that is the simulated adapter), its fsyncs, the heap and allocations of the built
// tree, and the firmware commands sent. The start-up measured for its heap comes first, so that the
// pending-choices file already holds the lines when the timed ones run, as at a restart.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "bench/bench_support.h"
#include "varu.h"

namespace {

constexpr int kPorts = 4;

std::string mac(int adapter, int function) {
  char text[24];
  std::snprintf(text, sizeof text, "00:1f:4e:5%x:%02x:%02x", adapter / 256, adapter % 256, function);
  return text;
}

// One generation-5 adapter: NIC functions 0-3 and iSCSI functions 4-7, one of each per port.
std::string gen5_adapter(int a, bool with_nic) {
  std::string functions;       // of the profile configuration
  std::string iscsi;           // PCI functions the drivers report
  std::string nic;
  std::string ports;           // of the profile configuration
  std::string settings;        // per physical port
  for (int p = 0; p < kPorts; ++p) {
    const char* sep = p == 0 ? "" : ", ";
    ports += sep + std::string("{\"link\": ") + std::to_string(p) +
             ", \"mc_type\": \"None\", \"max_pf\": 2, \"counts\": {\"storage\": 1, \"nic\": 1, \"iscsi\": 1}}";
    functions += sep + std::string("{\"pf\": ") + std::to_string(p) + ", \"link\": " + std::to_string(p) +
                 ", \"mac\": \"" + mac(a, p) + "\", \"roles\": [\"NIC\", \"RoCE\"], \"roce\": true}, {\"pf\": " +
                 std::to_string(4 + p) + ", \"link\": " + std::to_string(p) + ", \"protocol\": \"iSCSI\", \"mac\": \"" +
                 mac(a, 4 + p) + "\", \"roles\": [\"NIC\", \"iSCSI\"], \"sriov\": \"N/A\", \"sriov_changeable\": false}";
    iscsi += sep + std::string("{\"function\": ") + std::to_string(4 + p) + ", \"port\": " + std::to_string(p) +
             ", \"mac\": \"" + mac(a, 4 + p) + "\"}";
    nic += sep + std::string("{\"function\": ") + std::to_string(p) + ", \"port\": " + std::to_string(p) +
           ", \"mac\": \"" + mac(a, p) + "\", \"link_params\": {\"mac_speed\": 4}}";
    settings += sep + std::string(R"({"link_speed": 4, "lldp": {"peer": {"chassis_id": "sw-1", "chassis_type": 4,
        "port_id": "Ethernet1/)") + std::to_string(p) + R"(", "port_type": 5, "ttl": 120, "system_name": "sw-1"}},
        "dcbx": {"enabled": true, "mode": "Auto-IEEE",
          "admin": {"pg": ["enabled", "advertise", "willing"], "pfc": ["enabled"], "app": ["enabled", "advertise"],
                    "bandwidth": [30, 30, 40, 255, 255, 255, 255, 255], "groups": [0, 0, 1, 1, 2, 2, 2, 2],
                    "pfc_priorities": "0x08", "num_pgs": 3,
                    "app_tlvs": [{"entry": 0, "selector": 0, "protocol": "0x8906", "priorities": "0x08"},
                                 {"entry": 3, "selector": 1, "protocol": 3260, "priorities": "0x10"}]},
          "operational": {"pg": ["enabled", "synced"], "pfc": ["enabled", "synced"],
                          "app_tlvs": [{"entry": 3, "selector": 1, "protocol": 3260, "priorities": "0x10"}]},
          "peer": {"pg": ["enabled", "willing"],
                   "app_tlvs": [{"entry": 1, "selector": 1, "protocol": 3260, "priorities": "0x10"}]}}})";
  }
  char head[256];
  std::snprintf(head, sizeof head,
                R"({"serial_number": "GEN5LAB%02d", "generation": 5, "model": "BL-5204", "pci": {"bus": %d, "device": 0},
                    "firmware": {"active": "10.2.470.14", "bios": "10.2.470.14"}, "driver_version": "10.2.477.0", )",
                a, 32 + a);
  std::string s = head;
  s += R"("additional_attributes": {"ipl_file_no": 256, "ipl_suffix": "0x1a", "phy_firmware": "1.2.3", "phy_config_id": "00A1"},
          "profiles": {"list": [{"id": 1, "description": "NIC+RoCE, iSCSI x4"}, {"id": 2, "description": "NIC x4"},
                                {"id": 3, "description": "iSCSI x4"}],
                       "active": 1, "next": 1, "factory": 1,
                       "configurations": {"1": {"protocols": ["NIC", "RoCE", "iSCSI"], "ports": [)" +
       ports + "], \"functions\": [" + functions + R"(]}}},
          "link_configurations": {"list": [{"id": 1, "description": "4 x 10 Gbps SFP+", "profile": 1}],
                                  "active": 1, "next": 1, "factory": 1},
          "ari": {"next_max": 7, "ipl_max": 15, "active_max": 7, "settable": true},
          "mc_capabilities": ["NPAR"], "ports": 4, "fat": {"size": 4096},
          "extfat": {"modules": [{"name": "iSNS", "id": 1, "modes": [{"mode": "RAM", "level": 32}]},
                                 {"name": "FIP", "id": 2, "modes": [{"mode": "RAM", "port_mask": "0x1", "level": 48}]},
                                 {"name": "Flash", "id": 3}]},
          "event_log": [{"code": 40, "severity": 2, "sequence": 1, "time": 100, "args": [1]},
                        {"code": 41, "severity": 0, "sequence": 2, "time": 160, "args": [1]},
                        {"code": 95, "severity": 3, "sequence": 3, "time": 400, "text": "lab event"}],
          "iscsi_functions": [)" +
       iscsi + "]";
  if (with_nic) s += ", \"nic_functions\": [" + nic + "]";
  return s + ", \"port_settings\": [" + settings + "]}";
}

std::string gen5_lab(int adapters) {
  std::string s = "{\"adapters\": [";
  for (int a = 0; a < adapters; ++a) s += (a == 0 ? "" : ", ") + gen5_adapter(a, a < vxbench::kMaxAdaptersWithNic);
  return s + "]}";
}

void BM_StartUpGen5(benchmark::State& state) {
  const int adapters = static_cast<int>(state.range(0));
  vxbench::Lab lab(gen5_lab(adapters));
  if (!lab.ok()) {
    state.SkipWithError("simulated adapter module not available, or the lab was refused");
    return;
  }
  vxbench::start_ups_per_adapter(state, lab, adapters);
}

}  // namespace

BENCHMARK(BM_StartUpGen5)->ArgNames({"adapters"})->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);
