// The front end's text code sets and address parsers on arbitrary bytes, with outputs of exact
// size so that a write past an end is caught, and a wide string that ends exactly where the scan
// limit does so that a read past it is caught.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ima/address_text.h"
#include "ima/esx50_codeset.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

void utf8_side(const std::string& text, uint32_t units) {
  std::vector<IMA_WCHAR> field(units == 0 ? 1 : units, 0x5A5A5A5A);
  const int32_t count = vx::Iscsi_CodeSet_LengthInCodePoints(text.c_str());
  const IMA_STATUS status = vx::Sample_Iscsi_ToWide(field.data(), text.c_str(), units);
  check((status == IMA_STATUS_SUCCESS) == (count >= 0 && static_cast<uint32_t>(count) < units));
  IMA_WCHAR* wide = nullptr;
  if (vx::Iscsi_CodeSet_UTF8ToUTF32(text.c_str(), &wide) == 0) return;
  // Whatever decodes and can be encoded again comes back byte for byte.
  char* again = nullptr;
  if (vx::wide_length(wide) < vx::kWideScanLimit && vx::Iscsi_CodeSet_UTF32ToUTF8(wide, &again) == 1) {
    check(text == again);
  }
  std::free(again);
  std::free(wide);
}

void wide_side(const uint8_t* data, size_t size, uint32_t slot_size) {
  const size_t units = std::min(size / 4, vx::kWideScanLimit);
  std::vector<IMA_WCHAR> wide(units);
  if (units > 0) std::memcpy(wide.data(), data, units * 4);
  // Unterminated only when it fills the whole scan; otherwise terminated right after the units.
  if (units < vx::kWideScanLimit) wide.push_back(0);
  std::vector<char> slot(slot_size == 0 ? 1 : slot_size);
  const IMA_STATUS status = vx::wide_to_utf8(slot.data(), wide.data(), slot_size, IMA_ERROR_NAME_TOO_LONG);
  if (status == IMA_STATUS_SUCCESS) check(std::memchr(slot.data(), '\0', slot_size) != nullptr);
  vx::Sample_Iscsi_WideLength(wide.data());
  vx::Sample_Iscsi_WideCmp(wide.data(), wide.data(), slot_size);
}

void address_side(const std::string& text, uint32_t out_size) {
  IMA_IP_ADDRESS address;
  vx::parse_ip_text(text.c_str(), &address);
  std::vector<char> formatted(out_size == 0 ? 1 : out_size);
  vx::format_ip_text(address, formatted.data(), out_size);
  uint8_t mac[6];
  vx::parse_mac_text(text.c_str(), mac);
  vx::parse_rate_text(text.c_str());
  std::vector<uint8_t> bytes(out_size == 0 ? 1 : out_size);
  // A claimed length beyond the text: the NUL still ends it.
  vx::Covert_Hex_To_Bin(bytes.data(), text.c_str(), static_cast<int32_t>(text.size() + 8), static_cast<int32_t>(out_size));
}

}  // namespace

// The conversions print each refusal on standard output, as the host's tools show them; the
// fuzzer's own report goes to standard error.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FILE* quiet = std::freopen("/dev/null", "w", stdout);
  (void)quiet;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint32_t out_size = data[0];
  const uint8_t mode = data[1] % 3;
  data += 2;
  size -= 2;
  const std::string text(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
  if (mode == 0) utf8_side(text, out_size);
  if (mode == 1) wide_side(data, size, out_size + 1);
  if (mode == 2) address_side(text, out_size);
  return 0;
}
