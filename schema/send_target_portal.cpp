// Schema of the send-target portal.
#include "schema/send_target_portal.h"

#include "engine/builder.h"
#include "schema/handlers.h"
#include "schema/login_options.h"
#include "schema/names_iscsi.h"

namespace vx {

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Discovery_SendTargetPortal_DiscoverTargets_action = {
    do_DiscoverTargets, 0, 1,
    {param(kOptional, "TargetName", "Name of one target whose address is to be discovered.", length(0, 255))}};

namespace {

constexpr int16_t kLoginOptionsGroup = 0;

constexpr auto kOwnRows = rows(
    property(kInstance, kPropStpIPAddress, "IP address of the send-target portal.", kReadOnly, handle_internal_property,
             address(0, 0), "0.0.0.0"),
    property(kInstance, kPropStpPortNumber, "TCP port of the send-target portal.", kReadOnly, handle_internal_property,
             range(1024, 65535), "3260"),
    property(kInstance, kPropStpPortMacAddress,
             "MAC address of the adapter port to which the portal was added, six colon-separated hex pairs.",
             kReadOnly, handle_internal_property, length(17, 17), "00:00:00:00:00:00"),
    action(kInstance, kActionDiscoverTargets,
           "Sends a discovery login to the portal; each target it reports can then be logged in to.",
           ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Discovery_SendTargetPortal_DiscoverTargets_action));

constexpr auto kSendTargetPortalRows =
    splice(login_option_rows(kSendTargetPortalLoginOptionLevel, kInstance, kLoginOptionsGroup), kOwnRows);

static_assert(row_is(kSendTargetPortalRows, kLoginOptionsGroup, kGroupSendTargetPortalLoginOptions));
static_assert(kSendTargetPortalRows.size + 1 == 21, "21 nodes per instance");

InstanceBits g_send_target_portal_bits;
constexpr GroupSpec kSendTargetPortal = group_spec(
    kGroupSendTargetPortal,
    "A send-target portal: an address and TCP port at which the initiator asks for the targets behind it.",
    /*max*/ 128, nullptr, kSendTargetPortalRows.rows, g_send_target_portal_bits);

}  // namespace

hm_node* initialize_SendTargetPortal(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]) {
  return build_instance(kSendTargetPortal, parent, origin, action, params);
}

}  // namespace vx
