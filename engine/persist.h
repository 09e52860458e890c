// Walks of the persistent part of the tree, shared by the public calls and the persistence text.
#pragma once

#include <vector>

#include "engine/hm.h"

namespace vx {

// Every action-made group and link (persistence priority >= 1) in ascending priority, found from
// "ROOT" down through the groups (links are not followed). Under the API lock.
std::vector<hm_node*> persistent_nodes();

// True when `node` is a live node of the hierarchy (its tag's table entry is that node).
bool is_live_node(hm_node* node);

// Longest text a node path can have; longer paths are cut when written and refused when read.
constexpr size_t kMaxPathChars = 255;
// Longest line the replay reads; longer lines are skipped.
constexpr size_t kMaxLineChars = 64 * 1024;

}  // namespace vx
