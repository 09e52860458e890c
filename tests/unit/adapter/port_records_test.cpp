// The readers of the port-tree records, fed what a firmware might answer, sane or not.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "adapter/port_records.h"

namespace {

using namespace vx;

TEST(PortRecords, SpeedBitsAndInterfaceTypesBecomeTheirNames) {
  const std::pair<uint16_t, const char*> speeds[] = {
      {0x0C, "1Gb,10Gb"}, {0, "0"}, {0x01, "10Mb"}, {0xFFFF, "10Mb,100Mb,1Gb,10Gb,20Gb,40Gb"}, {0xFFC0, "0"}};
  for (const auto& [bits, text] : speeds) {
    char out[kSpeedListSize];
    speed_list_text(bits, out, sizeof out);
    EXPECT_STREQ(out, text) << bits;
  }
  char small[9];
  speed_list_text(0x3F, small, sizeof small);
  EXPECT_STREQ(small, "10Mb") << "cut at a whole name";
  const std::pair<uint32_t, const char*> types[] = {
      {0, "CX4_10GB_TYPE"}, {6, "BASET_10GB_TYPE"}, {12, "KR2_TYPE"}, {13, "Not Supported"}, {14, "N/A"}, {65535, "N/A"}};
  for (const auto& [type, name] : types) EXPECT_STREQ(interface_type_name(type), name) << type;
}

TEST(PortRecords, PortNamesComeOnlyFromPortsTheGenerationKnows) {
  const uint8_t reply[kPortNameSize] = {'A', 'B', 'C', 'D'};
  struct Row {
    uint32_t port, generation;
    size_t size;
    const char* want;   // NULL: no name
  };
  const Row rows[] = {{0, 2, 4, "A"}, {1, 2, 4, "B"}, {2, 2, 4, nullptr}, {3, 3, 4, "D"},
                      {4, 5, 4, nullptr}, {3, 4, 3, nullptr}, {200, 5, 4, nullptr}};
  for (const Row& r : rows) {
    char name[2] = "?";
    const bool got = port_name_of(reply, r.size, r.port, r.generation, name);
    EXPECT_EQ(got, r.want != nullptr) << r.port << "/" << r.generation;
    if (got) {
      EXPECT_STREQ(name, r.want);
    }
  }
}

TEST(PortRecords, OnlyWholeInUseEntriesOfARecordAreRead) {
  dcbx_cfg_params record{};
  record.app_count = 255;   // a count beyond the table is never used
  auto use = [&](int n, uint8_t flag, uint16_t protocol, uint8_t priority) {
    record.app[n] = dcbx_app_tlv{protocol, 1, flag, 0x001b21, {}};
    record.app[n].priority[priority] = 1;
  };
  use(0, kDcbxEntryInUse, 0x8906, 3);
  use(3, kDcbxEntryInUse, 3260, 4);
  use(5, 2, 860, 0);   // neither free nor in use: not shown
  use(14, kDcbxEntryInUse, 21, 7);
  const auto* bytes = reinterpret_cast<const uint8_t*>(&record);
  AppTlvEntry out[kDcbxAppEntries];
  ASSERT_EQ(app_tlv_entries(bytes, sizeof record, out), 3u);
  EXPECT_EQ(out[1].entry, 3);
  EXPECT_EQ(out[1].protocol_id, 3260);
  EXPECT_EQ(out[1].priority_bitmap, 0x10);
  EXPECT_EQ(out[2].entry, 14);
  EXPECT_EQ(app_tlv_entries(bytes, sizeof record - 1, out), 2u) << "entry 14 no longer whole";
  EXPECT_EQ(app_tlv_entries(bytes, 72, out), 0u);
  std::memset(&record.app, 0xFF, sizeof record.app);
  EXPECT_EQ(app_tlv_entries(bytes, sizeof record, out), 0u) << "0xFF is not the in-use flag";
  const phy_details short_reply = phy_details_of(bytes, 3);
  EXPECT_EQ(short_reply.signature, 0) << "bytes the reply lacks read as 0";
}

}  // namespace
