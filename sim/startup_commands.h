// The commands the management library sends while it builds its view of an adapter: the Vital
// Product Data, the permanent MAC addresses, the management-service start, the OEM parameter
// block, the available personalities and the additional controller attributes; and the privileged
// commands an SR-IOV virtual function is refused.
#pragma once

#include "sim/firmware.h"

namespace vx::sim {

// Status 5 with additional status 0: "not supported for a virtual function".
constexpr Answer kAnswerNotForVirtualFunction{5, 0, 0};

// True when the adapter is seen from a virtual function and the command is one the firmware keeps
// for the physical function (configuration-space read, core-dump properties, boot configuration,
// port names).
bool refused_on_virtual_function(const Command& command);

// 91/1: request u16 function selector, u16 kind; answer the function's 1024 bytes of VPD.
Answer fetch_vpd(Command& command);
// 1/1: request byte 0 = 9: the permanent MAC of every PCI function n of the adapter at 10 + 8 n;
// byte 0 = 1 (the NIC path), or 0 with byte 1 = 1 (the iSCSI path): the addressed function's MAC
// at 2. Other requests are echoed.
Answer mac_query(Command& command);
// 147/1: the addressed function's permanent MAC at 2.
Answer mac_list(Command& command);
// 88/1: accepted, nothing answered.
Answer start_management_service(Command& command);
// 76/1: the 44-byte OEM parameter block: serial, OEM serial, personality word and bits.
Answer oem_params(Command& command);
// 113/1: the available personalities as text, its length in the header's request-length word.
Answer available_personalities(Command& command);
// 121/1: the 612-byte additional controller attributes.
Answer additional_attributes(Command& command);

// The VPD image of one function (1024 bytes, PCI VPD format).
std::vector<uint8_t> vpd_image(const Adapter& adapter, const Function& function, bool nic);

}  // namespace vx::sim
