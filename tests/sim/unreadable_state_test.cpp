// A state file of the simulated adapter that exists but cannot be read fails the command; it is
// never answered with the factory state as if nothing had been written.
#include <filesystem>

#include "sim/store.h"
#include "sim_support.h"

namespace simtest {
namespace {

TEST_F(SimTest, unreadable_state_files_fail_the_command) {
  load_example("one-adapter.json");
  const std::string state = "/var/lib/vxsim/BL3202A0001/";
  const std::string object = "/iscsidata/Port0/Instance0/Region3";
  struct Row {
    std::string file;   // under the adapter's state directory
    uint8_t opcode;
    uint32_t length;
  };
  const Row rows[] = {
      {"objects/" + vx::sim::object_file_name(object), 171, 200},   // read flash object
      {"records/config-signature", 78, 132},                        // get configuration signature
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.file);
    std::filesystem::create_directories(root.at(state + row.file));   // opens, but does not read
    Request r = command(row.opcode, 1, row.length);
    std::memcpy(r.payload() + 8, object.c_str(), object.size() + 1);
    ASSERT_EQ(send(iscsi_path(0), r), 0);
    EXPECT_EQ(r.status(), 3);
  }
}

}  // namespace
}  // namespace simtest
