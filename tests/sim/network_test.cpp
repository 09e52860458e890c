// The configuration's network of remote targets: its defaults, what it refuses, and the login
// checks the simulated firmware makes against it.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "iscsi/records.h"
#include "sim/config.h"
#include "sim/iscsi_state.h"

namespace {

using vx::sim::Config;

Config parsed(const std::string& network, std::string* error) {
  Config config;
  if (!vx::sim::parse_config("{\"network\": " + network + "}", &config, error)) config = Config{};
  return config;
}

TEST(SimNetwork, DefaultsAndRefusals) {
  std::string error;
  Config c = parsed(R"({"targets": [{"name": "iqn.a", "alias": "a", "portals": [{"address": "fd00::1"}]}],
                        "discovery_portals": [{"address": "10.0.0.9"}], "isns_servers": [{"address": "10.0.0.8"}]})",
                    &error);
  ASSERT_EQ(c.network.targets.size(), 1u) << error;
  const vx::sim::RemoteTarget& t = c.network.targets[0];
  EXPECT_EQ(t.portals[0].port, 3260);
  EXPECT_EQ(t.portals[0].group_tag, 1);
  EXPECT_EQ(t.portals[0].address.type, 16);
  EXPECT_EQ(t.digest, vx::sim::Digest::kEither);
  ASSERT_EQ(t.luns.size(), 1u);
  EXPECT_EQ(t.luns[0].blocks, 2097152u);
  EXPECT_EQ(t.luns[0].block_size, 512u);
  EXPECT_EQ(t.luns[0].serial, "a-0");
  EXPECT_EQ(c.network.discovery_portals[0].targets, std::vector<std::string>{"iqn.a"});
  EXPECT_EQ(c.network.isns_servers[0].port, 3205);

  const struct {
    const char* network;
    const char* reason;
  } rows[] = {
      {R"({"targets": [{"name": "iqn.a", "portals": []}]})", "1 to 16 portals"},
      {R"({"targets": [{"name": "iqn.a", "portals": [{"address": "10.0.0.300"}]}]})", "bad address"},
      {R"({"targets": [{"name": "iqn.a", "portals": [{"address": "1.2.3.4"}], "digest": "md5"}]})", "digest"},
      {R"({"targets": [{"name": "iqn.a", "portals": [{"address": "1.2.3.4"}], "chap": {"name": "u"}}]})", "secret"},
      {R"({"targets": [{"name": "iqn.a", "portals": [{"address": "1.2.3.4"}], "luns": [{"block_size": 520}]}]})",
       "block_size"},
      {R"({"targets": [{"name": "iqn.a", "portals": [{"address": "1.2.3.4"}], "luns": [{"lun": 1}, {"lun": 1}]}]})",
       "used twice"},
      {R"({"targets": [{"name": "iqn.a", "portals": [{"address": "1.2.3.4"}]},
                       {"name": "IQN.A", "portals": [{"address": "1.2.3.5"}]}]})", "two targets"},
      {R"({"discovery_portals": [{"address": "1.2.3.4", "targets": ["iqn.none"]}]})", "no target is named"},
  };
  for (const auto& r : rows) {
    parsed(r.network, &error);
    EXPECT_NE(error.find(r.reason), std::string::npos) << r.network << " -> " << error;
  }
}

TEST(SimNetwork, LoginVerdicts) {
  std::string error;
  const Config c = parsed(R"({"targets": [
      {"name": "iqn.chap", "portals": [{"address": "10.0.0.6"}], "chap": {"name": "tuser", "secret": "tsecret12345"},
       "mutual_chap": {"name": "iuser", "secret": "isecret12345"}},
      {"name": "iqn.crc", "portals": [{"address": "10.0.0.7", "port": 3261}], "digest": "crc32c"},
      {"name": "iqn.plain", "portals": [{"address": "10.0.0.8"}], "digest": "none"}]})",
                          &error);
  ASSERT_EQ(c.network.targets.size(), 3u) << error;
  auto options = [](bool chap, const char* name, const char* secret, bool mutual, bool digest) {
    vx::login_options o{};
    o.chap = chap ? 1 : 0;
    o.mutual = mutual ? 1 : 0;
    std::strcpy(o.target_chap_name, name);
    o.target_secret_length = static_cast<uint16_t>(std::strlen(secret));
    std::memcpy(o.target_secret, secret, o.target_secret_length);
    std::strcpy(o.initiator_chap_name, "iuser");
    o.initiator_secret_length = 12;
    std::memcpy(o.initiator_secret, mutual ? "isecret12345" : "wrongsecret!", 12);
    o.header_digest = digest ? 1 : 0;
    return o;
  };
  using V = vx::sim::LoginVerdict;
  const struct {
    const char* target;
    const char* address;
    uint16_t port;
    vx::login_options o;
    V want;
  } rows[] = {
      {"iqn.chap", "10.0.0.6", 3260, options(true, "tuser", "tsecret12345", false, false), V::kAccepted},
      {"IQN.CHAP", "10.0.0.6", 3260, options(true, "tuser", "tsecret12345", true, false), V::kAccepted},
      {"iqn.chap", "10.0.0.6", 3260, options(false, "", "", false, false), V::kAuthentication},
      {"iqn.chap", "10.0.0.6", 3260, options(true, "tuser", "tsecret1234", false, false), V::kAuthentication},
      {"iqn.crc", "10.0.0.7", 3261, options(false, "", "", false, false), V::kDigest},
      {"iqn.crc", "10.0.0.7", 3261, options(false, "", "", false, true), V::kAccepted},
      {"iqn.plain", "10.0.0.8", 3260, options(false, "", "", false, true), V::kDigest},
      {"iqn.crc", "10.0.0.7", 3260, options(false, "", "", false, true), V::kUnreachable},
      {"iqn.plain", "10.0.0.7", 3261, options(false, "", "", false, false), V::kUnreachable},
  };
  for (const auto& r : rows) {
    vx::sim::NetAddress a;
    ASSERT_TRUE(vx::sim::parse_net_address(r.address, &a));
    EXPECT_EQ(vx::sim::login_verdict(c.network, r.target, a, r.port, r.o), r.want) << r.target << " " << r.address;
  }
  vx::login_options wrong_mutual = options(true, "tuser", "tsecret12345", false, false);
  wrong_mutual.mutual = 1;
  vx::sim::NetAddress a;
  vx::sim::parse_net_address("10.0.0.6", &a);
  EXPECT_EQ(vx::sim::login_verdict(c.network, "iqn.chap", a, 3260, wrong_mutual), V::kAuthentication);
}

}  // namespace
