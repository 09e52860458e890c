// Views of the tree through the public calls only, for the tests of the public interface.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "varu.h"

namespace vxtest {

// Tags of the children of one kind of the group `tag`, in order; empty when the call refuses.
inline std::vector<uint32_t> children_of(uint32_t tag, int32_t kind) {
  std::vector<uint32_t> tags(8192);
  uint32_t count = 0;
  if (VARU_get_child_tags(static_cast<int32_t>(tag), tags.data(), &count, kind) != 0) return {};
  tags.resize(count);
  return tags;
}

inline std::string name_of(uint32_t tag, int32_t kind) {
  char name[VARU_NAME_SIZE] = "";
  VARU_get_node_name(static_cast<int32_t>(tag), name, kind);
  return name;
}

}  // namespace vxtest
