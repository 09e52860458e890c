// The DCBX and LLDP commands of the simulated firmware: the three DCBX records of a port with the
// administrator's writes kept (and copied into the operational record where the configuration
// says so), the DCBX mode, the MIB, the operating parameters, and the LLDP records, switches and
// statistics (sim/live_state.h keeps what writes change).
#pragma once

#include "sim/firmware.h"

namespace vx::sim {

// Status 1 with additional status 30: the firmware knows only the 312-byte DCBX record.
constexpr Answer kAnswerRecordVersion{1, 30, 0};
// Status 66: the command is not supported.
constexpr Answer kAnswerUnsupported{66, 0, 0};

Answer get_dcbx_config(Command& c);     // 1/16: the record of the request's selector
Answer set_dcbx_config(Command& c);     // 2/16: the administrator record and the DCBX state
Answer get_dcbx_mib(Command& c);        // 3/16: generated counters, word i = i + 1
Answer get_dcbx_mode(Command& c);       // 4/16: u32 0 CEE, 1 CIN, 2 Auto-CEE, 3 Auto-IEEE
Answer set_dcbx_mode(Command& c);       // 5/16: byte 1 = 1 CIN, else CEE
Answer get_operating_params(Command& c);   // 108/1: one descriptor of the port's operating mode
Answer get_lldp_params(Command& c);     // 1/15: u32 0 local, 1 peer
Answer set_lldp_params(Command& c);     // 2/15: bytes 0-4 of the local record
Answer get_lldp_stats(Command& c);      // 3/15

}  // namespace vx::sim
