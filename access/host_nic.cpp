// NIC property helpers: values the host's tables give (interface name, PCI address), the driver's
// name and version, and the IP properties the host does not report.
#include <cstring>

#include "access/backend_state.h"
#include "access/host.h"
#include "access/walks.h"
#include "engine/messages.h"

namespace vx {
namespace {

constexpr const char* kNotAvailable = "N/A";

// Controller-attributes record: the fields read here, with their widths.
constexpr size_t kAttrSerialOffset = 192;
constexpr size_t kAttrSerialWidth = 32;
constexpr size_t kAttrDriverVersionOffset = 352;
constexpr size_t kAttrDriverVersionWidth = 32;
constexpr size_t kAttrBusOffset = 508;
constexpr size_t kAttrDeviceOffset = 509;
constexpr size_t kAttrFunctionOffset = 510;

bool valid_handle(int32_t handle) { return handle >= 1 && handle <= wire::kMaxNicHandles; }

// Entry handle-1 of the interface-name table; false for a handle outside the table.
bool interface_entry(int32_t handle, char* out, size_t size) {
  if (!valid_handle(handle) || out == nullptr || size == 0) return false;
  VaruGlobGuard guard;
  const char* name = varu_glob.nic_ifname[handle - 1];
  size_t n = strnlen(name, kIfNameSize);
  if (n >= size) n = size - 1;
  std::memcpy(out, name, n);
  out[n] = '\0';
  return true;
}

// A text field of a firmware record, never read past its width.
void copy_field(char* out, size_t size, const uint8_t* record, size_t offset, size_t width) {
  if (out == nullptr || size == 0) return;
  const char* field = reinterpret_cast<const char*>(record + offset);
  size_t n = strnlen(field, width);
  if (n >= size) n = size - 1;
  std::memcpy(out, field, n);
  out[n] = '\0';
}

void put_hex(char* out, size_t size, unsigned value) {
  if (out != nullptr && size > 0) std::snprintf(out, size, "0x%x", value);
}

uint32_t set_not_available(hm_node* node, const char* property) {
  set_prop_val(owning_group(node), property, "%s", kNotAvailable);
  return 0;
}

}  // namespace

bool host_interface_name(int32_t handle, char* out, size_t size) {
  return interface_entry(handle, out, size) && out[0] != '\0';
}

uint32_t VARU_update_nic_ifname(hm_node* node, int32_t handle) {
  char name[kIfNameSize] = "";
  if (!interface_entry(handle, name, sizeof name) || set_prop_val(owning_group(node), "IfName", "%s", name) != 0) {
    pdebug(kBackEnd, 3, "%s:Failed to update NIC Ifname\n", __func__);
    return 1;
  }
  return 0;
}

uint32_t VARU_set_nic_macaddress() {
  varu_set_last_status(70, msg::kSettingNotSupportedInOs);
  return 1;
}

uint32_t VARU_get_pci_bdf(int32_t handle, char* bus, char* device, char* function, char* serial, int32_t protocol,
                          const uint8_t* attributes, uint32_t status, size_t size) {
  if (attributes == nullptr) return 1;
  if (status == 0) {
    put_hex(bus, size, attributes[kAttrBusOffset]);
    put_hex(device, size, attributes[kAttrDeviceOffset]);
    put_hex(function, size, attributes[kAttrFunctionOffset]);
    copy_field(serial, size, attributes, kAttrSerialOffset, kAttrSerialWidth);
    return 0;
  }
  if (protocol == 2 && valid_handle(handle)) {
    PciAddress pci{};
    {
      VaruGlobGuard guard;
      pci = varu_glob.nic_pci[handle - 1];
    }
    put_hex(bus, size, pci.bus);
    put_hex(device, size, pci.device);
    put_hex(function, size, pci.function);
    if (serial != nullptr && size > 1) std::snprintf(serial, size, "0");
    return 0;
  }
  pdebug(kBackEnd, 3, "%s:Controller Attributes IOCTL failed.\n", __func__);
  return 1;
}

uint32_t VARU_get_driver_name(hm_node* node, int32_t /*handle*/, int32_t protocol) {
  hm_node* driver = internal_get_node(owning_group(node), "Driver", kGroup);
  const char* name = protocol == 2 ? "vx2net.o" : protocol == 1 ? "vx2iscsi.o" : nullptr;
  if (driver != nullptr && name == nullptr) return 0;
  if (driver == nullptr || set_prop_val(driver, "DriverName", "%s", name) != 0) {
    pdebug(kBackEnd, 3, "%sFailed to get driver details\n", __func__);
    return 1;
  }
  return 0;
}

uint32_t VARU_get_driver_version(hm_node* node, int32_t /*handle*/, int32_t /*protocol*/, const uint8_t* attributes,
                                 uint32_t status) {
  hm_node* driver = internal_get_node(owning_group(node), "Driver", kGroup);
  if (status != 0 || attributes == nullptr || driver == nullptr) {
    pdebug(kBackEnd, 3, "%sFailed to get driver details\n", __func__);
    return 1;
  }
  char version[kAttrDriverVersionWidth + 1] = "";
  copy_field(version, sizeof version, attributes, kAttrDriverVersionOffset, kAttrDriverVersionWidth);
  pdebug(kBackEnd, 6, "Driver version = %s\n", version);
  if (set_prop_val(driver, "DriverVersion", "%s", version) != 0) {
    pdebug(kBackEnd, 3, "%sFailed to get driver details\n", __func__);
    return 1;
  }
  return 0;
}

uint32_t VARU_get_address_origin(hm_node* node) { return set_not_available(node, "AddressOrigin"); }
uint32_t VARU_get_nic_iftype(int32_t /*handle*/, hm_node* node) { return set_not_available(node, "IPProtocolIfType"); }
uint32_t VARU_get_nic_subnetmask(int32_t /*handle*/, hm_node* node) { return set_not_available(node, "SubnetMask"); }
uint32_t VARU_get_nic_gateway(int32_t /*handle*/, hm_node* node) { return set_not_available(node, "Gateway"); }
uint32_t VARU_get_nic_ipv6gateway(int32_t /*handle*/, hm_node* node) { return set_not_available(node, "IPv6GateWay"); }

uint32_t VARU_get_nic_ipaddress(int32_t /*handle*/, char* text, size_t size) {
  if (text != nullptr && size > 0) std::snprintf(text, size, "%s", kNotAvailable);
  return 0;
}

uint32_t VARU_update_nic_port_number() { return 0; }
uint32_t VARU_enumerate_nic_domain() { return 0; }

}  // namespace vx
