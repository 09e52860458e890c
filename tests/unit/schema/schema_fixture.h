// What the schema tests share: a hierarchy started the way the host starts it, the parents an
// iSCSI group hangs under, node counts, paths of shown names, cached values, the state a refused
// build must leave as it was, and the persistence fields a builder records.
#pragma once

#include <cstdint>
#include <cstdio>
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

// ---- parents ------------------------------------------------------------------------------------
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

// ---- views of the tree --------------------------------------------------------------------------
// Groups, properties and actions of the subtree of `node`, the node itself counted.
struct NodeCounts {
  int groups = 0;
  int properties = 0;
  int actions = 0;
  int total() const { return groups + properties + actions; }
};

inline void count_nodes(hm_node* node, NodeCounts* c) {
  if (node->kind == kGroup) ++c->groups;
  if (node->kind == kProperty) ++c->properties;
  if (node->kind == kAction) ++c->actions;
  hm_group_data* g = vx::group_data(node);
  if (node->kind != kGroup || g == nullptr) return;
  for (hm_node* child = g->first_child; child != nullptr && child != node; child = child->next) {
    count_nodes(child, c);
  }
}
inline NodeCounts count_nodes(hm_node* node) {
  NodeCounts c;
  count_nodes(node, &c);
  return c;
}
// Nodes of the whole tree, "ROOT" included.
inline int tree_nodes() { return count_nodes(vx::get_node(0)).total(); }

// The instance number of `instance`; -1 for NULL or a node that is no instance.
inline int number_of(hm_node* instance) {
  hm_instance_info* info = instance == nullptr ? nullptr : vx::instance_info(instance);
  return info == nullptr ? -1 : info->number;
}

// The node at a "/"-separated path of shown names below `from` ("." stays where it is, "" is
// `from` itself), each step looking for a node of `kind` (0: any). NULL when a step finds nothing.
inline hm_node* node_at(hm_node* from, const std::string& path, uint32_t kind = 0) {
  hm_node* node = from;
  size_t start = 0;
  while (node != nullptr && start < path.size()) {
    size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    const std::string part = path.substr(start, slash - start);
    if (part != ".") node = vx::internal_get_node(node, part.c_str(), kind);
    start = slash + 1;
  }
  return node;
}

// A property's cached value, read through the engine's plain cache handler.
inline std::string cached(hm_node* prop) {
  char buf[vx::kValueSize];
  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(vx::handle_internal_property(prop, buf, kGet), vx::kStatusOk);
  return buf;
}
inline std::string cached(hm_node* group, const char* name) {
  hm_node* prop = vx::internal_get_node(group, name, kProperty);
  EXPECT_NE(prop, nullptr) << name;
  return prop == nullptr ? "<missing>" : cached(prop);
}

// Writes `value` to the property `prop` of `group` through the public call, as a host does.
inline uint32_t set_through_api(hm_node* group, hm_node* prop, const char* value) {
  char buf[vx::kValueSize];
  std::snprintf(buf, sizeof buf, "%s", value);
  return VARU_set_property_val(static_cast<uint32_t>(group->tag), prop->tag, buf, sizeof buf);
}

// What the engine's check says of `value` for the parameter `param` of the action `node`, or for
// the property `node` when `param` is NULL; 999 when there is no such rule.
inline uint32_t check_value(hm_node* node, const char* param, const std::string& value) {
  char buf[vx::kValueSize] = {};
  std::snprintf(buf, sizeof buf, "%s", value.c_str());
  if (param == nullptr) {
    hm_property* p = vx::property_data(node);
    return p == nullptr ? 999 : vx::varu_validate(buf, p->allowed, p->vtype, p->min, p->max);
  }
  const hm_action_param* p = vx::varu_internal_get_param(node, param);
  return p == nullptr ? 999 : vx::varu_validate(buf, p->allowed, p->vtype, p->min, p->max);
}

// ---- a refused build ----------------------------------------------------------------------------
// What a refused build must leave as it was.
struct TreeState {
  int nodes;
  int32_t tags;
  uint32_t allocations;
  uint32_t priority;
  std::string root_children;
  bool operator==(const TreeState& o) const {
    return nodes == o.nodes && tags == o.tags && allocations == o.allocations && priority == o.priority &&
           root_children == o.root_children;
  }
};
inline TreeState tree_state() {
  return {tree_nodes(), tags_in_use(), vx::varu_alloc_count(), vx::persistency_priority,
          child_names(vx::get_node(0))};
}
inline std::ostream& operator<<(std::ostream& os, const TreeState& s) {
  return os << "{nodes " << s.nodes << ", tags " << s.tags << ", allocations " << s.allocations << ", priority "
            << s.priority << ", under ROOT " << s.root_children << "}";
}

// ---- persistence fields -------------------------------------------------------------------------
// An instance made by `action` on `origin` records both, the priority it took and a copy of the
// parameter block (fatal when the copy is missing, as callers read it next).
inline void expect_recorded(hm_node* instance, hm_node* origin, hm_node* action, uint32_t priority) {
  hm_group_data* g = vx::group_data(instance);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->invoked_on, origin);
  EXPECT_EQ(g->creating_action, action);
  EXPECT_EQ(g->priority, priority);
  ASSERT_NE(g->params, nullptr);
}

// An instance made without a creating action records nothing and takes no priority.
inline void expect_not_recorded(hm_node* instance) {
  hm_group_data* g = vx::group_data(instance);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->invoked_on, nullptr);
  EXPECT_EQ(g->creating_action, nullptr);
  EXPECT_EQ(g->params, nullptr);
  EXPECT_EQ(g->priority, 0u);
}

}  // namespace vxtest
