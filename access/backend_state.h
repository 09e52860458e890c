// The back end's process-wide state `varu_glob`: the device descriptors, the NIC functions' PCI
// addresses and interface names, and the per-adapter protocol bits. The adapter enumeration adds
// its own tables at the end of the record.
//
// Every access goes through varu_glob_lock(): commands may come from property handlers that run
// without the API lock, and a NIC-path command re-enumerates the functions while it runs.
#pragma once

#include <cstdint>
#include <mutex>

#include "access/wire.h"

namespace vx {

constexpr int kMaxAdapters = 16;
constexpr int kIfNameSize = 256;
constexpr int32_t kNoDescriptor = -1;

// Bits of varu_glob.protocol_mask.
constexpr uint8_t kProtocolBitIscsi = 1u << 0;
constexpr uint8_t kProtocolBitNic = 1u << 1;
constexpr uint8_t kProtocolBitOther = 1u << 2;

struct PciAddress {
  uint8_t bus;
  uint8_t device;
  uint8_t function;
};

struct VaruGlob {
  VaruGlob();

  int32_t nic_function_count = 0;           // with nic_pci: the NIC set the tree was built from
  int32_t iscsi_node_count = 0;
  int32_t iscsi_fds[wire::kMaxIscsiNodes];   // entry h-1 = node of port handle h
  int32_t nic_fds[wire::kMaxNicHandles];     // only entry 0 (the NIC node) is used
  PciAddress nic_pci[wire::kMaxNicHandles];  // entry h-1 = PCI function of NIC port handle h
  char nic_ifname[wire::kMaxNicHandles][kIfNameSize];
  uint8_t protocol_mask[kMaxAdapters] = {};
  uint32_t nic_generation = 0;               // bumped whenever the driver's NIC set is seen to differ
};

extern VaruGlob varu_glob;

// 1 once start-up's probe has found the library on an SR-IOV virtual function; never cleared. Set
// while the tree is built and only read afterwards, so it needs no lock. Handlers of every floor
// above read it.
extern uint8_t vm_flag;

// Recursive: the transport holds it across the NIC-node refresh, which re-enters discovery.
std::recursive_mutex& varu_glob_lock();

// Holds varu_glob_lock() for a scope. A tree rebuild asked for while it is held (the NIC function
// set changed) is requested when the thread's outermost guard lets go, so the API lock is never
// waited for with this one held.
class VaruGlobGuard {
 public:
  VaruGlobGuard();
  ~VaruGlobGuard();
  VaruGlobGuard(const VaruGlobGuard&) = delete;
  VaruGlobGuard& operator=(const VaruGlobGuard&) = delete;
};
void defer_tree_rebuild();

// Back to the state before start-up (descriptors -1, no functions); does not close anything.
void reset_varu_glob();

}  // namespace vx
