// The send-target portal builder, and the login-option group that the initiator, target and
// send-target-portal levels share.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/builder.h"
#include "schema/controller.h"
#include "schema/handlers.h"
#include "schema/iscsi_phba.h"
#include "schema/logical_hba.h"
#include "schema/names_iscsi.h"
#include "schema/send_target_portal.h"
#include "schema/target.h"
#include "unit/schema/listing.h"
#include "unit/schema/schema_fixture.h"

namespace {

using vxtest::number_of;
using vxtest::tags_in_use;

class SendTargetPortalSchema : public vxtest::WithParents<vxtest::TreeFixture, vxtest::Depth::kLogicalHba> {
 protected:
  void SetUp() override {
    WithParents::SetUp();
    if (HasFatalFailure()) return;
    discovery = vx::internal_get_node(lhba, vx::kGroupDiscovery, kGroup);
    ASSERT_NE(discovery, nullptr);
    add_portal = vx::internal_get_node(discovery, vx::kActionAddSendTargetPortal, kAction);
    ASSERT_NE(add_portal, nullptr);
  }
  // As every creator does: Discovery as origin, its AddSendTargetPortal as the creating action.
  hm_node* make_portal(char params[6][256] = nullptr) {
    return vx::initialize_SendTargetPortal(discovery, discovery, add_portal, params);
  }
  hm_node* discovery = nullptr;
  hm_node* add_portal = nullptr;
};

TEST_F(SendTargetPortalSchema, MatchesListingWith21Nodes) {
  int32_t before = tags_in_use();
  hm_node* portal = make_portal();
  ASSERT_NE(portal, nullptr);
  EXPECT_TRUE(vxtest::MatchesListing("SendTargetPortal.tsv", portal));
  EXPECT_EQ(tags_in_use() - before, 21);
  EXPECT_EQ(vxtest::child_names(discovery),
            "AddSendTargetPortal,DeleteSendTargetPortal,RefreshAvailableTargets,SendTargetPortal0");
}

TEST_F(SendTargetPortalSchema, PersistenceFields) {
  char params[6][256] = {};
  std::strcpy(params[0], "10.1.1.1");
  std::strcpy(params[1], "3260");
  uint32_t priority = vx::persistency_priority;
  hm_node* portal = make_portal(params);
  ASSERT_NE(portal, nullptr);
  ASSERT_NO_FATAL_FAILURE(vxtest::expect_recorded(portal, discovery, add_portal, priority));
  EXPECT_STREQ(vx::group_data(portal)->params[0], "10.1.1.1");
  EXPECT_STREQ(vx::group_data(portal)->params[1], "3260");
  hm_node* second = make_portal();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(vx::group_data(second)->priority, priority + 1);
  EXPECT_EQ(vx::group_data(second)->params, nullptr);
}

TEST_F(SendTargetPortalSchema, AtMost128AndLowestFreeReuse) {
  std::vector<hm_node*> made;
  for (int i = 0; i < 128; ++i) {
    made.push_back(make_portal());
    ASSERT_NE(made.back(), nullptr) << i;
  }
  int32_t before = tags_in_use();
  uint32_t priority = vx::persistency_priority;
  EXPECT_EQ(make_portal(), nullptr);
  EXPECT_EQ(tags_in_use(), before);
  EXPECT_EQ(vx::persistency_priority, priority);

  ASSERT_EQ(vx::delete_node(made[0]), vx::kStatusOk);
  hm_node* again = make_portal();
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(number_of(again), 0);
}

// ---- the shared login-option group ------------------------------------------------------------------
// Everything of a login-option subtree but its handlers, descriptors and the top group's name.
void shape(hm_node* node, hm_node* top, std::vector<std::string>* out) {
  std::string s = std::to_string(node->kind) + " " + (node == top ? "<top>" : node->name) + " in " +
                  (node == top ? "-" : node->parent == top ? "<top>" : node->parent->name);
  if (hm_property* p = vx::property_data(node)) {
    s += " " + std::to_string(p->access) + "/" + std::to_string(p->vtype) + "/" + std::to_string(p->min) + "/" +
         std::to_string(p->max) + "/" + p->value + "/" + (p->allowed ? p->allowed : "-") + "/" + node->description;
  }
  if (const hm_action_descriptor* d = node->kind == kAction ? vx::action_data(node) : nullptr) {
    for (int i = 0; i < d->param_count; ++i) {
      const hm_action_param& a = d->params[i];
      s += std::string(" ") + a.name + "/" + std::to_string(a.required) + "/" + std::to_string(a.vtype) + "/" +
           std::to_string(a.min) + "/" + std::to_string(a.max) + "/" + (a.allowed ? a.allowed : "-");
    }
  }
  out->push_back(s);
  if (node->kind != kGroup) return;
  for (hm_node* c = vx::group_data(node)->first_child; c != node; c = c->next) shape(c, top, out);
}

TEST_F(SendTargetPortalSchema, TheThreeLoginOptionLevelsShareOneShape) {
  hm_node* target = vx::initialize_Target(lhba, nullptr, nullptr, nullptr);
  hm_node* portal = make_portal();
  ASSERT_NE(target, nullptr);
  ASSERT_NE(portal, nullptr);
  hm_node* tops[3] = {vx::internal_get_node(lhba, vx::kGroupInitiatorLoginOptions, kGroup),
                      vx::internal_get_node(target, vx::kGroupTargetLoginOptions, kGroup),
                      vx::internal_get_node(portal, vx::kGroupSendTargetPortalLoginOptions, kGroup)};
  std::vector<std::string> shapes[3];
  for (int l = 0; l < 3; ++l) {
    ASSERT_NE(tops[l], nullptr) << l;
    shape(tops[l], tops[l], &shapes[l]);
  }
  EXPECT_EQ(shapes[0].size(), 16u);
  // The levels' own texts: the method's and the target CHAP name's descriptions at the portal.
  for (std::string& s : shapes[2]) {
    for (auto [from, to] : {std::pair<const char*, const char*>{"for the discovery login", "at login"},
                            {"portal side", "target side"}}) {
      if (size_t at = s.find(from); at != std::string::npos) s.replace(at, std::strlen(from), to);
    }
  }
  EXPECT_EQ(shapes[1], shapes[0]);
  EXPECT_EQ(shapes[2], shapes[0]);

  // Each level has its own CHAP descriptors; the target keeps two CHAP values as plain cached values.
  hm_node* auths[3];
  for (int l = 0; l < 3; ++l) auths[l] = vx::internal_get_node(tops[l], vx::kGroupAuthentication, kGroup);
  auto configure = [&](int l) { return vx::action_data(vx::internal_get_node(auths[l], "ConfigureCHAP", kAction)); };
  EXPECT_NE(configure(0), configure(1));
  EXPECT_NE(configure(1), configure(2));
  auto handler = [&](int l, const char* name) {
    return vx::property_data(vx::internal_get_node(auths[l], name, kProperty))->handler;
  };
  EXPECT_EQ(handler(1, vx::kPropInitiatorSecret), &vx::handle_internal_property);
  EXPECT_EQ(handler(1, vx::kPropTargetCHAPName), &vx::handle_internal_property);
  EXPECT_EQ(handler(1, vx::kPropTargetSecret), &vx::handle_authentication_target_loginopts);
  EXPECT_EQ(handler(2, vx::kPropInitiatorSecret), &vx::handle_authentication_stploginoptions);
}

}  // namespace
