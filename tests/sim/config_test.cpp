// The simulated adapter's configuration and its start.
#include <unistd.h>

#include "sim/config.h"
#include "sim_support.h"

namespace simtest {
namespace {

TEST(SimConfig, bad_configurations_are_refused_with_a_reason) {
  const std::string a = R"({"adapters": [{"serial_number": "A", "generation": 3, )";
  const std::pair<std::string, const char*> rows[] = {
      {"[1]", "JSON object"},
      {"{\"adapters\": 3}", "must be a list"},
      {"{\"adapters\": [{\"generation\": 3}]}", "serial_number"},
      {"{\"adapters\": [{\"serial_number\": \"../x\", \"generation\": 3}]}", "serial_number"},
      {"{\"adapters\": [{\"serial_number\": \"A\"}]}", "generation or pci.device_id"},
      {a + R"("pci": {"device_id": "0x0720"}}]})", "generation 3"},
      {a + R"("pci": {"bus": 256}}]})", "out of range"},
      {a + R"("iscsi_functions": [{"function": 1}], "nic_functions": [{"function": 1}]}]})", "used twice"},
      {a + R"("ports": 1, "nic_functions": [{"function": 1, "port": 1}]}]})", "beyond the adapter's ports"},
      {a + R"("nic_functions": [{"function": 1, "mac": "00:11:22:33:44"}]}]})", "MAC"},
      {a + R"("ports": 2}, {"serial_number": "B", "generation": 5}]})", "same PCI bus"},
      {a + R"("iscsi_functions": [{"function": 1, "iscsi_node": 4}, {"function": 2, "iscsi_node": 4}]}]})",
       "used twice"},
  };
  for (const auto& [text, reason] : rows) {
    vx::sim::Config config;
    std::string error;
    EXPECT_FALSE(vx::sim::parse_config(text, &config, &error)) << text;
    EXPECT_NE(error.find(reason), std::string::npos) << text << " -> " << error;
  }
}

TEST_F(SimTest, module_refuses_to_run_without_a_root) {
  load_example("one-adapter.json");
  ::unsetenv("VXIMA_ROOT");
  EXPECT_EQ(vxsim_reset(), -1);
  EXPECT_STREQ(vxsim_last_error(), "VXIMA_ROOT is not set");
  EXPECT_EQ(vxsim_device_open(iscsi_path(0).c_str(), 2), -1);
  ::setenv("VXIMA_ROOT", root.path().c_str(), 1);
  ::setenv("VXIMA_SIMULATOR", root.at("/none.json").c_str(), 1);
  EXPECT_EQ(vxsim_reset(), -1);
  EXPECT_NE(std::string(vxsim_last_error()).find("cannot read"), std::string::npos);
}

}  // namespace
}  // namespace simtest
