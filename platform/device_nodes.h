// The drivers' device nodes: the seam serves exactly these paths from the simulated adapter when
// one is configured, and the access layer opens them.
#pragma once

namespace vx::wire {

constexpr const char* kIscsiNodePrefix = "/vmfs/devices/char/vmkdriver/vx2iscsi_";   // + "%d", 0..127
constexpr const char* kNicNodePath = "/vmfs/devices/char/vmkdriver/vx_esx_nic";

}  // namespace vx::wire
