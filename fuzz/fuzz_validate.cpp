// Every value rule on arbitrary bytes. Input: vtype (1 byte), min and max (4 bytes each, little
// endian), then the allowed list and the value separated by the first newline. The value sits in
// a heap block of exactly its size (at least the 40 bytes an address rewrite may use), so any
// write or read past it is caught.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/hm.h"

namespace {

int32_t read_i32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                              static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}

std::vector<char> value_block(const std::string& text) {
  std::vector<char> block(std::max<size_t>(text.size() + 1, 40), 'Z');
  std::memcpy(block.data(), text.c_str(), text.size() + 1);
  return block;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 9) return 0;
  uint8_t vtype = static_cast<uint8_t>(data[0] % 8);
  int32_t min = read_i32(data + 1);
  int32_t max = read_i32(data + 5);
  std::string rest(reinterpret_cast<const char*>(data + 9), size - 9);
  rest = rest.substr(0, rest.find('\0'));
  size_t newline = rest.find('\n');
  std::string allowed = newline == std::string::npos ? "" : rest.substr(0, newline);
  std::string value = newline == std::string::npos ? rest : rest.substr(newline + 1);

  std::vector<char> block = value_block(value);
  uint32_t verdict = vx::varu_validate(block.data(), allowed.c_str(), vtype, min, max);
  if (verdict != 0 && verdict != 6 && verdict != 7 && verdict != 8) __builtin_trap();
  // Only a valid address is rewritten, always into its 39-character full form.
  bool changed = std::strcmp(block.data(), value.c_str()) != 0;
  if (changed && (vtype != 2 || verdict != 0 || std::strlen(block.data()) != 39)) __builtin_trap();

  std::vector<char> v6 = value_block(value);
  if (vx::varu_validate_ipv6(v6.data()) == 0) {
    std::vector<char> again = value_block(v6.data());
    // The full form is its own full form.
    if (vx::validateIPv6Address(again.data()) != 0 || std::strcmp(again.data(), v6.data()) != 0) __builtin_trap();
  }
  std::vector<char> ip = value_block(value);
  vx::varu_validate_ip(ip.data());
  vx::varu_validate_subnetmask(value.c_str());
  vx::varu_validate_list(value.c_str(), allowed.c_str());
  vx::varu_validate_val_integer(value.c_str(), min, max);
  vx::varu_validate_val_string(value.c_str(), min, max);
  return 0;
}
