// Schemas of the target, the target portal and the LUN.
#include "schema/target.h"

#include "engine/builder.h"
#include "schema/handlers.h"
#include "schema/login_options.h"
#include "schema/names_iscsi.h"

namespace vx {

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Target_Login_action = {
    do_Login, 0, 5,
    {param(kOptional, "IPAddress", "Address of one of the target's portals; that of TargetPortal0 when not given.",
           address(0, 0)),
     param(kOptional, "PortNumber", "TCP port of one of the target's portals.", range(1024, 65535)),
     param(kOptional, "SessionInitiatorName", "Initiator name for this session only.", length(1, 223)),
     param(kOptional, "ISIDQualifier", "ISID qualifier in place of the one the adapter would assign.",
           range(0, 65535)),
     param(kOptional, "BootTarget", "\"True\" to log in as a boot session.", one_of("True,False", 4, 5))}};

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Target_DeleteTargetPortal_action = {
    do_DeleteTargetPortal, 0, 1,
    {param(kOptional, "InstanceNumber", "Number n of the TargetPortal<n> to delete.", range(0, 63))}};

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Target_AddTargetPortal_action = {
    do_AddTargetPortal, 0, 2,
    {param(kRequired, "IPAddress", "IPv4 or IPv6 address of the new portal.", address(0, 0)),
     param(kOptional, "PortNumber", "TCP port of the new portal.", range(1024, 65535))}};

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Target_Logout_action = {
    do_Logout, 0, 1,
    {param(kOptional, "InstanceNumber", "Number n of the Session<n> to log out.", range(0, 63))}};

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Target_ReScanLUNS_action = {
    do_ReScanLUNS, 0, 0, {}};

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Target_LUN_StdInquiry_action = {
    do_StdInquiry, 0, 0, {}};

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Target_LUN_SCSIWrite_action = {
    do_SCSIWrite, 0, 2,
    {param(kRequired, "StartBlockAddress", "First block to write.", range(0, 65535)),
     param(kRequired, "Count", "Number of blocks to write.", range(1, 65535))}};

namespace {

// ---- Target ---------------------------------------------------------------------------------------
constexpr int16_t kLoginOptionsGroup = 0;

// The name's default "6" is shorter than its own minimum; callers store the name at once.
constexpr auto kTargetOwnRows = rows(
    property(kInstance, kPropTargetISCSIName, "iSCSI name of the target.", kReadOnly, handle_internal_property,
             length(6, 223), "6"),
    property(kInstance, kPropTargetAlias,
             "Alias of the target node as its first session reports it; empty when the target has no session.",
             kReadOnly, handle_TargetAlias, length(0, 0)),
    property(kInstance, kPropETO,
             "Extended time-out in seconds: after the target stops responding, the driver does not fail I/O back "
             "until this time has passed.",
             kReadWrite, handle_Target_ETO, range(0, 3600), "30"),
    property(kInstance, kPropTargetType,
             "\"Static\" for a target added by hand, \"Discovered\" for one found by discovery.", kReadOnly,
             handle_target_type, one_of("Static,Discovered", 6, 10), "Static"),
    action(kInstance, kActionLogin, "Logs in to the target with its current login options.",
           ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Target_Login_action),
    action(kInstance, kActionDeleteTargetPortal, "Deletes a portal of the target.",
           ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Target_DeleteTargetPortal_action),
    action(kInstance, kActionAddTargetPortal, "Adds a portal to the target.",
           ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Target_AddTargetPortal_action),
    action(kInstance, kActionLogout, "Logs out a session of the target.",
           ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Target_Logout_action),
    action(kInstance, kActionReScanLUNS, "Rescans the LUNs of the target.",
           ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Target_ReScanLUNS_action));

constexpr auto kTargetRows =
    splice(login_option_rows(kTargetLoginOptionLevel, kInstance, kLoginOptionsGroup), kTargetOwnRows);

static_assert(row_is(kTargetRows, kLoginOptionsGroup, kGroupTargetLoginOptions));
static_assert(kTargetRows.size + 1 == 26, "26 nodes per instance");

InstanceBits g_target_bits;
constexpr GroupSpec kTarget = group_spec(
    kGroupTarget,
    "An iSCSI target of this initiator, added by hand or found by discovery, with its login options, portals, "
    "sessions and LUNs.",
    /*max*/ 256, group_Target, kTargetRows.rows, g_target_bits);

// ---- TargetPortal ---------------------------------------------------------------------------------
constexpr SchemaRow kTargetPortalRows[] = {
    property(kInstance, kPropTargetIPAddress, "IP address of the target portal.", kReadOnly,
             handle_internal_property, address(0, 0), "0.0.0.0"),
    property(kInstance, kPropTargetPortNumber, "TCP port of the target portal.", kReadOnly, handle_internal_property,
             range(1, 65535), "1036"),
    property(kInstance, kPropPortalGroupTag, "Tag of the portal group that the portal belongs to.", kReadOnly,
             handle_internal_property, range(0, 255), "0"),
};

InstanceBits g_target_portal_bits;
constexpr GroupSpec kTargetPortal =
    group_spec(kGroupTargetPortal, "An address and TCP port at which the target is reached.", /*max*/ 64, nullptr,
               kTargetPortalRows, g_target_portal_bits);

// ---- LUN --------------------------------------------------------------------------------------------
// LUNName's default "0" is shorter than its own minimum; the values come from the adapter on read.
constexpr SchemaRow kLunRows[] = {
    property(kInstance, kPropLUNNumber, "Logical unit number, as 16 hex digits of the 8-byte LUN.", kReadOnly,
             handle_LUNNumber, length(0, 0), "0"),
    property(kInstance, kPropLUNSize, "Size of the LUN in bytes.", kReadOnly, handle_lun_block_size, range(0, 0),
             "0"),
    property(kInstance, kPropBlockSize, "Block size of the LUN in bytes.", kReadOnly, handle_lun_block_size,
             range(0, 0), "0"),
    property(kInstance, kPropDeviceVendorName, "Vendor identification from the standard inquiry.", kReadOnly,
             handle_StdInquiry_properties, length(0, 0), "0"),
    property(kInstance, kPropDeviceModelNumber, "Product identification from the standard inquiry.", kReadOnly,
             handle_StdInquiry_properties, range(0, 0), "0"),
    property(kInstance, kPropLUNName,
             "Device name of the LUN on the host: the logical HBA's IfName, the target id and the LUN number, "
             "joined by \":\".",
             kReadOnly, handle_LUNName, length(5, 225), "0"),
    property(kInstance, kPropLUNSerialNumber, "Serial number of the LUN.", kReadOnly, handle_StdInquiry_properties,
             length(0, 255), "0"),
    property(kInstance, kPropLUNType, "SCSI device type.", kReadOnly, handle_StdInquiry_properties, length(0, 0),
             "0"),
    action(kInstance, kActionStdInquiry, "Issues a standard INQUIRY to the LUN and reports the status.",
           ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Target_LUN_StdInquiry_action),
    action(kInstance, kActionSCSIWrite, "Writes blocks of the LUN.",
           ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Target_LUN_SCSIWrite_action),
};

InstanceBits g_lun_bits;
constexpr GroupSpec kLun = group_spec(kGroupLUN, "A logical unit that a LUN scan found behind the target.",
                                      /*max*/ 256, group_LUN, kLunRows, g_lun_bits);

}  // namespace

hm_node* initialize_Target(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]) {
  return build_instance(kTarget, parent, origin, action, params);
}

hm_node* initialize_TargetPortal(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]) {
  return build_instance(kTargetPortal, parent, origin, action, params);
}

hm_node* initialize_LUN(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]) {
  return build_instance(kLun, parent, origin, action, params);
}

}  // namespace vx
