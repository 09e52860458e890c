// The simulated adapter: answers stay within their room, and the configurations it refuses. Its
// faults, journal, NIC-function changes and start are exercised by the library's own tests.
#include "sim/config.h"
#include "sim_support.h"

namespace simtest {
namespace {

TEST_F(SimTest, answers_never_pass_the_room) {
  load_example("one-adapter.json");
  Request huge = command(32, 1, 540);
  const uint32_t length = 0x7FFFFFFF;
  std::memcpy(&huge.bytes[8], &length, 4);
  const std::vector<uint8_t> before = huge.bytes;
  int error = 0;
  EXPECT_EQ(send(iscsi_path(0), huge, &error), -1);
  EXPECT_EQ(error, EINVAL);
  EXPECT_EQ(huge.bytes, before) << "an oversized request length is refused untouched";
  const uint8_t commands[][2] = {{32, 1}, {72, 1}, {171, 1}, {172, 1}, {6, 6}, {7, 6}, {78, 1}, {79, 1}, {200, 9}};
  for (bool nic : {false, true}) {
    for (const auto& c : commands) {
      for (uint32_t len : {0u, 3u, 8u, 111u, 112u, 200u}) {
        Request r = command(c[0], c[1], len, nic, 3, 0, 1);
        if (len >= 112) std::memcpy(r.payload() + 8, "/obj", 5);   // a valid object name
        EXPECT_EQ(send(nic ? wire::kNicNodePath : iscsi_path(1), r), 0);
        EXPECT_TRUE(r.canary_intact()) << "nic " << nic << " op " << int(c[0]) << " len " << len;
      }
    }
  }
}

// The journal keeps what the library sent; an injected reply answers instead of the firmware.
TEST_F(SimTest, journal_keeps_request_payloads_and_replies_answer_with_given_bytes) {
  load_example("one-adapter.json");
  const std::vector<uint8_t> reply = {1, 2, 3};
  vxsim_inject_reply(76, 1, reply.data(), 3, 1);
  Request oem = command(76, 1, 44);
  std::memset(oem.payload(), 0x5A, 44);
  ASSERT_EQ(send(iscsi_path(0), oem), 0);
  EXPECT_EQ(std::vector<uint8_t>(oem.payload(), oem.payload() + 5), (std::vector<uint8_t>{1, 2, 3, 0, 0}));
  EXPECT_EQ(oem.status(), 0);
  Request too_long = command(76, 1, 2);
  vxsim_inject_reply(76, 1, reply.data(), 3, 1);
  ASSERT_EQ(send(iscsi_path(0), too_long), 0);
  EXPECT_EQ(too_long.status(), 4) << "a reply beyond the room is cut, as a record too large";
  EXPECT_TRUE(too_long.canary_intact());
  Request again = command(76, 1, 44);
  ASSERT_EQ(send(iscsi_path(0), again), 0);
  EXPECT_EQ(again.payload()[0], 'B') << "the reply was used up; the firmware answers again";

  ASSERT_EQ(vxsim_journal_count(), 3);
  std::vector<uint8_t> sent(64, 0);
  EXPECT_EQ(vxsim_journal_payload(0, sent.data(), 64), 44);
  std::vector<uint8_t> want(44, 0x5A);
  want.resize(64, 0);
  EXPECT_EQ(sent, want) << "the request as sent, not the answer, and no more";
  EXPECT_EQ(vxsim_journal_payload(1, nullptr, 0), 2);
  EXPECT_EQ(vxsim_journal_payload(3, sent.data(), 64), -1);
  const int fd = vxsim_device_open(iscsi_path(0).c_str(), 2);
  char name[32];
  vxsim_device_ioctl(fd, wire::kIscsiHostAdapterName, name);
  vxsim_device_close(fd);
  EXPECT_EQ(vxsim_journal_payload(3, sent.data(), 64), -1) << "a driver-private request carries none";
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
      {a + R"("ports": 1, "port_settings": [{}, {}]}]})", "more entries than ports"},
      {a + R"("port_settings": [{"name": "AB"}]}]})", "longer than 1"},
      {a + R"("port_settings": [{"an_speeds": ["2Gb"]}]}]})", "unknown speed"},
      {a + R"("port_settings": [{"loopback": "serdes"}]}]})", "loopback"},
      {a + R"("port_settings": [{"transceiver": "absent"}]}]})", "transceiver"},
      {a + R"("event_log": [{"code": 40, "text": "link"}]}]})", "codes 95 and above"},
      {a + R"("extfat": {"modules": [{"modes": [{"mode": "USB"}]}]}}]})", "mode must be"},
      {a + R"("port_settings": [{"dcbx": {"peer": {"app_tlvs": [{"entry": 15}]}}}]}]})", "out of range"},
      {a + R"("port_settings": [{"dcbx": {"admin": {"app_tlvs": [{"entry": 2}, {"entry": 2}]}}}]}]})", "used twice"},
      {a + R"("personality_bits": ["NIC", "SCSI"]}]})", "personality_bits"},
      {a + R"("additional_attributes": {"wwpn": "10:00:00:1f:4e:50:00"}}]})", "WWPN"},
      {a + R"("additional_attributes": {"phy_config_id": "000000A1F"}}]})", "longer than 8"},
      {a + R"("controller_state": "asleep"}]})", "controller_state"},
      {a + R"("ffv_name": "0123456789012345678901234567890123"}]})", "longer than 32"},
      {a + R"("ncsi": {"dynamic": {"mac0": "00:11"}}}]})", "MAC"},
      {a + R"("port_settings": [{"beacon": "blink"}]}]})", "beacon"},
      {a + R"("port_settings": [{"state": "On"}]}]})", "state"},
      {a + R"("port_settings": [{"flow_control": {"tx": "yes"}}]}]})", "true or false"},
      {a + R"("port_settings": [{"dcbx": {"mode": "IEEE"}}]}]})", "dcbx.mode"},
      {a + R"("port_settings": [{"dcbx": {"admin": {"pg": ["fast"]}}}]}]})", "unknown name"},
      {a + R"("port_settings": [{"dcbx": {"admin": {"bandwidth": [1, 2]}}}]}]})", "8 numbers"},
      {a + R"("port_settings": [{"lldp": {"local": {"tlvs": ["port_id"]}}}]}]})", "unknown name"},
      {a + R"("fw_config": {"function_mode": "0x100000000"}}]})", "out of range"},
  };
  for (const auto& [text, reason] : rows) {
    vx::sim::Config config;
    std::string error;
    EXPECT_FALSE(vx::sim::parse_config(text, &config, &error)) << text;
    EXPECT_NE(error.find(reason), std::string::npos) << text << " -> " << error;
  }
}

}  // namespace
}  // namespace simtest
