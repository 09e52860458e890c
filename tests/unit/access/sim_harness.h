// The simulated adapter for the access-layer tests: a fixture that opens the device nodes the way
// start-up does, with the simulator's test controls (support/sim_controls.h).
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "access/backend_state.h"
#include "access/discovery.h"
#include "support/sim_controls.h"
#include "support/test_support.h"

namespace vxtest {

// One adapter (examples/one-adapter.json) behind the library's device seam, its nodes opened as
// start-up opens them; the NIC node is closed again, as between commands.
class SimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("VXIMA_SIMULATOR", source_path("examples/one-adapter.json").c_str(), 1);
    root_ = std::make_unique<TempRoot>();
    ASSERT_TRUE(sim_.load()) << "simulated adapter module not found";
    ASSERT_EQ(sim_.reset(), 0);
    vx::reset_varu_glob();
    vx::varu_glob.iscsi_node_count = vx::os_get_port_instances(vx::varu_glob.iscsi_fds, vx::wire::kMaxIscsiNodes);
    vx::varu_glob.nic_function_count =
        vx::os_get_nic_port_instances(vx::varu_glob.nic_fds, vx::wire::kMaxNicHandles);
    vx::os_put_nic_port_instances(vx::varu_glob.nic_fds, vx::wire::kMaxNicHandles);
    ASSERT_GT(vx::varu_glob.iscsi_node_count, 0);
    ASSERT_GT(vx::varu_glob.nic_function_count, 0);
    sim_.journal_clear();
  }

  void TearDown() override {
    vx::os_put_port_instances(vx::varu_glob.iscsi_fds, vx::wire::kMaxIscsiNodes);
    vx::os_put_nic_port_instances(vx::varu_glob.nic_fds, vx::wire::kMaxNicHandles);
    ::unsetenv("VXIMA_SIMULATOR");
  }

  SimControls sim_;
  std::unique_ptr<TempRoot> root_;
};

}  // namespace vxtest
