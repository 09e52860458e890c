// Readers of the firmware's target lists: the answer to SendTargets (and its continuation) and one
// record of the firmware's target database. They read only the bytes received, bound every name by
// its field (a name without its terminator reads empty), and stop at the first entry that was not
// received whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vx {

struct ListedPortal {
  std::string address;   // as ipaddr_to_string writes it
  std::string port;      // decimal
  std::string group_tag;
};

struct ListedTarget {
  std::string name;
  std::string alias;
  std::vector<ListedPortal> portals;
};

// The entries of a target list of `size` bytes, at most `limit` of them. *count gets the count the
// list claims.
std::vector<ListedTarget> read_target_list(const uint8_t* data, size_t size, size_t limit, uint32_t* count);

// One target record of `size` bytes; false when even its name was not received.
bool read_target_record(const uint8_t* data, size_t size, ListedTarget* out);

}  // namespace vx
