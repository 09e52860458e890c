// The caller-visible records have the same bytes in the 32-bit and the 64-bit build.
#include <cstddef>

#include <gtest/gtest.h>

#include "varu.h"

extern "C" int varu_header_compiles_as_c(void);

static_assert(sizeof(hm_node_description) == 1792);
static_assert(offsetof(hm_node_description, kind) == 1780);
static_assert(offsetof(hm_node_description, vtype) == 1781);
static_assert(offsetof(hm_node_description, min) == 1784);
static_assert(offsetof(hm_node_description, max) == 1788);

static_assert(sizeof(hm_action_param_info) == 2084);
static_assert(offsetof(hm_action_param_info, name) == 1);
static_assert(offsetof(hm_action_param_info, description) == 36);
static_assert(offsetof(hm_action_param_info, vtype) == 1816);
static_assert(offsetof(hm_action_param_info, allowed) == 1817);
static_assert(offsetof(hm_action_param_info, min) == 2076);
static_assert(offsetof(hm_action_param_info, max) == 2080);

static_assert(sizeof(hm_param_info) == 12508);
static_assert(offsetof(hm_param_info, params) == 4);

static_assert(sizeof(hm_persistence_info) == 1544);
static_assert(offsetof(hm_persistence_info, invoked_on_tag) == 4);
static_assert(offsetof(hm_persistence_info, params) == 8);

TEST(PublicHeader, CompilesAsPlainC) { EXPECT_EQ(varu_header_compiles_as_c(), VARU_OK); }
