// Back-end start-up and shut-down (backend_init, backend_exit: engine/hm.h) and the calls of a
// separate back-end client.
#pragma once

#include <cstdint>

#include "varu.h"

namespace vx {

// Frees the driver records the back end owns: those of the physical HBAs, of each iSCSI one's
// TCP/IP group and of the sessions, connections and LUNs below its first logical HBA. Records that
// other groups merely point at are left to these owners. The tree itself stays. 0.
uint32_t VARU_free_all_node_handles();
// 1 when the PCI bus or the serial number of some physical HBA of the protocol (1 iSCSI, 2 NIC)
// differs from what the adapter reports now, else 0 (also when it cannot be asked).
uint32_t backend_client_bdf(int32_t protocol);
// The bodies of the exported client calls; run under the API lock.
uint32_t client_init(int32_t mode);
void client_exit(int32_t mode);

}  // namespace vx

extern "C" {
// Exported for a separate back-end client; the library never calls them itself.
VARU_API uint32_t VARU_backend_client_bdf(int32_t protocol);
// Mode 0 or 1: re-opens the device nodes and rebuilds the tree (at most three times) when the
// adapters' functions changed. 0; 1 with no controller (status 18 when there is no function at all)
// or when the functions keep changing.
VARU_API uint32_t backend_client_init(int32_t mode);
// Mode 0: switches off every beacon, leaves every loopback mode and closes the device nodes.
VARU_API void backend_client_exit(int32_t mode);
}
