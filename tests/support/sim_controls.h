// The simulated adapter's test controls, found in the module the library loads (VXIMA_SIMULATOR):
// the journal of what reached the simulated drivers, fault injection and reset. Free of the test
// framework, so that the benchmarks use it too.
#pragma once

#include <fcntl.h>

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
  void (*inject_reply)(int, int, const void*, uint32_t, int) = nullptr;
  int (*journal_payload)(int, void*, uint32_t) = nullptr;
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
    get(inject_reply, "vxsim_inject_reply");
    get(journal_payload, "vxsim_journal_payload");
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

  // The request payload of journal entry `index` (empty when it has none).
  std::vector<uint8_t> payload(int index) const {
    const int length = journal_payload(index, nullptr, 0);
    std::vector<uint8_t> out(length > 0 ? static_cast<size_t>(length) : 0);
    if (length > 0) journal_payload(index, out.data(), static_cast<uint32_t>(out.size()));
    return out;
  }

  // The request payloads of the journal's commands with this opcode and subsystem, in order.
  std::vector<std::vector<uint8_t>> payloads_of(uint8_t opcode, uint8_t subsystem) const {
    std::vector<std::vector<uint8_t>> out;
    for (int i = 0; i < journal_count(); ++i) {
      vxsim_journal_entry e{};
      if (journal_get(i, &e) == 0 && e.is_firmware_command != 0 && e.opcode == opcode && e.subsystem == subsystem) {
        out.push_back(payload(i));
      }
    }
    return out;
  }

  // Answers the next `count` commands (opcode, subsystem) with `bytes` as their payload.
  void reply_with(int opcode, int subsystem, const std::vector<uint8_t>& bytes, int count = 1) const {
    inject_reply(opcode, subsystem, bytes.data(), static_cast<uint32_t>(bytes.size()), count);
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

// For a scope, the driver's device nodes are plain files under VXIMA_ROOT (none unless the test
// makes them): a test that runs without the simulated adapter gets none, also after an earlier
// test of the same process loaded it (the module then serves every device node for the process's
// life, whatever VXIMA_SIMULATOR says).
class DevicesUnderRoot {
 public:
  DevicesUnderRoot()
      : open_{&vx::HostOps::open,
              [](const char* path, int flags, mode_t mode) { return ::open(vx::host_path(path).c_str(), flags, mode); }} {}

 private:
  vx::ScopedHostOp<int (*)(const char*, int, mode_t)> open_;
};

}  // namespace vxtest
