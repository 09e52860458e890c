// The network keys of the configuration and the firmware's network records: the route limit, the
// iSNS record a zeroed write leaves alone, and the commands a generation without IPv6 refuses.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "access/flash_erase.h"
#include "iscsi/net_records.h"
#include "sim/config.h"
#include "tests/sim/sim_support.h"

namespace {

using namespace simtest;

TEST(SimNetConfig, KeysAndRefusals) {
  vx::sim::Config c;
  std::string error;
  ASSERT_TRUE(vx::sim::parse_config(R"({"adapters": [{"serial_number": "A", "generation": 5, "route_limit": 2,
      "iscsi_functions": [{"function": 2, "link": "down", "speed": 7, "qos_speed": 25}]}]})", &c, &error)) << error;
  const vx::sim::Function& f = c.adapters[0].iscsi_functions[0];
  EXPECT_EQ(c.adapters[0].route_limit, 2u);
  EXPECT_FALSE(f.link_up);
  EXPECT_EQ(f.speed, 7);
  EXPECT_EQ(f.mtu, 9000) << "an iSCSI function's default";
  EXPECT_EQ(c.network.dhcp.first_address.bytes[3], 100) << "a DHCP pool without a \"dhcp\" key";
  const char* refused[] = {
      R"({"adapters": [{"serial_number": "A", "generation": 3, "iscsi_functions": [{"function": 2, "link": "off"}]}]})",
      R"({"adapters": [{"serial_number": "A", "generation": 3, "route_limit": 1000}]})",
      R"({"network": {"dhcp": {"first_address": "fd00::1"}}})",
      R"({"network": {"dhcp": {"ipv6_prefix": "10.0.0.0"}}})",
  };
  for (const char* text : refused) EXPECT_FALSE(vx::sim::parse_config(text, &c, &error)) << text;
}

class SimNet : public SimTest {
 protected:
  void load_text(const std::string& json) {
    root.write("/sim.json", json);
    ::setenv("VXIMA_SIMULATOR", root.at("/sim.json").c_str(), 1);
    ASSERT_EQ(vxsim_reset(), 0) << vxsim_last_error();
  }
  static uint32_t u32(Request& r, size_t at) {
    uint32_t v = 0;
    std::memcpy(&v, r.payload() + at, sizeof v);
    return v;
  }
  Request route(uint32_t operation, uint8_t last_byte) {
    Request r = command(11, 2, sizeof(vx::route_entry_request));
    vx::route_entry_request q{};
    q.operation = operation;
    q.destination[0] = 10;
    q.destination[1] = last_byte;
    q.mask[0] = 255;
    std::memcpy(r.payload(), &q, sizeof q);
    return r;
  }
};

TEST_F(SimNet, RoutesStopAtTheLimitAndADeletionMustMatch) {
  load_text(R"({"adapters": [{"serial_number": "A", "generation": 3, "route_limit": 2,
                "iscsi_functions": [{"function": 2}]}]})");
  for (uint8_t n : {1, 2, 2}) {
    Request r = route(vx::kOperationAdd, n);
    ASSERT_EQ(send(iscsi_path(0), r), 0);
    EXPECT_EQ(r.status(), 0) << "an identical route is taken again";
  }
  Request third = route(vx::kOperationAdd, 3);
  ASSERT_EQ(send(iscsi_path(0), third), 0);
  EXPECT_EQ(third.status() * 1000 + third.bytes[wire::kResponseAdditionalOffset], 1022);
  Request unknown = route(vx::kOperationDelete, 3);
  ASSERT_EQ(send(iscsi_path(0), unknown), 0);
  EXPECT_EQ(unknown.status(), 1);
  Request table = command(10, 2, vx::kRouteTableSize);
  ASSERT_EQ(send(iscsi_path(0), table), 0);
  EXPECT_EQ(u32(table, 0), 2u);
  EXPECT_TRUE(table.canary_intact());
}

TEST_F(SimNet, DhcpLeasesFromThePoolAndAutoAssignmentFromThePrefix) {
  load_text(R"({"adapters": [{"serial_number": "A", "generation": 5, "iscsi_functions": [{"function": 2,
                "iscsi_node": 7, "mac": "00:1f:4e:00:00:02"}]}],
                "network": {"dhcp": {"first_address": "192.168.1.10", "ipv6_prefix": "fd12::"}}})");
  const std::string node = iscsi_path(7);
  for (uint32_t kind : {vx::kDhcpIpv4, vx::kAutoAssignIpv6}) {
    Request on = command(17, 2, sizeof(vx::dhcp_request));
    const vx::dhcp_request r{0x102, kind, 1, 1};
    std::memcpy(on.payload(), &r, sizeof r);
    ASSERT_EQ(send(node, on), 0);
    ASSERT_EQ(on.status(), 0) << kind;
  }
  Request v4 = command(25, 2, sizeof(vx::if_info_params));
  const uint32_t ask[2] = {0x102, vx::kIpTypeIpv4};
  std::memcpy(v4.payload(), ask, sizeof ask);
  ASSERT_EQ(send(node, v4), 0);
  vx::if_info_params got{};
  std::memcpy(&got, v4.payload(), sizeof got);
  EXPECT_EQ(got.address[3], 17) << "the pool's first address plus the node number";
  EXPECT_EQ(got.dhcp, 1u);
  Request v6 = command(25, 2, sizeof(vx::if_info_params));
  const uint32_t routable[2] = {0x102, vx::kIpTypeRoutable};
  std::memcpy(v6.payload(), routable, sizeof routable);
  ASSERT_EQ(send(node, v6), 0);
  const uint8_t* entry = v6.payload() + vx::kIpv6EntryAddressOffset;
  EXPECT_EQ(entry[1], 0x12);
  EXPECT_EQ(entry[15], 0x02) << "the EUI-64 of the MAC";
}

TEST_F(SimNet, EraseClearsTheNetworkAndKeepsTheInitiatorName) {
  load_example("iscsi-lab.json");
  const std::string node = iscsi_path(2);
  vx::ip_entry_record add{1, vx::kOperationAdd, 0x102, vx::kIpEntryRecordSize, vx::kIpTypeIpv4, 0, {10, 0, 0, 21},
                          {255, 255, 255}, {}, 0};
  Request set = command(21, 2, sizeof add);
  std::memcpy(set.payload(), &add, sizeof add);
  ASSERT_EQ(send(node, set), 0);
  ASSERT_EQ(set.status(), 0);
  auto erase = [&](uint32_t area, bool nic) {
    Request r = nic ? command(7, 1, sizeof(vx::erase_request), true, 4, 0, 0) : command(7, 1, sizeof(vx::erase_request));
    const vx::erase_request e{vx::kEraseOperation, area, {}};
    std::memcpy(r.payload(), &e, sizeof e);
    EXPECT_EQ(send(nic ? std::string(wire::kNicNodePath) : node, r), 0);
    return r.status();
  };
  EXPECT_EQ(erase(9, false), 1) << "no such area";
  EXPECT_EQ(erase(vx::kEraseNic, true), 0);
  EXPECT_EQ(erase(vx::kEraseIscsi, false), 0);
  Request v4 = command(25, 2, sizeof(vx::if_info_params));
  const uint32_t ask[2] = {0x102, vx::kIpTypeIpv4};
  std::memcpy(v4.payload(), ask, sizeof ask);
  ASSERT_EQ(send(node, v4), 0);
  EXPECT_EQ(u32(v4, offsetof(vx::if_info_params, address_count)), 0u);
  Request name = command(6, 6, 260);
  ASSERT_EQ(send(node, name), 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(name.payload() + 4)), "iqn.1990-07.com.quillmarchant:bl5202b0007");
}

TEST_F(SimNet, AZeroedDiscoveryRecordKeepsTheServers) {
  load_example("iscsi-lab.json");
  vx::discovery_params p{};
  p.flags = vx::kIsnsServerByUser;
  p.server_count = 1;
  p.servers[0].type = 1;
  const uint8_t server[4] = {10, 0, 0, 8};
  std::memcpy(p.servers[0].address, server, 4);
  p.servers[0].port = 3205;
  Request set = command(29, 2, sizeof p);
  std::memcpy(set.payload(), &p, sizeof p);
  ASSERT_EQ(send(iscsi_path(0), set), 0);
  ASSERT_EQ(set.status(), 0);
  Request zeroed = command(29, 2, sizeof p);
  zeroed.payload()[offsetof(vx::discovery_params, flags)] = vx::kIsnsEnabled;
  ASSERT_EQ(send(iscsi_path(0), zeroed), 0);
  Request get = command(28, 2, sizeof p);
  ASSERT_EQ(send(iscsi_path(0), get), 0);
  std::memcpy(&p, get.payload(), sizeof p);
  EXPECT_EQ(p.flags, vx::kIsnsEnabled | vx::kIsnsServerByUser);
  EXPECT_EQ(p.server_count, 1u);
  EXPECT_EQ(p.servers[0].address[3], 8);
}

TEST_F(SimNet, Generation3RefusesIpv6AndFactoryProfile) {
  load_example("iscsi-lab.json");
  Request gateway = command(22, 2, sizeof(vx::gateway_query));
  gateway.payload()[0] = vx::kIpTypeIpv6Gateway;
  ASSERT_EQ(send(iscsi_path(0), gateway), 0);
  EXPECT_EQ(gateway.status(), 1);
  Request profile = command(169, 1, 4);
  ASSERT_EQ(send(iscsi_path(0), profile), 0);
  EXPECT_EQ(profile.status(), 66);
  Request gen5 = command(169, 1, 4);
  ASSERT_EQ(send(iscsi_path(2), gen5), 0);
  EXPECT_EQ(gen5.status(), 0);
}

}  // namespace
