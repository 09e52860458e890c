// Discovery: the iSNS, SLP, static and SendTargets settings of a physical HBA, the SendTargets
// discovery addresses (LogicalHBA<k>/Discovery/SendTargetPortal<n>) and the static discovery
// targets (one per TargetPortal<n> of each Target<m> of the logical HBA). Every change is an action
// of the hierarchy; the front end only fills its slots and finds what it made.
#include <strings.h>

#include <cstring>

#include "ima/address_text.h"
#include "ima/esx50_codeset.h"
#include "ima/front.h"
#include "schema/names_iscsi_phba.h"

namespace vx {
namespace {

constexpr uint32_t kLhbaOrPnp = oid_types({IMA_OBJECT_TYPE_LHBA, IMA_OBJECT_TYPE_PNP});
constexpr uint32_t kDiscoverySettingsTypes =
    oid_types({IMA_OBJECT_TYPE_LHBA, IMA_OBJECT_TYPE_PHBA, IMA_OBJECT_TYPE_NETWORK_PORTAL});
constexpr uint32_t kStaticTargetOnly = oid_types({IMA_OBJECT_TYPE_STATIC_DISCOVERY_TARGET});
constexpr uint32_t kTargetOrStatic = oid_types({IMA_OBJECT_TYPE_TARGET, IMA_OBJECT_TYPE_STATIC_DISCOVERY_TARGET});
constexpr const char* kIsnsOn = "yes";
constexpr const char* kNotBoot = "False";
constexpr uint32_t kLastStatusDuplicateTarget = 21;
constexpr size_t kTargetNameUnits = 224;
constexpr IMA_UINT kMaxIsnsMethod = 2;
constexpr const char* kFirstConnection = "Connection0";

// Slots of the actions run here, in their tables' order.
enum AddTargetSlot { kSlotTargetName = 0, kSlotAddress = 1, kSlotPort = 2, kSlotBoot = 3 };
enum PortalSlot { kSlotPortalAddress = 0, kSlotPortalPort = 1 };

// ---- discovery settings ------------------------------------------------------------------------------

// The physical HBA of a logical HBA (its parent), of a network portal (Network/TCPIPConfiguration:
// two levels up), or the physical HBA itself.
uint32_t settings_phba(const IMA_OID& oid, int32_t* phba) {
  int32_t tag = oid_tag(oid);
  int levels = oid.objectType == IMA_OBJECT_TYPE_LHBA ? 1 : oid.objectType == IMA_OBJECT_TYPE_NETWORK_PORTAL ? 2 : 0;
  for (; levels > 0; --levels) {
    const uint32_t status = parent_of(tag, &tag);
    if (status != 0) return status;
  }
  *phba = tag;
  return 0;
}

// The iSNS part: enabled when "iSNSEnabled" says yes; the server is the lowest-numbered iSNSServer.
IMA_STATUS fill_isns(int32_t phba, IMA_DISCOVERY_PROPERTIES* props) {
  int32_t isns = 0;
  char text[kTextSize];
  uint32_t status = group_at(phba, kGroupPhbaiSNS, &isns);
  if (status == 0) status = GetVaruPropertyVal(isns, kPropPhbaiSNSEnabled, text);
  if (status != 0) return ErrorCheck(status);
  props->iSnsDiscoverySettable = 0;
  props->iSnsDiscoveryEnabled = strcasecmp(text, kIsnsOn) == 0 ? 1 : 0;
  if (props->iSnsDiscoveryEnabled != 0) props->iSnsDiscoveryMethod = IMA_ISNS_DISCOVERY_METHOD_STATIC;
  std::vector<int32_t> servers;
  status = Varu_Get_Child_Tags(isns, kGroupiSNSServer, &servers);
  if (status == 0 && !servers.empty()) status = GetVaruPropertyVal(servers[0], kPropIsnsServerIPAddress, text);
  if (status != 0) return ErrorCheck(status);
  props->iSnsHost.hostnameInUse = servers.empty() ? 1 : 0;
  if (servers.empty()) {
    Sample_Iscsi_ToWide(props->iSnsHost.id.hostname, "", 256);
  } else {
    // Read by the address text rule, so that an IPv6 server reads as one too.
    parse_ip_text(text, &props->iSnsHost.id.ipAddress);
  }
  return IMA_STATUS_SUCCESS;
}

// The settings entry points that change nothing: out-of-range values first, then the identifier.
IMA_STATUS refuse_setting(const IMA_OID& oid, bool in_range) {
  if (!in_range) return IMA_ERROR_INVALID_PARAMETER;
  const IMA_STATUS status = check_oid(oid, kDiscoverySettingsTypes);
  return status != IMA_STATUS_SUCCESS ? status : IMA_ERROR_NOT_SUPPORTED;
}

// ---- discovery addresses ---------------------------------------------------------------------------

// The logical HBA's Discovery group.
uint32_t discovery_of(const IMA_OID& oid, int32_t* discovery) {
  int32_t lhba = 0;
  const uint32_t status = lhba_of(oid, &lhba);
  return status != 0 ? status : group_at(lhba, kGroupDiscovery, discovery);
}

// From a SendTargetPortal's IPAddress and PortNumber.
constexpr FieldRow kDiscoveryAddressRows[] = {
    {"", kPropStpIPAddress, write_ip,
     offsetof(IMA_DISCOVERY_ADDRESS_PROPERTIES, discoveryAddress.hostnameIpAddress.id.ipAddress),
     sizeof(IMA_IP_ADDRESS), 0},
    {"", kPropStpPortNumber, write_decimal, offsetof(IMA_DISCOVERY_ADDRESS_PROPERTIES, discoveryAddress.portNumber),
     sizeof(IMA_UINT16), 0},
};

// The send-target portal of Discovery that holds this address and port; 0 with *portal -1 when
// none does.
uint32_t find_send_target_portal(int32_t discovery, const char* address, const char* port, int32_t* portal) {
  std::vector<int32_t> portals;
  uint32_t status = Varu_Get_Child_Tags(discovery, kGroupSendTargetPortal, &portals);
  *portal = -1;
  for (size_t i = 0; status == 0 && i < portals.size() && *portal < 0; ++i) {
    Endpoint at;
    status = GetVaruPropertyVal(portals[i], kPropStpIPAddress, at.address);
    if (status == 0) status = GetVaruPropertyVal(portals[i], kPropStpPortNumber, at.port);
    if (status == 0 && same_endpoint(at, address, port)) *portal = portals[i];
  }
  return status;
}

IMA_STATUS add_discovery_address(const IMA_OID& oid, const IMA_TARGET_ADDRESS& address, IMA_OID* out) {
  if (out == nullptr) return IMA_ERROR_INVALID_PARAMETER;
  const IMA_STATUS checked = check_oid(oid, kLhbaOrPnp);
  if (checked != IMA_STATUS_SUCCESS) return checked;
  Endpoint wanted;
  format_ip_text(address.hostnameIpAddress.id.ipAddress, wanted.address, sizeof wanted.address);
  format_port_text(address.portNumber, wanted.port, sizeof wanted.port);
  ActionParams params;
  params.set_text(kSlotPortalAddress, wanted.address);
  params.set_text(kSlotPortalPort, wanted.port);
  int32_t discovery = 0;
  uint32_t status = discovery_of(oid, &discovery);
  if (status == 0) status = invoke_action(discovery, kActionAddSendTargetPortal, params);
  if (status != 0) return ErrorCheck(status);
  // The new portal is the one with this address and port: another portal of the same address on
  // another port is a different discovery address.
  int32_t portal = -1;
  int32_t discover = 0;
  status = find_send_target_portal(discovery, wanted.address, wanted.port, &portal);
  if (status != 0) return ErrorCheck(status);
  if (portal < 0) return IMA_ERROR_INVALID_PARAMETER;
  status = find_action(portal, kActionDiscoverTargets, &discover);
  if (status != 0) return ErrorCheck(status);
  ActionParams all_targets;
  all_targets.set_absent(0);   // TargetName
  // A failed discovery leaves the address added; a rediscovery tries it again.
  run_action(portal, discover, all_targets);
  *out = make_oid(IMA_OBJECT_TYPE_DISCOVERY_ADDRESS, portal);
  return IMA_STATUS_SUCCESS;
}

// ---- static discovery targets --------------------------------------------------------------------------

IMA_STATUS get_static_target_properties(const IMA_OID& oid, IMA_STATIC_DISCOVERY_TARGET_PROPERTIES* props,
                                        uint32_t types) {
  if (props == nullptr) return IMA_ERROR_INVALID_PARAMETER;
  std::memset(props, 0, sizeof *props);
  const IMA_STATUS checked = check_oid(oid, types);
  if (checked != IMA_STATUS_SUCCESS) return checked;
  int32_t target = 0;
  const IMA_STATUS owners = associate(oid_tag(oid), 2, &props->associatedNodeOid, &props->associatedLhbaOid);
  if (owners != IMA_STATUS_SUCCESS) return owners;
  if (const uint32_t walk = parent_of(oid_tag(oid), &target); walk != 0) return ErrorCheck(walk);
  props->targetAddress.hostnameIpAddress.hostnameInUse = 0;
  using P = IMA_STATIC_DISCOVERY_TARGET_PROPERTIES;
  static constexpr FieldRow kPortalRows[] = {
      {"", kPropTargetIPAddress, write_ip, offsetof(P, targetAddress.hostnameIpAddress.id.ipAddress),
       sizeof(IMA_IP_ADDRESS), 0},
      {"", kPropTargetPortNumber, write_decimal, offsetof(P, targetAddress.portNumber), sizeof(IMA_UINT16), 0},
      {"", kPropPortalGroupTag, write_decimal, VX_FIELD(P, portalGroupTag), 0},
  };
  static constexpr FieldRow kTargetRows[] = {{"", kPropTargetISCSIName, write_wide, VX_FIELD(P, targetName), 0}};
  const IMA_STATUS named = fill_record(target, kTargetRows, props);
  return named != IMA_STATUS_SUCCESS ? named : fill_record(oid_tag(oid), kPortalRows, props);
}

// Adds the portal to the target of exactly that name after AddTarget found the name taken (last
// status 21). 0 also when no target has exactly the name (one differing in case took it): the
// portal search decides then.
uint32_t add_portal_to_named_target(int32_t lhba, const char* name, const ActionParams& target_params) {
  std::vector<int32_t> targets;
  uint32_t status = targets_of(lhba, &targets);
  for (size_t i = 0; status == 0 && i < targets.size(); ++i) {
    char text[kTextSize];
    status = GetVaruPropertyVal(targets[i], kPropTargetISCSIName, text);
    if (status != 0 || std::strcmp(text, name) != 0) continue;
    ActionParams params;
    params.set_text(kSlotPortalAddress, target_params.text(kSlotAddress));
    params.set_text(kSlotPortalPort, target_params.text(kSlotPort));
    return invoke_action(targets[i], kActionAddTargetPortal, params);
  }
  return status;
}

// The portal just added: of a target with this name, case ignored as the hierarchy ignores it
// (several targets may share a portal), at this address and port. Portals whose values cannot be
// read are passed over. -1 when there is none.
int32_t find_static_portal(int32_t lhba, const char* name, const Endpoint& wanted) {
  std::vector<int32_t> targets;
  targets_of(lhba, &targets);
  for (int32_t target : targets) {
    char text[kTextSize];
    if (GetVaruPropertyVal(target, kPropTargetISCSIName, text) != 0 || strcasecmp(text, name) != 0) continue;
    std::vector<int32_t> portals;
    portals_of(target, &portals);
    for (int32_t portal : portals) {
      Endpoint at;
      if (read_portal(portal, &at) == 0 && same_endpoint(at, wanted.address, wanted.port)) return portal;
    }
  }
  return -1;
}

IMA_STATUS add_static_target(const IMA_OID& oid, const IMA_STATIC_DISCOVERY_TARGET& target, IMA_OID* out) {
  if (out == nullptr) return IMA_ERROR_INVALID_PARAMETER;
  std::memset(out, 0, sizeof *out);
  const IMA_STATUS checked = check_oid(oid, kLhbaOrPnp);
  if (checked != IMA_STATUS_SUCCESS) return checked;
  // The name is read within its 224 units only.
  if (wide_length(target.targetName, kTargetNameUnits) == kTargetNameUnits) return IMA_ERROR_TEXT_CONVERSION;
  ActionParams params;
  const IMA_STATUS converted = params.set_wide(kSlotTargetName, target.targetName);
  if (converted != IMA_STATUS_SUCCESS) return converted;
  Endpoint wanted;
  format_ip_text(target.targetAddress.hostnameIpAddress.id.ipAddress, wanted.address, sizeof wanted.address);
  format_port_text(target.targetAddress.portNumber, wanted.port, sizeof wanted.port);
  params.set_text(kSlotAddress, wanted.address);
  params.set_text(kSlotPort, wanted.port);
  params.set_text(kSlotBoot, kNotBoot);
  int32_t lhba = 0;
  uint32_t status = lhba_of(oid, &lhba);
  if (status != 0) return ErrorCheck(status);
  status = invoke_action(lhba, kActionAddTarget, params);
  if (status != 0) {
    uint32_t code = 0;
    char text[VARU_STATUS_TEXT_SIZE];
    VARU_get_last_status(&code, text);
    if (code != kLastStatusDuplicateTarget) return ErrorCheck(status);
    status = add_portal_to_named_target(lhba, params.text(kSlotTargetName), params);
    if (status != 0) return ErrorCheck(status);
  }
  const int32_t portal = find_static_portal(lhba, params.text(kSlotTargetName), wanted);
  if (portal < 0) return IMA_ERROR_GENERAL;
  *out = make_oid(IMA_OBJECT_TYPE_STATIC_DISCOVERY_TARGET, portal);
  return IMA_STATUS_SUCCESS;
}

// Logs out every session of the target whose connection leads to the portal (its address and its
// port: a session to another port of the same address stays).
uint32_t logout_portal_sessions(int32_t target, int32_t portal) {
  std::vector<int32_t> sessions;
  uint32_t status = Varu_Get_Child_Tags(target, kGroupSession, &sessions);
  if (status != 0) return status;
  ppdebug("After Varu_Get_Child_Tags  Scount is %d\n", static_cast<int>(sessions.size()));
  if (sessions.empty()) return 0;
  int32_t logout = 0;
  Endpoint at;
  status = find_action(target, kActionLogout, &logout);
  if (status == 0) status = read_portal(portal, &at);
  for (size_t i = 0; status == 0 && i < sessions.size(); ++i) {
    int32_t connection = 0;
    Endpoint to;
    uint32_t number = 0;
    status = group_at(sessions[i], kFirstConnection, &connection);
    if (status == 0) status = read_destination(connection, &to);
    if (status != 0 || !same_endpoint(to, at.address, at.port)) continue;
    status = instance_number(sessions[i], kGroupSession, &number);
    if (status != 0) break;
    ppdebug("SessionName is %s%u\n", kGroupSession, number);
    ppdebug("SessionInstNum is %d\n", static_cast<int>(number));
    ActionParams params;
    params.set_number(0, number);
    status = run_action(target, logout, params);
    if (status != 0) ppdebug("After VARU_do_action  status is %d  \n", static_cast<int>(status));
  }
  return status;
}

IMA_STATUS remove_static_target(const IMA_OID& oid) {
  const IMA_STATUS checked = check_oid(oid, kTargetOrStatic);
  if (checked != IMA_STATUS_SUCCESS) return checked;
  const int32_t portal = oid_tag(oid);
  uint32_t portal_number = 0;
  // Any child of a target passes the identifier check; only a portal is removed.
  if (instance_number(portal, kGroupTargetPortal, &portal_number) != 0) return IMA_ERROR_OBJECT_NOT_FOUND;
  int32_t target = 0;
  int32_t lhba = 0;
  uint32_t status = ancestors(portal, {&target, &lhba});
  if (status == 0) status = VARU_refresh_group(target);
  if (status == 0) status = logout_portal_sessions(target, portal);
  std::vector<int32_t> portals;
  if (status == 0) status = portals_of(target, &portals);
  if (status != 0) return ErrorCheck(status);
  if (portals.size() < 2) {
    uint32_t target_number = 0;
    status = instance_number(target, kGroupTarget, &target_number);
    if (status != 0) return ErrorCheck(status);
    ppdebug("before VARU_do_action  status is %d  \n", 0);
    return ErrorCheck(invoke_on_instance(lhba, kActionDeleteTarget, target_number));
  }
  ppdebug("TargetPortalName is %s%u\n", kGroupTargetPortal, portal_number);
  ppdebug("TargetPortalInst is %d\n", static_cast<int>(portal_number));
  status = invoke_on_instance(target, kActionDeleteTargetPortal, portal_number);
  if (status != 0) ppdebug("After VARU_do_action  status is %d  \n", static_cast<int>(status));
  return ErrorCheck(status);
}

IMA_STATUS list_static_targets(const IMA_OID& oid, IMA_OID_LIST** list) {
  if (list == nullptr) return IMA_ERROR_INVALID_PARAMETER;
  const IMA_STATUS checked = check_oid(oid, kLhbaOrPnp);
  if (checked != IMA_STATUS_SUCCESS) return checked;
  int32_t lhba = 0;
  std::vector<int32_t> targets;
  std::vector<int32_t> portals;
  uint32_t status = lhba_of(oid, &lhba);
  if (status == 0) status = targets_of(lhba, &targets);
  if (status == 0) status = Varu_Get_TargetPortal_Tags(targets, &portals);
  if (status != 0) return ErrorCheck(status);
  return publish_oids(IMA_OBJECT_TYPE_STATIC_DISCOVERY_TARGET, portals, list);
}

}  // namespace
}  // namespace vx

using namespace vx;

extern "C" {

IMA_API IMA_STATUS IMA_GetDiscoveryProperties(IMA_OID oid, IMA_DISCOVERY_PROPERTIES* props) {
  return guarded([&] {
    if (props == nullptr) return IMA_ERROR_INVALID_PARAMETER;
    const IMA_STATUS checked = check_oid(oid, kDiscoverySettingsTypes);
    if (checked != IMA_STATUS_SUCCESS) return checked;
    int32_t phba = 0;
    if (const uint32_t walk = settings_phba(oid, &phba); walk != 0) return ErrorCheck(walk);
    const IMA_STATUS isns = fill_isns(phba, props);
    if (isns != IMA_STATUS_SUCCESS) return isns;
    props->slpDiscoverySettable = props->slpDiscoveryEnabled = 0;
    props->staticDiscoverySettable = 0;
    props->staticDiscoveryEnabled = 1;
    props->sendTargetsDiscoverySettable = 0;
    props->sendTargetsDiscoveryEnabled = 1;
    return IMA_STATUS_SUCCESS;
  });
}

IMA_API IMA_STATUS IMA_VMW_GetDiscoveryStatus(IMA_OID phbaOid, IMA_UINT32* status) {
  return guarded([&] {
    if (status == nullptr) return IMA_ERROR_INVALID_PARAMETER;
    const IMA_STATUS checked = check_oid(phbaOid, oid_types({IMA_OBJECT_TYPE_PHBA}));
    if (checked != IMA_STATUS_SUCCESS) return checked;
    *status = rediscovery_failed() ? IMA_VMW_DISCOVERY_STATUS_FAILED : IMA_VMW_DISCOVERY_STATUS_OK;
    return IMA_STATUS_SUCCESS;
  });
}

IMA_API IMA_STATUS IMA_SetIsnsDiscovery(IMA_OID oid, IMA_BOOL enable, IMA_UINT32 method, const IMA_HOST_ID*) {
  return guarded([&] { return refuse_setting(oid, enable <= 1 && method <= kMaxIsnsMethod); });
}

IMA_API IMA_STATUS IMA_SetSlpDiscovery(IMA_OID oid, IMA_BOOL enable) {
  return guarded([&] { return refuse_setting(oid, enable <= 1); });
}

IMA_API IMA_STATUS IMA_SetStaticDiscovery(IMA_OID oid, IMA_BOOL enable) {
  return guarded([&] { return refuse_setting(oid, enable <= 1); });
}

IMA_API IMA_STATUS IMA_GetDiscoveryAddressOidList(IMA_OID oid, IMA_OID_LIST** list) {
  return guarded([&] {
    if (list == nullptr) return IMA_ERROR_INVALID_PARAMETER;
    const IMA_STATUS checked = check_oid(oid, kLhbaOrPnp);
    if (checked != IMA_STATUS_SUCCESS) return checked;
    int32_t discovery = 0;
    std::vector<int32_t> portals;
    uint32_t status = discovery_of(oid, &discovery);
    if (status == 0) status = VARU_refresh_group(discovery);   // re-reads the adapter's portals
    if (status == 0) status = Varu_Get_Child_Tags(discovery, kGroupSendTargetPortal, &portals);
    if (status != 0) return ErrorCheck(status);
    return publish_oids(IMA_OBJECT_TYPE_DISCOVERY_ADDRESS, portals, list);
  });
}

IMA_API IMA_STATUS IMA_GetDiscoveryAddressProperties(IMA_OID oid, IMA_DISCOVERY_ADDRESS_PROPERTIES* props) {
  return guarded([&] {
    if (props == nullptr) return IMA_ERROR_INVALID_PARAMETER;
    const IMA_STATUS checked = check_oid(oid, oid_types({IMA_OBJECT_TYPE_DISCOVERY_ADDRESS}));
    if (checked != IMA_STATUS_SUCCESS) return checked;
    const IMA_STATUS owners = associate(oid_tag(oid), 2, &props->associatedNodeOid, &props->associatedLhbaOid);
    if (owners != IMA_STATUS_SUCCESS) return owners;
    props->discoveryAddress.hostnameIpAddress.hostnameInUse = 0;
    return fill_record(oid_tag(oid), kDiscoveryAddressRows, props);
  });
}

IMA_API IMA_STATUS IMA_AddDiscoveryAddress(IMA_OID oid, IMA_TARGET_ADDRESS address, IMA_OID* newOid) {
  return guarded([&] { return add_discovery_address(oid, address, newOid); });
}

IMA_API IMA_STATUS IMA_RemoveDiscoveryAddress(IMA_OID oid) {
  return guarded([&] {
    const IMA_STATUS checked = check_oid(oid, oid_types({IMA_OBJECT_TYPE_DISCOVERY_ADDRESS}));
    if (checked != IMA_STATUS_SUCCESS) return checked;
    int32_t discovery = 0;
    uint32_t number = 0;
    uint32_t status = parent_of(oid_tag(oid), &discovery);
    if (status == 0) status = instance_number(oid_tag(oid), kGroupSendTargetPortal, &number);
    if (status == 0) status = invoke_on_instance(discovery, kActionDeleteSendTargetPortal, number);
    return ErrorCheck(status);
  });
}

IMA_API IMA_STATUS IMA_GetStaticDiscoveryTargetOidList(IMA_OID oid, IMA_OID_LIST** list) {
  return guarded([&] { return list_static_targets(oid, list); });
}

IMA_API IMA_STATUS IMA_VMW_GetStaticDiscoveryTargetOidList(IMA_OID oid, IMA_OID_LIST** list) {
  return guarded([&] { return list_static_targets(oid, list); });
}

IMA_API IMA_STATUS IMA_GetStaticDiscoveryTargetProperties(IMA_OID oid, IMA_STATIC_DISCOVERY_TARGET_PROPERTIES* props) {
  return guarded([&] { return get_static_target_properties(oid, props, kStaticTargetOnly); });
}

IMA_API IMA_STATUS IMA_VMW_GetStaticDiscoveryTargetProperties(IMA_OID oid,
                                                              IMA_STATIC_DISCOVERY_TARGET_PROPERTIES* props) {
  return guarded([&] { return get_static_target_properties(oid, props, kTargetOrStatic); });
}

IMA_API IMA_STATUS IMA_AddStaticDiscoveryTarget(IMA_OID oid, IMA_STATIC_DISCOVERY_TARGET target, IMA_OID* newOid) {
  return guarded([&] { return add_static_target(oid, target, newOid); });
}

IMA_API IMA_STATUS IMA_RemoveStaticDiscoveryTarget(IMA_OID oid) {
  return guarded([&] { return remove_static_target(oid); });
}

}  // extern "C"
