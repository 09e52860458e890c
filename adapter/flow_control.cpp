// Transmit and receive flow control of a port: read through the common query on generation 3 and
// the management command elsewhere, written through the management command, whose request also
// carries the port's multichannel mode.
#include <strings.h>

#include <cstring>

#include "access/fw_commands.h"
#include "access/walks.h"
#include "access/wire.h"
#include "adapter/command_target.h"
#include "adapter/configured_values.h"
#include "adapter/controller_attribs.h"
#include "adapter/dcbx.h"
#include "adapter/live_properties.h"
#include "engine/messages.h"
#include "schema/handlers.h"

namespace vx {
namespace {

constexpr const char* kTx = "TxFlowControl";
constexpr const char* kRx = "RxFlowControl";
constexpr size_t kCommonSize = 4;
constexpr size_t kManagementSize = 8;
constexpr uint8_t kModeNpar = 11;
constexpr uint8_t kModeOther = 8;

bool no_setting(uint32_t generation) { return generation == kGeneration2 || generation == kGenerationQuenta; }

// Both properties "N/A": the controller has no flow-control setting.
uint32_t not_available(hm_node* port) {
  const int failed = set_prop_val(port, kTx, "%s", kTextNA) | set_prop_val(port, kRx, "%s", kTextNA);
  return failed != 0 ? kStatusFailed : kStatusOk;
}

// The management command of the port (its NIC function, on the NIC node): `byte0` and `mode` of a
// write, or both 0 for a read, whose answer lands in *byte0.
uint32_t management(const PortCommand& at, uint8_t* byte0, uint8_t mode) {
  const int32_t nic = nic_handle_of(at);
  if (nic == 0) return kStatusFailed;
  uint8_t buffer[wire::kHeaderSize + kManagementSize] = {};
  uint8_t* payload = buffer + wire::kHeaderSize;
  payload[0] = *byte0;
  payload[1] = mode;
  payload[3] = at.port_number & 0x3F;
  const uint32_t status = ioctl_mgmt_flow_control(nic, buffer, at.domain, at.port_number);
  if (status == kStatusOk) *byte0 = payload[0];
  return status;
}

uint32_t read_settings(const PortCommand& at, uint32_t* tx, uint32_t* rx) {
  if (at.generation == kGeneration3) {
    uint8_t buffer[wire::kHeaderSize + kCommonSize] = {};
    if (ioctl_common_get_flow_control(at.handle, buffer, at.domain, at.port_number, at.path) != kStatusOk) {
      return kStatusFailed;
    }
    uint16_t t = 0;
    uint16_t r = 0;
    std::memcpy(&t, buffer + wire::kHeaderSize, sizeof t);
    std::memcpy(&r, buffer + wire::kHeaderSize + 2, sizeof r);
    *tx = t;
    *rx = r;
    return kStatusOk;
  }
  uint8_t byte0 = 0;
  if (management(at, &byte0, 0) != kStatusOk) return kStatusFailed;
  *tx = byte0 & 0x0F;
  *rx = byte0 >> 4;
  return kStatusOk;
}

// Byte 0 of a write from the two texts ("Enabled" is 1).
uint8_t settings_byte(const char* tx, const char* rx) {
  return static_cast<uint8_t>((::strcasecmp(tx, "Enabled") == 0 ? 0x01 : 0) | (::strcasecmp(rx, "Enabled") == 0 ? 0x10 : 0));
}

uint8_t mode_of(const char* mc_type) { return ::strcasecmp(mc_type, "NPAR") == 0 ? kModeNpar : kModeOther; }

}  // namespace

uint32_t VARU_update_flow_control_props(hm_node* port, uint32_t tx, uint32_t rx) {
  if (port == nullptr) return kStatusFailed;
  const int failed = set_prop_val(port, kTx, "%s", tx == 1 ? "Enabled" : "Disabled") |
                     set_prop_val(port, kRx, "%s", rx == 1 ? "Enabled" : "Disabled");
  return failed != 0 ? kStatusFailed : kStatusOk;
}

uint32_t handle_flow_control_properties(hm_node* prop, char* buf, uint32_t op) {
  PortCommand at;
  if (prop == nullptr || buf == nullptr || !port_command(prop, &at)) return kStatusFailed;
  if (op == kGet) {
    if (vm_flag != 0) std::strcpy(buf, kTextNA);   // the read goes on; "N/A" stays when it fails
    if (no_setting(at.generation)) return not_available(at.port) != kStatusOk ? kStatusFailed : return_cached(prop, buf);
    uint32_t tx = 0;
    uint32_t rx = 0;
    if (read_settings(at, &tx, &rx) != kStatusOk || VARU_update_flow_control_props(at.port, tx, rx) != kStatusOk) {
      return kStatusFailed;
    }
    return return_cached(prop, buf);
  }
  if (op != kSet) return kStatusOk;
  // A write must not go out with the "N/A" a virtual function reads.
  if (vm_flag != 0) return refuse_on_vf(nullptr);
  if (no_setting(at.generation)) return not_available(at.port);
  if (at.generation == kGeneration3) return refuse(kStatusNotOnThisAdapter, msg::kNotSupportedOnAdapter);
  char mc_type[kValueSize];
  if (!configured_mc_type(at.port, mc_type)) return kStatusFailed;
  const bool tx_written = ::strcasecmp(prop->name, kTx) == 0;
  char other[kValueSize] = "";
  if (internal_get_property(at.port, tx_written ? kRx : kTx, other) != kStatusOk) return kStatusFailed;
  other[kValueSize - 1] = '\0';
  uint8_t byte0 = tx_written ? settings_byte(buf, other) : settings_byte(other, buf);
  return management(at, &byte0, mode_of(mc_type));
}

uint32_t VARU_reset_flow_control_properties(hm_node* port, const char* mc_type) {
  PortCommand at;
  if (port == nullptr || mc_type == nullptr || !port_command(port, &at)) return kStatusFailed;
  char tx[kValueSize] = "";
  char rx[kValueSize] = "";
  if (internal_get_property(at.port, kTx, tx) != kStatusOk || internal_get_property(at.port, kRx, rx) != kStatusOk) {
    return kStatusFailed;
  }
  tx[kValueSize - 1] = rx[kValueSize - 1] = '\0';
  uint8_t byte0 = settings_byte(tx, rx);
  return management(at, &byte0, mode_of(mc_type));
}

}  // namespace vx
