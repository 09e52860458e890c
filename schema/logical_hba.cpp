// Schema of the logical HBA (the iSCSI initiator of one physical HBA).
#include "schema/logical_hba.h"

#include "engine/builder.h"
#include "schema/handlers.h"
#include "schema/login_options.h"
#include "schema/names_iscsi.h"

namespace vx {

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_AddTarget_action = {
    do_AddTarget, 0, 4,
    {param(kRequired, "TargetName", "Fully qualified iSCSI name of the target; adding does not log in.",
           length(6, 223)),
     param(kRequired, "IPAddress", "IPv4 or IPv6 address of the target portal.", address(0, 0)),
     param(kOptional, "PortNumber", "TCP port of the target portal; 3260 when not given.", range(1024, 65535)),
     param(kOptional, "BootTarget", "\"True\" to make the target a boot target.", one_of("True,False", 4, 5))}};

// 0..256 rather than 0..255: the handler refuses 256 itself, since no Target256 can exist.
constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_DeleteTarget_action = {
    do_DeleteTarget, 0, 1,
    {param(kRequired, "InstanceNumber", "Number n of the Target<n> to delete.", range(0, 256))}};

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Discovery_AddSendTargetPortal_action = {
    do_AddSendTargetPortal, 0, 2,
    {param(kRequired, "IPAddress", "IPv4 or IPv6 address of the send-target portal.", address(0, 0)),
     param(kRequired, "PortNumber", "TCP port of the send-target portal.", range(1024, 65535))}};

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Discovery_DeleteSendTargetPortal_action = {
    do_DeleteSendTargetPortal, 0, 1,
    {param(kRequired, "InstanceNumber", "Number n of the SendTargetPortal<n> to delete.", range(0, 127))}};

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Discovery_RefreshAvailableTargets_action = {
    do_RefreshAvailableTargets, 0, 0, {}};

namespace {

#define VX_QOS_NOTE " A value of 0 indicates no QoS was set and allows all available bandwidth for this domain."
#define VX_MIB_ROWS " that belong to this instance."

// Rows up to the configured login options.
constexpr int16_t kNameGroup = 2;
constexpr int16_t kDefaultsGroup = 5;
constexpr auto kHead = rows(
    /* 0 */ property(kInstance, kPropLhbaEnabled,
                     "\"True\" when iSCSI is enabled on this initiator, \"False\" when disabled; it cannot be "
                     "disabled.",
                     kReadWrite, handle_iSCSIPhysicalHBA_LogicalHBA_Enabled, one_of("False,True", 4, 5), "False"),
    /* 1 */ property(kInstance, kPropLhbaIfName, "Host interface name of this iSCSI HBA.", kReadOnly,
                     handle_internal_property, length(1, 32), "vmhba"),
    /* 2 */ group(kInstance, kGroupInitiatoriSCSIName, "iSCSI name and alias of the initiator."),
    /* 3 */ property(kNameGroup, kPropInitiatoriSCSIName, "iSCSI qualified name of the initiator node.", kReadWrite,
                     handle_name_params, length(1, 223), "iqn.qm"),
    /* 4 */ property(kNameGroup, kPropInitiatorAlias, "User-friendly alias that goes with the initiator's iSCSI name.",
                     kReadWrite, handle_name_params, length(0, 31), "qm"),
    /* 5 */ group(kInstance, kGroupInitiatorDefaultLoginOptions, "Fixed default login options of the initiator."),
    property(kDefaultsGroup, kPropInitialR2T,
             "\"Yes\": the initiator waits for the target to solicit data; \"No\": it may send one first burst "
             "unsolicited.",
             kReadOnly, handle_internal_property, one_of("Yes,No", 0, 3), "Yes"),
    property(kDefaultsGroup, kPropImmediateData, "Whether unsolicited data may be appended to a command.", kReadOnly,
             handle_internal_property, one_of("Yes,No", 0, 3), "Yes"),
    property(kDefaultsGroup, kPropMaxConnections, "Connections per session.", kReadOnly, handle_internal_property,
             range(1, 1), "1"),
    property(kDefaultsGroup, kPropMaxOutstandingR2T, "Outstanding R2Ts per task within a session.", kReadOnly,
             handle_internal_property, range(1, 255), "1"),
    property(kDefaultsGroup, kPropFirstBurstLength, "Most unsolicited data in bytes for one command.", kReadOnly,
             handle_internal_property, range(0, 8192), "8192"),
    property(kDefaultsGroup, kPropMaxBurstLength, "Most data in bytes in one burst.", kReadOnly,
             handle_internal_property, range(0, 262144), "262144"),
    property(kDefaultsGroup, kPropDefaultTime2Wait,
             "Seconds to wait before a reconnect after an unexpected connection end.", kReadOnly,
             handle_internal_property, range(0, 2), "2"),
    property(kDefaultsGroup, kPropDefaultTime2Retain,
             "Seconds, after that wait, in which a connection may still be reassigned.", kReadOnly,
             handle_internal_property, range(0, 20), "20"),
    property(kDefaultsGroup, kPropErrorRecoveryLevel,
             "0 session restart only, 1 reissue of commands, data or status, 2 connection recovery.", kReadOnly,
             handle_internal_property, range(0, 255), "0"),
    property(kDefaultsGroup, kPropDataPDUInOrder, "Data PDUs within a sequence in order.", kReadOnly,
             handle_internal_property, range(0, 1), "1"),
    property(kDefaultsGroup, kPropDataSequenceInOrder, "Sequences in order.", kReadOnly, handle_internal_property,
             range(0, 1), "1"),
    property(kDefaultsGroup, kPropHeaderDigest, "Header digest.", kReadOnly, handle_internal_property,
             one_of("None,CRC32C", 4, 6), "None"),
    property(kDefaultsGroup, kPropDataDigest, "Data digest.", kReadOnly, handle_internal_property,
             one_of("None,CRC32C", 4, 6), "None"),
    property(kDefaultsGroup, kPropMaxRecvDataSegmentLength,
             "Longest data segment in bytes that can be received in one PDU.", kReadOnly, handle_internal_property,
             range(0, 65536), "65536"));

constexpr int16_t kLoginOptionsGroup = static_cast<int16_t>(kHead.size);
constexpr int16_t kQoSGroup = static_cast<int16_t>(kLoginOptionsGroup + kLoginOptionRowCount);
constexpr int16_t kStatisticsGroup = kQoSGroup + 5;
constexpr int16_t kDiscoveryGroup = kStatisticsGroup + 28;

// Rows after the configured login options. The statistics' stored bounds stand as they are (some
// minima above their maxima); being read-only, nothing is checked against them.
constexpr auto kTail = rows(
    group(kInstance, kGroupiSCSIQoS, "iSCSI bandwidth limits of this function."),
    property(kQoSGroup, kPropLhbaMinBitsPerSecond,
             "Minimum iSCSI throughput of this function in units of 100 Mbit/s." VX_QOS_NOTE, kReadOnly,
             handle_iscsi_bandwidth_softcap, range(0, 1000), "0"),
    property(kQoSGroup, kPropLhbaMaxBitsPerSecond, "Maximum iSCSI throughput in units of 100 Mbit/s." VX_QOS_NOTE,
             kReadOnly, handle_iscsi_bandwidth_softcap, range(0, 1000), "0"),
    property(kQoSGroup, kPropLhbaMaxBytesPerSecond, "Maximum iSCSI throughput in multiples of 1 MB/s." VX_QOS_NOTE,
             kReadWrite, handle_MaxBytesPerSecond, range(0, 1280), "0"),
    property(kQoSGroup, kPropLhbaMaxIosPerSecond, "Maximum iSCSI I/Os per second, in multiples of 1024." VX_QOS_NOTE,
             kReadWrite, handle_MaxIosPerSecond, range(0, 250), "0"),
    group(kInstance, kGroupiSCSIStatistics, "Initiator statistics of the iSCSI MIB."),
    property(kStatisticsGroup, kPropLhbaNodeRoles, "Node role of this initiator.", kReadOnly, handle_NodeAttr_properties,
             length(1, 255), "1"),
    property(kStatisticsGroup, kPropLhbaPortalCount, "Rows of the MIB's portal table" VX_MIB_ROWS, kReadOnly,
             handle_NodeAttr_properties, range(1, 5), "1"),
    property(kStatisticsGroup, kPropLhbaNodeCount, "Rows of the MIB's node table" VX_MIB_ROWS, kReadOnly,
             handle_NodeAttr_properties, range(1, 5), "1"),
    property(kStatisticsGroup, kPropLhbaSessionCount, "Rows of the MIB's session table" VX_MIB_ROWS, kReadOnly,
             handle_intrInstStat_properties, range(1, 5), "1"),
    property(kStatisticsGroup, kPropLhbaSessionFailureCount, "Times a session of this instance failed.", kReadOnly,
             handle_intrInstStat_properties, range(1, 255), "1"),
    property(kStatisticsGroup, kPropLhbaLastSessionFailureType, "Type of the last session failure.", kReadOnly,
             handle_intrInstStat_properties, length(1, 255), "1"),
    property(kStatisticsGroup, kPropLhbaLastSessionRmtNodeName, "iSCSI name of the remote node of the failed session.",
             kReadOnly, handle_intrInstStat_properties, length(1, 224), "iqn.qm"),
    property(kStatisticsGroup, kPropLhbaSessionDigestErrors, "Sessions failed on a header or data digest error.",
             kReadOnly, handle_intrInstStat_properties, length(4, 0), "4"),
    property(kStatisticsGroup, kPropLhbaSessionConnectionTimeout,
             "Sessions failed on a sequence that exceeded a time limit.", kReadOnly, handle_intrInstStat_properties,
             length(4, 0), "4"),
    property(kStatisticsGroup, kPropLhbaSessionFormatErrors, "Sessions failed on a PDU format error.", kReadOnly,
             handle_intrInstStat_properties, length(4, 0), "4"),
    property(kStatisticsGroup, kPropLhbaLoginFailures, "Failed logins from this initiator.", kReadOnly,
             handle_intrLoginStat_properties, length(4, 0), "4"),
    property(kStatisticsGroup, kPropLhbaLastFailureTime, "Time stamp of the last failed login; 0 when none failed.",
             kReadOnly, handle_intrLoginStat_properties, length(0, 32), "0"),
    property(kStatisticsGroup, kPropLhbaLastFailureType, "Failure type of the last failed login.", kReadOnly,
             handle_intrLoginStat_properties, length(0, 0), "0"),
    property(kStatisticsGroup, kPropLhbaLastTgtFailureName, "Name of the target that last failed a login.", kReadOnly,
             handle_intrLoginStat_properties, length(1, 224), "iqn.qm"),
    property(kStatisticsGroup, kPropLhbaLastTgtFailureAddr, "Network address of the target that last failed a login.",
             kReadOnly, handle_intrLoginStat_properties, length(0, 0), "0"),
    property(kStatisticsGroup, kPropLhbaLoginAcceptRsps, "Login responses accepted.", kReadOnly,
             handle_intrLoginStat_properties, length(4, 0), "4"),
    property(kStatisticsGroup, kPropLhbaLoginOtherFailRsps, "Login responses with any status not counted elsewhere.",
             kReadOnly, handle_intrLoginStat_properties, length(4, 0), "4"),
    property(kStatisticsGroup, kPropLhbaLoginRedirectRsps, "Login responses of status class Redirection.", kReadOnly,
             handle_intrLoginStat_properties, length(4, 0), "4"),
    property(kStatisticsGroup, kPropLhbaLoginAuthFailRsps, "Login responses with status 0x201 (authentication failed).",
             kReadOnly, handle_intrLoginStat_properties, length(4, 0), "4"),
    property(kStatisticsGroup, kPropLhbaLoginAuthFails, "Logins aborted because the target could not be authenticated.",
             kReadOnly, handle_intrLoginStat_properties, length(4, 0), "4"),
    property(kStatisticsGroup, kPropLhbaLoginNegoFails, "Logins aborted because parameter negotiation failed.",
             kReadOnly, handle_intrLoginStat_properties, length(4, 0), "4"),
    property(kStatisticsGroup, kPropLhbaLogoutNormals, "Logout commands sent with reason normal.", kReadOnly,
             handle_intrLoginStat_properties, length(4, 0), "4"),
    property(kStatisticsGroup, kPropLhbaLogoutOthers, "Logout commands sent with any other reason.", kReadOnly,
             handle_intrLoginStat_properties, length(4, 0), "4"),
    property(kStatisticsGroup, kPropLhbaPortRowStatus, "Row status of the portal entry.", kReadOnly,
             handle_NodeAttr_properties, length(0, 3), "2"),
    property(kStatisticsGroup, kPropLhbaPortalRole, "Role of the portal (target portal and/or initiator portal).",
             kReadOnly, handle_NodeAttr_properties, length(1, 2), "1"),
    property(kStatisticsGroup, kPropLhbaPortalProtocol, "Transport protocol of the portal.", kReadOnly,
             handle_NodeAttr_properties, length(1, 2), "1"),
    property(kStatisticsGroup, kPropLhbaPortalTag, "Aggregation tag of the portal when used as an initiator.",
             kReadOnly, handle_NodeAttr_properties, length(1, 65535), "1"),
    group(kInstance, kGroupDiscovery, "Send-target discovery: the send-target portals of this initiator.",
          group_Discovery),
    action(kDiscoveryGroup, kActionAddSendTargetPortal, "Adds a send-target portal.",
           ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Discovery_AddSendTargetPortal_action),
    action(kDiscoveryGroup, kActionDeleteSendTargetPortal, "Deletes a send-target portal.",
           ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Discovery_DeleteSendTargetPortal_action),
    action(kDiscoveryGroup, kActionRefreshAvailableTargets,
           "Rescans and creates Target instances for newly discovered targets.",
           ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Discovery_RefreshAvailableTargets_action),
    action(kInstance, kActionAddTarget, "Adds a static target with its first portal.",
           ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_AddTarget_action),
    action(kInstance, kActionDeleteTarget, "Deletes a target.",
           ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_DeleteTarget_action));

#undef VX_QOS_NOTE
#undef VX_MIB_ROWS

constexpr auto kLogicalHbaRows =
    splice(kHead, login_option_rows(kInitiatorLoginOptionLevel, kInstance, kLoginOptionsGroup), kTail);

static_assert(row_is(kLogicalHbaRows, kNameGroup, kGroupInitiatoriSCSIName));
static_assert(row_is(kLogicalHbaRows, kDefaultsGroup, kGroupInitiatorDefaultLoginOptions));
static_assert(row_is(kLogicalHbaRows, kLoginOptionsGroup, kGroupInitiatorLoginOptions));
static_assert(row_is(kLogicalHbaRows, kQoSGroup, kGroupiSCSIQoS));
static_assert(row_is(kLogicalHbaRows, kStatisticsGroup, kGroupiSCSIStatistics));
static_assert(row_is(kLogicalHbaRows, kDiscoveryGroup, kGroupDiscovery));
static_assert(kLogicalHbaRows.size + 1 == 76, "76 nodes per instance");

InstanceBits g_logical_hba_bits;
constexpr GroupSpec kLogicalHba =
    group_spec(kGroupLogicalHBA,
               "iSCSI initiator of this physical HBA: its names, login options, QoS, statistics and send-target "
               "discovery; its targets hang below it.",
               /*max*/ 1, nullptr, kLogicalHbaRows.rows, g_logical_hba_bits);

}  // namespace

hm_node* initialize_LogicalHBA(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]) {
  return build_instance(kLogicalHba, parent, origin, action, params);
}

}  // namespace vx
