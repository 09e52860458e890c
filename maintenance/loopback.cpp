// The Diagnostics group's data-path tests: a port pair put into a loopback mode and taken out of it,
// the network loopback test over that mode, and the DMA test between host memory and the adapter's
// DDR memory. Both tests leave the group's seven counters.
#include <strings.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "access/adapter_tables.h"
#include "access/fw_commands.h"
#include "access/walks.h"
#include "adapter/controller_attribs.h"
#include "engine/messages.h"
#include "iscsi/common.h"
#include "maintenance/controller_target.h"
#include "maintenance/diag_records.h"
#include "maintenance/firmware_trace.h"
#include "platform/platform.h"
#include "schema/handlers.h"
#include "schema/names_controller.h"
#include "schema/names_port.h"

namespace vx {
namespace {

using namespace controller;

constexpr uint32_t kStatusInvalidValue = 6;
constexpr uint32_t kStatusOutOfRange = 7;
constexpr uint32_t kStatusLinkDown = 52;
constexpr uint32_t kStatusLoopbackTestFailed = 62;
constexpr uint32_t kStatusDmaTestFailed = 63;
constexpr uint32_t kStatusPortsMustMatch = 67;
constexpr uint32_t kStatusPortsMustDiffer = 68;
constexpr uint32_t kStatusInvalidPattern = 78;
constexpr uint32_t kStatusMacByteCount = 167;
constexpr uint32_t kStatusPhyLoopbackUnsupported = 168;
constexpr uint32_t kStatusNoPortForSource = 170;
constexpr uint32_t kStatusNoLoopbackSet = 171;
constexpr uint32_t kStatusLoopbackAlreadySet = 172;
constexpr uint32_t kStatusNoHbaForPort = 231;
constexpr uint32_t kStatusEnterFailed = 232;
constexpr uint32_t kStatusExitFailed = 233;
constexpr uint32_t kStatusGetModeFailed = 234;
constexpr uint32_t kStatusNotOnVirtualFunction = 256;
constexpr uint32_t kStatusLoopbackNotSupported = 324;
// Firmware answers the transport leaves its own status for.
constexpr uint32_t kStatusTypeUnsupported = 153;
constexpr uint32_t kStatusAlreadyInLoopback = 154;
constexpr uint32_t kStatusModeNotSet = 155;
constexpr uint32_t kStatusNoModule = 198;

constexpr uint32_t kMaxMacLoopbackBytes = 4056;
constexpr size_t kPhyLoopbackByte = 417;   // controller attributes: bit 0, PHY loopback supported
constexpr const char* kLoopbackTypes[] = {"MacLoopBack", "PhyLoopBack", "OnePortLoopBack", "TwoPortLoopBack"};

// The port pair of a loopback action and where its commands go.
struct Loopback {
  hm_node* controller = nullptr;
  hm_node* diagnostics = nullptr;
  uint32_t generation = 0;
  int32_t source = 0;
  int32_t destination = 0;
  int32_t handle = 0;
  uint8_t domain = 0;
  int32_t path = 0;
};

// A port number as given: any base prefix, nothing behind it, not negative.
bool parse_port(const char* text, int32_t* out) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 0);
  if (end == text || *end != '\0' || errno != 0 || v < 0 || v > INT32_MAX) return false;
  *out = static_cast<int32_t>(v);
  return true;
}

bool has_physical_hba(uint32_t adapter, int32_t port) {
  return (port_bitmap_bits(adapter, port) & (kPortBitIscsi | kPortBitNic)) != 0;
}

// The checks every loopback action makes first, in their order; 0 with `lb` filled, or the
// answer to give.
uint32_t common_checks(hm_node* group, const char* source, const char* destination, const char* no_destination_hba,
                       Loopback* lb) {
  if (vm_flag != 0) return refuse(kStatusNotOnVirtualFunction, msg::kNotOnVirtualFunction);
  lb->controller = controller_of(group);
  lb->diagnostics = internal_get_node(lb->controller, kGroupDiagnostics, kGroup);
  std::string supported;
  if (lb->controller == nullptr || lb->diagnostics == nullptr ||
      !read_property(lb->diagnostics, kPropIsLoopbackSupported, &supported)) {
    return kStatusFailed;
  }
  if (supported.find("False") != std::string::npos) {
    return refuse(kStatusLoopbackNotSupported, msg::kLoopbackNotSupported);
  }
  lb->generation = get_vx_type(lb->controller);
  if (lb->generation == kStatusFailed) return kStatusFailed;
  if (!parse_port(source, &lb->source)) return refuse(kStatusInvalidValue, msg::kSourcePortInvalid);
  if (!parse_port(destination, &lb->destination)) return refuse(kStatusInvalidValue, msg::kDestinationPortInvalid);
  const auto adapter = static_cast<uint32_t>(get_vx_instance(lb->controller));
  if (!has_physical_hba(adapter, lb->source)) return refuse(kStatusNoHbaForPort, msg::kNoHbaForSource);
  if (!has_physical_hba(adapter, lb->destination)) return refuse(kStatusNoHbaForPort, no_destination_hba);

  hm_node* port = get_first_instance(lb->controller, kGroupPortDiscoveryAndConfiguration);
  if (port == nullptr) return kStatusFailed;
  for (; port != nullptr; port = next_instance(port)) {
    uint64_t number = 0;
    if (parse_number(cached_value(port, port::kPropPortNumber), 10, UINT32_MAX, &number) &&
        number == static_cast<uint64_t>(lb->source)) {
      break;
    }
  }
  if (port == nullptr) return refuse(kStatusNoPortForSource, msg::kNoPortForSource);
  lb->handle = get_port_number(port);
  lb->domain = static_cast<uint8_t>(get_domain_id(port));
  lb->path = static_cast<int32_t>(get_port_bitmap(adapter, lb->source));
  return kStatusOk;
}

uint8_t port_byte(int32_t port) { return static_cast<uint8_t>(port); }

// The loopback type named by an action parameter (0..3), or -1.
int32_t loopback_type(const char* text) {
  for (int32_t i = 0; i < 4; ++i) {
    if (::strcasecmp(text, kLoopbackTypes[i]) == 0) return i;
  }
  return -1;
}

uint32_t check_port_pair(const Loopback& lb, int32_t type) {
  if (type == kLoopbackTwoPort) {
    return lb.source != lb.destination ? kStatusOk : refuse(kStatusPortsMustDiffer, msg::kPortsMustDiffer);
  }
  return lb.source == lb.destination ? kStatusOk : refuse(kStatusPortsMustMatch, msg::kPortsMustMatch);
}

// The source port's current mode; 1 when it cannot be read (status 234 unless the firmware's own).
uint32_t current_mode(const Loopback& lb, uint8_t* mode) {
  uint8_t request[sizeof(loopback_mode_request)] = {port_byte(lb.source), 0, 0, 0};
  const uint32_t status = ioctl_get_loopbackmode(lb.handle, request, lb.domain, port_byte(lb.source), lb.path);
  if (status != 0) {
    if (status != kStatusTypeUnsupported) varu_set_last_status(kStatusGetModeFailed, msg::kGetLoopbackFailed);
    return kStatusFailed;
  }
  *mode = request[0];
  return kStatusOk;
}

// PHY loopback needs the controller's support bit (generation 4 is not asked).
uint32_t check_phy_loopback(const Loopback& lb, int32_t type) {
  if (type != kLoopbackPhy || lb.generation == kGenerationQuenta) return kStatusOk;
  uint8_t attributes[kCntrAttribsSize] = {};
  const uint32_t status =
      ioctl_fetch_controller_attribs(lb.handle, attributes, lb.domain, port_byte(lb.source), lb.path);
  if (status != 0) {
    varu_set_last_status(kStatusNoControllerAttributes, msg::kNoControllerAttributes);
    return status;
  }
  return (attributes[kPhyLoopbackByte] & 1u) != 0 ? kStatusOk
                                                   : refuse(kStatusPhyLoopbackUnsupported, msg::kPhyLoopbackUnsupported);
}

uint32_t set_mode(const Loopback& lb, uint8_t mode, uint8_t state) {
  loopback_mode_request r{port_byte(lb.source), port_byte(lb.destination), mode, state};
  return ioctl_set_loopbackmode(lb.handle, &r, lb.domain, port_byte(lb.source), lb.path);
}

uint32_t set_counters(hm_node* diagnostics, const DiagCounters& c) {
  int failed = set_prop_val(diagnostics, kPropTotalTestCycles, "%lld", static_cast<long long>(c.total_test_cycles));
  failed |= set_prop_val(diagnostics, kPropTotalCompleteCycles, "%lld", static_cast<long long>(c.total_complete_cycles));
  failed |= set_prop_val(diagnostics, kPropTotalErrorCycles, "%lld", static_cast<long long>(c.total_error_cycles));
  failed |= set_prop_val(diagnostics, kPropSendErrorCount, "%lld", static_cast<long long>(c.send_errors));
  failed |= set_prop_val(diagnostics, kPropReceiveErrorCount, "%lld", static_cast<long long>(c.receive_errors));
  failed |= set_prop_val(diagnostics, kPropDataMiscompareCount, "%lld", static_cast<long long>(c.miscompares));
  failed |= set_prop_val(diagnostics, kPropTotalCompleteCount, "%lld", static_cast<long long>(c.total_complete));
  return failed != 0 ? kStatusFailed : kStatusOk;
}

uint32_t pattern_of(const char* text, uint64_t* pattern) {
  switch (parse_pattern(text, pattern)) {
    case PatternParse::kOk:
      return kStatusOk;
    case PatternParse::kBadPattern:
      return refuse(kStatusInvalidPattern, msg::kInvalidPattern);
    case PatternParse::kPatternTooLarge:
      break;
  }
  return refuse(kStatusOutOfRange, msg::kPatternOutOfRange);
}

uint32_t number_of(const char* text) { return static_cast<uint32_t>(std::strtoul(text, nullptr, 0)); }

int64_t wall_clock_us() {
  timeval now{};
  if (host_ops().gettimeofday(&now) != 0) return 0;
  return int64_t{now.tv_sec} * 1000000 + now.tv_usec;
}

// The test status of a loopback reply: 0, or 1 with the status that says what failed.
uint32_t VARU_check_loop_back_status(uint32_t status) {
  switch (status) {
    case 0:
      return kStatusOk;
    case 1:
      return refuse(248, msg::kLoopbackTransmitError);
    case 2:
      return refuse(249, msg::kLoopbackReceiveError);
    case 3:
      return refuse(250, msg::kLoopbackIntegrityError);
    case 4:
      return refuse(251, msg::kLoopbackTimedOut);
    case 5:
      return refuse(kStatusLinkDown, msg::kFwLinkDown);
    default:
      return refuse(kStatusLoopbackTestFailed, msg::kLoopbackTestFailed);
  }
}

}  // namespace

uint32_t do_EnterLoopBackMode(hm_node* group, hm_node*, char params[6][256]) {
  Loopback lb;
  const uint32_t checked = common_checks(group, params[0], params[1], msg::kNoHbaForDestination, &lb);
  if (checked != 0) return checked;
  const int32_t type = loopback_type(params[2]);
  if (type < 0) return kStatusFailed;
  if (check_port_pair(lb, type) != 0) return kStatusFailed;
  uint8_t mode = kLoopbackNone;
  if (current_mode(lb, &mode) != 0) return kStatusFailed;
  if (mode == type) return refuse(kStatusLoopbackAlreadySet, msg::kLoopbackAlreadySet);
  const uint32_t phy = check_phy_loopback(lb, type);
  if (phy != 0) return phy;
  const uint32_t status = set_mode(lb, static_cast<uint8_t>(type), 1);
  if (status == 0) return kStatusOk;
  if (status != kStatusTypeUnsupported && status != kStatusAlreadyInLoopback) {
    varu_set_last_status(kStatusEnterFailed, msg::kEnterLoopbackFailed);
  }
  return kStatusFailed;
}

uint32_t do_ExitLoopBackMode(hm_node* group, hm_node*, char params[6][256]) {
  Loopback lb;
  const uint32_t checked = common_checks(group, params[0], params[1], msg::kNoHbaForDestinationThie, &lb);
  if (checked != 0) return checked;
  uint8_t mode = kLoopbackNone;
  if (current_mode(lb, &mode) != 0) return kStatusFailed;
  if (mode == kLoopbackNone) return refuse(kStatusNoLoopbackSet, msg::kNoLoopbackSet);
  if (mode == kLoopbackTwoPort && lb.source == lb.destination) return refuse(kStatusPortsMustDiffer, msg::kPortsMustDiffer);
  if (mode < kLoopbackTwoPort && lb.source != lb.destination) return refuse(kStatusPortsMustMatch, msg::kPortsMustMatch);
  const uint32_t status = set_mode(lb, kLoopbackNone, 0);
  if (status == 0) return kStatusOk;
  if (status != kStatusTypeUnsupported) varu_set_last_status(kStatusExitFailed, msg::kExitLoopbackFailed);
  return kStatusFailed;
}

uint32_t do_NetworkLoopBackTest(hm_node* group, hm_node*, char params[6][256]) {
  Loopback lb;
  const uint32_t checked = common_checks(group, params[3], params[4], msg::kNoHbaForDestinationThie, &lb);
  if (checked != 0) return checked;
  const int32_t type = loopback_type(params[5]);
  if (type < 0) return kStatusFailed;
  const uint32_t phy = check_phy_loopback(lb, type);
  if (phy != 0) return phy;
  uint64_t pattern = 0;
  if (pattern_of(params[0], &pattern) != 0 || check_port_pair(lb, type) != 0) return kStatusFailed;
  const uint32_t bytes = number_of(params[1]);
  if (type == kLoopbackMac && bytes > kMaxMacLoopbackBytes) return refuse(kStatusMacByteCount, msg::kMacLoopbackByteCount);
  const uint32_t loops = number_of(params[2]);

  loopback_test_record r{static_cast<uint32_t>(type), loops, {static_cast<uint32_t>(pattern),
                         static_cast<uint32_t>(pattern >> 32)}, static_cast<uint32_t>(lb.source),
                         static_cast<uint32_t>(lb.destination), bytes};
  const uint32_t status = ioctl_loop_back_test(lb.handle, &r, lb.domain, port_byte(lb.source), lb.path);
  if (status != 0) {
    if (status == kStatusModeNotSet) {
      varu_set_last_status(kStatusModeNotSet, msg::kLoopbackModeNotSet);
    } else if (status == kStatusNoModule) {
      varu_set_last_status(kStatusNoModule, msg::kLoopbackNoModule);
    } else if (status != kStatusTypeUnsupported) {
      varu_set_last_status(kStatusLoopbackTestFailed, msg::kLoopbackTestFailed);
    }
    set_counters(lb.diagnostics, DiagCounters{});
    return kStatusFailed;
  }
  if (VARU_check_loop_back_status(r.type) != 0) return kStatusFailed;
  return set_counters(lb.diagnostics, loopback_counters(loops, r.loop_count, r.pattern[0], r.source));
}

uint32_t do_HostToDDRDMATest(hm_node* group, hm_node* action, char params[6][256]) {
  hm_node* controller = controller_of(group);
  hm_node* diagnostics = internal_get_node(controller, kGroupDiagnostics, kGroup);
  const uint32_t generation = controller != nullptr ? get_vx_type(controller) : kStatusFailed;
  if (diagnostics == nullptr || generation == kStatusFailed) return kStatusFailed;
  if (generation == kGenerationQuenta) return refuse(kStatusNotOnThisController, msg::kNotOnThisController);
  ControllerTarget t;
  if (!controller_target(controller, action, &t)) return kStatusFailed;
  uint64_t pattern = 0;
  if (pattern_of(params[0], &pattern) != 0) return kStatusFailed;
  auto request = std::make_unique<ddr_dma_record>();
  auto reply = std::make_unique<ddr_dma_record>();
  build_dma_request(pattern, number_of(params[1]), request.get());
  const uint32_t loops = number_of(params[2]);

  const int64_t start = wall_clock_us();
  uint32_t send_errors = 0;
  uint32_t miscompares = 0;
  for (uint32_t i = 0; i < loops; ++i) {
    // Every loop sends the same request, whatever the last answer left in the buffer.
    std::memcpy(reply.get(), request.get(), sizeof *request);
    if (ioctl_ddr_dma_test(t.port, reply.get(), t.domain, t.port_number, get_vx_instance(controller)) != 0) {
      set_counters(diagnostics, DiagCounters{});
      return refuse(kStatusDmaTestFailed, msg::kDmaTestFailed);
    }
    if (reply->send_failed != 0) ++send_errors;
    if (std::memcmp(reply->received, request->sent, request->byte_count) != 0) ++miscompares;
  }
  // Milliseconds, rounded to the nearest.
  const int64_t elapsed = wall_clock_us() - start;
  return set_counters(diagnostics, dma_counters(loops, send_errors, miscompares, elapsed > 0 ? (elapsed + 500) / 1000 : 0));
}

}  // namespace vx
