// The NIC-path refresh: NIC-node requests first reopen the node and re-enumerate the functions,
// because the NIC driver may have gained or lost functions since the tree was built. Within one
// outermost public call the functions are enumerated once (a call's requests are served by one tree
// anyway, and its rebuild waits for the call's end); the next call enumerates again.
//
// The function set in varu_glob is the one the tree was built from, and it stays so until a tree
// built from another set exists (start-up stores the set it enumerates). A port handle therefore
// always names the function its tree node stands for: while the driver's set differs, every
// handle-addressed request is refused, and a change seen while the tree is being built is seen
// again at the end of that start-up instead of being taken as the tree's.
#include <cstring>
#include <mutex>

#include "access/backend_state.h"
#include "access/discovery.h"
#include "access/transport.h"
#include "engine/api_lock.h"
#include "engine/hm.h"

namespace vx {
namespace {

// The verdict of the last enumeration and the call it serves. Guarded by varu_glob_lock().
struct NicCheck {
  uint64_t call = 0;          // outermost public call; 0 serves nothing
  uint32_t generation = 0;    // varu_glob.nic_generation when made: another thread's change voids it
  bool changed = false;
  bool served = false;        // a request relied on it without enumerating
};
NicCheck g_check;

bool check_serves_this_call() {
  const uint64_t call = outermost_call_serial();
  return call != 0 && g_check.call == call && g_check.generation == varu_glob.nic_generation;
}

void record_check(bool changed) {
  g_check = NicCheck{outermost_call_serial(), varu_glob.nic_generation, changed, false};
}

// A changed set: the handles are refused from now on and the tree is built again.
int refuse_until_rebuilt() {
  // Not here: handlers up the stack still hold nodes. The rebuild runs when the public call ends.
  defer_tree_rebuild();
  return 1;
}

}  // namespace

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
  ++varu_glob.nic_generation;
  return true;
}

int refresh_varu_hierarchy() {
  VaruGlobGuard guard;
  if (check_serves_this_call()) {
    if (g_check.changed) return refuse_until_rebuilt();
    os_put_nic_port_instances(varu_glob.nic_fds, wire::kMaxNicHandles);
    if (os_open_nic_node(varu_glob.nic_fds, wire::kMaxNicHandles)) {
      g_check.served = true;
      return 0;
    }
    // The node is gone: the enumeration tells what that means for the set.
  }
  const bool changed = nic_functions_changed();
  record_check(changed);
  return changed ? refuse_until_rebuilt() : 0;
}

void nic_functions_enumerated() {
  VaruGlobGuard guard;
  record_check(false);
}

void recheck_nic_functions() {
  VaruGlobGuard guard;
  if (!check_serves_this_call() || g_check.changed || !g_check.served) return;
  const bool changed = nic_functions_changed();
  os_put_nic_port_instances(varu_glob.nic_fds, wire::kMaxNicHandles);
  record_check(changed);
  if (changed) refuse_until_rebuilt();
}

bool nic_change_seen() {
  VaruGlobGuard guard;
  return check_serves_this_call() && g_check.changed;
}

}  // namespace vx
