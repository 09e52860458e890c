// The profile readers on replies the firmware should never send (descriptors of length 0 or too
// short, counts past the reply, too many profiles), the legacy blocks and personalities, and the
// names of the multichannel modes.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "adapter/multichannel.h"
#include "adapter/personality.h"
#include "adapter/profile_records.h"

namespace {

using namespace vx;

// A get answer: u16 count, then descriptors of the given types and lengths.
std::vector<uint8_t> reply(uint16_t count, const std::vector<std::pair<uint8_t, uint8_t>>& descriptors, size_t size) {
  std::vector<uint8_t> r(size, 0);
  std::memcpy(r.data(), &count, 2);
  size_t at = kProfileReplyDescriptors;
  for (const auto& [type, length] : descriptors) {
    if (at + 2 > size) break;
    r[at] = type;
    r[at + 1] = length;
    at += length == 0 ? 2 : length;
  }
  return r;
}

TEST(ProfileDescriptors, TheWalkStopsAtLengthZeroShortDescriptorsTheEndAndTheCount) {
  // `complete`: the answer holds every descriptor it counts; one that does not is no configuration.
  const struct { uint16_t count; std::vector<std::pair<uint8_t, uint8_t>> d; size_t size; size_t want; bool complete; } rows[] = {
      {3, {{80, 88}, {81, 88}, {85, 88}}, 400, 3, true},
      {2, {{80, 88}, {81, 88}, {85, 88}}, 400, 2, true},        // the count ends it
      {60000, {{80, 88}, {81, 88}}, 400, 4, false},            // a count past the reply: the zero descriptor after them
      {3, {{80, 88}, {81, 0}, {85, 88}}, 400, 1, false},        // length 0
      {3, {{80, 88}, {81, 40}, {85, 88}}, 400, 1, false},       // too short for a NIC descriptor's fields
      {3, {{85, 23}}, 400, 0, false},
      {3, {{80, 88}, {81, 88}, {85, 88}}, 180, 2, false},       // the third would pass the end
      {1, {{99, 2}}, 400, 1, true},                             // an unknown type is only stepped over
      {0xFFFF, {}, 4, 0, false},                                // a 4-byte answer counting 65535
      {0, {}, 4, 0, true},
      {1, {{80, 88}}, 3, 0, false},                             // not even the count
  };
  for (const auto& row : rows) {
    std::vector<uint8_t> r = reply(row.count, row.d, std::max<size_t>(row.size, 4));
    r.resize(row.size);
    if (row.count == 60000) {
      for (size_t at = 180; at + 2 <= row.size; at += 88) r[at] = 99, r[at + 1] = 88;
    }
    std::vector<ResourceDescriptor> out(8);
    EXPECT_EQ(profile_descriptors(r.data(), r.size(), out.data(), out.size()), row.want) << row.count << " " << row.size;
    EXPECT_EQ(profile_reply_complete(r.data(), r.size()), row.complete) << row.count << " " << row.size;
  }
  EXPECT_EQ(profile_descriptors(nullptr, 100, nullptr, 0), 0u);
  EXPECT_FALSE(profile_reply_complete(nullptr, 100));
}

TEST(ProfileDescriptors, FieldsAreReadWhereTheFirmwarePutsThem) {
  std::vector<uint8_t> r = reply(3, {{85, 88}, {83, 88}, {84, 88}}, 300);
  uint8_t* port = r.data() + 4;
  port[4] = 0xC2;   // link 2 in the low 6 bits
  port[5] = 5;
  const uint16_t counts[] = {0xF004, 1, 2, 3, 4, 5};
  std::memcpy(port + 12, counts, sizeof counts);
  uint8_t* fcoe = port + 88;
  fcoe[6] = 0x05;
  fcoe[7] = 0xFE;   // u16 masked with 0x3ff: 0x205
  fcoe[52] = 0x41;
  fcoe[53] = 0x02;
  fcoe[40] = 0xAB;
  uint8_t* roce = fcoe + 88;
  roce[3] = 0x08;
  ResourceDescriptor d[3];
  ASSERT_EQ(profile_descriptors(r.data(), r.size(), d, 3), 3u);
  EXPECT_EQ(desc_link_number(d[0]), 2);
  EXPECT_EQ(desc_mc_type(d[0]), 5);
  EXPECT_EQ(desc_port_counts(d[0]).max_pf, 4);
  EXPECT_EQ(desc_port_counts(d[0]).fcoe, 5);
  EXPECT_EQ(desc_pf_number(d[1]), 0x205);
  EXPECT_EQ(desc_link_number(d[1]), 1);
  EXPECT_TRUE(desc_link_disabled(d[1]));
  EXPECT_EQ(desc_mac(d[1])[0], 0xAB);
  EXPECT_TRUE(desc_vf_template(d[2]));
  EXPECT_EQ(desc_mission_roles(d[2]), 0) << "a field of another type reads 0";
}

TEST(ProfileList, EntriesAreReadWithinTheReplyAndTheirTextsEnd) {
  std::vector<uint8_t> list(kProfileListSize, 'x');
  const uint32_t count = 200;
  std::memcpy(list.data(), &count, 4);
  EXPECT_EQ(profile_list_count(list.data(), list.size()), 101u) << "what 52120 bytes hold";
  const ProfileListEntry last = profile_list_entry(list.data(), list.size(), 100);
  EXPECT_EQ(std::strlen(last.description), kProfileDescriptionSize - 1);
  EXPECT_EQ(profile_list_entry(list.data(), list.size(), 101).id, 0) << "past the reply: nothing";
  std::vector<uint8_t> links(kLinkReconfigSize, 'y');
  std::memcpy(links.data() + 4, &count, 4);
  EXPECT_EQ(link_config_count(links.data(), links.size()), 33u);
  EXPECT_EQ(std::strlen(link_config_entry(links.data(), links.size(), 32).description), kLinkConfigDescriptionSize);
}

TEST(ProfileCapabilities, TypesEndAtAShortLengthAndAtTheReply) {
  std::vector<uint8_t> caps(20, 0);
  const uint32_t count = 1000;
  std::memcpy(caps.data(), &count, 4);
  const uint8_t body[] = {144, 4, 0, 0, 145, 2, 148, 8, 0, 0, 0, 0, 0, 0, 146, 1};
  std::memcpy(caps.data() + 4, body, sizeof body);
  uint8_t types[8];
  EXPECT_EQ(profile_capabilities(caps.data(), caps.size(), types, 8), 3u);
  EXPECT_EQ(types[2], 148);
  EXPECT_EQ(profile_capabilities(caps.data(), caps.size(), types, 2), 2u);
}

TEST(LegacyBlocks, TheLastEntryOfEachFunctionCountsAndEntryZeroStandsInForAMissingOne) {
  std::vector<uint8_t> block(kVxConfV1Size, 0);
  const uint32_t count = 3;
  std::memcpy(block.data(), &count, 4);
  const uint8_t entries[3][3] = {{2, 0, 1}, {3, 1, 1}, {2, 5, 2}};   // PF, state, type
  for (int i = 0; i < 3; ++i) std::memcpy(block.data() + 4 + 68 * i + 4, entries[i], 3);
  bool valid = false;
  const LegacyFunction two = legacy_function(LegacyBlock::kVxConfV1, block.data(), block.size(), 2, &valid);
  EXPECT_TRUE(valid);
  EXPECT_EQ(two.state, 5);
  EXPECT_FALSE(legacy_function(LegacyBlock::kVxConfV1, block.data(), block.size(), 7, nullptr).present);
  EXPECT_EQ(legacy_function(LegacyBlock::kVxConfV1, block.data(), block.size(), 7, nullptr).pf, 2) << "entry 0";
  const uint32_t huge = 5000;
  std::memcpy(block.data(), &huge, 4);
  legacy_function(LegacyBlock::kCommonProfile, block.data(), block.size(), 2, &valid);
  EXPECT_FALSE(valid) << "a count past the block's capacity";
}

TEST(LegacyBlocks, PersonalitiesOfTheEntriesOfPf2AndPf3) {
  const struct { bool gen4; uint8_t t2, s2, t3, s3; const char* want; } rows[] = {
      {false, 1, 0, 1, 1, "Unknown"}, {false, 1, 1, 1, 1, "NIC"},     {false, 1, 0, 1, 0, "iSCSI"},
      {false, 2, 0, 2, 0, "FCoE"},    {false, 2, 3, 2, 3, "Illegal"}, {false, 7, 1, 7, 1, "NIC"},
      {true, 4, 1, 4, 1, "FCoE"},     {true, 2, 1, 2, 1, "Illegal"},  {true, 2, 0, 2, 0, "NIC"},
      {true, 2, 1, 4, 1, "Unknown"},
  };
  for (const auto& r : rows) EXPECT_STREQ(legacy_personality(r.gen4, r.t2, r.s2, r.t3, r.s3), r.want);
}

TEST(Multichannel, ModeNamesFollowTheCapabilityBitsAndItemsAreWhole) {
  const struct { uint32_t bits; const char* want; } rows[] = {
      {0x21, "vNIC2"}, {0x19, "ZMC,NPAR,vNIC1"}, {0, "N/A"}, {0x680, "HPZMC,HPFlex,HPFlexQBG"},
  };
  for (const auto& r : rows) {
    char text[kValueSize];
    supported_mc_types_text(r.bits, text);
    EXPECT_STREQ(text, r.want);
  }
  EXPECT_FALSE(list_has_item("HPZMC", "ZMC"));
  EXPECT_TRUE(list_has_item("NPAR,ZMC", "ZMC"));
  EXPECT_FALSE(list_has_item("ZMC,NPAR", "zmc"));
  EXPECT_FALSE(list_has_item("ZMC,NPAR", ""));
}

}  // namespace
