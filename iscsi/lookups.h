// Finding Target, TargetPortal, SendTargetPortal and Session instances by their property values,
// making Target, TargetPortal, Session and Connection instances with their first values and
// driver records, filling login-option groups from negotiated values, and removing every
// instance of a group. None takes the API lock: they run inside handlers that hold it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/hm.h"
#include "iscsi/records.h"

namespace vx {

constexpr uint32_t kStatusMaxTargets = 156;

// What a builder records for persistence: the group the creating action ran on, the action and
// its parameters (all NULL for an instance that is not persistent).
struct BuilderArgs {
  hm_node* origin = nullptr;
  hm_node* action = nullptr;
  char (*params)[kValueSize] = nullptr;
};

// ---- lookups (a missing group or an empty ring is "not found"; no status is set) --------------------
// The target of that name (case ignored). While the target index is on (a discovery pass), found
// through an index of each logical HBA's targets, made by one walk and kept by setup_target.
hm_node* find_target(hm_node* lhba, const char* name);
// Turns the target index on, or off (and forgets it).
void use_target_index(bool on);
// 0 with the portal's instance number; 1 when no portal has the address (and the port, unless empty).
uint32_t validate_target_portal(hm_node* target, int32_t* out_number, const char* ip, const char* port);
// An empty address or port matches any.
hm_node* find_target_portal(hm_node* target, const char* ip, const char* port);
uint32_t check_for_stp_in_VARU(hm_node* discovery, const char* ip, const char* port);
hm_node* find_session(hm_node* target, const char* ip, const char* port);
hm_node* get_matchnode_by_propvalue(hm_node* parent, const char* group_name, const char* property, const char* value);
hm_node* get_selected_group_node(hm_node* parent, const char* group_name, const char* number_text);
uint32_t get_initiator_name(hm_node* node, char out[kValueSize], int32_t lhba_number);

// ---- set-up (each yields the new instance, or NULL with nothing left behind) ------------------------
// Type 0 makes a "Static" target, any other a "Discovered" one. Status 156 when no instance is free.
hm_node* setup_target(hm_node* lhba, const char* name, const BuilderArgs& args, uint32_t type);
hm_node* setup_portal(hm_node* target, const char* ip, const char* port, const char* portal_group_tag,
                      const BuilderArgs& args);
hm_node* setup_session(hm_node* target, int32_t port_handle, uint32_t session_handle, const login_options* negotiated,
                       const BuilderArgs& args, const char* portal_group_tag);
hm_node* setup_connection(hm_node* session, uint32_t connection_handle, const login_options& negotiated,
                          const BuilderArgs& args);
// The Target and portal of a boot session the firmware reports.
hm_node* VARU_get_boot_target(hm_node* lhba, const BuilderArgs& args, const session_info* info);

// ---- login-option groups (0 when every write succeeded) ----------------------------------------------
uint32_t set_session_login_options(hm_node* group, const login_options& values);
uint32_t set_connection_login_options(hm_node* group, const login_options& values);
// The node's TargetLoginOptions (a Target) or SessionLoginOptions (a Session).
uint32_t setup_initiator_target_loginopts(hm_node* node, const login_options& values);
uint32_t copy_login_options(hm_node* destination, hm_node* source, uint32_t mode);

// Deletes every instance of `group_name` under `parent` with its driver records: 0, or the first
// failing deletion's result.
uint32_t purge_nodes_within(hm_node* parent, const char* group_name);

// A CHAP secret of a firmware record (its length field, at most 16 bytes) as property text: the
// bytes themselves when printable, else "0x" and their hex digits.
std::string secret_text(const uint8_t* bytes, uint16_t length);
// A text field of a firmware record, bounded by its size.
std::string field_text(const char* field, size_t size);

}  // namespace vx
