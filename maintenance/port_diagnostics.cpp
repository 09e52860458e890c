// Actions on one port or one PCI function: beaconing, the link speed, the transceiver's pages, the
// 10GBASE-T PHY's self test, cable test and counters, and the PCI configuration space. Text answers
// are the message of a success status (60 or 61).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "access/discovery.h"
#include "access/fw_commands.h"
#include "access/transport.h"
#include "access/walks.h"
#include "adapter/command_target.h"
#include "adapter/live_records.h"
#include "engine/messages.h"
#include "iscsi/common.h"
#include "maintenance/diag_records.h"
#include "schema/handlers.h"
#include "schema/names_nic.h"
#include "schema/names_port.h"

namespace vx {
namespace {

constexpr uint32_t kStatusTransceiverDump = 60;
constexpr uint32_t kStatusPciDump = 61;
constexpr uint32_t kStatusTransceiverFailed = 64;
constexpr uint32_t kStatusBeaconFailed = 119;
constexpr uint32_t kStatusConfigDumpFailed = 121;
constexpr uint32_t kStatusBeaconDurationMissing = 134;
constexpr uint32_t kStatusNotSupported = 149;
constexpr uint32_t kStatusBeaconNotSupported = 150;
constexpr uint32_t kStatusTransceiverNotSupported = 191;
constexpr uint32_t kStatusSelfTestNeedsTarget = 216;
constexpr uint32_t kStatusSelfTestFailed = 217;
constexpr uint32_t kStatusTdrFailed = 218;
constexpr uint32_t kStatusPortSpeedFailed = 222;
constexpr uint32_t kStatusPortSpeedForceValues = 223;
constexpr uint32_t kStatusPortSpeedNeedsDac = 224;
constexpr uint32_t kStatusPortSpeedNeedsSpeed = 225;
constexpr uint32_t kStatusPortSpeedOnVx2 = 226;
constexpr uint32_t kStatusPortSpeedUnsupported = 229;
constexpr uint32_t kStatusBeaconActive = 236;
constexpr uint32_t kStatusPortSpeedUnchanged = 240;
constexpr uint32_t kStatusBeaconAlreadyDisabled = 244;
constexpr uint32_t kStatusPortSpeedVnic1Gb = 260;
constexpr uint32_t kStatusClearCountersUnsupported = 325;

constexpr int32_t kMaxPortNumber = 3;
constexpr uint32_t kPciSpaceShown = 256;
constexpr size_t kDumpWords = 64;
constexpr size_t kDumpTextSize = 600;
constexpr const char* kSfpPlus = "SFP_PLUS_10GB_TYPE";
constexpr const char* kForceSpeeds[] = {"10Gb", "1Gb", "100Mb", "10Mb", "40Gb", "20Gb"};
constexpr const char* kSelfTests[] = {"Noise", "NonLinear", "CrossTalk"};
constexpr uint32_t kSelfTestCodes[] = {1, 2, 5};
constexpr const char* kPairs[] = {"PairA", "PairB", "PairC", "PairD"};
constexpr const char* kPairResults[] = {"PairAResult", "PairBResult", "PairCResult", "PairDResult"};
constexpr const char* kPairLengths[] = {"PairALengthEstimation", "PairBLengthEstimation", "PairCLengthEstimation",
                                        "PairDLengthEstimation"};

uint8_t byte_of(int32_t value) { return static_cast<uint8_t>(value); }

int index_in(const char* const* list, size_t count, const char* text) {
  for (size_t i = 0; i < count; ++i) {
    if (equal_nocase(list[i], text)) return static_cast<int>(i);
  }
  return -1;
}

std::vector<std::string> comma_list(const std::string& text) {
  std::vector<std::string> items;
  for (size_t start = 0; start < text.size();) {
    const size_t comma = text.find(',', start);
    items.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    start = comma == std::string::npos ? text.size() : comma + 1;
  }
  return items;
}

// "vNICEnabled" of the port's NIC physical HBA; false when there is none or it cannot be read.
bool vnic_enabled(hm_node* controller, const std::string& port_number, std::string* out) {
  for (hm_node* phba = get_first_instance(controller, kGroupNICPhysicalHBA); phba != nullptr;
       phba = next_instance(phba)) {
    std::string number;
    if (!read_property(phba, nic::kPropPortNumber, &number) || !equal_nocase(number, port_number)) continue;
    return read_property(internal_get_node(phba, nic::kGroupvNIC, kGroup), nic::kPropvNICEnabled, out);
  }
  return false;
}

// The speed asked for checked against what the port supports in that mode; 0 or the answer.
uint32_t check_speed(const std::string& mode, const std::string& speed, bool vnic, const std::string& force,
                     const std::string& autoneg) {
  if (equal_nocase(mode, "Force")) {
    if (vnic) return equal_nocase(speed, "1Gb") ? refuse(kStatusPortSpeedVnic1Gb, msg::kPortSpeedVnic1Gb) : kStatusOk;
    const std::vector<std::string> list = comma_list(force);
    const bool listed = (!list.empty() && equal_nocase(speed, list[0])) || (list.size() > 1 && equal_nocase(speed, list[1]));
    if (!listed) return refuse(kStatusPortSpeedUnsupported, msg::kPortSpeedUnsupported);
    if (index_in(kForceSpeeds, std::size(kForceSpeeds), speed.c_str()) < 0) {
      return refuse(kStatusPortSpeedForceValues, msg::kPortSpeedForceValues);
    }
    return kStatusOk;
  }
  if (!equal_nocase(mode, "Auto-Negotiate")) return kStatusOk;
  if (speed.empty()) return refuse(kStatusPortSpeedNeedsSpeed, msg::kPortSpeedNeedsSpeed);
  const std::vector<std::string> list = comma_list(autoneg);
  if (list.empty()) return kStatusFailed;
  if (equal_nocase(speed, list[0])) return kStatusOk;
  if (list.size() < 2 || (!equal_nocase(speed, list[1]) && !is_auto_negotiate_speed(speed.c_str()))) {
    return refuse(kStatusPortSpeedUnsupported, msg::kPortSpeedUnsupported);
  }
  return kStatusOk;
}

// The PCI configuration dump of either PCI group: `count` bytes from `offset` of the 256 bytes of
// configuration space, only those below 256.
uint32_t dump_pci(hm_node* group, char params[6][256], int32_t path, bool quenta) {
  const uint32_t offset = static_cast<uint32_t>(std::strtoul(params[0], nullptr, 0));
  const uint32_t count = static_cast<uint32_t>(std::strtoul(params[1], nullptr, 0));
  char text[kDumpTextSize] = "";
  const int32_t handle = get_port_number(group);
  if (quenta) {
    if (VARU_get_quenta_pci_data(handle, offset, count, text) != 0) return kStatusFailed;
  } else {
    ReadPciConfRecord r{};
    r.offset = offset;
    r.count = count;
    if (ioctl_read_pci_conf(handle, &r, byte_of(get_domain_id(group)), byte_of(get_phba_port_number(group)), path) != 0) {
      return refuse(kStatusConfigDumpFailed, msg::kConfigDumpFailed);
    }
    const uint32_t shown = offset >= kPciSpaceShown ? 0 : (count < kPciSpaceShown - offset ? count : kPciSpaceShown - offset);
    dump_bytes(r.data + (offset < kPciSpaceShown ? offset : 0), shown, text, sizeof text);
  }
  varu_set_last_status(kStatusPciDump, text);
  return kStatusOk;
}

}  // namespace

uint32_t do_Beacon(hm_node* port, hm_node*, char params[6][256]) {
  std::string state;
  if (!read_property(port, port::kPropBeaconState, &state)) return kStatusFailed;
  if (state == "Not Supported") return refuse(kStatusBeaconNotSupported, msg::kBeaconNotSupported);
  const bool enable = equal_nocase(params[2], "Enabled");
  if (!enable && equal_nocase(state, "Disabled")) {
    varu_set_last_status(kStatusBeaconAlreadyDisabled, msg::kBeaconAlreadyDisabled);
    return kStatusOk;
  }
  if (enable && (params[0][0] == '\0' || params[1][0] == '\0')) {
    return refuse(kStatusBeaconDurationMissing, msg::kBeaconDurationMissing);
  }
  PortCommand at;
  if (!port_command(port, &at)) return kStatusFailed;
  beacon_request r{at.port_number, static_cast<uint8_t>(enable ? 1 : 0), byte_of(std::atoi(params[0])),
                   byte_of(std::atoi(params[1]))};
  const uint32_t status = ioctl_set_beacon_state(at.handle, &r, at.domain, at.port_number, at.path);
  if (status == 0) return kStatusOk;
  if (status == kStatusBeaconActive) return refuse(kStatusBeaconActive, msg::kBeaconActive);
  if (status == kStatusNotSupported) return refuse(kStatusNotSupported, msg::kOperationNotSupported);
  return refuse(kStatusBeaconFailed, msg::kBeaconFailed);
}

uint32_t do_SetPortSpeed(hm_node* port, hm_node*, char params[6][256]) {
  PortCommand at;
  if (!port_command(port, &at) || at.port_number > kMaxPortNumber || at.generation == kStatusFailed) {
    return kStatusFailed;
  }
  if (at.generation == kGeneration2) return refuse(kStatusPortSpeedOnVx2, msg::kPortSpeedOnVx2);
  const std::string mode = params[1];
  const std::string speed = equal_nocase(mode, "Default") ? "0" : params[0];
  const std::string dac = params[2];

  std::string configured_speed, configured_mode, configured_dac, interface_type, port_number;
  if (!read_property(port, "ConfiguredSpeed", &configured_speed) || !read_property(port, "Mode", &configured_mode) ||
      !read_property(port, "DACCableLength", &configured_dac) ||
      !read_property(port, port::kPropInterfaceType, &interface_type) ||
      !read_property(port, port::kPropPortNumber, &port_number)) {
    return kStatusFailed;
  }
  if (equal_nocase(speed, configured_speed) && equal_nocase(mode, configured_mode) && dac == configured_dac) {
    varu_set_last_status(kStatusPortSpeedUnchanged, msg::kPortSpeedUnchanged);
    return kStatusOk;
  }
  const bool sfp_plus = interface_type == kSfpPlus;
  if (sfp_plus && equal_nocase(mode, "Force") && dac.empty()) {
    return refuse(kStatusPortSpeedNeedsDac, msg::kPortSpeedNeedsDac);
  }
  std::string vnic = "False";
  if (at.generation != kGenerationQuenta && !vnic_enabled(at.controller, port_number, &vnic)) return kStatusFailed;
  const uint32_t checked = check_speed(mode, speed, equal_nocase(vnic, "True"),
                                       cached_value(port, port::kPropForceSpeedsSupported),
                                       cached_value(port, port::kPropANSpeedsSupported));
  if (checked != 0) return checked;

  port_speed_request r{at.port_number, at.port_number, link_speed_code(mode.c_str(), speed.c_str()),
                       sfp_plus ? static_cast<uint32_t>(std::strtoul(dac.c_str(), nullptr, 10)) : 0};
  const uint32_t status = ioctl_set_port_speed(at.handle, &r, at.domain, at.port_number, at.path);
  if (status == 0) return kStatusOk;
  if (status == kStatusPortSpeedUnsupported) return refuse(kStatusPortSpeedUnsupported, msg::kPortSpeedUnsupported);
  return refuse(kStatusPortSpeedFailed, msg::kPortSpeedFailed);
}

uint32_t do_DumpTransceiverData(hm_node* port, hm_node*, char params[6][256]) {
  PortCommand at;
  if (!port_command(port, &at)) return kStatusFailed;
  ReadPciConfRecord r{};
  r.offset = equal_nocase(params[0], "A0") ? kTransceiverPageA0 : kTransceiverPageA2;
  r.count = at.port_number & kTransceiverPortMask;
  const uint32_t status = ioctl_quenta_read_trans_recv(at.handle, &r, at.domain, at.port_number, at.path);
  if (status == kStatusNotSupported) return refuse(kStatusTransceiverNotSupported, msg::kTransceiverNotSupported);
  if (status != 0) return refuse(kStatusTransceiverFailed, msg::kTransceiverFailed);
  char text[kDumpTextSize];
  dump_words(r.data, kDumpWords, text, sizeof text);
  varu_set_last_status(kStatusTransceiverDump, text);
  return kStatusOk;
}

uint32_t do_SelfTest(hm_node* baset, hm_node*, char params[6][256]) {
  std::string number;
  PortCommand at;
  if (!port_command(baset, &at) || !read_property(at.port, port::kPropPortNumber, &number)) return kStatusFailed;
  const int type = index_in(kSelfTests, std::size(kSelfTests), params[0]);
  const bool crosstalk = type == 2;
  if (crosstalk && params[2][0] == '\0') return refuse(kStatusSelfTestNeedsTarget, msg::kSelfTestNeedsTarget);
  std::vector<uint8_t> request(kSelfTestRequest, 0);
  request[0] = byte_of(std::atoi(number.c_str()));
  const uint32_t words[3] = {type < 0 ? 0 : kSelfTestCodes[type],
                             static_cast<uint32_t>(std::max(0, index_in(kPairs, std::size(kPairs), params[1]))),
                             crosstalk ? static_cast<uint32_t>(std::max(0, index_in(kPairs, std::size(kPairs), params[2])))
                                       : 0};
  std::memcpy(request.data() + 4, words, sizeof words);
  // Only a port with a physical HBA has a path; any other answers as a failed test.
  const uint32_t status = at.path == kProtocolIscsi || at.path == kProtocolNic
                              ? ioctl_run_selftest(at.handle, request.data(), at.domain, at.port_number, at.path)
                              : kStatusFailed;
  if (status != 0) return refuse(kStatusSelfTestFailed, msg::kSelfTestFailed);
  set_prop_val(baset, "SelfTestResult", "%d", request[0]);
  return kStatusOk;
}

uint32_t do_RunTDR(hm_node* baset, hm_node*, char[6][256]) {
  std::string number;
  PortCommand at;
  if (!port_command(baset, &at) || !read_property(at.port, port::kPropPortNumber, &number)) return kStatusFailed;
  tdr_reply r{};
  r.pair_status = static_cast<uint32_t>(std::strtoul(number.c_str(), nullptr, 10));   // the PHY address
  if (ioctl_run_tdr_test(at.handle, &r, at.domain, at.port_number, at.path) != 0) {
    return refuse(kStatusTdrFailed, msg::kTdrFailed);
  }
  for (int pair = 0; pair < 4; ++pair) {
    const uint32_t result = tdr_pair_result(r, pair);
    set_prop_val(baset, kPairResults[pair], "%u", result);
    if (result != kTdrNoLength) {
      set_prop_val(baset, kPairLengths[pair], "%llu", static_cast<unsigned long long>(r.lengths[pair]) * 10);
    }
  }
  set_prop_val(baset, "NVPUsed", "%u", r.nvp);
  return kStatusOk;
}

uint32_t do_ClearCounters(hm_node* baset, hm_node*, char[6][256]) {
  PortCommand at;
  std::string supported;
  if (!port_command(baset, &at) || !read_property(baset, port::kPropIsClearCountersSupported, &supported)) {
    return kStatusFailed;
  }
  if (at.generation != kGenerationOrvelle || supported != "True") {
    return refuse(kStatusClearCountersUnsupported, msg::kClearCountersUnsupported);
  }
  uint8_t request[kBaseTStatsV1Size] = {};
  const uint32_t words[2] = {at.port_number, kClearCountersBit};
  std::memcpy(request, words, sizeof words);
  return ioctl_get_baseT_stats_v1(at.handle, request, at.domain, at.port_number, at.path);
}

uint32_t do_DumpiSCSIPCIConfigRegion(hm_node* pci, hm_node*, char params[6][256]) {
  return dump_pci(pci, params, kProtocolIscsi, false);
}

uint32_t do_DumpNICPCIConfigRegion(hm_node* pci, hm_node*, char params[6][256]) {
  const uint32_t generation = get_vx_type(controller_of(pci));
  if (generation == kStatusFailed) {
    pdebug(kBackEnd, 3, "%s:get_vx_type failed\n", __func__);
    return kStatusFailed;
  }
  return dump_pci(pci, params, kProtocolNic, generation == kGenerationQuenta);
}

}  // namespace vx
