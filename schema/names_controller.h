// Names of the controller group and of everything in it, as handlers, start-up code and the IMA
// front end look them up. The controller instance's own name is in vx; the names inside it live in
// vx::controller, since several (Capabilities, ProfileId, Description ...) recur in other groups.
#pragma once

namespace vx {

constexpr const char* kGroupVexalon = "Vexalon";

namespace controller {

// Static sub-groups, in creation order.
constexpr const char* kGroupLinkReconfiguration = "LinkReconfiguration";
constexpr const char* kGroupFRUVPD = "FRUVPD";
constexpr const char* kGroupChannelManagement = "ChannelManagement";
constexpr const char* kGroupProfileManagement = "ProfileManagement";
constexpr const char* kGroupActiveProfile = "ActiveProfile";
constexpr const char* kGroupConfiguredProfile = "ConfiguredProfile";
constexpr const char* kGroupNICCIM = "NICCIM";
constexpr const char* kGroupPersonality = "Personality";
constexpr const char* kGroupOEM = "OEM";
constexpr const char* kGroupNCSI = "NCSI";
constexpr const char* kGroupExtFATData = "ExtFATData";
constexpr const char* kGroupEventLog = "EventLog";
constexpr const char* kGroupFATData = "FATData";
constexpr const char* kGroupDiagnostics = "Diagnostics";

// Properties of the controller instance.
constexpr const char* kPropAdvancedMode = "AdvancedMode";
constexpr const char* kPropControllerStatus = "ControllerStatus";
constexpr const char* kPropManufacturer = "Manufacturer";
constexpr const char* kPropModelNumber = "ModelNumber";
constexpr const char* kPropDescription = "Description";
constexpr const char* kPropSerialNumber = "SerialNumber";
constexpr const char* kPropCapabilities = "Capabilities";
constexpr const char* kPropActiveFirmwareVersion = "ActiveFirmwareVersion";
constexpr const char* kPropFirmwareVersionOnFlash = "FirmwareVersionOnFlash";
constexpr const char* kPropBIOSVersion = "BIOSVersion";
constexpr const char* kPropBootCodeVersion = "BootCodeVersion";
constexpr const char* kPropFirmwareStatus = "FirmwareStatus";
constexpr const char* kPropFCoEUniversalVersion = "FCoEUniversalVersion";
constexpr const char* kPropFCoEx86BIOSVersion = "FCoEx86BIOSVersion";
constexpr const char* kPropFCoEEFIVersion = "FCoEEFIVersion";
constexpr const char* kPropFCoEFCODEVersion = "FCoEFCODEVersion";
constexpr const char* kPropUEFIBIOSVersion = "UEFIBIOSVersion";
constexpr const char* kPropUEFINICVersion = "UEFINICVersion";
constexpr const char* kPropUEFIFCODEVersion = "UEFIFCODEVersion";
constexpr const char* kPropUEFISCSIVersion = "UEFISCSIVersion";
constexpr const char* kPropPHYFirmwareVersion = "PHYFirmwareVersion";
constexpr const char* kPropPHYConfigurationId = "PHYConfigurationId";
constexpr const char* kPropVexalonOnDieTemperature = "VexalonOnDieTemperature";
constexpr const char* kPropIPLFileName = "IPLFileName";
constexpr const char* kPropPCIExpressLinkSpeed = "PCIExpressLinkSpeed";
constexpr const char* kPropPCIExpressBusWidth = "PCIExpressBusWidth";
constexpr const char* kPropFFVName = "FFVName";

// LinkReconfiguration.
constexpr const char* kPropActiveLinkConfigID = "ActiveLinkConfigID";
constexpr const char* kPropConfiguredLinkConfigID = "ConfiguredLinkConfigID";

// FRUVPD: eleven segments named with this format, 0 to 10.
constexpr const char* kPropFRUVPDDataFormat = "FRUVPDData%d";
constexpr int kFRUVPDSegments = 11;

// ChannelManagement.
constexpr const char* kPropSupportedMCTypes = "SupportedMCTypes";
constexpr const char* kPropCurrentManagementType = "CurrentManagementType";
constexpr const char* kPropConfiguredManagementType = "ConfiguredManagementType";

// ProfileManagement, ActiveProfile and ConfiguredProfile.
constexpr const char* kPropRebootRequired = "RebootRequired";
constexpr const char* kPropMaxFunctionsPerPort = "MaxFunctionsPerPort";
constexpr const char* kPropProfileId = "ProfileId";
constexpr const char* kPropIPLMaxFunctionNumber = "IPLMaxFunctionNumber";
constexpr const char* kPropSettableMaxFunctionNumber = "SettableMaxFunctionNumber";
constexpr const char* kPropMaxFunctionNumber = "MaxFunctionNumber";

// NICCIM.
constexpr const char* kPropPortControllerName = "PortControllerName";
constexpr const char* kPropControllerType = "ControllerType";
constexpr const char* kPropProtocolSupported = "ProtocolSupported";
constexpr const char* kPropMaxSupportedController = "MaxSupportedController";

// Personality.
constexpr const char* kPropCurrentPersonality = "CurrentPersonality";
constexpr const char* kPropAvailablePersonalities = "AvailablePersonalities";
constexpr const char* kPropConfiguredPersonality = "ConfiguredPersonality";

// OEM.
constexpr const char* kPropTalvixSerialNumber = "TalvixSerialNumber";
constexpr const char* kPropOEMSerialNumber = "OEMSerialNumber";
constexpr const char* kPropPersonalityManagementWord = "PersonalityManagementWord";

// NCSI.
constexpr const char* kPropNCSIVersion = "NCSIVersion";
constexpr const char* kPropNCSISupport = "NCSISupport";
constexpr const char* kPropNCSIVXHandShake = "NCSIVXHandShake";

// ExtFATData.
constexpr const char* kPropMaxLogEntries = "MaxLogEntries";
constexpr const char* kPropLogEntrySize = "LogEntrySize";
constexpr const char* kPropLoggingType = "LoggingType";
constexpr const char* kPropMaxLoggingFunctions = "MaxLoggingFunctions";
constexpr const char* kPropMaxLoggingPorts = "MaxLoggingPorts";
constexpr const char* kPropSupportedModes = "SupportedModes";
constexpr const char* kPropNumberOfModules = "NumberOfModules";

// FATData.
constexpr const char* kPropFATDataValid = "FATDataValid";

// Diagnostics. The schema spells IsLoopbackSupported with a lower-case b.
constexpr const char* kPropTotalTestCycles = "TotalTestCycles";
constexpr const char* kPropTotalCompleteCycles = "TotalCompleteCycles";
constexpr const char* kPropTotalErrorCycles = "TotalErrorCycles";
constexpr const char* kPropSendErrorCount = "SendErrorCount";
constexpr const char* kPropReceiveErrorCount = "ReceiveErrorCount";
constexpr const char* kPropDataMiscompareCount = "DataMiscompareCount";
constexpr const char* kPropTotalCompleteCount = "TotalCompleteCount";
constexpr const char* kPropIsLoopbackSupported = "IsLoopbackSupported";

// Actions, by group.
constexpr const char* kActionSetLinkConfigFactoryDefaults = "SetLinkConfigFactoryDefaults";
constexpr const char* kActionSetLinkConfigID = "SetLinkConfigID";
constexpr const char* kActionConfigureChannelManagement = "ConfigureChannelManagement";
constexpr const char* kActionSetProfileId = "SetProfileId";
constexpr const char* kActionSaveProfile = "SaveProfile";
constexpr const char* kActionSetFactoryDefaults = "SetFactoryDefaults";
constexpr const char* kActionSetMaxFunctionNumber = "SetMaxFunctionNumber";
constexpr const char* kActionRetrieveBrightlaneCoreDump = "RetrieveBrightlaneCoreDump";
constexpr const char* kActionRetrieveFwCliData = "RetrieveFwCliData";
constexpr const char* kActionUpgradeFlashROM = "UpgradeFlashROM";
constexpr const char* kActionEraseAllConfiguration = "EraseAllConfiguration";
constexpr const char* kActionSetPersonality = "SetPersonality";
constexpr const char* kActionRetrieveARMLog = "RetrieveARMLog";
constexpr const char* kActionEnableLoggingOnAllModules = "EnableLoggingOnAllModules";
constexpr const char* kActionDisableLoggingOnAllModules = "DisableLoggingOnAllModules";
constexpr const char* kActionSetDefaultLoggingConfiguration = "SetDefaultLoggingConfiguration";
constexpr const char* kActionRefreshEventLog = "RefreshEventLog";
constexpr const char* kActionClearEventLog = "ClearEventLog";
constexpr const char* kActionRetrieveFATData = "RetrieveFATData";
constexpr const char* kActionClearFATData = "ClearFATData";
constexpr const char* kActionHostToDDRDMATest = "HostToDDRDMATest";
constexpr const char* kActionEnterLoopBackMode = "EnterLoopBackMode";
constexpr const char* kActionExitLoopBackMode = "ExitLoopBackMode";
constexpr const char* kActionNetworkLoopBackTest = "NetworkLoopBackTest";

}  // namespace controller
}  // namespace vx
