// Work left for the end of a call (run_at_call_end): it runs once, when the outermost public call
// ends, after every handler and before a requested rebuild, and the caller's last status stays.
#include <string>

#include <gtest/gtest.h>

#include "engine/api_lock.h"
#include "engine/hm.h"
#include "support/test_support.h"
#include "tree_helpers.h"

namespace {

using namespace vx;

constexpr const char* kMarker = "Marker";   // a group of the tree the call began with

// What the queued work saw; it is a plain function, so it tells here.
int g_runs = 0;
bool g_body_done = false;   // set by a test's body once it has nothing more to run
bool g_saw_body_done = false;
bool g_saw_marker = false;

void work() {
  ++g_runs;
  g_saw_body_done = g_body_done;
  g_saw_marker = internal_get_node(hierarchy_name_.root, kMarker, kGroup) != nullptr;
  varu_set_last_status(99, "the work's own status");
}

class CallEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_runs = 0;
    g_body_done = g_saw_body_done = g_saw_marker = false;
    ASSERT_EQ(VARU_init(), 0u);
  }
  void TearDown() override { VARU_exit(); }

  vxtest::TempRoot root_;
};

template <typename Fn>
uint32_t in_call(Fn fn) {
  return public_call("test", [&]() -> uint32_t { return fn(); });
}

// Queued twice, and again from a nested call, it runs once: at the outermost call's end, not the
// nested one's, and not again at the next call unless queued again.
TEST_F(CallEndTest, RunsOnceWhenTheOutermostCallEnds) {
  in_call([] {
    run_at_call_end(work);
    run_at_call_end(work);
    in_call([] {
      run_at_call_end(work);
      return kStatusOk;
    });
    EXPECT_EQ(g_runs, 0) << "ran at the end of the nested call";
    g_body_done = true;
    return kStatusOk;
  });
  EXPECT_EQ(g_runs, 1);
  EXPECT_TRUE(g_saw_body_done) << "ran before the call's body had returned";

  in_call([] { return kStatusOk; });
  EXPECT_EQ(g_runs, 1) << "ran again without being queued again";
  in_call([] {
    run_at_call_end(work);
    return kStatusOk;
  });
  EXPECT_EQ(g_runs, 2);
}

// The work sees the tree its call's handlers saw (the rebuild comes after it), and its own status
// never reaches the caller.
TEST_F(CallEndTest, RunsBeforeARequestedRebuildWithTheCallersStatusKept) {
  const uint32_t result = in_call([] {
    EXPECT_NE(vxtest::add_group(hierarchy_name_.root, kMarker), nullptr);
    run_at_call_end(work);
    request_tree_rebuild();
    return fail(21, "%s", "the caller's status");
  });
  EXPECT_EQ(result, 21u);
  EXPECT_EQ(g_runs, 1);
  EXPECT_TRUE(g_saw_marker) << "the tree was rebuilt before the work ran";
  const vxtest::LastStatus status = vxtest::last_status();
  EXPECT_EQ(status.code, 21u);
  EXPECT_EQ(status.text, "the caller's status");
  uint32_t tag = 0;
  EXPECT_NE(VARU_get_node_tag(0, kMarker, &tag, VARU_KIND_GROUP), 0u) << "the tree was not rebuilt";
}

TEST_F(CallEndTest, NothingRunsOutsideACall) {
  run_at_call_end(work);
  EXPECT_EQ(g_runs, 0);
  in_call([] { return kStatusOk; });
  EXPECT_EQ(g_runs, 0) << "work queued outside a call ran at the next call's end";
}

}  // namespace
