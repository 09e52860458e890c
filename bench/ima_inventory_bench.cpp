// A full host inventory of the simulated lab (examples/iscsi-lab.json): every physical HBA with its
// ports and IP settings, every logical HBA, and on each logical HBA the lab's targets (every portal
// as a target and as a static target), its SendTargets portal and a session to the open target;
// each object read through every IMA read entry point of the HBA, port, authentication, IP and
// login-parameter objects, against the same property reads made straight through the VARU_* calls
// of the same loaded plug-in. Reported as inventories per second, and the IMA layer's own time: the
// entry points' time less the time inside the hierarchy calls they make (measured in a pass of its
// own, so that the timing of those calls stays out of the rates).
#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "bench/host_varu.h"
#include "bench/ima_meter.h"
#include "tools/imahost/imahost.h"

namespace {

constexpr uint32_t kOwner = 1;
constexpr uint32_t kChap = IMA_AUTHMETHOD_CHAP;

std::string lab_config() {
  const std::string here = __FILE__;
  std::ifstream file(here.substr(0, here.rfind('/')) + "/../examples/iscsi-lab.json");
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// ---- the hierarchy side --------------------------------------------------------------------------

using Varu = vxbench::HostVaru;

// The objects of the inventory, by node handle.
struct Objects {
  std::vector<uint32_t> phbas, lhbas, portals, discovery;
};

Objects walk(const Varu& varu) {
  Objects o;
  for (uint32_t adapter : varu.children(0, "Vexalon")) {
    for (uint32_t phba : varu.children(adapter, "iSCSIPhysicalHBA")) {
      o.phbas.push_back(phba);
      for (uint32_t lhba : varu.children(phba, "LogicalHBA")) {
        o.lhbas.push_back(lhba);
        for (uint32_t target : varu.children(lhba, "Target")) {
          for (uint32_t portal : varu.children(target, "TargetPortal")) o.portals.push_back(portal);
        }
        for (uint32_t stp : varu.children(varu.at(lhba, "Discovery"), "SendTargetPortal")) o.discovery.push_back(stp);
      }
    }
  }
  return o;
}

// The lab's targets, SendTargets portal and a session on every logical HBA (the first adapter has
// no IPv6, so its open target has one portal).
void populate(const Varu& varu, const Objects& o) {
  for (uint32_t lhba : o.lhbas) {
    varu.act(lhba, "AddTarget", {"iqn.2026-01.com.example:store.open", "10.0.0.5"});
    varu.act(lhba, "AddTarget", {"iqn.2026-01.com.example:store.chap", "10.0.0.6"});
    varu.act(lhba, "AddTarget", {"iqn.2026-01.com.example:store.crc", "10.0.0.7", "3261"});
    varu.act(varu.at(lhba, "Target0"), "AddTargetPortal", {"fd00::5", "3260"});
    varu.act(varu.at(lhba, "Discovery"), "AddSendTargetPortal", {"10.0.0.9", "3260"});
    varu.act(varu.at(lhba, "Target0"), "Login", {});
  }
}

// The portals of a target and where its sessions lead, as the readers that prefer a session look.
void varu_sessions(const Varu& varu, uint32_t target) {
  const std::vector<uint32_t> sessions = varu.children(target, "Session");
  if (sessions.empty()) return;
  for (uint32_t session : sessions) varu.read(session, "Connection0", {"DestinationIPAddress", "DestinationPortNumber"});
  for (uint32_t portal : varu.children(target, "TargetPortal")) varu.read(portal, "", {"TargetIPAddress", "TargetPortNumber"});
}

// What the IMA readers of one level read: authentication (the logical HBA's own readers, or a
// target's and SendTargets portal's, with the address keys), then the login parameters.
void varu_level(const Varu& varu, uint32_t lhba, uint32_t options, uint32_t target) {
  const uint32_t auth = varu.at(options, "Authentication");
  varu.read(auth, "", {"CHAPParam"});
  if (target != 0) varu_sessions(varu, target);
  for (int i = 0; i < 2; ++i) varu.read(auth, "", {"AuthenticationMethod"});
  if (options == varu.at(lhba, "InitiatorLoginOptions")) {
    for (int i = 0; i < 2; ++i) varu.read(auth, "", {"AuthenticationMethod"});
  } else {
    if (target != 0) varu_sessions(varu, target);
    varu.read(auth, "", {"AuthenticationMethod"});
    for (uint32_t p : varu.children(target != 0 ? target : varu.up(options, 2), "TargetPortal")) {
      varu.read(p, "", {"TargetIPAddress", "TargetPortNumber", "PortalGroupTag"});
    }
  }
  varu.read(auth, "", {"AuthenticationMethod", "InitiatorCHAPName", "InitiatorSecret"});
  for (const char* key : {"MaxConnections", "MaxOutstandingR2T", "FirstBurstLength", "MaxBurstLength", "DefaultTime2Wait",
                          "DefaultTime2Retain", "ErrorRecoveryLevel", "MaxRecvDataSegmentLength", "DataPDUInOrder",
                          "DataSequenceInOrder"}) {
    varu.read(lhba, "InitiatorDefaultLoginOptions", {key});
  }
  for (const char* key : {"ImmediateData", "InitialR2T", "HeaderParam", "DataParam"}) varu.read(options, "", {key});
}

void inventory_varu(const Varu& varu, const Objects& o) {
  for (uint32_t phba : o.phbas) {
    const uint32_t adapter = varu.up(phba, 1);
    // The physical HBA's record, up to its first failing read, as the IMA reader fills it.
    const std::pair<const char*, const char*> record[] = {
        {"", "Description"},  {"", "SerialNumber"}, {"", "ActiveFirmwareVersion"},
        {"", "BIOSVersion"},  {"iSCSIPhysicalHBA0", "MaxCDBLength"}, {"", "Manufacturer"},
        {"", "ModelNumber"},  {"iSCSIPhysicalHBA0/Driver", "DriverName"}, {"iSCSIPhysicalHBA0/Driver", "DriverVersion"}};
    for (const auto& [path, name] : record) {
      if (!varu.read(adapter, path, {name})) break;
    }
    varu.read(adapter, "", {"FirmwareStatus"});
    varu.read(phba, "LogicalHBA0/InitiatoriSCSIName", {"InitiatoriSCSIName", "InitiatorAlias"});
    varu.read(phba, "Network/NICConfiguration",
              {"MACAddress", "PortMaxSpeed", "PortSpeed", "MaxMTUSize", "LogicalLinkStatus", "MACAddress", "MaxMTUSize"});
    varu.read(phba, "Network/TCPIPConfiguration", {"InitiatorIPAddress", "InitiatorIPAddress"});
    varu.read(phba, "Network/TCPIPConfiguration/IPv6Configuration", {"InitiatorRoutableAddress1", "IPv6State"});
    for (int i = 0; i < 3; ++i) varu.read(phba, "Network/TCPIPConfiguration", {"DHCPEnabled", "InitiatorSubnetMask", "DefaultGateway"});
    varu.read(phba, "PCI", {"VendorID"});
    varu.read(phba, "Network/TCPIPConfiguration/IPv6Configuration", {"IPv6State", "DefaultIPv6Gateway"});
  }
  for (uint32_t lhba : o.lhbas) {
    varu.read(lhba, "", {"IfName"});
    varu_level(varu, lhba, varu.at(lhba, "InitiatorLoginOptions"), 0);
  }
  for (uint32_t portal : o.portals) {
    const uint32_t target = varu.up(portal, 1);
    for (int twice = 0; twice < 2; ++twice) {   // as a target and as a static target
      varu_level(varu, varu.up(target, 1), varu.at(target, "TargetLoginOptions"), target);
    }
  }
  for (uint32_t stp : o.discovery) varu_level(varu, varu.up(stp, 2), varu.at(stp, "SendTargetPortalLoginOptions"), 0);
}

// ---- the IMA side --------------------------------------------------------------------------------

IMA_OID as(uint32_t type, uint32_t tag) { return IMA_OID{type, kOwner, tag, 0}; }

// Every reader of one login-options level.
int ima_level(const imahost::EntryPoints& ima, const IMA_OID& oid) {
  IMA_UINT count = 2;
  IMA_UINT list[2];
  IMA_INITIATOR_AUTHPARMS parms;
  IMA_BOOL enabled;
  ima.IMA_VMW_GetSupportedAuthMethods(oid, 0, &count, list);
  ima.IMA_VMW_GetInUseInitiatorLocalAuthMethods(oid, &count, list);
  ima.IMA_VMW_GetMutualAuthParms(oid, kChap, &parms);
  if (oid.objectType == IMA_OBJECT_TYPE_LHBA) {
    ima.IMA_GetSupportedAuthMethods(oid, 0, &count, list);
    ima.IMA_GetInUseInitiatorAuthMethods(oid, &count, list);
    ima.IMA_GetInitiatorAuthParms(oid, kChap, &parms);
    IMA_INITIATOR_AUTHPARMS_LIST* mutual = nullptr;
    if (ima.IMA_GetLhbaMutualAuthParmsList(oid, kChap, &mutual) == IMA_STATUS_SUCCESS) ima.IMA_FreeMemory(mutual);
  } else {
    ima.IMA_GetInitiatorLocalAuthParms(oid, kChap, &parms, &enabled);
    ima.IMA_GetMutualLocalAuthParms(oid, kChap, &parms);
    IMA_ADDRESS_KEYS* keys = nullptr;
    if (ima.IMA_GetAddressKeys(oid, &keys) == IMA_STATUS_SUCCESS) ima.IMA_FreeMemory(keys);
  }
  IMA_MIN_MAX_VALUE number;
  for (auto get : {ima.IMA_GetMaxConnectionsProperties, ima.IMA_GetMaxOutstandingR2TProperties,
                   ima.IMA_GetFirstBurstLengthProperties, ima.IMA_GetMaxBurstLengthProperties,
                   ima.IMA_GetDefaultTime2WaitProperties, ima.IMA_GetDefaultTime2RetainProperties,
                   ima.IMA_GetErrorRecoveryLevelProperties, ima.IMA_GetMaxRecvDataSegmentLengthProperties}) {
    get(oid, &number);
  }
  IMA_BOOL_VALUE flag;
  for (auto get : {ima.IMA_GetDataPduInOrderProperties, ima.IMA_GetDataSequenceInOrderProperties,
                   ima.IMA_GetImmediateDataProperties, ima.IMA_GetInitialR2TProperties}) {
    get(oid, &flag);
  }
  ima.IMA_VMW_GetHeaderDigest(oid, &count, list);
  ima.IMA_VMW_GetDataDigest(oid, &count, list);
  IMA_DIGEST_PROPERTIES digests;
  ima.IMA_GetDigestProperties(oid, &digests);
  return oid.objectType == IMA_OBJECT_TYPE_LHBA ? 25 : 23;
}

int inventory_ima(const imahost::Host& host, const Objects& o) {
  const imahost::EntryPoints& ima = host.ima();
  int calls = 0;
  std::vector<IMA_OID> phbas, lhbas, pnps, portals;
  host.list(ima.IMA_GetPhbaOidList, &phbas);
  for (const IMA_OID& phba : phbas) {
    IMA_PHBA_PROPERTIES props;
    IMA_PHBA_STATUS state;
    IMA_NODE_PROPERTIES node;
    ima.IMA_VMW_GetPhbaProperties(phba, &props);
    ima.IMA_GetPhbaStatus(phba, &state);
    ima.IMA_VMW_GetNodeProperties(phba, &node);
    host.list(ima.IMA_GetPnpOidList, phba, &pnps);
    const IMA_OID lnp = as(IMA_OBJECT_TYPE_LNP, phba.sequenceLow);
    host.list(ima.IMA_GetNetworkPortalOidList, lnp, &portals);
    IMA_PNP_PROPERTIES pnp;
    IMA_NETWORK_PORT_STATUS link;
    IMA_LNP_PROPERTIES lnp_props;
    IMA_NETWORK_PORTAL_PROPERTIES portal;
    IMA_VMW_NETWORK_PORTAL_PROPERTIES* vmw_portal = nullptr;
    IMA_IP_PROPERTIES ip;
    IMA_VMW_EXTENDED_IP_PROPERTIES extended;
    IMA_MIN_MAX_VALUE mtu;
    IMA_VMW_ARP_REDIRECT_PROPERTIES arp;
    ima.IMA_VMW_GetPnpProperties(pnps.at(0), &pnp);
    ima.IMA_GetNetworkPortStatus(pnps.at(0), &link);
    ima.IMA_VMW_GetLnpProperties(lnp, &lnp_props);
    ima.IMA_GetNetworkPortalProperties(portals.at(0), &portal);
    if (ima.IMA_VMW_GetNetworkPortalProperties(phba, &vmw_portal) == IMA_STATUS_SUCCESS) ima.IMA_FreeMemory(vmw_portal);
    ima.IMA_GetIpProperties(pnps.at(0), &ip);
    ima.IMA_VMW_GetIpProperties(phba, &ip);
    ima.IMA_VMW_GetExtendedIpProperties(phba, &extended);
    ima.IMA_VMW_GetMtuProperties(phba, &mtu);
    ima.IMA_VMW_GetArpRedirectProperties(phba, &arp);
    host.list(ima.IMA_VMW_GetLhbaOidList, phba, &lhbas);
    for (const IMA_OID& lhba : lhbas) {
      IMA_LHBA_PROPERTIES lhba_props;
      ima.IMA_GetLhbaProperties(lhba, &lhba_props);
      calls += 1 + ima_level(ima, lhba);
    }
    calls += 20;
  }
  for (uint32_t portal : o.portals) {
    calls += ima_level(ima, as(IMA_OBJECT_TYPE_TARGET, portal));
    calls += ima_level(ima, as(IMA_OBJECT_TYPE_STATIC_DISCOVERY_TARGET, portal));
  }
  for (uint32_t stp : o.discovery) calls += ima_level(ima, as(IMA_OBJECT_TYPE_DISCOVERY_ADDRESS, stp));
  return calls + 1;
}

void BM_ImaInventory(benchmark::State& state) {
  vxbench::Lab lab(lab_config());
  imahost::Host host;
  if (!lab.ok() || !host.load() || host.start(kOwner) != IMA_STATUS_SUCCESS) {
    state.SkipWithError("simulated adapter module or plug-in not available (build vxsim and vxima)");
    return;
  }
  const Varu varu(host);
  vxbench::ImaMeter meter([&host](const char* name) { return host.symbol(name); });
  if (!meter.ok()) {
    state.SkipWithError("the plug-in's hierarchy calls cannot be metered");
    return;
  }
  populate(varu, walk(varu));
  const Objects objects = walk(varu);
  double ima_seconds = 0;
  double varu_seconds = 0;
  int calls = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    calls = inventory_ima(host, objects);
    const auto middle = std::chrono::steady_clock::now();
    inventory_varu(varu, objects);
    const auto end = std::chrono::steady_clock::now();
    ima_seconds += std::chrono::duration<double>(middle - start).count();
    varu_seconds += std::chrono::duration<double>(end - middle).count();
    meter.start();
    inventory_ima(host, objects);
    meter.stop();
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["objects"] = static_cast<double>(objects.phbas.size() + objects.lhbas.size() + 2 * objects.portals.size() +
                                                  objects.discovery.size());
  state.counters["ima_calls"] = calls;
  state.counters["ima_per_s"] = n / ima_seconds;
  state.counters["varu_per_s"] = n / varu_seconds;
  state.counters["varu_calls_per_ima_call"] = meter.calls() / n / calls;
  state.counters["ima_layer_us"] = meter.own() * 1e6 / n;
  state.counters["ima_layer_share"] = meter.own() / meter.total();
}

}  // namespace

BENCHMARK(BM_ImaInventory)->Unit(benchmark::kMillisecond);
