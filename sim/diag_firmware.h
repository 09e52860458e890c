// The trace, event-log and diagnostic commands of the simulated firmware, and what an adapter keeps
// of them across processes ("records/diagnostics" of its state directory): whether its FAT data and
// event log were cleared, the ExtFAT record last written, and the loopback mode of each port.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "sim/firmware.h"

namespace vx::sim {

struct DiagState {
  bool fat_cleared = false;
  bool event_log_cleared = false;
  std::string extfat;                          // the record last written, empty until one is
  std::array<int64_t, kMaxPorts> loopback{-1, -1, -1, -1};   // -1: the mode the configuration gives
};

// The state as kept (the factory state when there is none); false when the file is unreadable.
bool read_diag_state(const Command& c, DiagState* out);
// A read-modify-write under the file's lock; `edit` returning false changes nothing.
bool update_diag_state(const Command& c, const std::function<bool(DiagState&)>& edit);

// ---- trace data and event log (trace_firmware.cpp) ---------------------------------------------------
Answer fat_command(Command& c);            // 68/1: size (op 1), a piece (op 0), clear (op 2)
Answer get_extfat(Command& c);             // 125/1: selector 0 the defaults, 1 the record in force
Answer set_extfat(Command& c);             // 126/1: the record becomes the one in force
Answer configure_snapshot(Command& c);     // 127/1: the RAM log's entry count
Answer retrieve_snapshot(Command& c);      // 128/1: log entries of RAM/DDR (source 0) or FLASH (1)
Answer read_string_table(Command& c);      // 130/1: the string table from an offset
Answer get_event_log(Command& c);          // 63/2: the count at 4, 64-byte records from 8
Answer clear_event_log(Command& c);        // 62/2

// ---- loopback, DMA and PHY diagnostics (diag_firmware.cpp) -----------------------------------------
Answer get_loopback_mode(Command& c);      // 20/11: 255 none, 254 not supported, else the mode set
Answer set_loopback_mode(Command& c);      // 19/11: enter or leave a mode
Answer loopback_test(Command& c);          // 18/11: 1/85 unless the source port is in the mode tested
Answer ddr_dma_test(Command& c);           // 17/11: the data sent comes back
Answer read_transceiver(Command& c);       // 73/1: page A0 or A2; 1/99 with no module; 66 on generation 2
Answer run_self_test(Command& c);          // 9/18: the port's result
Answer run_tdr(Command& c);                // 11/18: the port's pair status, lengths and NVP

}  // namespace vx::sim
