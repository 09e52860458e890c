// PG<n>: one priority group of a port's administrator, peer or operational priority-group setting.
// Start-up makes PG0 to PG7 in each; the administrator's carry the action that configures them.
#include "schema/dcb_features.h"

namespace vx {
namespace {

constexpr const char* kMembershipText =
    "This property specifies a bit map of priorities applicable to this priority group. Priorities 0-7 are "
    "supported. Use bit 0 for priority 0, bit 1 for priority 1 and so on. Hence the bit map contains 0xFF when all 8 "
    "priorities are enabled for PFC. Priority membership must be unique across all 8 priority groups. An unused PG "
    "must have PriorityMembership set to 0.";
#define VX_BANDWIDTH_TEXT(subject, allocated)                                                                      \
  subject " indicates the percentage of bandwidth " allocated " to the traffic with priorities whose membership " \
  "is specified using the PriorityMembership field. The bandwidth allocation across all Priority Groups MUST "     \
  "total 100%."
#define VX_NO_LIMIT_TEXT                                                                                           \
  " A Priority Group can be designated as having 'no bandwidth limit' by setting it to the special value 255. " \
  "Normal values of Bandwidth should be between 0 and 100."

constexpr hm_action_descriptor
    ROOT_Vexalon_PortDiscoveryAndConfiguration_DCBX_PriorityGroups_AdministratorPGSetting_PG_ConfigurePGSettings_action = {
        do_ConfigurePGSettings, 0, 2,
        {param(kRequired, "PriorityMembership", kMembershipText, length(0, 7)),
         param(kRequired, "Bandwidth", VX_BANDWIDTH_TEXT("This parameter", "allocate") VX_NO_LIMIT_TEXT,
               range(0, 255))}};

// The administrator's bandwidth admits 255, "no bandwidth limit"; it changes only through the action.
constexpr SchemaRow kAdministratorRows[] = {
    property(kInstance, "Bandwidth", VX_BANDWIDTH_TEXT("This property", "allocated") VX_NO_LIMIT_TEXT, kReadOnly,
             handle_bwg_props, range(0, 255), "0"),
    property(kInstance, "PriorityMembership", kMembershipText, kReadOnly, handle_bwg_props, length(0, 7), "0"),
    action(kInstance, "ConfigurePGSettings", "This command configures the priority group settings.",
           ROOT_Vexalon_PortDiscoveryAndConfiguration_DCBX_PriorityGroups_AdministratorPGSetting_PG_ConfigurePGSettings_action),
};
constexpr SchemaRow kPeerRows[] = {
    property(kInstance, "Bandwidth", " " VX_BANDWIDTH_TEXT("This property", "allocated"), kReadOnly, handle_bwg_props,
             range(0, 100), "0"),
    property(kInstance, "PriorityMembership", kMembershipText, kReadOnly, handle_bwg_props, length(0, 7), "0"),
};
constexpr SchemaRow kOperationalRows[] = {
    property(kInstance, "Bandwidth", " " VX_BANDWIDTH_TEXT("This property", "allocate"), kReadOnly, handle_bwg_props,
             range(0, 100), "0"),
    property(kInstance, "PriorityMembership", kMembershipText, kReadOnly, handle_bwg_props, length(0, 7), "0"),
};

#undef VX_NO_LIMIT_TEXT
#undef VX_BANDWIDTH_TEXT

constexpr const char* kPGText = " The Priority Group provides" VX_PRIORITY_GROUPS_REST;

InstanceBits g_administrator_bits;
InstanceBits g_peer_bits;
InstanceBits g_operational_bits;
constexpr GroupSpec kAdministrator =
    group_spec(kGroupPG, kPGText, kPGMax, nullptr, kAdministratorRows, g_administrator_bits, kPortInstances);
constexpr GroupSpec kPeer = group_spec(kGroupPG, kPGText, kPGMax, nullptr, kPeerRows, g_peer_bits, kPortInstances);
constexpr GroupSpec kOperational =
    group_spec(kGroupPG, kPGText, kPGMax, nullptr, kOperationalRows, g_operational_bits, kPortInstances);

}  // namespace

hm_node* initialize_AdministratorPGSetting_PG(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]) {
  return build_instance(kAdministrator, parent, origin, action, params);
}

hm_node* initialize_PeerPGSetting_PG(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]) {
  return build_instance(kPeer, parent, origin, action, params);
}

hm_node* initialize_OperationalPGSettings_PG(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]) {
  return build_instance(kOperational, parent, origin, action, params);
}

}  // namespace vx
