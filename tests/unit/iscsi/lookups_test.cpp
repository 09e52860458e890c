// Instance set-up and the login-option groups it fills: negotiated values as property texts,
// secrets as the firmware gives them, the login block built from a group, and purges that free the
// driver records of what they delete.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "engine/hm.h"
#include "iscsi/common.h"
#include "iscsi/login_block.h"
#include "iscsi/lookups.h"
#include "schema/controller.h"
#include "schema/iscsi_phba.h"
#include "schema/logical_hba.h"
#include "schema/target.h"
#include "support/test_support.h"

namespace {

using namespace vx;

class Lookups : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(init_hm(), 0);
    hm_node* controller = initialize_Vexalon(get_node(0), nullptr, nullptr, nullptr);
    hm_node* lhba = initialize_LogicalHBA(initialize_iSCSIPhysicalHBA(controller, nullptr, nullptr, nullptr), nullptr,
                                          nullptr, nullptr);
    target_ = initialize_Target(lhba, nullptr, nullptr, nullptr);
    ASSERT_NE(target_, nullptr);
  }
  void TearDown() override { exit_hm(); }
  std::string at(hm_node* group, const char* path) {
    std::string rest = path;
    hm_node* node = group;
    for (size_t slash; (slash = rest.find('/')) != std::string::npos; rest = rest.substr(slash + 1)) {
      node = internal_get_node(node, rest.substr(0, slash).c_str(), kGroup);
    }
    return cached_value(node, rest.c_str());
  }

  vxtest::TempRoot root_;
  hm_node* target_ = nullptr;
};

TEST_F(Lookups, NegotiatedValuesBecomePropertyTexts) {
  login_options v = *get_default_login_options();
  v.flags = 0x01 | 0x08;   // InitialR2T, no ImmediateData: no first burst
  v.header_digest = 1;
  v.chap = 1;
  v.mutual = 1;
  std::strcpy(v.initiator_chap_name, "iuser");
  std::memcpy(v.initiator_secret, "\x01\x02\xff", 3);
  v.initiator_secret_length = 3;
  std::memcpy(v.target_secret, "tsecret1234567890", 16);
  v.target_secret_length = 200;   // longer than the field: its 16 bytes
  hm_node* session = setup_session(target_, 3, 77, &v, BuilderArgs{}, "5");
  ASSERT_NE(session, nullptr);
  ASSERT_NE(setup_connection(session, 78, v, BuilderArgs{}), nullptr);
  EXPECT_EQ(setup_initiator_target_loginopts(session, v), 0u);
  const struct {
    hm_node* group;
    const char* path;
    const char* text;
  } rows[] = {
      {session, "SessionNegotiatedLoginOptions/FirstBurstLength", "Irrelevant"},
      {session, "SessionNegotiatedLoginOptions/ImmediateData", "No"},
      {session, "SessionNegotiatedLoginOptions/DataSequenceInOrder", "Yes"},
      {session, "SessionNegotiatedLoginOptions/MaxBurstLength", "262144"},
      {session, "SessionLoginOptions/HeaderDigest", "CRC32C"},
      {session, "SessionLoginOptions/Authentication/AuthenticationMethod", "Mutual CHAP"},
      {session, "SessionLoginOptions/Authentication/InitiatorSecret", "0x0102ff"},
      {session, "SessionLoginOptions/Authentication/TargetSecret", "tsecret123456789"},
      {get_first_instance(session, "Connection"), "ConnectionNegotiatedLoginOptions/AuthenticationMethod", "Mutual CHAP"},
  };
  for (const auto& r : rows) EXPECT_EQ(at(r.group, r.path), r.text) << r.path;
  EXPECT_EQ(record_of(session)->port_handle, 3u);
  EXPECT_EQ(record_of(session)->firmware_handle, 77u);
  EXPECT_EQ(record_of(session)->reserved[1], 5u) << "the portal group tag";
}

TEST_F(Lookups, LoginBlockFromAGroupEncodesSecrets) {
  hm_node* options = internal_get_node(target_, "TargetLoginOptions", kGroup);
  hm_node* auth = internal_get_node(options, "Authentication", kGroup);
  set_prop_val(auth, "AuthenticationMethod", "%s", "One-Way CHAP");
  set_prop_val(auth, "TargetSecret", "%s", "0x0123456789abcdef01234567");
  set_prop_val(auth, "InitiatorSecret", "%s", "abcdefghijklmnopqrst");
  set_prop_val(options, "DataDigest", "%s", "CRC32C");
  login_options block = *get_default_login_options();
  ASSERT_EQ(get_login_options(options, &block, 2), 0u);
  EXPECT_EQ(block.chap, 1u);
  EXPECT_EQ(block.mutual, 0u);
  EXPECT_EQ(block.target_secret_length, 12u);
  EXPECT_EQ(std::memcmp(block.target_secret, "\x01\x23\x45\x67\x89\xab\xcd\xef\x01\x23\x45\x67", 12), 0);
  EXPECT_EQ(block.initiator_secret_length, 16u) << "a text secret is cut to the field";
  EXPECT_EQ(block.data_digest, 1u);
  EXPECT_EQ(block.flags, 0x0F);
  EXPECT_EQ(get_login_options(options, &block, 4), 1u);
}

TEST_F(Lookups, ConditionalLoginBlockFillsChapOnlyWhenAsked) {
  hm_node* options = internal_get_node(target_, "TargetLoginOptions", kGroup);
  set_prop_val(internal_get_node(options, "Authentication", kGroup), "AuthenticationMethod", "%s", "One-Way CHAP");
  set_prop_val(internal_get_node(options, "Authentication", kGroup), "TargetSecret", "%s", "tgtsecret123");
  set_prop_val(options, "InitialR2T", "%s", "No");
  set_prop_val(options, "HeaderDigest", "%s", "CRC32C");
  const struct {
    hm_node* group;
    uint32_t kind, chap, want;
    bool chap_filled, rest_filled;   // CHAP part; digests with InitialR2T / ImmediateData
  } rows[] = {
      {options, 0, 1, 0, true, true},    {options, 2, 1, 0, true, true},   {options, 2, 0, 0, false, true},
      {options, 0, 2, 0, false, true},   {options, 3, 1, 0, true, false},  {options, 3, 0, 0, false, false},
      {options, 1, 1, 0, false, false},  {options, 4, 1, 1, false, false}, {options, 4, 0, 1, false, false},
      {target_, 0, 1, 1, false, false},  // no Authentication group
      {target_, 1, 1, 0, false, false},  // kind 1 reads nothing
  };
  for (const auto& r : rows) {
    SCOPED_TRACE("kind " + std::to_string(r.kind) + " chap " + std::to_string(r.chap) + " " + r.group->name);
    login_options block = *get_default_login_options();
    EXPECT_EQ(conditional_get_login_options(r.group, &block, r.kind, r.chap), r.want);
    EXPECT_EQ(block.chap, r.chap_filled ? 1u : 0u);
    EXPECT_EQ(block.target_secret_length, r.chap_filled ? 12u : 0u);
    EXPECT_EQ(block.header_digest, r.rest_filled ? 1u : 0u);
    EXPECT_EQ(block.flags, r.rest_filled ? 0x0E : 0x0F) << "InitialR2T off only where the rest is filled";
  }
}

TEST_F(Lookups, PurgesFreeTheRecordsOfWhatTheyDelete) {
  const uint32_t before = varu_alloc_count();
  for (uint32_t i = 0; i < 3; ++i) {
    hm_node* session = setup_session(target_, 1, i, nullptr, BuilderArgs{}, "1");
    ASSERT_NE(setup_connection(session, 100 + i, *get_default_login_options(), BuilderArgs{}), nullptr);
    ASSERT_NE(setup_portal(target_, "10.0.0.1", std::to_string(3260 + i).c_str(), "0", BuilderArgs{}), nullptr);
  }
  EXPECT_EQ(find_target_portal(target_, "10.0.0.1", "3262"), get_selected_group_node(target_, "TargetPortal", "2"));
  EXPECT_EQ(find_target_portal(target_, "", "3261"), get_selected_group_node(target_, "TargetPortal", "1"));
  int32_t number = -1;
  EXPECT_EQ(validate_target_portal(target_, &number, "10.0.0.1", ""), 0u);
  EXPECT_EQ(number, 0);
  EXPECT_EQ(purge_nodes_within(target_, "Session"), 0u);
  EXPECT_EQ(purge_nodes_within(target_, "TargetPortal"), 0u);
  EXPECT_EQ(get_first_instance(target_, "Session"), nullptr);
  EXPECT_EQ(varu_alloc_count(), before) << "every session, connection and portal freed with its record";
}

}  // namespace
