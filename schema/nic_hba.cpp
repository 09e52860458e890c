// NICPhysicalHBA<k> (one per NIC PCI function of a controller) and NICLogicalHBA<v> (one per SR-IOV
// virtual function of it). The enumeration builds them with no creating action, so neither is
// persistent; the group refresh of a NICPhysicalHBA replaces its NICLogicalHBA instances.
#include "schema/nic_hba.h"

#include <iterator>

#include "engine/builder.h"
#include "schema/handlers.h"
#include "schema/names_nic.h"

namespace vx {
namespace {

using namespace nic;

constexpr const char* kTrueFalse = "True,False";
constexpr const char* kEnabledDisabled = "Enabled,Disabled";
constexpr const char* kBootMethods = "PXE,iBFT";
constexpr const char* kZeroMac = "00:00:00:00:00:00";

// ---- action descriptors -------------------------------------------------------------------------
constexpr hm_action_descriptor ROOT_Vexalon_NICPhysicalHBA_NetworkBootConfiguration_SetNetworkBoot_action = {
    do_SetNetworkBoot, 0, 2,
    {param(kRequired, "NetworkBootState",
           "This parameter indicates the network boot state to configure. The valid values are Enabled or Disabled.",
           one_of(kEnabledDisabled, 7, 8)),
     param(kOptional, "NetworkBootMethod",
           "This parameter indicates the network boot method to configure. The valid values are PXE and iBFT. For "
           "Quenta controller iBFT and PXE configuration is valid and remaining other controller only PXE boot "
           "configuration is valid. This parameter is required only when NetworkBootState is Enabled.",
           one_of(kBootMethods, 3, 4))}};

constexpr hm_action_descriptor ROOT_Vexalon_NICPhysicalHBA_NetworkBootConfiguration_ConfigureVLAN_action = {
    do_NICPhysicalHBA_NetworkBootConfiguration_ConfigureVLAN, 0, 2,
    {param(kRequired, "VLANId", "This parameter takes the value ranges from 0 to 4095 to enable VLAN.",
           range(0, 4095)),
     param(kOptional, "Priority", "This property indicates the VLAN priority of the interface.", range(0, 7))}};

constexpr hm_action_descriptor ROOT_Vexalon_NICPhysicalHBA_EraseNICConfiguration_action = {
    do_EraseNICConfiguration, 0, 0, {}};

constexpr hm_action_descriptor ROOT_Vexalon_NICPhysicalHBA_PCI_DumpNICPCIConfigRegion_action = {
    do_DumpNICPCIConfigRegion, 0, 2,
    {param(kRequired, "RegisterOffset", "PCI Register.", range(0, 252)),
     param(kRequired, "Count", "This parameter indicates the number of configuration space registers to be read.",
           range(1, 64))}};

// ---- NICPhysicalHBA -----------------------------------------------------------------------------
constexpr int16_t kVPDRow = 0;
constexpr int16_t kvNICRow = 10;
constexpr int16_t kNetworkBootRow = 16;
constexpr int16_t kCIMRow = 41;
constexpr int16_t kPCIRow = 46;
constexpr int16_t kDriverRow = 55;

constexpr const char* kVPDSegmentText =
    "This property is a hex dump of the segment of VPD data retrieved from a Brightlane controller by VARU.";

// clang-format off
constexpr SchemaRow kNICPhysicalHBARows[] = {
  /*  0 */ group(kInstance, kGroupVPD,
                 "This group contains the Vital Product Data (VPD), which provides information such as product model "
                 "number, a unique serial number, product release level, installed features, and other standard or "
                 "vendor specific details recorded on a Brightlane controller. This data is retrieved by VARU from "
                 "the controller and can be displayed through the BL Manager. Because of VARU size limitations, this "
                 "data is separated into segments designated by VPDdata0 - VPDdata8 properties."),
  /*  1 */ property(kVPDRow, "VPDData0", kVPDSegmentText, kReadOnly, handle_internal_property, length(0, 256)),
  /*  2 */ property(kVPDRow, "VPDData1", kVPDSegmentText, kReadOnly, handle_internal_property, length(0, 256)),
  /*  3 */ property(kVPDRow, "VPDData2", kVPDSegmentText, kReadOnly, handle_internal_property, length(0, 256)),
  /*  4 */ property(kVPDRow, "VPDData3", kVPDSegmentText, kReadOnly, handle_internal_property, length(0, 256)),
  /*  5 */ property(kVPDRow, "VPDData4", kVPDSegmentText, kReadOnly, handle_internal_property, length(0, 256)),
  /*  6 */ property(kVPDRow, "VPDData5", kVPDSegmentText, kReadOnly, handle_internal_property, length(0, 256)),
  /*  7 */ property(kVPDRow, "VPDData6", kVPDSegmentText, kReadOnly, handle_internal_property, length(0, 256)),
  /*  8 */ property(kVPDRow, "VPDData7", kVPDSegmentText, kReadOnly, handle_internal_property, length(0, 256)),
  /*  9 */ property(kVPDRow, "VPDData8", kVPDSegmentText, kReadOnly, handle_internal_property, length(0, 256)),

  /* 10 */ group(kInstance, kGroupvNIC, "This group contains the properties of this vNIC."),
  /* 11 */ property(kvNICRow, kPropvNICEnabled,
                    "This property indicates whether this vNIC is enabled or disabled. \"True\" indicates vNIC is "
                    "enabled and \"False\" indicates vNIC is disabled.",
                    kReadOnly, handle_nic_vnic_name_props, one_of(kTrueFalse, 4, 5), "False"),
  /* 12 */ property(kvNICRow, kPropvNICName, "This property specifies the name of this vNIC.",
                    kReadOnly, handle_nic_vnic_name_props, length(1, 32), "1"),
  /* 13 */ property(kvNICRow, kPropOuterVLANID, "This property indicates the outer VLAN ID of this vNIC.",
                    kReadOnly, handle_nic_vnic_stats, range(0, 4094), "0"),
  /* 14 */ property(kvNICRow, kPropMinBandwidth,
                    "This property specifies the value used to calculate the minimum bandwidth for this vNIC. To "
                    "convert the returned value to the actual minimum bandwidth throughput, 'n' must be multiplied "
                    "by 10Mbps. For example, if 'n' equals 100, multiply 100 by 10Mbps. The minimum bandwidth would "
                    "then be 1,000Mbps or 1Gbs.",
                    kReadOnly, handle_nic_vnic_stats, range(0, 1000), "0"),
  // The default "0" lies below the minimum 10; kept, the handler replaces it on the first read.
  /* 15 */ property(kvNICRow, kPropMaxBandwidth,
                    "This property specifies the value used to calculate the maximum bandwidth for this vNIC. To "
                    "convert the returned value to the actual maximum bandwidth throughput, 'n' must be multiplied "
                    "by 10Mbps. For example, if 'n' equals 100, multiply 100 by 10Mbps. The maximum bandwidth would "
                    "then be 1,000Mbps or 1Gbs.",
                    kReadOnly, handle_nic_vnic_stats, range(10, 1000), "0"),

  /* 16 */ group(kInstance, kGroupNetworkBootConfiguration, "This group contains the properties of Network Boot options."),
  /* 17 */ property(kNetworkBootRow, kPropAvailableNetworkBootMethods,
                    "This property specifies the available Network boot methods. The valid values are PXE and iBFT.",
                    kReadOnly, handle_AvailableNetworkBootMethods, one_of(kBootMethods, 3, 4), "PXE"),
  /* 18 */ property(kNetworkBootRow, kPropNetworkBootMethod,
                    "This property specifies the configured NetworkBoot method. The valid values are PXE and iBFT.",
                    kReadOnly, handle_networkboot_config, one_of(kBootMethods, 3, 4), "PXE"),
  /* 19 */ property(kNetworkBootRow, kPropNetworkBootState,
                    "This property specifies the configured NetworkBoot state. The valid values are Enabled and "
                    "Disabled.",
                    kReadOnly, handle_networkboot_config, one_of(kEnabledDisabled, 2, 3), "Enabled"),
  /* 20 */ property(kNetworkBootRow, kPropVolatileMACAddress,
                    "This property specifies semi-volatile MAC address for this NIC interface. Configured MAC is "
                    "persistent across function reset, firmware reset and PCI hot/fundamental reset but not on power "
                    "cycle.",
                    kReadWrite, handle_VolatileMACAddress, length(17, 17), kZeroMac),
  /* 21 */ property(kNetworkBootRow, kPropVLANId,
                    "This property indicates the VLAN ID of the interface. Value of Zero indicates VLAN is disabled.",
                    kReadOnly, handle_vlan_properties, range(0, 4095), "0"),
  /* 22 */ property(kNetworkBootRow, kPropVLANPriority, "This property indicates the VLAN priority of the interface.",
                    kReadOnly, handle_vlan_properties, range(0, 7), "0"),
  /* 23 */ action(kNetworkBootRow, kActionSetNetworkBoot, "This command is used to configure the network BIOS.",
                  ROOT_Vexalon_NICPhysicalHBA_NetworkBootConfiguration_SetNetworkBoot_action),
  /* 24 */ action(kNetworkBootRow, kActionConfigureVLAN, " This command is used to enable VLAN.",
                  ROOT_Vexalon_NICPhysicalHBA_NetworkBootConfiguration_ConfigureVLAN_action),

  /* 25 */ property(kInstance, kPropIsRoCEEnabled,
                    "This property specifies whether RoCE is running on this NIC function or not. If RoCE running on "
                    "this NIC function then the value of this property will be True otherwise the value will be "
                    "False. And this property is applicable only for Orvelle adapter.",
                    kReadOnly, handle_IsRoCEEnabled, one_of(kTrueFalse, 4, 5), "False"),
  /* 26 */ property(kInstance, kPropIsVF,
                    "This property specifies whether the VARU running on GuestOs or not. If VARU running on GuestOS "
                    "then the value of this property will be True otherwise the value will be False.",
                    kReadOnly, handle_internal_property, one_of(kTrueFalse, 4, 5), "False"),
  /* 27 */ property(kInstance, kPropPortNumber, "This property specifies the port number assigned to this PCI function.",
                    kReadOnly, handle_internal_property, range(0, 3), "0"),
  /* 28 */ property(kInstance, kPropMTUSize,
                    "This property indicates the current MTU supported for NIC/TOE traffic for this Brightlane "
                    "controller. For more information on MTU, see the Brightlane documentation.",
                    kReadOnly, handle_nic_MTUSize, range(64, 9000), "1500"),
  /* 29 */ property(kInstance, kPropMaxMTUSize,
                    "This property indicates the maximum MTU supported for NIC/TOE traffic for this Brightlane "
                    "controller. For more information on MTU, see the Brightlane documentation.",
                    kReadOnly, handle_internal_property, range(64, 9000), "9000"),
  /* 30 */ property(kInstance, kPropLogicalLinkStatus, "This property indicates whether the link is up or down.",
                    kReadOnly, handle_nic_logical_link_status, one_of("Up,Down,Unknown", 2, 7), "Unknown"),
  /* 31 */ property(kInstance, kPropIfName, "This property displays the Interface name string for this NIC interface.",
                    kReadOnly, handle_internal_property, length(1, 32), "1"),
  /* 32 */ property(kInstance, kPropMACAddress, "This property specifies the current MAC address for this NIC interface.",
                    kReadWrite, handle_NICPhysicalHBA_MACAddress, length(17, 17), kZeroMac),
  /* 33 */ property(kInstance, kPropPermanentMACAddress,
                    "This property specifies the Permanent Orverride MAC address for this NIC interface.",
                    kReadWrite, handle_NICPhysicalHBA_PermanentMACAddress, length(17, 17), kZeroMac),
  /* 34 */ property(kInstance, kPropFactoryDefaultMACAddress,
                    "This property specifies the factory-set MAC address for this NIC interface.",
                    kReadOnly, handle_internal_property, length(17, 17), kZeroMac),
  /* 35 */ property(kInstance, kPropMinBitsPerSecond,
                    "This property specifies the MinBitsPerSecond number for this NIC interface. The number 'n' "
                    "indicates 'n*100Mbit' throughput on this interface. A value zero means entire bandwidth is "
                    "allocated to this NIC interface. Valid values are 0,10 to 100.",
                    kReadOnly, handle_nic_bandwidth_softcap, range(0, 1000), "0"),
  /* 36 */ property(kInstance, kPropMaxBitsPerSecond,
                    "This property specifies the MaxBitsPerSecond number for this NIC interface. The number 'n' "
                    "indicates 'n*10Mbit' throughput on this interface. A value zero means entire bandwidth is "
                    "allocated to this NIC interface. If there is only one NIC PCI function per port, then the value "
                    "will be zero and non-settable allowing the entire bandwidth for this interface. Valid values are "
                    "0,10 to 100.",
                    kReadOnly, handle_nic_bandwidth_softcap, range(0, 1000), "0"),
  /* 37 */ property(kInstance, kPropPortSpeed,
                    "This property specifies the port speed settings. Possible values are 0 (Link Down), less than "
                    "1Mb, less than 1Gb, 1Gb, 10Gb.",
                    kReadOnly, handle_portspeed,
                    one_of("0 (Link Down),less than 1Mb,less than 1Gb,1Gb,10Gb,20Gb,25Gb,40Gb,100Gb", 3, 13),
                    "0 (Link Down)"),
  /* 38 */ property(kInstance, kPropSRIOVState,
                    "This property specifies whether SRIOV is enabled, disabled or N/A for this interface.",
                    kReadWrite, handle_NICPhysicalHBA_SRIOVState, one_of(kEnabledDisabled, 7, 8), "Disabled"),
  /* 39 */ property(kInstance, kPropVEPAState,
                    "This property specifies whether VEPA is enabled, disabled or N/A for this interface.",
                    kReadWrite, handle_VEPAState, one_of(kEnabledDisabled, 7, 8), "Disabled"),
  /* 40 */ action(kInstance, kActionEraseNICConfiguration,
                  "This command resets the Brightlane NIC (PXE and PXEPrism) configuration to factory default "
                  "settings. Upon successful completion of this command, all user PXE configured settings will be "
                  "lost on the particular port of the Brightlane controller that was configured. A reboot is "
                  "required for these changes to take effect.",
                  ROOT_Vexalon_NICPhysicalHBA_EraseNICConfiguration_action),

  /* 41 */ group(kInstance, kGroupCIM, "This group contains the properties of this interface."),
  /* 42 */ property(kCIMRow, kPropProtocolIfType,
                    "ProtocolIFType's enumeration is limited to Layer 2-related and reserved values for this subclass "
                    "of ProtocolEndpoint.",
                    kReadOnly, handle_ProtocolIfType, length(1, 32), "1"),
  /* 43 */ property(kCIMRow, kPropLinkTechnology, "This property represents the enumeration of the types of links.",
                    kReadOnly, handle_LinkTechnology, length(1, 32), "1"),
  /* 44 */ property(kCIMRow, kPropCapabilities, "Capabilities of the EthernetPort.",
                    kReadOnly, handle_Vexalon_NICPhysicalHBA_CIM_Capabilities, length(1, 64), "1"),
  /* 45 */ property(kCIMRow, kPropEnabledCapabilities,
                    "This property specifies which capabilities are enabled from the list of all supported "
                    "Capabilities",
                    kReadOnly, handle_EnabledCapabilities, length(1, 64), "1"),

  /* 46 */ group(kInstance, kGroupPCI, "This group contains the PCI properties of the Brightlane controller."),
  /* 47 */ property(kPCIRow, kPropVendorID, "This property displays the PCI Vendor ID.",
                    kReadOnly, handle_internal_property, range(0, 65535), "0"),
  /* 48 */ property(kPCIRow, kPropDeviceID, "This property displays the PCI Device ID.",
                    kReadOnly, handle_internal_property, range(0, 65535), "0"),
  /* 49 */ property(kPCIRow, kPropSubsysDeviceID, "This property displays the PCI Subsystem Device ID.",
                    kReadOnly, handle_internal_property, range(0, 65535), "0"),
  /* 50 */ property(kPCIRow, kPropSubsysVendorID, "This property displays the PCI Subsystem Vendor ID.",
                    kReadOnly, handle_internal_property, range(0, 65535), "0"),
  /* 51 */ property(kPCIRow, kPropBusNumber, "This property displays the PCI Bus Number.",
                    kReadOnly, handle_internal_property, range(0, 255), "0"),
  /* 52 */ property(kPCIRow, kPropDeviceNumber, "This property displays the PCI Device Number.",
                    kReadOnly, handle_internal_property, range(0, 32), "0"),
  /* 53 */ property(kPCIRow, kPropFunctionNumber, "This property displays the PCI Function number for the NIC function.",
                    kReadOnly, handle_internal_property, range(0, 8), "0"),
  /* 54 */ action(kPCIRow, kActionDumpNICPCIConfigRegion,
                  " This command can be used to dump the PCI configuration space as an array of Hex values. The first "
                  "256 bytes of configuration space can be read using this command. Since SM-CLP has a 256byte ASCII "
                  "limit, use the RegisterOffset and Count parameters to retrieve the data in multiple chunks.",
                  ROOT_Vexalon_NICPhysicalHBA_PCI_DumpNICPCIConfigRegion_action),

  /* 55 */ group(kInstance, kGroupDriver, "This group corresponds to information about the iSCSI initiator driver."),
  /* 56 */ property(kDriverRow, kPropDriverName, "This property displays the name of the driver.",
                    kReadOnly, handle_internal_property, length(2, 10), "VX2NET"),
  /* 57 */ property(kDriverRow, kPropDriverVersion, "This property displays the current version of the driver.",
                    kReadOnly, handle_internal_property, length(2, 6), "2"),
};
// clang-format on

static_assert(std::size(kNICPhysicalHBARows) == 58, "the instance and 58 nodes below it");
static_assert(row_is(kNICPhysicalHBARows, kVPDRow, kGroupVPD));
static_assert(row_is(kNICPhysicalHBARows, kvNICRow, kGroupvNIC));
static_assert(row_is(kNICPhysicalHBARows, kNetworkBootRow, kGroupNetworkBootConfiguration));
static_assert(row_is(kNICPhysicalHBARows, kCIMRow, kGroupCIM));
static_assert(row_is(kNICPhysicalHBARows, kPCIRow, kGroupPCI));
static_assert(row_is(kNICPhysicalHBARows, kDriverRow, kGroupDriver));

InstanceBits g_nic_physical_hba_bits;
constexpr GroupSpec kNICPhysicalHBA = group_spec(
    kGroupNICPhysicalHBA,
    "This group represents the Physical HBA group that contains the properties of the NIC interface for this "
    "domain of the Brightlane controller.",
    /*max*/ 32, group_NICPhysicalHBA, kNICPhysicalHBARows, g_nic_physical_hba_bits);

// ---- NICLogicalHBA ------------------------------------------------------------------------------
// clang-format off
constexpr SchemaRow kNICLogicalHBARows[] = {
  /* 0 */ property(kInstance, kPropMACAddress, "This property specifies the current MAC address of NICLogicalHBA.",
                   kReadWrite, handle_niclogicalhba_macaddress, length(17, 17), kZeroMac),
  /* 1 */ property(kInstance, kPropVLANID, "This property indicates the VLANID of NICLogicalHBA.",
                   kReadWrite, handle_niclogicalhba_vlanid, range(0, 4094), "0"),
  /* 2 */ property(kInstance, kPropLinkStatus, "This property indicates whether NICLogicalHBA link is up or down.",
                   kReadOnly, handle_LinkStatus, one_of("Up,Down", 2, 7), "Up"),
  /* 3 */ property(kInstance, kPropTxRate, "This property specifies the NICLogicalHBA TxRate in units of Mb/s.",
                   kReadWrite, handle_niclogicalhba_txrate, range(1, 10000), "100"),
};
// clang-format on

InstanceBits g_nic_logical_hba_bits;
constexpr GroupSpec kNICLogicalHBA = group_spec(
    kGroupNICLogicalHBA,
    "This group specifies virtual functions of respective NICPhysicalHBA. This group and its properties are "
    "applicable only on hypervisors which support SR-IOV.",
    /*max*/ 64, nullptr, kNICLogicalHBARows, g_nic_logical_hba_bits);

}  // namespace

hm_node* initialize_NICPhysicalHBA(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]) {
  return build_instance(kNICPhysicalHBA, parent, origin, action, params);
}

hm_node* initialize_NICLogicalHBA(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]) {
  return build_instance(kNICLogicalHBA, parent, origin, action, params);
}

}  // namespace vx
