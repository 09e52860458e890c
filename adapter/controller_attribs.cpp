// Start-up fill of a controller and its physical HBAs from the adapter's answers.
#include "adapter/controller_attribs.h"

#include <strings.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "access/fw_commands.h"
#include "access/host.h"
#include "access/transport.h"
#include "access/walks.h"
#include "engine/messages.h"

namespace vx {

namespace {

constexpr uint32_t kStatusPrivilegeLevel = 195;
constexpr uint32_t kStatusNotSupportedForVf = 196;
constexpr uint32_t kCapabilityInvalid = 1u << 15;
constexpr uint32_t kVmProbeConfigCount = 64;
constexpr uint32_t kCoredumpPropsSize = 20;
constexpr uint32_t kBootConfigSize = 8;
constexpr uint16_t kVpdKindNic = 0;
constexpr uint16_t kVpdKindIscsi = 1;

// Names of the capability bits 0 to 9, in bit order.
constexpr const char* kCapabilityNames[] = {
    "TCP offload",     "Raw Ethernet",          "RDMA Protocol",  "Virtual Machines", "iSCSI Initiator",
    "iSCSI target plus initiator", "FCoE Initiator", "FCoE Target", "DAL",           "LRO",
};

constexpr const char* kFirmwareStatusTexts[] = {"Working", "Degraded", "Critical", "Failed"};

// VPD bytes are shown as two lower-case hex digits each.
constexpr char kHexDigits[] = "0123456789abcdef";
constexpr const char* kVpdSegmentNames[] = {"VPDData0", "VPDData1", "VPDData2", "VPDData3", "VPDData4",
                                            "VPDData5", "VPDData6", "VPDData7", "VPDData8"};
static_assert(sizeof kVpdSegmentNames / sizeof kVpdSegmentNames[0] == kVpdSegments, "one name per segment");
static_assert(2 * kVpdSegmentBytes < kValueSize, "a segment's text fits a value");

// Text properties of the controller, each from a field of the record.
struct TextField {
  const char* property;
  size_t offset;
  size_t width;
};
constexpr TextField kControllerTexts[] = {
    {"SerialNumber", offsetof(cntr_attribs, serial_number), sizeof(cntr_attribs::serial_number)},
    {"Manufacturer", offsetof(cntr_attribs, manufacturer), sizeof(cntr_attribs::manufacturer)},
    {"ModelNumber", offsetof(cntr_attribs, model_number), sizeof(cntr_attribs::model_number)},
    {"Description", offsetof(cntr_attribs, description), sizeof(cntr_attribs::description)},
    {"ActiveFirmwareVersion", offsetof(cntr_attribs, active_firmware_version),
     sizeof(cntr_attribs::active_firmware_version)},
    {"BIOSVersion", offsetof(cntr_attribs, bios_version), sizeof(cntr_attribs::bios_version)},
    {"BootCodeVersion", offsetof(cntr_attribs, boot_code_version), sizeof(cntr_attribs::boot_code_version)},
    {"FirmwareVersionOnFlash", offsetof(cntr_attribs, firmware_version_on_flash),
     sizeof(cntr_attribs::firmware_version_on_flash)},
};

// A text field of the record, never read past its width.
void field_text(const uint8_t* record, size_t offset, size_t width, char* out, size_t size) {
  copy_field_text(reinterpret_cast<const char*>(record + offset), width, out, size);
}

cntr_attribs as_record(const uint8_t* bytes) {
  cntr_attribs rec;
  std::memcpy(&rec, bytes, sizeof rec);
  return rec;
}

// The "Vexalon" instance the node belongs to, or NULL.
hm_node* controller_of(hm_node* node) {
  for (int steps = 0; node != nullptr && steps < kPathLevels; ++steps) {
    if (node->parent == node) return nullptr;   // "ROOT"
    if (node->kind == kGroup && instance_info(node) != nullptr && node->name != nullptr &&
        ::strcasecmp(node->name, "Vexalon") == 0) {
      return node;
    }
    node = node->parent;
  }
  return nullptr;
}

uint8_t as_u8(int32_t value) { return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value); }

}  // namespace

void copy_field_text(const char* field, size_t width, char* out, size_t size) {
  if (out == nullptr || size == 0) return;
  size_t n = field != nullptr ? strnlen(field, width) : 0;
  if (n >= size) n = size - 1;
  if (n > 0) std::memcpy(out, field, n);
  out[n] = '\0';
}

bool parse_pci_number(const char* text, uint32_t* out) {
  if (text == nullptr || text[0] == '\0' || text[0] == '-') return false;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(text, &end, 0);
  if (end == text || *end != '\0' || errno != 0 || v < 0 || v > UINT32_MAX) return false;
  *out = static_cast<uint32_t>(v);
  return true;
}

void capabilities_text(uint32_t bits, char* out, size_t size) {
  if (out == nullptr || size == 0) return;
  out[0] = '\0';
  if ((bits & kCapabilityInvalid) != 0) {
    std::snprintf(out, size, "Invalid");
    return;
  }
  size_t used = 0;
  for (size_t bit = 0; bit < sizeof kCapabilityNames / sizeof kCapabilityNames[0]; ++bit) {
    if ((bits & (1u << bit)) == 0) continue;
    int n = std::snprintf(out + used, size - used, "%s%s", used == 0 ? "" : ",", kCapabilityNames[bit]);
    if (n < 0 || static_cast<size_t>(n) >= size - used) break;   // cut at the buffer's end
    used += static_cast<size_t>(n);
  }
}

const char* firmware_status_text(uint8_t status) {
  return status < sizeof kFirmwareStatusTexts / sizeof kFirmwareStatusTexts[0] ? kFirmwareStatusTexts[status]
                                                                               : "Unknown";
}

uint32_t VARU_get_cntr_attribs(int32_t handle, uint32_t port_number, uint32_t domain, int32_t protocol,
                               uint8_t* out) {
  if (out == nullptr) return kStatusFailed;
  std::memset(out, 0, kCntrAttribsSize);
  uint32_t status = ioctl_fetch_controller_attribs(handle, out, as_u8(static_cast<int32_t>(domain)),
                                                   as_u8(static_cast<int32_t>(port_number)), protocol);
  if (status != 0) {
    pdebug(kBackEnd, 3, "%s: ioctl_fetch_controller_attribs failed with status = %d\n", __func__,
           static_cast<int>(status));
    varu_set_last_status(kStatusNoControllerAttributes, msg::kNoControllerAttributes);
    return kStatusFailed;
  }
  return kStatusOk;
}

uint32_t VARU_update_cntr_attribs(hm_node* controller, const uint8_t* attribs, uint32_t status) {
  if (controller == nullptr || attribs == nullptr || status != 0) return kStatusFailed;
  const cntr_attribs rec = as_record(attribs);
  int failed = 0;
  for (const TextField& f : kControllerTexts) {
    char text[kValueSize];
    field_text(attribs, f.offset, f.width, text, sizeof text);
    failed |= set_prop_val(controller, f.property, "%s", text);
  }
  failed |= set_prop_val(controller, "FirmwareStatus", "%s", firmware_status_text(rec.firmware_status));
  char caps[kValueSize];
  capabilities_text(rec.capabilities, caps, sizeof caps);
  failed |= set_prop_val(controller, "Capabilities", "%s", caps);
  return failed != 0 ? kStatusFailed : kStatusOk;
}

uint32_t VARU_update_pci_bdf(hm_node* phba, int32_t handle, int32_t protocol, const uint8_t* attribs,
                             uint32_t status) {
  hm_node* pci = phba != nullptr ? internal_get_node(phba, "PCI", kGroup) : nullptr;
  if (pci == nullptr) return kStatusFailed;
  char bus[kValueSize];
  char device[kValueSize];
  char function[kValueSize];
  char serial[kValueSize];
  if (VARU_get_pci_bdf(handle, bus, device, function, serial, protocol, attribs, status) != 0) return kStatusFailed;
  int failed = set_prop_val(pci, "BusNumber", "%s", bus);
  failed |= set_prop_val(pci, "DeviceNumber", "%s", device);
  failed |= set_prop_val(pci, "FunctionNumber", "%s", function);
  return failed != 0 ? kStatusFailed : kStatusOk;
}

uint32_t VARU_update_driver_attribs(int32_t handle, hm_node* phba, int32_t protocol, const uint8_t* attribs,
                                    uint32_t status) {
  if (phba == nullptr || attribs == nullptr) return kStatusFailed;
  hm_node* pci = internal_get_node(phba, "PCI", kGroup);
  if (pci == nullptr) {
    pdebug(kBackEnd, 3, "%s:PCI group not found.\n", __func__);
    return kStatusFailed;
  }
  uint32_t result = kStatusOk;
  if (status == 0) {
    const cntr_attribs rec = as_record(attribs);
    set_prop_val(pci, "VendorID", "0x%04x", rec.vendor_id);
    set_prop_val(pci, "DeviceID", "0x%04x", rec.device_id);
    set_prop_val(pci, "SubsysVendorID", "0x%04x", rec.subsystem_vendor_id);
    set_prop_val(pci, "SubsysDeviceID", "0x%04x", rec.subsystem_device_id);
    set_prop_val(pci, "BusNumber", "0x%x", rec.bus);
    set_prop_val(pci, "DeviceNumber", "0x%x", rec.device);
    set_prop_val(pci, "FunctionNumber", "0x%x", rec.function);
    // Commands of this function carry its port number in a header byte read back from here.
    if (rec.port_number <= kMaxPortNumber) {
      set_prop_val(phba, "PortNumber", "%d", rec.port_number);
    } else {
      pdebug(kBackEnd, 3, "%s:port number %d out of range, kept the default.\n", __func__, rec.port_number);
      result = kStatusFailed;
    }
    if (protocol == kProtocolIscsi) {
      set_prop_val(phba, "iSCSIVersionMin", "%d", rec.iscsi_versions & 0x0F);
      set_prop_val(phba, "iSCSIVersionMax", "%d", (rec.iscsi_versions >> 4) & 0x0F);
      set_prop_val(phba, "LDTO", "%d", rec.ldto);
      set_prop_val(phba, "DefaultETO", "%d", static_cast<int>(rec.default_eto));
      set_prop_val(phba, "MaxCDBLength", "%d", rec.max_cdb_length);
    }
  }
  if (protocol == kProtocolNic) {
    if (status != 0 && VARU_update_pci_bdf(phba, handle, protocol, attribs, status) != 0) result = kStatusFailed;
    VARU_update_nic_port_number();
    VARU_update_nic_ifname(phba, handle);
  }
  VARU_get_driver_name(phba, handle, protocol);
  if (VARU_get_driver_version(phba, handle, protocol, attribs, status) != 0) result = kStatusFailed;
  return result;
}

uint32_t store_vpd_segments(hm_node* vpd_group, const uint8_t* data) {
  if (vpd_group == nullptr || data == nullptr) return kStatusFailed;
  int failed = 0;
  for (int k = 0; k < kVpdSegments; ++k) {
    const uint32_t first = kVpdSegmentBytes * static_cast<uint32_t>(k);
    const uint32_t count = first + kVpdSegmentBytes <= kVpdDataSize ? kVpdSegmentBytes : kVpdDataSize - first;
    char text[kValueSize];
    for (uint32_t i = 0; i < count; ++i) {
      text[2 * i] = kHexDigits[data[first + i] >> 4];
      text[2 * i + 1] = kHexDigits[data[first + i] & 0x0F];
    }
    text[2 * count] = '\0';
    failed |= set_prop_val(vpd_group, kVpdSegmentNames[k], "%s", text);
  }
  return failed != 0 ? kStatusFailed : kStatusOk;
}

namespace {

// Asks for the function's VPD with the given addressing and stores it in the VPD group.
uint32_t fill_vpd(int32_t handle, uint32_t domain, uint32_t port_number, hm_node* vpd_group, int32_t protocol,
                  uint32_t function_number, uint32_t generation) {
  auto* buffer = static_cast<uint8_t*>(varu_dcalloc(kVpdBufferSize));
  if (buffer == nullptr) {
    varu_set_last_status(kStatusOutOfMemory, msg::kOutOfMemory);
    return kStatusFailed;
  }
  uint32_t status;
  if (generation == kGenerationQuenta) {
    status = ioctl_get_quenta_vpd_data(handle, buffer, kVpdBufferSize, as_u8(static_cast<int32_t>(domain)),
                                       as_u8(static_cast<int32_t>(port_number)), protocol);
  } else {
    uint16_t selector = static_cast<uint16_t>(function_number);
    if (generation == kGeneration2 && protocol == kProtocolNic) {
      selector = port_number == 0 ? 2 : port_number == 1 ? 3 : 0;
    }
    const uint16_t kind = protocol == kProtocolNic ? kVpdKindNic : kVpdKindIscsi;
    std::memcpy(buffer, &selector, sizeof selector);
    std::memcpy(buffer + sizeof selector, &kind, sizeof kind);
    status = ioctl_get_vpd_data(handle, buffer, kVpdBufferSize, as_u8(static_cast<int32_t>(domain)),
                                as_u8(static_cast<int32_t>(port_number)), protocol);
  }
  if (status == 0) {
    status = store_vpd_segments(vpd_group, buffer);
  } else {
    pdebug(kBackEnd, 3, "%s:Failed to get VPD data, status = %d\n", "get_vpd_data", static_cast<int>(status));
  }
  varu_dfree(buffer);
  return status;
}

// Generation of the controller above `node`, or 1 (status 163 when it cannot be read).
uint32_t generation_above(hm_node* node) {
  hm_node* controller = controller_of(node);
  return controller != nullptr ? get_vx_type(controller) : kStatusFailed;
}

}  // namespace

uint32_t get_vpd_data(int32_t handle, uint32_t domain, uint32_t port_number, hm_node* vpd_group, int32_t protocol,
                      uint32_t function_number) {
  if (vpd_group == nullptr) return kStatusFailed;
  const uint32_t generation = generation_above(vpd_group);
  if (generation == 1) return kStatusFailed;
  return fill_vpd(handle, domain, port_number, vpd_group, protocol, function_number, generation);
}

uint32_t VARU_update_vpd_data(hm_node* phba, int32_t handle, int32_t protocol) {
  // The controller's generation first: it decides the request before anything else is looked at.
  if (phba == nullptr) return kStatusFailed;
  const uint32_t generation = generation_above(phba);
  if (generation == 1) return kStatusFailed;
  hm_node* pci = internal_get_node(phba, "PCI", kGroup);
  hm_node* vpd = internal_get_node(phba, "VPD", kGroup);
  if (pci == nullptr || vpd == nullptr) {
    pdebug(kBackEnd, 3, "%s:PCI or VPD group not found.\n", __func__);
    return kStatusFailed;
  }
  char text[kValueSize] = "";
  uint32_t function_number = 0;
  if (internal_get_property(pci, "FunctionNumber", text) != 0 ||
      (text[kValueSize - 1] = '\0', !parse_pci_number(text, &function_number))) {
    pdebug(kBackEnd, 3, "%s:pf_num is invalid\n", __func__);
    return kStatusFailed;
  }
  return fill_vpd(handle, static_cast<uint32_t>(get_domain_id(phba)), static_cast<uint32_t>(get_phba_port_number(phba)),
                  vpd, protocol, function_number, generation);
}

void VARU_save_file_configuration() {}

uint32_t VARU_check_for_vm(int32_t handle, hm_node* phba, hm_node* controller) {
  if (controller == nullptr || phba == nullptr) return kStatusFailed;
  const uint8_t domain = as_u8(get_domain_id(phba));
  const uint8_t port = as_u8(get_phba_port_number(phba));
  const uint32_t generation = get_vx_type(controller);
  uint32_t status;
  switch (generation) {
    case kGeneration3: {
      ReadPciConfRecord request{};
      request.count = kVmProbeConfigCount;
      status = ioctl_read_pci_conf(handle, &request, 0, 0, kProtocolNic);
      break;
    }
    case kGenerationOrvelle: {
      uint8_t request[kCoredumpPropsSize] = {};
      status = ioctl_get_coredump_props(handle, request, domain, port, kProtocolNic);
      break;
    }
    case kGenerationQuenta: {
      // The boot configuration belongs to the physical function; a virtual function is refused it.
      // Asked on the NIC path: the handle is the NIC function's, whatever path the adapter uses.
      uint8_t request[kBootConfigSize] = {};
      status = ioctl_get_boot_config(handle, request, domain, port, kProtocolNic);
      break;
    }
    default: return kStatusOk;
  }
  if (status == kStatusPrivilegeLevel || status == kStatusNotSupportedForVf) {
    pdebug(kBackEnd, 5, "%s:VARU is running on a virtual function.\n", __func__);
    vm_flag = 1;
  }
  if (generation == kGenerationQuenta) return kStatusOk;
  return status == 0 ? kStatusOk : kStatusFailed;
}

}  // namespace vx
