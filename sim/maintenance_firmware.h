// The simulated firmware's maintenance commands: the flash regions written in chunks and their
// CRCs, and the core dump (properties, components, segments, segment reads) with the firmware's
// command line riding on the segment read.
#pragma once

#include "sim/firmware.h"

namespace vx::sim {

// 7/1, operations 1 (last chunk) and 2 (chunk): a chunk of a flash region. Every other operation
// but the erase (3) is echoed.
Answer flash_write(Command& c);
// 6/1: {4, optype, 4, offset, CRC, reserved}: the 4 bytes written at the offset of the optype's
// region, or the configured CRC where nothing was written.
Answer flash_crc(Command& c);
// The in-process chunk sequences that never got their last chunk are dropped (module reset).
void clear_flash_sequences();

Answer get_coredump_props(Command& c);        // 21/11
Answer get_coredump_comp_props(Command& c);   // 22/11
Answer get_coredump_seg_props(Command& c);    // 23/11
Answer get_coredump_seg(Command& c);          // 24/11, and the command line (component 3, segment ~0)

}  // namespace vx::sim
