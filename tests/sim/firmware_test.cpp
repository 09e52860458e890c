// The simulated firmware: the command table, the objects and state it keeps, its configuration.
#include <sys/wait.h>
#include <unistd.h>

#include "sim/config.h"
#include "sim_support.h"

namespace simtest {
namespace {

TEST_F(SimTest, commands_without_a_handler_are_accepted_echoed_and_journalled) {
  load_example("one-adapter.json");
  Request r = command(200, 9, 24);
  r.bytes[2] = 1;   // port number
  r.bytes[3] = 2;   // domain
  r.bytes[12] = 1;  // version
  for (int i = 0; i < 24; ++i) r.payload()[i] = static_cast<uint8_t>(i + 1);
  const std::vector<uint8_t> payload(r.payload(), r.payload() + 24);
  ASSERT_EQ(send(iscsi_path(1), r), 0);
  EXPECT_EQ(r.status() + r.additional(), 0);
  EXPECT_EQ(r.length(), 24u);
  EXPECT_EQ(std::vector<uint8_t>(r.payload(), r.payload() + 24), payload);
  vxsim_journal_entry e;
  ASSERT_EQ(vxsim_journal_get(0, &e), 0);
  EXPECT_STREQ(e.path, iscsi_path(1).c_str());
  EXPECT_EQ(std::vector<int64_t>({e.is_firmware_command, e.opcode, e.subsystem, e.port_number, e.domain, e.timeout,
                                   e.request_length, e.version}),
            std::vector<int64_t>({1, 200, 9, 1, 2, 120, 24, 1}));
}

constexpr uint32_t kEnd = 0x80000000u;

Request read_object(const std::string& name, uint32_t room, uint32_t offset = 0) {
  Request r = command(171, 1, room);
  std::memcpy(r.payload() + 4, &offset, 4);
  std::memcpy(r.payload() + 8, name.c_str(), name.size() + 1);
  EXPECT_EQ(send(iscsi_path(0), r), 0);
  return r;
}

Request write_object(const std::string& name, const std::string& data, uint32_t offset = 0) {
  Request r = command(172, 1, static_cast<uint32_t>(112 + data.size()));
  const uint32_t size = static_cast<uint32_t>(data.size()) | kEnd;
  std::memcpy(r.payload(), &size, 4);
  std::memcpy(r.payload() + 4, &offset, 4);
  std::memcpy(r.payload() + 8, name.c_str(), name.size() + 1);
  std::memcpy(r.payload() + 112, data.data(), data.size());
  EXPECT_EQ(send(iscsi_path(0), r), 0);
  return r;
}

std::string object_data(const Request& r) {
  return std::string(reinterpret_cast<const char*>(&r.bytes[wire::kHeaderSize + 8]), r.u32(0));
}

TEST_F(SimTest, flash_objects_start_from_the_factory_image_and_keep_what_is_written) {
  load_example("one-adapter.json");
  const std::string region3 = "/iscsidata/Port0/Instance0/Region3";
  Request factory = read_object(region3, 32860);
  ASSERT_EQ(factory.u32(0), 20u);
  EXPECT_EQ(factory.u32(4), kEnd);
  write_object(region3, "0123456789");
  write_object(region3, "AB", 4);   // a later chunk lands at its offset
  EXPECT_EQ(object_data(read_object(region3, 32860)), "0123AB6789");
  write_object(region3, "xyz");     // offset 0 starts the object anew
  EXPECT_EQ(object_data(read_object(region3, 32860)), "xyz");
  const std::string longest(103, '/');   // escapes beyond a file name's length
  EXPECT_EQ(write_object(longest, "long").status(), 0);
  EXPECT_EQ(object_data(read_object(longest, 200)), "long");
  // A read returns what fits behind the 8 answer bytes and marks the end of the object.
  std::string big(200, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i % 26);
  write_object("/big", big);
  const struct { std::string name; uint32_t room, offset; size_t first, count; uint32_t end_bit; } rows[] = {
      {"/big", 112, 0, 0, 104, 0}, {"/big", 112, 104, 104, 96, kEnd}, {"/big", 112, 300, 0, 0, kEnd},
      {"/missing", 200, 0, 0, 0, kEnd}};
  for (const auto& row : rows) {
    Request r = read_object(row.name, row.room, row.offset);
    EXPECT_EQ(r.u32(4), row.end_bit) << &row - rows;
    EXPECT_EQ(object_data(r), big.substr(row.first, row.count)) << &row - rows;
    EXPECT_TRUE(r.canary_intact());
  }
  Request no_name = command(171, 1, 12);   // the name field does not fit
  ASSERT_EQ(send(iscsi_path(0), no_name), 0);
  EXPECT_EQ(no_name.status(), 1);
}

TEST_F(SimTest, a_second_process_sees_the_same_adapter) {
  load_example("one-adapter.json");
  write_object("/shared", "from-parent");
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {   // a process of its own that loads the module on the same root
    bool ok = vxsim_reset() == 0 && object_data(read_object("/shared", 200)) == "from-parent";
    write_object("/shared", "from-child");
    Request save = command(79, 1, 132);
    std::memcpy(save.payload(), "SIGN", 4);
    ok = ok && send(iscsi_path(1), save) == 0 && save.status() == 0;
    ::_exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(object_data(read_object("/shared", 200)), "from-child");
  Request sign = command(78, 1, 132);
  ASSERT_EQ(send(iscsi_path(0), sign), 0);   // the signature belongs to the adapter, not a function
  EXPECT_EQ(sign.text(0), "SIGN");
}

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
