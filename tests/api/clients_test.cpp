// Starting and stopping clients, calls made while no client is started, many callers at once, and
// a caller that holds the lock too long.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/builder.h"
#include "tests/api/lab_fixture.h"

namespace vxtest {
namespace {

TEST(Clients, CallsWithoutAStartedClientFailWithOneButTheLastStatusIsReadable) {
  TempRoot root;
  static char buf[600], params[6][256];
  static uint32_t tags[64], count;
  static int32_t room;
  const std::function<uint32_t()> calls[] = {
      [] { return VARU_get_node_tag(0, "VARUDebugLevel", tags, 2); },
      [] { return VARU_get_node_name(0, buf, 1); },
      [] { return VARU_get_parent_tag(1, tags); },
      [] { return VARU_get_child_tags(0, tags, &count, 2); },
      [] { return VARU_get_valid_instances(0, "Widget", tags, &count); },
      [] { return VARU_get_property_val(0, 3, buf, 256); },
      [] { return VARU_set_property_val(0, 3, std::strcpy(buf, "3"), 2); },
      [] { return VARU_do_action(0, 1, params, nullptr); },
      [] { return VARU_refresh_group(0); },
      [] { static hm_node_description d; return VARU_get_node_description(0, &d); },
      [] { static hm_param_info i; return VARU_get_param_info(1, &i); },
      [] { return (room = 64, VARU_get_persistent_nodes(tags, &room)); },
      [] { static hm_persistence_info p; return VARU_get_persistence_info(0, &p); },
      [] { return restore_hm(stdin); },
  };
  for (const auto& call : calls) EXPECT_EQ(call(), 1u) << "before VARU_init: call " << &call - calls;
  EXPECT_EQ(VARU_exit(), 0u);
  ASSERT_EQ(VARU_init(), 0u);
  EXPECT_EQ(VARU_exit(), 0u);
  for (const auto& call : calls) EXPECT_EQ(call(), 1u) << "after VARU_exit: call " << &call - calls;
  EXPECT_EQ(VARU_exit(), 0u);
  // A client whose VARU_init failed must still be able to read why.
  vx::varu_set_last_status(313, "no adapter");
  EXPECT_EQ(VARU_get_last_status(&count, buf), 0u);
  EXPECT_EQ(std::to_string(count) + " " + buf, "313 no adapter");
}

TEST(Clients, SecondClientSharesTheTreeAndLastExitFreesIt) {
  TempRoot root;
  write_log_level(root, 5);
  const uint32_t allocations = vx::varu_alloc_count();
  ASSERT_EQ(VARU_init(), 0u);
  ASSERT_NE(lab::add_widget(), nullptr);
  const uint32_t widget = child(0, "Widget0", VARU_KIND_GROUP);
  ASSERT_EQ(VARU_init(), 0u);
  EXPECT_EQ(child(0, "Widget0", VARU_KIND_GROUP), widget) << "a second client does not rebuild";
  EXPECT_EQ(VARU_exit(), 0u);
  EXPECT_EQ(child(0, "Widget0", VARU_KIND_GROUP), widget) << "one client is left";
  EXPECT_EQ(VARU_exit(), 0u);
  EXPECT_EQ(child(0, "Widget0", VARU_KIND_GROUP), kNoTag);
  EXPECT_EQ(VARU_exit(), 0u) << "no client: nothing to do";
  EXPECT_EQ(vx::varu_alloc_count(), allocations) << "the last exit frees the tree";
  EXPECT_NE(root.read("/tmp/varu2d.log").find("INFO:Client disconnecting #2\n"), std::string::npos);
}

// A first VARU_init whose tree cannot be built counts no client and leaves the log open: the
// calls that follow are still logged.
TEST(Clients, FailedStartCountsNoClientAndKeepsLogging) {
  TempRoot root;
  write_log_level(root, 6);
  vx::hm_fail_allocations_after(2);   // the tag table is made, "ROOT"'s data block is not
  EXPECT_EQ(VARU_init(), 1u);
  vx::hm_fail_allocations_after(-1);
  uint32_t tag = 0;
  EXPECT_EQ(VARU_get_node_tag(0, "VARUDebugLevel", &tag, 2), 1u) << "no client";
  EXPECT_EQ(VARU_exit(), 0u);
  const std::string log = root.read("/tmp/varu2d.log");
  const size_t left = log.find("--- leaving VARU_init ---\n");
  ASSERT_NE(left, std::string::npos) << log;
  EXPECT_NE(log.find("--- entering VARU_exit ---\n", left), std::string::npos) << log;
  ASSERT_EQ(VARU_init(), 0u);
  EXPECT_EQ(VARU_get_node_tag(0, "VARUDebugLevel", &tag, 2), 0u);
  EXPECT_EQ(tag, 3u);
  EXPECT_EQ(VARU_exit(), 0u);
}

using Clock = std::chrono::steady_clock;

class Concurrency : public LabTest {};

// Each thread makes its share of calls, whatever the scheduler lets run meanwhile; a call that
// waited out its second for the lock is made again (until_not_busy), any other failure counts.
TEST_F(Concurrency, EightThreadsReadWriteAndChangeInstances) {
  constexpr int kThreads = 8;
  constexpr int kCallsEach = 500;
  const uint32_t w = widget;
  // Looked up before the threads start: a lookup refused for a busy lock would read as a bad tag.
  const uint32_t count_tag = child(w, "Count", VARU_KIND_PROPERTY);
  const uint32_t add = child(w, "AddGadget", VARU_KIND_ACTION);
  const uint32_t remove = child(w, "DeleteGadget", VARU_KIND_ACTION);
  std::atomic<int> unexpected{0};
  auto worker = [&](unsigned seed) {
    std::mt19937 random(seed);
    char buf[256];
    std::vector<uint32_t> tags(4096);
    uint32_t count = 0;
    for (int i = 0; i < kCallsEach; ++i) {
      uint32_t rc = 0;
      switch (random() % 7) {
        case 0: {
          std::string value = std::to_string(random() % 101);
          rc = until_not_busy([&] {
            return VARU_set_property_val(w, static_cast<int32_t>(count_tag), value.data(),
                                         static_cast<uint32_t>(value.size() + 1));
          });
          break;
        }
        case 1: rc = until_not_busy([&] { return VARU_get_property_val(w, count_tag, buf, sizeof buf); }); break;
        // 1 when all 8 exist or the gadget is gone: only a lost lock is unexpected.
        case 2: rc = until_not_busy([&] { return act(w, add, {"g", "80"}); }) == 14 ? 14 : 0; break;
        case 3: {
          const std::string number = std::to_string(random() % 8);
          rc = until_not_busy([&] { return act(w, remove, {number.c_str()}); }) == 14 ? 14 : 0;
          break;
        }
        case 4:
          rc = until_not_busy(
              [&] { return VARU_get_valid_instances(static_cast<int32_t>(w), "Gadget", tags.data(), &count); });
          break;
        case 5: {
          // Every listed gadget is readable, unless another thread deleted it in between.
          for (uint32_t g : children_of(w, VARU_KIND_GROUP)) value_of(g, "Name");
          break;
        }
        default: {
          rc = until_not_busy([&] {
            int32_t room = 4096;
            return VARU_get_persistent_nodes(tags.data(), &room);
          });
          FILE* sink = std::tmpfile();
          save_node(vx::get_node(0), sink, 3);
          std::fclose(sink);
          break;
        }
      }
      if (rc != 0) ++unexpected;
      std::this_thread::yield();
    }
  };
  std::vector<std::thread> threads;
  for (unsigned i = 0; i < kThreads; ++i) threads.emplace_back(worker, i + 1);
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(unexpected, 0);

  // The instance list and the child chain agree.
  uint32_t numbers[8] = {};
  uint32_t count = 0;
  ASSERT_EQ(VARU_get_valid_instances(static_cast<int32_t>(w), "Gadget", numbers, &count), 0u);
  for (uint32_t i = 0; i < count; ++i) {
    EXPECT_NE(child(w, ("Gadget" + std::to_string(numbers[i])).c_str(), VARU_KIND_GROUP), kNoTag);
  }
  EXPECT_EQ(children_of(w, VARU_KIND_GROUP).size(), count + 1) << "the gadgets and Settings";
}

TEST_F(Concurrency, CallerWaitsOneSecondThenGets14) {
  write_log_level(root, 3);
  VARU_update_loglevel();
  const uint32_t level = child(0, "VARUDebugLevel", VARU_KIND_PROPERTY);
  // The lock stays taken until the caller has given up, however slow the machine.
  lab::g_hold_slow = true;
  std::thread slow([this] { EXPECT_EQ(act(widget, "Slow", {"0"}), 0u); });
  while (!lab::g_in_slow) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  char buf[256] = "";
  Clock::time_point start = Clock::now();
  EXPECT_EQ(VARU_get_property_val(0, level, buf, sizeof buf), 14u);
  auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  lab::g_hold_slow = false;
  slow.join();
  EXPECT_GE(waited, 950) << "the caller waited its second before giving up";
  EXPECT_NE(log().find("ERROR:VARU_get_property_val:Failed to acquire lock.\n"), std::string::npos) << log();
}

}  // namespace
}  // namespace vxtest
