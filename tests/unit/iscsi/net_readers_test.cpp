// The readers of the firmware's network and statistics answers: counts larger than the answer
// holds, tables beyond their limit, and the texts they give.
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "engine/hm.h"
#include "iscsi/common.h"
#include "iscsi/ipv6.h"
#include "iscsi/net_records.h"
#include "iscsi/port_network.h"
#include "iscsi/route_arp.h"
#include "iscsi/statistics.h"
#include "schema/controller.h"
#include "schema/iscsi_phba.h"
#include "schema/logical_hba.h"

namespace {

using namespace vx;

void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); }

TEST(NetReaders, RouteCountsStopAtWhatTheAnswerHolds) {
  std::vector<uint8_t> reply(kRouteTableSize, 0);
  for (size_t i = 0; i < 3; ++i) {
    reply[kRouteStride * i + 12] = 10;
    reply[kRouteStride * i + 13] = static_cast<uint8_t>(i);
    reply[kRouteStride * i + 28] = 255;
    reply[kRouteStride * i + 52] = 192;
  }
  put32(reply, 0, 3);
  const std::vector<RouteText> routes = read_route_table(reply.data(), reply.size());
  ASSERT_EQ(routes.size(), 3u);
  EXPECT_EQ(routes[2].destination + " " + routes[2].mask + " " + routes[2].gateway, "10.2.0.0 255.0.0.0 192.0.0.0");

  const struct {
    uint32_t count;
    size_t size;
    size_t expected;
  } rows[] = {{0xFFFFFFFF, kRouteTableSize, kMaxRoutesInTable}, {5, 64 * 2 + 68, 3}, {5, 67, 0}, {5, 2, 0}};
  for (const auto& r : rows) {
    put32(reply, 0, r.count);
    EXPECT_EQ(read_route_table(reply.data(), r.size).size(), r.expected) << r.count << " in " << r.size;
  }
}

TEST(NetReaders, ArpTablesAboveSixtyFourAreRefused) {
  std::vector<uint8_t> reply(kArpTableSize, 0);
  reply[12] = 10;
  reply[15] = 5;
  const uint8_t mac[6] = {0, 0x1f, 0x4e, 0xab, 0, 1};
  std::memcpy(&reply[34], mac, 6);
  std::vector<ArpText> entries;
  put32(reply, 0, 65);
  EXPECT_FALSE(read_arp_table(reply.data(), reply.size(), &entries));
  put32(reply, 0, 64);
  ASSERT_TRUE(read_arp_table(reply.data(), reply.size(), &entries));
  EXPECT_EQ(entries.size(), 64u);
  EXPECT_EQ(entries[0].ip + " " + entries[0].mac, "10.0.0.5 00-1f-4e-ab-00-01");
  ASSERT_TRUE(read_arp_table(reply.data(), 40 * 2 + 40, &entries));
  EXPECT_EQ(entries.size(), 3u) << "only the entries that arrived";
}

TEST(NetReaders, Ipv6EntriesAndTexts) {
  std::vector<uint8_t> reply(sizeof(if_info_params), 0);
  put32(reply, 8, 1000);
  reply[kIpv6EntryTypeOffset] = kIpTypeRoutable;
  reply[kIpv6EntryAddressOffset] = 0xfd;
  reply[kIpv6EntryAddressOffset + 15] = 0x21;
  const auto entries = read_ipv6_entries(reply.data(), reply.size());
  EXPECT_EQ(entries.size(), kMaxIpv6Entries);
  EXPECT_EQ(entries[0].first, kIpTypeRoutable);
  EXPECT_EQ(entries[0].second, "FD00:0000:0000:0000:0000:0000:0000:0021");
  EXPECT_EQ(read_ipv6_entries(reply.data(), 100).size(), 2u);

  const struct {
    const char* text;
    bool ok;
  } rows[] = {{"fd00::21", true}, {"FD00:0000:0000:0000:0000:0000:0000:0021", true},
              {"FD00:0000:0000:0000:0000:0000:0000:00210", false}, {"fd00::21 ", false}, {"1:2:3:4:5:6:7:8:9", false},
              {"10.0.0.1", false}, {"", false}};
  for (const auto& r : rows) {
    std::string full;
    uint8_t bytes[16] = {};
    EXPECT_EQ(parse_ipv6_text(r.text, &full, bytes), r.ok) << r.text;
  }
}

TEST(NetReaders, SessionEntriesWithinTheAnswer) {
  std::vector<uint8_t> reply(kSessionAttributesHeader + 2 * kSessionAttributesEntry, 0);
  put32(reply, 4, 2);
  put32(reply, kSessionAttributesHeader, 7);
  put32(reply, kSessionAttributesHeader + kSessionAttributesEntry, 9);
  EXPECT_NE(find_session_entry(reply.data(), reply.size(), 2, 9), nullptr);
  EXPECT_EQ(find_session_entry(reply.data(), reply.size(), 1, 9), nullptr) << "only the ids asked for";
  EXPECT_EQ(find_session_entry(reply.data(), reply.size() - 1, 2, 9), nullptr) << "an entry cut short";
  put32(reply, 4, 0xFFFFFFFF);
  EXPECT_EQ(find_session_entry(reply.data(), reply.size(), 50, 3), nullptr);
}

TEST(NetReaders, PortSpeedTexts) {
  const struct {
    uint32_t units;
    uint8_t physical;
    const char* text;
  } rows[] = {{25, 4, "250Mb"}, {100, 4, "1Gb"}, {123, 4, "1.2Gb"}, {0x10000, 6, "25Gb"}, {0, 0, "0 (Link Down)"},
              {0, 200, "0 (Link Down)"}};
  for (const auto& r : rows) EXPECT_EQ(port_speed_text(r.units, r.physical), r.text) << r.units;
}

// MaxBitsPerSecond counts 100 Mb/s and is written whole or with one decimal; read in tenths it is
// the port speed in units of 10 Mb/s. Only "0" and "0.0" are zero (the physical speed code then
// names the speed); every other form is a failed read.
TEST(NetReaders, MaxBitsPerSecondInTenths) {
  const struct {
    const char* text;
    uint32_t tenths;
    const char* speed;   // at physical speed code 4
  } rows[] = {{"2.5", 25, "250Mb"}, {"0.5", 5, "50Mb"},     {"10", 100, "1Gb"}, {"62.5", 625, "6.2Gb"},
              {"100", 1000, "10Gb"}, {"0", 0, "10Gb"},      {"0.0", 0, "10Gb"}, {"6553.5", 65535, "655.4Gb"}};
  for (const auto& r : rows) {
    uint32_t tenths = 7;
    ASSERT_TRUE(parse_tenths(r.text, &tenths)) << r.text;
    EXPECT_EQ(tenths, r.tenths) << r.text;
    EXPECT_EQ(port_speed_text(tenths, 4), r.speed) << r.text;
  }
  for (const char* text : {"", "N/A", "2.", ".5", "2.50", "0.05", "00", "05", "-1", "+1", " 2", "2 ", "2,5", "1e3",
                           "0x10", "2.5.", "6553.6", "99999999999"}) {
    uint32_t tenths = 7;
    EXPECT_FALSE(parse_tenths(text, &tenths)) << '"' << text << '"';
    EXPECT_EQ(tenths, 7u) << text;
  }
}

}  // namespace

// The statistics records into their groups: numbers, hex, names of failure kinds (a kind outside
// the table leaves the value), bounded names and the failed target's address.
TEST(NetReaders, StatisticsRecordsIntoTheirGroup) {
  ASSERT_EQ(init_hm(), 0);
  hm_node* controller = initialize_Vexalon(get_node(0), nullptr, nullptr, nullptr);
  hm_node* lhba = initialize_LogicalHBA(initialize_iSCSIPhysicalHBA(controller, nullptr, nullptr, nullptr), nullptr,
                                        nullptr, nullptr);
  hm_node* stats = internal_get_node(lhba, "iSCSIStatistics", kGroup);
  ASSERT_NE(stats, nullptr);
  std::vector<uint8_t> login(kLoginStatsSize, 0);
  put32(login, kLoginFailuresOffset, 0xFFFFFFFF);
  put32(login, kLastFailureTypeOffset, 5);
  std::memset(&login[kLastTgtFailureNameOffset], 'n', kLastTgtFailureNameSize);   // no terminator
  login[kLastTgtFailureAddrTypeOffset] = 16;
  login[kLastTgtFailureAddrOffset] = 0xfd;
  const StatRow rows[] = {{kLoginFailuresOffset, 4, Shown::kDecimal, "LoginFailures"},
                          {kLastFailureTypeOffset, 4, Shown::kLoginFailure, "LastFailureType"},
                          {kLastTgtFailureNameOffset, kLastTgtFailureNameSize, Shown::kText, "LastTgtFailureName"},
                          {kLastTgtFailureAddrTypeOffset, 17, Shown::kAddress, "LastTgtFailureAddr"},
                          {kNodeRolesOffset, 2, Shown::kHex, "NodeRoles"}};
  login[kNodeRolesOffset] = 0xAB;
  EXPECT_EQ(publish_stats(stats, login.data(), login.size(), rows, 5), 0u);
  EXPECT_EQ(cached_value(stats, "LoginFailures"), "4294967295") << "an unsigned count";
  EXPECT_EQ(cached_value(stats, "LastFailureType"), "LoginAuthenticationFailure");
  EXPECT_EQ(cached_value(stats, "LastTgtFailureName"), std::string(kLastTgtFailureNameSize, 'n')) << "bounded";
  EXPECT_EQ(cached_value(stats, "LastTgtFailureAddr"), "FD00:0000:0000:0000:0000:0000:0000:0000");
  EXPECT_EQ(cached_value(stats, "NodeRoles"), "ab");
  put32(login, kLastFailureTypeOffset, 9);
  EXPECT_EQ(publish_stats(stats, login.data(), 240, rows, 5), 0u) << "fields past the record are left";
  EXPECT_EQ(cached_value(stats, "LastFailureType"), "LoginAuthenticationFailure");
  exit_hm();
}
