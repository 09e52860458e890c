// The readers of the firmware's target lists on arbitrary replies: a SendTargets answer (first
// byte 0) or a target record (first byte 1). Whatever the bytes, a reader stays within them, bounds
// every name by its field and yields addresses, ports and tags as the tree shows them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "iscsi/records.h"
#include "iscsi/target_lists.h"

namespace {

void check(const vx::ListedTarget& t) {
  if (t.name.size() >= vx::kIscsiNameSize || t.alias.size() >= vx::kAliasSize) std::abort();
  if (t.name.find('\0') != std::string::npos) std::abort();
  for (const vx::ListedPortal& p : t.portals) {
    if (p.address.empty() || p.address.size() > 39 || p.port.empty() || p.group_tag.empty()) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // A copy of exactly the reply's size: reading one byte past it is caught by the sanitizer.
  const size_t n = size - 1;
  uint8_t* reply = static_cast<uint8_t*>(std::malloc(n == 0 ? 1 : n));
  if (reply == nullptr) return 0;
  std::memcpy(reply, data + 1, n);
  if (data[0] % 2 == 0) {
    uint32_t claimed = 0;
    for (const vx::ListedTarget& t : vx::read_target_list(reply, n, SIZE_MAX, &claimed)) check(t);
  } else {
    vx::ListedTarget t;
    if (vx::read_target_record(reply, n, &t)) check(t);
  }
  std::free(reply);
  return 0;
}
