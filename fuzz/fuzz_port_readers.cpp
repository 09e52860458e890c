// The readers of the PHY details, port-name and DCBX answers on arbitrary replies: they read only
// within the bytes given, list only whole in-use entries of the table, and give bounded texts.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "adapter/port_records.h"
#include "fuzz/fuzz_support.h"

using vxfuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const vxfuzz::Reply reply(data, size);
  const uint8_t* bytes = reply.bytes();

  const vx::phy_details d = vx::phy_details_of(bytes, size);
  require(std::strlen(vx::interface_type_name(d.interface_type)) <= 26);   // InterfaceType holds 2..26
  for (uint16_t bits : {d.auto_speeds, d.fixed_speeds}) {
    char speeds[vx::kSpeedListSize];
    vx::speed_list_text(bits, speeds, sizeof speeds);
    require(std::strlen(speeds) > 0 && std::strlen(speeds) < sizeof speeds);
  }

  // The port and generation asked for come from the reply too, so every pairing is tried.
  const uint32_t port = size > 0 ? bytes[0] % 8 : 0;
  const uint32_t generation = size > 1 ? bytes[1] % 8 : 0;
  char name[2] = {'?', '?'};
  if (vx::port_name_of(bytes, size, port, generation, name)) {
    require(name[1] == '\0' && port < size && port < vx::kPortNameSize);
  }

  vx::AppTlvEntry entries[vx::kDcbxAppEntries];
  const size_t count = vx::app_tlv_entries(bytes, size, entries);
  require(count <= vx::kDcbxAppEntries);
  for (size_t i = 0; i < count; ++i) {
    require(entries[i].entry < vx::kDcbxAppEntries && (i == 0 || entries[i].entry > entries[i - 1].entry));
    require(offsetof(vx::dcbx_cfg_params, app) + (entries[i].entry + 1u) * sizeof(vx::dcbx_app_tlv) <= size);
  }
  return 0;
}
