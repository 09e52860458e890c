// What the schema tests share: a hierarchy started the way the host starts it, the parents an
// iSCSI group hangs under, paths of shown names, cached values, the state a refused build must
// leave as it was, and the persistence fields a builder records.
#pragma once

#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "engine/hm.h"
#include "schema/controller.h"
#include "schema/iscsi_phba.h"
#include "schema/logical_hba.h"
#include "schema/target.h"
#include "support/test_support.h"
#include "unit/engine/tree_helpers.h"
#include "varu.h"

namespace vxtest {

// A hierarchy started through the public call for each test and stopped after it.
class StartedTree : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(VARU_init(), 0u);
    root = vx::get_node(0);
    ASSERT_NE(root, nullptr);
  }
  void TearDown() override { VARU_exit(); }

  TempRoot temp_root;
  hm_node* root = nullptr;
};

// How far the chain an iSCSI group hangs under is built: controller, physical HBA, logical HBA,
// target.
enum class Depth { kController, kPhysicalHba, kLogicalHba, kTarget };

// A started hierarchy (StartedTree, or TreeFixture for the engine alone) with the chain built under
// "ROOT" as far as `depth`, without creating actions, as enumeration builds it.
template <class Started, Depth depth>
class WithParents : public Started {
 protected:
  void SetUp() override {
    Started::SetUp();
    if (this->HasFatalFailure()) return;
    vexalon = vx::initialize_Vexalon(this->root, nullptr, nullptr, nullptr);
    ASSERT_NE(vexalon, nullptr);
    if (depth == Depth::kController) return;
    phba = vx::initialize_iSCSIPhysicalHBA(vexalon, nullptr, nullptr, nullptr);
    ASSERT_NE(phba, nullptr);
    if (depth == Depth::kPhysicalHba) return;
    lhba = vx::initialize_LogicalHBA(phba, nullptr, nullptr, nullptr);
    ASSERT_NE(lhba, nullptr);
    if (depth == Depth::kLogicalHba) return;
    target = vx::initialize_Target(lhba, nullptr, nullptr, nullptr);
    ASSERT_NE(target, nullptr);
  }

  hm_node* vexalon = nullptr;
  hm_node* phba = nullptr;
  hm_node* lhba = nullptr;
  hm_node* target = nullptr;
};

// The instance number of `instance`; -1 for NULL or a node that is no instance.
inline int number_of(hm_node* instance) {
  hm_instance_info* info = instance == nullptr ? nullptr : vx::instance_info(instance);
  return info == nullptr ? -1 : info->number;
}

// The node at a "/"-separated path of shown names below `from` ("." stays where it is, "" is
// `from` itself), each step looking for a node of `kind` (0: any). NULL when a step finds nothing.
inline hm_node* node_at(hm_node* from, const std::string& path, uint32_t kind = 0) {
  hm_node* node = from;
  for (size_t start = 0; node != nullptr && start < path.size();) {
    size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    const std::string part = path.substr(start, slash - start);
    if (part != ".") node = vx::internal_get_node(node, part.c_str(), kind);
    start = slash + 1;
  }
  return node;
}

// A property's cached value, read through the engine's plain cache handler.
inline std::string cached(hm_node* group, const char* name) {
  hm_node* prop = vx::internal_get_node(group, name, kProperty);
  char buf[vx::kValueSize] = "<missing>";
  if (prop != nullptr) {
    EXPECT_EQ(vx::handle_internal_property(prop, buf, kGet), vx::kStatusOk) << name;
  }
  return buf;
}

// What a refused build must leave as it was.
struct TreeState {
  int32_t tags;
  uint32_t allocations;
  uint32_t priority;
  std::string root_children;
  bool operator==(const TreeState& o) const {
    return tags == o.tags && allocations == o.allocations && priority == o.priority &&
           root_children == o.root_children;
  }
};
inline TreeState tree_state() {
  return {tags_in_use(), vx::varu_alloc_count(), vx::persistency_priority, child_names(vx::get_node(0))};
}
inline std::ostream& operator<<(std::ostream& os, const TreeState& s) {
  return os << "{tags " << s.tags << ", allocations " << s.allocations << ", priority " << s.priority
            << ", under ROOT " << s.root_children << "}";
}

// An instance made by `action` on `origin` records both, the priority it took and a copy of the
// parameter block; one made without a creating action (origin and action NULL) records nothing
// and takes no priority.
inline void expect_recorded(hm_node* instance, hm_node* origin, hm_node* action, uint32_t priority) {
  hm_group_data* g = vx::group_data(instance);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->invoked_on, origin);
  EXPECT_EQ(g->creating_action, action);
  EXPECT_EQ(g->priority, action != nullptr ? priority : 0u);
  EXPECT_EQ(g->params != nullptr, action != nullptr);
}
inline void expect_not_recorded(hm_node* instance) { expect_recorded(instance, nullptr, nullptr, 0); }

}  // namespace vxtest
