// Compares a built instance with its listing (tests/unit/schema/listings/<Group>.tsv): the
// listings state, independently of the schema tables, every node a builder must create.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/hm.h"

namespace vxtest {

struct HandlerName {
  const char* name;
  const void* address;
};
// Every handler the schema may install, "cache" for the engine's plain cache.
const std::vector<HandlerName>& handler_names();

// Walks the instance's subtree depth first (children in chain order, which is creation order) and
// checks it node by node against the listing: kind, name, parent path, refresh handler, access,
// handler, validation type, bounds, default, allowed list, action handler and parameter slots, and
// every description the listing gives word for word. The first difference fails the assertion.
::testing::AssertionResult MatchesListing(const std::string& tsv_name, hm_node* instance);

// Counts of a listing: groups (instance included), properties, actions, parameter slots.
struct ListingCounts {
  int groups = 0;
  int properties = 0;
  int actions = 0;
  int params = 0;
};
ListingCounts CountListing(const std::string& tsv_name);

}  // namespace vxtest
