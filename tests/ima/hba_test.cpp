// Physical and logical HBAs, nodes and ports of the simulated adapters as the host reads them:
// every read answers, with what the adapter reports.
#include <sys/wait.h>

#include <cstdio>

#include "tests/ima/ima_fixture.h"

namespace vxtest {
namespace {

bool answered(IMA_STATUS status) { return status == IMA_STATUS_SUCCESS; }

TEST_F(ImaTest, WalksListEveryFunctionInOrder) {
  started();
  const std::vector<IMA_OID> phbas = list(ima().IMA_GetPhbaOidList), lnps = list(ima().IMA_GetLnpOidList);
  const std::string paths[] = {"Vexalon0/iSCSIPhysicalHBA0", "Vexalon0/iSCSIPhysicalHBA1",
                               "Vexalon1/iSCSIPhysicalHBA0", "Vexalon1/iSCSIPhysicalHBA1"};
  ASSERT_TRUE(phbas.size() == 4 && lnps.size() == 4);
  for (size_t i = 0; i < 4; ++i) {
    const std::string& p = paths[i];
    EXPECT_TRUE(same(phbas[i], oid_at(IMA_OBJECT_TYPE_PHBA, p))) << p;
    EXPECT_TRUE(same(lnps[i], oid_at(IMA_OBJECT_TYPE_LNP, p))) << p;
    // One logical HBA each, listed once its "Enabled" reads as enabled.
    for (const IMA_OID& lhba : list(ima().IMA_VMW_GetLhbaOidList, phbas[i])) {
      EXPECT_EQ(static_cast<int32_t>(lhba.sequenceLow), tag_at(p + "/LogicalHBA0"));
    }
    const std::vector<IMA_OID> pnp = list(ima().IMA_GetPnpOidList, lnps[i]);
    ASSERT_EQ(pnp.size(), 1u);
    EXPECT_TRUE(same(pnp[0], oid_at(IMA_OBJECT_TYPE_PNP, p + "/Network/NICConfiguration")));
    EXPECT_EQ(list(ima().IMA_VMW_GetLnpOidList, pnp[0])[0].sequenceLow, phbas[i].sequenceLow);
    const IMA_OID portal = list(ima().IMA_VMW_GetNetworkPortalOidList, oid_at(IMA_OBJECT_TYPE_LHBA, p + "/LogicalHBA0"))[0];
    EXPECT_TRUE(same(portal, oid_at(IMA_OBJECT_TYPE_NETWORK_PORTAL, p + "/Network/TCPIPConfiguration")));
  }
  const size_t all_lhbas = list(ima().IMA_GetLhbaOidList).size();
  EXPECT_TRUE(all_lhbas == 0 || all_lhbas == 4) << all_lhbas;
}

TEST_F(ImaTest, WithoutAdaptersTheWalksAreEmpty) {
  ::unsetenv("VXIMA_SIMULATOR");
  start();
  EXPECT_TRUE(list(ima().IMA_GetPhbaOidList).empty());
  EXPECT_TRUE(list(ima().IMA_GetLnpOidList).empty());
  EXPECT_TRUE(list(ima().IMA_GetLhbaOidList).empty());
  IMA_OID node{};
  EXPECT_EQ(ima().IMA_GetSharedNodeOid(&node), IMA_ERROR_INVALID_PARAMETER);
}

TEST_F(ImaTest, LogicalHbaRecordHasTheHostsBytes) {
  started("one-adapter.json");
  const IMA_OID lhba = oid_at(IMA_OBJECT_TYPE_LHBA, "Vexalon0/iSCSIPhysicalHBA1/LogicalHBA0");
  for (auto get : {ima().IMA_GetLhbaProperties, ima().IMA_VMW_GetLhbaProperties}) {
    Guarded props(1180);
    ASSERT_EQ(get(lhba, props.as<IMA_LHBA_PROPERTIES>()), IMA_STATUS_SUCCESS);
    EXPECT_EQ(props.wide(0, 256), "vmhba34");
    for (size_t at = 28; at < 1180; at += 4) {   // after the name: zero but for three flags and a byte
      const uint32_t want = at >= 1040 && at <= 1048 ? 1 : at == 1064 ? 1 : 0;
      EXPECT_EQ(props.u32(at), want) << at;
    }
    EXPECT_TRUE(props.guard_intact());
  }
}

TEST_F(ImaTest, PhysicalHbaNodeAndPortRecords) {
  started();
  const IMA_OID phba = list(ima().IMA_GetPhbaOidList)[2];   // the second adapter's first function
  for (auto get : {ima().IMA_GetPhbaProperties, ima().IMA_VMW_GetPhbaProperties}) {
    Guarded props(sizeof(IMA_PHBA_PROPERTIES));
    const IMA_STATUS status = get(phba, props.as<IMA_PHBA_PROPERTIES>());
    EXPECT_TRUE(answered(status));
    EXPECT_TRUE(props.guard_intact());
    if (status != IMA_STATUS_SUCCESS) continue;
    EXPECT_EQ(props.wide(0, 64) + "|" + props.wide(256, 256) + "|" + props.wide(2304, 64) + "|" + props.wide(2560, 256),
              "Quillmarchant Corp|BL-5202|BL5202B0007|N/A");
    EXPECT_EQ(props.wide(6656, 256), "vx2iscsi.o");
    EXPECT_EQ(props.u32(8712), 16u);
    EXPECT_EQ(props.u32(8760), get == ima().IMA_VMW_GetPhbaProperties ? 1u : 0u);
  }
  IMA_PHBA_STATUS state = 99;
  EXPECT_TRUE(answered(ima().IMA_GetPhbaStatus(phba, &state)));
  EXPECT_LE(state, IMA_PHBA_STATUS_FAILED);

  Guarded node(sizeof(IMA_NODE_PROPERTIES));
  const IMA_STATUS named = ima().IMA_VMW_GetNodeProperties(phba, node.as<IMA_NODE_PROPERTIES>());
  EXPECT_TRUE(answered(named) && node.guard_intact());
  EXPECT_EQ(node.u32(0) * 10 + node.u32(1936), 11u);   // initiator mode; name and alias settable
  EXPECT_TRUE(named != IMA_STATUS_SUCCESS || node.u32(8) == (node.wide(12, 224).empty() ? 0u : 1u));

  const IMA_OID pnp = list(ima().IMA_GetPnpOidList, phba)[0];
  Guarded port(sizeof(IMA_PNP_PROPERTIES));
  EXPECT_TRUE(answered(ima().IMA_VMW_GetPnpProperties(pnp, port.as<IMA_PNP_PROPERTIES>())));
  EXPECT_TRUE(same(*port.as<IMA_OID>(), phba));   // the associated physical HBA
  EXPECT_EQ(port.u32(24) + port.u32(40), 0u);                  // MAC not settable; empty name
  EXPECT_TRUE(port.guard_intact());
  IMA_NETWORK_PORT_STATUS link = 99;
  EXPECT_TRUE(answered(ima().IMA_GetNetworkPortStatus(pnp, &link)));
  EXPECT_TRUE(link == IMA_NETWORK_PORT_STATUS_WORKING || link == IMA_NETWORK_PORT_STATUS_LINK_DOWN);

  IMA_OID shared{};
  ASSERT_EQ(ima().IMA_GetSharedNodeOid(&shared), IMA_STATUS_SUCCESS);
  EXPECT_TRUE(same(shared, oid_at(IMA_OBJECT_TYPE_NODE, "Vexalon0/iSCSIPhysicalHBA0/LogicalHBA0/InitiatoriSCSIName")));
}

TEST_F(ImaTest, NodeNameAndAliasLimits) {
  constexpr IMA_STATUS kPassed = 1;   // refused by nothing in the front end
  struct Case {
    const char* what;
    std::vector<IMA_WCHAR> text;
    bool alias;
    IMA_STATUS want;
  };
  const std::vector<IMA_WCHAR> unterminated(300, 'a');
  const Case cases[] = {
      {"empty name", wide_repeat(0), false, IMA_ERROR_INVALID_PARAMETER},
      {"223 units", wide_repeat(223), false, kPassed},
      {"224 units", wide_repeat(224), false, IMA_ERROR_NAME_TOO_LONG},
      {"223 units over 255 bytes", wide_repeat(223, 0x20AC), false, IMA_ERROR_NAME_TOO_LONG},
      {"control character", {'i', 'q', 'n', 1, 0}, false, IMA_ERROR_INVALID_PARAMETER},
      {"unit above 0x10FFFF", {'i', 0x110000, 0}, false, IMA_ERROR_TEXT_CONVERSION},
      {"negative as a signed unit", {'i', 0xFFFFFFFF, 0}, false, IMA_ERROR_TEXT_CONVERSION},
      {"unterminated", unterminated, false, IMA_ERROR_NAME_TOO_LONG},
      {"empty alias", wide_repeat(0), true, kPassed},
      {"255-unit alias", wide_repeat(255), true, kPassed},
      {"256-unit alias", wide_repeat(256), true, IMA_ERROR_NAME_TOO_LONG},
      {"unterminated alias", unterminated, true, IMA_ERROR_NAME_TOO_LONG},
  };
  started("one-adapter.json");
  const IMA_OID phba = list(ima().IMA_GetPhbaOidList)[0];
  for (const Case& c : cases) {
    const IMA_STATUS status = (c.alias ? ima().IMA_VMW_SetNodeAlias : ima().IMA_VMW_SetNodeName)(phba, c.text.data());
    if (c.want != kPassed) {
      EXPECT_EQ(status, c.want) << c.what;
    } else {   // the hierarchy decides from here on
      EXPECT_TRUE(status != IMA_ERROR_NAME_TOO_LONG && status != IMA_ERROR_TEXT_CONVERSION) << c.what;
    }
  }
  EXPECT_EQ(ima().IMA_VMW_SetNodeName(oid(IMA_OBJECT_TYPE_PHBA, 1 << 30), wide_repeat(224).data()),
            IMA_ERROR_NAME_TOO_LONG);   // the text is checked before the identifier
  EXPECT_NE(log().find("in Error check and failed in VARU\n"), std::string::npos);   // the control character
}

// The adapters of every generation answer the host's reads of their controller properties, through
// the entry points and through imahost.
TEST_F(ImaTest, EveryGenerationAnswersThePhysicalHbaReads) {
  started("nic-lab.json");
  const std::vector<IMA_OID> phbas = list(ima().IMA_GetPhbaOidList);
  ASSERT_EQ(phbas.size(), 4u);
  for (const IMA_OID& phba : phbas) {
    for (auto get : {ima().IMA_GetPhbaProperties, ima().IMA_VMW_GetPhbaProperties}) {
      Guarded props(sizeof(IMA_PHBA_PROPERTIES));
      EXPECT_EQ(get(phba, props.as<IMA_PHBA_PROPERTIES>()), IMA_STATUS_SUCCESS);
      EXPECT_FALSE(props.wide(4608, 256).empty()) << "firmware version";
    }
    IMA_PHBA_STATUS state = 99;
    EXPECT_EQ(ima().IMA_GetPhbaStatus(phba, &state), IMA_STATUS_SUCCESS);
    EXPECT_EQ(state, IMA_PHBA_STATUS_WORKING);
    Guarded node(sizeof(IMA_NODE_PROPERTIES));
    EXPECT_EQ(ima().IMA_VMW_GetNodeProperties(phba, node.as<IMA_NODE_PROPERTIES>()), IMA_STATUS_SUCCESS);
  }
  const std::string plugin = imahost::plugin_path();
  FILE* pipe = ::popen((plugin.substr(0, plugin.rfind('/') + 1) + "imahost adapter list 2>&1").c_str(), "r");
  std::string out;
  for (char buf[512]; pipe != nullptr && std::fgets(buf, sizeof buf, pipe) != nullptr;) out += buf;
  ASSERT_NE(pipe, nullptr);
  EXPECT_EQ(WEXITSTATUS(::pclose(pipe)), 0) << out;
  EXPECT_NE(out.find("BL-2202 firmware 2.102.200.0"), std::string::npos) << out;
}

}  // namespace
}  // namespace vxtest
