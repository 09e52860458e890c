// The readers of the NIC function records on arbitrary replies of exact size: the virtual-function
// table, the expansion-ROM bits, the older blocks with the SR-IOV state and the MAC, the boot, OEM
// execution and switch configuration records, the bandwidth texts. No read past the reply, every
// offset found inside it, every text within its room.
#include <cstring>

#include "adapter/nic_records.h"
#include "fuzz/fuzz_support.h"

using vxfuzz::require;

namespace {
volatile uint32_t sink;

// A record of the reply's first bytes, as the command wrappers copy one back.
template <typename T>
T record(const uint8_t* r, size_t size) {
  T out{};
  if (r != nullptr) std::memcpy(&out, r, size < sizeof out ? size : sizeof out);
  return out;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const vxfuzz::Reply reply(data, size);
  const uint8_t* r = reply.bytes();
  const uint32_t count = size > 12 ? r[12] : 0;   // the driver's count byte
  for (uint32_t i = 0; i <= 61; ++i) {
    if (const std::optional<vx::VfEntry> e = vx::vf_entry(r, size, count, i)) sink += e->qos + e->vlan + e->mac[5];
  }
  for (uint32_t generation : {2u, 3u, 5u}) {
    for (uint32_t function : {0u, 7u, 8u, 31u, 32u, 255u, 300u}) {
      sink += vx::expansion_rom_enabled(r, size, function, generation);
    }
  }
  for (vx::LegacySriovBlock block : {vx::LegacySriovBlock::kVxConfV1, vx::LegacySriovBlock::kCommonProfile}) {
    for (const char* function : {"0x0", "0x2", "0X7", "7", ""}) {
      const vx::LegacySriov s = vx::legacy_sriov(block, r, size, function);
      require(!s.found || (s.offset < size && r[s.offset] == s.state));
    }
  }
  for (uint32_t pf : {0u, 2u, 255u}) {
    const size_t at = vx::vx_conf_mac_offset(r, size, pf);
    require(at == 0 || at + 6 <= size);
  }
  char text[64];
  const vx::oem_exec_cfg oem = record<vx::oem_exec_cfg>(r, size);
  vx::mac_text(oem.volatile_mac, '-', text, sizeof text);
  require(std::strlen(text) == 17);
  sink += oem.vlan_id + oem.vlan_priority;
  require(std::strlen(vx::boot_method_text(record<vx::boot_config>(r, size))) <= 4);
  require(vx::forwarding_mode(record<vx::hsw_config_get>(r, size).port) <= 7);
  const vx::vnic_name_record name = record<vx::vnic_name_record>(r, size);
  require(strnlen(name.name, sizeof name.name) <= sizeof name.name);
  if (size >= 5 && vx::bandwidth_text(r[0], record<uint32_t>(r + 1, size - 1), text, sizeof text)) {
    require(std::strlen(text) < sizeof text);
  }
  return 0;
}
