// What a shell command the library starts gets from it: none of its open descriptors, and no
// caller's file name that reads as an option.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "access/backend_state.h"
#include "access/discovery.h"
#include "access/host.h"
#include "platform/platform.h"
#include "engine/hm.h"
#include "support/sim_controls.h"
#include "support/test_support.h"

namespace {

TEST(ChildProcess, InheritsNoDescriptorOfTheLibrary) {
  ::unsetenv("VXIMA_SIMULATOR");
  vxtest::TempRoot root;
  vxtest::DevicesUnderRoot devices_here;
  root.write("/vmfs/devices/char/vmkdriver/vx2iscsi_0", "");   // a device node stand-in
  root.write("/tmp/kept.txt", "");
  int32_t devices[vx::wire::kMaxIscsiNodes];
  ASSERT_EQ(vx::os_get_port_instances(devices, vx::wire::kMaxIscsiNodes), 1);
  ASSERT_TRUE(vx::varu_log_open());
  FILE* file = vx::VARU_file_open("/tmp/kept.txt", "r");
  ASSERT_NE(file, nullptr);

  // The shell lists the descriptors it was started with.
  ASSERT_EQ(std::system(("ls -l /proc/$$/fd > " + root.at("/tmp/fds.txt")).c_str()), 0);
  const std::string fds = root.read("/tmp/fds.txt");
  EXPECT_NE(fds.find("fds.txt"), std::string::npos) << "the listing itself";
  for (const char* name : {"vx2iscsi_0", "varu2d.log", "kept.txt"}) EXPECT_EQ(fds.find(name), std::string::npos) << fds;

  vx::VARU_file_close(file);
  vx::varu_log_close();
  vx::os_put_port_instances(devices, vx::wire::kMaxIscsiNodes);
}

std::vector<std::string> g_commands;
int record_command(const char* command) {
  g_commands.emplace_back(command);
  return 0;   // every tool succeeds
}

TEST(ChildProcess, AFileNameIsNeverAnOption) {
  vxtest::TempRoot root;
  vx::ScopedHostOp<int (*)(const char*)> shell{&vx::HostOps::system, record_command};
  {
    vx::VaruGlobGuard guard;
    std::snprintf(vx::varu_glob.nic_ifname[0], vx::kIfNameSize, "%s", "vmnic3");
  }
  struct Row {
    const char* image;
    const char* copied;   // what cp is given
    const char* flashed;  // what ethtool -f is given
  } rows[] = {
      {"-rf.ufi", "./-rf.ufi", "./-rf.ufi"},
      {"/images/-x.ufi", "/images/-x.ufi", "./-x.ufi"},
  };
  hm_node node{};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.image);
    g_commands.clear();
    EXPECT_EQ(vx::VARU_firmware_download(&node, 1, 2, row.image), 0u);
    std::string all;
    for (const std::string& c : g_commands) all += c + "\n";
    EXPECT_NE(all.find(std::string("; cp ") + row.copied + " "), std::string::npos) << all;
    EXPECT_NE(all.find(std::string("ethtool -f vmnic3 ") + row.flashed + " "), std::string::npos) << all;
  }
}

}  // namespace
