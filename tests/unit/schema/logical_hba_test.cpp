// The logical HBA builder: its listing, the one-instance limit, defaults, the writable set and the
// rules of its action parameters.
#include <cstdio>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "engine/builder.h"
#include "schema/controller.h"
#include "schema/iscsi_phba.h"
#include "schema/logical_hba.h"
#include "schema/names_controller.h"   // all name headers together: no constant defined twice
#include "schema/names_iscsi.h"
#include "schema/names_iscsi_phba.h"
#include "schema/names_nic.h"
#include "unit/schema/listing.h"
#include "unit/schema/schema_fixture.h"

namespace {

using vxtest::node_at;
using vxtest::tags_in_use;

void collect_writable(hm_node* node, const std::string& path, std::set<std::string>* out) {
  hm_group_data* g = vx::group_data(node);
  for (hm_node* c = g->first_child; c != node; c = c->next) {
    std::string p = path.empty() ? c->name : path + "/" + c->name;
    if (c->kind == kProperty && vx::property_data(c)->access == kReadWrite) out->insert(p);
    if (c->kind == kGroup) collect_writable(c, p, out);
  }
}

using LogicalHbaSchema = vxtest::WithParents<vxtest::TreeFixture, vxtest::Depth::kPhysicalHba>;

TEST_F(LogicalHbaSchema, MatchesListingWith76Nodes) {
  int32_t before = tags_in_use();
  uint32_t priority = vx::persistency_priority;
  hm_node* lhba = vx::initialize_LogicalHBA(phba, nullptr, nullptr, nullptr);
  ASSERT_NE(lhba, nullptr);
  EXPECT_TRUE(vxtest::MatchesListing("LogicalHBA.tsv", lhba));
  EXPECT_EQ(tags_in_use() - before, 76);
  vxtest::ListingCounts c = vxtest::CountListing("LogicalHBA.tsv");
  EXPECT_EQ(c.groups, 8);
  EXPECT_EQ(c.properties, 61);
  EXPECT_EQ(c.actions, 7);

  char shown[vx::kNameSize];
  vx::hm_instance_name(lhba, shown);
  EXPECT_STREQ(shown, "LogicalHBA0");
  // Never persistent: no creating action, no params, no priority taken.
  vxtest::expect_not_recorded(lhba);
  EXPECT_EQ(vx::persistency_priority, priority);
}

TEST_F(LogicalHbaSchema, OnePerPhysicalHbaAndEachPhysicalHbaHasItsOwn) {
  ASSERT_NE(vx::initialize_LogicalHBA(phba, nullptr, nullptr, nullptr), nullptr);
  int32_t before = tags_in_use();
  EXPECT_EQ(vx::initialize_LogicalHBA(phba, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(tags_in_use(), before);
  EXPECT_EQ(vxtest::child_names(phba).find("LogicalHBA1"), std::string::npos);

  hm_node* phba1 = vx::initialize_iSCSIPhysicalHBA(vexalon, nullptr, nullptr, nullptr);
  ASSERT_NE(phba1, nullptr);
  hm_node* other = vx::initialize_LogicalHBA(phba1, nullptr, nullptr, nullptr);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(vx::instance_info(other)->number, 0);
}

TEST_F(LogicalHbaSchema, DefaultsReadFromTheCache) {
  hm_node* lhba = vx::initialize_LogicalHBA(phba, nullptr, nullptr, nullptr);
  ASSERT_NE(lhba, nullptr);
  const char* const rows[][2] = {
      {"IfName", "vmhba"},
      {"InitiatorDefaultLoginOptions/MaxBurstLength", "262144"},
      {"InitiatorLoginOptions/Authentication/InitiatorSecret", ""},
      {"iSCSIStatistics/SessionDigestErrors", "4"},   // shorter than its stored minimum, kept
  };
  for (const auto& r : rows) {
    hm_node* prop = node_at(lhba, r[0]);
    ASSERT_NE(prop, nullptr) << r[0];
    char buf[256] = {};
    EXPECT_EQ(vx::handle_internal_property(prop, buf, kGet), vx::kStatusOk);
    EXPECT_STREQ(buf, r[1]) << r[0];
  }
}

TEST_F(LogicalHbaSchema, TenWritableProperties) {
  hm_node* lhba = vx::initialize_LogicalHBA(phba, nullptr, nullptr, nullptr);
  ASSERT_NE(lhba, nullptr);
  std::set<std::string> writable;
  collect_writable(lhba, "", &writable);
  const std::set<std::string> want = {
      "Enabled",
      "InitiatoriSCSIName/InitiatoriSCSIName",
      "InitiatoriSCSIName/InitiatorAlias",
      "InitiatorLoginOptions/ImmediateData",
      "InitiatorLoginOptions/HeaderDigest",
      "InitiatorLoginOptions/DataDigest",
      "InitiatorLoginOptions/HeaderParam",
      "InitiatorLoginOptions/DataParam",
      "iSCSIQoS/MaxBytesPerSecond",
      "iSCSIQoS/MaxIosPerSecond",
  };
  EXPECT_EQ(writable, want);
}

TEST_F(LogicalHbaSchema, ParameterAndValueRules) {
  hm_node* lhba = vx::initialize_LogicalHBA(phba, nullptr, nullptr, nullptr);
  ASSERT_NE(lhba, nullptr);
  const char* chap = "InitiatorLoginOptions/Authentication/ConfigureCHAP";
  struct Row {
    const char* node;
    const char* param;   // NULL: the node is a property
    std::string value;
    uint32_t want;
  };
  const Row rows[] = {
      {"AddTarget", "PortNumber", "80", vx::kStatusOutOfRange},
      {"AddTarget", "TargetName", "iqn.1", vx::kStatusBadLength},
      {"AddTarget", "BootTarget", "true", vx::kStatusOk},
      {"DeleteTarget", "InstanceNumber", "257", vx::kStatusOutOfRange},
      {"DeleteTarget", "InstanceNumber", "256", vx::kStatusOk},   // the handler refuses it
      {"Discovery/DeleteSendTargetPortal", "InstanceNumber", "128", vx::kStatusOutOfRange},
      {"Discovery/AddSendTargetPortal", "PortNumber", "1023", vx::kStatusOutOfRange},
      {chap, "AuthenticationMethod", "None", vx::kStatusInvalidValue},
      {chap, "AuthenticationMethod", "One-Way CHAP", vx::kStatusOk},
      {chap, "TargetSecret", std::string(11, 's'), vx::kStatusBadLength},
      {chap, "TargetSecret", std::string(34, 's'), vx::kStatusOk},
      {chap, "CHAPParam", "Prohibited", vx::kStatusInvalidValue},
      {"Enabled", nullptr, "Maybe", vx::kStatusInvalidValue},
      {"Enabled", nullptr, "FALSE", vx::kStatusOk},   // the handler refuses it
      {"InitiatoriSCSIName/InitiatorAlias", nullptr, "", vx::kStatusOk},
      {"InitiatoriSCSIName/InitiatoriSCSIName", nullptr, "", vx::kStatusBadLength},
      {"InitiatoriSCSIName/InitiatoriSCSIName", nullptr, std::string(224, 'n'), vx::kStatusBadLength},
      {"iSCSIQoS/MaxBytesPerSecond", nullptr, "1281", vx::kStatusOutOfRange},
  };
  for (const Row& r : rows) {
    hm_node* node = node_at(lhba, r.node);
    ASSERT_NE(node, nullptr) << r.node;
    EXPECT_EQ(vxtest::check_value(node, r.param, r.value), r.want) << r.node << " " << (r.param ? r.param : "") << "=" << r.value;
  }
}

}  // namespace
