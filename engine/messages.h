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
constexpr const char* kFirmwareVersionsUnread =
    "Firmware download completed but failed to get ActiveFirmwareVersion and FirmwareVersionOnFlash properties. "
    "Please check varu2d.log file for more information.";

}  // namespace vx::msg
