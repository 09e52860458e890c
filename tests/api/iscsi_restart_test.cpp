// What a first process leaves behind comes back in a second process on the same root, as after a
// restart of the host: the saved-target file, the adapter's persistent targets and their sessions,
// the initiator settings in the firmware and the data written to a LUN.
#include <cstdlib>

#include <gtest/gtest.h>

#include "tests/api/iscsi_fixture.h"

namespace vxtest {
namespace {

constexpr const char* kChildFlag = "VXIMA_ISCSI_CHILD";
constexpr const char* kExpectedFile = "/cfg/expected-savetgt.txt";

int run_child(const char* test = "IscsiRestartChild.SeesWhatTheFirstProcessLeft") {
  return vxtest::run_child(test, kChildFlag);
}

TEST_F(IscsiLab, ASecondProcessFindsEverythingBack) {
  ASSERT_EQ(add_target(kGen3Lhba, kOpenTarget, "10.0.0.5"), 0u);
  ASSERT_EQ(add_target(kGen3Lhba, kCrcTarget, "10.0.0.7", "3261"), 0u);
  ASSERT_EQ(set_value(tag_at(std::string(kGen5Lhba) + "/InitiatoriSCSIName"), "InitiatorAlias", "lab-host"), 0u);
  ASSERT_EQ(set_value(tag_at(std::string(kGen3Lhba) + "/iSCSIQoS"), "MaxBytesPerSecond", "1000"), 0u);
  const std::string target = target_path(kGen3Lhba, 0);
  ASSERT_EQ(act(tag_at(target), "ReScanLUNS", {}), 0u);
  ASSERT_EQ(act(tag_at(target + "/LUN0"), "SCSIWrite", {"50", "3"}), 0u);
  const std::string files = saved();
  root_.write(kExpectedFile, files);
  stop();

  EXPECT_EQ(run_child(), 0);
  EXPECT_EQ(saved(), files) << "the second process added nothing and lost nothing";
}

TEST(IscsiRestartChild, SeesWhatTheFirstProcessLeft) {
  if (std::getenv(kChildFlag) == nullptr) GTEST_SKIP() << "runs in the child of ASecondProcessFindsEverythingBack";
  const std::string root = std::getenv("VXIMA_ROOT");
  auto read = [&](const std::string& path) {
    FILE* f = std::fopen((root + path).c_str(), "r");
    std::string text;
    for (int c; f != nullptr && (c = std::fgetc(f)) != EOF;) text.push_back(static_cast<char>(c));
    if (f != nullptr) std::fclose(f);
    return text;
  };
  ASSERT_EQ(VARU_init(), 0u);
  EXPECT_EQ(read(kSavedTargets), read(kExpectedFile));
  EXPECT_EQ(value_at(std::string(kGen3Lhba) + "/InitiatoriSCSIName/InitiatorAlias"), "lab-host");
  EXPECT_EQ(value_at(std::string(kGen3Lhba) + "/iSCSIQoS/MaxBytesPerSecond"), "1000");

  auto lun_read = reinterpret_cast<int64_t (*)(const char*, uint32_t, uint64_t, uint32_t, void*, uint32_t)>(
      vx::simulator_symbol("vxsim_lun_read"));
  ASSERT_NE(lun_read, nullptr);
  std::vector<uint8_t> data(5 * 512);
  ASSERT_EQ(lun_read(kOpenTarget, 0, 49, 5, data.data(), static_cast<uint32_t>(data.size())), 5 * 512);
  EXPECT_TRUE(untouched(&data[0], 49, 512));
  for (int b = 1; b <= 3; ++b) EXPECT_EQ(data[b * 512 + 100], 0u);
  EXPECT_TRUE(untouched(&data[4 * 512], 53, 512));

  // The targets come back from the saved file, and the sessions the adapter kept with them.
  EXPECT_EQ(value_at(std::string(kGen3Lhba) + "/Target0/TargetISCSIName"), kOpenTarget);
  EXPECT_EQ(value_at(std::string(kGen3Lhba) + "/Target1/TargetISCSIName"), kCrcTarget);
  EXPECT_EQ(value_at(std::string(kGen3Lhba) + "/Target0/Session0/SessionStatus"), "Open");
  EXPECT_EQ(value_at(std::string(kGen3Lhba) + "/Target1/Session0/SessionStatus"), "Login failed");
  EXPECT_EQ(tag_at(std::string(kGen3Lhba) + "/Target0/Session1"), kMissing);
  VARU_exit();
}

// Options set at the target level stand in the saved-target file and come back with a refresh.
TEST_F(IscsiLab, TargetOptionsSurviveARestart) {
  ASSERT_EQ(add_target(kGen3Lhba, kOpenTarget, "10.0.0.5"), 0u);
  const std::string options = target_path(kGen3Lhba, 0) + "/TargetLoginOptions";
  ASSERT_EQ(set_value(tag_at(options), "DataDigest", "CRC32C"), 0u);
  ASSERT_EQ(act(tag_at(options + "/Authentication"), "ConfigureCHAP",
                {"One-Way CHAP", nullptr, nullptr, "user", "targetsecret", "Preferred"}),
            0u);
  stop();
  EXPECT_EQ(run_child("IscsiRestartChild.RefreshBringsTheTargetOptionsBack"), 0);
}

TEST(IscsiRestartChild, RefreshBringsTheTargetOptionsBack) {
  if (std::getenv(kChildFlag) == nullptr) GTEST_SKIP() << "runs in the child of TargetOptionsSurviveARestart";
  ASSERT_EQ(VARU_init(), 0u);
  ASSERT_EQ(act(tag_at(std::string(kGen3Lhba) + "/Discovery"), "RefreshAvailableTargets", {}), 0u);
  const std::string options = std::string(kGen3Lhba) + "/Target0/TargetLoginOptions";
  EXPECT_EQ(value_at(options + "/DataDigest"), "CRC32C");
  EXPECT_EQ(value_at(options + "/Authentication/AuthenticationMethod"), "One-Way CHAP");
  EXPECT_EQ(value_at(options + "/Authentication/TargetSecret"), "targetsecret");
  EXPECT_EQ(value_at(options + "/Authentication/CHAPParam"), "Preferred");
  EXPECT_EQ(value_at(std::string(kGen3Lhba) + "/Target0/Session0/SessionStatus"), "Open");
  VARU_exit();
}

}  // namespace
}  // namespace vxtest
