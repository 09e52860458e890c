// Nodes made by hand the way the builder makes them, and views of the tree for checks.
#pragma once

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "engine/builder.h"
#include "engine/hm.h"
#include "support/test_support.h"

namespace vxtest {

// A fresh tree ("ROOT" and its properties) for each test, torn down after it.
class TreeFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(vx::init_hm(), 0);
    root = vx::hierarchy_name_.root;
  }
  void TearDown() override { vx::exit_hm(); }

  TempRoot temp_root;
  hm_node* root = nullptr;
};

// Nodes made by hand the way the builder makes them; NULL when add_node refuses (what was
// allocated is freed then).
inline hm_node* add_node_of(hm_node* parent, uint32_t kind, const char* name, void* data) {
  auto* node = static_cast<hm_node*>(vx::hm_alloc(sizeof(hm_node)));
  node->kind = kind;
  node->name = name;
  node->description = "test node";
  node->parent = parent;
  node->data = data;
  if (vx::add_node(node, &vx::hierarchy_name_) >= 0) return node;
  if (kind == kGroup) vx::varu_dfree(vx::group_data(node)->instance);
  if (kind != kAction) vx::varu_dfree(data);
  vx::varu_dfree(node);
  return nullptr;
}

inline hm_node* add_group(hm_node* parent, const char* name, hm_instance_info* info = nullptr) {
  auto* gd = static_cast<hm_group_data*>(vx::hm_alloc(sizeof(hm_group_data)));
  gd->instance = info;
  return add_node_of(parent, kGroup, name, gd);
}

inline hm_node* add_instance(hm_node* parent, const char* name, int32_t number, uint8_t* bits, uint16_t max) {
  auto* info = static_cast<hm_instance_info*>(vx::hm_alloc(sizeof(hm_instance_info)));
  info->bitfield = bits;
  info->max_instances = max;
  info->number = number;
  hm_node* node = add_group(parent, name, info);
  if (node != nullptr && bits != nullptr) vx::set_bit(bits, max, number);
  return node;
}

inline hm_node* add_property(hm_node* parent, const char* name, const char* value = "") {
  auto* p = static_cast<hm_property*>(vx::hm_alloc(sizeof(hm_property)));
  vx::set_property_value(p, value);
  p->handler = vx::handle_internal_property;
  p->access = kReadWrite;
  return add_node_of(parent, kProperty, name, p);
}

inline hm_node* add_action(hm_node* parent, const char* name, const hm_action_descriptor& d) {
  return add_node_of(parent, kAction, name, const_cast<hm_action_descriptor*>(&d));
}

// Shown names of the children in chain order, "a,b,c"; checks the backward links on the way.
inline std::string child_names(hm_node* group) {
  hm_group_data* gd = vx::group_data(group);
  if (gd == nullptr) return "<not a group>";
  std::string out;
  hm_node* expected_prev = group;
  for (hm_node* c = gd->first_child; c != group; c = c->next) {
    if (c->prev != expected_prev) return "<broken chain>";
    char shown[vx::kNameSize];
    vx::hm_instance_name(c, shown);
    out += (out.empty() ? "" : ",") + std::string(shown);
    expected_prev = c;
  }
  if (gd->last_child != expected_prev) return "<broken last_child>";
  return out;
}

// Numbers of the ring that `member` is in, from the sentinel round, "2,5"; checks the backward links.
inline std::string ring_numbers(hm_node* member) {
  hm_node* sentinel = member;
  for (int i = 0; i < 70000 && vx::instance_info(sentinel)->number != -1; ++i) sentinel = vx::instance_info(sentinel)->next;
  if (vx::instance_info(sentinel)->number != -1) return "<no sentinel>";
  std::string out;
  hm_node* prev = sentinel;
  for (hm_node* n = vx::instance_info(sentinel)->next; n != sentinel; n = vx::instance_info(n)->next) {
    if (vx::instance_info(n)->prev != prev) return "<broken ring>";
    out += (out.empty() ? "" : ",") + std::to_string(vx::instance_info(n)->number);
    prev = n;
  }
  if (vx::instance_info(sentinel)->prev != prev) return "<broken ring end>";
  return out;
}

// Number of tags in use.
inline int32_t tags_in_use() {
  int32_t n = 0;
  for (int32_t t = 0; t < vx::hierarchy_name_.capacity; ++t) n += vx::hierarchy_name_.table[t] != nullptr;
  return n;
}

}  // namespace vxtest
