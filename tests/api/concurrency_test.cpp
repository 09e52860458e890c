// Many callers at once, and a caller that holds the lock too long.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/api/lab_fixture.h"

namespace vxtest {
namespace {

using Clock = std::chrono::steady_clock;

class Concurrency : public LabTest {};

TEST_F(Concurrency, EightThreadsReadWriteAndChangeInstances) {
  const uint32_t w = widget;
  std::atomic<bool> stop{false};
  std::atomic<int> unexpected{0};
  std::atomic<long> calls{0};
  auto worker = [&](unsigned seed) {
    std::mt19937 random(seed);
    char buf[256];
    std::vector<uint32_t> tags(4096);
    uint32_t count = 0;
    while (!stop) {
      uint32_t rc = 0;
      switch (random() % 7) {
        case 0: rc = set_value(w, "Count", std::to_string(random() % 101)); break;
        case 1: rc = VARU_get_property_val(w, child(w, "Count", 2), buf, sizeof buf); break;
        case 2: rc = act(w, "AddGadget", {"g", "80"}) == 14 ? 14 : 0; break;   // 1 when all 8 exist
        case 3: rc = act(w, "DeleteGadget", {std::to_string(random() % 8).c_str()}) == 14 ? 14 : 0; break;
        case 4: rc = VARU_get_valid_instances(static_cast<int32_t>(w), "Gadget", tags.data(), &count); break;
        case 5: {
          // Every listed gadget is readable, unless another thread deleted it in between.
          for (uint32_t g : children_of(w, VARU_KIND_GROUP)) value_of(g, "Name");
          break;
        }
        default: {
          int32_t room = 4096;
          rc = VARU_get_persistent_nodes(tags.data(), &room);
          FILE* sink = std::tmpfile();
          save_node(vx::get_node(0), sink, 3);
          std::fclose(sink);
          break;
        }
      }
      if (rc != 0) ++unexpected;
      ++calls;
      std::this_thread::yield();
    }
  };
  std::vector<std::thread> threads;
  for (unsigned i = 0; i < 8; ++i) threads.emplace_back(worker, i + 1);
  std::this_thread::sleep_for(std::chrono::seconds(2));
  stop = true;
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(unexpected, 0);
  EXPECT_GT(calls, 100);

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
  std::thread slow([this] { EXPECT_EQ(act(widget, "Slow", {"1500"}), 0u); });
  while (!lab::g_in_slow) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  char buf[256] = "";
  Clock::time_point start = Clock::now();
  EXPECT_EQ(VARU_get_property_val(0, level, buf, sizeof buf), 14u);
  auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  slow.join();
  EXPECT_GE(waited, 950);
  EXPECT_LT(waited, 1450);
  EXPECT_NE(log().find("ERROR:VARU_get_property_val:Failed to acquire lock.\n"), std::string::npos) << log();
}

}  // namespace
}  // namespace vxtest
