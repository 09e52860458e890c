// The controller group Vexalon<n>: identity, firmware versions, temperature and PCI Express data
// of one adapter, its fourteen static sub-groups and the controller-wide actions. Enumeration
// builds one instance per adapter and fills the cached values afterwards.
#include "schema/controller.h"

#include <iterator>

#include "engine/builder.h"
#include "schema/handlers.h"
#include "schema/names_controller.h"

namespace vx {
namespace {

using namespace controller;

constexpr const char* kEnabledDisabled = "Enabled,Disabled";
constexpr const char* kYesNo = "Yes,No";
constexpr const char* kChannelTypes = "ZMC,vNIC1,vNIC2,UFP,NPAR";
constexpr const char* kLoopbackTypes = "MacLoopBack,PhyLoopBack,OnePortLoopBack,TwoPortLoopBack";

// ---- action descriptors -------------------------------------------------------------------------
constexpr hm_action_descriptor ROOT_Vexalon_LinkReconfiguration_SetLinkConfigFactoryDefaults_action = {
    do_SetLinkConfigFactoryDefaults, 0, 0, {}};
constexpr hm_action_descriptor ROOT_Vexalon_LinkReconfiguration_SetLinkConfigID_action = {
    do_SetLinkConfigID, 0, 1,
    {param(kRequired, "LinkConfigID",
           "The link configuration to use after the next power cycle or PCI fundamental reset.", range(0, 32))}};

constexpr hm_action_descriptor ROOT_Vexalon_ChannelManagement_ConfigureChannelManagement_action = {
    do_ConfigureChannelManagement, 0, 2,
    {param(kRequired, "ChannelState",
           "The multi-channel state to configure. The valid values are Enabled and Disabled.",
           one_of(kEnabledDisabled, 7, 8)),
     param(kOptional, "ChannelType",
           "The multi-channel type to configure. The valid values are ZMC, vNIC1, vNIC2, UFP and NPAR.",
           one_of(kChannelTypes, 3, 4))}};

constexpr hm_action_descriptor ROOT_Vexalon_ProfileManagement_SetProfileId_action = {
    do_SetProfileId, 0, 1,
    {param(kRequired, "ProfileId", "The identifier of the profile to configure.", range(1, 256))}};
constexpr hm_action_descriptor ROOT_Vexalon_ProfileManagement_SaveProfile_action = {do_SaveProfile, 0, 0, {}};
constexpr hm_action_descriptor ROOT_Vexalon_ProfileManagement_SetFactoryDefaults_action = {
    do_SetFactoryDefaults, 0, 0, {}};
constexpr hm_action_descriptor ROOT_Vexalon_ProfileManagement_ConfiguredProfile_SetMaxFunctionNumber_action = {
    do_SetMaxFunctionNumber, 0, 1,
    {param(kOptional, "FunctionNumber", "The highest function number to configure.", range(0, 15))}};

constexpr hm_action_descriptor ROOT_Vexalon_RetrieveBrightlaneCoreDump_action = {
    do_RetrieveBrightlaneCoreDump, 0, 2,
    {param(kRequired, "CoreDumpFileName", "The file the core dump is written to.", length(3, 255)),
     param(kOptional, "CoreDumpString",
           "The kind of core dump. The valid values are live, Dead, Test, Test live and Test Dead; live when not "
           "given.",
           one_of("live,Dead,Test,Test live,Test Dead", 4, 9))}};
constexpr hm_action_descriptor ROOT_Vexalon_RetrieveFwCliData_action = {
    do_RetrieveFwCliData, 0, 2,
    {param(kRequired, "CliOutputFileName", "The file the reply of the firmware is written to.", length(3, 255)),
     param(kRequired, "FWCliString", "The firmware command string.", length(2, 255))}};
constexpr hm_action_descriptor ROOT_Vexalon_UpgradeFlashROM_action = {
    do_UpgradeFlashROM, 0, 1,
    {param(kRequired, "UFIFileName", "The path of the firmware image file.", length(3, 255))}};
constexpr hm_action_descriptor ROOT_Vexalon_EraseAllConfiguration_action = {do_EraseAllConfiguration, 0, 0, {}};

constexpr hm_action_descriptor ROOT_Vexalon_Personality_SetPersonality_action = {
    do_SetPersonality, 0, 1,
    {param(kRequired, "NewPersonality", "The personality to configure. The valid values are NIC, iSCSI and FCoE.",
           one_of("NIC,iSCSI,FCoE", 3, 5))}};

constexpr const char* kUartModeText =
    "Whether the UART logging mode is included. The valid values are Yes and No; Yes when not given.";
constexpr const char* kRamModeText =
    "Whether the RAM logging mode is included. The valid values are Yes and No; Yes when not given.";
constexpr hm_action_descriptor ROOT_Vexalon_ExtFATData_RetrieveARMLog_action = {
    do_RetrieveARMLog, 0, 2,
    {param(kRequired, "ARMLogFileName", "The file the ARM firmware log is written to.", length(3, 255)),
     param(kRequired, "SnapshotMode", "The memory the log is taken from. The valid values are RAM, DDR and FLASH.",
           one_of("RAM,DDR,FLASH", 3, 5))}};
constexpr hm_action_descriptor ROOT_Vexalon_ExtFATData_EnableLoggingOnAllModules_action = {
    do_EnableLoggingOnAllModules, 0, 3,
    {param(kRequired, "TraceLevel",
           "The trace level: 0 all, 1 function entry, 4 verbose, 5 info, 8 test, 16 show, 32 warning, 48 error, 64 "
           "fatal, 128 always.",
           one_of("0,1,4,5,8,16,32,48,64,128", 0, 128)),
     param(kOptional, "UARTMode", kUartModeText, one_of(kYesNo, 2, 3)),
     param(kOptional, "RAMMode", kRamModeText, one_of(kYesNo, 2, 3))}};
constexpr hm_action_descriptor ROOT_Vexalon_ExtFATData_DisableLoggingOnAllModules_action = {
    do_DisableLoggingOnAllModules, 0, 2,
    {param(kOptional, "UARTMode", kUartModeText, one_of(kYesNo, 2, 3)),
     param(kOptional, "RAMMode", kRamModeText, one_of(kYesNo, 2, 3))}};
constexpr hm_action_descriptor ROOT_Vexalon_ExtFATData_SetDefaultLoggingConfiguration_action = {
    do_SetDefaultLoggingConfiguration, 0, 0, {}};

constexpr hm_action_descriptor ROOT_Vexalon_EventLog_RefreshEventLog_action = {do_RefreshEventLog, 0, 0, {}};
constexpr hm_action_descriptor ROOT_Vexalon_EventLog_ClearEventLog_action = {do_ClearEventLog, 0, 0, {}};

constexpr hm_action_descriptor ROOT_Vexalon_FATData_RetrieveFATData_action = {
    do_RetrieveFATData, 0, 1,
    {param(kRequired, "FATFileName", "The file the failure-analysis data is written to.", length(3, 255))}};
constexpr hm_action_descriptor ROOT_Vexalon_FATData_ClearFATData_action = {do_ClearFATData, 0, 0, {}};

constexpr const char* kPatternText = "The 8-byte data pattern in hexadecimal.";
constexpr const char* kLoopCountText = "The number of test loops.";
constexpr const char* kSourcePortText = "The source port of the loopback.";
constexpr const char* kDestinationPortText =
    "The destination port of the loopback; equal to the source port for MAC and PHY loopback.";
constexpr const char* kLoopbackTypeText =
    "The kind of loopback. The valid values are MacLoopBack, PhyLoopBack, OnePortLoopBack and TwoPortLoopBack.";
constexpr hm_action_descriptor ROOT_Vexalon_Diagnostics_HostToDDRDMATest_action = {
    do_HostToDDRDMATest, 0, 3,
    {param(kRequired, "Pattern", kPatternText, length(3, 16)),
     param(kRequired, "ByteCount", "The number of bytes transferred in each loop.", range(64, 4096)),
     param(kRequired, "LoopCount", kLoopCountText, range(1, 4096))}};
constexpr hm_action_descriptor ROOT_Vexalon_Diagnostics_EnterLoopBackMode_action = {
    do_EnterLoopBackMode, 0, 3,
    {param(kRequired, "SourcePortNumber", kSourcePortText, range(0, 3)),
     param(kRequired, "DestinationPortNumber", kDestinationPortText, range(0, 3)),
     param(kRequired, "LoopbackType", kLoopbackTypeText, one_of(kLoopbackTypes, 11, 15))}};
constexpr hm_action_descriptor ROOT_Vexalon_Diagnostics_ExitLoopBackMode_action = {
    do_ExitLoopBackMode, 0, 2,
    {param(kRequired, "SourcePortNumber", kSourcePortText, range(0, 3)),
     param(kRequired, "DestinationPortNumber", kDestinationPortText, range(0, 3))}};
constexpr hm_action_descriptor ROOT_Vexalon_Diagnostics_NetworkLoopBackTest_action = {
    do_NetworkLoopBackTest, 0, 6,
    {param(kRequired, "Pattern", kPatternText, length(3, 16)),
     param(kRequired, "ByteCount",
           "The number of bytes in each frame, at most the MTU; 1500 to 4056 for MAC loopback.", range(1500, 8192)),
     param(kRequired, "LoopCount", kLoopCountText, range(1, 4096)),
     param(kRequired, "SourcePortNumber", kSourcePortText, range(0, 3)),
     param(kRequired, "DestinationPortNumber", kDestinationPortText, range(0, 3)),
     param(kRequired, "LoopbackType", kLoopbackTypeText, one_of(kLoopbackTypes, 11, 15))}};

// ---- the table ----------------------------------------------------------------------------------
// Rows that are parents of later rows; static_asserts below pin each to its group.
constexpr int16_t kLinkReconfigurationRow = 2;
constexpr int16_t kFRUVPDRow = 7;
constexpr int16_t kChannelManagementRow = 19;
constexpr int16_t kProfileManagementRow = 49;
constexpr int16_t kActiveProfileRow = 55;
constexpr int16_t kConfiguredProfileRow = 57;
constexpr int16_t kNICCIMRow = 63;
constexpr int16_t kPersonalityRow = 72;
constexpr int16_t kOEMRow = 77;
constexpr int16_t kNCSIRow = 81;
constexpr int16_t kExtFATDataRow = 85;
constexpr int16_t kEventLogRow = 97;
constexpr int16_t kFATDataRow = 100;
constexpr int16_t kDiagnosticsRow = 104;

constexpr const char* kFRUVPDSegmentText =
    "This property is a hex dump of one segment of the FRU Vital Product Data retrieved from the Brightlane "
    "controller by VARU.";

// clang-format off
constexpr SchemaRow kVexalonRows[] = {
  /*   0 */ property(kInstance, kPropAdvancedMode,
                     "This property specifies the advanced mode of the controller. It applies to VX3 controllers "
                     "only; on the others it reads N/A.",
                     kReadWrite, handle_AdvancedMode, one_of(kEnabledDisabled, 7, 8), "Enabled"),
  /*   1 */ property(kInstance, kPropControllerStatus,
                     "This property indicates whether the controller firmware is alive or dead.",
                     kReadOnly, handle_ControllerStatus, one_of("Alive,Dead", 4, 5), "Alive"),

  /*   2 */ group(kInstance, kGroupLinkReconfiguration,
                  "This group contains the link configuration (number and type of ports) of Orvelle controllers. "
                  "On other controllers the values read N/A."),
  /*   3 */ property(kLinkReconfigurationRow, kPropActiveLinkConfigID,
                     "This property indicates the link configuration now active; 0 on devices without link "
                     "reconfiguration.",
                     kReadOnly, handle_internal_property, range(0, 32), "0"),
  /*   4 */ property(kLinkReconfigurationRow, kPropConfiguredLinkConfigID,
                     "This property indicates the link configuration that becomes active at the next reset of the "
                     "physical device; 0 on devices without link reconfiguration.",
                     kReadOnly, handle_ConfiguredLinkConfigID, range(0, 32), "0"),
  /*   5 */ action(kLinkReconfigurationRow, kActionSetLinkConfigFactoryDefaults,
                   "This command returns the adapter to the factory link configuration.",
                   ROOT_Vexalon_LinkReconfiguration_SetLinkConfigFactoryDefaults_action),
  /*   6 */ action(kLinkReconfigurationRow, kActionSetLinkConfigID,
                   "This command configures the link configuration to use after the next power cycle or PCI "
                   "fundamental reset.",
                   ROOT_Vexalon_LinkReconfiguration_SetLinkConfigID_action),

  /*   7 */ group(kInstance, kGroupFRUVPD,
                  "This group contains the FRU Vital Product Data of the controller as a hex dump. Because of VARU "
                  "size limitations, the data is separated into segments designated by the FRUVPDData0 - "
                  "FRUVPDData10 properties."),
  /*   8 */ property(kFRUVPDRow, "FRUVPDData0",
                     "This property is the first segment of the FRU Vital Product Data as a hex dump. Reading it "
                     "retrieves the data from the controller and fills every segment.",
                     kReadOnly, handle_fru_vpd_data, length(0, 256)),
  /*   9 */ property(kFRUVPDRow, "FRUVPDData1", kFRUVPDSegmentText, kReadOnly, handle_internal_property, length(0, 256)),
  /*  10 */ property(kFRUVPDRow, "FRUVPDData2", kFRUVPDSegmentText, kReadOnly, handle_internal_property, length(0, 256)),
  /*  11 */ property(kFRUVPDRow, "FRUVPDData3", kFRUVPDSegmentText, kReadOnly, handle_internal_property, length(0, 256)),
  /*  12 */ property(kFRUVPDRow, "FRUVPDData4", kFRUVPDSegmentText, kReadOnly, handle_internal_property, length(0, 256)),
  /*  13 */ property(kFRUVPDRow, "FRUVPDData5", kFRUVPDSegmentText, kReadOnly, handle_internal_property, length(0, 256)),
  /*  14 */ property(kFRUVPDRow, "FRUVPDData6", kFRUVPDSegmentText, kReadOnly, handle_internal_property, length(0, 256)),
  /*  15 */ property(kFRUVPDRow, "FRUVPDData7", kFRUVPDSegmentText, kReadOnly, handle_internal_property, length(0, 256)),
  /*  16 */ property(kFRUVPDRow, "FRUVPDData8", kFRUVPDSegmentText, kReadOnly, handle_internal_property, length(0, 256)),
  /*  17 */ property(kFRUVPDRow, "FRUVPDData9", kFRUVPDSegmentText, kReadOnly, handle_internal_property, length(0, 256)),
  /*  18 */ property(kFRUVPDRow, "FRUVPDData10", kFRUVPDSegmentText, kReadOnly, handle_internal_property, length(0, 256)),

  /*  19 */ group(kInstance, kGroupChannelManagement,
                  "This group contains the multi-channel configuration of the controller. Multi-channel is not "
                  "supported on Orvelle controllers."),
  /*  20 */ property(kChannelManagementRow, kPropSupportedMCTypes,
                     "This property lists the multi-channel types the controller supports.",
                     kReadOnly, handle_SupportedMCTypes, one_of("ZMC,vNIC1,vNIC2,UFP,NPAR,HPFlex,HPZMC,HPFlexQBG", 3, 7),
                     "N/A"),
  /*  21 */ property(kChannelManagementRow, kPropCurrentManagementType,
                     "This property indicates the multi-channel type now in use; N/A when none is enabled.",
                     kReadOnly, handle_ChannelManagement_details, one_of(kChannelTypes, 3, 4), "N/A"),
  /*  22 */ property(kChannelManagementRow, kPropConfiguredManagementType,
                     "This property indicates the configured multi-channel type.",
                     kReadOnly, handle_ChannelManagement_details, one_of(kChannelTypes, 3, 4), "N/A"),
  /*  23 */ action(kChannelManagementRow, kActionConfigureChannelManagement,
                   "This command enables or disables multi-channel on the controller and selects its type.",
                   ROOT_Vexalon_ChannelManagement_ConfigureChannelManagement_action),

  /*  24 */ property(kInstance, kPropManufacturer, "This property specifies the manufacturer of the controller.",
                     kReadOnly, handle_internal_property, length(1, 32), "0"),
  /*  25 */ property(kInstance, kPropModelNumber, "This property specifies the model number of the controller.",
                     kReadOnly, handle_internal_property, length(1, 32), "1"),
  /*  26 */ property(kInstance, kPropDescription, "This property specifies the description of the controller.",
                     kReadOnly, handle_internal_property, length(1, 64), "0"),
  /*  27 */ property(kInstance, kPropSerialNumber,
                     "This property specifies the serial number of the controller, typically one of its MAC "
                     "addresses.",
                     kReadOnly, handle_internal_property, length(1, 32), "1"),
  /*  28 */ property(kInstance, kPropCapabilities,
                     "This property specifies which of NIC, TOE, iSCSI initiator, iSCSI target, FCoE initiator and "
                     "FCoE target the controller's SEEPROM enables.",
                     kReadOnly, handle_internal_property, length(1, 128), "Unknown"),
  /*  29 */ property(kInstance, kPropActiveFirmwareVersion,
                     "This property specifies the firmware version now running on the controller.",
                     kReadOnly, handle_vx_controller_properties, length(5, 32), "5"),
  /*  30 */ property(kInstance, kPropFirmwareVersionOnFlash,
                     "This property specifies the firmware version stored in flash. It becomes active at the next "
                     "restart.",
                     kReadOnly, handle_vx_controller_properties, length(5, 32), "5"),
  /*  31 */ property(kInstance, kPropBIOSVersion, "This property specifies the BIOS version now running.",
                     kReadOnly, handle_vx_controller_properties, length(5, 32), "5"),
  /*  32 */ property(kInstance, kPropBootCodeVersion, "This property specifies the boot code version now running.",
                     kReadOnly, handle_vx_controller_properties, length(5, 32), "5"),
  /*  33 */ property(kInstance, kPropFirmwareStatus,
                     "This property indicates the state of the controller firmware; Working when it operates "
                     "properly.",
                     kReadOnly, handle_vx_controller_properties, one_of("Working,Degraded,Critical,Failed,Unknown", 6, 8),
                     "Unknown"),
  /*  34 */ property(kInstance, kPropFCoEUniversalVersion, "This property specifies the FCoE universal boot version.",
                     kReadOnly, handle_vx_controller_additional_properties, length(0, 32), "0"),
  /*  35 */ property(kInstance, kPropFCoEx86BIOSVersion, "This property specifies the FCoE x86 BIOS version.",
                     kReadOnly, handle_vx_controller_additional_properties, length(0, 32)),
  /*  36 */ property(kInstance, kPropFCoEEFIVersion, "This property specifies the FCoE EFI version.",
                     kReadOnly, handle_vx_controller_additional_properties, length(0, 32)),
  /*  37 */ property(kInstance, kPropFCoEFCODEVersion, "This property specifies the FCoE FCODE version.",
                     kReadOnly, handle_vx_controller_additional_properties, length(0, 32), "0"),
  /*  38 */ property(kInstance, kPropUEFIBIOSVersion, "This property specifies the UEFI BIOS version.",
                     kReadOnly, handle_vx_controller_additional_properties, length(0, 32)),
  /*  39 */ property(kInstance, kPropUEFINICVersion, "This property specifies the UEFI NIC version.",
                     kReadOnly, handle_vx_controller_additional_properties, length(0, 32), "0"),
  /*  40 */ property(kInstance, kPropUEFIFCODEVersion, "This property specifies the UEFI FCODE version.",
                     kReadOnly, handle_vx_controller_additional_properties, length(0, 32), "0"),
  /*  41 */ property(kInstance, kPropUEFISCSIVersion, "This property specifies the UEFI SCSI version.",
                     kReadOnly, handle_vx_controller_additional_properties, length(0, 32), "0"),
  /*  42 */ property(kInstance, kPropPHYFirmwareVersion, "This property specifies the firmware version of the PHY.",
                     kReadOnly, handle_vx_controller_additional_properties, length(0, 32), "0"),
  /*  43 */ property(kInstance, kPropPHYConfigurationId, "This property specifies the CRC of the PHY configuration.",
                     kReadOnly, handle_vx_controller_additional_properties, length(0, 32), "0"),
  /*  44 */ property(kInstance, kPropVexalonOnDieTemperature,
                     "This property indicates the on-chip temperature in degrees centigrade, to the nearest degree.",
                     kReadOnly, handle_vx_temperature, range(45, 125), "45"),
  /*  45 */ property(kInstance, kPropIPLFileName,
                     "This property specifies the name of the IPL file. It applies to the TV21460 model only; the "
                     "TV20460 reads N/A.",
                     kReadOnly, handle_vx_controller_additional_properties, length(0, 32), "0"),
  /*  46 */ property(kInstance, kPropPCIExpressLinkSpeed, "This property indicates the current PCI Express link speed.",
                     kReadOnly, handle_PCIExpressLinkSpeed, length(0, 5), "0"),
  /*  47 */ property(kInstance, kPropPCIExpressBusWidth, "This property indicates the current PCI Express bus width.",
                     kReadOnly, handle_PCIExpressBusWidth, length(0, 5), "0"),
  /*  48 */ property(kInstance, kPropFFVName,
                     "This property specifies the FFV name of the controller. Writing it configures the name on the "
                     "adapter.",
                     kReadWrite, handle_FFVName, length(4, 32), "0"),

  /*  49 */ group(kInstance, kGroupProfileManagement,
                  "This group contains the profile management of the controller: the active and the configured "
                  "profile and the profiles the adapter offers."),
  /*  50 */ property(kProfileManagementRow, kPropRebootRequired,
                     "This property indicates whether a reboot is needed for pending changes to take effect.",
                     kReadOnly, handle_RebootRequired, one_of(kYesNo, 0, 3), "No"),
  /*  51 */ property(kProfileManagementRow, kPropMaxFunctionsPerPort,
                     "This property indicates the most PCI functions supported per port.",
                     kReadOnly, handle_MaxFunctionsPerPort, range(2, 8), "2"),
  /*  52 */ action(kProfileManagementRow, kActionSetProfileId, "This command configures the profile to use.",
                   ROOT_Vexalon_ProfileManagement_SetProfileId_action),
  /*  53 */ action(kProfileManagementRow, kActionSaveProfile,
                   "This command saves the configured profile settings after the protocol properties of ports and "
                   "functions were changed.",
                   ROOT_Vexalon_ProfileManagement_SaveProfile_action),
  /*  54 */ action(kProfileManagementRow, kActionSetFactoryDefaults,
                   "This command returns the adapter to the factory default profile and port configuration.",
                   ROOT_Vexalon_ProfileManagement_SetFactoryDefaults_action),
  /*  55 */ group(kProfileManagementRow, kGroupActiveProfile, "This group contains the profile now active."),
  /*  56 */ property(kActiveProfileRow, kPropProfileId, "This property specifies the identifier of the active profile.",
                     kReadOnly, handle_internal_property, range(0, 32), "0"),
  /*  57 */ group(kProfileManagementRow, kGroupConfiguredProfile,
                  "This group contains the profile configured for the next reboot."),
  /*  58 */ property(kConfiguredProfileRow, kPropIPLMaxFunctionNumber,
                     "This property indicates the highest function number the IPL supports.",
                     kReadOnly, handle_IPLMaxFunctionNumber, range(0, 15), "0"),
  /*  59 */ property(kConfiguredProfileRow, kPropSettableMaxFunctionNumber,
                     "This property indicates whether MaxFunctionNumber can be changed.",
                     kReadOnly, handle_SettableMaxFunctionNumber, one_of(kYesNo, 2, 3), "No"),
  /*  60 */ property(kConfiguredProfileRow, kPropMaxFunctionNumber,
                     "This property indicates the configured highest function number.",
                     kReadOnly, handle_MaxFunctionNumber, range(0, 15), "0"),
  /*  61 */ property(kConfiguredProfileRow, kPropProfileId,
                     "This property specifies the identifier of the configured profile.",
                     kReadWrite, handle_ConfiguredProfile_ProfileId, range(0, 32), "0"),
  /*  62 */ action(kConfiguredProfileRow, kActionSetMaxFunctionNumber,
                   "This command configures the highest function number.",
                   ROOT_Vexalon_ProfileManagement_ConfiguredProfile_SetMaxFunctionNumber_action),

  /*  63 */ group(kInstance, kGroupNICCIM, "This group contains the summary of the NIC controller."),
  /*  64 */ property(kNICCIMRow, kPropPortControllerName,
                     "This property specifies the label by which the controller is known.",
                     kReadOnly, handle_PortControllerName, length(0, 128)),
  /*  65 */ property(kNICCIMRow, kPropControllerType, "This property specifies the type of the port controller.",
                     kReadOnly, handle_ControllerType, length(0, 32)),
  /*  66 */ property(kNICCIMRow, kPropProtocolSupported,
                     "This property specifies the protocol by which the controller reaches its devices.",
                     kReadOnly, handle_ProtocolSupported, length(0, 32)),
  /*  67 */ property(kNICCIMRow, kPropMaxSupportedController,
                     "This property specifies the most directly addressable entities the controller supports.",
                     kReadOnly, handle_MaxSupportedController, range(0, 8), "0"),

  /*  68 */ action(kInstance, kActionRetrieveBrightlaneCoreDump,
                   "This command retrieves a core dump of the controller and writes it to a file.",
                   ROOT_Vexalon_RetrieveBrightlaneCoreDump_action),
  /*  69 */ action(kInstance, kActionRetrieveFwCliData,
                   "This command passes a command string to the firmware and writes its reply to a file.",
                   ROOT_Vexalon_RetrieveFwCliData_action),
  /*  70 */ action(kInstance, kActionUpgradeFlashROM,
                   "This command upgrades the flash ROM of the controller from a firmware image file. The new "
                   "firmware becomes active after a restart.",
                   ROOT_Vexalon_UpgradeFlashROM_action),
  /*  71 */ action(kInstance, kActionEraseAllConfiguration,
                   "This command resets all settings of the controller to factory defaults. A reboot is required "
                   "for these changes to take effect.",
                   ROOT_Vexalon_EraseAllConfiguration_action),

  /*  72 */ group(kInstance, kGroupPersonality,
                  "This group contains the personality of the controller: the protocols its functions run."),
  /*  73 */ property(kPersonalityRow, kPropCurrentPersonality,
                     "This property indicates the personality now running. NIC means every enabled function is "
                     "NIC/TOE; iSCSI and FCoE enable that protocol on one function per port and NIC on the others.",
                     kReadOnly, handle_internal_property, one_of("NIC,iSCSI,FCoE,Illegal", 3, 7), "iSCSI"),
  /*  74 */ property(kPersonalityRow, kPropAvailablePersonalities,
                     "This property lists the personalities the adapter may run, joined by / (for example "
                     "NIC/iSCSI/FCoE).",
                     kReadOnly, handle_internal_property, length(3, 14), "NIC"),
  /*  75 */ property(kPersonalityRow, kPropConfiguredPersonality,
                     "This property indicates the personality the adapter runs after the next reboot.",
                     kReadOnly, handle_ConfiguredPersonality, one_of("NIC,iSCSI,FCoE", 3, 6), "NIC"),
  /*  76 */ action(kPersonalityRow, kActionSetPersonality,
                   "This command configures the personality the adapter runs after the next reboot.",
                   ROOT_Vexalon_Personality_SetPersonality_action),

  /*  77 */ group(kInstance, kGroupOEM, "This group contains the OEM data of the adapter."),
  /*  78 */ property(kOEMRow, kPropTalvixSerialNumber, "This property specifies the maker's serial number of the adapter.",
                     kReadOnly, handle_internal_property, length(1, 12), "Unknown"),
  /*  79 */ property(kOEMRow, kPropOEMSerialNumber, "This property specifies the OEM's serial number of the adapter.",
                     kReadOnly, handle_internal_property, length(1, 24), "Unknown"),
  /*  80 */ property(kOEMRow, kPropPersonalityManagementWord,
                     "This property specifies the word that controls which protocols may be configured.",
                     kReadOnly, handle_internal_property, range(0, 0), "0"),

  /*  81 */ group(kInstance, kGroupNCSI, "This group contains the NC-SI support of the controller."),
  /*  82 */ property(kNCSIRow, kPropNCSIVersion, "This property specifies the NC-SI version now running.",
                     kReadOnly, handle_get_ncsi_version, length(5, 32), "5"),
  /*  83 */ property(kNCSIRow, kPropNCSISupport,
                     "This property indicates whether the controller supports the DMTF NC-SI standard.",
                     kReadOnly, handle_ncsi_static_configuration, one_of("Supported,Not Supported", 9, 13),
                     "Not Supported"),
  /*  84 */ property(kNCSIRow, kPropNCSIVXHandShake,
                     "This property indicates Error when the NC-SI initialisation failed, else Success. It applies "
                     "only to controllers with NC-SI.",
                     kReadOnly, handle_ncsi_static_configuration, one_of("Success,Error,N/A", 6, 9), "Error"),

  /*  85 */ group(kInstance, kGroupExtFATData, "This group contains the ARM firmware log of the controller."),
  /*  86 */ property(kExtFATDataRow, kPropMaxLogEntries,
                     "This property indicates the most log entries the volatile RAM buffer holds.",
                     kReadOnly, handle_internal_property, range(1, 255), "1"),
  /*  87 */ property(kExtFATDataRow, kPropLogEntrySize, "This property indicates the size of one log entry.",
                     kReadOnly, handle_internal_property, range(1, 255), "1"),
  /*  88 */ property(kExtFATDataRow, kPropLoggingType,
                     "This property indicates the logging type set in the firmware for the UART and flash modes.",
                     kReadOnly, handle_internal_property, one_of("synchronous,asynchronous", 11, 13), "synchronous"),
  /*  89 */ property(kExtFATDataRow, kPropMaxLoggingFunctions, "This property indicates the most logging functions.",
                     kReadOnly, handle_internal_property, range(1, 8), "1"),
  /*  90 */ property(kExtFATDataRow, kPropMaxLoggingPorts, "This property indicates the most logging ports.",
                     kReadOnly, handle_internal_property, range(1, 4), "1"),
  /*  91 */ property(kExtFATDataRow, kPropSupportedModes,
                     "This property lists the logging modes the ARM firmware supports.",
                     kReadOnly, handle_internal_property, one_of("UART,RAM", 3, 15), "UART"),
  /*  92 */ property(kExtFATDataRow, kPropNumberOfModules, "This property indicates the number of firmware modules.",
                     kReadOnly, handle_internal_property, range(0, 64), "0"),
  /*  93 */ action(kExtFATDataRow, kActionRetrieveARMLog,
                   "This command retrieves the ARM firmware log and writes it to a file.",
                   ROOT_Vexalon_ExtFATData_RetrieveARMLog_action),
  /*  94 */ action(kExtFATDataRow, kActionEnableLoggingOnAllModules,
                   "This command sets the trace level of every firmware module in the selected logging modes.",
                   ROOT_Vexalon_ExtFATData_EnableLoggingOnAllModules_action),
  /*  95 */ action(kExtFATDataRow, kActionDisableLoggingOnAllModules,
                   "This command disables the logging of every firmware module in the selected logging modes.",
                   ROOT_Vexalon_ExtFATData_DisableLoggingOnAllModules_action),
  /*  96 */ action(kExtFATDataRow, kActionSetDefaultLoggingConfiguration,
                   "This command returns the firmware logging to its default configuration.",
                   ROOT_Vexalon_ExtFATData_SetDefaultLoggingConfiguration_action),

  /*  97 */ group(kInstance, kGroupEventLog, "This group contains the firmware event log entries of the controller."),
  /*  98 */ action(kEventLogRow, kActionRefreshEventLog, "This command re-reads the event log entries from the firmware.",
                   ROOT_Vexalon_EventLog_RefreshEventLog_action),
  /*  99 */ action(kEventLogRow, kActionClearEventLog, "This command clears the event log entries in the firmware.",
                   ROOT_Vexalon_EventLog_ClearEventLog_action),

  /* 100 */ group(kInstance, kGroupFATData,
                  "This group contains the failure-analysis data kept in the non-volatile memory of the controller."),
  /* 101 */ property(kFATDataRow, kPropFATDataValid, "This property indicates whether failure-analysis data is present.",
                     kReadOnly, handle_FATDataValid, one_of(kYesNo, 2, 3), "Yes"),
  /* 102 */ action(kFATDataRow, kActionRetrieveFATData,
                   "This command retrieves the failure-analysis data and writes it to a file.",
                   ROOT_Vexalon_FATData_RetrieveFATData_action),
  /* 103 */ action(kFATDataRow, kActionClearFATData, "This command clears the failure-analysis data.",
                   ROOT_Vexalon_FATData_ClearFATData_action),

  /* 104 */ group(kInstance, kGroupDiagnostics,
                  "This group contains the diagnostic tests of the controller and the results of the last test."),
  /* 105 */ property(kDiagnosticsRow, kPropTotalTestCycles,
                     "This property indicates the total time in milliseconds of all loops of the last loopback or "
                     "DMA test.",
                     kReadOnly, handle_internal_property, range(0, 0), "0"),
  /* 106 */ property(kDiagnosticsRow, kPropTotalCompleteCycles,
                     "This property indicates the time taken by the loops that completed successfully.",
                     kReadOnly, handle_internal_property, range(0, 0), "0"),
  /* 107 */ property(kDiagnosticsRow, kPropTotalErrorCycles,
                     "This property indicates the time taken by the loops that failed.",
                     kReadOnly, handle_internal_property, range(0, 0), "0"),
  /* 108 */ property(kDiagnosticsRow, kPropSendErrorCount, "This property indicates the number of send errors.",
                     kReadOnly, handle_internal_property, range(0, 4096), "0"),
  /* 109 */ property(kDiagnosticsRow, kPropReceiveErrorCount, "This property indicates the number of receive errors.",
                     kReadOnly, handle_internal_property, range(0, 4096), "0"),
  /* 110 */ property(kDiagnosticsRow, kPropDataMiscompareCount, "This property indicates the number of data miscompares.",
                     kReadOnly, handle_internal_property, range(0, 4096), "0"),
  /* 111 */ property(kDiagnosticsRow, kPropTotalCompleteCount,
                     "This property indicates the number of loops completed successfully.",
                     kReadOnly, handle_internal_property, range(0, 0), "0"),
  /* 112 */ property(kDiagnosticsRow, kPropIsLoopbackSupported,
                     "This property indicates whether the loopback test is supported.",
                     kReadOnly, handle_internal_property, one_of("True,False", 4, 5), "True"),
  /* 113 */ action(kDiagnosticsRow, kActionHostToDDRDMATest,
                   "This command runs a DMA test between host memory and the DDR memory of the controller.",
                   ROOT_Vexalon_Diagnostics_HostToDDRDMATest_action),
  /* 114 */ action(kDiagnosticsRow, kActionEnterLoopBackMode, "This command puts the ports into loopback mode.",
                   ROOT_Vexalon_Diagnostics_EnterLoopBackMode_action),
  /* 115 */ action(kDiagnosticsRow, kActionExitLoopBackMode, "This command takes the ports out of loopback mode.",
                   ROOT_Vexalon_Diagnostics_ExitLoopBackMode_action),
  /* 116 */ action(kDiagnosticsRow, kActionNetworkLoopBackTest,
                   "This command sends frames through a loopback and compares what comes back.",
                   ROOT_Vexalon_Diagnostics_NetworkLoopBackTest_action),
};
// clang-format on

static_assert(std::size(kVexalonRows) == 117, "the instance and 117 nodes below it");
static_assert(row_is(kVexalonRows, kLinkReconfigurationRow, kGroupLinkReconfiguration));
static_assert(row_is(kVexalonRows, kFRUVPDRow, kGroupFRUVPD));
static_assert(row_is(kVexalonRows, kChannelManagementRow, kGroupChannelManagement));
static_assert(row_is(kVexalonRows, kProfileManagementRow, kGroupProfileManagement));
static_assert(row_is(kVexalonRows, kActiveProfileRow, kGroupActiveProfile));
static_assert(row_is(kVexalonRows, kConfiguredProfileRow, kGroupConfiguredProfile));
static_assert(row_is(kVexalonRows, kNICCIMRow, kGroupNICCIM));
static_assert(row_is(kVexalonRows, kPersonalityRow, kGroupPersonality));
static_assert(row_is(kVexalonRows, kOEMRow, kGroupOEM));
static_assert(row_is(kVexalonRows, kNCSIRow, kGroupNCSI));
static_assert(row_is(kVexalonRows, kExtFATDataRow, kGroupExtFATData));
static_assert(row_is(kVexalonRows, kEventLogRow, kGroupEventLog));
static_assert(row_is(kVexalonRows, kFATDataRow, kGroupFATData));
static_assert(row_is(kVexalonRows, kDiagnosticsRow, kGroupDiagnostics));

InstanceBits g_vexalon_bits;
constexpr GroupSpec kVexalon = group_spec(
    kGroupVexalon,
    "This group represents a Brightlane controller. It holds the identity, firmware versions, temperature and "
    "PCI Express link data of the controller, its configuration and maintenance groups and the controller-wide "
    "actions.",
    kVexalonMax, nullptr, kVexalonRows, g_vexalon_bits);

}  // namespace

hm_node* initialize_Vexalon(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]) {
  return build_instance(kVexalon, parent, origin, action, params);
}

}  // namespace vx
