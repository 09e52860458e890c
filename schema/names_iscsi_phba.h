// Names of the iSCSI physical HBA's sub-tree (network, route, ARP, iSNS, PCI, VPD, driver) and of
// the session and connection groups, as handlers and the IMA front end look them up.
//
// Constant names carry their owning group (Phba, Route, Arp, IsnsServer, Session, Stat,
// Connection) where the node name itself is common to several families ("PCI", "MACAddress",
// "PortNumber"), so that this header can be included together with the other families' name
// headers. The login-option and CHAP names ("InitialR2T", "Authentication" ...) come from
// names_iscsi.h.
#pragma once

#include "schema/names_iscsi.h"

namespace vx {

// ---- iSCSIPhysicalHBA<n> ----------------------------------------------------------------------
constexpr const char* kGroupiSCSIPhysicalHBA = "iSCSIPhysicalHBA";
constexpr const char* kPropPhbaiSCSIBIOSEnable = "iSCSIBIOSEnable";
constexpr const char* kPropPhbaPortNumber = "PortNumber";
constexpr const char* kPropPhbaiSCSIVersionMin = "iSCSIVersionMin";
constexpr const char* kPropPhbaiSCSIVersionMax = "iSCSIVersionMax";
constexpr const char* kPropPhbaMaxCDBLength = "MaxCDBLength";
constexpr const char* kPropPhbaLDTO = "LDTO";
constexpr const char* kPropPhbaDefaultETO = "DefaultETO";
constexpr const char* kActionPhbaEraseConfiguration = "EraseConfiguration";

// .../Driver
constexpr const char* kGroupPhbaDriver = "Driver";
constexpr const char* kPropPhbaDriverName = "DriverName";
constexpr const char* kPropPhbaDriverVersion = "DriverVersion";

// .../Network and .../Network/TCPIPConfiguration
constexpr const char* kGroupPhbaNetwork = "Network";
constexpr const char* kGroupPhbaTCPIPConfiguration = "TCPIPConfiguration";
constexpr const char* kPropPhbaVLANId = "VLANId";
constexpr const char* kPropPhbaPriority = "Priority";
constexpr const char* kPropPhbaVLANEnabled = "VLANEnabled";
constexpr const char* kPropPhbaInitiatorIPAddress = "InitiatorIPAddress";
constexpr const char* kPropPhbaInitiatorSubnetMask = "InitiatorSubnetMask";
constexpr const char* kPropPhbaDefaultGateway = "DefaultGateway";
constexpr const char* kPropPhbaDHCPEnabled = "DHCPEnabled";
constexpr const char* kActionPhbaDeleteDefaultGateway = "DeleteDefaultGateway";
constexpr const char* kActionPhbaDHCPEnable = "DHCPEnable";
constexpr const char* kActionPhbaDHCPDisable = "DHCPDisable";
constexpr const char* kActionPhbaConfigureIPAddress = "ConfigureIPAddress";
constexpr const char* kActionPhbaConfigureVLAN = "ConfigureVLAN";
constexpr const char* kActionPhbaVLANDisable = "VLANDisable";
constexpr const char* kActionPhbaPing = "Ping";

// .../TCPIPConfiguration/RouteTable and /ARPTable
constexpr const char* kGroupPhbaRouteTable = "RouteTable";
constexpr const char* kActionPhbaAddRouteTableEntry = "AddRouteTableEntry";
constexpr const char* kActionPhbaDeleteRouteTableEntry = "DeleteRouteTableEntry";
constexpr const char* kActionPhbaRefreshRouteTableEntry = "RefreshRouteTableEntry";
constexpr const char* kGroupPhbaARPTable = "ARPTable";
constexpr const char* kActionPhbaAddARPTableEntry = "AddARPTableEntry";
constexpr const char* kActionPhbaDeleteARPTableEntry = "DeleteARPTableEntry";
constexpr const char* kActionPhbaRefreshARPTableEntry = "RefreshARPTableEntry";

// .../TCPIPConfiguration/IPv6Configuration
constexpr const char* kGroupPhbaIPv6Configuration = "IPv6Configuration";
constexpr const char* kPropPhbaIPv6State = "IPv6State";
constexpr const char* kPropPhbaInitiatorLinkLocalAddress = "InitiatorLinkLocalAddress";
constexpr const char* kPropPhbaInitiatorRoutableAddress1 = "InitiatorRoutableAddress1";
constexpr const char* kPropPhbaInitiatorRoutableAddress2 = "InitiatorRoutableAddress2";
constexpr const char* kPropPhbaDefaultIPv6Gateway = "DefaultIPv6Gateway";
constexpr const char* kActionPhbaDeleteDefaultIPv6Gateway = "DeleteDefaultIPv6Gateway";
constexpr const char* kActionPhbaAutoAssignEnable = "AutoAssignEnable";
constexpr const char* kActionPhbaAutoAssignDisable = "AutoAssignDisable";
constexpr const char* kActionPhbaConfigureIPv6Address = "ConfigureIPv6Address";

// .../Network/NICConfiguration and its vNIC
constexpr const char* kGroupPhbaNICConfiguration = "NICConfiguration";
constexpr const char* kPropPhbaPortSpeed = "PortSpeed";
constexpr const char* kPropPhbaPortMaxSpeed = "PortMaxSpeed";
constexpr const char* kPropPhbaMaxMTUSize = "MaxMTUSize";
constexpr const char* kPropPhbaLogicalLinkStatus = "LogicalLinkStatus";
constexpr const char* kPropPhbaActivePort = "ActivePort";
constexpr const char* kPropPhbaMACAddress = "MACAddress";
constexpr const char* kPropPhbaPermanentMACAddress = "PermanentMACAddress";
constexpr const char* kPropPhbaFactoryDefaultMACAddress = "FactoryDefaultMACAddress";
constexpr const char* kActionPhbaRefreshNICConfig = "RefreshNICConfig";
constexpr const char* kGroupPhbavNIC = "vNIC";
constexpr const char* kPropPhbavNICEnabled = "vNICEnabled";
constexpr const char* kPropPhbavNICName = "vNICName";
constexpr const char* kPropPhbaOuterVLANID = "OuterVLANID";
constexpr const char* kPropPhbaMinBandwidth = "MinBandwidth";
constexpr const char* kPropPhbaMaxBandwidth = "MaxBandwidth";

// .../VPD: the Vital Product Data hex dump in nine segments, in order.
constexpr const char* kGroupPhbaVPD = "VPD";
constexpr int kPhbaVPDDataCount = 9;
constexpr const char* kPropPhbaVPDData[kPhbaVPDDataCount] = {
    "VPDData0", "VPDData1", "VPDData2", "VPDData3", "VPDData4", "VPDData5", "VPDData6", "VPDData7", "VPDData8",
};

// .../PCI
constexpr const char* kGroupPhbaPCI = "PCI";
constexpr const char* kPropPhbaVendorID = "VendorID";
constexpr const char* kPropPhbaDeviceID = "DeviceID";
constexpr const char* kPropPhbaSubsysDeviceID = "SubsysDeviceID";
constexpr const char* kPropPhbaSubsysVendorID = "SubsysVendorID";
constexpr const char* kPropPhbaBusNumber = "BusNumber";
constexpr const char* kPropPhbaDeviceNumber = "DeviceNumber";
constexpr const char* kPropPhbaFunctionNumber = "FunctionNumber";
constexpr const char* kActionPhbaDumpiSCSIPCIConfigRegion = "DumpiSCSIPCIConfigRegion";

// .../iSNS
constexpr const char* kGroupPhbaiSNS = "iSNS";
constexpr const char* kPropPhbaiSNSEnabled = "iSNSEnabled";
constexpr const char* kActionPhbaDiscoveryiSNSThruDHCP = "DiscoveryiSNSThruDHCP";
constexpr const char* kActionPhbaConfigureiSNSServer = "ConfigureiSNSServer";
constexpr const char* kActionPhbaDeleteiSNSServer = "DeleteiSNSServer";

// ---- table entries ----------------------------------------------------------------------------
constexpr const char* kGroupRouteTableEntry = "RouteTableEntry";
constexpr const char* kPropRouteDestination = "Destination";
constexpr const char* kPropRouteSubnetMask = "SubnetMask";
constexpr const char* kPropRouteGateway = "Gateway";

constexpr const char* kGroupARPTableEntry = "ARPTableEntry";
constexpr const char* kPropArpIPAddress = "IPAddress";
constexpr const char* kPropArpMACAddress = "MACAddress";

constexpr const char* kGroupiSNSServer = "iSNSServer";
constexpr const char* kPropIsnsServerIPAddress = "IPAddress";
constexpr const char* kPropIsnsServerPortNumber = "PortNumber";

// ---- Session<n> -------------------------------------------------------------------------------
constexpr const char* kGroupSession = "Session";
constexpr const char* kPropSessionTSIH = "SessionTSIH";
constexpr const char* kPropSessionISIDQualifier = "ISIDQualifier";
constexpr const char* kPropSessionISID = "ISID";
constexpr const char* kPropSessionInitiatorName = "SessionInitiatorName";
constexpr const char* kPropSessionStatus = "SessionStatus";
constexpr const char* kPropSessioniSCSIBoot = "iSCSIBoot";
constexpr const char* kPropSessionPersistent = "Persistent";

// Session<n>/SessionLoginOptions (with its Authentication group) and
// Session<n>/SessionNegotiatedLoginOptions; their properties use the login-option names of
// names_iscsi.h.
constexpr const char* kGroupSessionLoginOptions = "SessionLoginOptions";
constexpr const char* kGroupSessionNegotiatedLoginOptions = "SessionNegotiatedLoginOptions";

// Session<n>/iSCSISessionStatistics
constexpr const char* kGroupSessionStatistics = "iSCSISessionStatistics";
constexpr const char* kPropStatSessionDirection = "SessionDirection";
constexpr const char* kPropStatCmdPdus = "CmdPdus";
constexpr const char* kPropStatRspPdus = "RspPdus";
constexpr const char* kPropStatTxDataOctetsHigh = "TxDataOctetsHigh";
constexpr const char* kPropStatRxDataOctetsHigh = "RxDataOctetsHigh";
constexpr const char* kPropStatDigestErrors = "DigestErrors";
constexpr const char* kPropStatCxnTimeoutErrors = "CxnTimeoutErrors";
constexpr const char* kPropStatSessionTargetAlias = "SessionTargetAlias";

// ---- Session<n>/Connection<n> -----------------------------------------------------------------
constexpr const char* kGroupConnection = "Connection";
constexpr const char* kPropConnectioniSCSIConnectionID = "iSCSIConnectionID";
constexpr const char* kPropConnectionStatus = "Status";
constexpr const char* kPropConnectionSourcePortNumber = "SourcePortNumber";
constexpr const char* kPropConnectionDestinationPortNumber = "DestinationPortNumber";
constexpr const char* kPropConnectionSourceIPAddress = "SourceIPAddress";
constexpr const char* kPropConnectionDestinationIPAddress = "DestinationIPAddress";
constexpr const char* kPropConnectionRedirectedDestinationPort = "RedirectedDestinationPort";
constexpr const char* kPropConnectionRedirectedDestinationIPAddress = "RedirectedDestinationIPAddress";

// Connection<n>/ConnectionNegotiatedLoginOptions (also kPropAuthenticationMethod,
// kPropHeaderDigest and kPropDataDigest)
constexpr const char* kGroupConnectionNegotiatedLoginOptions = "ConnectionNegotiatedLoginOptions";
constexpr const char* kPropConnectionMaxSendDataSegmentLength = "MaxSendDataSegmentLength";
constexpr const char* kPropConnectionTCPMSS = "TCPMSS";

}  // namespace vx
