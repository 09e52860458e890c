// The controller's live properties: firmware versions (refreshed only by a read of the flash
// version, except on the Quenta generation), additional versions, temperature, controller status,
// reboot required, FRU VPD, PCI Express link, FFV name; the NICCIM summary and the CIM constants
// of a NIC physical HBA, and its MTU. Besides them, installed by no table: the readers of a NIC
// physical HBA's IP endpoint and the switch-type update.
#include "adapter/controller_properties.h"

#include <arpa/inet.h>
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "access/adapter_tables.h"
#include "access/discovery.h"
#include "access/fw_commands.h"
#include "access/host.h"
#include "access/transport.h"
#include "access/walks.h"
#include "adapter/command_target.h"
#include "adapter/controller_attribs.h"
#include "adapter/live_records.h"
#include "adapter/oem_attribs.h"
#include "engine/messages.h"
#include "iscsi/records.h"
#include "schema/handlers.h"
#include "schema/names_controller.h"

namespace vx {
namespace {

using namespace controller;

constexpr uint32_t kStatusCoreDumpProps = 265;
constexpr uint32_t kStatusResetNeeded = 279;
constexpr uint32_t kStatusFfvNotSupported = 298;
constexpr uint32_t kStatusNoAdditional = 192;
constexpr uint32_t kStatusNotSupported = 149;
constexpr size_t kCoredumpPropsSize = 20;
constexpr size_t kControllerStateOffset = 2;
constexpr size_t kResetNeededSize = 4;
constexpr const char* kNicPhba = "NICPhysicalHBA";

// The FFV parameters (subsystem 19, command 2): operation, name length, the name from byte 4.
struct ffv_params {
  uint8_t operation;   // 0 get, 1 set
  uint8_t length;
  uint8_t reserved[2];
  char name[32];
};
static_assert(sizeof(ffv_params) == 36);
static_assert(offsetof(ffv_params, name) == 4);

// The two FRU VPD blocks: offset in the FRU, bytes read, first segment property and how many.
struct FruBlock {
  uint32_t offset;
  uint32_t size;
  int first_segment;
  int segments;
};
constexpr FruBlock kFruBlocks[] = {{0, 1024, 0, 9}, {1024, 256, 9, 2}};

// The five versions of the controller attributes that one refresh rewrites.
struct VersionField {
  const char* property;
  size_t offset;
  size_t width;
};
constexpr VersionField kVersions[] = {
    {kPropActiveFirmwareVersion, offsetof(cntr_attribs, active_firmware_version), sizeof(cntr_attribs::active_firmware_version)},
    {kPropFirmwareVersionOnFlash, offsetof(cntr_attribs, firmware_version_on_flash),
     sizeof(cntr_attribs::firmware_version_on_flash)},
    {kPropBIOSVersion, offsetof(cntr_attribs, bios_version), sizeof(cntr_attribs::bios_version)},
    {kPropBootCodeVersion, offsetof(cntr_attribs, boot_code_version), sizeof(cntr_attribs::boot_code_version)},
};

constexpr const char* kCapabilitiesText = "LoadBalancing,FailOver,WakeOnLAN";

// A value the handler knows without a command: cached and returned by a read.
uint32_t constant(hm_node* prop, char* buf, uint32_t op, const char* value) {
  if (op == kGet) cache_text(prop, value);
  return op == kGet ? return_cached(prop, buf) : kStatusOk;
}

size_t nic_phba_count(hm_node* controller) {
  size_t n = 0;
  for (hm_node* nic = get_first_instance(controller, kNicPhba); nic != nullptr; nic = next_instance(nic)) ++n;
  return n;
}

// One FRU VPD block into its segment properties; 0 or 1 (logged).
uint32_t read_fru_block(const ControllerCommand& at, hm_node* group, const FruBlock& block) {
  uint8_t buffer[kFruBufferSize] = {};
  std::memcpy(buffer, &block.size, sizeof block.size);
  std::memcpy(buffer + 4, &block.offset, sizeof block.offset);
  const uint32_t status =
      ioctl_read_fruvpd_data(at.handle, buffer, kFruBufferSize, at.domain, at.port_number, at.path);
  if (status != kStatusOk) {
    pdebug(kBackEnd, 3, "%s:ioctl_read_fruvpd_data failed with status = %d\n", __func__, static_cast<int>(status));
    return kStatusFailed;
  }
  int failed = 0;
  for (int k = 0; k < block.segments; ++k) {
    // The last segment of a block takes what is left of it.
    const size_t first = kFruSegmentBytes * static_cast<size_t>(k);
    const size_t count = k + 1 == block.segments ? block.size - first : kFruSegmentBytes;
    char text[kValueSize];
    fru_segment_text(buffer, block.size, first, count, text);
    char name[24];
    std::snprintf(name, sizeof name, kPropFRUVPDDataFormat, block.first_segment + k);
    failed |= set_prop_val(group, name, "%s", text);
  }
  return failed != 0 ? kStatusFailed : kStatusOk;
}

uint32_t pci_express(hm_node* prop, char* buf, uint32_t op) {
  ControllerCommand at;
  if (op != kGet) return kStatusOk;
  if (prop == nullptr || buf == nullptr || !controller_command(prop, &at) || at.generation == kStatusFailed) {
    return kStatusFailed;
  }
  char text[kValueSize] = "";
  if (VARU_get_pci_express_data(get_port_number(at.phba), at.domain, static_cast<uint8_t>(get_phba_port_number(at.phba)),
                                at.generation, at.phba, prop->name, text) != kStatusOk) {
    return kStatusFailed;
  }
  const bool unknown = ::strcasecmp(prop->name, kPropPCIExpressLinkSpeed) == 0 && ::strcasecmp(text, "unknown") == 0;
  cache_text(prop, unknown ? kTextNA : text);
  return return_cached(prop, buf);
}

// ---- the IP endpoint of a NIC physical HBA ------------------------------------------------------

// Each reader asks one NIC routine of the host layer for its text: 0 with the text in `out`.
using EndpointFetch = uint32_t (*)(int32_t handle, hm_node* group, char out[kValueSize]);

// The cached text a host routine left in `property` of the group (routines that write the group
// report no failure of that write, so a missing property counts as nothing fetched).
uint32_t left_in_group(uint32_t status, hm_node* group, const char* property, char out[kValueSize]) {
  const hm_property* p = property_data(internal_get_node(group, property, kProperty));
  if (status != kStatusOk || p == nullptr) return kStatusFailed;
  copy_property_value(p, out);
  return kStatusOk;
}

struct EndpointReader {
  EndpointFetch fetch;
  EndpointValue kind;
};

constexpr EndpointReader kEndpointName{
    [](int32_t handle, hm_node*, char out[kValueSize]) {
      return host_interface_name(handle, out, kValueSize) ? kStatusOk : kStatusFailed;
    },
    EndpointValue::kText};
constexpr EndpointReader kIfType{
    [](int32_t handle, hm_node* group, char out[kValueSize]) {
      return left_in_group(VARU_get_nic_iftype(handle, group), group, "IPProtocolIfType", out);
    },
    EndpointValue::kText};
constexpr EndpointReader kIpv4Address{
    [](int32_t handle, hm_node*, char out[kValueSize]) { return VARU_get_nic_ipaddress(handle, out, kValueSize); },
    EndpointValue::kIpv4};
constexpr EndpointReader kSubnetMask{
    [](int32_t handle, hm_node* group, char out[kValueSize]) {
      return left_in_group(VARU_get_nic_subnetmask(handle, group), group, "SubnetMask", out);
    },
    EndpointValue::kIpv4};
// The routine writes "Gateway": property names compare ignoring case, so it is this GateWay.
constexpr EndpointReader kGateway{
    [](int32_t handle, hm_node* group, char out[kValueSize]) {
      return left_in_group(VARU_get_nic_gateway(handle, group), group, "Gateway", out);
    },
    EndpointValue::kIpv4};
constexpr EndpointReader kIpv6Gateway{
    [](int32_t handle, hm_node* group, char out[kValueSize]) {
      return left_in_group(VARU_get_nic_ipv6gateway(handle, group), group, "IPv6GateWay", out);
    },
    EndpointValue::kIpv6};
// The host layer has one address routine; the IPv6 reader keeps what it gives only when it is IPv6.
constexpr EndpointReader kIpv6Address{kIpv4Address.fetch, EndpointValue::kIpv6};
constexpr EndpointReader kAddressOrigin{
    [](int32_t, hm_node* group, char out[kValueSize]) {
      return left_in_group(VARU_get_address_origin(group), group, "AddressOrigin", out);
    },
    EndpointValue::kText};

uint32_t read_endpoint(hm_node* prop, char* buf, uint32_t op, const EndpointReader& reader) {
  hm_node* phba = enclosing(prop, kNicPhba);
  if (phba == nullptr || property_data(prop) == nullptr || buf == nullptr) return kStatusFailed;
  if (op != kGet) return kStatusOk;
  char fetched[kValueSize] = "";
  if (reader.fetch(get_port_number(phba), owning_group(prop), fetched) != kStatusOk) fetched[0] = '\0';
  cache_text(prop, endpoint_value(fetched, reader.kind));
  return return_cached(prop, buf);
}

}  // namespace

uint32_t handle_vx_controller_properties(hm_node* prop, char* buf, uint32_t op) {
  ControllerCommand at;
  if (prop == nullptr || buf == nullptr || !controller_command(prop, &at)) return kStatusFailed;
  if (op != kGet) return kStatusOk;
  if (at.generation == kStatusFailed) return kStatusFailed;
  // The versions change only with the flash: one read of it refreshes all five.
  if (at.generation != kGenerationQuenta && ::strcasecmp(prop->name, kPropFirmwareVersionOnFlash) != 0) {
    return return_cached(prop, buf);
  }
  uint8_t record[kCntrAttribsSize];
  if (VARU_get_cntr_attribs(at.handle, at.port_number, at.domain, at.path, record) != kStatusOk) return kStatusFailed;
  int failed = 0;
  for (const VersionField& v : kVersions) {
    char text[kValueSize];
    copy_field_text(reinterpret_cast<const char*>(record + v.offset), v.width, text, sizeof text);
    failed |= set_prop_val(at.controller, v.property, "%s", text);
  }
  failed |= set_prop_val(at.controller, kPropFirmwareStatus, "%s",
                         firmware_status_text(record[offsetof(cntr_attribs, firmware_status)]));
  return failed != 0 ? kStatusFailed : return_cached(prop, buf);
}

uint32_t handle_vx_controller_additional_properties(hm_node* prop, char* buf, uint32_t op) {
  ControllerCommand at;
  if (prop == nullptr || buf == nullptr || !controller_command(prop, &at)) return kStatusFailed;
  if (op != kGet) return kStatusOk;
  if (at.generation == kStatusFailed) return kStatusFailed;
  if (at.generation == kGenerationQuenta && VARU_update_cntr_additional_attribs(at.controller) != kStatusOk) {
    pdebug(kBackEnd, 3, "%s:VARU_update_cntr_additional_attribs failed\n", __func__);
    return kStatusFailed;
  }
  return return_cached(prop, buf);
}

uint32_t handle_vx_temperature(hm_node* prop, char* buf, uint32_t op) {
  ControllerCommand at;
  if (prop == nullptr || buf == nullptr || !controller_command(prop, &at)) return kStatusFailed;
  if (op != kGet) return kStatusOk;
  cntr_additional_attribs record{};
  const uint32_t status = ioctl_get_cnt_additional_attribs(at.handle, &record, at.domain, at.port_number, at.path);
  if (status != kStatusOk) {
    fail(kStatusNoAdditional, "%s", msg::kNoAdditionalAttributes);
    return status;
  }
  if (record.temperature == 0) {
    cache_text(prop, kTextNA);
  } else {
    SET_CACHE_PROP_VAL(prop, "%d", record.temperature);
  }
  return return_cached(prop, buf);
}

uint32_t handle_ControllerStatus(hm_node* prop, char* buf, uint32_t op) {
  ControllerCommand at;
  if (prop == nullptr || buf == nullptr || !controller_command(prop, &at)) return kStatusFailed;
  if (op != kGet) return kStatusOk;
  if (vm_flag != 0) return refuse(kStatusNotOnVf, msg::kNotOnVirtualFunction);
  if (at.generation == kGenerationQuenta) return constant(prop, buf, op, kTextNA);
  hm_node* nic = get_first_instance(at.controller, kNicPhba);
  if (nic == nullptr) return kStatusFailed;
  uint8_t record[kCoredumpPropsSize] = {};
  if (ioctl_get_coredump_props(get_port_number(nic), record, static_cast<uint8_t>(get_domain_id(nic)),
                               static_cast<uint8_t>(get_phba_port_number(nic)), kProtocolNic) != kStatusOk) {
    return refuse(kStatusCoreDumpProps, msg::kCoreDumpPropsFailed);
  }
  const uint8_t state = record[kControllerStateOffset];
  return constant(prop, buf, op, state == 0 ? "Alive" : state == 1 ? "Dead" : kTextNA);
}

uint32_t handle_RebootRequired(hm_node* prop, char* buf, uint32_t op) {
  ControllerCommand at;
  if (op != kGet) return kStatusOk;
  if (vm_flag != 0) return refuse_on_vf(buf);
  if (prop == nullptr || buf == nullptr || prop->parent == nullptr || !controller_command(prop, &at)) {
    return kStatusFailed;
  }
  uint8_t record[kResetNeededSize] = {};
  if (ioctl_get_reset_needed(at.handle, record, at.domain, at.port_number, at.adapter) != kStatusOk) {
    return refuse(kStatusResetNeeded, msg::kResetNeededFailed);
  }
  return constant(prop, buf, op, record[0] != 0 ? "Yes" : "No");
}

uint32_t handle_fru_vpd_data(hm_node* prop, char* buf, uint32_t op) {
  ControllerCommand at;
  if (op != kGet) return kStatusOk;
  if (vm_flag != 0) return refuse_on_vf(buf);
  if (prop == nullptr || buf == nullptr || !controller_command(prop, &at, true) || at.generation == kStatusFailed) {
    return kStatusFailed;
  }
  for (const FruBlock& block : kFruBlocks) {
    if (read_fru_block(at, prop->parent, block) != kStatusOk) return kStatusFailed;
  }
  return return_cached(prop, buf);
}

uint32_t handle_PCIExpressLinkSpeed(hm_node* prop, char* buf, uint32_t op) { return pci_express(prop, buf, op); }
uint32_t handle_PCIExpressBusWidth(hm_node* prop, char* buf, uint32_t op) { return pci_express(prop, buf, op); }

uint32_t handle_FFVName(hm_node* prop, char* buf, uint32_t op) {
  ControllerCommand at;
  if (prop == nullptr || buf == nullptr || !controller_command(prop, &at) || at.generation == kStatusFailed) {
    return kStatusFailed;
  }
  if (op != kGet && op != kSet) return kStatusOk;
  // Nothing is asked or sent from a virtual function (a set would name the adapter "N/A").
  if (vm_flag != 0) return refuse_on_vf(op == kGet ? buf : nullptr);
  if (at.generation == kGeneration2 || at.generation == kGeneration3) {
    return op == kGet ? constant(prop, buf, op, kTextNA) : refuse(kStatusFfvNotSupported, msg::kFfvNotSupported);
  }
  ffv_params request{};
  request.operation = op == kGet ? 0 : 1;
  if (op == kSet) {
    // The name goes out zero-padded to its 32 bytes.
    request.length = sizeof request.name;
    std::memcpy(request.name, buf, strnlen(buf, sizeof request.name));
  }
  const uint32_t status = ioctl_ffv_params(at.handle, &request, at.domain,
                                           static_cast<uint8_t>(get_phba_port_number(at.phba)), at.adapter);
  if (status == kStatusNotSupported) {
    cache_text(prop, kTextNA);
    if (op == kGet) return_cached(prop, buf);
    return kStatusFailed;
  }
  if (status != kStatusOk) return kStatusFailed;
  if (op == kSet) return kStatusOk;
  char name[sizeof request.name + 1];
  copy_field_text(request.name, std::min<size_t>(request.length, sizeof request.name), name, sizeof name);
  cache_text(prop, name);
  return return_cached(prop, buf);
}

uint32_t handle_PortControllerName(hm_node* prop, char* buf, uint32_t op) {
  hm_node* controller = enclosing(prop, kGroupVexalon);
  if (op != kGet) return kStatusOk;
  if (controller == nullptr || buf == nullptr) return kStatusFailed;
  hm_node* nic = get_first_instance(controller, kNicPhba);
  if (nic == nullptr) return constant(prop, buf, op, kTextNA);
  hm_node* pci = internal_get_node(nic, "PCI", kGroup);
  if (pci == nullptr) return kStatusFailed;
  char bus[kValueSize];
  char device[kValueSize];
  if (read_property(pci, "BusNumber", bus) && read_property(pci, "DeviceNumber", device)) {
    SET_CACHE_PROP_VAL(prop, "Talvix Brightlane at %s:%s", bus, device);
  }
  return return_cached(prop, buf);
}

uint32_t handle_ControllerType(hm_node* prop, char* buf, uint32_t op) {
  hm_node* controller = enclosing(prop, kGroupVexalon);
  if (controller == nullptr) return kStatusFailed;
  return constant(prop, buf, op, nic_phba_count(controller) > 0 ? "Ethernet" : kTextNA);
}

uint32_t handle_ProtocolSupported(hm_node* prop, char* buf, uint32_t op) {
  hm_node* controller = enclosing(prop, kGroupVexalon);
  if (controller == nullptr) return kStatusFailed;
  return constant(prop, buf, op, nic_phba_count(controller) > 0 ? "IEEE P802.3ae" : kTextNA);
}

uint32_t handle_MaxSupportedController(hm_node* prop, char* buf, uint32_t op) {
  hm_node* controller = enclosing(prop, kGroupVexalon);
  if (controller == nullptr) return kStatusFailed;
  char count[16];
  std::snprintf(count, sizeof count, "%zu", nic_phba_count(controller));
  return constant(prop, buf, op, count);
}

uint32_t handle_ProtocolIfType(hm_node* prop, char* buf, uint32_t op) { return constant(prop, buf, op, "Ethernet CSMA/CD"); }
uint32_t handle_LinkTechnology(hm_node* prop, char* buf, uint32_t op) { return constant(prop, buf, op, "Ethernet"); }
uint32_t handle_Vexalon_NICPhysicalHBA_CIM_Capabilities(hm_node* prop, char* buf, uint32_t op) {
  return constant(prop, buf, op, kCapabilitiesText);
}
uint32_t handle_EnabledCapabilities(hm_node* prop, char* buf, uint32_t op) {
  return constant(prop, buf, op, kCapabilitiesText);
}

uint32_t handle_nic_MTUSize(hm_node* prop, char* buf, uint32_t op) {
  hm_node* phba = enclosing(prop, kNicPhba);
  if (phba == nullptr || buf == nullptr) return kStatusFailed;
  if (op != kGet) return kStatusOk;
  if (VARU_get_nic_mtusize(phba, get_port_number(phba)) != kStatusOk) {
    pdebug(kBackEnd, 3, "%s:VARU_get_nic_mtusize failed\n", __func__);
    return kStatusFailed;
  }
  return return_cached(prop, buf);
}

const char* endpoint_value(const char* fetched, EndpointValue kind) {
  const bool given = fetched != nullptr && fetched[0] != '\0';
  uint8_t address[16];
  switch (kind) {
    case EndpointValue::kIpv4:
      return given && ::inet_pton(AF_INET, fetched, address) == 1 ? fetched : "0.0.0.0";
    case EndpointValue::kIpv6:
      return given && ::inet_pton(AF_INET6, fetched, address) == 1 ? fetched : "0000:0000:0000:0000";
    case EndpointValue::kText:
      break;
  }
  return given ? fetched : kTextNA;
}

uint32_t handle_CIM_IPProtocolEndPointName(hm_node* prop, char* buf, uint32_t op) {
  return read_endpoint(prop, buf, op, kEndpointName);
}
uint32_t handle_CIM_IPProtocolIfType(hm_node* prop, char* buf, uint32_t op) {
  return read_endpoint(prop, buf, op, kIfType);
}
uint32_t handle_CIM_IPv4Address(hm_node* prop, char* buf, uint32_t op) {
  return read_endpoint(prop, buf, op, kIpv4Address);
}
uint32_t handle_CIM_SubnetMask(hm_node* prop, char* buf, uint32_t op) {
  return read_endpoint(prop, buf, op, kSubnetMask);
}
uint32_t handle_CIM_GateWay(hm_node* prop, char* buf, uint32_t op) { return read_endpoint(prop, buf, op, kGateway); }
uint32_t handle_CIM_IPv6GateWay(hm_node* prop, char* buf, uint32_t op) {
  return read_endpoint(prop, buf, op, kIpv6Gateway);
}
uint32_t handle_CIM_IPv6Address(hm_node* prop, char* buf, uint32_t op) {
  return read_endpoint(prop, buf, op, kIpv6Address);
}
uint32_t handle_CIM_AddressOrigin(hm_node* prop, char* buf, uint32_t op) {
  return read_endpoint(prop, buf, op, kAddressOrigin);
}

uint32_t VARU_update_switch_type(hm_node* controller, int32_t port_handle, uint8_t domain, uint8_t port_number) {
  if (controller == nullptr) return kStatusFailed;
  const int32_t adapter = instance_number(controller);
  uint8_t config[kFwConfigSize] = {};
  uint32_t status = ioctl_get_fw_config(port_handle, config, domain, port_number,
                                        static_cast<int32_t>(get_the_protocol(adapter)));
  if (status != kStatusOk) {
    pdebug(kBackEnd, 3, "%s:ioctl_get_fw_config failed with status = %d\n", __func__, static_cast<int>(status));
    return status;
  }
  uint32_t function_mode = 0;
  std::memcpy(&function_mode, config + kFwConfigFunctionMode, sizeof function_mode);
  if ((function_mode & kFunctionModeSwitchType) == 0) return kStatusOk;
  uint8_t request[kSwitchTypeRequestSize] = {};
  status = ioctl_set_switch_type(port_handle, request, domain, port_number, adapter);
  if (status != kStatusOk) {
    pdebug(kBackEnd, 3, "%s:ioctl_set_switch_type failed with status = %d\n", __func__, static_cast<int>(status));
  }
  return status;
}

}  // namespace vx
