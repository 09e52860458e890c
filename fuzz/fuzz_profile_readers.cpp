// The readers of the profile configuration, the profile list, the capabilities, the link
// configurations and the older configuration blocks on arbitrary replies of exact size: no read
// past the reply, every descriptor inside it and long enough for its fields, texts terminated, and
// an answer short of its counted descriptors never taken as complete.
#include <cstring>

#include "adapter/personality.h"
#include "adapter/profile_records.h"
#include "fuzz/fuzz_support.h"

using vxfuzz::require;

namespace {
volatile uint32_t sink;   // what the field readers return is kept, so the reads are made
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const vxfuzz::Reply reply(data, size);
  const uint8_t* r = reply.bytes();
  static vx::ResourceDescriptor descriptors[vx::kMaxProfileDescriptors];
  const size_t count = vx::profile_descriptors(r, size, descriptors, vx::kMaxProfileDescriptors);
  require(count <= vx::kMaxProfileDescriptors);
  // Complete only when every counted descriptor was read whole; a short answer never passes.
  const size_t counted = size >= vx::kProfileReplyDescriptors ? static_cast<size_t>(r[0] | r[1] << 8) : 0;
  require(count <= counted);
  require(vx::profile_reply_complete(r, size) == (size >= vx::kProfileReplyDescriptors && count == counted));
  for (size_t i = 0; i < count; ++i) {
    const vx::ResourceDescriptor& d = descriptors[i];
    require(d.length >= 2 && d.bytes >= r && d.bytes + d.length <= r + size);
    sink += vx::desc_pf_number(d) + vx::desc_mac(d)[5] + vx::desc_port_counts(d).fcoe + vx::desc_max_bandwidth(d) +
            vx::desc_lpvid(d) + vx::desc_link_number(d) + vx::desc_sriov_state_chg(d) + vx::desc_link_disabled(d) +
            vx::desc_min_bandwidth(d) + vx::desc_mission_roles(d) + vx::desc_vf_template(d);
  }
  for (size_t i = 0, n = vx::profile_list_count(r, size); i <= n; ++i) {
    require(std::strlen(vx::profile_list_entry(r, size, i).description) < vx::kProfileDescriptionSize);
  }
  uint8_t types[16];
  require(vx::profile_capabilities(r, size, types, sizeof types) <= sizeof types);
  sink += vx::link_config_active(r, size) + vx::link_config_next(r, size);
  for (size_t i = 0, n = vx::link_config_count(r, size); i <= n; ++i) {
    require(std::strlen(vx::link_config_entry(r, size, i).description) <= vx::kLinkConfigDescriptionSize);
  }
  for (vx::LegacyBlock block : {vx::LegacyBlock::kVxConf, vx::LegacyBlock::kVxConfV1, vx::LegacyBlock::kCommonProfile}) {
    bool valid = false;
    const vx::LegacyFunction a = vx::legacy_function(block, r, size, 2, &valid);
    const vx::LegacyFunction b = vx::legacy_function(block, r, size, 3, nullptr);
    sink += *vx::legacy_personality(block == vx::LegacyBlock::kCommonProfile, a.type, a.state, b.type, b.state);
  }
  return 0;
}
