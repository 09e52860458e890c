// Every text the library leaves in the last status, in one place. Texts are the system's own and
// are kept exactly, spelling included. Formats take their arguments as arguments only.
#pragma once

namespace vx::msg {

// Engine (public calls and validation).
constexpr const char* kReadOnlyProperty = "Read only property";
constexpr const char* kInvalidValue = "Invalid value.";
constexpr const char* kBadLength = "Number of characters should be from %d to %d.";
constexpr const char* kOutOfRange = "Value out of range. Valid range is from %d to %d.";
constexpr const char* kParamMissing = "%s: Parameter missing.";
constexpr const char* kParamInvalidValue = "%s: Invalid value.";
constexpr const char* kParamBadLength = "%s: Number of characters should be from %d to %d.";
constexpr const char* kParamOutOfRange = "%s: Value out of range. Valid range is from %d to %d.";

// Handlers.
constexpr const char* kOperationNotSupported = "This Operation is not supported.";

// Back end start-up.
constexpr const char* kAdapterNotFound =
    "Brightlane Adapter Not found. Please make sure Talvix NIC/iSCSI drivers are installed properly or Brightlane "
    "adapter inserted on PCIe Slot.";
constexpr const char* kNoController = "System has no controller.";

// Controller enumeration (what start-up reads from each adapter).
constexpr const char* kNoControllerAttributes =
    "Failed to obtain controller attributes. Application internal error occurred. Please check varu2d.log file for "
    "more information.";
constexpr const char* kOutOfMemory = "Memory allocation failed. Please check for low memory conditions.";
constexpr const char* kNoPermanentMac =
    "Failed to get permanent MAC address. Application internal error occurred. Please check varu2d.log file for "
    "more information.";
constexpr const char* kNoOemAttributes =
    "Failed to obtain OEM attributes. Application internal error occurred. Please check varu2d.log file for more "
    "information.";
constexpr const char* kNoAvailablePersonalities =
    "Failed to get the available personalities for the controller. Please check varu2d.log file for more "
    "information.";

// Firmware command answers (the status map).
constexpr const char* kFwActiveSessions =
    "Active session(s) present. Please log out of all sessions before clearing configuration. For systems booting "
    "from an iSCSI target, configuration can only be cleared using the iSCSI Prism Utility.";
constexpr const char* kFwSessionOpened = "Session already opened.";
constexpr const char* kFwSessionClosed =
    "Failed to get session related info, because session is in closed state.";
constexpr const char* kFwHostUnreachable =
    "Destination host not reachable. Please check cable and network connections and make sure IP address is "
    "valid. For more information, see Troubleshooting section in Vexalon documentation.";
constexpr const char* kFwTcpConnectFailure =
    "TCP Connect Failure. Please make sure that the target is enabled and operational.";
constexpr const char* kFwLinkDown = "The Link Status is Down. Please check the cable.";
constexpr const char* kFwDhcpError =
    "An error occurred changing the DHCP setting. Please check the configuration on the network and the DHCP "
    "server.";
constexpr const char* kFwInitiatorError =
    "Initiator error. Please make sure your initiator is configured and enabled at the target.";
constexpr const char* kFwAuthenticationFailure =
    "Authentication failure. Please make sure your initiator is properly enabled for authentication at the "
    "target.";
constexpr const char* kFwAuthorizationFailure =
    "Authorization failure. Please make sure you are using the correct CHAP username and secret.";
constexpr const char* kFwNoSuchTarget = "The requested target does not exist at this address.";
constexpr const char* kFwLoginServiceUnavailable =
    "Login Service not available. Please make sure that the target is operational.";
constexpr const char* kFwSameChapSecret =
    "Initiator CHAP secret is same as target CHAP secret. Please set a different initiator CHAP secret from the "
    "target CHAP secret.";
constexpr const char* kFwSecretLength =
    "Invalid Secret Length. Please make sure that the secret is over 12 characters and less than 16 characters "
    "in length.";
constexpr const char* kFwCrcMismatch = "Unable to flash the firmware image as there is a CRC mismatch.";
constexpr const char* kFwLoopbackTypeUnsupported =
    "This LoopBack type is not supported on this Vexalon controller.";
constexpr const char* kFwAlreadyInLoopback =
    "The given port is already in loopback state, only after exiting this loopback mode, a new loopback type can "
    "be applied.";
constexpr const char* kFwNotSupportedForVf = "IOCTL is not supported for the VF at all.";
constexpr const char* kFwPrivilegeLevel = "IOCTL is not supported with the current privilege level.";
constexpr const char* kFwTargetCountExceeded = "The Target count exceeded the configured maximum limit.";
constexpr const char* kFwTcpIpNotConfigured =
    "The Vexalon iSCSI initiator TCP/IP settings are not configured. Please configure the TCP/IP settings before "
    "issuing this command.";
constexpr const char* kFwLogoutIoPending =
    "The target logout request did not complete because IOs were pending. Please quiesce IO to the device and "
    "re-attempt the logout.";
constexpr const char* kFwOperationNotSupported = "This Operation is not supported.";

// Device discovery.
constexpr const char* kConfigDumpFailed = "Cannot dump the config region for the given offset.";

// Host layer and controller queries.
constexpr const char* kNoControllerType = "Failed to get the controller type.";
constexpr const char* kMacAddressFailed =
    "Failed to get current MACAddress. Please check varu2d.log file for more information.";
constexpr const char* kSettingNotSupportedInOs = "Setting this property is not supported in this OS.";
constexpr const char* kFirmwareUpgradeFailed = "Failed to upgrade the firmware.";
constexpr const char* kFirmwareTwoPass =
    "This special firmware release requires the download be performed twice. You must reboot the system and "
    "download the same firmware file again to complete the download process.";
constexpr const char* kFirmwareUpdatedReboot =
    "Vexalon firmware has been updated. Please reboot your system for the changes to take effect.";

// A firmware update that went on past components the adapter refused.
constexpr const char* kFirmwareComponentsRefused =
    "Vexalon firmware has been updated, but the adapter refused some of its components (see varu2d.log). Please "
    "reboot the system for the update to take effect.";

constexpr const char* kFirmwareVersionsUnread =
    "Firmware download completed but failed to get ActiveFirmwareVersion and FirmwareVersionOnFlash properties. "
    "Please check varu2d.log file for more information.";

// Port tree start-up.
constexpr const char* kPortNameFailed =
    "Failed to get port name. Application internal error occurred. Please check varu2d.log file for more "
    "information.";
constexpr const char* kPhyDetailFailed =
    "Failed to get PHY Detail properties. Please check varu2d.log file for more information.";

// Firmware trace data (FAT and ExtFAT) and the ARM log.
constexpr const char* kFatRetrieveFailed =
    "Unable to retrieve FAT data. Application internal error occurred. Please check varu2d.log file for more "
    "information.";
constexpr const char* kNoFatData = "There is no FAT data to be retrieved.";
constexpr const char* kInvalidFatFileName = "Invalid FAT file name. Please use valid FAT file name.";
constexpr const char* kNoObjectData = "No data avaialable to read.";
constexpr const char* kExtFatGetFailed =
    "Failed to get EXTFAT Capabilities properties. Please check varu2d.log file for more information.";
constexpr const char* kExtFatSetFailed =
    "Failed to set EXTFAT Capabilities properties. Please check varu2d.log file for more information.";
constexpr const char* kMaskNotHex = "Invalid value. Value should be in hex-decimal format.";
constexpr const char* kMaskBeyondPorts = "Invalid value. Please check MaxLoggingPorts property for valid PortMask.";
constexpr const char* kMaskBeyondFunctions =
    "Invalid value. Please check MaxLoggingFunctions property for valid PCIFunctionMask.";
constexpr const char* kEnableLoggingFailed =
    "Failed to Perform EnableLoggingOnAllModules. Please check varu2d.log file for more information.";
constexpr const char* kDisableLoggingFailed =
    "Failed to Perform DisableLoggingOnAllModules. Please check varu2d.log file for more information.";
constexpr const char* kStringTableFailed =
    "Failed to Read ExtFat String Table. Please check varu2d.log file for more information.";
constexpr const char* kSnapshotFailed = "Failed to RetrieveExtFAT Data. Please check varu2d.log file for more information.";
constexpr const char* kNoSnapshotEntries =
    "There is no ExtFat Data to be retreived. Because number of log entries are Zero.";
constexpr const char* kSnapshotConfigFailed =
    "Failed to Configure Snapshot.Please check varu2d.log file for more information.";

// The event log.
constexpr const char* kEventLogReadFailed =
    "Failed to retrieve event log entries. Application internal error occurred. Please check varu2d.log file for "
    "more information.";
constexpr const char* kEventLogClearFailed =
    "Failed to clear event log entries. Application internal error occurred. Please check varu2d.log file for more "
    "information.";

// Loopback and DMA tests.
constexpr const char* kLoopbackTransmitError =
    "Failed to perform loop back test. An error occurred in the transmit path of the loopback test.";
constexpr const char* kLoopbackReceiveError =
    "Failed to perform loop back test. An error occurred in the receive path of the loopback test.";
constexpr const char* kLoopbackIntegrityError =
    "Failed to perform loop back test. Data integrity failure in the transmitted vs received packet.";
constexpr const char* kLoopbackTimedOut = "Failed to perform loop back test. Timed out on loopback test.";
constexpr const char* kLoopbackTestFailed =
    "Failed to perform loop back test. Application internal error occurred. Please check varu2d.log file for more "
    "information.";
constexpr const char* kLoopbackNotSupported = "Loopback test is not supported on specific adapter";
constexpr const char* kSourcePortInvalid = "SourcePortNumber: Invalid Value.";
constexpr const char* kDestinationPortInvalid = "DestinationPortNumber: Invalid Value.";
constexpr const char* kNoHbaForSource = "There is no PhysicalHBA for the given SourcePortNumber.";
constexpr const char* kNoHbaForDestination = "There is no PhysicalHBA for the given DestinationPortNumber.";
constexpr const char* kNoHbaForDestinationThie = "There is no PhysicalHBA for thie given DestinationPortNumber.";
constexpr const char* kNoPortForSource = "Failed to get PhysicalHBA for the given SourcePortNumber.";
constexpr const char* kPortsMustMatch =
    "Source port number and destination port number should be same for MAC loopback, PHY loopback and one port "
    "loopback.";
constexpr const char* kPortsMustDiffer =
    "Source port number and destination port number should be different for two port loopback.";
constexpr const char* kGetLoopbackFailed = "Failed to get LoopBack Mode. Please check varu2d.log file for more information.";
constexpr const char* kLoopbackAlreadySet = "The specified LoopBack mode is already set.";
constexpr const char* kPhyLoopbackUnsupported = "PhyLoopBack is not supported on this controller.";
constexpr const char* kEnterLoopbackFailed = "Enter LoopBack Mode failed. Please check varu2d.log file for more information.";
constexpr const char* kNoLoopbackSet = "No LoopBack Mode is set on this port.";
constexpr const char* kExitLoopbackFailed = "Exit LoopBack Mode failed. Please check varu2d.log file for more information.";
constexpr const char* kInvalidPattern = "Invalid pattern value. Please provide a valid hexadecimal value.";
constexpr const char* kPatternOutOfRange = "Pattern: Value out of range.";
constexpr const char* kMacLoopbackByteCount = "Maximum ByteCount supported for MACLoopBack is 4056.";
constexpr const char* kLoopbackModeNotSet =
    "This loopback mode is not set. Please set loopback mode using EnterLoopBackMode command before running this "
    "test.";
constexpr const char* kLoopbackNoModule = "Loopback test failed because module is not inserted for loopback test.";
constexpr const char* kDmaTestFailed =
    "Failed to perform DDR DMA test. Application internal error occurred. Please check varu2d.log file for more "
    "information.";

// Port, cable and PCI diagnostics.
constexpr const char* kBeaconNotSupported = "Beaconing is not supported on this model of Vexalon controller.";
constexpr const char* kBeaconAlreadyDisabled = "Beacon is already in disabled state.";
constexpr const char* kBeaconDurationMissing =
    "BeaconDuration or StatusDuration parameter is missing. Please provide the parameter value while enabling the "
    "beacon state.";
constexpr const char* kBeaconActive = "Failed set Beacon. Beacon operation is already in active state.";
constexpr const char* kBeaconFailed = "Failed to enable/disable beacon.";
constexpr const char* kPortSpeedOnVx2 = "Failed to SetPortSpeed. This command is not Supported on VX2 controller.";
constexpr const char* kPortSpeedUnchanged = "Given port speed settings are already configured. No changes done.";
constexpr const char* kPortSpeedNeedsDac = "Failed to SetPortSpeed. DAC Cable Length is required when mode is Force.";
constexpr const char* kPortSpeedUnsupported =
    "Failed to SetPortSpeed. Please check ANSpeedsSupported and ForceSpeedsSupported properties for supported "
    "PortSpeed values on existing PHY.";
constexpr const char* kPortSpeedForceValues =
    "Failed to SetPortSpeed. When Mode is Force, valid speed values are 1Gb or 10Gb.";
constexpr const char* kPortSpeedVnic1Gb = "When vNIC is Enabled 1GB port speed is not supported.";
constexpr const char* kPortSpeedNeedsSpeed =
    "Failed to SetPortSpeed. Speed is requried when Mode is Force or Auto-Negotiate.";
constexpr const char* kPortSpeedFailed = "Failed to SetPortSpeed. Please check varu2d.log file for more information.";
constexpr const char* kTransceiverNotSupported =
    "DumpTransceiverData is not supported on this model of Vexalon controller.";
constexpr const char* kTransceiverFailed =
    "Failed to dump transceiver data. Application internal error occurred. Please check varu2d.log file for more "
    "information.";
constexpr const char* kSelfTestNeedsTarget = "TargetCable should be given when TestType is CrossTalk.";
constexpr const char* kSelfTestFailed =
    "Failed to run 10BaseT SelfTest. Please check varu2d.log file for more information.";
constexpr const char* kTdrFailed = "Failed to run RunTDR test. Please check varu2d.log file for more information.";
constexpr const char* kClearCountersUnsupported = "ClearCounters test is not supported on specific adapter";

// Live controller, port, NCSI, DCBX, LLDP and flow-control properties.
constexpr const char* kNamedInvalidValue = "%s: Invalid Value.";
constexpr const char* kInvalidValueCapital = "Invalid Value.";
constexpr const char* kNotSupportedOnAdapter =
    "Failed to execute the command. Because operation is not supported on this adapter.";
constexpr const char* kNoAdditionalAttributes =
    "Failed to obtain additional controller attributes. Application internal error occurred. Please check "
    "varu2d.log file for more information.";
constexpr const char* kCoreDumpPropsFailed =
    "Failed to get core dump properties. Please check varu2d.log file for more information.";
constexpr const char* kResetNeededFailed = "Failed to get reset needed. Please check varu2d.log file for more information.";
constexpr const char* kFfvNotSupported = "Failed to configure FFVName. FFVName is not supported on this adapter.";
constexpr const char* kNcsiDisabled = "Cannot set the property as NCSI status is Disabled.";
constexpr const char* kNcsiSetFailed =
    "Failed to set NCSI Dynamic Configuration properties. Please check varu2d.log file for more information.";
constexpr const char* kDcbxReadFailed =
    "Cannot obtain DCBX properties. Application internal error occurred. Please check varu2d.log file for more "
    "information.";
constexpr const char* kDcbxWriteFailed =
    "Cannot set DCBX properites. Application internal error occurred. Please check varu2d.log file for more "
    "information.";
constexpr const char* kDcbxModeReadFailed =
    "Cannot get DCBX mode. Application internal error occurred. Please check varu2d.log file for more information.";
constexpr const char* kDcbxModeWriteFailed =
    "Cannot set DCBX mode. Application internal error occurred. Please check varu2d.log file for more information.";
constexpr const char* kDcbxModeChanged =
    "DCBX mode has changed. Please, reboot the system for the new mode to take effect.";
constexpr const char* kLldpReadFailed =
    "Cannot obtain LLDP properites. Application internal error occurred. Please check varu2d.log file for more "
    "information.";
constexpr const char* kLldpWriteFailed =
    "Cannot set LLDP properites. Application internal error occurred. Please check varu2d.log file for more "
    "information.";
constexpr const char* kLldpStatsFailed =
    "Cannot obtain LLDP statistics properties. Application internal error occurred. Please check varu2d.log file "
    "for more information.";
constexpr const char* kDcbxMibFailed =
    "Cannot obtain DCBX MIB params. Application internal error occurred. Please check varu2d.log file for more "
    "information.";
constexpr const char* kMaxApplicationTlvs = "Failed to add ApplicationTLV. Max ApplicationTLV's are reached.";
constexpr const char* kBandwidthOver100 = "Cannot set bandwidth as total bandwidth exceeds 100 percent.";
constexpr const char* kQcnNotSupported = "Configuring QCN parameters are not supported on this adapter.";
constexpr const char* kBeaconStateFailed = "Failed to get beacon state.";
constexpr const char* kLinkSpeedFailed =
    "Failed to get link speed properties. Please check varu2d.log file for more information.";
constexpr const char* kPortStateReadFailed =
    "Failed to get port status. Application internal error occurred. Please check varu2d.log file for more "
    "information.";
constexpr const char* kPortStateWriteFailed =
    "Failed to set port status. Application internal error occurred. Please check varu2d.log file for more "
    "information.";
constexpr const char* kTxThrottleReadFailed =
    "Failed to get TXThrottel property. Please check varu2d.log file for more information.";
constexpr const char* kTxThrottleWriteFailed =
    "Failed to set TXThrottel property. Please check varu2d.log file for more information.";
constexpr const char* kTxThrottleNotSupported = "Setting TXThrottel is not Supported on this type of adapter.";
constexpr const char* kTxThrottleValues = "Invalid Value. Valid values are 1 or 2.";
constexpr const char* kNvpReadFailed = "Failed to get 10BaseT NVPValue. Please check varu2d.log file for more information.";
constexpr const char* kNvpWriteFailed =
    "Failed to Set 10BaseT NVPValue. Please check varu2d.log file for more information.";
constexpr const char* kBaseTStatsFailed = "Failed to get 10BaseT Stats. Please check varu2d.log file for more information.";

// iSCSI initiator management.
constexpr const char* kInvalidValueUseValid = "Invalid value. Please use valid value.";
constexpr const char* kInvalidInstanceNumber = "Invalid instance number. Please use valid instance number.";
constexpr const char* kInvalidIscsiName = "Invalid iSCSI name. Please use valid iSCSI name as per RFC 3722.";
constexpr const char* kMaxTargetsReached = "Failed to add a target. Max targets are reached.";
constexpr const char* kIpv6NotSupported = "IPv6 configuration is not supported on given adapter.";
constexpr const char* kDuplicateTarget =
    "Cannot add duplicate target entry as a target already exists with same target name. Please provide different "
    "target name to add another target.";
constexpr const char* kDuplicateTargetPortal =
    "Given TargetPortal already exist. Please given another Target IPaddress and PortNumber";
constexpr const char* kBootTlvAddFailed =
    "Target Login succeeded, but failed to add the iSCSI Boot Target TLV in the iSCSI Region in firmware.";
constexpr const char* kBootTlvDeleteFailed =
    "Failed to delete the iSCSI Boot Target TLV in the iSCSI Region in firmware.";
constexpr const char* kCrcMismatchLogin = "Failed to login due to mismatch in CRC Configuration.";
constexpr const char* kIsidInUse =
    "A session already exists with the given ISID Qualifier. Please provide a different ISID Qualifier.";
constexpr const char* kIsidOutOfRange = "ISIDQualifier: Value out of range. Valid range is from 0 to 65535";
constexpr const char* kDeletePersistencyFailed = "Failed to delete persistency of the session.";
constexpr const char* kTargetHasLoggedInSession =
    "Cannot delete iSCSI target with a session that is logged in. Please perform an OEMQMLogOut for the iSCSI "
    "session and the target can then be deleted.";
constexpr const char* kInsufficientBuffer =
    "Insufficient buffer space obtained for the operation. Application internal error occurred. Please check "
    "varu2d.log file for more information.";
constexpr const char* kNoActiveSessionIds =
    "Failed to get the active session IDs. Application internal error occurred. Please check varu2d.log file for "
    "more information.";
constexpr const char* kGetSessionFailed =
    "Failed to get a session. Application internal error occurred. Please check varu2d.log file for more "
    "information.";
constexpr const char* kGetSessionConfigFailed =
    "Cannot get session config params. Application internal error occurred. Please check varu2d.log file for more "
    "information.";
constexpr const char* kSetSessionConfigFailed =
    "Cannot set session config params. Application internal error occurred. Please check varu2d.log file for more "
    "information.";
constexpr const char* kTargetNotFound =
    "Target not found. Application internal error occurred. Please check varu2d.log file for more information.";
constexpr const char* kNoSessionToTarget = "No session available to this target.";
constexpr const char* kLunInfoSomeSessions =
    "Failed to get LUN info for some sessions. Please check varu2d.log for the actual sessions failed.";
constexpr const char* kLunInfoFailed =
    "Failed to get LUN info. Application internal error occurred. Please check varu2d.log file for more "
    "information.";
constexpr const char* kSetBootTargetFailed =
    "Failed to set this session as boot target. Please check varu2d.log file for more information.";
constexpr const char* kPingFailed =
    "Ping failed. Please check cable and network connections and make sure that the IP address is valid. For more "
    "information, see the Troubleshooting section in Vexalon documentation.";
constexpr const char* kGetInitiatorNameFailed =
    "Failed to obtain initiator name and initiator alias. Application internal error occurred. Please check "
    "varu2d.log file for more information.";
constexpr const char* kSetInitiatorNameFailed =
    "Failed to set initiator name and initiator alias. Application internal error occurred. Please check "
    "varu2d.log file for more information.";
constexpr const char* kGetQosFailed =
    "Failed to get iSCSI QoS properties. Application internal error occurred. Please check varu2d.log file for "
    "more information.";
constexpr const char* kSetQosFailed =
    "Failed to set iSCSI QoS properties. Application internal error occurred. Please check varu2d.log file for "
    "more information.";
constexpr const char* kLhbaAlwaysEnabled = "LogicalHBA0 is always enabled. It cannot be disabled.";

// TCP/IP, routes, ARP and IPv6 of an iSCSI port.
constexpr const char* kInterfaceIdsFailed =
    "Failed to retrieve interface ids. Application internal error occurred. Please check varu2d.log file for more "
    "information.";
constexpr const char* kInterfaceInfoFailed =
    "Cannot obtain interface info. Application internal error occurred. Please check varu2d.log file for more "
    "information.";
constexpr const char* kGetGatewayFailed =
    "Cannot get the Default Gateway. Application internal error occurred. Please check varu2d.log file for more "
    "information.";
constexpr const char* kSetGatewayFailed =
    "Cannot set the Default Gateway. Application internal error occurred. Please check varu2d.log file for more "
    "information.";
constexpr const char* kGatewayWithDhcp =
    "Cannot set the default gateway as DHCP is enabled. Please disable DHCP before setting the default gateway.";
constexpr const char* kBootSessionActive =
    "The IP address settings for the Vexalon iSCSI initiator cannot be modified when there is an active iSCSI boot "
    "session. Please use the iSCSIPrism configuration utility to modify the IP address settings. No configuration "
    "changes were made to the Vexalon iSCSI initiator.";
constexpr const char* kModifyIpFailed = "Cannot modify the ipaddress record.";
constexpr const char* kAddressWithDhcp =
    "Failed to change IP address/Gateway settings as DHCP is Enabled. Please disable DHCP to make any changes to IP "
    "address/Gateway settings.";
constexpr const char* kIpSettingsMatch =
    "The IP address settings match the existing configuration. No changes have been made to the configuration.";
constexpr const char* kDuplicateIp =
    "Duplicate IP address detected. Please check that the IP address given is not conflicting with an existing IP "
    "address in the subnet. Choose a unique IP address.";
constexpr const char* kDhcpAlreadyConfigured =
    "The DHCP settings are already configured. No changes have been made to the existing configuration.";
constexpr const char* kDhcpEnableFailed = "Firmware failed to enable DHCP.";
constexpr const char* kDhcpDisableFailed = "Unable to disable DHCP.";
constexpr const char* kVlanFailed = "Cannot set VLAN priority.";
constexpr const char* kRouteTableFailed =
    "Cannot retrieve route table entries. Application internal error occurred. Please check varu2d.log file for "
    "more information.";
constexpr const char* kRouteLimit = "Failed to add route entries. Exceed maximum manual route entries.";
constexpr const char* kRouteChangeFailed = "Cannot add/delete route table entry.";
constexpr const char* kArpTableFailed =
    "Cannot retrieve ARP table entries. Application internal error occurred. Please check varu2d.log file for more "
    "information.";
constexpr const char* kArpChangeFailed = "Cannot add/delete ARP table entry.";
constexpr const char* kIpv6NotOnAdapter = kNotSupportedOnAdapter;
constexpr const char* kStoredIpv6Malformed = "The stored IPv6 address is not valid. Nothing was removed.";

// Statistics and the port's network properties.
constexpr const char* kSessionAttributesFailed =
    "Failed to obtain session attribute params. Application internal error occurred. Please check varu2d.log file "
    "for more information.";
constexpr const char* kNodeAttributesFailed =
    "Cannot get node attribute params. Application internal error occurred. Please check varu2d.log file for more "
    "information.";
constexpr const char* kInitiatorStatsFailed =
    "Failed to obtain initiator statistics params. Application internal error occurred. Please check varu2d.log "
    "file for more information.";
constexpr const char* kLoginStatsFailed =
    "Failed to obtain initiator login statistics params. Application internal error occurred. Please check "
    "varu2d.log file for more information.";
constexpr const char* kNicParamsFailed =
    "Failed to obtain NIC configuration params. Application internal error occurred. Please check varu2d.log file "
    "for more information.";
constexpr const char* kLogicalLinkFailed =
    "Failed to get LogicalLinkStatus.Please check varu2d.log file for more information.";
constexpr const char* kActivePortFailed =
    "Failed to get physical port. Application internal error occurred. Please check varu2d.log file for more "
    "information.";

// Login options and CHAP.
constexpr const char* kDigestLevelPreferred =
    "Cannot set the digest level to Preferred when the digest is default value.";
constexpr const char* kDigestDefaultPreferred = "Cannot set the digest to default when level is set to Preferred.";
constexpr const char* kMutualChapNeedsInitiator =
    "InitiatorCHAPName and InitiatorSecret are required in case of Mutual CHAP authentication method. Either "
    "InitiatorCHAPName and InitiatorSecret are not provided or invalid values are given to them. Please provide "
    "valid values for InitiatorCHAPName and InitiatorSecret.";
constexpr const char* kOneWayChapIgnoresInitiator =
    "InitiatorCHAPName and InitiatorSecret are not required in case of One way CHAP authentication method. "
    "Ignoring the values.";
constexpr const char* kSecretHexLength = "%s: Number of characters should be from 24 to 32.";
constexpr const char* kSecretTextLength = "%s: Number of characters should be from 12 to 16.";
constexpr const char* kSecretHexDigits = "Invalid value. The valid values are 0-9, a-f and A-F.";
constexpr const char* kSecretOddDigits = "Invalid value. Odd number of characters are not allowed.";

// Login and logout.
constexpr const char* kMaxSessions = "Exceeded the max Session count.";
constexpr const char* kPortalNotFound = "Portal not found.";
constexpr const char* kLoginLunInfo = "Login succeeded but could not get LUN info for some sessions.";
constexpr const char* kLogoutLunInfo = "Logout succeeded but could not get LUN info for some sessions.";
constexpr const char* kLoginEtoFailed =
    "Target is logged in successfully but setting Extended Timeout (ETO) has failed. Error recovery to this session "
    "may not work as expected. Please check varu2d.log file for more information.";
constexpr const char* kLoginCommandFailed = "Login command failed. Please check varu2d.log file for more information.";
constexpr const char* kNoSessionToLogout = "No active sessions are present to logout the target.";
constexpr const char* kActiveBootSession =
    "Cannot logout the session as it is an active boot session. Please use the iSCSIPrism configuration utility to "
    "logout the session.";

// A saved file that cannot be written: what stands is said.
constexpr const char* kSavedFileNotWritten = "Failed to update %s. No changes have been made to the configuration.";
constexpr const char* kSavedFileNotAdded = "Failed to update %s. The %s is not added.";
constexpr const char* kSavedFileFoundNotAdded = "Failed to update %s. The %s are not added.";
constexpr const char* kSavedFileKept = "Failed to update %s. The %s is kept.";
constexpr const char* kRegistrationKept = "Failed to update %s. The persistent registration of the session is kept.";
constexpr const char* kRegistrationWithdrawn =
    "Failed to record the persistent session in %s. The adapter's registration of the session has been withdrawn.";
// A lock file that cannot be used, the ISID choice's section that another process holds, and a
// session's qualifier that another process claims.
constexpr const char* kLockFileRefused =
    "The lock file %s is not a regular file of this user, and is not used. No changes have been made to the "
    "configuration.";
constexpr const char* kLockFileUnopened =
    "The lock file %s cannot be opened: %s. No changes have been made to the configuration.";
// The directory of the ISID claims, held like the lock files.
constexpr const char* kLiveDirRefused =
    "The directory %s is not a directory of this user, and is not used. No changes have been made to the "
    "configuration.";
constexpr const char* kLiveDirUnopened =
    "The directory %s cannot be used: %s. No changes have been made to the configuration.";
constexpr const char* kIsidChoiceBusy =
    "Another process holds the choice of ISID qualifiers (isid_choice.lock) for more than %d seconds. No changes "
    "have been made to the configuration.";
constexpr const char* kIsidClaimedElsewhere =
    "Another process is logging in or out with the ISID qualifier %04x of this session. No changes have been made to "
    "the configuration.";
constexpr const char* kLoginOptionsKept =
    "The adapter refused to register the target with the new login options. The previous login options are kept.";

// Send-target discovery and the target refresh.
constexpr const char* kDuplicateSendTargetPortal =
    "There already exists a send target portal entry with the given IP address and port number. Please provide "
    "different ipaddress or port number to add another send target portal entry.";
constexpr const char* kIscsiNotEnabled =
    "iSCSI is not enabled for this LogicalHBA. Please enable iSCSI before issuing this command.";
constexpr const char* kDiscoveryFailed = "Unable to discover targets for the sendtargetportal.";
constexpr const char* kPortalsFailedToDiscover = "%d out of %d SendTargetsPortals are failed to discover targets.";

// iSNS discovery parameters (also read and written by the target refresh).
constexpr const char* kGetDiscoveryParamsFailed =
    "Failed to get discovery params. Application internal error occurred. Please check varu2d.log file for more "
    "information.";
constexpr const char* kSetDiscoveryParamsFailed =
    "Failed to set discovery params. Application internal error occurred. Please check varu2d.log file for more "
    "information.";
constexpr const char* kGetTargetIdsFailed =
    "Failed to get target IDs. Application internal error occurred. Please check varu2d.log file for more "
    "information.";
constexpr const char* kGetTargetFailed =
    "Failed to get a target. Application internal error occurred. Please check varu2d.log file for more "
    "information.";

// Erase of the configuration.
constexpr const char* kNotOnVirtualFunction = "Performed operation is not supported on a SR-IOV virtual function.";
constexpr const char* kErasedReboot =
    "Erased the Configuration. Please reboot your system for the changes to take effect.";
constexpr const char* kPortEraseFailed =
    "Failed to erase port and discovery configuration. Please check varu2d.log file for more information.";
constexpr const char* kNicEraseFailed = "Failed to erase nic settings. Please check varu2d.log file for more information.";
constexpr const char* kRebootImmediately =
    "The operation completed successfully. Please reboot the machine immediately in order to avoid inconsistent "
    "behaviour.";

// Profiles, pending profile choices, link configurations, ARI, personalities and multichannel.
constexpr const char* kGetProfileListFailed =
    "Failed to get profile list. Please check varu2d.log file for more information.";
constexpr const char* kGetProfileCapacitiesFailed =
    "Failed to get profile capacities. Please check varu2d.log file for more information.";
constexpr const char* kGetActiveProfileFailed =
    "Failed to get active profile. Please check varu2d.log file for more information.";
constexpr const char* kGetProfileConfigFailed =
    "Failed to get profile config. Please check varu2d.log file for more information.";
constexpr const char* kGetResetNeededFailed =
    "Failed to get reset needed. Please check varu2d.log file for more information.";
constexpr const char* kProfileConfigured =
    "Profile configured successfully. Please reboot your system for the changes to take effect.";
constexpr const char* kSetActiveProfileFailed =
    "Failed to set active profile. Please check varu2d.log file for more information.";
constexpr const char* kSetPortProtocolFailed =
    "Failed to SetPortProtocol. Please check varu2d.log file for more information.";
constexpr const char* kFactoryProfileNotSupported =
    "Setting factory profile default settings is not supported on this adapter.";
constexpr const char* kProfileIdRange = "ProfileId: Value out of range. Valid range is from 1 to 255.";
constexpr const char* kGetLinkReconfigFailed =
    "Failed to get Link Reconfiguration information. Please check varu2d.log file for more information.";
constexpr const char* kLinkReconfigNotSupported =
    "Setting factory Link configuration settings is not supported on this adapter.";
constexpr const char* kSetLinkReconfigFailed =
    "Failed to set Link Reconfiguration settings. Please check varu2d.log file for more information.";
constexpr const char* kGetAriFailed = "Failed to get ARI settings. Please check varu2d.log file for more information.";
constexpr const char* kMaxFunctionNotSettable =
    "Failed to SetMaxFunctionNumber. Because this comamnd is not supported on this adapter.";
constexpr const char* kMaxFunctionValues = "Invalid Value. Valid values are 7 or 15.";
constexpr const char* kPersonalityChangeFailed =
    "Failed to change the personality of the adapter. Application internal error occurred. Please check "
    "varu2d.log file for more information.";
constexpr const char* kPersonalityReadFailed =
    "Cannot get the personality of the adapter. Application internal error occurred. Please check varu2d.log file "
    "for more information.";
constexpr const char* kPersonalityChanged =
    "Vexalon personality has been changed. Please reboot your system for the changes to take effect.";
constexpr const char* kPersonalityNotSupported =
    "The Personality Change attempted is not supported on this Vexalon controller.";
constexpr const char* kConfiguredPersonalityFailed =
    "Failed to get the configured personality for the controller. Please check varu2d.log file for more "
    "information.";
constexpr const char* kMultiChannelChanged =
    "MultiChannel state change. Please reboot your system for the changes to take effect.";
constexpr const char* kMultiChannelNotSupported = "Configuring Multi Channel is not supported on given adapter.";
constexpr const char* kGetCapabilitiesFailed =
    "Failed to get capabilities. Please check varu2d.log file for more information.";
constexpr const char* kChannelTypeMissing = "Failed to execute command. Please specify ChannelType.";
constexpr const char* kChannelTypeNotSupported = "Failed to execute command. Given channel type is not supported.";
// Firmware update, core dumps and the firmware's command line.
constexpr const char* kFirmwareUpdateOnVf = "Firmware update cannot be performed on a SR-IOV virtual function.";
constexpr const char* kUpgradeFlashRunning = "UpgradeFlash is already running in some other application.";
constexpr const char* kUfiNotFound =
    "Cannot open the specified UFI file. Please make sure the UFI file is present in the specified path.";
constexpr const char* kUfiInvalid = "Invalid UFI file format. Please use valid UFI file.";
constexpr const char* kUfiIncompatible = "The UFI file given is not compatible with this controller.";
constexpr const char* kObjectFileInvalid =
    "Invalid file format. Please use the valid file and check varu2d.log file for more information.";
constexpr const char* kInvalidFileName =
    "Invalid file name or path name given. Please provide valid file name or path name.";
constexpr const char* kOperationRunning = "Requested operation is already running in some other application.";
constexpr const char* kCoreDumpComponentFailed =
    "Failed to get core dump component properties. Please check varu2d.log file for more information.";
constexpr const char* kCoreDumpSegmentPropsFailed =
    "Failed to get core dump segment properties. Please check varu2d.log file for more information.";
constexpr const char* kCoreDumpSegmentFailed =
    "Failed to get core dump segment. Please check varu2d.log file for more information.";
constexpr const char* kCoreDumpFileFailed =
    "Failed to create core dump file. Please check varu2d.log file for more information.";
constexpr const char* kWriteNotSupportedHere =
    "Failed to create file under specified directory because write operations are not supported.";
constexpr const char* kFwCliUnsupported = "Given FWCliString not supported.";

// NIC function settings, SR-IOV, MAC addresses, virtual functions, channel settings and the profile
// save.
constexpr const char* kBootReadFailed =
    "Unable to obtain boot status. Application internal error occurred. Please check varu2d.log file for more "
    "information.";
constexpr const char* kBootWriteFailed =
    "Cannot set boot status. Application internal error occurred. Please check varu2d.log file for more "
    "information.";
constexpr const char* kNoFactoryMac =
    "Failed to retrieve the factory default MAC address for the given function. Application internal error "
    "occurred. Please check varu2d.log file for more information.";
constexpr const char* kGetMacFailed =
    "Failed to get MACAddress. Application internal error occurred. Please check varu2d.log file for more "
    "information.";
constexpr const char* kSetMacFailed =
    "Failed to set MACAddress. Application internal error occurred. Please check varu2d.log file for more "
    "information.";
constexpr const char* kVnicStatsFailed = "Failed to get vNIC status. Please check varu2d.log file for more information.";
constexpr const char* kVnicNameFailed = "Failed to get vNIC config data. Please check varu2d.log file for more information.";
constexpr const char* kGetSriovFailed =
    "Failed to get SRIOV state for the interface. Please check varu2d.log file for more information.";
constexpr const char* kSetSriovFailed =
    "Failed to set SRIOV state for the interface. Please check varu2d.log file for more information.";
constexpr const char* kSriovNotChangeable =
    "Failed to change SRIOVState. SRIOV state change is not supported on this function.";
constexpr const char* kSriovChanged =
    "Changed the SRIOV state successfully. Please reboot the machine for changes to take effect.";
constexpr const char* kSriovZmc = "Enabling SRIOV is not supported when ZMC is enabled.";
constexpr const char* kNotOnThisController = "This operation is not supported on this controller.";
constexpr const char* kNetworkBootRefused = "Configuring Network boot is not supported on this function.";
constexpr const char* kBootMethodRefused = "Give Network Boot method is not supported.";
constexpr const char* kBootMethodMissing =
    "Failed to configure NetworkBoot. When NetworkBootState is enabled, need to provide valid NetworkBootMethod.";
constexpr const char* kLinkDisabledQos =
    "Configuring channel parameter is not supported when LogicalLinkState is disabled.";
constexpr const char* kLpvidStorage = "Configuring LPVID is not supported for Storage functions.";
constexpr const char* kQosMinAboveMax = "Failed to configure QoS.Min Bandwidth is greater then Max Bandwidth.";
constexpr const char* kVepaRefused = "Failed to configure VEPAState. VEPA is not supported on this adapter.";
constexpr const char* kSaveNotSupported = "Performed command is not supported on given adapter.";
constexpr const char* kRebootForChange =
    "User requested configuration changed successfully. Please reboot your system for the changes to take effect.";
constexpr const char* kSaveRefused =
    "Failed to save configured profile, because invalid configuration provided. Please check the configuration.";

// Pending profile choices of this process that another application changed before the save.
constexpr const char* kPendingChoicesChanged =
    "The pending profile choices were changed by another application. Please make the choices again and save the "
    "profile.";

constexpr const char* kLpvidRange = "Failed to set LPVID. Valid range of LPVID is from 2 to 4094.";
constexpr const char* kAdvancedModeRefused = "Configuring AdvanceMode is not supported on this adapter.";
constexpr const char* kAdvancedModeChanged =
    "Advance mode settings changed successfully. Please reboot the machine for changes to take effect.";
constexpr const char* kChannelParameterRefused = "Configuring requested channel parameter is not supported.";
constexpr const char* kVolatileMacFailed = "Failed to set Volatile MAC Address.";
// A virtual function's VLAN or transmit rate that the host's ip command did not take (-1: not run).
constexpr const char* kIpLinkFailed =
    "The ip link command for interface \"%s\", virtual function %u was not run or failed (exit status %d).";
constexpr const char* kNoSuchVirtualFunction = "Virtual function %u is not in the table the driver reports.";

// A host program the library could not start (the virtual functions' ip command): its path and the
// system's reason.
constexpr const char* kProgramNotRun = "The program %s could not be run: %s.";

}  // namespace vx::msg
