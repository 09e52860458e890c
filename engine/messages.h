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

// Back end start-up.
constexpr const char* kAdapterNotFound =
    "Brightlane Adapter Not found. Please make sure Talvix NIC/iSCSI drivers are installed properly or Brightlane "
    "adapter inserted on PCIe Slot.";
constexpr const char* kNoController = "System has no controller.";

}  // namespace vx::msg
