// The simulated adapter for the access-layer tests: its test controls (found in the module the
// library loads) and a fixture that opens the device nodes the way start-up does.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "access/backend_state.h"
#include "access/discovery.h"
#include "access/platform.h"
#include "sim/vxsim_control.h"
#include "support/test_support.h"

namespace vxtest {

struct SimControls {
  int (*journal_count)() = nullptr;
  int (*journal_get)(int, vxsim_journal_entry*) = nullptr;
  void (*journal_clear)() = nullptr;
  void (*inject_status)(int, int, uint8_t, uint16_t, int) = nullptr;
  void (*inject_errno)(int, int, uint32_t, int, int) = nullptr;
  void (*inject_unanswered)(int, int, int) = nullptr;
  void (*inject_delay)(int, int, uint32_t, int) = nullptr;
  void (*clear_faults)() = nullptr;
  int (*set_nic_functions)(int, int, int) = nullptr;
  int (*reset)() = nullptr;

  bool load() {
    bool ok = true;
    auto get = [&ok](auto& fn, const char* name) {
      fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(vx::simulator_symbol(name));
      ok = ok && fn != nullptr;
    };
    get(journal_count, "vxsim_journal_count");
    get(journal_get, "vxsim_journal_get");
    get(journal_clear, "vxsim_journal_clear");
    get(inject_status, "vxsim_inject_status");
    get(inject_errno, "vxsim_inject_errno");
    get(inject_unanswered, "vxsim_inject_unanswered");
    get(inject_delay, "vxsim_inject_delay");
    get(clear_faults, "vxsim_clear_faults");
    get(set_nic_functions, "vxsim_set_nic_functions");
    get(reset, "vxsim_reset");
    return ok;
  }

  std::vector<vxsim_journal_entry> journal() const {
    std::vector<vxsim_journal_entry> out(static_cast<size_t>(journal_count()));
    for (size_t i = 0; i < out.size(); ++i) journal_get(static_cast<int>(i), &out[i]);
    return out;
  }

  // The firmware commands of the journal (driver-private requests left out).
  std::vector<vxsim_journal_entry> commands() const {
    std::vector<vxsim_journal_entry> out;
    for (const vxsim_journal_entry& e : journal()) {
      if (e.is_firmware_command != 0) out.push_back(e);
    }
    return out;
  }
};

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
