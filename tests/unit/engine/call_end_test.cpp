// Work left for the end of a call (run_at_call_end): it runs once, when the outermost public call
// ends, after every handler and before a requested rebuild, and the caller's last status stays; a
// function past the slots is never dropped unseen.
#include <string>
#include <utility>

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
uint32_t g_numbered_runs = 0;   // bit N: numbered_work<N> ran

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
    g_numbered_runs = 0;
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

// Distinct functions, as many as needed, each telling that it ran.
template <size_t N>
void numbered_work() {
  g_numbered_runs |= 1u << N;
}

template <size_t... N>
void queue_each(std::index_sequence<N...>) {
  (run_at_call_end(numbered_work<N>), ...);
}

// One function more than the slots hold is dropped: never unseen.
constexpr size_t kPastTheSlots = kCallEndSlots + 1;

#ifdef NDEBUG
// Without assertions the others run, and the log says at level 1 that one was dropped.
TEST_F(CallEndTest, OneMoreFunctionThanTheSlotsIsLogged) {
  varu_set_debug_level_value(1);
  in_call([] {
    queue_each(std::make_index_sequence<kPastTheSlots>());
    return kStatusOk;
  });
  EXPECT_EQ(g_numbered_runs, (1u << kCallEndSlots) - 1) << "not the first ones queued ran";
  const std::string log = root_.read("/tmp/varu2d.log");
  const std::string line = "FATAL:run_at_call_end:More than " + std::to_string(kCallEndSlots) + " functions";
  EXPECT_NE(log.find(line), std::string::npos) << log;
}
#else
// With assertions it stops the process. No root and no client: the dying process writes nothing and
// leaves no root behind.
TEST(CallEndSlots, OneMoreFunctionThanTheSlotsStopsABuildWithAssertions) {
  // A "fast" death test forks this process as it stands, which is unsafe (and unsupported by
  // ThreadSanitizer) once any thread runs beside the test's; "threadsafe" runs the test again in a
  // new process instead.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(public_call("test", CallNeeds::kNothing, StatusReset::kKeep,
                           [] {
                             queue_each(std::make_index_sequence<kPastTheSlots>());
                             return kStatusOk;
                           }),
               "more functions for the end of one call than kCallEndSlots");
}
#endif

}  // namespace
