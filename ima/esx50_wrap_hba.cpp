// Physical HBAs (the adapters' iSCSI functions), their logical HBAs and initiator nodes, network
// portals and network ports. An iSCSIPhysicalHBA<j> under Vexalon<i> has one LogicalHBA0 and a
// static Network group with TCPIPConfiguration (the network portal) and NICConfiguration (the
// physical port); the same node serves as the physical HBA and its logical network port.
#include <strings.h>

#include <array>
#include <cstring>

#include "ima/esx50_codeset.h"
#include "ima/front.h"
#include "schema/names_controller.h"
#include "schema/names_iscsi_phba.h"

namespace vx {
namespace {

constexpr uint32_t kPhbaOnly = oid_types({IMA_OBJECT_TYPE_PHBA});
constexpr uint32_t kLhbaOnly = oid_types({IMA_OBJECT_TYPE_LHBA});
constexpr uint32_t kLhbaOrPhba = oid_types({IMA_OBJECT_TYPE_LHBA, IMA_OBJECT_TYPE_PHBA});
constexpr uint32_t kLnpOnly = oid_types({IMA_OBJECT_TYPE_LNP});
constexpr uint32_t kPnpOnly = oid_types({IMA_OBJECT_TYPE_PNP});

// Paths below an iSCSIPhysicalHBA, and below its adapter.
constexpr const char* kNicConfigPath = "Network/NICConfiguration";
constexpr const char* kPortalPath = "Network/TCPIPConfiguration";
constexpr const char* kFirstLhbaNode = "LogicalHBA0/InitiatoriSCSIName";
constexpr const char* kFirstPhba = "iSCSIPhysicalHBA0";
constexpr const char* kFirstPhbaDriver = "iSCSIPhysicalHBA0/Driver";
constexpr const char* kFirmwareWorking = "Working";
constexpr const char* kLinkDown = "Down";
constexpr IMA_UINT kImageTypes = 4;   // 0 to 3, all written alike

// ---- walks ---------------------------------------------------------------------------------------

// Every iSCSIPhysicalHBA of every adapter in order; false when the adapters cannot be listed. An
// adapter whose functions cannot be listed is left out.
bool all_phbas(std::vector<int32_t>* phbas) {
  std::vector<int32_t> adapters;
  if (Varu_Get_Child_Tags(0, kGroupVexalon, &adapters) != 0) return false;
  for (int32_t adapter : adapters) Varu_Get_Child_Tags(adapter, kGroupiSCSIPhysicalHBA, phbas);
  return true;
}

// A logical HBA is listed while its "Enabled" reads as anything not beginning with F.
uint32_t enabled_lhbas(int32_t phba, std::vector<int32_t>* lhbas) {
  std::vector<int32_t> all;
  const uint32_t status = Varu_Get_Child_Tags(phba, kGroupLogicalHBA, &all);
  for (int32_t lhba : all) {
    char enabled[kTextSize];
    if (GetVaruPropertyVal(lhba, kPropLhbaEnabled, enabled) == 0 && enabled[0] != 'F' && enabled[0] != 'f') {
      lhbas->push_back(lhba);
    }
  }
  return status;
}

IMA_STATUS list_all(uint32_t type, bool logical, IMA_OID_LIST** list) {
  if (list == nullptr) return IMA_ERROR_INVALID_PARAMETER;
  std::vector<int32_t> phbas;
  if (!all_phbas(&phbas)) return IMA_ERROR_GENERAL;
  if (!logical) return publish_oids(type, phbas, list, IMA_ERROR_GENERAL);
  std::vector<int32_t> lhbas;
  for (int32_t phba : phbas) enabled_lhbas(phba, &lhbas);
  return publish_oids(type, lhbas, list, IMA_ERROR_GENERAL);
}

// A list of one identifier: the group at `path` below base.
IMA_STATUS list_one(int32_t base, const char* path, uint32_t type, IMA_OID_LIST** list) {
  int32_t tag = 0;
  const uint32_t status = group_at(base, path, &tag);
  if (status != 0) return ErrorCheck(status);
  return publish_oids(type, {tag}, list);
}

// The InitiatoriSCSIName group of an LHBA identifier's logical HBA, or of a PHBA identifier's first one.
const char* node_path(const IMA_OID& oid) {
  return oid.objectType == IMA_OBJECT_TYPE_LHBA ? kGroupInitiatoriSCSIName : kFirstLhbaNode;
}

// ---- physical HBA properties -----------------------------------------------------------------------

// The chip family by the adapter's description: the first model text found decides.
struct ModelRow {
  const char* standard;   // searched by IMA_GetPhbaProperties
  const char* vmware;     // searched by IMA_VMW_GetPhbaProperties
  const char* hardware;
};
constexpr ModelRow kModels[] = {
    {"TVe21460", "TVe21460", "Vexalons 3"},
    {"TVe20460", "TVe20460", "Vexalons 2"},
    {"TVe24460", "TVe24", "Orvelle"},
};
constexpr const char* kUnknownModel = "N/A";

template <bool kVmware>
IMA_STATUS write_description(const char* text, uint8_t* record, const FieldRow& row) {
  const IMA_STATUS status = write_wide(text, record, row);
  if (status != IMA_STATUS_SUCCESS) return status;
  const char* hardware = kUnknownModel;
  for (const ModelRow& model : kModels) {
    if (std::strstr(text, kVmware ? model.vmware : model.standard) != nullptr) {
      hardware = model.hardware;
      break;
    }
  }
  auto* props = reinterpret_cast<IMA_PHBA_PROPERTIES*>(record);
  return Sample_Iscsi_ToWide(props->hardwareVersion, hardware, 256);
}

// Reads in this order, from the adapter; a serial number that does not fit is left empty.
constexpr std::array<FieldRow, 9> phba_rows(FieldWriter description) {
  return {{
      {"", controller::kPropDescription, description, VX_FIELD(IMA_PHBA_PROPERTIES, description), 0},
      {"", controller::kPropSerialNumber, write_wide_soft, VX_FIELD(IMA_PHBA_PROPERTIES, serialNumber), 0},
      {"", controller::kPropActiveFirmwareVersion, write_wide, VX_FIELD(IMA_PHBA_PROPERTIES, firmwareVersion), 0},
      {"", controller::kPropBIOSVersion, write_wide, VX_FIELD(IMA_PHBA_PROPERTIES, optionRomVersion), 0},
      {kFirstPhba, kPropPhbaMaxCDBLength, write_decimal, VX_FIELD(IMA_PHBA_PROPERTIES, maximumCdbLength), 0},
      {"", controller::kPropManufacturer, write_wide, VX_FIELD(IMA_PHBA_PROPERTIES, vendor), 0},
      {"", controller::kPropModelNumber, write_wide, VX_FIELD(IMA_PHBA_PROPERTIES, model), 0},
      {kFirstPhbaDriver, kPropPhbaDriverName, write_wide, VX_FIELD(IMA_PHBA_PROPERTIES, driverName), 0},
      {kFirstPhbaDriver, kPropPhbaDriverVersion, write_wide, VX_FIELD(IMA_PHBA_PROPERTIES, driverVersion), 0},
  }};
}
constexpr auto kPhbaRows = phba_rows(write_description<false>);
constexpr auto kVmwPhbaRows = phba_rows(write_description<true>);

IMA_STATUS get_phba_properties(const IMA_OID& oid, IMA_PHBA_PROPERTIES* props, bool vmware) {
  if (props == nullptr) return IMA_ERROR_INVALID_PARAMETER;
  std::memset(props, 0, sizeof *props);
  IMA_STATUS status = check_oid(oid, kPhbaOnly);
  if (status != IMA_STATUS_SUCCESS) return status;
  int32_t adapter = 0;
  if (const uint32_t walk = parent_of(oid_tag(oid), &adapter); walk != 0) return ErrorCheck(walk);
  const auto& rows = vmware ? kVmwPhbaRows : kPhbaRows;
  status = fill_record(adapter, rows.data(), rows.size(), props);
  if (status != IMA_STATUS_SUCCESS) return status;
  props->supportFlags1[0] = props->supportFlags1[1] = 1;
  const IMA_BOOL flags2[] = {0, 0, 1, 0, 1, 1};
  std::memcpy(props->supportFlags2, flags2, sizeof flags2);
  if (vmware) {
    for (IMA_BOOL& flag : props->vmwSupportFlags) flag = 1;
  }
  return IMA_STATUS_SUCCESS;
}

// ---- node, logical HBA and port properties ---------------------------------------------------------

// From the InitiatoriSCSIName group of the logical HBA.
constexpr FieldRow kNodeRows[] = {
    {"", kPropInitiatoriSCSIName, write_wide_flagged, VX_FIELD(IMA_NODE_PROPERTIES, name),
     offsetof(IMA_NODE_PROPERTIES, nameValid)},
    {"", kPropInitiatorAlias, write_wide_flagged, VX_FIELD(IMA_NODE_PROPERTIES, alias),
     offsetof(IMA_NODE_PROPERTIES, aliasValid)},
};

constexpr FieldRow kLhbaRows[] = {
    {"", kPropLhbaIfName, write_wide, VX_FIELD(IMA_LHBA_PROPERTIES, osDeviceName), 0},
};

// From the NICConfiguration group.
constexpr FieldRow kPnpRows[] = {
    {"", kPropPhbaMACAddress, write_mac, VX_FIELD(IMA_PNP_PROPERTIES, macAddress), 0},
    {"", kPropPhbaPortMaxSpeed, write_rate, VX_FIELD(IMA_PNP_PROPERTIES, maximumTransferRate), 0},
    {"", kPropPhbaPortSpeed, write_rate, VX_FIELD(IMA_PNP_PROPERTIES, currentTransferRate), 0},
    {"", kPropPhbaMaxMTUSize, write_decimal, VX_FIELD(IMA_PNP_PROPERTIES, maximumFrameSize), 0},
};

// From the NICConfiguration group of the iSCSIPhysicalHBA.
constexpr FieldRow kLnpRows[] = {
    {"", kPropPhbaMACAddress, write_mac, VX_FIELD(IMA_LNP_PROPERTIES, macAddress), 0},
};

IMA_STATUS get_lhba_properties(const IMA_OID& oid, IMA_LHBA_PROPERTIES* props, bool clear) {
  if (props == nullptr) return IMA_ERROR_INVALID_PARAMETER;
  if (clear) std::memset(props, 0, sizeof *props);
  const IMA_STATUS status = check_oid(oid, kLhbaOnly);
  if (status != IMA_STATUS_SUCCESS) return status;
  const IMA_STATUS filled = fill_record(oid_tag(oid), kLhbaRows, props);
  if (filled != IMA_STATUS_SUCCESS) return filled;
  std::memset(props->reserved1, 0, sizeof props->reserved1);
  for (IMA_BOOL& flag : props->supportFlags) flag = 1;
  std::memset(props->reserved2, 0, sizeof props->reserved2);
  props->vmwFlag = 1;
  std::memset(props->reserved3, 0, sizeof props->reserved3);
  return IMA_STATUS_SUCCESS;
}

IMA_STATUS get_pnp_properties(const IMA_OID& oid, IMA_PNP_PROPERTIES* props, bool vmware) {
  if (props == nullptr) return IMA_ERROR_INVALID_PARAMETER;
  const IMA_STATUS status = check_oid(oid, kPnpOnly);
  if (status != IMA_STATUS_SUCCESS) return status;
  int32_t network = 0;
  int32_t phba = 0;
  uint32_t walk = parent_of(oid_tag(oid), &network);
  if (walk == 0) walk = parent_of(network, &phba);
  if (walk != 0) return ErrorCheck(walk);
  props->associatedPhbaOid = make_oid(IMA_OBJECT_TYPE_PHBA, phba);
  props->macAddressSettable = 0;
  if (vmware) Sample_Iscsi_ToWide(props->vmwName, "", 8);
  return fill_record(oid_tag(oid), kPnpRows, props);
}

IMA_STATUS get_lnp_properties(const IMA_OID& oid, IMA_LNP_PROPERTIES* props, bool vmware) {
  if (props == nullptr) return IMA_ERROR_INVALID_PARAMETER;
  int32_t nic = 0;
  const IMA_STATUS status = check_oid_at(oid, kLnpOnly, kNicConfigPath, &nic);
  if (status != IMA_STATUS_SUCCESS) return status;
  props->macAddressSettable = 0;
  if (vmware) Sample_Iscsi_ToWide(props->vmwName, "", 8);
  return fill_record(nic, kLnpRows, props);
}

// Name: 1 to 223 units; alias: at most 255. Checked before the identifier.
IMA_STATUS set_node_text(const IMA_OID& oid, const IMA_WCHAR* text, const char* property, bool is_name) {
  constexpr size_t kNameUnits = 224;
  constexpr size_t kAliasUnits = 255;
  if (text == nullptr) return IMA_ERROR_INVALID_PARAMETER;
  const size_t units = wide_length(text);
  if (is_name && units == 0) return IMA_ERROR_INVALID_PARAMETER;
  if (is_name ? units >= kNameUnits : units > kAliasUnits) return IMA_ERROR_NAME_TOO_LONG;
  int32_t node = 0;
  const IMA_STATUS status = check_oid_at(oid, kLhbaOrPhba, node_path(oid), &node);
  if (status != IMA_STATUS_SUCCESS) return status;
  char utf8[kTextSize];
  const IMA_STATUS converted = wide_to_utf8(utf8, text, kTextSize, IMA_ERROR_NAME_TOO_LONG);
  if (converted != IMA_STATUS_SUCCESS) return converted;
  return ErrorCheck(SetVaruPropertyVal(node, "", property, utf8));
}

}  // namespace
}  // namespace vx

using namespace vx;

extern "C" {

IMA_API IMA_STATUS IMA_GetPhbaOidList(IMA_OID_LIST** list) {
  return guarded([&] { return list_all(IMA_OBJECT_TYPE_PHBA, false, list); });
}

IMA_API IMA_STATUS IMA_GetLnpOidList(IMA_OID_LIST** list) {
  return guarded([&] { return list_all(IMA_OBJECT_TYPE_LNP, false, list); });
}

IMA_API IMA_STATUS IMA_GetLhbaOidList(IMA_OID_LIST** list) {
  return guarded([&] { return list_all(IMA_OBJECT_TYPE_LHBA, true, list); });
}

IMA_API IMA_STATUS IMA_VMW_GetLhbaOidList(IMA_OID phbaOid, IMA_OID_LIST** list) {
  return guarded([&] {
    if (list == nullptr) return IMA_ERROR_INVALID_PARAMETER;
    const IMA_STATUS status = check_oid(phbaOid, kPhbaOnly);
    if (status != IMA_STATUS_SUCCESS) return status;
    std::vector<int32_t> lhbas;
    const uint32_t listed = enabled_lhbas(oid_tag(phbaOid), &lhbas);
    if (listed != 0) return ErrorCheck(listed);
    return publish_oids(IMA_OBJECT_TYPE_LHBA, lhbas, list, IMA_ERROR_GENERAL);
  });
}

IMA_API IMA_STATUS IMA_GetPnpOidList(IMA_OID oid, IMA_OID_LIST** list) {
  return guarded([&] {
    if (list == nullptr) return IMA_ERROR_INVALID_PARAMETER;
    int32_t nic = 0;
    const IMA_STATUS status =
        check_oid_at(oid, oid_types({IMA_OBJECT_TYPE_PHBA, IMA_OBJECT_TYPE_LNP}), kNicConfigPath, &nic);
    return status != IMA_STATUS_SUCCESS ? status : publish_oids(IMA_OBJECT_TYPE_PNP, {nic}, list);
  });
}

IMA_API IMA_STATUS IMA_VMW_GetNetworkPortalOidList(IMA_OID oid, IMA_OID_LIST** list) {
  return guarded([&] {
    if (list == nullptr) return IMA_ERROR_INVALID_PARAMETER;
    const bool lnp = oid.objectType == IMA_OBJECT_TYPE_LNP;
    int32_t at = 0;
    const IMA_STATUS status =
        check_oid_at(oid, oid_types({IMA_OBJECT_TYPE_LHBA, IMA_OBJECT_TYPE_LNP}), lnp ? kPortalPath : "", &at);
    if (status != IMA_STATUS_SUCCESS) return status;
    if (lnp) return publish_oids(IMA_OBJECT_TYPE_NETWORK_PORTAL, {at}, list);
    int32_t phba = 0;
    if (const uint32_t walk = parent_of(at, &phba); walk != 0) return ErrorCheck(walk);
    return list_one(phba, kPortalPath, IMA_OBJECT_TYPE_NETWORK_PORTAL, list);
  });
}

IMA_API IMA_STATUS IMA_VMW_GetLnpOidList(IMA_OID oid, IMA_OID_LIST** list) {
  return guarded([&] {
    if (list == nullptr) return IMA_ERROR_INVALID_PARAMETER;
    const bool pnp = oid.objectType == IMA_OBJECT_TYPE_PNP;
    int32_t network = 0;
    constexpr uint32_t kTypes = oid_types({IMA_OBJECT_TYPE_PHBA, IMA_OBJECT_TYPE_LNP, IMA_OBJECT_TYPE_PNP});
    const IMA_STATUS status = check_oid_at(oid, kTypes, pnp ? "" : kGroupPhbaNetwork, &network);
    if (status != IMA_STATUS_SUCCESS) return status;
    int32_t phba = oid_tag(oid);
    if (pnp) {
      uint32_t walk = parent_of(oid_tag(oid), &network);
      if (walk == 0) walk = parent_of(network, &phba);
      if (walk != 0) return ErrorCheck(walk);
    }
    return publish_oids(IMA_OBJECT_TYPE_LNP, {phba}, list);
  });
}

IMA_API IMA_STATUS IMA_GetPhbaProperties(IMA_OID phbaOid, IMA_PHBA_PROPERTIES* props) {
  return guarded([&] { return get_phba_properties(phbaOid, props, false); });
}

IMA_API IMA_STATUS IMA_VMW_GetPhbaProperties(IMA_OID phbaOid, IMA_PHBA_PROPERTIES* props) {
  return guarded([&] { return get_phba_properties(phbaOid, props, true); });
}

IMA_API IMA_STATUS IMA_GetPhbaStatus(IMA_OID phbaOid, IMA_PHBA_STATUS* status) {
  return guarded([&] {
    if (status == nullptr) return IMA_ERROR_INVALID_PARAMETER;
    *status = IMA_PHBA_STATUS_WORKING;
    const IMA_STATUS checked = check_oid(phbaOid, kPhbaOnly);
    if (checked != IMA_STATUS_SUCCESS) return checked;
    int32_t adapter = 0;
    char text[kTextSize];
    uint32_t read = parent_of(oid_tag(phbaOid), &adapter);
    if (read == 0) read = GetVaruPropertyVal(adapter, controller::kPropFirmwareStatus, text);
    if (read != 0) return ErrorCheck(read);
    *status = strcasecmp(text, kFirmwareWorking) == 0 ? IMA_PHBA_STATUS_WORKING : IMA_PHBA_STATUS_FAILED;
    return IMA_STATUS_SUCCESS;
  });
}

IMA_API IMA_STATUS IMA_VMW_GetNodeProperties(IMA_OID oid, IMA_NODE_PROPERTIES* props) {
  return guarded([&] {
    if (props == nullptr) return IMA_ERROR_INVALID_PARAMETER;
    std::memset(props, 0, sizeof *props);
    int32_t node = 0;
    const IMA_STATUS status = check_oid_at(oid, kLhbaOrPhba, node_path(oid), &node);
    if (status != IMA_STATUS_SUCCESS) return status;
    props->runningInInitiatorMode = 1;
    props->runningInTargetMode = 0;
    props->nameAndAliasSettable = 1;
    return fill_record(node, kNodeRows, props);
  });
}

IMA_API IMA_STATUS IMA_VMW_SetNodeName(IMA_OID oid, const IMA_WCHAR* name) {
  return guarded([&] { return set_node_text(oid, name, kPropInitiatoriSCSIName, true); });
}

IMA_API IMA_STATUS IMA_VMW_SetNodeAlias(IMA_OID oid, const IMA_WCHAR* alias) {
  return guarded([&] { return set_node_text(oid, alias, kPropInitiatorAlias, false); });
}

IMA_API IMA_STATUS IMA_GetLhbaProperties(IMA_OID lhbaOid, IMA_LHBA_PROPERTIES* props) {
  return guarded([&] { return get_lhba_properties(lhbaOid, props, true); });
}

IMA_API IMA_STATUS IMA_VMW_GetLhbaProperties(IMA_OID lhbaOid, IMA_LHBA_PROPERTIES* props) {
  return guarded([&] { return get_lhba_properties(lhbaOid, props, false); });
}

IMA_API IMA_STATUS IMA_GetPnpProperties(IMA_OID pnpOid, IMA_PNP_PROPERTIES* props) {
  return guarded([&] { return get_pnp_properties(pnpOid, props, false); });
}

IMA_API IMA_STATUS IMA_VMW_GetPnpProperties(IMA_OID pnpOid, IMA_PNP_PROPERTIES* props) {
  return guarded([&] { return get_pnp_properties(pnpOid, props, true); });
}

IMA_API IMA_STATUS IMA_GetLnpProperties(IMA_OID lnpOid, IMA_LNP_PROPERTIES* props) {
  return guarded([&] { return get_lnp_properties(lnpOid, props, false); });
}

IMA_API IMA_STATUS IMA_VMW_GetLnpProperties(IMA_OID lnpOid, IMA_LNP_PROPERTIES* props) {
  return guarded([&] { return get_lnp_properties(lnpOid, props, true); });
}

IMA_API IMA_STATUS IMA_GetNetworkPortStatus(IMA_OID portOid, IMA_NETWORK_PORT_STATUS* status) {
  return guarded([&] {
    const char* path = portOid.objectType == IMA_OBJECT_TYPE_PNP ? "" : kNicConfigPath;
    int32_t nic = 0;
    const IMA_STATUS checked = check_oid_at(portOid, oid_types({IMA_OBJECT_TYPE_LNP, IMA_OBJECT_TYPE_PNP}), path, &nic);
    if (checked != IMA_STATUS_SUCCESS) return checked;
    if (status == nullptr) return IMA_ERROR_INVALID_PARAMETER;
    *status = IMA_NETWORK_PORT_STATUS_WORKING;
    char text[kTextSize];
    const uint32_t read = GetVaruPropertyVal(nic, kPropPhbaLogicalLinkStatus, text);
    if (read != 0) return ErrorCheck(read);
    if (std::strcmp(text, kLinkDown) == 0) *status = IMA_NETWORK_PORT_STATUS_LINK_DOWN;
    return IMA_STATUS_SUCCESS;
  });
}

IMA_API IMA_STATUS IMA_PhbaDownload(IMA_OID phbaOid, IMA_UINT imageType, const IMA_WCHAR* fileName) {
  return guarded([&] {
    ppdebug(" IMA_PhbaDownload %d\n", static_cast<int>(imageType));
    if (fileName == nullptr) return IMA_ERROR_INVALID_PARAMETER;
    const IMA_STATUS status = check_oid(phbaOid, kPhbaOnly);
    if (status != IMA_STATUS_SUCCESS) return status;
    if (imageType >= kImageTypes) return IMA_ERROR_INVALID_PARAMETER;
    int32_t adapter = 0;
    if (const uint32_t walk = parent_of(oid_tag(phbaOid), &adapter); walk != 0) return ErrorCheck(walk);
    ActionParams params;
    const IMA_STATUS converted = params.set_wide(0, fileName);
    if (converted != IMA_STATUS_SUCCESS) return converted;
    ppdebug("params in upgrade flash rom is %s\n", params.text(0));
    const uint32_t result = invoke_action(adapter, controller::kActionUpgradeFlashROM, params);
    ppdebug("after  VARU_do_action  status is %d\n", static_cast<int>(result));
    return ErrorCheck(result);
  });
}

IMA_API IMA_STATUS IMA_VMW_SetMtu(IMA_OID phbaOid, IMA_UINT) {
  return guarded([&] {
    const IMA_STATUS status = check_oid(phbaOid, kPhbaOnly);
    return status != IMA_STATUS_SUCCESS ? status : IMA_ERROR_NOT_SUPPORTED;
  });
}

}  // extern "C"
