// Every text, address and MAC routine on arbitrary bytes, with small exact-size outputs so that a
// write past an output's end is caught.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "access/text.h"
#include "engine/hm.h"

namespace {

// The input as a terminated text in a heap block of exactly its size.
std::vector<char> text_of(const uint8_t* data, size_t size) {
  std::vector<char> text(data, data + size);
  text.push_back('\0');
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  // The first bytes choose the output sizes, the delimiter and the field number; the rest is text.
  const size_t out_size = data[0] % 48;
  const char delim = static_cast<char>(data[1]);
  const uint32_t field = data[2] % 8;
  const char replacement = static_cast<char>(data[3]);
  data += 4;
  size -= 4;
  std::vector<char> text = text_of(data, size);

  {
    std::vector<char> out(out_size);
    vx::get_field(text.data(), delim, out.empty() ? nullptr : out.data(), static_cast<int32_t>(out_size));
  }
  {
    char word[3] = {delim, replacement, '\0'};
    vx::word_count(text.data(), word);
  }
  {
    std::vector<char> inout = text;   // rewritten in place when empty
    std::vector<uint8_t> bytes(16);
    vx::StrToU8IPv6(inout.data(), inout.size(), bytes.data());
    std::vector<char> out(out_size);
    vx::U8IPv6ToStr(bytes.data(), out.empty() ? nullptr : out.data(), out_size);
  }
  if (size >= 16) {
    std::vector<char> out(out_size);
    vx::U8IPv6ToStr(data, out.empty() ? nullptr : out.data(), out_size);
    std::vector<uint32_t> wide(16);
    std::vector<uint8_t> narrow(16);
    vx::copy_U32IP(wide.data(), data);
    vx::copy_U8IP(narrow.data(), data);
  }
  {
    std::vector<char> out(out_size);
    vx::VARU_convert_mac_addr(text.data(), delim, out.empty() ? nullptr : out.data(), out_size, replacement);
  }
  {
    std::vector<uint8_t> out(out_size);
    vx::convert_hex_to_bin(text.data(), static_cast<int32_t>(size), out.empty() ? nullptr : out.data(), out_size);
  }
  {
    const char delims[3] = {delim, replacement, '\0'};
    char* a = vx::varu_parse(text.data(), field, delims);
    char* b = vx::parse_file(text.data(), field, delims);
    vx::varu_dfree(a);
    vx::varu_dfree(b);
    std::vector<char> copy = text;
    vx::backend_split(copy.data(), delims);
  }
  vx::is_hex(text.data(), static_cast<int32_t>(out_size));
  vx::ULShr(static_cast<uint32_t>(size), static_cast<int32_t>(delim));
  vx::ULShl(static_cast<uint32_t>(size), static_cast<int32_t>(delim));
  {
    std::vector<char> address(vx::kIpv6TextSize, '\0');
    std::memcpy(address.data(), text.data(), std::min(size, vx::kIpv6TextSize - 1));
    vx::validateIPv6Address(address.data());
  }
  return 0;
}
