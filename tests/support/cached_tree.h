// A hand-built tree for tests and benchmarks of the IMA front end that must not depend on an
// adapter's answers: every property reads its cached value and no group refreshes; actions, when a
// handler is given, run that handler (with their own parameter rules) instead of theirs.
#pragma once

#include <list>

#include "engine/hm.h"

namespace vxtest {

inline void cache_values(hm_node* node, hm_action_handler actions = nullptr) {
  static std::list<hm_action_descriptor> replaced;   // the tree keeps pointers to them
  if (hm_property* p = vx::property_data(node)) p->handler = nullptr;
  const hm_action_descriptor* d = vx::action_data(node);
  if (actions != nullptr && d != nullptr && d->handler != actions) {
    replaced.push_back(*d);
    replaced.back().handler = actions;
    node->data = &replaced.back();
  }
  hm_group_data* g = vx::group_data(node);
  if (g == nullptr) return;
  g->refresh = nullptr;
  for (hm_node* child = g->first_child; child != nullptr && child != node; child = child->next) {
    cache_values(child, actions);
  }
}

}  // namespace vxtest
