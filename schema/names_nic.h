// Names of the NIC physical and logical HBA groups and of everything in them, as handlers, the
// access layer and start-up code look them up. The instanced groups' names are in vx; the names
// inside them live in vx::nic, since most (PortNumber, MACAddress, PCI, Driver ...) recur in the
// iSCSI physical HBA.
#pragma once

namespace vx {

constexpr const char* kGroupNICPhysicalHBA = "NICPhysicalHBA";
constexpr const char* kGroupNICLogicalHBA = "NICLogicalHBA";

namespace nic {

// Static sub-groups of NICPhysicalHBA, in creation order.
constexpr const char* kGroupVPD = "VPD";
constexpr const char* kGroupvNIC = "vNIC";
constexpr const char* kGroupNetworkBootConfiguration = "NetworkBootConfiguration";
constexpr const char* kGroupCIM = "CIM";
constexpr const char* kGroupPCI = "PCI";
constexpr const char* kGroupDriver = "Driver";

// VPD: nine segments named with this format, 0 to 8.
constexpr const char* kPropVPDDataFormat = "VPDData%d";
constexpr int kVPDSegments = 9;

// vNIC.
constexpr const char* kPropvNICEnabled = "vNICEnabled";
constexpr const char* kPropvNICName = "vNICName";
constexpr const char* kPropOuterVLANID = "OuterVLANID";
constexpr const char* kPropMinBandwidth = "MinBandwidth";
constexpr const char* kPropMaxBandwidth = "MaxBandwidth";

// NetworkBootConfiguration.
constexpr const char* kPropAvailableNetworkBootMethods = "AvailableNetworkBootMethods";
constexpr const char* kPropNetworkBootMethod = "NetworkBootMethod";
constexpr const char* kPropNetworkBootState = "NetworkBootState";
constexpr const char* kPropVolatileMACAddress = "VolatileMACAddress";
constexpr const char* kPropVLANId = "VLANId";
constexpr const char* kPropVLANPriority = "VLANPriority";
constexpr const char* kActionSetNetworkBoot = "SetNetworkBoot";
constexpr const char* kActionConfigureVLAN = "ConfigureVLAN";

// NICPhysicalHBA itself.
constexpr const char* kPropIsRoCEEnabled = "IsRoCEEnabled";
constexpr const char* kPropIsVF = "IsVF";
constexpr const char* kPropPortNumber = "PortNumber";
constexpr const char* kPropMTUSize = "MTUSize";
constexpr const char* kPropMaxMTUSize = "MaxMTUSize";
constexpr const char* kPropLogicalLinkStatus = "LogicalLinkStatus";
constexpr const char* kPropIfName = "IfName";
constexpr const char* kPropMACAddress = "MACAddress";   // also NICLogicalHBA
constexpr const char* kPropPermanentMACAddress = "PermanentMACAddress";
constexpr const char* kPropFactoryDefaultMACAddress = "FactoryDefaultMACAddress";
constexpr const char* kPropMinBitsPerSecond = "MinBitsPerSecond";
constexpr const char* kPropMaxBitsPerSecond = "MaxBitsPerSecond";
constexpr const char* kPropPortSpeed = "PortSpeed";
constexpr const char* kPropSRIOVState = "SRIOVState";
constexpr const char* kPropVEPAState = "VEPAState";
constexpr const char* kActionEraseNICConfiguration = "EraseNICConfiguration";

// CIM.
constexpr const char* kPropProtocolIfType = "ProtocolIfType";
constexpr const char* kPropLinkTechnology = "LinkTechnology";
constexpr const char* kPropCapabilities = "Capabilities";
constexpr const char* kPropEnabledCapabilities = "EnabledCapabilities";

// PCI.
constexpr const char* kPropVendorID = "VendorID";
constexpr const char* kPropDeviceID = "DeviceID";
constexpr const char* kPropSubsysDeviceID = "SubsysDeviceID";
constexpr const char* kPropSubsysVendorID = "SubsysVendorID";
constexpr const char* kPropBusNumber = "BusNumber";
constexpr const char* kPropDeviceNumber = "DeviceNumber";
constexpr const char* kPropFunctionNumber = "FunctionNumber";
constexpr const char* kActionDumpNICPCIConfigRegion = "DumpNICPCIConfigRegion";

// Driver.
constexpr const char* kPropDriverName = "DriverName";
constexpr const char* kPropDriverVersion = "DriverVersion";

// NICLogicalHBA (MACAddress above).
constexpr const char* kPropVLANID = "VLANID";
constexpr const char* kPropLinkStatus = "LinkStatus";
constexpr const char* kPropTxRate = "TxRate";

}  // namespace nic
}  // namespace vx
