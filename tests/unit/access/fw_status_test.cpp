// The firmware status map, row by row: result, and what it leaves in the last status.
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "access/fw_status.h"
#include "engine/hm.h"
#include "engine/messages.h"
#include "support/test_support.h"

namespace {

constexpr uint32_t kKept = 0xFFFFFFFFu;   // the last status must be left as it was
constexpr uint32_t kSentinelCode = 4242;
constexpr const char* kSentinelText = "left alone";

struct Row {
  uint32_t status;
  uint32_t additional;
  uint8_t opcode;
  uint32_t result;
  uint32_t code;   // kKept or the last-status code
  const char* text;
};

const Row kRows[] = {
    {0, 44, 23, 0, kKept, nullptr},
    {0, 0xFFFF, 255, 0, kKept, nullptr},
    {67, 0, 1, 1, kKept, nullptr},
    {255, 16, 29, 1, kKept, nullptr},
    {1, 0, 5, 116, kKept, nullptr},
    {1, 16, 5, 1, 41,
        "Active session(s) present. Please log out of all sessions before clearing configuration. For systems "
        "booting from an iSCSI target, configuration can only be cleared using the iSCSI Prism Utility."},
    {1, 17, 5, 1, 27, "Session already opened."},
    {1, 18, 5, 35, 35, "Failed to get session related info, because session is in closed state."},
    {1, 19, 29, 32, kKept, nullptr},
    {1, 19, 28, 32, 32,
        "Destination host not reachable. Please check cable and network connections and make sure IP address is "
        "valid. For more information, see Troubleshooting section in Vexalon documentation."},
    {1, 21, 5, 1, 23, "TCP Connect Failure. Please make sure that the target is enabled and operational."},
    {1, 22, 5, 245, kKept, nullptr},
    {1, 23, 5, 1, 52, "The Link Status is Down. Please check the cable."},
    {1, 24, 17, 0, 33,
        "An error occurred changing the DHCP setting. Please check the configuration on the network and the DHCP "
        "server."},
    {1, 30, 5, 213, kKept, nullptr},
    {1, 43, 5, 1, 24, "Initiator error. Please make sure your initiator is configured and enabled at the target."},
    {1, 44, 23, 25, kKept, nullptr},
    {1, 44, 27, 25, kKept, nullptr},
    {1, 44, 24, 1, 25,
        "Authentication failure. Please make sure your initiator is properly enabled for authentication at the "
        "target."},
    {1, 45, 5, 1, 26, "Authorization failure. Please make sure you are using the correct CHAP username and secret."},
    {1, 46, 5, 144, 144, "The requested target does not exist at this address."},
    {1, 56, 5, 1, 164, "Login Service not available. Please make sure that the target is operational."},
    {1, 58, 5, 1, 38,
        "Initiator CHAP secret is same as target CHAP secret. Please set a different initiator CHAP secret from the "
        "target CHAP secret."},
    {1, 59, 5, 1, 37,
        "Invalid Secret Length. Please make sure that the secret is over 12 characters and less than 16 characters "
        "in length."},
    {1, 75, 57, 229, kKept, nullptr},
    {1, 75, 1, 213, kKept, nullptr},
    {1, 75, 2, 327, kKept, nullptr},
    {1, 77, 7, 1, 136, "Unable to flash the firmware image as there is a CRC mismatch."},
    {1, 79, 5, 151, kKept, nullptr},
    {1, 80, 5, 5, kKept, nullptr},
    {1, 81, 5, 151, kKept, nullptr},
    {1, 83, 19, 153, 153, "This LoopBack type is not supported on this Vexalon controller."},
    {1, 84, 19, 154, 154,
        "The given port is already in loopback state, only after exiting this loopback mode, a new loopback type "
        "can be applied."},
    {1, 85, 5, 155, kKept, nullptr},
    {1, 99, 5, 198, kKept, nullptr},
    {1, 100, 5, 243, kKept, nullptr},
    {1, 104, 5, 253, kKept, nullptr},
    {1, 105, 1, 213, kKept, nullptr},
    {1, 105, 2, 5, kKept, nullptr},
    {1, 161, 5, 5, kKept, nullptr},
    {1, 162, 5, 262, kKept, nullptr},
    {1, 163, 5, 5, kKept, nullptr},
    {1, 0xFFFF, 5, 5, kKept, nullptr},
    {2, 44, 24, 1, 25,
        "Authentication failure. Please make sure your initiator is properly enabled for authentication at the "
        "target."},
    {2, 162, 5, 262, kKept, nullptr},
    {3, 0, 57, 229, kKept, nullptr},
    {3, 0, 58, 1, kKept, nullptr},
    {4, 7, 63, 31, kKept, nullptr},
    {5, 0, 5, 196, 196, "IOCTL is not supported for the VF at all."},
    {5, 96, 5, 195, 195, "IOCTL is not supported with the current privilege level."},
    {5, 97, 5, 5, kKept, nullptr},
    {20, 0, 23, 1, 175, "The Target count exceeded the configured maximum limit."},
    {20, 0, 24, 1, kKept, nullptr},
    {31, 0, 28, 0, kKept, nullptr},
    {31, 0, 24, 0, kKept, nullptr},
    {31, 0, 27, 28, kKept, nullptr},
    {44, 0, 7, 55, kKept, nullptr},
    {46, 0, 5, 1, 45,
        "The Vexalon iSCSI initiator TCP/IP settings are not configured. Please configure the TCP/IP settings "
        "before issuing this command."},
    {46, 1, 5, 5, kKept, nullptr},
    {49, 0, 24, 1, 117,
        "The target logout request did not complete because IOs were pending. Please quiesce IO to the device and "
        "re-attempt the logout."},
    {66, 103, 69, 236, kKept, nullptr},
    {66, 102, 69, 149, kKept, nullptr},
    {66, 103, 70, 149, kKept, nullptr},
    {66, 0, 73, 149, kKept, nullptr},
    {66, 0, 12, 149, kKept, nullptr},
    {66, 0, 8, 149, kKept, nullptr},
    {66, 0, 9, 149, 149, "This Operation is not supported."},
    {6, 0, 5, 1, kKept, nullptr},
    {30, 0, 5, 1, kKept, nullptr},
    {65, 0, 5, 1, kKept, nullptr},
    // The low bytes of the four header time-outs: what an unanswered buffer reads as.
    {120, 0, 1, 1, kKept, nullptr},
    {30, 0, 1, 1, kKept, nullptr},
    {20, 0, 18, 1, kKept, nullptr},
    {11, 0, 18, 1, kKept, nullptr},
};

TEST(FwStatus, EachRowGivesItsResultAndMessage) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(testing::Message() << "status " << row.status << " additional " << row.additional << " opcode "
                                    << int(row.opcode));
    vx::varu_set_last_status(kSentinelCode, kSentinelText);
    EXPECT_EQ(vx::VaruStatusFromIOCTLResponse(row.status, row.additional, row.opcode), row.result);
    vxtest::LastStatus ls = vxtest::last_status();
    if (row.code == kKept) {
      EXPECT_EQ(ls.code, kSentinelCode);
      EXPECT_EQ(ls.text, kSentinelText);
    } else {
      EXPECT_EQ(ls.code, row.code);
      EXPECT_EQ(ls.text, row.text);
    }
  }
}

// Status 2 is the same family as status 1, whatever the cause and the command.
TEST(FwStatus, StatusTwoBehavesAsStatusOne) {
  for (uint32_t additional = 0; additional <= 200; ++additional) {
    for (uint8_t opcode : {1, 8, 23, 24, 27, 28, 29, 57, 69}) {
      vx::varu_set_last_status(kSentinelCode, kSentinelText);
      uint32_t one = vx::VaruStatusFromIOCTLResponse(1, additional, opcode);
      vxtest::LastStatus after_one = vxtest::last_status();
      vx::varu_set_last_status(kSentinelCode, kSentinelText);
      uint32_t two = vx::VaruStatusFromIOCTLResponse(2, additional, opcode);
      vxtest::LastStatus after_two = vxtest::last_status();
      EXPECT_EQ(one, two) << additional << "/" << int(opcode);
      EXPECT_EQ(after_one.code, after_two.code);
      EXPECT_EQ(after_one.text, after_two.text);
    }
  }
}

TEST(FwStatus, EveryStatusByteIsClassified) {
  for (uint32_t status = 0; status <= 0x1FF; ++status) {
    uint32_t result = vx::VaruStatusFromIOCTLResponse(status, 0xABCD, 77);
    if (status == 0) {
      EXPECT_EQ(result, 0u);
    } else {
      EXPECT_NE(result, 0u) << "a failure must not read as success: " << status;
    }
    if (status > 66) {
      EXPECT_EQ(result, 1u) << status;
    }
  }
}

// Every rule with a message sets a code and a text; rules for the same inputs are reachable in
// order (no row hidden behind an earlier catch-all of the same status range).
TEST(FwStatus, RuleTableIsWellFormed) {
  size_t count = 0;
  const vx::FwStatusRule* rules = vx::fw_status_rules(&count);
  ASSERT_GT(count, 0u);
  for (size_t i = 0; i < count; ++i) {
    const vx::FwStatusRule& r = rules[i];
    EXPECT_EQ(r.message == nullptr, r.message_code == 0) << i;
    EXPECT_LE(r.status_min, r.status_max) << i;
    EXPECT_LE(r.opcode_count, 5u) << i;
    for (size_t j = 0; j < i; ++j) {
      const vx::FwStatusRule& e = rules[j];
      bool earlier_covers = e.status_min <= r.status_min && e.status_max >= r.status_max &&
                            (e.additional == vx::kAnyAdditional || e.additional == r.additional) &&
                            e.opcode_count == 0;
      EXPECT_FALSE(earlier_covers) << "rule " << i << " hidden behind rule " << j;
    }
  }
}

TEST(FwStatus, TransportFailureIsAlwaysOne) {
  for (uint32_t s : {0u, 1u, 295u, 0xFFFFFFFFu}) EXPECT_EQ(vx::VaruStatusFromHBAStatus(s), 1u);
}

}  // namespace
