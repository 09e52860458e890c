// Schema of the iSCSI physical HBA: everything that belongs to one iSCSI PCI function rather than
// to one initiator. Most values are read from the adapter by their handlers on every read; the
// rest are cached texts that start-up and the refresh code fill.
#include "schema/iscsi_phba.h"

#include "engine/builder.h"
#include "schema/handlers.h"
#include "schema/names_iscsi_phba.h"

namespace vx {

// ---- action descriptors -----------------------------------------------------------------------
constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_EraseConfiguration_action = {
    do_EraseConfiguration, 0, 1,
    {param(kOptional, "LogicalHBAInstanceNumber", "The LogicalHBA instance whose configuration is erased (0).",
           range(0, 0))}};

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_RouteTable_AddRouteTableEntry_action = {
    do_AddRouteTableEntry, 0, 3,
    {param(kRequired, "Destination", "Destination IP address of the route.", address(0, 16)),
     param(kRequired, "SubnetMask", "Subnet mask of the route.", subnet_mask(0, 255)),
     param(kRequired, "Gateway", "Gateway of the route.", address(1, 64))}};

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_RouteTable_DeleteRouteTableEntry_action = {
    do_DeleteRouteTableEntry, 0, 1,
    {param(kRequired, "InstanceNumber", "Number of the RouteTableEntry instance to delete (0 to 1023).",
           range(0, 1023))}};

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_RouteTable_RefreshRouteTableEntry_action = {
    do_RefreshRouteTableEntry, 0, 0, {}};

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_ARPTable_AddARPTableEntry_action = {
    do_AddARPTableEntry, 0, 2,
    {param(kRequired, "IPAddress", "IP address of the entry.", address(0, 16)),
     param(kRequired, "MACAddress", "MAC address of the entry (17 characters).", length(17, 17))}};

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_ARPTable_DeleteARPTableEntry_action = {
    do_DeleteARPTableEntry, 0, 1,
    {param(kRequired, "InstanceNumber", "Number of the ARPTableEntry instance to delete (0 to 63).", range(0, 63))}};

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_ARPTable_RefreshARPTableEntry_action = {
    do_RefreshARPTableEntry, 0, 0, {}};

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_DeleteDefaultGateway_action = {
    do_DeleteDefaultGateway, 0, 0, {}};

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_DHCPEnable_action = {
    do_DHCPEnable, 0, 0, {}};

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_DHCPDisable_action = {
    do_DHCPDisable, 0, 0, {}};

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_ConfigureIPAddress_action = {
    do_ConfigureIPAddress, 0, 2,
    {param(kRequired, "IPAddress", "Static IPv4 address of the port (up to 16 characters).", length(0, 16)),
     param(kRequired, "SubnetMask", "IPv4 subnet mask of the port (up to 16 characters).", length(0, 16))}};

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_ConfigureVLAN_action = {
    do_ConfigureVLAN, 0, 2,
    {param(kRequired, "VLANId", "VLAN ID (0 to 4094).", range(0, 4094)),
     param(kOptional, "Priority", "VLAN priority (0 to 7).", range(0, 7))}};

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_VLANDisable_action = {
    do_VLANDisable, 0, 0, {}};

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_Ping_action = {
    do_Ping, 0, 1,
    {param(kRequired, "IPAddress", "The address to which the ICMP echo request is sent.", address(0, 0))}};

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_IPv6Configuration_DeleteDefaultIPv6Gateway_action = {
    do_DeleteDefaultIPv6Gateway, 0, 0, {}};

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_IPv6Configuration_AutoAssignEnable_action = {
    do_AutoAssignEnable, 0, 1,
    {param(kRequired, "Type", "How the IPv6 address is assigned: Auto or DHCP.", one_of("Auto,DHCP", 1, 4))}};

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_IPv6Configuration_AutoAssignDisable_action = {
    do_AutoAssignDisable, 0, 0, {}};

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_IPv6Configuration_ConfigureIPv6Address_action = {
    do_ConfigureIPv6Address, 0, 2,
    {param(kRequired, "AddressType", "0 link-local address, 1 routable address 1, 2 routable address 2.",
           one_of("0,1,2", 1, 1)),
     param(kRequired, "IPAddress", "The IPv6 address (1 to 50 characters).", length(1, 50))}};

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_Network_NICConfiguration_RefreshNICConfig_action = {
    do_RefreshNICConfig, 0, 0, {}};

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_PCI_DumpiSCSIPCIConfigRegion_action = {
    do_DumpiSCSIPCIConfigRegion, 0, 2,
    {param(kRequired, "RegisterOffset", "First byte of the 256-byte configuration space to show (0 to 252).",
           range(0, 252)),
     param(kRequired, "Count", "Number of bytes to show (1 to 64).", range(1, 64))}};

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_iSNS_DiscoveryiSNSThruDHCP_action = {
    do_DiscoveryiSNSThruDHCP, 0, 0, {}};

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_iSNS_ConfigureiSNSServer_action = {
    do_ConfigureiSNSServer, 0, 2,
    {param(kRequired, "IPAddress", "IP address of the iSNS server.", address(0, 0)),
     param(kOptional, "PortNum", "TCP port of the iSNS server (1024 to 65535); 3205 when not given.",
           range(1024, 65535))}};

constexpr hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_iSNS_DeleteiSNSServer_action = {
    do_DeleteiSNSServer, 0, 1,
    {param(kRequired, "InstanceNumber", "Number of the iSNSServer instance to delete (0 to 3).", range(0, 3))}};

namespace {

// Rows that other rows hang under; pinned to their names below.
enum : int16_t {
  kDriver = 7,
  kNetwork = 10,
  kTcpip = 11,
  kRouteTable = 12,
  kArpTable = 16,
  kIpv6 = 34,
  kNic = 44,
  kVnic = 45,
  kVpd = 60,
  kPci = 70,
  kIsns = 79,
};

InstanceBits g_phba_bits;

constexpr SchemaRow kPhbaRows[] = {
    /* 0 */ property(kInstance, kPropPhbaiSCSIBIOSEnable,
                     "iSCSI BIOS boot of this function: \"Yes\" switched on, \"No\" switched off.", kReadWrite,
                     handle_iSCSIBIOSEnable, one_of("Yes,No", 2, 3), "Yes"),
    /* 1 */ property(kInstance, kPropPhbaPortNumber,
                     "Physical port number of this PCI function (0 to 3); handlers below this instance use it to "
                     "address the port.",
                     kReadOnly, handle_internal_property, range(0, 3), "0"),
    /* 2 */ property(kInstance, kPropPhbaiSCSIVersionMin, "Lowest iSCSI version supported; 1 = RFC 3720.", kReadOnly,
                     handle_internal_property, length(1, 3), "1"),
    /* 3 */ property(kInstance, kPropPhbaiSCSIVersionMax, "Highest iSCSI version supported; 1 = RFC 3720.",
                     kReadOnly, handle_internal_property, length(1, 3), "1"),
    /* 4 */ property(kInstance, kPropPhbaMaxCDBLength, "Longest SCSI CDB supported, in bytes (6 to 16).", kReadOnly,
                     handle_internal_property, range(6, 16), "16"),
    /* 5 */ property(kInstance, kPropPhbaLDTO,
                     "Link-down time-out in seconds (0 to 3600): how long the iSCSI driver delays reporting an "
                     "error to the operating system.",
                     kReadOnly, handle_internal_property, range(0, 3600), "20"),
    /* 6 */ property(kInstance, kPropPhbaDefaultETO, "Default extended time-out in seconds (0 to 3600).", kReadOnly,
                     handle_internal_property, range(0, 3600), "30"),

    /* 7 */ group(kInstance, kGroupPhbaDriver, "The host operating system's iSCSI driver."),
    /* 8 */ property(kDriver, kPropPhbaDriverName, "Name of the host operating system's iSCSI driver.", kReadOnly,
                     handle_internal_property, length(2, 10), "VX2ISCSI"),
    /* 9 */ property(kDriver, kPropPhbaDriverVersion, "Version of the active iSCSI driver.", kReadOnly,
                     handle_internal_property, length(2, 6), "2"),

    /* 10 */ group(kInstance, kGroupPhbaNetwork, "Network port of this iSCSI function."),
    /* 11 */ group(kNetwork, kGroupPhbaTCPIPConfiguration, "IPv4 and IPv6 configuration of the port."),
    /* 12 */ group(kTcpip, kGroupPhbaRouteTable,
                   "IPv4 route table of the port; its entries are cached and re-read by its actions."),
    /* 13 */ action(kRouteTable, kActionPhbaAddRouteTableEntry, "Adds a static route.",
                    ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_RouteTable_AddRouteTableEntry_action),
    /* 14 */ action(kRouteTable, kActionPhbaDeleteRouteTableEntry, "Deletes a route entry.",
                    ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_RouteTable_DeleteRouteTableEntry_action),
    /* 15 */ action(kRouteTable, kActionPhbaRefreshRouteTableEntry, "Re-reads the route table from the adapter.",
                    ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_RouteTable_RefreshRouteTableEntry_action),
    /* 16 */ group(kTcpip, kGroupPhbaARPTable,
                   "ARP table of the port; its entries are cached and re-read by its actions."),
    /* 17 */ action(kArpTable, kActionPhbaAddARPTableEntry, "Adds an ARP entry.",
                    ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_ARPTable_AddARPTableEntry_action),
    /* 18 */ action(kArpTable, kActionPhbaDeleteARPTableEntry, "Deletes an ARP entry.",
                    ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_ARPTable_DeleteARPTableEntry_action),
    /* 19 */ action(kArpTable, kActionPhbaRefreshARPTableEntry, "Re-reads the ARP table from the adapter.",
                    ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_ARPTable_RefreshARPTableEntry_action),
    /* 20 */ property(kTcpip, kPropPhbaVLANId, "VLAN ID of the interface (0 to 4094); empty when VLAN is disabled.",
                      kReadOnly, handle_internal_property, range(0, 4094), "0"),
    /* 21 */ property(kTcpip, kPropPhbaPriority,
                      "VLAN priority of the interface (0 to 7); empty when VLAN is disabled.", kReadOnly,
                      handle_internal_property, range(0, 7), "0"),
    /* 22 */ property(kTcpip, kPropPhbaVLANEnabled, "\"True\" when VLAN tagging is on.", kReadOnly,
                      handle_internal_property, one_of("True,False", 4, 5), "False"),
    /* 23 */ property(kTcpip, kPropPhbaInitiatorIPAddress, "IPv4 address of the port.", kReadOnly,
                      handle_tcpip_properties, address(0, 16), "0.0.0.0"),
    /* 24 */ property(kTcpip, kPropPhbaInitiatorSubnetMask, "IPv4 subnet mask of the port.", kReadOnly,
                      handle_tcpip_properties, address(0, 255), "0.0.0.0"),
    /* 25 */ property(kTcpip, kPropPhbaDefaultGateway, "IPv4 default gateway of the port.", kReadWrite,
                      handle_DefaultGateway, address(1, 64), "0.0.0.0"),
    /* 26 */ property(kTcpip, kPropPhbaDHCPEnabled, "\"True\" when the address comes from DHCP.", kReadOnly,
                      handle_tcpip_properties, one_of("True,False", 4, 5), "False"),
    /* 27 */ action(kTcpip, kActionPhbaDeleteDefaultGateway, "Clears a manually set IPv4 default gateway.",
                    ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_DeleteDefaultGateway_action),
    /* 28 */ action(kTcpip, kActionPhbaDHCPEnable, "Switches the port to DHCP addressing.",
                    ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_DHCPEnable_action),
    /* 29 */ action(kTcpip, kActionPhbaDHCPDisable, "Switches DHCP addressing off.",
                    ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_DHCPDisable_action),
    /* 30 */ action(kTcpip, kActionPhbaConfigureIPAddress, "Sets a static IPv4 address and subnet mask.",
                    ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_ConfigureIPAddress_action),
    /* 31 */ action(kTcpip, kActionPhbaConfigureVLAN, "Switches VLAN tagging on with this ID and priority.",
                    ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_ConfigureVLAN_action),
    /* 32 */ action(kTcpip, kActionPhbaVLANDisable, "Switches VLAN tagging off.",
                    ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_VLANDisable_action),
    /* 33 */ action(kTcpip, kActionPhbaPing, "Sends an ICMP echo request.",
                    ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_Ping_action),
    /* 34 */ group(kTcpip, kGroupPhbaIPv6Configuration, "IPv6 configuration of the port."),
    /* 35 */ property(kIpv6, kPropPhbaIPv6State,
                      "\"N/A\" when the firmware has no IPv6; \"AutoAssign\" or \"Static\" address assignment.",
                      kReadOnly, handle_IPv6State, one_of("N/A,AutoAssign,Static", 3, 10), "N/A"),
    /* 36 */ property(kIpv6, kPropPhbaInitiatorLinkLocalAddress, "Link-local IPv6 address of the port.", kReadOnly,
                      handle_InitiatorLinkLocalAddress, length(1, 50), "fe80::0"),
    /* 37 */ property(kIpv6, kPropPhbaInitiatorRoutableAddress1, "First routable IPv6 address of the port.",
                      kReadOnly, handle_InitiatorRoutableAddress, length(1, 50), "fe80::0"),
    /* 38 */ property(kIpv6, kPropPhbaInitiatorRoutableAddress2, "Second routable IPv6 address of the port.",
                      kReadOnly, handle_InitiatorRoutableAddress, length(1, 50), "fe80::0"),
    /* 39 */ property(kIpv6, kPropPhbaDefaultIPv6Gateway, "IPv6 default gateway of the port.", kReadWrite,
                      handle_DefaultIPv6Gateway, length(1, 50), "fe80::0"),
    /* 40 */ action(kIpv6, kActionPhbaDeleteDefaultIPv6Gateway, "Clears a manually set IPv6 default gateway.",
                    ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_IPv6Configuration_DeleteDefaultIPv6Gateway_action),
    /* 41 */ action(kIpv6, kActionPhbaAutoAssignEnable, "Switches IPv6 auto-assignment on.",
                    ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_IPv6Configuration_AutoAssignEnable_action),
    /* 42 */ action(kIpv6, kActionPhbaAutoAssignDisable, "Switches IPv6 auto-assignment off.",
                    ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_IPv6Configuration_AutoAssignDisable_action),
    /* 43 */ action(kIpv6, kActionPhbaConfigureIPv6Address, "Sets one static IPv6 address.",
                    ROOT_Vexalon_iSCSIPhysicalHBA_Network_TCPIPConfiguration_IPv6Configuration_ConfigureIPv6Address_action),

    /* 44 */ group(kNetwork, kGroupPhbaNICConfiguration, "Link, speed and MAC addresses of the port."),
    /* 45 */ group(kNic, kGroupPhbavNIC, "The vNIC of the port."),
    /* 46 */ property(kVnic, kPropPhbavNICEnabled,
                      "\"True\" when the vNIC is enabled, \"False\" when it is disabled.", kReadOnly,
                      handle_iscsi_vnic_name_props, one_of("True,False", 4, 5), "False"),
    /* 47 */ property(kVnic, kPropPhbavNICName, "Name of the vNIC.", kReadOnly, handle_iscsi_vnic_name_props,
                      length(1, 32), "1"),
    /* 48 */ property(kVnic, kPropPhbaOuterVLANID, "Outer VLAN ID of the vNIC (0 to 4094).", kReadOnly,
                      handle_iscsi_vnic_stats, range(0, 4094), "0"),
    /* 49 */ property(kVnic, kPropPhbaMinBandwidth, "Minimum bandwidth of the vNIC in units of 10 Mbps.", kReadOnly,
                      handle_iscsi_vnic_stats, range(0, 1000), "0"),
    // The default "0" lies below the minimum of 10; kept, as readers of the value expect it.
    /* 50 */ property(kVnic, kPropPhbaMaxBandwidth, "Maximum bandwidth of the vNIC in units of 10 Mbps.", kReadOnly,
                      handle_iscsi_vnic_stats, range(10, 1000), "0"),
    /* 51 */ property(kNic, kPropPhbaPortSpeed, "Current link speed.", kReadOnly, handle_portspeed,
                      one_of("0 (Link Down),less than 1Mb,less than 1Gb,1Gb,10Gb,20Gb,25Gb,40Gb,100Gb", 3, 13),
                      "0 (Link Down)"),
    /* 52 */ property(kNic, kPropPhbaPortMaxSpeed, "Highest speed of the port.", kReadOnly, handle_NICprop,
                      one_of("Unknown,less than 1Mb,less than 1Gb,1Gb,10Gb", 3, 13), "Unknown"),
    /* 53 */ property(kNic, kPropPhbaMaxMTUSize, "Largest MTU for iSCSI traffic, in bytes.", kReadOnly,
                      handle_NICprop, range(64, 9200), "8342"),
    /* 54 */ property(kNic, kPropPhbaLogicalLinkStatus, "Logical link up or down.", kReadOnly,
                      handle_logical_link_status, one_of("Up,Down,Unknown", 2, 7), "Unknown"),
    /* 55 */ property(kNic, kPropPhbaActivePort, "The active port of the controller.", kReadOnly, handle_activeport,
                      one_of("Port 0,Port 1,None", 0, 26), "Port 0"),
    /* 56 */ property(kNic, kPropPhbaMACAddress, "Current MAC address of the iSCSI port.", kReadOnly,
                      handle_iSCSIPhysicalHBA_Network_NICConfiguration_MACAddress, length(17, 17),
                      "00:00:00:00:00:00"),
    /* 57 */ property(kNic, kPropPhbaPermanentMACAddress,
                      "Permanent override MAC address; reads show the factory MAC address, writes are refused.",
                      kReadWrite, handle_iSCSIPhysicalHBA_Network_NICConfiguration_PermanentMACAddress,
                      length(17, 17), "00:00:00:00:00:00"),
    /* 58 */ property(kNic, kPropPhbaFactoryDefaultMACAddress, "Factory-set MAC address of the iSCSI port.",
                      kReadOnly, handle_internal_property, length(17, 17), "00:00:00:00:00:00"),
    /* 59 */ action(kNic, kActionPhbaRefreshNICConfig, "Re-reads the NIC parameters and MAC addresses.",
                    ROOT_Vexalon_iSCSIPhysicalHBA_Network_NICConfiguration_RefreshNICConfig_action),

    /* 60 */ group(kInstance, kGroupPhbaVPD,
                   "Vital Product Data of the function as a hex dump in nine segments, in order."),
    /* 61 */ property(kVpd, kPropPhbaVPDData[0], "Vital Product Data, segment 0.", kReadOnly,
                      handle_internal_property, length(0, 256)),
    /* 62 */ property(kVpd, kPropPhbaVPDData[1], "Vital Product Data, segment 1.", kReadOnly,
                      handle_internal_property, length(0, 256)),
    /* 63 */ property(kVpd, kPropPhbaVPDData[2], "Vital Product Data, segment 2.", kReadOnly,
                      handle_internal_property, length(0, 256)),
    /* 64 */ property(kVpd, kPropPhbaVPDData[3], "Vital Product Data, segment 3.", kReadOnly,
                      handle_internal_property, length(0, 256)),
    /* 65 */ property(kVpd, kPropPhbaVPDData[4], "Vital Product Data, segment 4.", kReadOnly,
                      handle_internal_property, length(0, 256)),
    /* 66 */ property(kVpd, kPropPhbaVPDData[5], "Vital Product Data, segment 5.", kReadOnly,
                      handle_internal_property, length(0, 256)),
    /* 67 */ property(kVpd, kPropPhbaVPDData[6], "Vital Product Data, segment 6.", kReadOnly,
                      handle_internal_property, length(0, 256)),
    /* 68 */ property(kVpd, kPropPhbaVPDData[7], "Vital Product Data, segment 7.", kReadOnly,
                      handle_internal_property, length(0, 256)),
    /* 69 */ property(kVpd, kPropPhbaVPDData[8], "Vital Product Data, segment 8.", kReadOnly,
                      handle_internal_property, length(0, 256)),

    /* 70 */ group(kInstance, kGroupPhbaPCI, "PCI identity of the iSCSI function (hexadecimal texts)."),
    /* 71 */ property(kPci, kPropPhbaVendorID, "PCI vendor ID of the iSCSI function.", kReadOnly,
                      handle_internal_property, range(0, 65535), "0"),
    /* 72 */ property(kPci, kPropPhbaDeviceID, "PCI device ID.", kReadOnly, handle_internal_property,
                      range(0, 65535), "0"),
    /* 73 */ property(kPci, kPropPhbaSubsysDeviceID, "PCI subsystem device ID.", kReadOnly,
                      handle_internal_property, range(0, 65535), "0"),
    /* 74 */ property(kPci, kPropPhbaSubsysVendorID, "PCI subsystem vendor ID.", kReadOnly,
                      handle_internal_property, range(0, 65535), "0"),
    /* 75 */ property(kPci, kPropPhbaBusNumber, "PCI bus number.", kReadOnly, handle_internal_property,
                      range(0, 255), "0"),
    /* 76 */ property(kPci, kPropPhbaDeviceNumber, "PCI device number.", kReadOnly, handle_internal_property,
                      range(0, 32), "0"),
    /* 77 */ property(kPci, kPropPhbaFunctionNumber, "PCI function number.", kReadOnly, handle_internal_property,
                      range(0, 8), "0"),
    /* 78 */ action(kPci, kActionPhbaDumpiSCSIPCIConfigRegion,
                    "Shows bytes of the PCI configuration space as hex.",
                    ROOT_Vexalon_iSCSIPhysicalHBA_PCI_DumpiSCSIPCIConfigRegion_action),

    /* 79 */ group(kInstance, kGroupPhbaiSNS, "iSNS discovery settings and the iSNS servers known to the firmware.",
                   group_iSNS),
    /* 80 */ property(kIsns, kPropPhbaiSNSEnabled, "iSNS discovery switched on (\"Yes\") or off (\"No\").",
                      kReadWrite, handle_discoveryparams, one_of("Yes,No", 1, 3), "No"),
    /* 81 */ action(kIsns, kActionPhbaDiscoveryiSNSThruDHCP, "Finds iSNS servers through DHCP.",
                    ROOT_Vexalon_iSCSIPhysicalHBA_iSNS_DiscoveryiSNSThruDHCP_action),
    /* 82 */ action(kIsns, kActionPhbaConfigureiSNSServer, "Configures an iSNS server.",
                    ROOT_Vexalon_iSCSIPhysicalHBA_iSNS_ConfigureiSNSServer_action),
    /* 83 */ action(kIsns, kActionPhbaDeleteiSNSServer, "Deletes an iSNS server entry.",
                    ROOT_Vexalon_iSCSIPhysicalHBA_iSNS_DeleteiSNSServer_action),

    /* 84 */ action(kInstance, kActionPhbaEraseConfiguration,
                    "Resets the iSCSI configuration of the function to factory defaults.",
                    ROOT_Vexalon_iSCSIPhysicalHBA_EraseConfiguration_action),
};

static_assert(row_is(kPhbaRows, kDriver, kGroupPhbaDriver) && row_is(kPhbaRows, kNetwork, kGroupPhbaNetwork) &&
                  row_is(kPhbaRows, kTcpip, kGroupPhbaTCPIPConfiguration) &&
                  row_is(kPhbaRows, kRouteTable, kGroupPhbaRouteTable) &&
                  row_is(kPhbaRows, kArpTable, kGroupPhbaARPTable) &&
                  row_is(kPhbaRows, kIpv6, kGroupPhbaIPv6Configuration) &&
                  row_is(kPhbaRows, kNic, kGroupPhbaNICConfiguration) && row_is(kPhbaRows, kVnic, kGroupPhbavNIC) &&
                  row_is(kPhbaRows, kVpd, kGroupPhbaVPD) && row_is(kPhbaRows, kPci, kGroupPhbaPCI) &&
                  row_is(kPhbaRows, kIsns, kGroupPhbaiSNS),
              "group row indices out of step with the table");

constexpr GroupSpec kPhba = group_spec(kGroupiSCSIPhysicalHBA,
                                       "One iSCSI PCI function of the controller: boot switch, port number and "
                                       "protocol limits, host driver, network port, VPD, PCI identity and iSNS.",
                                       /*max*/ 8, nullptr, kPhbaRows, g_phba_bits);

}  // namespace

hm_node* initialize_iSCSIPhysicalHBA(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]) {
  return build_instance(kPhba, parent, origin, action, params);
}

}  // namespace vx
