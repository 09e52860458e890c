// The readers of the live properties' records on arbitrary replies: DCBX records of both sizes and
// their carry-over, the DCBX MIB of both forms, the operating parameters, LLDP records and
// statistics, the NCSI record, 10GBASE-T statistics and FRU VPD segments. They read only within
// the bytes given and give bounded texts.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "adapter/live_records.h"
#include "fuzz/fuzz_support.h"

using vxfuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const vxfuzz::Reply reply(data, size);
  const uint8_t* bytes = reply.bytes();

  const vx::DcbxView view = vx::dcbx_view_of(bytes, size);
  for (uint32_t g = 0; g < 16; ++g) view.members(g);
  for (int32_t e = -1; e <= vx::kDcbxAppEntries; ++e) view.entry_bitmap(e);
  if (size == vx::kDcbxSize || size == vx::kDcbxV1Size) {
    std::vector<uint8_t> request(size);
    vx::dcbx_carry_over(bytes, size, request.data());
    require(request[1] == bytes[2] && request[2] == 0 && request[3] == 0);
  }
  vx::dcbx_mib_of(bytes, size, false);
  vx::dcbx_mib_of(bytes, size, true);
  vx::operating_mode_not_applicable(bytes, size);

  const vx::lldp_cfg_params lldp = vx::lldp_params_of(bytes, size);
  require(std::strlen(vx::chassis_type_name(lldp.chassis_subtype)) < 32);
  require(std::strlen(vx::port_type_name(lldp.port_subtype)) < 32);
  require(std::strlen(vx::system_capability_name(lldp.capabilities)) < 16);
  vx::lldp_stats_of(bytes, size);

  const vx::ncsi_attribs ncsi = vx::ncsi_attribs_of(bytes, size);
  for (const vx::ncsi_config_block* b : {&ncsi.static_config, &ncsi.dynamic_config}) {
    const vx::NcsiTexts t = vx::ncsi_texts_of(*b);
    require(std::strlen(t.port0_mac) == 17 && std::strlen(t.port1_mac) == 17 && std::strlen(t.mgmt_vlan) <= 5);
  }

  vx::BaseTTexts texts;
  for (bool v1 : {false, true}) {
    vx::baset_texts_of(bytes, size, v1, &texts);
    for (const auto& value : texts.values) require(std::strlen(value) < sizeof value);
  }

  // The segment asked for comes from the reply too, so every window is tried.
  const size_t first = size > 1 ? bytes[0] * 4u : 0;
  const size_t count = size > 1 ? bytes[1] * 2u : 0;
  char segment[vx::kValueSize];
  vx::fru_segment_text(bytes, size, first, count, segment);
  require(std::strlen(segment) <= 255 && std::strlen(segment) <= 2 * count);
  return 0;
}
