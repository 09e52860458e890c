// Profiles of the adapters that keep their function layout in firmware profiles (generations other
// than 2, 3 and 4): the profile list with each profile's protocols and capacities, the ports and
// functions of the active and of the configured profile, and the function-number limits (ARI),
// RoCE and functions per port. Their start-up steps and property handlers are declared in
// schema/handlers.h; VARU_get_profile is how every profile-aware handler fetches a configuration.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "adapter/profile_records.h"
#include "engine/hm.h"
#include "iscsi/common.h"   // refuse: the status set, 1 answered
#include "schema/handlers.h"

namespace vx {

// Statuses left here.
constexpr uint32_t kStatusInsufficientBuffer = 31;
constexpr uint32_t kStatusNoResource = 213;   // the adapter has no profiles (or no ARI)
constexpr uint32_t kStatusGetProfileListFailed = 275;
constexpr uint32_t kStatusGetCapacitiesFailed = 276;
constexpr uint32_t kStatusGetActiveProfileFailed = 277;
constexpr uint32_t kStatusGetProfileConfigFailed = 278;
constexpr uint32_t kStatusGetResetNeededFailed = 279;
constexpr uint32_t kStatusProfileConfigured = 280;
constexpr uint32_t kStatusGetAriFailed = 314;
constexpr uint32_t kStatusMaxFunctionNotSettable = 316;

// Where a controller's commands go: its first iSCSI, else NIC, physical HBA's port handle, domain
// and port number, on the controller's protocol path.
struct ControllerAddress {
  int32_t handle;
  uint8_t domain;
  uint8_t port_number;
  int32_t adapter;   // the controller's instance number (adapter index)
  int32_t path;      // 1 iSCSI, 2 NIC, 4 none
};
// False when the controller has no physical HBA.
bool controller_address(hm_node* controller, ControllerAddress* out);
// Generations 2, 3 and 4 keep no profiles; 1 (unreadable) has none either.
bool profile_capable(uint32_t generation);
// The Vexalon instance a node of its tree belongs to; NULL when none.
hm_node* controller_above(hm_node* node);

struct FreeReply {
  void operator()(uint8_t* p) const { varu_dfree(p); }
};
using ProfileReply = std::unique_ptr<uint8_t[], FreeReply>;

// A 22620-byte profile configuration of the controller (request: byte 0 the profile id; byte 1
// bits 0-1 the configuration type, bit 2 the flag), or NULL: no controller or physical HBA (no
// status), no memory (16) or a refused command (278). The caller frees it with varu_dfree.
uint8_t* VARU_get_profile(hm_node* controller, uint8_t config_type, uint8_t profile_id, uint8_t flag);
// The same, owned; with `status`, *status tells why there is none: the command's own status when
// the adapter refused it, else 1.
ProfileReply fetch_profile(hm_node* controller, uint8_t config_type, uint8_t profile_id, uint8_t flag,
                           uint32_t* status = nullptr);
// The descriptors of a reply of VARU_get_profile, in order.
std::vector<ResourceDescriptor> descriptors_of(const uint8_t* reply);

// The Protocol instances of one Profile: 0, or 1 (configuration or capabilities unreadable: 276,
// an instance not made).
uint32_t VARU_get_profile_capacities(uint8_t profile_id, hm_node* profile, hm_node* controller);
// The Port and Function instances of ActiveProfile or ConfiguredProfile (told apart by the group's
// name); for the configured profile also the adapter's lines of the pending-choices file.
uint32_t VARU_get_port_profile(hm_node* controller, hm_node* group, uint8_t profile_id, uint8_t config_type,
                               uint8_t active_max_pf_id);
// Purges ConfiguredProfile's Port instances and builds them again from the adapter: 0 or 1.
uint32_t rebuild_configured_profile(hm_node* controller);

// MaxFunctionNumber and its kin: the count of NICPhysicalHBA instances of the node's parent whose
// PortNumber is the node's own (0 when the parent has none; 1 when a PortNumber is unreadable).
uint32_t get_nic_count(hm_node* node);

// The text of a multichannel code as a profile's port shows it ("None", "ZMC" ...), or NULL for a
// code that leaves MCType as it was.
const char* profile_mc_type_text(uint8_t mc_type);

}  // namespace vx
