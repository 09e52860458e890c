// The firmware status map, row by row: result, and what it leaves in the last status.
#include <cstdint>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "access/fw_status.h"
#include "engine/hm.h"
#include "support/test_support.h"

namespace {

constexpr uint32_t kSentinelCode = 4242;
constexpr const char* kSentinelText = "left alone";

// The text each last-status code carries, written out apart from the messages table.
const std::map<uint32_t, std::string> kTexts = {
    {23, "TCP Connect Failure. Please make sure that the target is enabled and operational."},
    {24, "Initiator error. Please make sure your initiator is configured and enabled at the target."},
    {25, "Authentication failure. Please make sure your initiator is properly enabled for authentication at the "
        "target."},
    {26, "Authorization failure. Please make sure you are using the correct CHAP username and secret."},
    {27, "Session already opened."},
    {32, "Destination host not reachable. Please check cable and network connections and make sure IP address is "
        "valid. For more information, see Troubleshooting section in Vexalon documentation."},
    {33, "An error occurred changing the DHCP setting. Please check the configuration on the network and the DHCP "
        "server."},
    {35, "Failed to get session related info, because session is in closed state."},
    {37, "Invalid Secret Length. Please make sure that the secret is over 12 characters and less than 16 "
        "characters in length."},
    {38, "Initiator CHAP secret is same as target CHAP secret. Please set a different initiator CHAP secret from "
        "the target CHAP secret."},
    {41, "Active session(s) present. Please log out of all sessions before clearing configuration. For systems "
        "booting from an iSCSI target, configuration can only be cleared using the iSCSI Prism Utility."},
    {45, "The Vexalon iSCSI initiator TCP/IP settings are not configured. Please configure the TCP/IP settings "
        "before issuing this command."},
    {52, "The Link Status is Down. Please check the cable."},
    {117, "The target logout request did not complete because IOs were pending. Please quiesce IO to the device "
        "and re-attempt the logout."},
    {136, "Unable to flash the firmware image as there is a CRC mismatch."},
    {144, "The requested target does not exist at this address."},
    {149, "This Operation is not supported."},
    {153, "This LoopBack type is not supported on this Vexalon controller."},
    {154, "The given port is already in loopback state, only after exiting this loopback mode, a new loopback type "
        "can be applied."},
    {164, "Login Service not available. Please make sure that the target is operational."},
    {175, "The Target count exceeded the configured maximum limit."},
    {195, "IOCTL is not supported with the current privilege level."},
    {196, "IOCTL is not supported for the VF at all."},
};

// status, additional status, opcode, result, last-status code (0: left as it was). The last four
// rows: the low bytes of the four header time-outs, what an unanswered buffer reads as.
const uint32_t kRows[][5] = {
    {0, 44, 23, 0, 0}, {0, 0xFFFF, 255, 0, 0}, {67, 0, 1, 1, 0}, {255, 16, 29, 1, 0}, {1, 0, 5, 116, 0},
    {1, 16, 5, 1, 41}, {1, 17, 5, 1, 27}, {1, 18, 5, 35, 35}, {1, 19, 29, 32, 0}, {1, 19, 28, 32, 32},
    {1, 21, 5, 1, 23}, {1, 22, 5, 245, 0}, {1, 23, 5, 1, 52}, {1, 24, 17, 0, 33}, {1, 30, 5, 213, 0},
    {1, 43, 5, 1, 24}, {1, 44, 23, 25, 0}, {1, 44, 27, 25, 0}, {1, 44, 24, 1, 25}, {1, 45, 5, 1, 26},
    {1, 46, 5, 144, 144}, {1, 56, 5, 1, 164}, {1, 58, 5, 1, 38}, {1, 59, 5, 1, 37}, {1, 75, 57, 229, 0},
    {1, 75, 1, 213, 0}, {1, 75, 2, 327, 0}, {1, 77, 7, 1, 136}, {1, 79, 5, 151, 0}, {1, 80, 5, 5, 0},
    {1, 81, 5, 151, 0}, {1, 83, 19, 153, 153}, {1, 84, 19, 154, 154}, {1, 85, 5, 155, 0}, {1, 99, 5, 198, 0},
    {1, 100, 5, 243, 0}, {1, 104, 5, 253, 0}, {1, 105, 1, 213, 0}, {1, 105, 2, 5, 0}, {1, 161, 5, 5, 0},
    {1, 162, 5, 262, 0}, {1, 163, 5, 5, 0}, {1, 0xFFFF, 5, 5, 0}, {2, 44, 24, 1, 25}, {2, 162, 5, 262, 0},
    {3, 0, 57, 229, 0}, {3, 0, 58, 1, 0}, {4, 7, 63, 31, 0}, {5, 0, 5, 196, 196}, {5, 96, 5, 195, 195},
    {5, 97, 5, 5, 0}, {20, 0, 23, 1, 175}, {20, 0, 24, 1, 0}, {31, 0, 28, 0, 0}, {31, 0, 24, 0, 0},
    {31, 0, 27, 28, 0}, {44, 0, 7, 55, 0}, {46, 0, 5, 1, 45}, {46, 1, 5, 5, 0}, {49, 0, 24, 1, 117},
    {66, 103, 69, 236, 0}, {66, 102, 69, 149, 0}, {66, 103, 70, 149, 0}, {66, 0, 73, 149, 0}, {66, 0, 12, 149, 0},
    {66, 0, 8, 149, 0}, {66, 0, 9, 149, 149}, {6, 0, 5, 1, 0}, {30, 0, 5, 1, 0}, {65, 0, 5, 1, 0},
    {120, 0, 1, 1, 0}, {30, 0, 1, 1, 0}, {20, 0, 18, 1, 0}, {11, 0, 18, 1, 0},
};

TEST(FwStatus, EachRowGivesItsResultAndMessage) {
  for (const auto& row : kRows) {
    SCOPED_TRACE(testing::Message() << "status " << row[0] << " additional " << row[1] << " opcode " << row[2]);
    vx::varu_set_last_status(kSentinelCode, kSentinelText);
    EXPECT_EQ(vx::VaruStatusFromIOCTLResponse(row[0], row[1], static_cast<uint8_t>(row[2])), row[3]);
    const vxtest::LastStatus ls = vxtest::last_status();
    EXPECT_EQ(ls.code, row[4] != 0 ? row[4] : kSentinelCode);
    EXPECT_EQ(ls.text, row[4] != 0 ? kTexts.at(row[4]) : kSentinelText);
  }
}

// Status 2 is the same family as status 1, whatever the cause and the command.
TEST(FwStatus, StatusTwoBehavesAsStatusOne) {
  for (uint32_t additional = 0; additional <= 200; ++additional) {
    for (uint8_t opcode : {1, 8, 23, 24, 27, 28, 29, 57, 69}) {
      std::string seen[2];
      for (uint32_t status : {1u, 2u}) {
        vx::varu_set_last_status(kSentinelCode, kSentinelText);
        const uint32_t result = vx::VaruStatusFromIOCTLResponse(status, additional, opcode);
        seen[status - 1] = std::to_string(result) + " " + std::to_string(vxtest::last_status().code) + " " +
                           vxtest::last_status().text;
      }
      EXPECT_EQ(seen[0], seen[1]) << additional << "/" << int(opcode);
    }
  }
}

// A failure never reads as success; status bytes past the map's last family give 1.
TEST(FwStatus, EveryStatusByteIsClassified) {
  for (uint32_t status = 0; status <= 0x1FF; ++status) {
    const uint32_t result = vx::VaruStatusFromIOCTLResponse(status, 0xABCD, 77);
    EXPECT_TRUE(status == 0 ? result == 0 : status > 66 ? result == 1 : result != 0) << status << ": " << result;
  }
  for (uint32_t s : {0u, 1u, 295u, 0xFFFFFFFFu}) EXPECT_EQ(vx::VaruStatusFromHBAStatus(s), 1u);
}

}  // namespace
