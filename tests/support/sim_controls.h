// The simulated adapter's test controls, found in the module the library loads (VXIMA_SIMULATOR):
// the journal of what reached the simulated drivers, fault injection and reset. Free of the test
// framework, so that the benchmarks use it too.
#pragma once

#include <cstdint>
#include <type_traits>
#include <vector>

#include "platform/platform.h"
#include "sim/vxsim_control.h"

namespace vxtest {

struct SimControls {
  int (*journal_count)() = nullptr;
  int (*journal_get)(int, vxsim_journal_entry*) = nullptr;
  void (*journal_clear)() = nullptr;
  void (*inject_status)(int, int, uint8_t, uint16_t, int) = nullptr;
  void (*inject_status_after)(int, int, uint8_t, uint16_t, int, int) = nullptr;
  void (*inject_errno)(int, int, uint32_t, int, int) = nullptr;
  void (*inject_unanswered)(int, int, int) = nullptr;
  void (*inject_delay)(int, int, uint32_t, int) = nullptr;
  void (*clear_faults)() = nullptr;
  int (*set_nic_functions)(int, int, int) = nullptr;
  int (*reset)() = nullptr;

  // False when the module or one of its controls is missing.
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
    get(inject_status_after, "vxsim_inject_status_after");
    get(inject_errno, "vxsim_inject_errno");
    get(inject_unanswered, "vxsim_inject_unanswered");
    get(inject_delay, "vxsim_inject_delay");
    get(clear_faults, "vxsim_clear_faults");
    get(set_nic_functions, "vxsim_set_nic_functions");
    get(reset, "vxsim_reset");
    return ok;
  }

  // Every request of the journal, in order.
  std::vector<vxsim_journal_entry> journal() const {
    std::vector<vxsim_journal_entry> out;
    for (int i = 0; i < journal_count(); ++i) {
      vxsim_journal_entry e{};
      if (journal_get(i, &e) == 0) out.push_back(e);
    }
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

}  // namespace vxtest
