// The controller-wide commands of the simulated firmware behind the live controller and NC-SI
// properties: the FFV name, the FRU's vital product data and the NC-SI record (sim/live_state.h
// keeps what writes change). The controller state is the core-dump properties' (core_dump_firmware.cpp).
#pragma once

#include "sim/firmware.h"

namespace vx::sim {

Answer ffv_params(Command& c);             // 2/19: operation 0 get, 1 set; 66 without an FFV name
Answer read_fru_vpd(Command& c);           // 3/19: u32 size, u32 offset; the FRU's bytes from 0
Answer get_ncsi_attributes(Command& c);    // 86/1: the 72-byte record
Answer set_ncsi_attributes(Command& c);    // 87/1: bytes 40-71 of the record

}  // namespace vx::sim
