// Names of the adapter-service groups below a controller (link configurations, profiles, NC-SI,
// firmware trace modules, event log entries) and of everything in them, as their creators and
// handlers look them up. The instanced groups' names are in vx; the names inside them live in
// vx::services, since several (Port, Protocol, MACAddress ...) recur elsewhere.
#pragma once

namespace vx {

constexpr const char* kGroupLinkConfig = "LinkConfig";                 // under LinkReconfiguration
constexpr const char* kGroupProfile = "Profile";                       // under ProfileManagement
constexpr const char* kGroupProfileProtocol = "Protocol";              // under a Profile
constexpr const char* kGroupProfilePort = "Port";                      // under ActiveProfile, ConfiguredProfile
constexpr const char* kGroupProfileFunction = "Function";              // under one of those Port instances
constexpr const char* kGroupNCSIStaticConfiguration = "NCSIStaticConfiguration";     // under NCSI
constexpr const char* kGroupNCSIDynamicConfiguration = "NCSIDynamicConfiguration";   // under NCSI
constexpr const char* kGroupExtFATModule = "ExtFATModule";             // under ExtFATData
constexpr const char* kGroupExtFATMode = "ExtFATMode";                 // under an ExtFATModule
constexpr const char* kGroupEventLogEntry = "EventLogEntry";           // under EventLog

namespace services {

// LinkConfig.
constexpr const char* kPropLinkConfigID = "LinkConfigID";
constexpr const char* kPropLinkConfigDescription = "LinkConfigDescription";

// Profile and its Protocol instances.
constexpr const char* kPropProfileId = "ProfileId";
constexpr const char* kPropProfileDescription = "ProfileDescription";
constexpr const char* kPropProtocolName = "ProtocolName";
constexpr const char* kPropFunctionCount = "FunctionCount";

// Port and Function of the active and the configured profile.
constexpr const char* kPropMCType = "MCType";
constexpr const char* kPropMaxStoragePFCount = "MaxStoragePFCount";
constexpr const char* kPropMaxNICPFCount = "MaxNICPFCount";
constexpr const char* kPropMaxRoCEPFCount = "MaxRoCEPFCount";
constexpr const char* kPropMaxiSCSIPFCount = "MaxiSCSIPFCount";
constexpr const char* kPropMaxFCoEPFCount = "MaxFCoEPFCount";
constexpr const char* kPropProtocol = "Protocol";
constexpr const char* kPropState = "State";
constexpr const char* kPropFunctionNumber = "FunctionNumber";
constexpr const char* kPropMACAddress = "MACAddress";
constexpr const char* kPropSRIOVState = "SRIOVState";
constexpr const char* kPropAvailableProtocols = "AvailableProtocols";

// NCSIStaticConfiguration (all six) and NCSIDynamicConfiguration (all but PortSwap).
constexpr const char* kPropPortSwap = "PortSwap";
constexpr const char* kPropEnableWOLPort0 = "EnableWOLPort0";
constexpr const char* kPropPort0MAC = "Port0MAC";
constexpr const char* kPropEnableWOLPort1 = "EnableWOLPort1";
constexpr const char* kPropPort1MAC = "Port1MAC";
constexpr const char* kPropMgmtVLANId = "MgmtVLANId";

// ExtFATModule and ExtFATMode.
constexpr const char* kPropModuleString = "ModuleString";
constexpr const char* kPropModuleId = "ModuleId";
constexpr const char* kPropMode = "Mode";
constexpr const char* kPropPortMask = "PortMask";
constexpr const char* kPropPCIFunctionMask = "PCIFunctionMask";
constexpr const char* kPropTraceLevel = "TraceLevel";

// EventLogEntry.
constexpr const char* kPropSequenceNumber = "SequenceNumber";
constexpr const char* kPropTimeStamp = "TimeStamp";
constexpr const char* kPropSeverity = "Severity";
constexpr const char* kPropDescription = "Description";
constexpr const char* kPropErrorCode = "ErrorCode";

}  // namespace services
}  // namespace vx
