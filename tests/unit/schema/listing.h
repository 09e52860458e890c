// Compares a built instance with its listing (tests/unit/schema/listings/<Group>.tsv, format in
// FORMAT.txt): the listings state, independently of the schema tables, every node a builder must
// create.
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

// The instance's subtree, one line per node as the listing writes it; the first line that differs
// from the listing fails the assertion.
::testing::AssertionResult MatchesListing(const std::string& tsv_name, hm_node* instance);

}  // namespace vxtest
