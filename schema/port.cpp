// PortDiscoveryAndConfiguration<n>: one physical port of a controller, its identity and state, link
// speed and flow control, beaconing and transceiver dump, and the static groups of its 10GBASE-T
// PHY, its multi-channel functions, LLDP and DCBX. Channel<n>: one function of a port's
// multi-channel configuration. Start-up builds them without a creating action: never persistent.
#include "schema/port.h"

#include "engine/builder.h"
#include "schema/application_tlv.h"
#include "schema/baset10g.h"
#include "schema/dcb_features.h"
#include "schema/handlers.h"
#include "schema/lldp_dcbx.h"
#include "schema/names_port.h"

namespace vx {
namespace {

using namespace port;

constexpr const char* kPortSpeeds = "0,10Mb,100Mb,1Gb,10Gb";

// ---- action descriptors -------------------------------------------------------------------------
constexpr hm_action_descriptor ROOT_Vexalon_PortDiscoveryAndConfiguration_Beacon_action = {
    do_Beacon, 0, 3,
    {param(kOptional, "BeaconDuration",
           "This parameter specifies the seconds during which the port's LEDs blink the beacon pattern.",
           range(0, 255)),
     param(kOptional, "StatusDuration",
           "This parameter specifies the seconds during which the activity and link LEDs show normal activity and "
           "link status.",
           range(0, 255)),
     param(kRequired, "BeaconState", "This parameter enables/disables beaconing. Disabled is the default.",
           one_of(kEnabledDisabled, 7, 8))}};

constexpr hm_action_descriptor ROOT_Vexalon_PortDiscoveryAndConfiguration_SetPortSpeed_action = {
    do_SetPortSpeed, 0, 3,
    {param(kOptional, "Speed",
           "This parameter specifies the link speed; with Default it is optional. What each port module supports: "
           "Force 10Gb only on KX4_10GB_TYPE and SFP_PLUS_10GB_TYPE; Force 1Gb only on KR_10GB_TYPE, KX4_10GB_TYPE "
           "and SFP_PLUS_10GB_TYPE; Force 100Mb and Force 10Mb only on 1Gb port modules; Auto-Negotiate 10Gb and "
           "10Gb/1Gb only on KR_10GB_TYPE, KX4_10GB_TYPE and BASET_10GB_TYPE; Auto-Negotiate 1Gb on those three and "
           "on 1Gb port modules; Auto-Negotiate 100Mb and 1Gb/100Mb only on BASET_10GB_TYPE and 1Gb port modules; "
           "Auto-Negotiate 10Gb/1Gb/100Mb only on BASET_10GB_TYPE; Auto-Negotiate 10Mb, 1Gb/100Mb/10Mb and "
           "100Mb/10Mb only on 1Gb port modules.",
           one_of("10Mb,100Mb,1Gb,10Gb,10Gb/1Gb,10Gb/1Gb/100Mb,1Gb/100Mb,1Gb/100Mb/10Mb,100Mb/10Mb,40Gb,40Gb/10Gb,"
                  "40Gb/1Gb,40Gb/10Gb/1Gb,20Gb,20Gb/1Gb,20Gb/10Gb,20Gb/10Gb/1Gb",
                  3, 15)),
     param(kRequired, "Mode",
           "This parameter specifies the mode: Force, Auto-Negotiate or Default. Default takes the speed from the "
           "default programmed in SEEPROM.",
           one_of("Force,Auto-Negotiate,Default", 5, 15)),
     param(kOptional, "DACCableLength",
           "This parameter specifies the cable length in meters, for DAC cables only. It is valid only when "
           "InterfaceType is SFP_PLUS_10GB_TYPE and the Mode is Force.",
           range(0, 10))}};

constexpr hm_action_descriptor ROOT_Vexalon_PortDiscoveryAndConfiguration_DumpTransceiverData_action = {
    do_DumpTransceiverData, 0, 1,
    {param(kRequired, "WireAddress",
           "This parameter specifies the 2-wire address of the 128 bytes of transceiver data to read: A0 holds the "
           "identification and connector data, A2 the alarm and warning thresholds and vendor data (256 bytes at A0 "
           "for QSFP+ modules). The page layout is that of SFF-8472.",
           one_of("A0,A2", 2, 2))}};

constexpr hm_action_descriptor ROOT_Vexalon_PortDiscoveryAndConfiguration_ErasePortandDiscoveryConfiguration_action = {
    do_ErasePortandDiscoveryConfiguration, 0, 0, {}};

// ---- PortDiscoveryAndConfiguration ------------------------------------------------------------------
constexpr int16_t kChannelManagementRow = 8;
constexpr int16_t kBaseT10GRow = 9;
constexpr int16_t kFCoEWWPNRow = kBaseT10GRow + kBaseT10GRowCount;   // 45
constexpr int16_t kLLDPRow = 57;
constexpr int16_t kDCBXRow = kLLDPRow + kLldpRowCount;                // 90
constexpr int16_t kPFCRow = kDCBXRow + kDcbxHeadRowCount;             // 109
constexpr int16_t kApplicationTLVGroupsRow = kPFCRow + kPfcPgRowCount;   // 146
constexpr int16_t kQCNRow = kApplicationTLVGroupsRow + kApplicationTlvRowCount;   // 162

constexpr auto kHead = rows(
    /* 0 */ property(kInstance, kPropPortNumber, "This property specifies the Brightlane Port number mapped to this HBA port.",
                     kReadOnly, handle_internal_property, range(0, 3), "0"),
    /* 1 */ property(kInstance, kPropPortName, "This property specifies the name of the port.", kReadOnly,
                     handle_internal_property, length(1, 1), "0"),
    /* 2 */ property(kInstance, "PortState",
                     "This property specifies whether this port is enabled or disabled. When disabled, the link "
                     "appears to be down regardless of the actual state of the link for this port.",
                     kReadWrite, handle_PortState, one_of(kEnabledDisabled, 7, 8), "Enabled"),
    /* 3 */ property(kInstance, "PhysicalLinkStatus", "This property indicates whether the link is up or down.",
                     kReadOnly, handle_PhysicalLinkStatus, one_of("Up,Down,Unknown", 2, 7), "Unknown"),
    /* 4 */ property(kInstance, "PHYType",
                     "This property specifies the PHY type code of this port (0x0 until read). The supported codes: "
                     "0x0 XAUI; 0x1 AEL_2020 (Aeluris/Netlogic); 0x2 LSI_BRCM1 (pre-production board, needs a "
                     "workaround for the XAUI internal clock); 0x3 LSI_BRCM2 (production board); 0x4 SOLARFLARE (Dell "
                     "recommended); 0x5 AMCC_QT2025 (AMCC PHY); 0x6 AMCC_QT2225 (AMCC PHY); 0x7 BRCM_5931 (Broadcom "
                     "PHY used by HP LOM); 0x8 VX3_INTERNAL_10GB (internal 10Gb PHY in VX3); 0x9 VX3_INTERNAL_1GB "
                     "(internal 1Gb PHY in VX3); 0xA TN_2022 (Teranetics dual-port 65nm PHY); 0xB MARVELL_88E1340 "
                     "(Marvell 1G PHY); 0xC MARVELL_88E1322 (Marvell 1G PHY); 0xD TN_8022 (Teranetics dual-port 40nm "
                     "PHY); 0xE MARVELL_88E1145 (Marvell 1G PHY); 0x10 BRCM_5482 (Broadcom 5482 1G PHY); 0x11 "
                     "BRCM_84848 (Broadcom 84848 10GBaseT PHY); 0x12 AQUANTIA_1103 (Aquantia 10GBaseT PHY); 0x13 "
                     "MARVEL_88E1514 (Marvell 1G SGMII PHY); 0x20 PHY_TYPE_INTERNAL (internal controller PHY); 0xFF "
                     "PHY_TYPE_NOT_SUPPORTED (PHY not available on this board).",
                     kReadOnly, handle_PHYType, range(0, 255), "0x0"),
    /* 5 */ property(kInstance, kPropInterfaceType,
                     "This property specifies the interface type of the PHY. The valid values are \"CX4_10GB_TYPE\", "
                     "\"XFP_10GB_TYPE\", \"SFP_1GB_TYPE\", \"SFP_PLUS_10GB_TYPE\", \"KR_10GB_TYPE\", "
                     "\"KX4_10GB_TYPE\", \"BASET_10GB_TYPE\", \"BASET_1000_TYPE\", \"BASEX_1000_TYPE\", "
                     "\"SGMII_TYPE\".",
                     kReadOnly, handle_internal_property, length(2, 26), "Unknown"),
    /* 6 */ property(kInstance, kPropBeaconState,
                     "Beaconing makes the activity and link LEDs of the selected Brightlane port blink in unison, so "
                     "that the user can find the port in the system. This property specifies whether beaconing is "
                     "currently enabled on the port: Enabled, Disabled or Not Supported.",
                     kReadOnly, handle_BeaconState, one_of("Enabled,Disabled,Not Supported", 7, 13), "Disabled"),
    /* 7 */ property(kInstance, "TXThrottle",
                     "This property controls the reaction time to incoming PFC pause frames, that is how soon FCoE "
                     "traffic stops after a PFC pause for FCoE traffic is received: TXThrottle=1 is the slow "
                     "reaction, TXThrottle=2 the fast one.",
                     kReadWrite, handle_TXThrottle, length(1, 2), "2"),
    /* 8 */ group(kInstance, kGroupChannelManagement,
                  "This group specifies available Multi-Channels and respective Channel properties."));

constexpr auto kMiddle = rows(
    /* 45 */ property(kInstance, "FCoEWWPN", "This property indicates the FCoE world wide port name for this port.",
                      kReadOnly, handle_FCoEWWPN, length(0, 16), "0"),
    /* 46 */ property(kInstance, "Mode",
                      "This property specifies the mode that was set: Force, Auto-Negotiate or Default. With Default "
                      "the speed comes from the default programmed in SEEPROM. For VX2 this property will be N/A.",
                      kReadOnly, handle_get_link_speed_properties, one_of("Force,Auto-Negotiate,Default", 5, 15),
                      "Default"),
    /* 47 */ property(kInstance, "ConfiguredSpeed",
                      "This property specifies the link speed applied by the last SetPortSpeed action. Possible "
                      "values are 0, 10Mb, 100Mb, 1Gb, 10Gb, 10Gb/1Gb, 10Gb/1Gb/100Mb, 1Gb/100Mb, 1Gb/100Mb/10Mb and "
                      "100Mb/10Mb; 0 means All Supported Speeds. For VX2 this property will be N/A.",
                      kReadOnly, handle_get_link_speed_properties,
                      one_of("All Supported Speeds,10Mb,100Mb,1Gb,10Gb,10Gb/1Gb,10Gb/1Gb/100Mb,1Gb/100Mb,"
                             "1Gb/100Mb/10Mb,100Mb/10Mb,40Gb",
                             3, 20),
                      "0"),
    /* 48 */ property(kInstance, "DACCableLength",
                      "This property specifies the cable length in meters. For VX2 this property will be N/A.",
                      kReadOnly, handle_get_link_speed_properties, length(0, 10), "0"),
    /* 49 */ property(kInstance, kPropANSpeedsSupported,
                      "This property specifies the speeds at which auto-negotiation is supported on this port; they "
                      "may be requested singly or in combinations. Possible values are 0, 10Mb, 100Mb, 1Gb and 10Gb; "
                      "0 means that the mode is not supported on this PHY.",
                      kReadOnly, handle_internal_property, one_of(kPortSpeeds, 3, 10), "0"),
    /* 50 */ property(kInstance, kPropForceSpeedsSupported,
                      "This property specifies the speeds at which Force is supported on this port; only one of them "
                      "may be requested. Possible values are 0, 10Mb, 100Mb, 1Gb and 10Gb; 0 means that the mode is "
                      "not supported on this PHY.",
                      kReadOnly, handle_internal_property, one_of(kPortSpeeds, 3, 10), "0"),
    // "N/A" is not in the list: an initial text only, a set is checked against the list.
    /* 51 */ property(kInstance, "TxFlowControl",
                      "This property indicates whether the transmit of flow control messages is enabled.", kReadWrite,
                      handle_flow_control_properties, one_of(kEnabledDisabled, 7, 8), "N/A"),
    /* 52 */ property(kInstance, "RxFlowControl",
                      "This property indicates whether the response to flow control messages is enabled", kReadWrite,
                      handle_flow_control_properties, one_of(kEnabledDisabled, 7, 8), "N/A"),
    /* 53 */ action(kInstance, kActionBeacon,
                    "This command switches beaconing on or off for this port. Only one port of a controller may "
                    "beacon at a time: asking a second port of the same adapter to beacon while the first beaconing "
                    "command is still active fails with the status of an action already in progress.",
                    ROOT_Vexalon_PortDiscoveryAndConfiguration_Beacon_action),
    /* 54 */ action(kInstance, "SetPortSpeed",
                    "This command is used to set the link Speed. This command is supported on VX3 only.",
                    ROOT_Vexalon_PortDiscoveryAndConfiguration_SetPortSpeed_action),
    /* 55 */ action(kInstance, "DumpTransceiverData", "Dump Transceiver register value.",
                    ROOT_Vexalon_PortDiscoveryAndConfiguration_DumpTransceiverData_action),
    /* 56 */ action(kInstance, "ErasePortandDiscoveryConfiguration",
                    "This command resets the Brightlane port and discovery configuration of this port (such as DCBX, "
                    "LLDP and the parameters the administrator can configure) to factory defaults. All user port and "
                    "discovery settings of that port are lost. A reboot is required for the change to take effect.",
                    ROOT_Vexalon_PortDiscoveryAndConfiguration_ErasePortandDiscoveryConfiguration_action));

constexpr auto kPortRows =
    splice(kHead, baset10g_rows(kBaseT10GRow), kMiddle, lldp_rows(kLLDPRow), dcbx_head_rows(kDCBXRow),
           pfc_pg_rows(kDCBXRow, kPFCRow), application_tlv_rows(kDCBXRow, kApplicationTLVGroupsRow),
           qcn_rows(kDCBXRow, kQCNRow));

static_assert(kPortRows.size + 1 == kPortNodeCount, "the instance and 181 nodes below it");
static_assert(row_is(kPortRows, kChannelManagementRow, kGroupChannelManagement));
static_assert(row_is(kPortRows, kBaseT10GRow, kGroupBaseT10G));
static_assert(kPortRows.rows[kFCoEWWPNRow].parent == kInstance && kFCoEWWPNRow == 45);
static_assert(row_is(kPortRows, kLLDPRow, kGroupLLDP) && kLLDPRow == kFCoEWWPNRow + 12);
static_assert(row_is(kPortRows, kDCBXRow, kGroupDCBX));
static_assert(row_is(kPortRows, kPFCRow, kGroupPFC));
static_assert(row_is(kPortRows, kApplicationTLVGroupsRow, kGroupApplicationTLVGroups));
static_assert(row_is(kPortRows, kQCNRow, kGroupQCN));

InstanceBits g_port_bits;
constexpr GroupSpec kPort = group_spec(kGroupPortDiscoveryAndConfiguration,
                                       "This group allows per-port LLDP, DCBX, ICDSconfiguration and Beaconing.",
                                       kPortMax, nullptr, kPortRows.rows, g_port_bits, kVexalonMax);

// ---- Channel ----------------------------------------------------------------------------------------
constexpr hm_action_descriptor ROOT_Vexalon_PortDiscoveryAndConfiguration_ChannelManagement_Channel_ConfigureQoS_action = {
    do_ConfigureQoS, 0, 2,
    {param(kRequired, "MinBandwidth",
           "This parameter specifies MinBandwidth of given channel. The units of QoS should be in %(Percentage).",
           range(0, 100)),
     param(kRequired, "MaxBandwidth",
           "This parameter specifies MaxBandwidth of given channel. The units of QoS should be in %(Percentage).",
           range(0, 100))}};

constexpr SchemaRow kChannelRows[] = {
    property(kInstance, "FunctionNumber", "This property specifies function number of respective channel.",
             kReadOnly, handle_internal_property, range(0, 8), "0"),
    property(kInstance, "Type", "This property specifies function type i.e. NIC,iSCSI or FCoE.", kReadOnly,
             handle_internal_property, length(3, 5), "NIC"),
    property(kInstance, "vNICName",
             "This property specifies the name of this vNIC. This property is valid only when vNIC1 is enabled.",
             kReadOnly, handle_channel_vnic_name, length(1, 32), "1"),
    property(kInstance, "LogicalLinkState",
             "This property specifies the LogicalLinkState i.e. True or False. LogicalLinkState is applicable only "
             "for vNIC2/ZMC environment.",
             kReadWrite, handle_LogicalLinkState, one_of(kEnabledDisabled, 7, 8), "Disabled"),
    property(kInstance, "MACAddress", "This property specifies MACAddress of respective channel.", kReadOnly,
             handle_internal_property, length(17, 17), "00:00:00:00:00:00"),
    property(kInstance, "LPVID", "This property specifies the LPVID of respective channel.", kReadWrite, handle_LPVID,
             range(0, 4094), "2"),
    property(kInstance, "OuterVLANID",
             "This property specifies the outer VLANID of respective channel. This property is valid only when vNIC1 "
             "is enabled.",
             kReadOnly, handle_channel_outer_vlan, range(0, 4094), "0"),
    property(kInstance, "MinBandWidth",
             "This property specifies the MinBandWidth and the units will be in percentage.", kReadOnly,
             handle_MinBandWidth, range(0, 100), "0"),
    property(kInstance, "MaxBandWidth",
             "This property specifies the MaxBandWidth and the units will be in percentage.", kReadOnly,
             handle_MaxBandWidth, range(0, 100), "0"),
    action(kInstance, "ConfigureQoS",
           "This command is used to configure the QoS for given channel. All the VARU clients should taken care of "
           "Min and Max Bandwidths calculations.",
           ROOT_Vexalon_PortDiscoveryAndConfiguration_ChannelManagement_Channel_ConfigureQoS_action),
};

InstanceBits g_channel_bits;
constexpr GroupSpec kChannel = group_spec(kGroupChannel, "This group specifies Multi-Channels properties.",
                                          kChannelMax, nullptr, kChannelRows, g_channel_bits, kPortInstances);

}  // namespace

hm_node* initialize_PortDiscoveryAndConfiguration(hm_node* parent, hm_node* origin, hm_node* action,
                                                  char params[6][256]) {
  return build_instance(kPort, parent, origin, action, params);
}

hm_node* initialize_Channel(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]) {
  return build_instance(kChannel, parent, origin, action, params);
}

}  // namespace vx
