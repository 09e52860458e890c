// The start-up restore of the saved files into every logical HBA, one discovery pass from begin to
// end. The restore of each logical HBA reads its records from one reading of each file, and the
// target records that can make no target are left out of the saved-target file once, at the end:
// the cost of a start-up grows with what it restores, not with that times the logical HBAs.
#pragma once

#include <cstdint>

namespace vx {

void begin_saved_file_restore();
// 0, or 1 when the saved-target file could not be written (status 336 when it lost records the
// firmware's targets staged).
uint32_t end_saved_file_restore();

}  // namespace vx
