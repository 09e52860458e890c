// The firmware's profile records and their bounded readers: the profile configuration and its
// resource descriptors, the profile list, the profile capabilities, the link configurations and the
// older configuration blocks of the adapters without profiles. Every reader takes the reply bytes
// and their length: a descriptor of length 0, one too short for the fields read, one that would
// pass the reply's end, or a count larger than the reply holds ends the walk there.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vx {

// ---- profile configuration (get opcode 164, set 165, subsystem 1, header version 1) ----------------
constexpr uint32_t kProfileConfigSize = 22620;      // get: request and answer
constexpr uint32_t kProfileConfigSetSize = 22624;   // set: a full record
constexpr size_t kProfileReplyDescriptors = 4;      // get answer: u16 count at 0
constexpr size_t kProfileSetDescriptors = 8;        // set request: u32 count at 4
constexpr uint8_t kResourceDescriptorLength = 88;
constexpr uint8_t kProfileSetMarker = 0x80;         // byte 3 of a set request

// Request byte 1, bits 0-1: which configuration; bit 2 the flag of the configured-profile reads.
enum ProfileConfigType : uint8_t { kConfiguredProfile = 0, kProfileById = 1, kActiveProfile = 2 };
constexpr uint8_t kProfileFlagBit = 0x04;

enum DescriptorType : uint8_t {
  kDescPciFunction = 80,
  kDescNic = 81,
  kDescIscsi = 82,
  kDescFcoe = 83,
  kDescRoce = 84,
  kDescPort = 85,
};

// Protocol codes of a PCI-function descriptor and bits of its mission roles.
enum FunctionProtocol : uint8_t { kFnNic = 1, kFnIscsi = 2, kFnFcoe = 4, kFnRoce = 8 };

// One resource descriptor of a reply, with the fields the handlers read. Fields a type does not
// have read 0.
struct ResourceDescriptor {
  uint8_t type;
  uint8_t length;
  const uint8_t* bytes;   // `length` bytes, all inside the reply
};

uint16_t desc_pf_number(const ResourceDescriptor& d);   // 10 bits at 6-7 (types 80 to 84)
bool desc_vf_template(const ResourceDescriptor& d);      // byte 3 bit 3 (81 to 84)
// Type 80.
uint8_t desc_sriov_state(const ResourceDescriptor& d);
uint8_t desc_pf_state(const ResourceDescriptor& d);
uint8_t desc_protocol(const ResourceDescriptor& d);
uint8_t desc_mission_roles(const ResourceDescriptor& d);
bool desc_sriov_state_chg(const ResourceDescriptor& d);
// Types 81, 82, 83: the function's MAC (six bytes), link number, link-disabled flag, bandwidths.
const uint8_t* desc_mac(const ResourceDescriptor& d);
uint8_t desc_link_number(const ResourceDescriptor& d);   // also type 85
bool desc_link_disabled(const ResourceDescriptor& d);
uint32_t desc_min_bandwidth(const ResourceDescriptor& d);
uint32_t desc_max_bandwidth(const ResourceDescriptor& d);
uint16_t desc_lpvid(const ResourceDescriptor& d);        // type 81 only
// Type 85: multichannel mode and the 12-bit function counts.
uint8_t desc_mc_type(const ResourceDescriptor& d);
struct PortCounts {
  uint16_t max_pf;
  uint16_t max_storage;
  uint16_t nic;
  uint16_t roce;
  uint16_t iscsi;
  uint16_t fcoe;
};
PortCounts desc_port_counts(const ResourceDescriptor& d);

// The descriptors of a get answer in order: at most its u16 count, each within `size`. Returns how
// many there are; the first `capacity` of them are stored in `out`.
size_t profile_descriptors(const uint8_t* reply, size_t size, ResourceDescriptor* out, size_t capacity);
// True when the answer holds every descriptor its count names, each whole: an answer that ends
// early is no configuration to act on (a short list would pass for the adapter's profile).
bool profile_reply_complete(const uint8_t* reply, size_t size);
// The largest number of descriptors a full answer can hold.
constexpr size_t kMaxProfileDescriptors = (kProfileConfigSize - kProfileReplyDescriptors) / 8;

// ---- profile list (opcode 166, subsystem 1): u32 count, 516-byte entries from 4 -------------------
constexpr uint32_t kProfileListSize = 52120;
constexpr size_t kProfileListEntry = 516;
constexpr size_t kProfileDescriptionSize = 512;
struct ProfileListEntry {
  uint8_t id;
  char description[kProfileDescriptionSize];   // terminated
};
// Entries of the list within `size`: at most the count, and what the reply holds (101 at most).
size_t profile_list_count(const uint8_t* reply, size_t size);
ProfileListEntry profile_list_entry(const uint8_t* reply, size_t size, size_t index);

// ---- profile capabilities (opcode 161, subsystem 1, header version 1) -----------------------------
constexpr uint32_t kProfileCapSize = 10284;
enum CapabilityType : uint8_t { kCapGeneral = 144, kCapNic = 145, kCapIscsi = 146, kCapFcoe = 147, kCapRoce = 148 };
// The capability types in order: at most the u32 count at 0, (type, length) descriptors from 4, each
// within `size` and at least 2 bytes long. Returns how many were stored.
size_t profile_capabilities(const uint8_t* reply, size_t size, uint8_t* types, size_t capacity);

// ---- link configurations (opcode 201, subsystem 1) ------------------------------------------------
constexpr uint32_t kLinkReconfigSize = 1196;
constexpr size_t kLinkConfigEntry = 36;
constexpr size_t kLinkConfigDescriptionSize = 32;
struct LinkConfigEntry {
  uint8_t id;
  char description[kLinkConfigDescriptionSize + 1];   // terminated
};
uint8_t link_config_active(const uint8_t* reply, size_t size);
uint8_t link_config_next(const uint8_t* reply, size_t size);
size_t link_config_count(const uint8_t* reply, size_t size);   // at most the count and what fits
LinkConfigEntry link_config_entry(const uint8_t* reply, size_t size, size_t index);

// ---- the older configuration blocks (adapters without profiles) --------------------------------
// vx_conf (opcode 81, header version 0, 836 bytes: 16 entries of 52) and vx_conf_v1 (version 1,
// 1092 bytes: 16 of 68): +0 kind (0 PCI function), +4 PF number, +5 pf_state, +6 pf_type.
// common_profile_config (opcode 164, version 0, 18436 bytes: 256 of 72): +0 type (64 PCI function),
// +6 u16 PF number (low 10 bits), +13 state, +14 protocol.
constexpr uint32_t kVxConfSize = 836;
constexpr uint32_t kVxConfV1Size = 1092;
constexpr uint32_t kCommonProfileSize = 18436;
enum class LegacyBlock { kVxConf, kVxConfV1, kCommonProfile };
struct LegacyFunction {
  bool present;     // false: no entry for that function (the block's entry 0 stands in)
  uint16_t pf;
  uint8_t state;
  uint8_t type;     // pf_type (vx_conf) or protocol (common profile)
};
// The last PCI-function entry of `pf` among the block's entries (never past its capacity or
// `size`); entry 0 when there is none. `count_valid` is false when the block's count exceeds its
// capacity.
LegacyFunction legacy_function(LegacyBlock block, const uint8_t* data, size_t size, uint16_t pf, bool* count_valid);
// Offsets of the fields of vx_conf entry `index`, for the change of personality.
constexpr size_t kVxConfEntries = 16;
constexpr size_t kVxConfEntry = 52;
constexpr size_t kVxConfFirstEntry = 4;

}  // namespace vx
