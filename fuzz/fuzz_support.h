// What the reply-reader fuzz targets share: a check that stops the run, and the reply as an
// exact-size copy, so that a read past it is caught.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace vxfuzz {

inline void require(bool condition) {
  if (!condition) std::abort();
}

struct Reply {
  Reply(const uint8_t* data, size_t size) : copy(data, data + size) {}
  const uint8_t* bytes() const { return copy.empty() ? nullptr : copy.data(); }
  std::vector<uint8_t> copy;
};

}  // namespace vxfuzz
