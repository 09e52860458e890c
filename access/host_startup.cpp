// Scratch directories at start-up, the host's driver kind, the iSCSI PCI functions that lspci lists,
// and the PCI address of a NIC function from ethtool.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "access/backend_state.h"
#include "access/host.h"
#include "platform/platform.h"
#include "access/wire.h"

namespace vx {

uint32_t VARU_NIC_INBOX_DRIVER_LOADED = 0;
uint32_t OPEN_ISCSI_DRIVER_LOADED = 0;
uint32_t VARU_ISCSI_INBOX_DRIVER_LOADED = 0;

namespace {


// The device IDs of the maker's iSCSI functions, as lspci takes them.
constexpr const char* kIscsiDeviceIds[] = {"212", "702", "703", "222", "712", "722"};

constexpr const char* kScsiIdsFile = "/tmp/varu_scsi_ids";
constexpr const char* kIfNameFile = "/tmp/IfName";

char g_iscsi_addresses[kIscsiAddressSlots][kIscsiAddressSize];
uint32_t g_iscsi_address_count = 0;

// Creates a missing directory (and its parents) searchable; an existing one gets the directory mode
// only when `ours` (never a shared directory such as "/scratch/").
void prepare_dir(const char* dir, bool ours) {
  std::string p = host_path(dir);
  if (::access(p.c_str(), R_OK) != 0) {
    if (make_dirs(p)) {
      ::chmod(p.c_str(), kDirMode);   // whatever the process's umask
    } else {
      pdebug(kBackEnd, 3, "%s:Failed to create %s\n", __func__, dir);
    }
  } else if (ours) {
    ::chmod(p.c_str(), kDirMode);
  }
}

}  // namespace

uint32_t VARU_config_dir_permssions() {
  uint32_t kind = VARU_get_esx_version();
  if (kind != kHostEmbedded) prepare_dir(kScratchDir, false);
  prepare_dir(kDataDir, true);
  clear_stopwatch();
  for (const char* file : {kSaveTargetFile, kSavePortalFile}) {
    FILE* f = VARU_file_open(file, "r");
    if (f == nullptr) continue;
    pdebug(kBackEnd, 6, "%s:File %s found.\n", __func__, file);
    VARU_change_permissions_file(file, kSecretFileMode);   // CHAP secrets stand in these files
    VARU_file_close(f);
  }
  return kind;
}

uint32_t VARU_config_log_dir_permissions() {
  prepare_dir(kLogDir, true);
  // Through the open file, never through a link planted at the log's name in "/tmp".
  const int fd = ::open(host_path(kLogFile).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  struct stat st {};
  if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1 && st.st_uid == ::geteuid()) {
    ::fchmod(fd, kFileMode);
  }
  if (fd >= 0) ::close(fd);
  return 0;
}

uint32_t VARU_get_nic_driver_type() {
  int32_t rc = run_shell("modinfo vx2net 2> /dev/null | grep \"supported:\" | grep \"external\" > /dev/null");
  if (rc == 1) VARU_NIC_INBOX_DRIVER_LOADED = 1;
  return 0;
}

uint32_t VARU_get_all_iscsi_devices() {
  std::memset(g_iscsi_addresses, 0, sizeof g_iscsi_addresses);
  g_iscsi_address_count = 0;
  for (const char* vendor : wire::kMakerVendorIdTexts) {
    for (const char* device : kIscsiDeviceIds) {
      const CommandOutput out(kScsiIdsFile);
      if (!out.made()) continue;
      std::string command = std::string("lspci -D -d ") + vendor + ":" + device +
                            " 2> /dev/null | cut -d \" \" -f1 2> /dev/null > " + out.quoted();
      int32_t rc = run_shell(command);
      std::vector<std::string> lines;
      out.lines(&lines);
      if (rc != 0) continue;
      for (const std::string& line : lines) {
        if (line.empty() || g_iscsi_address_count >= kIscsiAddressSlots) continue;
        std::snprintf(g_iscsi_addresses[g_iscsi_address_count], kIscsiAddressSize, "%s", line.c_str());
        ++g_iscsi_address_count;
      }
    }
  }
  return g_iscsi_address_count;
}

const char* iscsi_device_address(uint32_t index) {
  return index < g_iscsi_address_count ? g_iscsi_addresses[index] : nullptr;
}

uint32_t VARU_backend_client_nic_bdf(int32_t handle, char* bus, char* function, uint32_t* pci_domain, size_t size) {
  char ifname[kIfNameSize] = "";
  if (!host_interface_name(handle, ifname, sizeof ifname) || !is_interface_name(ifname)) return 1;
  const CommandOutput out(kIfNameFile);
  if (!out.made()) return 1;
  run_shell(std::string("ethtool -i ") + ifname + " 2>/dev/null | grep bus-info | cut -d\" \" -f2 > " + out.quoted());
  std::vector<std::string> lines;
  out.lines(&lines);
  for (const std::string& line : lines) {
    // [domain:]bus:device.function, each field hexadecimal.
    const char* p = line.c_str();
    const char* first_colon = std::strchr(p, ':');
    if (first_colon == nullptr) continue;
    if (std::strchr(first_colon + 1, ':') != nullptr) {
      if (pci_domain != nullptr) *pci_domain = static_cast<uint32_t>(std::strtoul(p, nullptr, 16));
      p = first_colon + 1;
    }
    unsigned long bus_number = std::strtoul(p, nullptr, 16);
    if (bus != nullptr && size > 0) std::snprintf(bus, size, "0x%lx", bus_number);
    const char* dot = std::strchr(p, '.');
    if (dot != nullptr && function != nullptr && size > 0) {
      std::snprintf(function, size, "0x%lx", std::strtoul(dot + 1, nullptr, 16));
    }
  }
  return 0;
}

}  // namespace vx
