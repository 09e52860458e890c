// The NIC-path refresh: every NIC-node request first reopens the node and re-enumerates the
// functions, because the NIC driver may have gained or lost functions since the tree was built.
#include <cstring>
#include <mutex>

#include "access/backend_state.h"
#include "access/discovery.h"
#include "access/transport.h"
#include "engine/hm.h"

namespace vx {

int refresh_varu_hierarchy() {
  VaruGlobGuard guard;
  const int32_t old_count = varu_glob.nic_function_count;
  PciAddress old_pci[wire::kMaxNicHandles];
  std::memcpy(old_pci, varu_glob.nic_pci, sizeof old_pci);

  os_put_nic_port_instances(varu_glob.nic_fds, wire::kMaxNicHandles);
  const int32_t count = os_get_nic_port_instances(varu_glob.nic_fds, wire::kMaxNicHandles);

  bool changed = count != old_count;
  for (int32_t i = 0; !changed && i < count; ++i) {
    changed = std::memcmp(&old_pci[i], &varu_glob.nic_pci[i], sizeof(PciAddress)) != 0;
  }
  if (!changed) return 0;

  pdebug(2, 4, "%s:NIC functions changed from %d to %d, rebuilding the hierarchy\n", __func__, old_count, count);
  varu_glob.nic_function_count = count;
  ++varu_glob.nic_generation;
  // Not here: handlers up the stack still hold nodes. The rebuild runs when the public call ends.
  defer_tree_rebuild();
  return 1;
}

}  // namespace vx
