// The NIC-path refresh: every NIC-node request first reopens the node and re-enumerates the
// functions, because the NIC driver may have gained or lost functions since the tree was built.
//
// The function set in varu_glob is the one the tree was built from, and it stays so until a tree
// built from another set exists (start-up stores the set it enumerates). A port handle therefore
// always names the function its tree node stands for: while the driver's set differs, every
// handle-addressed request is refused, and a change seen while the tree is being built is seen
// again by the next request instead of being taken as the tree's.
#include <cstring>
#include <mutex>

#include "access/backend_state.h"
#include "access/discovery.h"
#include "access/transport.h"
#include "engine/hm.h"

namespace vx {

bool nic_functions_changed() {
  VaruGlobGuard guard;
  const int32_t tree_count = varu_glob.nic_function_count;
  PciAddress tree_pci[wire::kMaxNicHandles];
  std::memcpy(tree_pci, varu_glob.nic_pci, sizeof tree_pci);

  os_put_nic_port_instances(varu_glob.nic_fds, wire::kMaxNicHandles);
  const int32_t count = os_get_nic_port_instances(varu_glob.nic_fds, wire::kMaxNicHandles);

  bool changed = count != tree_count;
  for (int32_t i = 0; !changed && i < count; ++i) {
    changed = std::memcmp(&tree_pci[i], &varu_glob.nic_pci[i], sizeof(PciAddress)) != 0;
  }
  if (!changed) return false;

  pdebug(2, 4, "%s:NIC functions changed from %d to %d\n", __func__, tree_count, count);
  // The enumeration wrote the driver's set over the tree's: put the tree's back.
  std::memcpy(varu_glob.nic_pci, tree_pci, sizeof tree_pci);
  get_interface_names(static_cast<uint32_t>(tree_count), 0);
  return true;
}

int refresh_varu_hierarchy() {
  VaruGlobGuard guard;
  if (!nic_functions_changed()) return 0;
  ++varu_glob.nic_generation;
  // Not here: handlers up the stack still hold nodes. The rebuild runs when the public call ends.
  defer_tree_rebuild();
  return 1;
}

}  // namespace vx
