#include "access/discovery.h"

#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "access/backend_state.h"
#include "access/fw_commands.h"
#include "access/host.h"
#include "platform/platform.h"
#include "access/transport.h"
#include "engine/hm.h"
#include "engine/messages.h"

namespace vx {
namespace {

constexpr int kEsxLineSize = 100;            // lines of up to 99 characters
constexpr uint32_t kStatusConfigDumpFailed = 121;
constexpr uint32_t kDumpBytesPerLine = 16;
constexpr uint32_t kPcieSpeedShift = 16;
constexpr uint32_t kPcieSpeedMask = 0x7;
constexpr uint32_t kPcieWidthShift = 20;
constexpr uint32_t kPcieWidthMask = 0x3f;
constexpr double kGigaTransfersPerCode = 2.5;
constexpr const char* kIfNameFile = "/tmp/ifname.txt";
constexpr size_t kMaxIfNameLength = 15;      // IFNAMSIZ - 1
constexpr size_t kMaxBusInfoLength = 32;


bool nic_handle_ok(int32_t handle) {
  return handle >= 1 && handle <= wire::kMaxNicHandles && handle <= varu_glob.nic_function_count;
}

void close_nic_node() { os_put_nic_port_instances(varu_glob.nic_fds, wire::kMaxNicHandles); }

int32_t chipinfo_on(int32_t fd, wire::ChipInfoRecord* record) {
  int result = host_ops().ioctl(fd, wire::kNicChipInfo, record);
  if (result >= 0) return result;
  pdebug(2, 3, "%s: ioctl_get_chipinfo failed\n", "ioctl_get_chipinfo");
  return 1;
}

// Fills the table from an inventory read on `fd`; returns start + functions found.
uint32_t enumerate_on(int32_t fd, uint32_t start) {
  wire::ChipInfoRecord record{};
  int32_t result = chipinfo_on(fd, &record);
  if (result != 0) {
    pdebug(2, 3, "%s: ioctl_get_chipinfo failed with status = %d\n", "enumerate_vx_nics", result);
    return 0;
  }
  constexpr uint32_t kMaxRecords = sizeof record.records / sizeof record.records[0];
  constexpr uint32_t kMaxFunctions = sizeof record.records[0].functions;
  uint32_t records = record.count;
  if (records > kMaxRecords) {
    pdebug(2, 4, "%s: inventory reports %u records, %u used\n", "enumerate_vx_nics", records, kMaxRecords);
    records = kMaxRecords;
  }
  uint32_t next = start;
  for (uint32_t r = 0; r < records; ++r) {
    const wire::ChipRecord& chip = record.records[r];
    const uint32_t functions = chip.function_count < kMaxFunctions ? chip.function_count : kMaxFunctions;
    for (uint32_t f = 0; f < functions; ++f) {
      if (next >= static_cast<uint32_t>(wire::kMaxNicHandles)) {
        pdebug(2, 4, "%s: more than %d NIC functions, the rest ignored\n", "enumerate_vx_nics", wire::kMaxNicHandles);
        return next;
      }
      varu_glob.nic_pci[next] = PciAddress{chip.bus, chip.device, chip.functions[f]};
      ++next;
    }
  }
  return next;
}

// One link-information or virtual-function request for the handle's function. 1 when nothing
// was sent; else 0 with the driver's result in *result.
uint32_t nic_link_request(int32_t handle, unsigned long request, wire::LinkInfoRecord* record, int* result) {
  if (!nic_handle_ok(handle)) return kStatusFailed;
  std::memset(record, 0, sizeof *record);
  const PciAddress& pci = varu_glob.nic_pci[handle - 1];
  record->bus = pci.bus;
  record->device = pci.device;
  record->function = pci.function;
  if (refresh_varu_hierarchy() != 0) {
    close_nic_node();
    return kStatusFailed;
  }
  *result = host_ops().ioctl(varu_glob.nic_fds[0], request, record);
  close_nic_node();
  return 0;
}

// Configuration-space read through the NIC driver: `length` bytes from `offset` into `out`
// (area_size bytes, zeroed first); *returned = what the driver says it wrote, at most area_size.
// `fn` names the caller in the log.
uint32_t config_read(const char* fn, int32_t handle, uint32_t offset, uint32_t length, uint32_t area_size,
                     uint8_t* out, uint32_t* returned) {
  VaruGlobGuard guard;
  if (!nic_handle_ok(handle) || length > area_size) return kStatusFailed;
  std::memset(out, 0, area_size);
  void* area = alloc_driver_data_area(area_size);
  if (area == nullptr) {
    pdebug(2, 3, "%s: memory allocation failed\n", fn);
    return kStatusFailed;
  }
  const PciAddress& pci = varu_glob.nic_pci[handle - 1];
  wire::PciConfigReadRecord record{};
  record.bus = pci.bus;
  record.device = pci.device;
  record.function = pci.function;
  record.offset = offset;
  record.length = length;
  record.data_address = driver_address(area);

  uint32_t status = kStatusFailed;
  if (refresh_varu_hierarchy() != 0) {
    close_nic_node();
  } else {
    int result = host_ops().ioctl(varu_glob.nic_fds[0], wire::kNicPciConfigRead, &record);
    close_nic_node();
    if (result != 0) {
      pdebug(2, 3, "status = %d Unable to process command\n", result);
    } else {
      // The driver may shorten or (wrongly) lengthen the read; never take more than the area.
      const uint32_t got = record.length < area_size ? record.length : area_size;
      std::memcpy(out, area, got);
      if (returned != nullptr) *returned = got;
      status = 0;
    }
  }
  free_driver_data_area(area, area_size);
  return status;
}

// Only a line end is cut: a last line without one, or a line cut short by the buffer, keeps its
// last character.
void cut_newline(char* line) {
  size_t length = std::strlen(line);
  if (length > 0 && line[length - 1] == '\n') line[length - 1] = '\0';
}

bool all_chars_in(const char* text, size_t max_length, const char* allowed_punct) {
  size_t n = 0;
  for (const char* p = text; *p != '\0'; ++p, ++n) {
    const unsigned char c = static_cast<unsigned char>(*p);
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!alnum && std::strchr(allowed_punct, c) == nullptr) return false;
    if (n >= max_length) return false;
  }
  return n > 0;
}

// Closes the descriptors of a table of at most `limit` device nodes and marks every slot free.
void close_descriptors(int32_t* table, int32_t count, int32_t limit) {
  if (table == nullptr) return;
  if (count > limit) count = limit;
  VaruGlobGuard guard;
  for (int32_t i = 0; i < count; ++i) {
    if (table[i] != kNoDescriptor) host_ops().close(table[i]);
    table[i] = kNoDescriptor;
  }
}

}  // namespace

void iscsi_node_path(int32_t number, char* out, uint32_t size) {
  std::snprintf(out, size, "%s%d", wire::kIscsiNodePrefix, number);
}

int32_t os_get_port_instances(int32_t* table, int32_t count) {
  if (table == nullptr || count <= 0) return 0;
  if (count > wire::kMaxIscsiNodes) count = wire::kMaxIscsiNodes;
  VaruGlobGuard guard;
  for (int32_t i = 0; i < count; ++i) table[i] = kNoDescriptor;
  int32_t opened = 0;
  for (int32_t number = 0; number < count; ++number) {
    char path[128];
    iscsi_node_path(number, path, sizeof path);
    int fd = host_ops().open(path, O_RDWR | O_CLOEXEC, 0);
    if (fd >= 0) table[opened++] = fd;   // dense: handles stay contiguous across missing nodes
  }
  pdebug(2, 5, "%s:valid_hba = %d\n", __func__, opened);
  return opened;
}

void os_put_port_instances(int32_t* table, int32_t count) {
  close_descriptors(table, count, wire::kMaxIscsiNodes);
}

bool os_open_nic_node(int32_t* table, uint32_t count) {
  if (table == nullptr || count == 0) return false;
  if (count > static_cast<uint32_t>(wire::kMaxNicHandles)) count = wire::kMaxNicHandles;
  VaruGlobGuard guard;
  for (uint32_t i = 0; i < count; ++i) table[i] = kNoDescriptor;
  int fd = host_ops().open(wire::kNicNodePath, O_RDWR | O_CLOEXEC, 0);
  if (fd < 0) {
    pdebug(2, 3, "could not open device node %s\n", wire::kNicNodePath);
    return false;
  }
  table[0] = fd;
  return true;
}

int32_t os_get_nic_port_instances(int32_t* table, uint32_t count) {
  VaruGlobGuard guard;
  if (!os_open_nic_node(table, count)) return 0;
  const int fd = table[0];
  uint32_t functions = enumerate_on(fd, 0);
  if (functions == 0) return 0;
  uint32_t named = get_interface_names(functions, 0);
  if (named == 0) {
    host_ops().close(fd);
    table[0] = kNoDescriptor;
  }
  pdebug(2, 5, "%s:valid_hba = %d\n", __func__, static_cast<int>(named));
  return static_cast<int32_t>(named);
}

void os_put_nic_port_instances(int32_t* table, int32_t count) {
  close_descriptors(table, count, wire::kMaxNicHandles);
}

int32_t ioctl_get_chipinfo(int32_t slot, wire::ChipInfoRecord* record) {
  if (record == nullptr || slot < 0 || slot >= wire::kMaxNicHandles) return 1;
  VaruGlobGuard guard;
  return chipinfo_on(varu_glob.nic_fds[slot], record);
}

uint32_t enumerate_vx_nics(uint32_t start) {
  VaruGlobGuard guard;
  return enumerate_on(varu_glob.nic_fds[0], start);
}

uint32_t get_interface_names(uint32_t count, uint32_t start) {
  VaruGlobGuard guard;
  std::memset(varu_glob.nic_ifname, 0, sizeof varu_glob.nic_ifname);
  const uint32_t last = count < static_cast<uint32_t>(wire::kMaxNicHandles) ? count : wire::kMaxNicHandles;
  if (start >= last) return count;
  // The file is read once, in the pieces a line reader of kEsxLineSize bytes returns, and every
  // function's key is then looked up in them: one open per enumeration, not one per function.
  FILE* file = std::fopen(host_path(wire::kEsxConfPath).c_str(), "re");
  if (file == nullptr) {
    pdebug(2, 3, "%s:Failed to open /etc/vmware/esx.conf\n", __func__);
    return 0;
  }
  std::vector<std::string> pieces;
  char line[kEsxLineSize];
  while (std::fgets(line, sizeof line, file) != nullptr) pieces.emplace_back(line);
  std::fclose(file);

  for (uint32_t i = start; i < last; ++i) {
    const PciAddress& pci = varu_glob.nic_pci[i];
    char key[32];
    std::snprintf(key, sizeof key, "%03d:%02d.%d/vmkname", pci.bus, pci.device, pci.function);
    for (const std::string& piece : pieces) {
      if (piece.find(key) == std::string::npos) continue;
      std::snprintf(line, sizeof line, "%s", piece.c_str());
      cut_newline(line);
      const char* value = std::strchr(line, '=');
      const char* open_quote = value != nullptr ? std::strchr(value + 1, '"') : nullptr;
      const char* close_quote = open_quote != nullptr ? std::strchr(open_quote + 1, '"') : nullptr;
      if (close_quote != nullptr) {
        size_t name_length = static_cast<size_t>(close_quote - open_quote - 1);
        if (name_length > kIfNameKept) name_length = kIfNameKept;
        std::memcpy(varu_glob.nic_ifname[i], open_quote + 1, name_length);
        varu_glob.nic_ifname[i][name_length] = '\0';
        pdebug(2, 6, "%s:ifname = %s bus = 0x%x dev = 0x%x fun = 0x%x and i = %d\n", __func__,
               varu_glob.nic_ifname[i], pci.bus, pci.device, pci.function, static_cast<int>(i));
      }
      break;
    }
  }
  return count;
}

uint32_t ioctl_get_vmhba_name(int32_t handle, char* buffer, uint32_t size) {
  if (buffer == nullptr || size == 0 || handle < 1 || handle > wire::kMaxIscsiNodes) return kStatusFailed;
  char name[kVmhbaNameSize] = {};
  int result;
  {
    VaruGlobGuard guard;
    result = host_ops().ioctl(varu_glob.iscsi_fds[handle - 1], wire::kIscsiHostAdapterName, name);
  }
  if (result != 0) {
    pdebug(2, 3, "%s: ioctl failed with status = %d\n", __func__, result);
    return kStatusFailed;
  }
  name[sizeof name - 1] = '\0';   // the driver's text is not trusted to end
  std::snprintf(buffer, size, "%s", name);
  return 0;
}

uint32_t ioctl_get_mtu(int32_t handle, uint8_t* reply976) {
  if (reply976 == nullptr) return kStatusFailed;
  VaruGlobGuard guard;
  wire::LinkInfoRecord record;
  int result = 0;
  if (nic_link_request(handle, wire::kNicLinkInfo, &record, &result) != 0) return kStatusFailed;
  if (result < 0) {
    pdebug(2, 3, "status = %d Unable to process command\n", result);
    return kStatusFailed;
  }
  if (result == 0) std::memcpy(reply976, record.reply, sizeof record.reply);
  return 0;
}

uint32_t ioctl_get_virt_f_info(int32_t handle, uint8_t* reply976, uint32_t* vf_count) {
  VaruGlobGuard guard;
  wire::LinkInfoRecord record;
  int result = 0;
  if (nic_link_request(handle, wire::kNicVirtualFunctions, &record, &result) != 0) return kStatusFailed;
  if (result != 0) {
    pdebug(2, 3, "status = %d Unable to process command\n", result);
    return kStatusFailed;
  }
  if (reply976 != nullptr) std::memcpy(reply976, record.reply, sizeof record.reply);
  const uint32_t count = record.reply[wire::kVfCountOffset];
  if (vf_count != nullptr) *vf_count = count;
  pdebug(2, 6, "%s:char_info.dinfo.vf_table.number_vfs = %d\n", __func__, static_cast<int>(count));
  return 0;
}

uint32_t ioctl_quenta_read_pci_conf(int32_t handle, uint8_t /*domain*/, uint8_t /*port_number*/, uint32_t* dword) {
  if (dword == nullptr) return kStatusFailed;
  uint8_t data[kPciDwordArea];
  if (config_read(__func__, handle, kPcieLinkStatusOffset, sizeof(uint32_t), sizeof data, data, nullptr) != 0) {
    return kStatusFailed;
  }
  std::memcpy(dword, data, sizeof *dword);
  return 0;
}

uint32_t VARU_get_quenta_pci_data(int32_t handle, uint32_t offset, uint32_t length, char* text600) {
  if (text600 == nullptr) return kStatusFailed;
  if (length > kPciDumpArea) {
    pdebug(2, 3, "%s: length %u exceeds %u\n", __func__, length, kPciDumpArea);
    return kStatusFailed;
  }
  uint8_t data[kPciDumpArea];
  uint32_t returned = 0;
  if (config_read(__func__, handle, offset, length, sizeof data, data, &returned) != 0) return kStatusFailed;

  uint32_t shown = length < returned ? length : returned;
  if (shown > kPciDumpShown) shown = kPciDumpShown;
  std::string text;
  for (uint32_t i = 0; i < shown; ++i) {
    if (i != 0 && i % kDumpBytesPerLine == 0) text += '\n';
    char item[4];
    std::snprintf(item, sizeof item, "%02x ", data[i]);
    text += item;
  }
  std::snprintf(text600, kPciDumpTextSize, "%s", text.c_str());   // cut to 599 characters
  return 0;
}

uint32_t VARU_get_nic_mtusize(hm_node* node, int32_t handle) {
  uint8_t reply[kLinkReplySize] = {};
  if (ioctl_get_mtu(handle, reply) != 0) return kStatusFailed;
  const unsigned mtu = static_cast<unsigned>(reply[wire::kMtuOffset] | (reply[wire::kMtuOffset + 1] << 8));
  return set_prop_val(node, "MTUSize", "%u", mtu) != 0 ? kStatusFailed : 0;
}

uint32_t VARU_get_over_temperature(hm_node* node, int32_t handle) {
  uint8_t reply[kLinkReplySize] = {};
  if (ioctl_get_mtu(handle, reply) != 0) return kStatusFailed;
  set_prop_val(node, "PHYLinkDownReason", "%d", reply[wire::kLinkDownReasonOffset]);
  return 0;
}

uint32_t VARU_get_pci_express_data(int32_t handle, uint8_t domain, uint8_t port_number, uint32_t kind,
                                   hm_node* node, const char* property, char* out256) {
  if (out256 == nullptr) return kStatusFailed;
  uint32_t dword = 0;
  uint32_t read = kStatusFailed;
  if (kind == kGenerationQuenta) {
    read = ioctl_quenta_read_pci_conf(handle, domain, port_number, &dword);
  } else {
    int32_t protocol = 0;
    if (node != nullptr && node->name != nullptr) {
      if (std::strcmp(node->name, "NICPhysicalHBA") == 0) protocol = kProtocolNic;
      if (std::strcmp(node->name, "iSCSIPhysicalHBA") == 0) protocol = kProtocolIscsi;
    }
    if (protocol != 0) {
      ReadPciConfRecord record{};
      record.offset = kPcieCapLinkOffset;
      record.count = sizeof(uint32_t);
      read = ioctl_read_pci_conf(handle, &record, domain, port_number, protocol);
      if (read == 0) std::memcpy(&dword, record.data + kPcieCapLinkOffset, sizeof dword);
    }
  }
  if (read != 0) {
    varu_set_last_status(kStatusConfigDumpFailed, msg::kConfigDumpFailed);
    return kStatusFailed;
  }
  if (property != nullptr && ::strcasecmp(property, "PCIExpressLinkSpeed") == 0) {
    const uint32_t code = (dword >> kPcieSpeedShift) & kPcieSpeedMask;
    std::snprintf(out256, kValueSize, "%.1fGT/s", code * kGigaTransfersPerCode);
  } else {
    std::snprintf(out256, kValueSize, "x%u", (dword >> kPcieWidthShift) & kPcieWidthMask);
  }
  return 0;
}

uint32_t get_vf_count(int32_t handle, uint32_t* vf_count) {
  uint32_t result = ioctl_get_virt_f_info(handle, nullptr, vf_count);
  if (result != 0) {
    pdebug(2, 3, "%s:ioctl_get_virt_f_info failed with status = %d\n", __func__, static_cast<int>(result));
    return kStatusFailed;
  }
  return 0;
}

uint32_t VARU_check_valid_interface(const char* ifname) {
  if (ifname == nullptr) return kStatusFailed;
  // The name goes into a shell command: only what an interface name may hold.
  if (!all_chars_in(ifname, kMaxIfNameLength, "_.-")) {
    pdebug(2, 3, "%s:Given Interface name is not valid or not PF.\n", __func__);
    return kStatusFailed;
  }
  const CommandOutput out(kIfNameFile);
  if (!out.made() || !all_chars_in(out.path().c_str(), 4096, "_./-")) return kStatusFailed;

  char command[512];
  std::snprintf(command, sizeof command, "ethtool -i %s 2> /dev/null | grep -a bus-info | cut -d\" \" -f2 > %s",
                ifname, out.path().c_str());
  host_ops().system(command);
  std::vector<std::string> lines;
  if (!out.lines(&lines)) {
    pdebug(2, 3, "%s:Failed to Open file\n", __func__);
    return kStatusFailed;
  }
  char bus_info[256] = "";
  if (!lines.empty()) std::snprintf(bus_info, sizeof bus_info, "%s", lines.back().c_str());

  // Read back from a tool's output, so checked like caller text; an empty one would make lspci
  // dump every device.
  if (all_chars_in(bus_info, kMaxBusInfoLength, ":.")) {
    for (uint16_t vendor : wire::kMakerVendorIds) {
      // As `lspci -x` prints the ID on its "00:" line: low byte first.
      std::snprintf(command, sizeof command,
                    "lspci -s %s -x 2> /dev/null | grep -a \"^00:\" | grep -a -q \"%02x %02x\"", bus_info,
                    vendor & 0xFFu, vendor >> 8);
      if (host_ops().system(command) == 0) return 0;
    }
  }
  pdebug(2, 3, "%s:Given Interface name is not valid or not PF.\n", __func__);
  return kStatusFailed;
}

uint32_t os_prepare_device_for_removal() { return 0; }

}  // namespace vx
