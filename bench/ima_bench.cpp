// The host's first look at a system of 16 adapters (64 iSCSI functions): every physical HBA,
// logical HBA and port list with their properties, through the IMA entry points of the plug-in
// loaded by the host stand-in, against the same property reads made straight through the VARU_*
// calls of that same loaded plug-in. Each record's reads end at its first failure, as the IMA
// layer's do, so both sides read the same values. The IMA layer's own time (identifier checks,
// walks, lists, text conversions, status mapping and its log) is the entry points' time less the
// time inside the hierarchy calls they make, measured in a pass of its own.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "bench/host_varu.h"
#include "bench/ima_meter.h"
#include "tools/imahost/imahost.h"

namespace {

constexpr int kAdapters = 16;

// ---- through the IMA entry points ------------------------------------------------------------------

int first_look_ima(const imahost::Host& host) {
  const imahost::EntryPoints& ima = host.ima();
  int calls = 0;
  std::vector<IMA_OID> phbas, lhbas, pnps, lnps, portals;
  host.list(ima.IMA_GetPhbaOidList, &phbas);
  for (const IMA_OID& phba : phbas) {
    IMA_PHBA_PROPERTIES props;
    IMA_PHBA_STATUS state;
    IMA_NODE_PROPERTIES node;
    ima.IMA_VMW_GetPhbaProperties(phba, &props);
    ima.IMA_GetPhbaStatus(phba, &state);
    ima.IMA_VMW_GetNodeProperties(phba, &node);
    host.list(ima.IMA_VMW_GetLhbaOidList, phba, &lhbas);
    for (const IMA_OID& lhba : lhbas) {
      IMA_LHBA_PROPERTIES lhba_props;
      ima.IMA_GetLhbaProperties(lhba, &lhba_props);
    }
    host.list(ima.IMA_GetPnpOidList, phba, &pnps);
    for (const IMA_OID& pnp : pnps) {
      IMA_PNP_PROPERTIES port;
      IMA_NETWORK_PORT_STATUS link;
      ima.IMA_VMW_GetPnpProperties(pnp, &port);
      ima.IMA_GetNetworkPortStatus(pnp, &link);
    }
    calls += 6 + static_cast<int>(lhbas.size() + 2 * pnps.size());
  }
  host.list(ima.IMA_GetLnpOidList, &lnps);
  for (const IMA_OID& lnp : lnps) {
    IMA_LNP_PROPERTIES props;
    ima.IMA_VMW_GetLnpProperties(lnp, &props);
    host.list(ima.IMA_VMW_GetNetworkPortalOidList, lnp, &portals);
    calls += 2;
  }
  return calls + 2;
}

// ---- the same reads through the hierarchy API --------------------------------------------------

using Varu = vxbench::HostVaru;

struct Read {
  const char* path;
  const char* property;
};

// One record's reads in order, ending at the first that fails.
void read_record(const Varu& varu, uint32_t base, std::initializer_list<Read> reads) {
  for (const Read& r : reads) {
    if (!varu.read(base, r.path, {r.property})) return;
  }
}

void first_look_varu(const Varu& varu) {
  char value[VARU_VALUE_SIZE];
  for (uint32_t adapter : varu.children(0, "Vexalon")) {
    for (uint32_t phba : varu.children(adapter, "iSCSIPhysicalHBA")) {
      read_record(varu, adapter,
                  {{"", "Description"}, {"", "SerialNumber"}, {"", "ActiveFirmwareVersion"}, {"", "BIOSVersion"},
                   {"iSCSIPhysicalHBA0", "MaxCDBLength"}, {"", "Manufacturer"}, {"", "ModelNumber"},
                   {"iSCSIPhysicalHBA0/Driver", "DriverName"}, {"iSCSIPhysicalHBA0/Driver", "DriverVersion"}});
      read_record(varu, adapter, {{"", "FirmwareStatus"}});
      read_record(varu, phba,
                  {{"LogicalHBA0/InitiatoriSCSIName", "InitiatoriSCSIName"},
                   {"LogicalHBA0/InitiatoriSCSIName", "InitiatorAlias"}});
      for (uint32_t lhba : varu.children(phba, "LogicalHBA")) {
        if (varu.value(lhba, "Enabled", value) && value[0] != 'F' && value[0] != 'f') read_record(varu, lhba, {{"", "IfName"}});
      }
      const uint32_t nic = varu.at(phba, "Network/NICConfiguration");
      read_record(varu, nic, {{"", "MACAddress"}, {"", "PortMaxSpeed"}, {"", "PortSpeed"}, {"", "MaxMTUSize"}});
      read_record(varu, nic, {{"", "LogicalLinkStatus"}});
    }
  }
  for (uint32_t adapter : varu.children(0, "Vexalon")) {
    for (uint32_t phba : varu.children(adapter, "iSCSIPhysicalHBA")) {
      read_record(varu, phba, {{"Network/NICConfiguration", "MACAddress"}});
      varu.at(phba, "Network/TCPIPConfiguration");
    }
  }
}

void BM_ImaFirstLook(benchmark::State& state) {
  vxbench::Lab lab(kAdapters, true);
  imahost::Host host;
  if (!lab.ok() || !host.load() || host.start(1) != IMA_STATUS_SUCCESS) {
    state.SkipWithError("simulated adapter module or plug-in not available (build vxsim and vxima)");
    return;
  }
  const Varu varu(host);
  vxbench::ImaMeter meter([&host](const char* name) { return host.symbol(name); });
  if (!meter.ok()) {
    state.SkipWithError("the plug-in's hierarchy calls cannot be metered");
    return;
  }
  std::vector<IMA_OID> phbas;
  host.list(host.ima().IMA_GetPhbaOidList, &phbas);
  if (phbas.size() != kAdapters * vxbench::kLabPorts) {
    state.SkipWithError("not every iSCSI function became a physical HBA");
    return;
  }
  double ima_seconds = 0;
  double varu_seconds = 0;
  int calls = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    calls = first_look_ima(host);
    auto middle = std::chrono::steady_clock::now();
    first_look_varu(varu);
    auto end = std::chrono::steady_clock::now();
    ima_seconds += std::chrono::duration<double>(middle - start).count();
    varu_seconds += std::chrono::duration<double>(end - middle).count();
    meter.start();
    first_look_ima(host);
    meter.stop();
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["phbas"] = static_cast<double>(phbas.size());
  state.counters["ima_calls"] = calls;
  state.counters["ima_us"] = ima_seconds * 1e6 / n;
  state.counters["varu_us"] = varu_seconds * 1e6 / n;
  state.counters["ima_layer_us"] = meter.own() * 1e6 / n;
  state.counters["ima_layer_share"] = meter.own() / meter.total();
}

}  // namespace

BENCHMARK(BM_ImaFirstLook)->Unit(benchmark::kMillisecond);
