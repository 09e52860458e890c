// Region images of the flash TLV editor: padding, the pad spliced out where it stands, images that
// claim more than they hold, and the boot and CHAP TLVs of a session.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "iscsi/tlv_editor.h"

namespace {

using namespace vx;

RegionImage image(const std::vector<std::vector<uint8_t>>& tlvs) {
  RegionImage out(kRegionHeaderSize, 0);
  out[0] = 0xAB;   // header words other than the length are kept as read
  for (const auto& t : tlvs) out.insert(out.end(), t.begin(), t.end());
  const uint32_t length = static_cast<uint32_t>(out.size() - kRegionHeaderSize);
  std::memcpy(&out[kRegionLengthOffset], &length, sizeof length);
  return out;
}
std::vector<uint8_t> tlv(uint8_t type, size_t value_length, uint8_t fill = 0x11) {
  std::vector<uint8_t> t(3 + value_length, fill);
  t[0] = type;
  t[1] = static_cast<uint8_t>(value_length);
  t[2] = static_cast<uint8_t>(value_length >> 8);
  return t;
}
uint32_t length_of(const RegionImage& i) {
  uint32_t l;
  std::memcpy(&l, &i[kRegionLengthOffset], sizeof l);
  return l;
}

session_info session(const char* name, uint16_t isid, bool ipv6, bool boot) {
  session_info s{};
  std::strcpy(s.target_name, name);
  s.isid[4] = static_cast<uint8_t>(isid >> 8);
  s.isid[5] = static_cast<uint8_t>(isid);
  s.flags = boot ? kSessionFlagBoot : 0;
  s.connection.destination.type = ipv6 ? kAddressTypeIpv6 : kAddressTypeIpv4;
  s.connection.destination.address[0] = 10;
  s.connection.destination.address[15] = 9;
  s.connection.destination_port = 3260;
  return s;
}

TEST(TlvEditor, PadBringsTheAreaToAMultipleOfFour) {
  const struct {
    size_t value;           // one TLV of 3 + value bytes
    uint32_t padded_length;
  } rows[] = {{7, 16}, {6, 12}, {8, 16}, {9, 12}};   // L = 10, 9, 11, 12
  for (const auto& r : rows) {
    std::optional<RegionImage> padded = VARU_add_pad_tlv(image({tlv(1, r.value)}));
    ASSERT_TRUE(padded) << r.value;
    EXPECT_EQ(length_of(*padded), r.padded_length) << "L = " << 3 + r.value;
    EXPECT_EQ(padded->size(), kRegionHeaderSize + r.padded_length);
    std::optional<RegionImage> unpadded = VARU_remove_pad_tlv(*padded);
    ASSERT_TRUE(unpadded);
    EXPECT_EQ(*unpadded, image({tlv(1, r.value)}));
  }
  // A pad in the middle is taken out where it stands, the TLVs after it kept.
  EXPECT_EQ(*VARU_remove_pad_tlv(image({tlv(1, 2), tlv(kPadTlv, 2, 0), tlv(5, 4)})), image({tlv(1, 2), tlv(5, 4)}));
}

TEST(TlvEditor, ImagesThatClaimMoreThanTheyHoldAreRefused) {
  RegionImage stated = image({tlv(1, 4)});
  stated[kRegionLengthOffset] = 40;                      // length past the bytes read
  RegionImage runs_past = image({tlv(1, 4)});
  runs_past[kRegionHeaderSize + 1] = 9;                  // a TLV past the area
  RegionImage torn = image({tlv(1, 4)});
  torn[kRegionLengthOffset] = 8;                          // the area ends inside a TLV header
  const RegionImage short_header(10, 0);
  for (const RegionImage* bad : std::vector<const RegionImage*>{&stated, &runs_past, &torn, &short_header}) {
    EXPECT_FALSE(region_image_valid(*bad));
    EXPECT_FALSE(VARU_remove_pad_tlv(*bad));
    EXPECT_FALSE(VARU_add_pad_tlv(*bad));
    EXPECT_FALSE(VARU_delete_initiator_chap_tlv(*bad));
  }
  RegionImage trailing = image({tlv(1, 4)});
  trailing.resize(trailing.size() + 5, 0xEE);
  EXPECT_EQ(checked_region(trailing)->size(), trailing.size() - 5) << "bytes past the area are not kept";
}

TEST(TlvEditor, BootTlvsOfOneSessionAreFoundByNameIsidAndAddress) {
  for (bool ipv6 : {false, true}) {
    SCOPED_TRACE(ipv6 ? "IPv6" : "IPv4");
    const session_info own = session("iqn.2026-01.com.example:boot", 0x002a, ipv6, true);
    const std::vector<uint8_t> boot = *VARU_create_TLV(own);
    const size_t size = 29 + (ipv6 ? 16 : 4) + std::strlen(own.target_name);
    ASSERT_EQ(boot.size(), size + 3);
    EXPECT_EQ(boot[1] | (boot[2] << 8), static_cast<int>(size));
    EXPECT_EQ(std::string(boot.end() - 3, boot.end()), std::string(3, '\0'));
    const RegionImage with = image({tlv(1, 1), boot, tlv(7, 2)});
    EXPECT_EQ(*VARU_remove_boot_tlv(with, own, 2), image({tlv(1, 1), tlv(7, 2)}));
    const session_info other_isid = session("iqn.2026-01.com.example:boot", 0x002b, ipv6, true);
    const session_info not_boot = session("iqn.2026-01.com.example:boot", 0x002a, ipv6, false);
    EXPECT_EQ(*VARU_remove_boot_tlv(with, other_isid, 2), with);
    EXPECT_EQ(*VARU_remove_boot_tlv(with, not_boot, 2), with);
    EXPECT_EQ(*VARU_remove_boot_tlv(with, not_boot, 1), image({tlv(1, 1), tlv(7, 2)})) << "mode 1: every boot TLV";
  }
}

TEST(TlvEditor, ChapTlvsCarryNameAndSecretByTheirLengths) {
  session_info s = session("iqn.t", 1, false, false);
  login_options o{};
  std::strcpy(o.initiator_chap_name, "iuser");
  std::memcpy(o.initiator_secret, "0123456789abcdefXX", 16);
  o.initiator_secret_length = 40;   // more than the field: the 16 bytes it holds
  std::memcpy(s.connection.options, reinterpret_cast<uint8_t*>(&o) + kSessionOptionsSize, kConnectionOptionsSize);
  const RegionImage edited = *VARU_add_initiator_chap_tlv(image({tlv(kChapSecretTlv, 4), tlv(1, 1)}), s);
  const RegionImage cleaned = *VARU_delete_initiator_chap_tlv(edited);
  EXPECT_EQ(cleaned, image({tlv(1, 1)}));
  std::vector<uint8_t> name = {kChapNameTlv, 6, 0, 3, 'i', 'u', 's', 'e', 'r'};
  std::vector<uint8_t> secret(20, 3);
  secret[0] = kChapSecretTlv;
  secret[1] = 17;
  secret[2] = 0;
  std::memcpy(&secret[4], o.initiator_secret, 16);
  EXPECT_EQ(edited, image({tlv(kChapSecretTlv, 4), tlv(1, 1), name, secret}));

  std::memset(o.target_chap_name, 'n', sizeof o.target_chap_name);   // a 256-byte name has no room in a TLV
  o.chap = 1;
  std::memcpy(s.connection.options, reinterpret_cast<uint8_t*>(&o) + kSessionOptionsSize, kConnectionOptionsSize);
  EXPECT_FALSE(VARU_create_TLV(s));
}

}  // namespace
