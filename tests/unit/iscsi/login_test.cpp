// The pieces of a login that need no adapter: CHAP secrets as the block carries them, the block
// built from a level's values, the tries a policy allows, the secret rules of ConfigureCHAP, and the
// readers of the firmware's target lists on short and lying replies.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "iscsi/login.h"
#include "iscsi/login_block.h"
#include "iscsi/login_options.h"
#include "iscsi/records.h"
#include "iscsi/target_lists.h"
#include "support/test_support.h"

namespace {

using namespace vx;

TEST(LoginBlock, SecretsAreEncodedWithinTheirField) {
  const struct {
    const char* text;
    uint16_t length;
    const char* bytes;
  } rows[] = {
      {"plainsecret1", 12, "plainsecret1"},
      {"abcdefghijklmnopqrst", 16, "abcdefghijklmnop"},          // cut to the field, the length says so
      {"0x0102ff", 3, "\x01\x02\xff"},
      {"0X00112233445566778899aabbccddeeff0011", 16, "\x00\x11\x22\x33\x44\x55\x66\x77\x88\x99\xaa\xbb\xcc\xdd\xee\xff"},
      {"0x012", 0, ""},                                        // malformed hex: no secret at all
      {"0x01zz", 0, ""},
      {"0x", 0, ""},
      {"", 0, ""},
  };
  for (const auto& r : rows) {
    uint8_t out[kChapSecretSize];
    std::memset(out, 0xAA, sizeof out);
    EXPECT_EQ(encode_chap_secret(r.text, out), r.length) << r.text;
    EXPECT_EQ(std::memcmp(out, r.bytes, r.length), 0) << r.text;
    for (size_t i = r.length; i < kChapSecretSize; ++i) EXPECT_EQ(out[i], 0u) << r.text << " byte " << i;
  }
}

TEST(LoginBlock, ChoicesPickWhatTheValuesSay) {
  LoginOptionTexts o;
  const char* values[kOptionCount] = {"No", "Yes", "CRC32C", "None", "Mutual CHAP", "iname", "isecret12345",
                                      "tname", "0x00112233445566778899aabb", "Preferred", "Preferred", "Prohibited"};
  for (size_t i = 0; i < kOptionCount; ++i) o.values[i] = values[i];
  login_options off = *get_default_login_options();
  apply_chap(o, &off, 0);
  apply_header_digest(o, &off, 0);
  EXPECT_EQ(off.chap, 0u);
  EXPECT_EQ(off.target_secret[0], ' ') << "choice 0 keeps the default CHAP fields";
  EXPECT_EQ(off.flags, 0x0E) << "InitialR2T off, ImmediateData on, whatever the choice";
  EXPECT_EQ(off.header_digest, 0u);
  login_options on = *get_default_login_options();
  apply_chap(o, &on, 1);
  apply_header_digest(o, &on, 1);
  apply_data_digest(o, &on, 1);
  EXPECT_EQ(on.chap, 1u);
  EXPECT_EQ(on.mutual, 1u);
  EXPECT_STREQ(on.initiator_chap_name, "iname");
  EXPECT_EQ(on.initiator_chap_name_length, 5u);
  EXPECT_EQ(on.target_secret_length, 12u);
  EXPECT_EQ(on.header_digest, 1u);
  EXPECT_EQ(on.data_digest, 0u) << "on, but the value is None";
}

TEST(LoginTries, PoliciesGiveTheirChoicesInOrder) {
  const struct {
    const char* policy;
    bool allowed;
    std::vector<int> chap;
    std::vector<int> digest;
  } rows[] = {
      {"Preferred", true, {1, 0}, {1, 0}}, {"discouraged", true, {0, 1}, {0}}, {"Prohibited", true, {0}, {0}},
      {"REQUIRED", true, {1}, {0}},        {"Sometimes", false, {}, {0}},
  };
  for (const auto& r : rows) {
    TryList chap{};
    ASSERT_EQ(chap_tries(r.policy, &chap), r.allowed) << r.policy;
    if (r.allowed) {
      EXPECT_EQ(std::vector<int>(chap.choices, chap.choices + chap.count), r.chap) << r.policy;
    }
    const TryList digest = digest_tries(r.policy);
    EXPECT_EQ(std::vector<int>(digest.choices, digest.choices + digest.count), r.digest) << r.policy;
  }
}

TEST(ChapSecrets, CheckedForDigitsThenOddCountThenLength) {
  const struct {
    const char* secret;
    uint32_t result;
    uint32_t code;
  } rows[] = {
      {"0x0123456789abcdef01234567", 0, 0}, {"0x0123456789abcdef0123456", 1, 6}, {"0x0123456789abcdef012345", 1, 8},
      {"0xg1", 1, 6},                       {"0x123", 1, 6},                     {"twelve-chars", 0, 0},
      {"sixteen-chars-16", 0, 0},           {"seventeen-chars17", 1, 8},         {"eleven-char", 1, 8},
  };
  for (const auto& r : rows) {
    vx::varu_set_last_status(0, "");
    EXPECT_EQ(check_chap_secret(r.secret, "TargetSecret"), r.result) << r.secret;
    EXPECT_EQ(vxtest::last_status().code, r.code) << r.secret;
  }
}

// A target list as the firmware writes it.
std::vector<uint8_t> target_list(const std::vector<std::pair<std::string, uint32_t>>& entries) {
  std::vector<uint8_t> out(kTargetListHeader, 0);
  const uint32_t count = static_cast<uint32_t>(entries.size());
  std::memcpy(out.data(), &count, 4);
  for (const auto& [name, portals] : entries) {
    std::vector<uint8_t> e(kTargetEntryHeader + sizeof(target_list_address) * (portals == 0 ? 1 : portals), 0);
    std::memcpy(e.data(), &portals, 4);
    std::memcpy(e.data() + 4, name.data(), name.size());
    for (uint32_t p = 0; p < portals; ++p) {
      target_list_address a{};
      a.type = kAddressTypeIpv4;
      a.address[0] = 10;
      a.address[3] = static_cast<uint8_t>(p + 1);
      a.port = 3260 + p;
      a.group_tag = p + 7;
      std::memcpy(e.data() + kTargetEntryHeader + p * sizeof a, &a, sizeof a);
    }
    out.insert(out.end(), e.begin(), e.end());
  }
  return out;
}

TEST(TargetLists, EntriesAreReadOnlyWhereTheyArrivedWhole) {
  std::vector<uint8_t> list = target_list({{"iqn.a", 2}, {"iqn.b", 0}, {"iqn.c", 1}});
  uint32_t claimed = 0;
  std::vector<ListedTarget> got = read_target_list(list.data(), list.size(), SIZE_MAX, &claimed);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].portals[1].address, "10.0.0.2");
  EXPECT_EQ(got[0].portals[1].port, "3261");
  EXPECT_EQ(got[0].portals[1].group_tag, "8");
  EXPECT_TRUE(got[1].portals.empty());
  EXPECT_EQ(read_target_list(list.data(), list.size(), 2, &claimed).size(), 2u) << "the limit holds";
  EXPECT_EQ(read_target_list(list.data(), list.size() - 1, SIZE_MAX, &claimed).size(), 2u) << "a cut entry is left";

  std::vector<uint8_t> lying = target_list({{"iqn.a", 1}});
  const uint32_t many = 0xFFFFFFFFu;
  std::memcpy(lying.data(), &many, 4);                      // more entries than arrived
  std::memcpy(lying.data() + 4, &many, 4);                  // more addresses than any buffer holds
  std::memset(lying.data() + 8, 'n', kIscsiNameSize);       // a name without its terminator
  EXPECT_EQ(read_target_list(lying.data(), lying.size(), SIZE_MAX, &claimed).size(), 0u);
  EXPECT_EQ(claimed, many);
  lying = target_list({{"iqn.a", 1}});
  std::memset(lying.data() + 8, 'n', kIscsiNameSize);
  got = read_target_list(lying.data(), lying.size(), SIZE_MAX, &claimed);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].name, "") << "a name that lost its end is no name";
}

TEST(TargetLists, ARecordStopsAtItsEnd) {
  std::vector<uint8_t> rec(kTargetRecordGroupStride + kTargetRecordPortalPort + 2, 0);
  std::memcpy(rec.data() + kTargetRecordName, "iqn.r", 5);
  const uint32_t groups = 2;
  std::memcpy(rec.data() + kTargetRecordGroupCount, &groups, 4);
  for (size_t g = 0; g < groups; ++g) {
    const size_t base = kTargetRecordGroupStride * g;
    const uint16_t tag = static_cast<uint16_t>(g + 1);
    const uint16_t portals = 1;
    const uint16_t port = static_cast<uint16_t>(3260 + g);
    std::memcpy(rec.data() + kTargetRecordGroupTag + base, &tag, 2);
    std::memcpy(rec.data() + kTargetRecordPortalCount + base, &portals, 2);
    rec[base + kTargetRecordPortalType] = kAddressTypeIpv4;
    rec[base + kTargetRecordPortalAddress] = 10;
    std::memcpy(rec.data() + base + kTargetRecordPortalPort, &port, 2);
  }
  ListedTarget t;
  ASSERT_TRUE(read_target_record(rec.data(), rec.size(), &t));
  EXPECT_EQ(t.name, "iqn.r");
  ASSERT_EQ(t.portals.size(), 2u);
  EXPECT_EQ(t.portals[1].port, "3261");
  EXPECT_EQ(t.portals[1].group_tag, "2");
  ASSERT_TRUE(read_target_record(rec.data(), rec.size() - 1, &t));
  EXPECT_EQ(t.portals.size(), 1u) << "the second portal did not arrive whole";
  EXPECT_FALSE(read_target_record(rec.data(), kTargetRecordName + kIscsiNameSize - 1, &t));
}

}  // namespace
