// The simulated firmware: the command table, the records it answers and the state it keeps.
#include <sys/wait.h>
#include <unistd.h>

#include "sim/config.h"
#include "sim_support.h"

namespace simtest {
namespace {

TEST_F(SimTest, commands_without_a_handler_are_accepted_and_echoed) {
  load_example("one-adapter.json");
  Request r = command(200, 9, 24);
  r.bytes[2] = 1;   // port number
  r.bytes[3] = 2;   // domain
  r.bytes[12] = 1;  // version
  for (int i = 0; i < 24; ++i) r.payload()[i] = static_cast<uint8_t>(i + 1);
  ASSERT_EQ(send(iscsi_path(1), r), 0);
  EXPECT_EQ(r.status(), 0);
  EXPECT_EQ(r.additional(), 0);
  EXPECT_EQ(r.length(), 24u);
  for (int i = 0; i < 24; ++i) EXPECT_EQ(r.payload()[i], i + 1);
  vxsim_journal_entry e;
  ASSERT_EQ(vxsim_journal_get(0, &e), 0);
  EXPECT_STREQ(e.path, iscsi_path(1).c_str());
  EXPECT_EQ(e.request, wire::kIscsiFirmwareCommand);
  EXPECT_EQ(e.is_firmware_command, 1);
  EXPECT_EQ(e.opcode, 200);
  EXPECT_EQ(e.subsystem, 9);
  EXPECT_EQ(e.port_number, 1);
  EXPECT_EQ(e.domain, 2);
  EXPECT_EQ(e.timeout, 120u);
  EXPECT_EQ(e.request_length, 24u);
  EXPECT_EQ(e.version, 1);
  EXPECT_EQ(e.status, 0);
  EXPECT_EQ(e.result, 0);
}

template <typename T>
T field(const Request& r, size_t offset) {
  T v;
  std::memcpy(&v, &r.bytes[r.header + wire::kHeaderSize + offset], sizeof v);
  return v;
}

TEST_F(SimTest, controller_attributes_identify_each_function) {
  load_example("two-adapters.json");
  struct Row {
    bool nic;
    int node;              // iSCSI node, or NIC bus
    uint8_t function;
    const char* serial;
    uint16_t device_id;
    uint8_t bus, port;
    const char* firmware;
  };
  const Row rows[] = {
      {false, 0, 2, "BL3202A0001", 0x0712, 3, 0, "4.2.324.0"},
      {false, 1, 3, "BL3202A0001", 0x0712, 3, 1, "4.2.324.0"},
      {false, 3, 3, "BL5202B0007", 0x0722, 4, 1, "10.2.470.14"},
      {true, 3, 1, "BL3202A0001", 0x0710, 3, 1, "4.2.324.0"},
      {true, 4, 0, "BL5202B0007", 0x0720, 4, 0, "10.2.470.14"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.serial << " fn " << int(row.function));
    Request r = row.nic ? nic_command(static_cast<uint8_t>(row.node), 0, row.function, 32, 1, 540)
                        : command(32, 1, 540);
    ASSERT_EQ(send(row.nic ? std::string(wire::kNicNodePath) : iscsi_path(row.node), r), 0);
    EXPECT_EQ(r.status(), 0);
    EXPECT_EQ(r.length(), 540u);
    EXPECT_EQ(r.text(192), row.serial);
    EXPECT_EQ(r.text(32), "Quillmarchant Corp");
    EXPECT_EQ(r.text(256), row.firmware);   // active
    EXPECT_EQ(r.text(384), row.firmware);   // on flash
    EXPECT_EQ(r.text(288), row.firmware);   // BIOS
    EXPECT_EQ(r.text(320), row.firmware);   // boot code
    EXPECT_EQ(field<uint16_t>(r, 500), 0x1f4e);
    EXPECT_EQ(field<uint16_t>(r, 502), row.device_id);
    EXPECT_EQ(r.payload()[447], row.port);
    EXPECT_EQ(r.payload()[508], row.bus);
    EXPECT_EQ(r.payload()[509], 0);
    EXPECT_EQ(r.payload()[510], row.function);
  }
}

TEST_F(SimTest, a_record_larger_than_the_request_is_cut_with_status_4) {
  load_example("one-adapter.json");
  Request r = command(32, 1, 200);
  ASSERT_EQ(send(iscsi_path(0), r), 0);
  EXPECT_EQ(r.status(), 4);
  EXPECT_EQ(r.length(), 540u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(r.payload()) + 192, 8), "BL3202A0");   // cut by the room
  EXPECT_TRUE(r.canary_intact());
}

TEST_F(SimTest, pci_configuration_command_answers_the_whole_space) {
  load_example("one-adapter.json");
  Request r = command(72, 1, 264);
  std::memcpy(r.payload(), "\xd0\0\0\0\x04\0\0\0", 8);
  ASSERT_EQ(send(iscsi_path(0), r), 0);
  EXPECT_EQ(r.status(), 0);
  EXPECT_EQ(field<uint32_t>(r, 0), 208u);          // request fields kept
  EXPECT_EQ(field<uint32_t>(r, 8), 0x07121f4eu);   // iSCSI function's IDs
  EXPECT_EQ(field<uint32_t>(r, 8 + 208), 0x00820000u);
}

std::string initiator_name(const std::string& node) {
  Request r = command(6, 6, 260);
  EXPECT_EQ(send(node, r), 0);
  EXPECT_EQ(r.status(), 0);
  return r.text(4);
}

TEST_F(SimTest, initiator_name_is_kept_per_function_across_reset) {
  load_example("one-adapter.json");
  EXPECT_EQ(initiator_name(iscsi_path(0)), "iqn.1990-07.com.quillmarchant:bl3202a0001");
  Request save = command(7, 6, 260);
  std::strcpy(reinterpret_cast<char*>(save.payload()) + 4, "iqn.2024-01.com.example:host1");
  std::strcpy(reinterpret_cast<char*>(save.payload()) + 228, "host1");
  ASSERT_EQ(send(iscsi_path(0), save), 0);
  EXPECT_EQ(save.status(), 0);
  ASSERT_EQ(vxsim_reset(), 0);
  EXPECT_EQ(initiator_name(iscsi_path(0)), "iqn.2024-01.com.example:host1");
  EXPECT_EQ(initiator_name(iscsi_path(1)), "iqn.1990-07.com.quillmarchant:bl3202a0001");
  Request short_save = command(7, 6, 100);
  ASSERT_EQ(send(iscsi_path(0), short_save), 0);
  EXPECT_EQ(short_save.status(), 1);
  EXPECT_EQ(short_save.additional(), 0xFF);
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
  uint32_t size = static_cast<uint32_t>(data.size()) | kEnd;
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
  EXPECT_EQ(factory.status(), 0);
  ASSERT_EQ(factory.u32(0), 20u);
  EXPECT_EQ(factory.u32(4), kEnd);
  EXPECT_EQ(factory.u32(8 + 4), 4u);   // the region header's TLV length

  EXPECT_EQ(write_object(region3, "0123456789").u32(0), 10u);
  EXPECT_EQ(object_data(read_object(region3, 32860)), "0123456789");
  write_object(region3, "AB", 4);   // a later chunk lands at its offset
  EXPECT_EQ(object_data(read_object(region3, 32860)), "0123AB6789");
  write_object(region3, "xyz");     // offset 0 starts the object anew
  EXPECT_EQ(object_data(read_object(region3, 32860)), "xyz");
  const std::string longest(103, '/');   // escapes beyond a file name's length
  EXPECT_EQ(write_object(longest, "long").status(), 0);
  EXPECT_EQ(object_data(read_object(longest, 200)), "long");

  // Chunks: a read returns what fits behind the 8 answer bytes and marks the end of the object.
  std::string big(200, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i % 26);
  write_object("/big", big);
  struct Row {
    std::string name;
    uint32_t room, offset;
    size_t first, count;   // of `big`
    uint32_t end_bit;
  };
  const Row rows[] = {
      {"/big", 112, 0, 0, 104, 0}, {"/big", 112, 104, 104, 96, kEnd}, {"/big", 208, 0, 0, 200, kEnd},
      {"/big", 112, 300, 0, 0, kEnd}, {"/missing", 200, 0, 0, 0, kEnd},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name + " +" + std::to_string(row.offset));
    Request r = read_object(row.name, row.room, row.offset);
    EXPECT_EQ(r.status(), 0);
    EXPECT_EQ(r.u32(4), row.end_bit);
    EXPECT_EQ(object_data(r), big.substr(row.first, row.count));
    EXPECT_EQ(r.length(), 8 + row.count);
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
  if (child == 0) {
    // A process of its own that loads the module on the same root.
    int ok = vxsim_reset() == 0;
    Request r = read_object("/shared", 200);
    ok = ok && object_data(r) == "from-parent";
    write_object("/shared", "from-child");
    Request save = command(79, 1, 132);
    std::memcpy(save.payload(), "SIGN", 4);
    ok = ok && send(iscsi_path(1), save) == 0 && save.status() == 0;
    ::_exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(object_data(read_object("/shared", 200)), "from-child");
  Request sign = command(78, 1, 132);
  ASSERT_EQ(send(iscsi_path(0), sign), 0);   // the signature belongs to the adapter, not a function
  EXPECT_EQ(sign.text(0), "SIGN");
}

TEST(SimConfig, generation_follows_the_pci_device_id) {
  const std::pair<uint16_t, uint16_t> rows[] = {
      {0x0210, 2}, {0x0217, 2}, {0x0703, 2}, {0x0218, 65535}, {0x0220, 3}, {0x0712, 3}, {0x0711, 65535},
      {0xE220, 4}, {0xE228, 4}, {0x0720, 5}, {0x0723, 5}, {0x0728, 5}, {0x0730, 6}, {0x0000, 65535},
  };
  for (const auto& [id, generation] : rows) EXPECT_EQ(vx::sim::generation_of_device(id), generation) << id;
}

TEST(SimConfig, bad_configurations_are_refused_with_a_reason) {
  const std::pair<const char*, const char*> rows[] = {
      {"[1]", "JSON object"},
      {"{\"adapters\": 3}", "must be a list"},
      {"{\"adapters\": [{\"generation\": 3}]}", "serial_number"},
      {"{\"adapters\": [{\"serial_number\": \"../x\", \"generation\": 3}]}", "serial_number"},
      {"{\"adapters\": [{\"serial_number\": \"A\"}]}", "generation or pci.device_id"},
      {"{\"adapters\": [{\"serial_number\": \"A\", \"generation\": 3, \"pci\": {\"device_id\": \"0x0720\"}}]}",
       "generation 3"},
      {"{\"adapters\": [{\"serial_number\": \"A\", \"generation\": 3, \"pci\": {\"bus\": 256}}]}", "out of range"},
      {"{\"adapters\": [{\"serial_number\": \"A\", \"generation\": 3, "
       "\"iscsi_functions\": [{\"function\": 1}], \"nic_functions\": [{\"function\": 1}]}]}",
       "used twice"},
      {"{\"adapters\": [{\"serial_number\": \"A\", \"generation\": 3, \"ports\": 1, "
       "\"nic_functions\": [{\"function\": 1, \"port\": 1}]}]}",
       "beyond the adapter's ports"},
      {"{\"adapters\": [{\"serial_number\": \"A\", \"generation\": 3, "
       "\"nic_functions\": [{\"function\": 1, \"mac\": \"00:11:22:33:44\"}]}]}",
       "MAC"},
      {"{\"adapters\": [{\"serial_number\": \"A\", \"generation\": 3}, "
       "{\"serial_number\": \"B\", \"generation\": 5}]}",
       "same PCI bus"},
      {"{\"adapters\": [{\"serial_number\": \"A\", \"generation\": 3, "
       "\"iscsi_functions\": [{\"function\": 1, \"iscsi_node\": 4}, {\"function\": 2, \"iscsi_node\": 4}]}]}",
       "used twice"},
  };
  for (const auto& [text, reason] : rows) {
    vx::sim::Config config;
    std::string error;
    EXPECT_FALSE(vx::sim::parse_config(text, &config, &error)) << text;
    EXPECT_NE(error.find(reason), std::string::npos) << text << " -> " << error;
  }
}

TEST(SimConfig, generation_alone_gives_the_devices_of_that_generation) {
  vx::sim::Config config;
  std::string error;
  ASSERT_TRUE(vx::sim::parse_config(
      R"({"adapters": [{"serial_number": "Q1", "generation": 4, "future": [1, 2],
                         "nic_functions": [{"function": 0}, {"function": 1, "virtual_functions": 3}]}]})",
      &config, &error))
      << error;
  const vx::sim::Adapter& a = config.adapters.at(0);
  EXPECT_EQ(a.device_id, 0xE220);
  EXPECT_EQ(a.nic_device_id, 0xE220);
  EXPECT_EQ(a.generation, 4);
  EXPECT_EQ(a.nic_functions.at(0).name, "vmnic0");
  EXPECT_EQ(a.nic_functions.at(1).name, "vmnic1");
  EXPECT_EQ(a.nic_functions.at(1).virtual_functions.size(), 3u);
}

TEST_F(SimTest, module_refuses_to_run_without_a_root) {
  load_example("one-adapter.json");
  ::unsetenv("VXIMA_ROOT");
  EXPECT_EQ(vxsim_reset(), -1);
  EXPECT_STREQ(vxsim_last_error(), "VXIMA_ROOT is not set");
  EXPECT_EQ(vxsim_device_open(iscsi_path(0).c_str(), 2), -1);
  EXPECT_EQ(errno, ENOENT);
  ::setenv("VXIMA_ROOT", root.path().c_str(), 1);
  ::setenv("VXIMA_SIMULATOR", root.at("/none.json").c_str(), 1);
  EXPECT_EQ(vxsim_reset(), -1);
  EXPECT_NE(std::string(vxsim_last_error()).find("cannot read"), std::string::npos);
}

}  // namespace
}  // namespace simtest
