// The groups by which an IMA identifier's kind is proven without its name: over the whole lab tree
// (both adapters, their NIC functions, a target logged in with its session, connection and LUNs, a
// send-target portal), a group holds such a child exactly when its name passes the name test.
#include <set>
#include <string>

#include "ima/front.h"
#include "tests/api/iscsi_fixture.h"

namespace vxtest {
namespace {

void groups_below(uint32_t tag, std::vector<uint32_t>* out) {
  for (uint32_t g : children_of(tag, VARU_KIND_GROUP)) {
    out->push_back(g);
    groups_below(g, out);
  }
}

TEST_F(IscsiLab, EveryGroupThatProvesAKindIsHeldOnlyByNodesOfThatKind) {
  ASSERT_EQ(add_target(kGen5Lhba, kOpenTarget, "10.0.0.5"), 0u);
  ASSERT_EQ(act(tag_at(target_path(kGen5Lhba, 0)), "ReScanLUNS", {}), 0u);
  ASSERT_EQ(act(tag_at(std::string(kGen5Lhba) + "/Discovery"), "AddSendTargetPortal", {"10.0.0.9", "3260"}), 0u);
  std::vector<uint32_t> groups;
  groups_below(0, &groups);
  std::set<std::string> names;
  for (uint32_t g : groups) names.insert(name_of(g, VARU_KIND_GROUP));
  ASSERT_TRUE(names.count("Connection0") && names.count("LUN0") && names.count("NICLogicalHBA0"));
  int proofs = 0;
  for (int32_t type = 1; type <= 15; ++type) {
    for (const std::string& child : names) {
      if (!vx::walk_proves(type, child.c_str())) continue;
      ++proofs;
      for (uint32_t g : groups) {
        int32_t found = 0;
        const bool holds = vx::group_at(static_cast<int32_t>(g), child.c_str(), &found) == 0;
        const bool named = vx::ValidateOidTag(type, vx::ima_owner_id(), static_cast<int32_t>(g), 0) == 0;
        EXPECT_EQ(holds, named) << "type " << type << ", " << name_of(g, VARU_KIND_GROUP) << " holding " << child;
      }
    }
  }
  EXPECT_EQ(proofs, 3);
}

}  // namespace
}  // namespace vxtest
