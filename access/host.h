// What the library asks of the host apart from driver requests: file helpers and file locks, the
// command lock on a pid file, the host's identity, time and the stopwatch, compression, shell
// commands, the scratch directories and the NIC property helpers whose values the host gives.
//
// Paths given to these helpers are the system's own absolute paths ("/scratch/Talvix/..."); each
// helper maps them through host_path itself, so callers never pass a mapped path.
#pragma once

#include <sys/time.h>
#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/hm.h"

namespace vx {

// ---- modes ---------------------------------------------------------------------------------------
constexpr mode_t kFileMode = 0644;
constexpr mode_t kSecretFileMode = 0600;   // files that hold CHAP names and secrets
constexpr mode_t kDirMode = 0755;          // directories must stay searchable

constexpr const char* kScratchDir = "/scratch/";
constexpr const char* kDataDir = "/scratch/Talvix/";
constexpr const char* kSaveTargetFile = "/scratch/Talvix/savetgt.txt";
constexpr const char* kSavePortalFile = "/scratch/Talvix/savestp.txt";
constexpr const char* kLogDir = "/var/opt/talvix/varu/logs/";
constexpr const char* kLogFile = "/tmp/varu2d.log";

// ---- file helpers (host.cpp) -------------------------------------------------------------------
FILE* VARU_file_open(const char* path, const char* mode);   // NULL for a NULL path or mode
void VARU_file_close(FILE* file);                           // ignores NULL
void VARU_delete_file(const char* path);                    // only when the file is readable
// Sets the mode of a file that opens for reading (through the open descriptor); others are left.
void VARU_change_permissions_file(const char* path, mode_t mode = kFileMode);

// Blocking exclusive lock on the whole open file, and its release: 0, or 1 (logged).
uint32_t varu_lock_file(FILE* file);
uint32_t varu_unlock_file(FILE* file);

// Non-blocking exclusive lock on a pid file (created when missing): the file's descriptor, or 255
// when another process holds it or the file cannot be created. The descriptor is never 0 or 255.
// The lock is held only on the file the path names once it is taken (else it is taken again).
constexpr int32_t kCmdLockFailed = 255;
int32_t VARU_cmd_lock(const char* pidfile);
// Deletes the pid file (when it is still the locked one), then releases the lock and closes the
// descriptor: 0, or 255 for descriptor 0 or a failed release (the descriptor is closed then too).
int32_t VARU_cmd_unlock(int32_t fd, const char* pidfile);

// Holds varu_lock_file for a scope.
class FileLockGuard {
 public:
  explicit FileLockGuard(FILE* file) : file_(file), held_(file != nullptr && varu_lock_file(file) == 0) {}
  ~FileLockGuard() { release(); }
  FileLockGuard(const FileLockGuard&) = delete;
  FileLockGuard& operator=(const FileLockGuard&) = delete;
  bool held() const { return held_; }
  // 0, or 1 when the release failed.
  uint32_t release() {
    if (!held_) return 0;
    held_ = false;
    return varu_unlock_file(file_);
  }

 private:
  FILE* file_;
  bool held_;
};

// Holds VARU_cmd_lock for a scope; released (and the pid file deleted) on every way out.
class CmdLockGuard {
 public:
  explicit CmdLockGuard(const char* pidfile) : pidfile_(pidfile != nullptr ? pidfile : ""), fd_(VARU_cmd_lock(pidfile)) {}
  ~CmdLockGuard() { release(); }
  CmdLockGuard(const CmdLockGuard&) = delete;
  CmdLockGuard& operator=(const CmdLockGuard&) = delete;
  bool held() const { return fd_ != kCmdLockFailed; }
  int32_t release() {
    if (!held()) return 0;
    int32_t fd = fd_;
    fd_ = kCmdLockFailed;
    return VARU_cmd_unlock(fd, pidfile_.c_str());
  }

 private:
  std::string pidfile_;
  int32_t fd_;
};

// The last "/"-separated component of `path` into `name`: 0, or 1 for a NULL path, an empty
// component or one that does not fit.
uint32_t get_flash_name(const char* path, char* name, size_t name_size = 256);

// ---- shell commands (host.cpp) -----------------------------------------------------------------
// The exit status of a shell command, or -1 when it could not be run or did not exit normally.
int32_t run_shell(const std::string& command);
// `text` as one shell word: unchanged when it holds only safe characters, else single-quoted.
std::string shell_quote(const std::string& text);
// True for a host interface name that may stand in a shell command: 1 to 15 of [A-Za-z0-9_.:-].
bool is_interface_name(const char* name);
// A file in "/tmp" (which others can write) for what a shell command writes: made afresh under a
// unique name that begins with the system's name for it ("/tmp/kernelname.Xa3kQ9"), so that a file
// or link planted at that name is never followed or truncated; removed when the object goes.
class CommandOutput {
 public:
  explicit CommandOutput(const char* path);   // the system's path
  ~CommandOutput();
  CommandOutput(const CommandOutput&) = delete;
  CommandOutput& operator=(const CommandOutput&) = delete;
  bool made() const { return !path_.empty(); }
  const std::string& path() const { return path_; }   // mapped; "" when none could be made
  std::string quoted() const { return shell_quote(path_); }
  // Its lines, newlines cut; false when it cannot be read.
  bool lines(std::vector<std::string>* out) const;

 private:
  std::string path_;
};

// ---- host identity (host.cpp) ------------------------------------------------------------------
constexpr uint32_t kHostEmbedded = 2;
constexpr uint32_t kHostClassic = 3;
uint32_t VARU_get_esx_version();
// Name and version numbers of the host: 0, or 1 when no release file opens.
uint32_t VARU_get_os_info(uint32_t* major, uint32_t* minor, char* name, size_t name_size = 256);
uint32_t VARU_get_system_name(char* name, size_t name_size = 256);
// Distribution code of the host's kernel release, or -1.
int32_t find_os_distribution();

// ---- time (host.cpp) ---------------------------------------------------------------------------
uint32_t VARU_get_system_time(uint16_t* month, uint16_t* year, uint16_t* hour, uint16_t* mday, uint16_t* second,
                              uint16_t* minute, uint16_t* seventh, int16_t* utc_bias);
// A stopwatch per instance number (0 to 15) of the node's nearest instanced group: 0, or 1 for a
// NULL node, no instanced group or a number outside the table.
constexpr int32_t kStopwatchSlots = 16;
uint32_t VARU_start_clock(hm_node* node);
uint32_t VARU_stop_clock(hm_node* node, uint32_t* ms);
void clear_stopwatch();
// Elapsed milliseconds between two times: seconds x 1000 + microseconds / 1000 (truncated).
uint32_t elapsed_ms(const timeval& start, const timeval& stop);

// Times of the last 10GBASE-T statistics update, one slot per adapter index x 2 + port number; a
// table apart from the stopwatch. NULL for a slot outside the table.
constexpr int32_t kBaseTTimerSlots = 64;
timeval* baset_update_time(int32_t slot);

// ---- compression (host_compress.cpp) -----------------------------------------------------------
constexpr uint32_t kCompressFailed = 0xFFFFFFFF;
// Room one-shot compression may need: n + 5 x ceil(n / 16384) + 6; 0 when that does not fit in 32
// bits.
uint32_t GetMaxCompressedLen(uint32_t n);
// One-shot deflate / inflate of the whole input: the output length, or 0xFFFFFFFF when the stream
// did not end within `dst_len` bytes, the input is damaged, or an argument is NULL.
uint32_t CompressData(const void* src, uint32_t src_len, void* dst, uint32_t dst_len);
uint32_t UncompressData(const void* src, uint32_t src_len, void* dst, uint32_t dst_len);

// ---- start-up and client helpers (host_startup.cpp) -----------------------------------------------
// Scratch directories, stopwatch and save-file modes at start-up: the host kind (2 or 3).
uint32_t VARU_config_dir_permssions();
uint32_t VARU_config_log_dir_permissions();
uint32_t VARU_get_nic_driver_type();
// Addresses of the maker's iSCSI PCI functions found by lspci: how many were stored.
uint32_t VARU_get_all_iscsi_devices();
// The stored address `index` (0-based), or NULL.
const char* iscsi_device_address(uint32_t index);
constexpr uint32_t kIscsiAddressSlots = 256;
constexpr size_t kIscsiAddressSize = 16;

// Flags of the driver kinds; the open-iscsi and inbox iSCSI flags are never set by the library.
extern uint32_t VARU_NIC_INBOX_DRIVER_LOADED;
extern uint32_t OPEN_ISCSI_DRIVER_LOADED;
extern uint32_t VARU_ISCSI_INBOX_DRIVER_LOADED;

// ---- NIC property helpers (host_nic.cpp) ---------------------------------------------------------
// Interface name of NIC port handle `handle` (1-based) from the discovery tables into `out`; false
// when the handle is outside the table or has no name.
bool host_interface_name(int32_t handle, char* out, size_t size);

// Each takes the group whose property it writes (a property node stands for its group).
uint32_t VARU_update_nic_ifname(hm_node* node, int32_t handle);
uint32_t VARU_get_nic_macaddress(hm_node* node);
uint32_t VARU_set_nic_macaddress();
// Bus, device and function as "0x%x" and the serial number of a PCI function: from the
// controller-attributes record when `status` is 0, else for the NIC path from the driver's function
// table (serial "0"). Outputs of `size` bytes. 0, or 1.
uint32_t VARU_get_pci_bdf(int32_t handle, char* bus, char* device, char* function, char* serial, int32_t protocol,
                          const uint8_t* attributes, uint32_t status, size_t size = 256);
uint32_t VARU_get_driver_name(hm_node* node, int32_t handle, int32_t protocol);
uint32_t VARU_get_driver_version(hm_node* node, int32_t handle, int32_t protocol, const uint8_t* attributes,
                                 uint32_t status);
uint32_t VARU_get_address_origin(hm_node* node);
uint32_t VARU_get_nic_iftype(int32_t handle, hm_node* node);
uint32_t VARU_get_nic_subnetmask(int32_t handle, hm_node* node);
uint32_t VARU_get_nic_gateway(int32_t handle, hm_node* node);
uint32_t VARU_get_nic_ipv6gateway(int32_t handle, hm_node* node);
uint32_t VARU_get_nic_ipaddress(int32_t handle, char* text, size_t size = 256);
uint32_t VARU_update_nic_port_number();
uint32_t VARU_enumerate_nic_domain();
// PCI address of the NIC function `handle` as "0x%lx" texts, from the host's ethtool bus-info.
uint32_t VARU_backend_client_nic_bdf(int32_t handle, char* bus, char* function, uint32_t* pci_domain,
                                     size_t size = 256);

// ---- firmware download through the host's tools (host_firmware.cpp) -------------------------------
constexpr uint32_t kStatusTwoPassFirmware = 318;
uint32_t VARU_firmware_download(hm_node* node, int32_t handle, uint32_t generation, const char* image);

// ---- open-iscsi path (host_open_iscsi.cpp) ---------------------------------------------------------
// Entries of the open-iscsi branch of the iSCSI handlers, which OPEN_ISCSI_DRIVER_LOADED selects and
// which therefore never runs: each takes whatever its caller passes and returns 0.
#define VX_OPEN_ISCSI_ENTRIES(X)                                                                               \
  X(VARU_add_open_iscsi_target) X(VARU_delete_open_iscsi_target) X(VARU_convert_mac) X(VARU_get_iscsi_iface)  \
  X(VARU_delete_open_iscsi_tpg) X(VARU_op_iscsi_login) X(VARU_discover_op_targets)                            \
  X(VARU_list_op_iscsi_targets) X(VARU_list_op_sessions_luns) X(VARU_op_setup_connection)                     \
  X(VARU_op_setup_session) X(VARU_op_iscsi_logout) X(VARU_op_get_all_luns) X(VARU_op_configure_chap)          \
  X(VARU_op_delete_chap) X(VARU_get_BlockSize) X(VARU_get_LUNSize) X(delete_op_iscsi_STP)                     \
  X(VARU_op_add_sendtaregtportal) X(VARU_op_get_lun_props) X(VARU_discover_isns_targets)                      \
  X(delete_op_iscsi_isns) X(VARU_op_add_isns) X(VARU_get_all_op_isns) X(VARU_op_iscsi_check_session)          \
  X(VARU_op_get_session_attribs) X(VARU_op_get_session_details) X(VARU_op_set_session_connection_login_options) \
  X(VARU_op_set_intr_name) X(VARU_op_refresh_session_attribs)
#define VX_DECLARE_OPEN_ISCSI_ENTRY(name) uint32_t name(...);
VX_OPEN_ISCSI_ENTRIES(VX_DECLARE_OPEN_ISCSI_ENTRY)
#undef VX_DECLARE_OPEN_ISCSI_ENTRY

}  // namespace vx
