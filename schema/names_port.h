// Names of the port tree (PortDiscoveryAndConfiguration<n> and everything below it, Channel<n>, PG<n>,
// ApplicationTLV<n>) that creators, handlers and the access layer look up. The instanced groups'
// names are in vx; the names inside them live in vx::port.
#pragma once

#include <cstdint>

#include "schema/controller.h"

namespace vx {

constexpr const char* kGroupPortDiscoveryAndConfiguration = "PortDiscoveryAndConfiguration";
constexpr const char* kGroupChannel = "Channel";
constexpr const char* kGroupPG = "PG";
constexpr const char* kGroupApplicationTLV = "ApplicationTLV";

// Instance maxima per parent instance.
constexpr uint16_t kPortMax = 4;
constexpr uint16_t kChannelMax = 16;
constexpr uint16_t kPGMax = 8;
constexpr uint16_t kApplicationTLVMax = 15;
// Port instances there can be; the bitfield arrays of the groups inside a port hold one bitfield each.
constexpr uint32_t kPortInstances = uint32_t{kVexalonMax} * kPortMax;

namespace port {

// The port instance's own properties that its creator writes.
constexpr const char* kPropPortNumber = "PortNumber";
constexpr const char* kPropPortName = "PortName";
constexpr const char* kPropInterfaceType = "InterfaceType";
constexpr const char* kPropANSpeedsSupported = "ANSpeedsSupported";
constexpr const char* kPropForceSpeedsSupported = "ForceSpeedsSupported";
constexpr const char* kPropBeaconState = "BeaconState";
constexpr const char* kActionBeacon = "Beacon";

// Channel<n>: one function of a port in a multichannel mode.
constexpr const char* kPropChannelFunctionNumber = "FunctionNumber";
constexpr const char* kPropChannelType = "Type";
constexpr const char* kPropChannelLogicalLinkState = "LogicalLinkState";
constexpr const char* kPropChannelMACAddress = "MACAddress";
constexpr const char* kPropChannelLPVID = "LPVID";
constexpr const char* kPropChannelOuterVLANID = "OuterVLANID";
constexpr const char* kPropChannelMinBandWidth = "MinBandWidth";
constexpr const char* kPropChannelMaxBandWidth = "MaxBandWidth";

// Static sub-groups, in the order the port builder makes them.
constexpr const char* kGroupChannelManagement = "ChannelManagement";
constexpr const char* kGroupBaseT10G = "BaseT10G";
constexpr const char* kPropIsClearCountersSupported = "IsClearCountersSupported";
constexpr const char* kGroupLLDP = "LLDP";
constexpr const char* kGroupLocalConfiguration = "LocalConfiguration";
constexpr const char* kGroupPeerConfiguration = "PeerConfiguration";
constexpr const char* kGroupLLDPStatistics = "LLDPStatistics";
constexpr const char* kGroupDCBX = "DCBX";
constexpr const char* kGroupDCBXPortVars = "DCBXPortVars";
constexpr const char* kGroupDCBXStatistics = "DCBXStatistics";
constexpr const char* kGroupPFC = "PFC";
constexpr const char* kGroupAdministratorPFCSetting = "AdministratorPFCSetting";
constexpr const char* kGroupPeerPFCSetting = "PeerPFCSetting";
constexpr const char* kGroupOperationalPFCSettings = "OperationalPFCSettings";
constexpr const char* kGroupPriorityGroups = "PriorityGroups";
constexpr const char* kGroupAdministratorPGSetting = "AdministratorPGSetting";
constexpr const char* kGroupPeerPGSetting = "PeerPGSetting";
constexpr const char* kGroupOperationalPGSettings = "OperationalPGSettings";
constexpr const char* kGroupApplicationTLVGroups = "ApplicationTLVGroups";
constexpr const char* kGroupAdministratorTLVSetting = "AdministratorTLVSetting";
constexpr const char* kGroupPeerTLVSetting = "PeerTLVSetting";
constexpr const char* kGroupOperationalTLVSettings = "OperationalTLVSettings";
constexpr const char* kGroupQCN = "QCN";
constexpr const char* kGroupAdministratorQCNSetting = "AdministratorQCNSetting";
constexpr const char* kGroupPeerQCNSetting = "PeerQCNSetting";
constexpr const char* kGroupOperationalQCNSettings = "OperationalQCNSettings";

// Application TLV instances and the action that makes administrator ones.
constexpr const char* kActionAddApplicationTLV = "AddApplicationTLV";
constexpr const char* kActionDeleteApplicationTLV = "DeleteApplicationTLV";
constexpr const char* kPropOUI = "OUI";
constexpr const char* kPropPriorityBitMap = "PriorityBitMap";
constexpr const char* kPropProtocolID = "ProtocolID";
constexpr const char* kPropProtocolSelector = "ProtocolSelector";

// Text lists shared by many rows.
constexpr const char* kEnabledDisabled = "Enabled,Disabled";
constexpr const char* kYesNo = "Yes,No";
constexpr const char* kTrueFalse = "True,False";

}  // namespace port
}  // namespace vx
