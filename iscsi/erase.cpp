// The erase of the iSCSI configuration of a physical HBA (EraseConfiguration) and of everything an
// adapter keeps (EraseAllConfiguration): the firmware's side by the erase command, the program's
// side (targets, send-target portals, iSNS servers, gateway, initiator options and CHAP, the saved
// records) by the handlers of the parts that own them. Every check runs before anything changes.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "access/backend_state.h"
#include "access/flash_erase.h"
#include "access/fw_commands.h"
#include "access/host.h"
#include "access/transport.h"
#include "access/walks.h"
#include "engine/messages.h"
#include "iscsi/common.h"
#include "iscsi/lookups.h"
#include "iscsi/net_records.h"
#include "iscsi/route_arp.h"
#include "iscsi/saved_files.h"
#include "iscsi/tcpip.h"
#include "schema/handlers.h"
#include "schema/names_iscsi.h"
#include "schema/names_iscsi_phba.h"

namespace vx {
namespace {

constexpr uint32_t kStatusActiveSessions = 41;
constexpr uint32_t kStatusNotOnVirtualFunction = 256;
constexpr uint32_t kFactoryProfileGeneration = 5;

// Runs an action's handler through the group's action node, as its own code would. 1 when the
// group has no such action.
uint32_t run_action(hm_node* group, const char* name, char params[kParamCount][kValueSize]) {
  hm_node* action = internal_get_node(group, name, kAction);
  const hm_action_descriptor* d = action != nullptr ? action_data(resolve_link(action)) : nullptr;
  if (d == nullptr || d->handler == nullptr) return kStatusFailed;
  return d->handler(group, action, params);
}

bool has_open_session(hm_node* lhba) {
  for (hm_node* t = get_first_instance(lhba, kGroupTarget); t != nullptr; t = next_instance(t)) {
    for (hm_node* s = get_first_instance(t, kGroupSession); s != nullptr; s = next_instance(s)) {
      std::string status;
      read_property(s, kPropSessionStatus, &status);
      if (equal_nocase(status, "Open")) return true;
    }
  }
  return false;
}

struct PhbaGroups {
  hm_node* tcpip = nullptr;
  hm_node* isns = nullptr;
};

// The checks of every logical HBA, before anything is changed. 0, or 1 (41 with an open session).
uint32_t check_erase(hm_node* phba, PhbaGroups* g) {
  hm_node* network = internal_get_node(phba, kGroupPhbaNetwork, kGroup);
  g->tcpip = internal_get_node(network, kGroupPhbaTCPIPConfiguration, kGroup);
  g->isns = internal_get_node(phba, kGroupPhbaiSNS, kGroup);
  if (get_first_instance(phba, kGroupLogicalHBA) == nullptr) {
    pdebug(kBackEnd, 3, "%s: could not get the node\n", "do_EraseConfiguration");
    return kStatusFailed;
  }
  for (hm_node* lhba = get_first_instance(phba, kGroupLogicalHBA); lhba != nullptr; lhba = next_instance(lhba)) {
    if (has_open_session(lhba)) return refuse(kStatusActiveSessions, msg::kFwActiveSessions);
    hm_node* options = internal_get_node(lhba, kGroupInitiatorLoginOptions, kGroup);
    if (internal_get_node(lhba, kGroupDiscovery, kGroup) == nullptr ||
        internal_get_node(options, kGroupAuthentication, kGroup) == nullptr) {
      return kStatusFailed;
    }
  }
  return g->tcpip != nullptr && record_of(g->tcpip) != nullptr && g->isns != nullptr ? kStatusOk : kStatusFailed;
}

// What the program keeps of one logical HBA, after the firmware erased its side. 0, or the failure.
uint32_t erase_program_side(hm_node* phba, hm_node* lhba, const PhbaGroups& g, const CommandAddress& at) {
  char value[kValueSize] = "No";
  if (internal_set_property(g.isns, kPropPhbaiSNSEnabled, value) != 0) return kStatusFailed;
  purge_nodes_within(g.isns, kGroupiSNSServer);

  char params[kParamCount][kValueSize] = {};
  get_all_interfaces(at.port, at.phba_port, at.domain, g.tcpip);
  run_action(g.tcpip, kActionPhbaDeleteDefaultGateway, params);

  hm_node* discovery = internal_get_node(lhba, kGroupDiscovery, kGroup);
  std::vector<int32_t> portals;
  for (hm_node* p = get_first_instance(discovery, kGroupSendTargetPortal); p != nullptr; p = next_instance(p)) {
    portals.push_back(instance_number(p));
  }
  for (int32_t n : portals) {
    std::memset(params, 0, sizeof params);
    std::snprintf(params[0], kValueSize, "%d", n);
    const uint32_t rc = run_action(discovery, kActionDeleteSendTargetPortal, params);
    if (rc != 0) return rc;
  }

  purge_nodes_within(lhba, kGroupTarget);

  hm_node* options = internal_get_node(lhba, kGroupInitiatorLoginOptions, kGroup);
  static const struct {
    const char* name;
    const char* value;
  } kDefaults[] = {{kPropHeaderParam, "Prohibited"}, {kPropDataParam, "Prohibited"}, {kPropInitialR2T, "Yes"},
                   {kPropImmediateData, "Yes"},      {kPropHeaderDigest, "None"},  {kPropDataDigest, "None"}};
  for (const auto& d : kDefaults) {
    std::snprintf(value, sizeof value, "%s", d.value);
    if (internal_set_property(options, d.name, value) != 0) return kStatusFailed;
  }
  std::memset(params, 0, sizeof params);
  (void)phba;
  return run_action(internal_get_node(options, kGroupAuthentication, kGroup), kActionDeleteCHAP, params) != 0
             ? kStatusFailed
             : kStatusOk;
}

}  // namespace

uint32_t do_EraseConfiguration(hm_node* target, hm_node*, char[6][256]) {
  if (vm_flag == 1) return refuse(kStatusNotOnVirtualFunction, msg::kNotOnVirtualFunction);
  PhbaGroups groups;
  if (check_erase(target, &groups) != 0) return kStatusFailed;
  // The saved targets go before anything else: records left in the file would bring the targets
  // back at the next start, and a file that cannot be rewritten stops the erase before it begins.
  std::vector<std::vector<std::string>> keys;
  for (hm_node* lhba = get_first_instance(target, kGroupLogicalHBA); lhba != nullptr; lhba = next_instance(lhba)) {
    keys.push_back(lhba_instance_key(lhba));
  }
  std::vector<std::string> removed;
  if (!remove_records(kSaveTargetFile, keys, &removed)) {
    return saved_file_failed(msg::kSavedFileNotWritten, kSaveTargetFile);
  }
  // The routes go first; the firmware's erase clears any it kept.
  VARU_delete_available_routes(target);
  for (hm_node* lhba = get_first_instance(target, kGroupLogicalHBA); lhba != nullptr; lhba = next_instance(lhba)) {
    CommandAddress at = command_address(lhba);
    at.port = get_port_number(target);
    erase_request request{kEraseOperation, kEraseIscsi, {}};
    const uint32_t erased = ioctl_erase_ROM(at.port, &request, at.domain, at.phba_port, kProtocolIscsi);
    if (erased != 0) {
      // The adapter keeps its persistent targets: so does the file.
      if (!append_lines(kSaveTargetFile, removed)) pdebug(kBackEnd, 3, "%s:the records were not put back\n", __func__);
      return erased;
    }
    // iSNS is switched off, and the records go, only once the firmware has erased its side.
    const uint32_t rc = erase_program_side(target, lhba, groups, at);
    if (rc != 0) return rc;
  }
  varu_set_last_status(kStatusErased, msg::kErasedReboot);
  return kStatusOk;
}

uint32_t do_EraseAllConfiguration(hm_node* target, hm_node*, char[6][256]) {
  if (vm_flag == 1) return refuse(kStatusNotOnVirtualFunction, msg::kNotOnVirtualFunction);
  // The first erase that fails decides the result and the status the caller sees; the others
  // still run.
  uint32_t failed = kStatusOk;
  uint32_t failed_code = 0;
  char failed_text[kStatusTextSize] = "";
  auto note = [&](uint32_t rc, const char* what, hm_node* group) {
    if (rc == 0) return;
    pdebug(kBackEnd, 3, "%s:Erasing %s Configuration Failed for %s%d.\n", "do_EraseAllConfiguration", what, group->name,
           instance_number(group));
    if (failed != 0) return;
    failed = rc;
    varu_get_last_status(&failed_code, failed_text);
  };
  for (hm_node* phba = get_first_instance(target, kGroupiSCSIPhysicalHBA); phba != nullptr; phba = next_instance(phba)) {
    char params[kParamCount][kValueSize] = {};
    note(run_action(phba, kActionPhbaEraseConfiguration, params), "iSCSI", phba);
  }
  for (hm_node* port = get_first_instance(target, "PortDiscoveryAndConfiguration"); port != nullptr;
       port = next_instance(port)) {
    char params[kParamCount][kValueSize] = {};
    note(run_action(port, "ErasePortandDiscoveryConfiguration", params), "Port", port);
  }
  for (hm_node* nic = get_first_instance(target, "NICPhysicalHBA"); nic != nullptr; nic = next_instance(nic)) {
    const uint32_t rc = VARU_EraseNICConfiguration(nic);
    note(rc == kStatusEraseRebootNow ? kStatusOk : rc, "NIC", nic);
  }
  if (get_vx_type(target) == kFactoryProfileGeneration) {
    hm_node* phba = get_first_instance(target, kGroupiSCSIPhysicalHBA);
    if (phba == nullptr) phba = get_first_instance(target, "NICPhysicalHBA");
    uint32_t payload = 0;
    const int32_t protocol = static_cast<int32_t>(get_the_protocol(instance_number(target)));
    if (phba == nullptr || ioctl_set_factory_profile_config(get_port_number(phba), &payload, 0,
                                                            static_cast<uint8_t>(get_phba_port_number(phba)), protocol) != 0) {
      pdebug(kBackEnd, 3, "%s:Setting factory profile config failed.\n", "do_EraseAllConfiguration");
    }
  }
  if (failed != 0) varu_set_last_status(failed_code, failed_text);
  return failed;
}

}  // namespace vx
