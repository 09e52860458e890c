// Two processes on one simulated adapter: what one changes is what the other reads next, however
// fast they alternate, and a process killed while it changes the state leaves it whole.
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <string>

#include "iscsi/records.h"
#include "sim_support.h"

namespace simtest {
namespace {

// The QoS record of the first iSCSI function: the same eight bytes long whatever it holds.
bool set_ios(uint32_t ios) {
  Request r = command(28, 1, sizeof(vx::qos_set_record));
  const vx::qos_set_record set{vx::kQosIosGiven, {}, ios, 0, {}};
  std::memcpy(r.payload(), &set, sizeof set);
  return send(iscsi_path(0), r) == 0 && r.status() == 0;
}

// UINT32_MAX when the firmware fails the read.
uint32_t ios() {
  Request r = command(27, 1, sizeof(vx::qos_get_record));
  return send(iscsi_path(0), r) == 0 && r.status() == 0 ? r.u32(offsetof(vx::qos_get_record, max_ios)) : UINT32_MAX;
}

TEST_F(SimTest, each_process_reads_what_the_other_changed_last) {
  load_example("one-adapter.json");
  ASSERT_TRUE(set_ios(1000));
  int to_child[2], to_parent[2];
  ASSERT_EQ(::pipe(to_child), 0);
  ASSERT_EQ(::pipe(to_parent), 0);
  constexpr uint32_t kTurns = 400;
  // Each side in turn checks the value the other wrote last, then writes twice: the file the other
  // read before is replaced twice over, within one clock tick, by one of the same size.
  auto play = [](int in, int out, uint32_t first) {
    uint32_t mismatches = 0;
    for (uint32_t turn = first; turn < kTurns; turn += 2) {
      uint32_t want = 0;
      if (::read(in, &want, sizeof want) != sizeof want) return kTurns;
      if (ios() != want) ++mismatches;
      const uint32_t next = 1000 + turn;
      if (!set_ios(next + kTurns) || !set_ios(next) || ::write(out, &next, sizeof next) != sizeof next) return kTurns;
    }
    return mismatches;
  };
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) ::_exit(static_cast<int>(play(to_child[0], to_parent[1], 1)));
  const uint32_t start = 1000;
  ASSERT_EQ(::write(to_child[1], &start, sizeof start), static_cast<ssize_t>(sizeof start));
  EXPECT_EQ(play(to_parent[0], to_child[1], 2), 0u);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// A flash object written whole in one chunk, and read back ("" when the read fails).
constexpr uint32_t kLargest = 32 * 1024;
constexpr const char* kObject = "/iscsidata/Port0/Instance0/Region9";

void write_object(const std::string& content) {
  Request r = command(172, 1, static_cast<uint32_t>(112 + content.size()));
  const auto size = static_cast<uint32_t>(content.size());
  std::memcpy(r.payload(), &size, 4);
  std::memcpy(r.payload() + 8, kObject, std::strlen(kObject) + 1);
  std::memcpy(r.payload() + 112, content.data(), content.size());
  send(iscsi_path(0), r);
}

std::string object() {
  Request r = command(171, 1, 8 + kLargest);
  std::memcpy(r.payload() + 8, kObject, std::strlen(kObject) + 1);
  if (send(iscsi_path(0), r) != 0 || r.status() != 0) return "";
  return std::string(reinterpret_cast<const char*>(r.payload()) + 8, r.u32(0));
}

// The reads go on until they have seen the other process's writes land between them a number of
// times, however long a busy machine keeps that process waiting.
TEST_F(SimTest, a_change_is_seen_whole_or_not_at_all) {
  constexpr int kReads = 200;
  constexpr int kChangesSeen = 20;
  load_example("one-adapter.json");
  const std::string a(kLargest, 'a');
  const std::string b(kLargest / 2, 'b');
  write_object(a);
  const pid_t child = vxtest::started_child([&]() -> int {
    for (bool to_b = true;; to_b = !to_b) write_object(to_b ? b : a);
  });
  ASSERT_GT(child, 0);
  std::mt19937 random(20261207);
  // Read while the other process writes, and once more after it was killed at some point.
  std::string last = a;
  int changes = 0;
  bool gone = false;
  for (int round = 0; !gone && (round < kReads || changes < kChangesSeen); ++round) {
    const std::string seen = object();
    EXPECT_TRUE(seen == a || seen == b) << "round " << round << ": " << seen.size() << " bytes";
    changes += seen != last;
    last = seen;
    gone = ::waitpid(child, nullptr, WNOHANG) == child;
    ::usleep(std::uniform_int_distribution<useconds_t>(0, 200)(random));
  }
  ASSERT_FALSE(gone) << "the writer ended by itself";
  vxtest::kill_child(child);
  const std::string seen = object();
  EXPECT_TRUE(seen == a || seen == b) << "after the kill: " << seen.size() << " bytes";
}

}  // namespace
}  // namespace simtest
