// examples/nic-lab.json started through the public calls (generation 5, 3, 2 and 4 controllers as
// Vexalon0 to Vexalon3), with helpers that write by path and count what reached the adapter.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "tests/api/lab_fixture.h"
#include "tests/api/startup_fixture.h"

namespace vxtest {

constexpr const char* kPort0 = "Vexalon0/PortDiscoveryAndConfiguration0";
constexpr const char* kPort1 = "Vexalon0/PortDiscoveryAndConfiguration1";

inline uint32_t set_at(const std::string& path, const std::string& value) {
  const size_t slash = path.rfind('/');
  return set_value(tag_at(path.substr(0, slash)), path.substr(slash + 1).c_str(), value);
}

inline uint32_t act_at(const std::string& path, std::initializer_list<const char*> slots) {
  const size_t slash = path.rfind('/');
  return act(tag_at(path.substr(0, slash)), path.substr(slash + 1).c_str(), slots);
}

class NicLab : public StartupTest {
 protected:
  void SetUp() override {
    use_example("nic-lab.json");
    ASSERT_EQ(start(), 0u);
    sim_.journal_clear();
  }
  size_t sent(uint8_t opcode, uint8_t subsystem) const { return sim_.payloads_of(opcode, subsystem).size(); }
  // The payload of the last command (opcode, subsystem) sent; empty when none was.
  std::vector<uint8_t> last(uint8_t opcode, uint8_t subsystem) const {
    const auto all = sim_.payloads_of(opcode, subsystem);
    return all.empty() ? std::vector<uint8_t>{} : all.back();
  }
};

}  // namespace vxtest
