#include "access/transport.h"

#include <cerrno>
#include <cstring>
#include <mutex>

#include "access/backend_state.h"
#include "access/discovery.h"
#include "access/fw_commands.h"
#include "access/fw_status.h"
#include "platform/platform.h"
#include "engine/hm.h"

namespace vx {

VaruGlob::VaruGlob() {
  for (int32_t& fd : iscsi_fds) fd = kNoDescriptor;
  for (int32_t& fd : nic_fds) fd = kNoDescriptor;
  std::memset(nic_pci, 0, sizeof nic_pci);
  std::memset(nic_ifname, 0, sizeof nic_ifname);
}

VaruGlob varu_glob;
uint8_t vm_flag = 0;

std::recursive_mutex& varu_glob_lock() {
  static std::recursive_mutex lock;
  return lock;
}

namespace {
thread_local int t_guard_depth = 0;
thread_local bool t_rebuild_wanted = false;
}  // namespace

VaruGlobGuard::VaruGlobGuard() {
  varu_glob_lock().lock();
  ++t_guard_depth;
}

VaruGlobGuard::~VaruGlobGuard() {
  --t_guard_depth;
  varu_glob_lock().unlock();
  if (t_guard_depth == 0 && t_rebuild_wanted) {
    t_rebuild_wanted = false;
    request_tree_rebuild();
  }
}

void defer_tree_rebuild() {
  if (t_guard_depth > 0) {
    t_rebuild_wanted = true;
  } else {
    request_tree_rebuild();
  }
}

void reset_varu_glob() {
  VaruGlobGuard guard;
  varu_glob = VaruGlob();
}

namespace {

constexpr uint32_t kTimeoutIscsi = 120;
constexpr uint32_t kTimeoutNic = 30;
constexpr uint8_t kAdditionalNotLogged = 23;   // a failure the firmware reports routinely

// Opcode 18 is the DHCP release (subsystem 2) and the loopback test (subsystem 11): both answer
// sooner than the path's default, whatever the node.
struct TimeoutRule {
  uint8_t opcode;
  int32_t subsystem;   // -1 = any
  uint32_t timeout;
};
constexpr TimeoutRule kTimeoutRules[] = {
    {18, 2, 20},
    {18, -1, 11},
};

uint16_t read_u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t read_u32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

void log_unable(int result, int error) {
  pdebug(2, 3, "Unable to process command ioctl_result = %d errno = %d err_str = %s\n", result, error,
         std::strerror(error));
}

// The header fields up to the version byte; bytes 13-15 stay as the buffer holds them.
void write_header(uint8_t* buffer, uint8_t opcode, uint8_t subsystem, uint32_t request_length, uint8_t domain,
                  uint8_t port_number, uint32_t timeout, uint8_t version) {
  wire::Request_Header header{};
  header.PageCode = opcode;
  header.subsystem = subsystem;
  header.port_number = port_number;
  header.domain = domain;
  header.Timeout = timeout;
  header.request_length = request_length;
  header.version = version == 1 ? 1 : 0;
  std::memcpy(buffer, &header, offsetof(wire::Request_Header, reserved));
}

uint32_t issue_on_nic(uint8_t* buffer, uint32_t request_length, int32_t handle) {
  // A handle names one of the functions enumerated; beyond them the table holds no address.
  if (handle < 1 || handle > wire::kMaxNicHandles || handle > varu_glob.nic_function_count) {
    pdebug(2, 3, "%s:invalid NIC port handle %d\n", __func__, handle);
    return kStatusFailed;
  }
  const uint32_t command_size = request_length + static_cast<uint32_t>(wire::kHeaderSize);
  // Every byte is written below: signature, PCI address, then the command.
  auto* wrapper = static_cast<uint8_t*>(varu_dmalloc(request_length + static_cast<uint32_t>(wire::kNicWrapperOverhead)));
  if (wrapper == nullptr) {
    pdebug(2, 3, "Error:Failed to allocate pnicioctlbuffer\n");
    return kStatusFailed;
  }
  const PciAddress& pci = varu_glob.nic_pci[handle - 1];
  std::memcpy(wrapper, wire::kNicSignature, wire::kNicSignatureSize);
  wrapper[wire::kNicBusOffset] = pci.bus;
  wrapper[wire::kNicDeviceOffset] = pci.device;
  wrapper[wire::kNicFunctionOffset] = pci.function;
  std::memcpy(wrapper + wire::kNicHeaderOffset, buffer, command_size);

  if (refresh_varu_hierarchy() != 0) {
    varu_dfree(wrapper);
    os_put_nic_port_instances(varu_glob.nic_fds, wire::kMaxNicHandles);
    return kStatusFailed;
  }
  int result = host_ops().ioctl(varu_glob.nic_fds[0], wire::kNicFirmwareCommand, wrapper);
  int error = errno;
  std::memcpy(buffer, wrapper + wire::kNicHeaderOffset, command_size);
  varu_dfree(wrapper);
  os_put_nic_port_instances(varu_glob.nic_fds, wire::kMaxNicHandles);
  if (result != 0) log_unable(result, error);
  return 0;
}

uint32_t response_status(const uint8_t* buffer) { return buffer[wire::kResponseStatusOffset]; }
uint16_t response_additional(const uint8_t* buffer) { return read_u16(buffer + wire::kResponseAdditionalOffset); }
uint32_t response_length(const uint8_t* buffer) { return read_u32(buffer + wire::kResponseLengthOffset); }

bool lengths_fit(const char* fn, uint32_t request_length, uint32_t buffer_length) {
  if (request_length <= kMaxRequestLength && buffer_length >= request_length + wire::kHeaderSize) return true;
  pdebug(2, 3, "%s: request length %u does not fit buffer length %u\n", fn, request_length, buffer_length);
  return false;
}

// A command buffer (the lengths checked by lengths_fit): the payload copied in at offset 16 and
// every other byte zero. Only what the payload does not cover is cleared: buffers run to 64 KB.
uint8_t* command_buffer(uint32_t request_length, uint32_t buffer_length, const void* payload) {
  auto* buffer = static_cast<uint8_t*>(varu_dmalloc(buffer_length));
  if (buffer == nullptr) return nullptr;
  size_t filled = wire::kHeaderSize;
  std::memset(buffer, 0, filled);
  if (payload != nullptr) {
    std::memcpy(buffer + filled, payload, request_length);
    filled += request_length;
  }
  std::memset(buffer + filled, 0, buffer_length - filled);
  return buffer;
}

int32_t iscsi_fd(int32_t handle) {
  if (handle < 1 || handle > wire::kMaxIscsiNodes) return kNoDescriptor;
  return varu_glob.iscsi_fds[handle - 1];
}

// Runs `send(fd, handle)` as the iSCSI dispatch rules say.
template <typename Send>
uint32_t dispatch_iscsi(int32_t handle, Send send) {
  VaruGlobGuard guard;
  if (handle == kAllPorts) {
    uint32_t result = 0;
    for (int32_t fd : varu_glob.iscsi_fds) {
      if (fd != kNoDescriptor) result = send(fd, kAllPorts);
    }
    return result;
  }
  if (handle < 1 || handle > wire::kMaxIscsiNodes) {
    pdebug(2, 3, "%s:invalid port handle %d\n", __func__, handle);
    return kStatusFailed;
  }
  return send(iscsi_fd(handle), handle);
}

template <typename Send>
uint32_t dispatch_nic(int32_t handle, Send send) {
  VaruGlobGuard guard;
  if (handle == kAllPorts) {
    // Handles are numbers in the function set of this moment: once it changes, the rest are not sent.
    uint32_t result = 0;
    const uint32_t generation = varu_glob.nic_generation;
    for (int32_t h = 1; h <= varu_glob.nic_function_count && h <= wire::kMaxNicHandles; ++h) {
      result = send(varu_glob.nic_fds[0], h);
      if (varu_glob.nic_generation != generation) return kStatusFailed;
    }
    return result;
  }
  if (handle < 1 || handle > wire::kMaxNicHandles) {
    pdebug(2, 3, "%s:invalid NIC port handle %d\n", __func__, handle);
    return kStatusFailed;
  }
  return send(varu_glob.nic_fds[0], handle);
}

}  // namespace

uint32_t command_timeout(uint8_t opcode, uint8_t subsystem, int32_t protocol) {
  for (const TimeoutRule& rule : kTimeoutRules) {
    if (rule.opcode == opcode && (rule.subsystem < 0 || rule.subsystem == subsystem)) return rule.timeout;
  }
  return protocol == kProtocolNic ? kTimeoutNic : kTimeoutIscsi;
}

uint32_t IssueIOCTL(int32_t fd, uint8_t opcode, uint8_t subsystem, uint32_t request_length, uint8_t* buffer,
                    uint8_t domain, uint8_t port_number, int32_t protocol, int32_t handle, uint8_t version) {
  if (buffer == nullptr) return kStatusFailed;
  if (request_length > kMaxRequestLength) {
    pdebug(2, 3, "%s: request length %u too large\n", __func__, request_length);
    return kStatusFailed;
  }
  VaruGlobGuard guard;
  write_header(buffer, opcode, subsystem, request_length, domain, port_number,
               command_timeout(opcode, subsystem, protocol), version);
  if (protocol == kProtocolNic) {
    pdebug(2, 6, "%s: NIC command opcode 0x%x (fd %d) handle %d\n", __func__, opcode, fd, handle);
    return issue_on_nic(buffer, request_length, handle);
  }
  if (protocol != kProtocolIscsi) {
    log_unable(-1, errno);
    return 0;
  }
  int result = host_ops().ioctl(fd, wire::kIscsiFirmwareCommand, buffer);
  int error = errno;
  if (result == 0) return 0;
  log_unable(result, error);
  return error == EIO ? kStatusDriverIo : 0;
}

uint32_t Send_Ioctl_PayLoad(int32_t fd, uint8_t opcode, uint8_t subsystem, uint32_t request_length,
                            uint16_t buffer_length, void* payload, uint8_t direction, uint8_t domain,
                            uint8_t port_number, int32_t protocol, int32_t handle, uint8_t version) {
  if (!lengths_fit(__func__, request_length, buffer_length)) return kStatusFailed;
  uint8_t* buffer = command_buffer(request_length, buffer_length, payload);
  if (buffer == nullptr) return kStatusFailed;

  uint32_t sent = IssueIOCTL(fd, opcode, subsystem, request_length, buffer, domain, port_number, protocol, handle,
                             version);
  if (sent != 0) {
    varu_dfree(buffer);
    return VaruStatusFromHBAStatus(sent);
  }
  // Copied back before the status is looked at: callers read what the firmware left either way.
  if (direction != 0 && payload != nullptr) std::memcpy(payload, buffer + wire::kHeaderSize, request_length);

  const uint32_t status = response_status(buffer);
  if (status == 0) {
    varu_dfree(buffer);
    return 0;
  }
  const uint16_t additional = response_additional(buffer);
  if (additional != kAdditionalNotLogged) {
    pdebug(2, 3, "The IOCTL with opcode:0x%x subsystem:0x%x failed with status 0x%x\n", opcode, subsystem, status);
    pdebug(2, 3, "%s: actual response length is %d\n", __func__, static_cast<int>(response_length(buffer)));
    pdebug(2, 3, "additional status is:0x%x\n", additional);
  }
  varu_dfree(buffer);
  return VaruStatusFromIOCTLResponse(status, additional, opcode);
}

uint32_t IssueIOCTLWithPayLoad(int32_t handle, uint8_t opcode, uint8_t subsystem, uint16_t request_length,
                               uint16_t buffer_length, void* payload, uint8_t direction, uint8_t domain,
                               uint8_t port_number, uint8_t version) {
  return dispatch_iscsi(handle, [&](int32_t fd, int32_t h) {
    return Send_Ioctl_PayLoad(fd, opcode, subsystem, request_length, buffer_length, payload, direction, domain,
                              port_number, kProtocolIscsi, h, version);
  });
}

uint32_t IssueNICIOCTLWithPayLoad(int32_t handle, uint8_t opcode, uint8_t subsystem, uint16_t request_length,
                                  uint16_t buffer_length, void* payload, uint8_t direction, uint8_t domain,
                                  uint8_t port_number, uint8_t version) {
  return dispatch_nic(handle, [&](int32_t fd, int32_t h) {
    return Send_Ioctl_PayLoad(fd, opcode, subsystem, request_length, buffer_length, payload, direction, domain,
                              port_number, kProtocolNic, h, version);
  });
}

uint32_t Send_Ioctl_Get_PayLoadSize(int32_t fd, uint8_t opcode, uint8_t subsystem, uint16_t request_length,
                                    uint16_t buffer_length, void* payload, uint16_t* size_out, uint8_t domain,
                                    uint8_t port_number, int32_t protocol, int32_t handle) {
  if (!lengths_fit(__func__, request_length, buffer_length)) return kStatusFailed;
  uint8_t* buffer = command_buffer(request_length, buffer_length, payload);
  if (buffer == nullptr) {
    pdebug(2, 3, "%s:Failed to Allocate memory\n", __func__);
    return kStatusFailed;
  }

  uint32_t sent = IssueIOCTL(fd, opcode, subsystem, request_length, buffer, domain, port_number, protocol, handle);
  if (sent != 0) {
    varu_dfree(buffer);
    return VaruStatusFromHBAStatus(sent);
  }
  const uint32_t status = response_status(buffer);
  if (status == 0 || status == 4) {   // 4: the answer did not fit, its size is what was asked
    if (payload != nullptr) std::memcpy(payload, buffer + wire::kHeaderSize, request_length);
    if (size_out != nullptr) *size_out = static_cast<uint16_t>(response_length(buffer) & 0xFFFFu);
    varu_dfree(buffer);
    return 0;
  }
  const uint16_t additional = response_additional(buffer);
  if (additional != kAdditionalNotLogged) {
    pdebug(2, 3, "%s: The IOCTL with opcode: 0x%x subsystem: 0x%x failed with status 0x%x\n", __func__, opcode,
           subsystem, status);
    pdebug(2, 3, "%s: Additional status 0x%x\n", __func__, additional);
  }
  varu_dfree(buffer);
  return VaruStatusFromIOCTLResponse(status, additional, opcode);
}

uint32_t GetIOCTLPayLoadSize(int32_t handle, uint8_t opcode, uint8_t subsystem, uint16_t request_length,
                             uint16_t buffer_length, void* payload, uint16_t* size_out, uint8_t domain,
                             uint8_t port_number) {
  return dispatch_iscsi(handle, [&](int32_t fd, int32_t h) {
    return Send_Ioctl_Get_PayLoadSize(fd, opcode, subsystem, request_length, buffer_length, payload, size_out, domain,
                                      port_number, kProtocolIscsi, h);
  });
}

uint32_t GetNICIOCTLPayLoadSize(int32_t handle, uint8_t opcode, uint8_t subsystem, uint16_t request_length,
                                uint16_t buffer_length, void* payload, uint16_t* size_out, uint8_t domain,
                                uint8_t port_number) {
  return dispatch_nic(handle, [&](int32_t fd, int32_t h) {
    return Send_Ioctl_Get_PayLoadSize(fd, opcode, subsystem, request_length, buffer_length, payload, size_out, domain,
                                      port_number, kProtocolNic, h);
  });
}

uint32_t get_the_protocol(int32_t adapter) {
  if (adapter < 0 || adapter >= kMaxAdapters) return kProtocolNone;
  VaruGlobGuard guard;
  const uint8_t mask = varu_glob.protocol_mask[adapter];
  if (mask & kProtocolBitIscsi) return kProtocolIscsi;
  if (mask & kProtocolBitNic) return kProtocolNic;
  if (mask & kProtocolBitOther) return kProtocolOther;
  return kProtocolNone;
}

}  // namespace vx
