// Helpers of the NIC function and channel tests: properties and actions by path, the library's
// routines run as a public call runs them, and the fields of a journal payload.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "engine/api_lock.h"
#include "tests/api/lab_fixture.h"
#include "tests/api/startup_fixture.h"

namespace vxtest::nic {

using Bytes = std::vector<uint8_t>;

inline uint32_t set_at(const std::string& path, const std::string& value) {
  const size_t slash = path.rfind('/');
  return set_value(tag_at(path.substr(0, slash)), path.substr(slash + 1).c_str(), value);
}
inline uint32_t act_at(const std::string& path, const char* action, std::initializer_list<const char*> slots) {
  return act(tag_at(path), action, slots);
}
inline hm_node* node_at(const std::string& path, int32_t kind = VARU_KIND_GROUP) {
  return vx::get_node(static_cast<int32_t>(tag_at(path, kind)));
}
template <typename Fn>
uint32_t call(Fn fn) {
  return vx::public_call("test", [&]() -> uint32_t { return fn(); });
}
// A success that leaves a status to tell.
inline void expect_told(uint32_t rc, uint32_t code, const char* text) {
  EXPECT_EQ(rc, 0u);
  EXPECT_EQ(last_status().code, code);
  EXPECT_EQ(last_status().text, text);
}
// A profile configuration reply: the descriptor count, then each descriptor (88 bytes) of `type`
// with the bytes given set.
struct Descriptor {
  uint8_t type;
  std::vector<std::pair<size_t, uint8_t>> bytes;
};
inline Bytes profile_reply(std::initializer_list<Descriptor> descriptors) {
  Bytes reply(4, 0);
  reply[0] = static_cast<uint8_t>(descriptors.size());
  for (const Descriptor& d : descriptors) {
    Bytes one(88, 0);
    one[0] = d.type;
    one[1] = 88;
    for (const auto& [at, value] : d.bytes) one[at] = value;
    reply.insert(reply.end(), one.begin(), one.end());
  }
  return reply;
}
inline uint16_t u16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }
inline uint32_t u32(const Bytes& b, size_t at) {
  uint32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}

}  // namespace vxtest::nic
