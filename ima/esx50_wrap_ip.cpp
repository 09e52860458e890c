// Network portals and the IP configuration of an iSCSI function. The settings live in the Network
// group of an iSCSIPhysicalHBA: TCPIPConfiguration (IPv4, DHCP, gateway; the network portal),
// its IPv6Configuration, and NICConfiguration (the physical network port, MTU). Reads are texts
// turned into the host's records; changes go through the groups' actions and the gateway
// properties.
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "access/wire.h"
#include "ima/address_text.h"
#include "ima/front.h"
#include "schema/names_iscsi_phba.h"

namespace vx {
namespace {

constexpr uint32_t kPhbaOnly = oid_types({IMA_OBJECT_TYPE_PHBA});
constexpr uint32_t kPortalOnly = oid_types({IMA_OBJECT_TYPE_NETWORK_PORTAL});
constexpr uint32_t kPnpOnly = oid_types({IMA_OBJECT_TYPE_PNP});
constexpr uint32_t kPhbaOrPnp = oid_types({IMA_OBJECT_TYPE_PHBA, IMA_OBJECT_TYPE_PNP});
constexpr uint32_t kPortTypes = oid_types({IMA_OBJECT_TYPE_PHBA, IMA_OBJECT_TYPE_LNP, IMA_OBJECT_TYPE_PNP});

// Paths below the Network group.
constexpr const char* kTcpip = "TCPIPConfiguration";
constexpr const char* kIpv6 = "TCPIPConfiguration/IPv6Configuration";
// Paths below an iSCSIPhysicalHBA.
constexpr const char* kPortalPath = "Network/TCPIPConfiguration";
constexpr const char* kIpv6Path = "Network/TCPIPConfiguration/IPv6Configuration";
constexpr const char* kMtuPath = "Network/NICConfiguration";

constexpr const char* kNoAddress = "0.0.0.0";
constexpr const char* kNoIpv6Address = "0000:0000:0000:0000:0000:0000:0000:0000";
constexpr const char* kDefaultMask = "255.255.255.0";
constexpr uint32_t kIpv6PrefixLength = 64;

void put_u32(uint8_t* record, uint32_t offset, uint32_t value) { std::memcpy(record + offset, &value, sizeof value); }

bool below_network(const IMA_OID& oid) {
  return oid.objectType == IMA_OBJECT_TYPE_NETWORK_PORTAL || oid.objectType == IMA_OBJECT_TYPE_PNP;
}

// check_oid and the group at `path` ("" for itself) below the identifier's Network group: the child
// of a physical HBA (or its logical network port), where the walk down to it proves the identifier's
// kind (check_oid_at); the parent of a network portal or physical network port.
IMA_STATUS open_network(const IMA_OID& oid, uint32_t types, const char* path, int32_t* group) {
  if (!below_network(oid)) {
    char below[2 * VARU_NAME_SIZE + 2];
    std::snprintf(below, sizeof below, "%s%s%s", kGroupPhbaNetwork, *path != '\0' ? "/" : "", path);
    return check_oid_at(oid, types, below, group);
  }
  const IMA_STATUS status = check_oid(oid, types);
  if (status != IMA_STATUS_SUCCESS) return status;
  int32_t network = 0;
  uint32_t walk = parent_of(oid_tag(oid), &network);
  if (walk == 0) walk = group_at(network, path, group);
  return ErrorCheck(walk);
}

// IPv4 bytes of a dotted text (zeros for any other text), and an address as the actions take it.
void ipv4_bytes(const char* text, uint8_t out[4]) {
  IMA_IP_ADDRESS address;
  parse_ip_text(text, &address);
  std::memset(out, 0, 4);
  if (address.ipv4Address == 1) std::memcpy(out, address.ipAddress, 4);
}

struct AddressText {
  char text[kTextSize];
};
AddressText address_text(const IMA_IP_ADDRESS& address, bool ipv6) {
  IMA_IP_ADDRESS form = address;
  form.ipv4Address = ipv6 ? 0 : 1;
  AddressText out;
  format_ip_text(form, out.text, sizeof out.text);
  return out;
}

// ---- field writers (records.cpp's shape) ------------------------------------------------------------

// An IMA_IP_ADDRESS at the field, IPv4, with a valid flag of 1 unless the text is "0.0.0.0".
IMA_STATUS write_ipv4_valid(const char* text, uint8_t* record, const FieldRow& row) {
  put_u32(record, row.flag, std::strcmp(text, kNoAddress) != 0 ? 1 : 0);
  put_u32(record, row.offset, 1);
  ipv4_bytes(text, record + row.offset + offsetof(IMA_IP_ADDRESS, ipAddress));
  return IMA_STATUS_SUCCESS;
}

// The same for an IPv6 gateway: valid unless all zeros, flag 0.
IMA_STATUS write_ipv6_valid(const char* text, uint8_t* record, const FieldRow& row) {
  put_u32(record, row.flag, std::strcmp(text, kNoIpv6Address) != 0 ? 1 : 0);
  IMA_IP_ADDRESS address;
  parse_ip_text(text, &address);
  address.ipv4Address = 0;
  std::memcpy(record + row.offset, &address, sizeof address);
  return IMA_STATUS_SUCCESS;
}

// DHCP: on unless the text is "False" (exactly; ignoring case in the extended record).
IMA_STATUS write_dhcp(const char* text, uint8_t* record, const FieldRow& row) {
  put_u32(record, row.offset, std::strcmp(text, "False") != 0 ? 1 : 0);
  return IMA_STATUS_SUCCESS;
}
IMA_STATUS write_dhcp_any_case(const char* text, uint8_t* record, const FieldRow& row) {
  put_u32(record, row.offset, strcasecmp(text, "False") != 0 ? 1 : 0);
  return IMA_STATUS_SUCCESS;
}

IMA_STATUS write_auto_assign(const char* text, uint8_t* record, const FieldRow& row) {
  put_u32(record, row.offset, strcasecmp(text, "AutoAssign") == 0 ? 1 : 0);
  return IMA_STATUS_SUCCESS;
}

#define VX_VALID(Record, address, valid) VX_FIELD(Record, address), static_cast<uint32_t>(offsetof(Record, valid))

constexpr FieldRow kIpRows[] = {
    {kTcpip, kPropPhbaDHCPEnabled, write_dhcp, VX_FIELD(IMA_IP_PROPERTIES, dhcpConfigurationEnabled), 0},
    {kTcpip, kPropPhbaInitiatorSubnetMask, write_ipv4_valid, VX_VALID(IMA_IP_PROPERTIES, subnetMask, subnetMaskValid)},
    {kTcpip, kPropPhbaDefaultGateway, write_ipv4_valid,
     VX_VALID(IMA_IP_PROPERTIES, defaultGateway, defaultGatewayValid)},
};

using Extended = IMA_VMW_EXTENDED_IP_PROPERTIES;
constexpr FieldRow kExtendedIpv4Rows[] = {
    {kTcpip, kPropPhbaDHCPEnabled, write_dhcp_any_case, VX_FIELD(Extended, dhcpConfigurationEnabled), 0},
    {kTcpip, kPropPhbaInitiatorSubnetMask, write_ipv4_valid, VX_VALID(Extended, subnetMask, subnetMaskValid)},
    {kTcpip, kPropPhbaDefaultGateway, write_ipv4_valid, VX_VALID(Extended, defaultGateway, defaultGatewayValid)},
};
constexpr FieldRow kExtendedIpv6Rows[] = {
    {kIpv6, kPropPhbaIPv6State, write_auto_assign, VX_FIELD(Extended, ipv6AutoConfigurationEnabled), 0},
    {kIpv6, kPropPhbaDefaultIPv6Gateway, write_ipv6_valid,
     VX_VALID(Extended, ipv6DefaultGateway, ipv6DefaultGatewayValid)},
};

using Key = IMA_ADDRESS_KEY;
constexpr FieldRow kAddressKeyRows[] = {
    {"", kPropTargetIPAddress, write_ip, VX_FIELD(Key, ipAddress), 0},
    {"", kPropTargetPortNumber, write_decimal, VX_FIELD(Key, portNumber), 0},
    {"", kPropPortalGroupTag, write_decimal, VX_FIELD(Key, portalGroupTag), 0},
};

// True for the maker's PCI vendor IDs as "0x" and hexadecimal digits, in any case.
bool maker_vendor(const char* text) {
  for (const char* id : wire::kMakerVendorIdTexts) {
    char maker[16];
    std::snprintf(maker, sizeof maker, "0x%s", id);
    if (strcasecmp(text, maker) == 0) return true;
  }
  return false;
}

using FreeDeleter = decltype(&std::free);
template <typename T>
std::unique_ptr<T, FreeDeleter> zeroed(size_t bytes) {
  return {static_cast<T*>(std::calloc(1, bytes)), &std::free};
}

// ---- reads ------------------------------------------------------------------------------------

IMA_STATUS vmw_portal_properties(const IMA_OID& oid, IMA_VMW_NETWORK_PORTAL_PROPERTIES** out) {
  if (out == nullptr) return IMA_ERROR_INVALID_PARAMETER;
  int32_t network = 0;
  const IMA_STATUS status =
      open_network(oid, oid_types({IMA_OBJECT_TYPE_PHBA, IMA_OBJECT_TYPE_NETWORK_PORTAL}), "", &network);
  if (status != IMA_STATUS_SUCCESS) return status;
  char ipv4[kTextSize];
  char ipv6[kTextSize];
  char state[kTextSize];
  uint32_t read = GetVaruVal(network, kTcpip, kPropPhbaInitiatorIPAddress, ipv4);
  if (read == 0) read = GetVaruVal(network, kIpv6, kPropPhbaInitiatorRoutableAddress1, ipv6);
  if (read == 0) read = GetVaruVal(network, kIpv6, kPropPhbaIPv6State, state);
  if (read != 0) return ErrorCheck(read);
  if (strcasecmp(state, "N/A") == 0) {
    *out = nullptr;   // no IPv6: no record
    return IMA_ERROR_NOT_SUPPORTED;
  }
  auto record = zeroed<IMA_VMW_NETWORK_PORTAL_PROPERTIES>(sizeof(IMA_VMW_NETWORK_PORTAL_PROPERTIES));
  if (record == nullptr) return IMA_ERROR_GENERAL;
  ipv4_bytes(ipv4, record->ipv4Address);
  record->ipv4Valid = 1;
  IMA_IP_ADDRESS address;
  parse_ip_text(ipv6, &address);
  std::memcpy(record->ipv6Address, address.ipAddress, sizeof record->ipv6Address);
  record->ipv6PrefixLength = kIpv6PrefixLength;
  record->ipv6State = std::strcmp(state, "Static") == 0       ? IMA_VMW_IPV6_STATE_STATIC
                      : std::strcmp(state, "AutoAssign") == 0 ? IMA_VMW_IPV6_STATE_AUTOASSIGN
                                                              : IMA_VMW_IPV6_STATE_OTHER;
  *out = record.release();
  return IMA_STATUS_SUCCESS;
}

IMA_STATUS ip_properties(const IMA_OID& oid, uint32_t types, IMA_IP_PROPERTIES* props, bool clear) {
  if (props == nullptr) return IMA_ERROR_INVALID_PARAMETER;
  if (clear) std::memset(props, 0, sizeof *props);
  int32_t network = 0;
  const IMA_STATUS status = open_network(oid, types, "", &network);
  if (status != IMA_STATUS_SUCCESS) return status;
  props->ipConfigurationMethodSettable = 1;
  props->subnetMaskSettable = 1;
  props->defaultGatewaySettable = 1;
  const IMA_STATUS filled = fill_record(network, kIpRows, props);
  if (filled != IMA_STATUS_SUCCESS) return filled;
  props->primaryDnsServerAddressSettable = 0;
  props->primaryDnsServerAddressValid = 0;
  props->alternateDnsServerAddressValid = 0;
  return IMA_STATUS_SUCCESS;
}

IMA_STATUS extended_ip_properties(const IMA_OID& oid, Extended* props) {
  if (props == nullptr) return IMA_ERROR_INVALID_PARAMETER;
  std::memset(props, 0, sizeof *props);
  int32_t network = 0;
  IMA_STATUS status = open_network(oid, kPhbaOrPnp, "", &network);
  if (status != IMA_STATUS_SUCCESS) return status;
  int32_t phba = 0;
  char vendor[kTextSize];
  props->ipv4Enabled = props->ipConfigurationMethodSettable = 1;
  props->subnetMaskSettable = props->defaultGatewaySettable = 1;
  status = fill_record(network, kExtendedIpv4Rows, props);
  if (status != IMA_STATUS_SUCCESS) return status;
  uint32_t walk = parent_of(network, &phba);
  if (walk == 0) walk = GetVaruVal(phba, kGroupPhbaPCI, kPropPhbaVendorID, vendor);
  if (walk != 0) return ErrorCheck(walk);
  if (!maker_vendor(vendor)) return IMA_ERROR_NOT_SUPPORTED;
  constexpr uint32_t kFields1[] = {1, 0, 1, 0, 1};
  constexpr uint32_t kFields2[] = {1, 1, 0, 0, 1, 1};
  std::memcpy(props->ipv6Fields1, kFields1, sizeof kFields1);
  std::memcpy(props->ipv6Fields2, kFields2, sizeof kFields2);
  props->ipv6PrefixLength = kIpv6PrefixLength;
  props->ipv6AutoConfigurationSettable = 1;
  return fill_record(network, kExtendedIpv6Rows, props);
}

IMA_STATUS address_keys(const IMA_OID& oid, IMA_ADDRESS_KEYS** out) {
  if (out == nullptr) return IMA_ERROR_INVALID_PARAMETER;
  const IMA_STATUS status = check_oid(oid, oid_types({IMA_OBJECT_TYPE_TARGET, IMA_OBJECT_TYPE_DISCOVERY_ADDRESS,
                                                      IMA_OBJECT_TYPE_STATIC_DISCOVERY_TARGET}));
  if (status != IMA_STATUS_SUCCESS) return status;
  // The parent of a portal is its target; that of a SendTargets portal is Discovery, which holds no
  // portals: an empty list.
  int32_t target = 0;
  std::vector<int32_t> portals;
  uint32_t walk = parent_of(oid_tag(oid), &target);
  if (walk == 0) walk = Varu_Get_Child_Tags(target, kGroupTargetPortal, &portals);
  if (walk != 0) return ErrorCheck(walk);
  auto keys = zeroed<IMA_ADDRESS_KEYS>(offsetof(IMA_ADDRESS_KEYS, addressKeys) + portals.size() * sizeof(Key));
  if (keys == nullptr) return IMA_ERROR_GENERAL;
  Key* entries = keys->addressKeys;   // one entry per portal follows the count
  for (size_t i = 0; i < portals.size(); ++i) {
    const IMA_STATUS filled = fill_record(portals[i], kAddressKeyRows, &entries[i]);
    if (filled != IMA_STATUS_SUCCESS) {
      *out = nullptr;   // the list is freed: nothing is handed out
      return filled;
    }
  }
  keys->addressKeyCount = static_cast<IMA_UINT>(portals.size());
  *out = keys.release();
  return IMA_STATUS_SUCCESS;
}

// ---- changes ------------------------------------------------------------------------------------

// A new IPv4 address, with the current mask (255.255.255.0 while none is set).
IMA_STATUS configure_ipv4(int32_t tcpip, const IMA_IP_ADDRESS& address) {
  char mask[kTextSize];
  const uint32_t read = GetVaruPropertyVal(tcpip, kPropPhbaInitiatorSubnetMask, mask);
  if (read != 0) return ErrorCheck(read);
  ActionParams params;
  params.set_text(0, address_text(address, false).text);
  params.set_text(1, std::strncmp(mask, kNoAddress, std::strlen(kNoAddress)) == 0 ? kDefaultMask : mask);
  return ErrorCheck(invoke_action(tcpip, kActionPhbaConfigureIPAddress, params));
}

IMA_STATUS set_portal_address(const IMA_OID& oid, const IMA_IP_ADDRESS* address, IMA_BOOL ipv6, IMA_BOOL use_address) {
  const bool zero_ipv6 = ipv6 != 0 && use_address != 1;
  if (address == nullptr && !zero_ipv6) return IMA_ERROR_INVALID_PARAMETER;
  int32_t group = 0;
  const IMA_STATUS status = check_oid_at(oid, kPhbaOnly, ipv6 == 0 ? kPortalPath : kIpv6Path, &group);
  if (status != IMA_STATUS_SUCCESS) return status;
  if (ipv6 == 0) return configure_ipv4(group, *address);
  ActionParams params;
  params.set_text(0, "1");   // a static address
  params.set_text(1, zero_ipv6 ? kNoIpv6Address : address_text(*address, true).text);
  return ErrorCheck(invoke_action(group, kActionPhbaConfigureIPv6Address, params));
}

// The mask is sent with the current address, unchanged.
IMA_STATUS set_mask(const IMA_OID& oid, const IMA_IP_ADDRESS& mask) {
  int32_t tcpip = 0;
  const IMA_STATUS status = open_network(oid, kPortTypes, kTcpip, &tcpip);
  if (status != IMA_STATUS_SUCCESS) return status;
  char address[kTextSize];
  const uint32_t read = GetVaruPropertyVal(tcpip, kPropPhbaInitiatorIPAddress, address);
  if (read != 0) return ErrorCheck(read);
  ActionParams params;
  params.set_text(0, address);
  params.set_text(1, address_text(mask, false).text);
  return ErrorCheck(invoke_action(tcpip, kActionPhbaConfigureIPAddress, params));
}

// A refused gateway leaves the previous one in force (written back) and is reported as refused.
IMA_STATUS set_gateway(const IMA_OID& oid, const IMA_IP_ADDRESS& gateway, bool vmware) {
  int32_t network = 0;
  const IMA_STATUS status = open_network(oid, kPortTypes, "", &network);
  if (status != IMA_STATUS_SUCCESS) return status;
  const bool ipv6 = vmware && gateway.ipv4Address != 1;
  const char* path = ipv6 ? kIpv6 : kTcpip;
  const char* property = ipv6 ? kPropPhbaDefaultIPv6Gateway : kPropPhbaDefaultGateway;
  char kept[kTextSize];
  const uint32_t read = GetVaruVal(network, path, property, kept);
  if (read != 0) return ErrorCheck(read);
  const uint32_t written = SetVaruPropertyVal(network, path, property, address_text(gateway, ipv6).text);
  if (written == 0) return IMA_STATUS_SUCCESS;
  const IMA_STATUS refused = ErrorCheck(written);   // logged while the refusal is the last status
  const uint32_t back = SetVaruPropertyVal(network, path, property, kept);
  return back != 0 ? ErrorCheck(back) : refused;
}

// An action of a group: no parameters, or the address type of an auto-assignment.
IMA_STATUS run_plain_action(int32_t group, const char* action, const char* type = nullptr) {
  ActionParams params;
  if (type != nullptr) params.set_text(0, type);
  return ErrorCheck(invoke_action(group, action, params));
}

}  // namespace
}  // namespace vx

using namespace vx;

extern "C" {

IMA_API IMA_STATUS IMA_GetNetworkPortalOidList(IMA_OID lnpOid, IMA_OID_LIST** list) {
  return guarded([&] {
    if (list == nullptr) return IMA_ERROR_INVALID_PARAMETER;
    int32_t portal = 0;
    const IMA_STATUS status = check_oid_at(lnpOid, oid_types({IMA_OBJECT_TYPE_LNP}), kPortalPath, &portal);
    return status != IMA_STATUS_SUCCESS ? status : publish_oids(IMA_OBJECT_TYPE_NETWORK_PORTAL, {portal}, list);
  });
}

IMA_API IMA_STATUS IMA_GetNetworkPortalProperties(IMA_OID portalOid, IMA_NETWORK_PORTAL_PROPERTIES* props) {
  return guarded([&] {
    if (props == nullptr) return IMA_ERROR_INVALID_PARAMETER;
    const IMA_STATUS status = check_oid(portalOid, kPortalOnly);
    if (status != IMA_STATUS_SUCCESS) return status;
    char address[kTextSize];
    int32_t network = 0;
    int32_t phba = 0;
    uint32_t walk = GetVaruPropertyVal(oid_tag(portalOid), kPropPhbaInitiatorIPAddress, address);
    if (walk != 0) return ErrorCheck(walk);
    props->ipAddress.ipv4Address = 1;
    ipv4_bytes(address, props->ipAddress.ipAddress);
    walk = parent_of(oid_tag(portalOid), &network);
    if (walk == 0) walk = parent_of(network, &phba);
    if (walk != 0) return ErrorCheck(walk);
    props->associatedLnp = make_oid(IMA_OBJECT_TYPE_LNP, phba);
    return IMA_STATUS_SUCCESS;
  });
}

IMA_API IMA_STATUS IMA_VMW_GetNetworkPortalProperties(IMA_OID oid, IMA_VMW_NETWORK_PORTAL_PROPERTIES** props) {
  return guarded([&] { return vmw_portal_properties(oid, props); });
}

IMA_API IMA_STATUS IMA_GetIpProperties(IMA_OID pnpOid, IMA_IP_PROPERTIES* props) {
  return guarded([&] { return ip_properties(pnpOid, kPnpOnly, props, false); });
}

IMA_API IMA_STATUS IMA_VMW_GetIpProperties(IMA_OID oid, IMA_IP_PROPERTIES* props) {
  return guarded([&] { return ip_properties(oid, kPhbaOrPnp, props, true); });
}

IMA_API IMA_STATUS IMA_VMW_GetExtendedIpProperties(IMA_OID oid, IMA_VMW_EXTENDED_IP_PROPERTIES* props) {
  return guarded([&] { return extended_ip_properties(oid, props); });
}

IMA_API IMA_STATUS IMA_VMW_GetMtuProperties(IMA_OID phbaOid, IMA_MIN_MAX_VALUE* props) {
  return guarded([&] {
    if (props == nullptr) return IMA_ERROR_INVALID_PARAMETER;
    std::memset(props, 0, sizeof *props);
    int32_t nic = 0;
    const IMA_STATUS status = check_oid_at(phbaOid, kPhbaOnly, kMtuPath, &nic);
    if (status != IMA_STATUS_SUCCESS) return status;
    static constexpr FieldRow kMtu[] = {
        {"", kPropPhbaMaxMTUSize, write_decimal, VX_FIELD(IMA_MIN_MAX_VALUE, currentValue), 0}};
    const IMA_STATUS filled = fill_record(nic, kMtu, props);
    if (filled == IMA_STATUS_SUCCESS) props->currentValueValid = 1;   // valid only once read
    return filled;
  });
}

IMA_API IMA_STATUS IMA_VMW_GetArpRedirectProperties(IMA_OID phbaOid, IMA_VMW_ARP_REDIRECT_PROPERTIES* props) {
  return guarded([&] {
    if (props == nullptr) return IMA_ERROR_INVALID_PARAMETER;
    std::memset(props, 0, sizeof *props);
    const IMA_STATUS status = check_oid(phbaOid, kPhbaOnly);
    if (status != IMA_STATUS_SUCCESS) return status;
    props->arpRedirectSupported = 1;
    return IMA_STATUS_SUCCESS;
  });
}

IMA_API IMA_STATUS IMA_GetAddressKeys(IMA_OID oid, IMA_ADDRESS_KEYS** keys) {
  return guarded([&] { return address_keys(oid, keys); });
}

IMA_API IMA_STATUS IMA_SetNetworkPortalIpAddress(IMA_OID portalOid, const IMA_IP_ADDRESS* address) {
  return guarded([&] {
    if (address == nullptr) return IMA_ERROR_INVALID_PARAMETER;
    const IMA_STATUS status = check_oid(portalOid, kPortalOnly);
    return status != IMA_STATUS_SUCCESS ? status : configure_ipv4(oid_tag(portalOid), *address);
  });
}

IMA_API IMA_STATUS IMA_VMW_SetNetworkPortalIpAddress(IMA_OID phbaOid, const IMA_IP_ADDRESS* address, IMA_BOOL ipv6,
                                                     IMA_BOOL useAddress) {
  return guarded([&] { return set_portal_address(phbaOid, address, ipv6, useAddress); });
}

IMA_API IMA_STATUS IMA_SetSubnetMask(IMA_OID oid, IMA_IP_ADDRESS subnetMask) {
  return guarded([&] { return set_mask(oid, subnetMask); });
}

IMA_API IMA_STATUS IMA_VMW_SetSubnetMask(IMA_OID oid, IMA_IP_ADDRESS subnetMask) {
  return guarded([&] { return set_mask(oid, subnetMask); });
}

IMA_API IMA_STATUS IMA_SetDefaultGateway(IMA_OID oid, IMA_IP_ADDRESS defaultGateway) {
  return guarded([&] { return set_gateway(oid, defaultGateway, false); });
}

IMA_API IMA_STATUS IMA_VMW_SetDefaultGateway(IMA_OID oid, IMA_IP_ADDRESS defaultGateway) {
  return guarded([&] { return set_gateway(oid, defaultGateway, true); });
}

IMA_API IMA_STATUS IMA_SetIpConfigMethod(IMA_OID pnpOid, IMA_BOOL enableDhcp) {
  return guarded([&] {
    const IMA_STATUS status = check_oid(pnpOid, kPnpOnly);
    if (status != IMA_STATUS_SUCCESS) return status;
    if (enableDhcp > 1) return IMA_ERROR_INVALID_PARAMETER;
    int32_t network = 0;
    int32_t tcpip = 0;
    uint32_t walk = parent_of(oid_tag(pnpOid), &network);
    if (walk == 0) walk = group_at(network, kTcpip, &tcpip);
    if (walk != 0) return ErrorCheck(walk);
    return run_plain_action(tcpip, enableDhcp == 1 ? kActionPhbaDHCPEnable : kActionPhbaDHCPDisable);
  });
}

IMA_API IMA_STATUS IMA_VMW_SetIpv6ConfigMethod(IMA_OID oid, IMA_UINT method, IMA_BOOL enable) {
  return guarded([&] {
    int32_t ipv6 = 0;
    const IMA_STATUS status = open_network(oid, kPhbaOrPnp, kIpv6, &ipv6);
    if (status != IMA_STATUS_SUCCESS) return status;
    if (enable != 1) return run_plain_action(ipv6, kActionPhbaAutoAssignDisable);
    return run_plain_action(ipv6, kActionPhbaAutoAssignEnable, method == 1 ? "DHCP" : "Auto");
  });
}

IMA_API IMA_STATUS IMA_VMW_EnableIP(IMA_OID, IMA_BOOL) { return IMA_STATUS_SUCCESS; }

IMA_API IMA_STATUS IMA_VMW_SetArpRedirect(IMA_OID phbaOid, IMA_BOOL) {
  return guarded([&] {
    const IMA_STATUS status = check_oid(phbaOid, kPhbaOnly);
    return status != IMA_STATUS_SUCCESS ? status : IMA_ERROR_NOT_SUPPORTED;
  });
}

}  // extern "C"
