// BaseT10G: the registers and counters of a port's 10GBASE-T PHY, its self test, cable test (TDR)
// and counter reset. A static sub-group of every port instance, whatever the PHY; the port table
// splices this fragment in after ChannelManagement.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/builder.h"
#include "schema/handlers.h"
#include "schema/names_port.h"

namespace vx {

constexpr const char* kPhyPairs = "PairA,PairB,PairC,PairD";

inline constexpr hm_action_descriptor ROOT_Vexalon_PortDiscoveryAndConfiguration_BaseT10G_SelfTest_action = {
    do_SelfTest, 0, 3,
    {param(kRequired, "TestType", "This parameter specifies the self test to run: Noise, NonLinear or CrossTalk.",
           one_of("Noise,NonLinear,CrossTalk", 0, 10)),
     param(kRequired, "SourceCable",
           "This parameter specifies the pair that is the source of the test: PairA (0) to PairD (3).",
           one_of(kPhyPairs, 0, 6)),
     param(kOptional, "TargetCable",
           "This parameter specifies the target pair of the test: PairA (0) to PairD (3); needed only for "
           "CrossTalk.",
           one_of(kPhyPairs, 0, 6))}};
inline constexpr hm_action_descriptor ROOT_Vexalon_PortDiscoveryAndConfiguration_BaseT10G_RunTDR_action = {
    do_RunTDR, 0, 0, {}};
inline constexpr hm_action_descriptor ROOT_Vexalon_PortDiscoveryAndConfiguration_BaseT10G_ClearCounters_action = {
    do_ClearCounters, 0, 0, {}};

// The sentence that closes (almost) every PHY register description.
#define VX_TV20460 " For TV20460 this property will be enumerated as N/A."
// The counter descriptions: an index, a separator (a TAB in five of them) and the register.
#define VX_AT_REGISTER(n, sep, reg) "This property specifies at following register " n sep reg "." VX_TV20460
#define VX_PAIR_SNR(pair, reg)                                                                                    \
  "This property specifies the SNR of pair " pair " (register " reg ", bits 31:0) in offset two's complement, " \
  "where bit 16 is the inverted sign bit; 0x8000 means 0." VX_TV20460
#define VX_PAIR_RESULT(pair)                                                                                       \
  "This property specifies the TDR result of pair " pair ": 0 pair OK, length estimated; 1 pair OK, no length "   \
  "estimation; 2 pair open, length or distance to fault estimated; 3 pair shorted, distance to fault estimated; " \
  "4 pair high mismatch (above 115 ohm), distance to fault estimated; 5 pair low mismatch (85 ohm threshold), "   \
  "distance to fault estimated; 6 to 9 the pair connected to pair A, B, C or D, length to fault not applicable."

constexpr size_t kBaseT10GRowCount = 36;

// The group at row `first` (under the port instance), its 32 properties and 3 actions.
constexpr RowTable<kBaseT10GRowCount> baset10g_rows(int16_t first) {
  const int16_t g = first;
  return rows(
      group(kInstance, port::kGroupBaseT10G, "This group describes when BaseT10G enabled on the adapter."),
      property(g, "10GBaseTDiagStatus",
               "This property specifies the 10GBASE-T diagnostic status as a bit map of PHY register bits: 31:24 "
               "register 30.1 bits 15:9, the estimated link length in meters calculated at power-up; 21 register "
               "30.29 bit 1, link speed (0 = 1000BASE-T/10GBASE-T, 1 = 100BASE-TX); 20 register 30.29 bit 0, link "
               "speed (0 = 100BASE-TX/10GBASE-T, 1 = 1000BASE-TX); 19 register 30.1 bit 4, link speed (0 = "
               "10GBASE-T, 1 = 1000BASE-T/100BASE-TX); 18 register 7.32 bit 12, 10GBASE-T advertisement; 17 "
               "register 7.23 bit 14, 1000BASE-T advertisement; 16 register 7.16 bit 8, 100BASE-T advertisement "
               "(1 enabled, 0 disabled); 11, 10 and 9 register 7.32 bits 15, 14 and 13, master/slave "
               "configuration; 6 register 4.1 bit 2, the PHY's XAUI interface link up; 5 register 7.1 bit 5, "
               "auto-negotiation completed; 4 register 7.1 bit 4, remote fault detected; 3 register 7.1 bit 3, PHY "
               "able to auto-negotiate; 2 register 7.1 bit 2, link up; 0 register 7.1 bit 0, link partner able to "
               "auto-negotiate." VX_TV20460,
               kReadOnly, handle_10GbaseT_properties, length(0, 32), "0"),
      property(g, "Temperature",
               "This property specifies the current temperature of the PHY in degrees Celsius (register 30.44 bits "
               "15:0)." VX_TV20460,
               kReadOnly, handle_10GbaseT_properties, length(0, 120), "0"),
      property(g, "PHYLinkDownReason",
               "This property specifies why the 10GBASE-T PHY link is down." VX_TV20460
               " 0: None, 1: PHY link down due to DCC, 2: PHY link down due to FIP, 3: PHY link down due to VNIC, "
               "4: PHY link down due to PAUSE FLOOD, 5: PHY link down due to PHY THERMAL.",
               kReadOnly, handle_over_temperature, range(0, 5), "0"),
      property(g, "PairASNR", VX_PAIR_SNR("A", "1.133"), kReadOnly, handle_10GbaseT_properties, length(0, 32), "0"),
      property(g, "PairBSNR", VX_PAIR_SNR("B", "1.134"), kReadOnly, handle_10GbaseT_properties, length(0, 32), "0"),
      property(g, "PairCSNR", VX_PAIR_SNR("C", "1.135"), kReadOnly, handle_10GbaseT_properties, length(0, 32), "0"),
      property(g, "PairDSNR", VX_PAIR_SNR("D", "1.136"), kReadOnly, handle_10GbaseT_properties, length(0, 32), "0"),
      property(g, "TimeSinceLinkHigh", VX_AT_REGISTER("9", "\t", "Register 30.16390"), kReadOnly,
               handle_10GbaseT_properties, length(0, 32), "0"),
      property(g, "TimeSinceLinkLow", VX_AT_REGISTER("8", "\t", "Register 30.16390"), kReadOnly,
               handle_10GbaseT_properties, length(0, 32), "0"),
      property(g, "AverageMSEPairA", VX_AT_REGISTER("7", " ", "Register 30.16390"), kReadOnly,
               handle_10GbaseT_properties, length(0, 32), "0"),
      property(g, "AverageMSEPairB", VX_AT_REGISTER("6", " ", "Register 30.16390"), kReadOnly,
               handle_10GbaseT_properties, length(0, 32), "0"),
      property(g, "AverageMSEPairC", VX_AT_REGISTER("5", " ", "Register 30.16390"), kReadOnly,
               handle_10GbaseT_properties, length(0, 32), "0"),
      property(g, "AverageMSEPairD", VX_AT_REGISTER("4", " ", "Register 30.16390"), kReadOnly,
               handle_10GbaseT_properties, length(0, 32), "0"),
      property(g, "LDPCFrameHigh", VX_AT_REGISTER("3", " ", "Register 30.16390"), kReadOnly,
               handle_10GbaseT_properties, length(0, 32), "0"),
      property(g, "LDPCFrameLow", VX_AT_REGISTER("2", " ", "Register 30.16390"), kReadOnly,
               handle_10GbaseT_properties, length(0, 32), "0"),
      property(g, "PHYCRC8High", VX_AT_REGISTER("1", " ", "Register 30.16390"), kReadOnly,
               handle_10GbaseT_properties, length(0, 32), "0"),
      property(g, "PHYCRC8Low", VX_AT_REGISTER("0", " ", "Register 30.16390"), kReadOnly,
               handle_10GbaseT_properties, length(0, 32), "0"),
      property(g, "MDIPLLEventCounter", VX_AT_REGISTER("4", "\t", "Register 30.16399-16403 Counter 0x80000000"),
               kReadOnly, handle_10GbaseT_properties, length(0, 32), "0"),
      property(g, "10GEMIEventCounter", VX_AT_REGISTER("2", "\t", "Register 30.16399-16403 Counter 0x80000007"),
               kReadOnly, handle_10GbaseT_properties, length(0, 32), "0"),
      property(g, "PHYFrameCounter", VX_AT_REGISTER("1", "\t", "Register 30.16399-16403 Counter 0x80000200"),
               kReadOnly, handle_10GbaseT_properties, length(0, 64), "0"),
      property(g, "SelfTestResult",
               "This property specifies the result of the last SelfTest: 0 test successful, 1 test initialization "
               "failed, 4 test failed.",
               kReadOnly, handle_internal_property, range(0, 4)),
      property(g, "PairAResult", VX_PAIR_RESULT("A"), kReadOnly, handle_internal_property, range(0, 3), "0"),
      property(g, "PairBResult", VX_PAIR_RESULT("B"), kReadOnly, handle_internal_property, range(0, 3), "0"),
      property(g, "PairCResult", VX_PAIR_RESULT("C"), kReadOnly, handle_internal_property, range(0, 3), "0"),
      property(g, "PairDResult", VX_PAIR_RESULT("D"), kReadOnly, handle_internal_property, range(0, 3), "0"),
      property(g, "PairALengthEstimation", "This property specifies the Pair A Length Estimation.", kReadOnly,
               handle_internal_property, range(0, 100), "0"),
      property(g, "PairBLengthEstimation", "This property specifies the Pair B Length Estimation.", kReadOnly,
               handle_internal_property, range(0, 100), "0"),
      property(g, "PairCLengthEstimation", "This property specifies the Pair C Length Estimation.", kReadOnly,
               handle_internal_property, range(0, 100), "0"),
      property(g, "PairDLengthEstimation", "This property specifies the Pair D Length Estimation.", kReadOnly,
               handle_internal_property, range(0, 100), "0"),
      property(g, "NVPValue", "This property specifies the NVP value, in percent." VX_TV20460, kReadWrite,
               handle_10baseT_nvpvalue, length(0, 100), "72"),
      property(g, "NVPUsed", "This property specifies the NVPUsed at the time when RunTDR test exectued.", kReadOnly,
               handle_internal_property, range(0, 100), "72"),
      property(g, port::kPropIsClearCountersSupported,
               "This property specifies whether the ClearCounters action is supported: True when it is, otherwise "
               "False.",
               kReadOnly, handle_internal_property, one_of(port::kTrueFalse, 4, 5), "False"),
      action(g, "SelfTest",
             "This command makes the firmware run a diagnostic self-test on the PHY (register bit map in MDIO "
             "register 30.41). It takes TestType, SourceCable and TargetCable; TargetCable applies to the CrossTalk "
             "test only and is ignored for Noise and NonLinear. Result values: 0 test successful, 1 test "
             "initialization failed, 2 test failed.",
             ROOT_Vexalon_PortDiscoveryAndConfiguration_BaseT10G_SelfTest_action),
      action(g, "RunTDR",
             "This command runs the TDR test. Its result words: word 5 holds the four pair results in 4-bit fields "
             "(pair D bits 15:12, C 11:8, B 7:4, A 3:0); words 4, 3, 2 and 1 hold the length estimation or "
             "distance to fault of pairs A, B, C and D (registers 30.18 to 30.21); word 0 holds the NVP value "
             "(register 30.22).",
             ROOT_Vexalon_PortDiscoveryAndConfiguration_BaseT10G_RunTDR_action),
      action(g, "ClearCounters", "This command resets the counter to 0",
             ROOT_Vexalon_PortDiscoveryAndConfiguration_BaseT10G_ClearCounters_action));
}

#undef VX_PAIR_RESULT
#undef VX_PAIR_SNR
#undef VX_AT_REGISTER
#undef VX_TV20460

}  // namespace vx
