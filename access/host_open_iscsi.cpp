// The open-iscsi branch is never selected on this host: its entries accept anything and do nothing.
#include "access/host.h"

namespace vx {

#define VX_DEFINE_OPEN_ISCSI_ENTRY(name) \
  uint32_t name(...) { return 0; }
VX_OPEN_ISCSI_ENTRIES(VX_DEFINE_OPEN_ISCSI_ENTRY)
#undef VX_DEFINE_OPEN_ISCSI_ENTRY

}  // namespace vx
