// The SR-IOV virtual functions of a NIC function (NICLogicalHBA<v>, v the virtual function's
// number): MAC address, VLAN and transmit rate read from the NIC driver's table and changed through
// the host's `ip link` command on the physical function's interface. The command is run from an
// argument list built of parsed values, never through a shell.
#include "adapter/virtual_functions.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "access/discovery.h"
#include "access/host.h"
#include "access/walks.h"
#include "adapter/nic_common.h"
#include "adapter/nic_records.h"
#include "engine/messages.h"
#include "iscsi/validators.h"
#include "platform/platform.h"
#include "schema/handlers.h"
#include "schema/names_controller.h"
#include "schema/names_nic.h"

namespace vx {
namespace {

constexpr const char* kIpProgram = "/sbin/ip";
constexpr size_t kMaxIfName = 15;
constexpr uint32_t kMaxVlan = 4094;
constexpr long long kMinRate = 1;
constexpr long long kMaxRate = 10000;

// A virtual function and the interface of its physical function.
struct VfAt {
  hm_node* group = nullptr;
  hm_node* phba = nullptr;
  char ifname[kValueSize] = "";
  uint32_t number = 0;
  int32_t handle = 0;
};

bool locate(hm_node* prop, VfAt* out) {
  out->group = prop != nullptr ? prop->parent : nullptr;
  out->phba = out->group != nullptr ? out->group->parent : nullptr;
  if (out->phba == nullptr || instance_number(out->group) < 0) return false;
  if (!read_property(out->phba, nic::kPropIfName, out->ifname)) {
    pdebug(kBackEnd, 3, "%s: IfName of the physical function not read\n", __func__);
    return false;
  }
  out->number = static_cast<uint32_t>(instance_number(out->group));
  out->handle = get_port_number(prop);
  return true;
}

// The virtual function's entry of the driver's table; nothing when the request fails or the table
// has no such entry (status 1 with its text).
std::optional<VfEntry> table_entry(int32_t handle, uint32_t vf) {
  uint8_t table[kLinkReplySize] = {};
  uint32_t count = 0;
  if (ioctl_get_virt_f_info(handle, table, &count) != 0) return std::nullopt;
  std::optional<VfEntry> e = vf_entry(table, sizeof table, count, vf);
  if (!e) fail(kStatusFailed, msg::kNoSuchVirtualFunction, vf);
  return e;
}

// Runs "ip link set IF vf N" with `tail`: the program's exit status, -1 when it did not run.
int ip_link(const VfAt& at, std::vector<std::string> tail) {
  std::vector<std::string> argv = {host_path(kIpProgram), "link", "set", at.ifname, "vf", std::to_string(at.number)};
  argv.insert(argv.end(), tail.begin(), tail.end());
  const int status = run_program(argv);
  pdebug(kBackEnd, 6, "%s: ip link set %s vf %u: exit status %d\n", __func__, at.ifname, at.number, status);
  return status;
}

// The ip command could not be started: its path and the system's reason, in place of the write's own
// text, which would send the user to a log that says no more.
uint32_t ip_not_run(uint32_t code) {
  fail(code, msg::kProgramNotRun, host_path(kIpProgram).c_str(), std::strerror(program_start_error()));
  return kStatusFailed;
}

// A VLAN or rate change the command just run did not take: status 1 naming interface, function and
// outcome.
uint32_t ip_link_failed(const VfAt& at, int status) {
  if (program_start_error() != 0) return ip_not_run(kStatusFailed);
  return fail(kStatusFailed, msg::kIpLinkFailed, at.ifname, at.number, status);
}

// The refusals every write shares: the value, then the virtual function, then the interface name.
uint32_t refuse_write(const VfAt& at, bool value_ok, uint32_t ifname_status, const char* ifname_text) {
  if (!value_ok) return refuse(kStatusBadValue, msg::kInvalidValueUseValid);
  if (!table_entry(at.handle, at.number)) return kStatusFailed;
  if (!valid_interface_name(at.ifname)) {
    // Not run: the name is no interface's.
    if (ifname_text != nullptr) return refuse(ifname_status, ifname_text);
    return fail(kStatusFailed, msg::kIpLinkFailed, at.ifname, at.number, -1);
  }
  return kStatusOk;
}

uint32_t read_vf(hm_node* prop, char* buf, const VfAt& at) {
  char value[kValueSize] = "";
  if (VARU_get_vf_params(at.handle, at.number, value, prop->name) != 0) return kStatusFailed;
  if (std::strcmp(prop->name, nic::kPropVLANID) == 0 && value[0] == '\0') std::snprintf(value, sizeof value, "%s", "0");
  return give_text(prop, buf, value);
}

}  // namespace

bool valid_interface_name(const char* name) {
  const size_t n = name != nullptr ? strnlen(name, kMaxIfName + 1) : 0;
  if (n == 0 || n > kMaxIfName) return false;
  return std::strspn(name, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_.:-") == n;
}

uint32_t VARU_get_vf_params(int32_t handle, uint32_t vf, char* out, const char* property) {
  const std::optional<VfEntry> e = table_entry(handle, vf);
  if (!e || out == nullptr || property == nullptr) return kStatusFailed;
  if (std::strcmp(property, nic::kPropTxRate) == 0) {
    std::snprintf(out, kValueSize, "%d", e->qos * 10);
  } else if (std::strcmp(property, nic::kPropVLANID) == 0) {
    std::snprintf(out, kValueSize, "%d", e->vlan);
  } else if (std::strcmp(property, nic::kPropMACAddress) == 0) {
    mac_text(e->mac, ':', out, kValueSize);
  }
  return kStatusOk;
}

uint32_t handle_niclogicalhba_macaddress(hm_node* prop, char* buf, uint32_t op) {
  VfAt at;
  if (buf == nullptr || !locate(prop, &at)) return kStatusFailed;
  if (op == kGet) return read_vf(prop, buf, at);
  if (op != kSet) return kStatusOk;
  uint8_t mac[6];
  const bool valid = validateMACAddress(buf, mac) != 0;
  if (const uint32_t refused = refuse_write(at, valid, kStatusSetMacFailed, msg::kSetMacFailed)) return refused;
  char text[kValueSize];
  mac_text(mac, ':', text, sizeof text);
  if (ip_link(at, {"mac", text}) == 0) return kStatusOk;
  return program_start_error() != 0 ? ip_not_run(kStatusSetMacFailed) : refuse(kStatusSetMacFailed, msg::kSetMacFailed);
}

uint32_t handle_niclogicalhba_vlanid(hm_node* prop, char* buf, uint32_t op) {
  VfAt at;
  if (buf == nullptr || !locate(prop, &at)) return kStatusFailed;
  if (op == kGet) return read_vf(prop, buf, at);
  if (op != kSet) return kStatusOk;
  uint32_t vlan = 0;
  const bool valid = parse_decimal(buf, kMaxVlan, &vlan);
  if (const uint32_t refused = refuse_write(at, valid, 0, nullptr)) return refused;
  const int status = ip_link(at, {"vlan", std::to_string(vlan)});
  return status != 0 ? ip_link_failed(at, status) : kStatusOk;
}

uint32_t handle_niclogicalhba_txrate(hm_node* prop, char* buf, uint32_t op) {
  VfAt at;
  if (buf == nullptr || !locate(prop, &at)) return kStatusFailed;
  if (op == kGet) return read_vf(prop, buf, at);
  if (op != kSet) return kStatusOk;
  // The rate as the engine reads it; the command gets its decimal, never the caller's text.
  errno = 0;
  char* end = nullptr;
  const long long rate = std::strtoll(buf, &end, 0);
  const bool valid = end != buf && *end == '\0' && errno == 0 && rate >= kMinRate && rate <= kMaxRate;
  char vlan_text[kValueSize];
  uint32_t vlan = 0;
  if (valid && !read_property(at.group, nic::kPropVLANID, vlan_text)) return kStatusFailed;
  if (valid && std::strcmp(vlan_text, kTextNotAvailable) != 0 && !parse_decimal(vlan_text, kMaxVlan + 1, &vlan)) {
    return kStatusFailed;
  }
  if (const uint32_t refused = refuse_write(at, valid, 0, nullptr)) return refused;
  const int status = ip_link(at, {"vlan", std::to_string(vlan), "rate", std::to_string(rate)});
  return status != 0 ? ip_link_failed(at, status) : kStatusOk;
}

uint32_t handle_LinkStatus(hm_node* prop, char* buf, uint32_t) { return return_cached(prop, buf); }

uint32_t update_nic_ifname() {
  for (hm_node* adapter = get_first_instance(get_node(0), kGroupVexalon); adapter != nullptr;
       adapter = next_instance(adapter)) {
    for (hm_node* nic = get_first_instance(adapter, kGroupNICPhysicalHBA); nic != nullptr; nic = next_instance(nic)) {
      if (group_data(nic)->backend_info != nullptr) VARU_update_nic_ifname(nic, get_port_number(nic));
    }
  }
  return kStatusOk;
}

}  // namespace vx
