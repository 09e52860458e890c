// Route, ARP and iSNS entries: listings, limits per physical HBA, numbering, fresh values and what
// an entry records for persistence.
#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "engine/hm.h"
#include "schema/controller.h"
#include "schema/iscsi_phba.h"
#include "schema/names_iscsi_phba.h"
#include "schema/table_entries.h"
#include "support/test_support.h"
#include "unit/schema/listing.h"
#include "unit/schema/schema_fixture.h"
#include "varu.h"

namespace {

using Builder = hm_node* (*)(hm_node*, hm_node*, hm_node*, char[6][256]);

using vxtest::number_of;
using vxtest::tree_nodes;

hm_node* child_group(hm_node* parent, const char* name) { return vx::internal_get_node(parent, name, kGroup); }

hm_node* route_table(hm_node* phba) {
  return child_group(child_group(child_group(phba, vx::kGroupPhbaNetwork), vx::kGroupPhbaTCPIPConfiguration),
                     vx::kGroupPhbaRouteTable);
}
hm_node* arp_table(hm_node* phba) {
  return child_group(child_group(child_group(phba, vx::kGroupPhbaNetwork), vx::kGroupPhbaTCPIPConfiguration),
                     vx::kGroupPhbaARPTable);
}
hm_node* isns(hm_node* phba) { return child_group(phba, vx::kGroupPhbaiSNS); }

struct Entry {
  const char* listing;
  Builder build;
  hm_node* (*table)(hm_node* phba);
  int max;
};
const Entry kEntries[] = {
    {"RouteTableEntry.tsv", vx::initialize_RouteTableEntry, route_table, 1024},
    {"ARPTableEntry.tsv", vx::initialize_ARPTableEntry, arp_table, 64},
    {"iSNSServer.tsv", vx::initialize_iSNSServer, isns, 4},
};

// One controller with two iSCSI physical HBAs.
class TableEntrySchema : public vxtest::WithParents<vxtest::StartedTree, vxtest::Depth::kPhysicalHba> {
 protected:
  void SetUp() override {
    WithParents::SetUp();
    if (HasFatalFailure()) return;
    phba1_ = vx::initialize_iSCSIPhysicalHBA(vexalon, nullptr, nullptr, nullptr);
    ASSERT_NE(phba1_, nullptr);
  }

  hm_node* phba1_ = nullptr;
};

TEST_F(TableEntrySchema, EntriesMatchTheirListings) {
  for (const Entry& e : kEntries) {
    SCOPED_TRACE(e.listing);
    hm_node* table = e.table(phba);
    ASSERT_NE(table, nullptr);
    hm_node* entry = e.build(table, nullptr, nullptr, nullptr);
    EXPECT_TRUE(vxtest::MatchesListing(e.listing, entry));
    EXPECT_EQ(vxtest::CountListing(e.listing).actions, 0);
    EXPECT_EQ(vxtest::count_nodes(entry).total(),
              vxtest::CountListing(e.listing).groups + vxtest::CountListing(e.listing).properties);
  }
}

// Each table holds its maximum per physical HBA; the next entry is refused and changes nothing,
// while the other physical HBA and another controller still count from 0.
TEST_F(TableEntrySchema, LimitsArePerPhysicalHBA) {
  hm_node* other_vexalon = vx::initialize_Vexalon(root, nullptr, nullptr, nullptr);
  ASSERT_NE(other_vexalon, nullptr);
  hm_node* other_phba0 = vx::initialize_iSCSIPhysicalHBA(other_vexalon, nullptr, nullptr, nullptr);
  ASSERT_NE(other_phba0, nullptr);
  for (const Entry& e : kEntries) {
    SCOPED_TRACE(e.listing);
    hm_node* table = e.table(phba);
    for (int i = 0; i < e.max; ++i) {
      hm_node* entry = e.build(table, nullptr, nullptr, nullptr);
      ASSERT_NE(entry, nullptr);
      ASSERT_EQ(number_of(entry), i);
    }
    int nodes = tree_nodes();
    uint32_t allocations = vx::varu_alloc_count();
    EXPECT_EQ(e.build(table, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(tree_nodes(), nodes);
    EXPECT_EQ(vx::varu_alloc_count(), allocations);
    EXPECT_EQ(number_of(e.build(e.table(phba1_), nullptr, nullptr, nullptr)), 0);
    EXPECT_EQ(number_of(e.build(e.table(other_phba0), nullptr, nullptr, nullptr)), 0);
  }
}

TEST_F(TableEntrySchema, DeletedRouteNumberIsReusedFirst) {
  hm_node* table = route_table(phba);
  hm_node* entries[5];
  for (hm_node*& entry : entries) {
    entry = vx::initialize_RouteTableEntry(table, nullptr, nullptr, nullptr);
    ASSERT_NE(entry, nullptr);
  }
  ASSERT_EQ(vx::delete_node(entries[2]), vx::kStatusOk);
  EXPECT_EQ(vx::internal_get_node(table, "RouteTableEntry2", kGroup), nullptr);
  hm_node* again = vx::initialize_RouteTableEntry(table, nullptr, nullptr, nullptr);
  EXPECT_EQ(number_of(again), 2);
  EXPECT_EQ(vx::internal_get_node(table, "RouteTableEntry2", kGroup), again);
  EXPECT_EQ(number_of(vx::initialize_RouteTableEntry(table, nullptr, nullptr, nullptr)), 5);
}

TEST_F(TableEntrySchema, FreshValuesUntilTheReaderFillsThem) {
  struct Row {
    Builder build;
    hm_node* (*table)(hm_node*);
    const char* property;
    const char* value;
  };
  const Row kRows[] = {
      {vx::initialize_RouteTableEntry, route_table, vx::kPropRouteDestination, "0.0.0.0"},
      {vx::initialize_RouteTableEntry, route_table, vx::kPropRouteSubnetMask, "255.255.255.0"},
      {vx::initialize_ARPTableEntry, arp_table, vx::kPropArpMACAddress, "00:00:00:00:00:00"},
      {vx::initialize_iSNSServer, isns, vx::kPropIsnsServerPortNumber, "3205"},
  };
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.property);
    hm_node* entry = row.build(row.table(phba), nullptr, nullptr, nullptr);
    ASSERT_NE(entry, nullptr);
    char value[vx::kValueSize] = "unread";
    EXPECT_EQ(vx::internal_get_property(entry, row.property, value), vx::kStatusOk);
    EXPECT_STREQ(value, row.value);
    // The reader overwrites the cache; the handler then answers the new text.
    ASSERT_EQ(vx::set_prop_val(entry, row.property, "%s", "filled"), 0);
    EXPECT_EQ(vx::internal_get_property(entry, row.property, value), vx::kStatusOk);
    EXPECT_STREQ(value, "filled");
  }
}

// An ARP entry records the origin, action and parameters its caller passes, and takes the next
// persistence priority; entries built without an action record nothing. (Which action a table
// reader may pass is the reader's rule: never a delete.)
TEST_F(TableEntrySchema, ArpEntryRecordsTheActionItIsGiven) {
  hm_node* table = arp_table(phba);
  hm_node* add = vx::internal_get_node(table, vx::kActionPhbaAddARPTableEntry, kAction);
  ASSERT_NE(add, nullptr);
  char params[vx::kParamCount][vx::kValueSize] = {};
  std::snprintf(params[0], sizeof params[0], "%s", "10.0.0.9");
  std::snprintf(params[1], sizeof params[1], "%s", "00-11-22-33-44-55");

  uint32_t priority = vx::persistency_priority;
  hm_node* first = vx::initialize_ARPTableEntry(table, table, add, params);
  hm_node* second = vx::initialize_ARPTableEntry(table, nullptr, nullptr, nullptr);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(vx::persistency_priority, priority + 1);

  ASSERT_NO_FATAL_FAILURE(vxtest::expect_recorded(first, table, add, priority));
  EXPECT_EQ(std::memcmp(vx::group_data(first)->params, params, sizeof params), 0);
  vxtest::expect_not_recorded(second);

  // What a save will replay: the entry is the one persistent node, with its action and block.
  uint32_t tags[8] = {};
  int32_t count = 8;
  ASSERT_EQ(VARU_get_persistent_nodes(tags, &count), vx::kStatusOk);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(tags[0], static_cast<uint32_t>(first->tag));
  hm_persistence_info info{};
  ASSERT_EQ(VARU_get_persistence_info(first->tag, &info), vx::kStatusOk);
  EXPECT_EQ(info.action_tag, static_cast<uint32_t>(add->tag));
  EXPECT_EQ(info.invoked_on_tag, static_cast<uint32_t>(table->tag));
  EXPECT_STREQ(info.params[0], "10.0.0.9");
  EXPECT_STREQ(info.params[1], "00-11-22-33-44-55");
}

// The iSNS refresh passes the iSNS group, its ConfigureiSNSServer action and the server's address
// and port, so that a restore configures the server again.
TEST_F(TableEntrySchema, IsnsServerRecordsItsConfigureAction) {
  hm_node* group = isns(phba1_);
  hm_node* configure = vx::internal_get_node(group, vx::kActionPhbaConfigureiSNSServer, kAction);
  ASSERT_NE(configure, nullptr);
  char params[vx::kParamCount][vx::kValueSize] = {};
  std::snprintf(params[0], sizeof params[0], "%s", "192.168.0.20");
  std::snprintf(params[1], sizeof params[1], "%s", "3205");
  uint32_t priority = vx::persistency_priority;
  hm_node* server = vx::initialize_iSNSServer(group, group, configure, params);
  ASSERT_NE(server, nullptr);
  ASSERT_NO_FATAL_FAILURE(vxtest::expect_recorded(server, group, configure, priority));
  EXPECT_STREQ(vx::group_data(server)->params[0], "192.168.0.20");
  EXPECT_STREQ(vx::group_data(server)->params[1], "3205");
}

}  // namespace
