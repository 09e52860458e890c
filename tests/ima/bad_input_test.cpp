// Every entry point that takes an identifier, given NULL, every object type, nodes of the wrong
// kind, stray handles and another owner's identifiers: its IMA error, nothing written past the
// record, and the record cleared or untouched as the entry point promises.
#include <fstream>

#include "tests/ima/ima_fixture.h"

namespace vxtest {
namespace {

struct EntryRow {
  const char* name;
  uint32_t types;       // mask of accepted object types
  size_t record_size;   // 0: no out record
  bool clears;          // a refused identifier leaves the record cleared, else untouched
  IMA_STATUS (*call)(const imahost::EntryPoints&, IMA_OID, void* record);
  bool acts;            // changes the tree: called with refused identifiers only
};

constexpr uint32_t mask(std::initializer_list<uint32_t> types) {
  uint32_t m = 0;
  for (uint32_t t : types) m |= 1u << t;
  return m;
}

// A list that came back is freed again.
IMA_STATUS listed(const imahost::EntryPoints& e, IMA_STATUS status, void* record) {
  if (status == IMA_STATUS_SUCCESS) e.IMA_FreeMemory(*static_cast<IMA_OID_LIST**>(record));
  return status;
}

using E = imahost::EntryPoints;
#define LIST_ROW(fn, ...)                                              \
  {#fn, mask({__VA_ARGS__}), sizeof(IMA_OID_LIST*), false,             \
   [](const E& e, IMA_OID o, void* r) { return listed(e, e.fn(o, static_cast<IMA_OID_LIST**>(r)), r); }, false}
#define RECORD_ROW(fn, Record, clears, ...)                                                                     \
  {#fn, mask({__VA_ARGS__}), sizeof(Record), clears,                                                            \
   [](const E& e, IMA_OID o, void* r) { return e.fn(o, static_cast<Record*>(r)); }, false}
#define CALL_ROW(fn, args, ...) {#fn, mask({__VA_ARGS__}), 0, false, [](const E& e, IMA_OID o, void*) { return e.fn args; }, false}
#define ACT_ROW(fn, args, ...) {#fn, mask({__VA_ARGS__}), 0, false, [](const E& e, IMA_OID o, void*) { return e.fn args; }, true}
// A record `rec` among other arguments; a record the plug-in hands out (`*out`), freed again.
#define ARGS_ROW(fn, Record, clears, args, ...)                                                               \
  {#fn, mask({__VA_ARGS__}), sizeof(Record), clears,                                                          \
   [](const E& e, IMA_OID o, void* r) { [[maybe_unused]] auto* rec = static_cast<Record*>(r); return e.fn args; }, false}
#define OUT_ROW(fn, Type, args, ...)                                                       \
  {#fn, mask({__VA_ARGS__}), sizeof(Type*), false, [](const E& e, IMA_OID o, void* r) {   \
     auto** out = static_cast<Type**>(r);                                                  \
     const IMA_STATUS s = e.fn args;                                                       \
     if (s == IMA_STATUS_SUCCESS) e.IMA_FreeMemory(*out);                                  \
     return s;                                                                             \
   }, false}

const IMA_WCHAR kName[] = {'i', 'q', 'n', '.', 'x', 0};
const IMA_TARGET_ADDRESS kAddress = {{0, {{0}}}, 3260, {0, 0}};
const IMA_STATIC_DISCOVERY_TARGET kStatic = {{'i', 'q', 'n', '.', 'x', 'y', 'z', 0}, kAddress};
IMA_OID g_made;
IMA_BYTE g_buffer[64];
IMA_UINT g_length = sizeof g_buffer;
IMA_UINT g_count = 2;
IMA_UINT g_words[2];
const IMA_INITIATOR_AUTHPARMS kChap = chap_parms("user", "secretsecret");
const IMA_UINT kOne[] = {1};
const IMA_IP_ADDRESS kIpv4 = {1, {10, 0, 0, 77}};
#define LEVELS 3, 9, 11, 12
#define PORTS 4, 7, 8
#define NUMBER_ROW(fn) RECORD_ROW(fn, IMA_MIN_MAX_VALUE, true, LEVELS)
#define FLAG_ROW(fn, ...) RECORD_ROW(fn, IMA_BOOL_VALUE, true, __VA_ARGS__)
#define UNSUPPORTED_ROW(fn) CALL_ROW(fn, (o, 1), 3, 9)

const EntryRow kEntryPoints[] = {
    LIST_ROW(IMA_VMW_GetLhbaOidList, 4),
    LIST_ROW(IMA_GetPnpOidList, 4, 7),
    LIST_ROW(IMA_VMW_GetNetworkPortalOidList, 3, 7),
    LIST_ROW(IMA_VMW_GetLnpOidList, 4, 7, 8),
    RECORD_ROW(IMA_GetPhbaProperties, IMA_PHBA_PROPERTIES, true, 4),
    RECORD_ROW(IMA_VMW_GetPhbaProperties, IMA_PHBA_PROPERTIES, true, 4),
    RECORD_ROW(IMA_GetPhbaStatus, IMA_PHBA_STATUS, true, 4),
    RECORD_ROW(IMA_VMW_GetNodeProperties, IMA_NODE_PROPERTIES, true, 3, 4),
    RECORD_ROW(IMA_GetLhbaProperties, IMA_LHBA_PROPERTIES, true, 3),
    RECORD_ROW(IMA_VMW_GetLhbaProperties, IMA_LHBA_PROPERTIES, false, 3),
    RECORD_ROW(IMA_GetPnpProperties, IMA_PNP_PROPERTIES, false, 8),
    RECORD_ROW(IMA_VMW_GetPnpProperties, IMA_PNP_PROPERTIES, false, 8),
    RECORD_ROW(IMA_GetLnpProperties, IMA_LNP_PROPERTIES, false, 7),
    RECORD_ROW(IMA_VMW_GetLnpProperties, IMA_LNP_PROPERTIES, false, 7),
    RECORD_ROW(IMA_GetNetworkPortStatus, IMA_NETWORK_PORT_STATUS, false, 7, 8),
    CALL_ROW(IMA_VMW_SetNodeName, (o, kName), 3, 4),
    CALL_ROW(IMA_VMW_SetNodeAlias, (o, kName), 3, 4),
    CALL_ROW(IMA_PhbaDownload, (o, 0, kName), 4),
    CALL_ROW(IMA_VMW_SetMtu, (o, 9000), 4),
    RECORD_ROW(IMA_GetDiscoveryProperties, IMA_DISCOVERY_PROPERTIES, false, 3, 4, 5),
    RECORD_ROW(IMA_VMW_GetDiscoveryStatus, IMA_UINT32, false, 4),
    CALL_ROW(IMA_SetIsnsDiscovery, (o, 1, 2, nullptr), 3, 4, 5),
    CALL_ROW(IMA_SetSlpDiscovery, (o, 0), 3, 4, 5),
    CALL_ROW(IMA_SetStaticDiscovery, (o, 1), 3, 4, 5),
    LIST_ROW(IMA_GetDiscoveryAddressOidList, 3, 8),
    RECORD_ROW(IMA_GetDiscoveryAddressProperties, IMA_DISCOVERY_ADDRESS_PROPERTIES, false, 11),
    ACT_ROW(IMA_AddDiscoveryAddress, (o, kAddress, &g_made), 3, 8),
    ACT_ROW(IMA_RemoveDiscoveryAddress, (o), 11),
    LIST_ROW(IMA_GetStaticDiscoveryTargetOidList, 3, 8),
    LIST_ROW(IMA_VMW_GetStaticDiscoveryTargetOidList, 3, 8),
    RECORD_ROW(IMA_GetStaticDiscoveryTargetProperties, IMA_STATIC_DISCOVERY_TARGET_PROPERTIES, true, 12),
    RECORD_ROW(IMA_VMW_GetStaticDiscoveryTargetProperties, IMA_STATIC_DISCOVERY_TARGET_PROPERTIES, true, 9, 12),
    ACT_ROW(IMA_AddStaticDiscoveryTarget, (o, kStatic, &g_made), 3, 8),
    ACT_ROW(IMA_RemoveStaticDiscoveryTarget, (o), 9, 12),
    LIST_ROW(IMA_GetTargetOidList, 3, 7),
    LIST_ROW(IMA_VMW_GetTargetOidList, 3, 7),
    RECORD_ROW(IMA_GetTargetProperties, IMA_TARGET_PROPERTIES, false, 9),
    LIST_ROW(IMA_GetLuOidList, 3, 9),
    RECORD_ROW(IMA_GetLuProperties, IMA_LU_PROPERTIES, true, 10),
    CALL_ROW(IMA_LuReportLuns, (o, 0, 0, g_buffer, &g_length, g_buffer, &g_length), 9, 10),
    LIST_ROW(IMA_GetSessionOidList, 3, 9),
    RECORD_ROW(IMA_GetSessionProperties, IMA_SESSION_PROPERTIES, true, 14),
    LIST_ROW(IMA_GetConnectionOidList, 14),
    RECORD_ROW(IMA_GetConnectionProperties, IMA_CONNECTION_PROPERTIES, false, 13),
    RECORD_ROW(IMA_VMW_GetConnectionStatus, IMA_VMW_CONNECTION_STATUS, false, 13),
    ACT_ROW(IMA_VMW_RemoveSession, (o), 3, 9, 14),
    ACT_ROW(IMA_VMW_AddSession, (o), 3, 9, 14),
    ACT_ROW(IMA_VMW_Rediscover, (o), 3, 4),
    // authentication
    CALL_ROW(IMA_GetSupportedAuthMethods, (o, 0, &g_count, g_words), 3),
    CALL_ROW(IMA_VMW_GetSupportedAuthMethods, (o, 0, &g_count, g_words), LEVELS),
    ACT_ROW(IMA_SetInitiatorAuthMethods, (o, 1, kOne), 3),
    ACT_ROW(IMA_VMW_SetInitiatorAuthMethods, (o, 1, kOne), LEVELS),
    CALL_ROW(IMA_GetInUseInitiatorAuthMethods, (o, &g_count, g_words), 3),
    CALL_ROW(IMA_VMW_GetInUseInitiatorLocalAuthMethods, (o, &g_count, g_words), LEVELS),
    ARGS_ROW(IMA_GetInitiatorAuthParms, IMA_INITIATOR_AUTHPARMS, true, (o, 1, rec), LEVELS),
    ACT_ROW(IMA_SetInitiatorAuthParms, (o, 1, &kChap), 3),
    ACT_ROW(IMA_VMW_SetInitiatorAuthParms, (o, 1, &kChap), LEVELS),
    ARGS_ROW(IMA_GetInitiatorLocalAuthParms, IMA_INITIATOR_AUTHPARMS, true, (o, 1, rec, g_words), 9, 11, 12),
    ACT_ROW(IMA_SetInitiatorLocalAuthParms, (o, 1, &kChap, 1), 9, 11, 12),
    ACT_ROW(IMA_AddLhbaMutualAuthParms, (o, 1, &kChap), 3),
    OUT_ROW(IMA_GetLhbaMutualAuthParmsList, IMA_INITIATOR_AUTHPARMS_LIST, (o, 1, out), 3),
    ACT_ROW(IMA_RemoveLhbaMutualAuthParms, (o, 1, &kChap), 3),
    ARGS_ROW(IMA_GetMutualLocalAuthParms, IMA_INITIATOR_AUTHPARMS, true, (o, 1, rec), 9, 11, 12),
    ARGS_ROW(IMA_VMW_GetMutualAuthParms, IMA_INITIATOR_AUTHPARMS, true, (o, 1, rec), LEVELS),
    ACT_ROW(IMA_VMW_SetMutualAuthParms, (o, 1, &kChap), LEVELS),
    ACT_ROW(IMA_SetMutualLocalAuthParms, (o, 1, &kChap, 1), 9, 11, 12),
    ACT_ROW(IMA_SetMutualLocalAuth, (o, 1, 1), 9, 11, 12),
    // network portals and IP configuration
    LIST_ROW(IMA_GetNetworkPortalOidList, 7),
    RECORD_ROW(IMA_GetNetworkPortalProperties, IMA_NETWORK_PORTAL_PROPERTIES, false, 5),
    OUT_ROW(IMA_VMW_GetNetworkPortalProperties, IMA_VMW_NETWORK_PORTAL_PROPERTIES, (o, out), 4, 5),
    RECORD_ROW(IMA_GetIpProperties, IMA_IP_PROPERTIES, false, 8),
    RECORD_ROW(IMA_VMW_GetIpProperties, IMA_IP_PROPERTIES, true, 4, 8),
    RECORD_ROW(IMA_VMW_GetExtendedIpProperties, IMA_VMW_EXTENDED_IP_PROPERTIES, true, 4, 8),
    RECORD_ROW(IMA_VMW_GetMtuProperties, IMA_MIN_MAX_VALUE, true, 4),
    RECORD_ROW(IMA_VMW_GetArpRedirectProperties, IMA_VMW_ARP_REDIRECT_PROPERTIES, true, 4),
    OUT_ROW(IMA_GetAddressKeys, IMA_ADDRESS_KEYS, (o, out), 9, 11, 12),
    ACT_ROW(IMA_SetNetworkPortalIpAddress, (o, &kIpv4), 5),
    ACT_ROW(IMA_VMW_SetNetworkPortalIpAddress, (o, &kIpv4, 0, 0), 4),
    ACT_ROW(IMA_SetSubnetMask, (o, kIpv4), PORTS),
    ACT_ROW(IMA_VMW_SetSubnetMask, (o, kIpv4), PORTS),
    ACT_ROW(IMA_SetDefaultGateway, (o, kIpv4), PORTS),
    ACT_ROW(IMA_VMW_SetDefaultGateway, (o, kIpv4), PORTS),
    ACT_ROW(IMA_SetIpConfigMethod, (o, 0), 8),
    ACT_ROW(IMA_VMW_SetIpv6ConfigMethod, (o, 0, 0), 4, 8),
    CALL_ROW(IMA_VMW_SetArpRedirect, (o, 1), 4),
    // login parameters
    NUMBER_ROW(IMA_GetMaxConnectionsProperties), NUMBER_ROW(IMA_GetMaxOutstandingR2TProperties),
    NUMBER_ROW(IMA_GetFirstBurstLengthProperties), NUMBER_ROW(IMA_GetMaxBurstLengthProperties),
    NUMBER_ROW(IMA_GetDefaultTime2WaitProperties), NUMBER_ROW(IMA_GetDefaultTime2RetainProperties),
    NUMBER_ROW(IMA_GetErrorRecoveryLevelProperties), NUMBER_ROW(IMA_GetMaxRecvDataSegmentLengthProperties),
    FLAG_ROW(IMA_GetDataPduInOrderProperties, LEVELS), FLAG_ROW(IMA_GetDataSequenceInOrderProperties, LEVELS),
    FLAG_ROW(IMA_GetImmediateDataProperties, LEVELS), FLAG_ROW(IMA_GetInitialR2TProperties, LEVELS),
    CALL_ROW(IMA_VMW_GetHeaderDigest, (o, &g_count, g_words), LEVELS),
    CALL_ROW(IMA_VMW_GetDataDigest, (o, &g_count, g_words), LEVELS),
    RECORD_ROW(IMA_GetDigestProperties, IMA_DIGEST_PROPERTIES, true, LEVELS),
    ACT_ROW(IMA_VMW_SetHeaderDigest, (o, 1, kOne), LEVELS), ACT_ROW(IMA_VMW_SetDataDigest, (o, 1, kOne), LEVELS),
    ACT_ROW(IMA_SetHeaderDigestValues, (o, 1, kOne), 3, 9), ACT_ROW(IMA_SetDataDigestValues, (o, 1, kOne), 3, 9),
    ACT_ROW(IMA_SetImmediateData, (o, 1), 3, 9),
    FLAG_ROW(IMA_GetIFMarkerProperties, 3, 9), FLAG_ROW(IMA_GetIFMarkIntProperties, 3, 9),
    FLAG_ROW(IMA_GetOFMarkerProperties, 3, 9), FLAG_ROW(IMA_GetOFMarkIntProperties, 3, 9),
    UNSUPPORTED_ROW(IMA_SetDataPduInOrder), UNSUPPORTED_ROW(IMA_SetDataSequenceInOrder),
    UNSUPPORTED_ROW(IMA_SetInitialR2T), UNSUPPORTED_ROW(IMA_SetIFMarkerProperties),
    UNSUPPORTED_ROW(IMA_SetOFMarkerProperties), UNSUPPORTED_ROW(IMA_SetDefaultTime2Wait),
    UNSUPPORTED_ROW(IMA_SetDefaultTime2Retain), UNSUPPORTED_ROW(IMA_SetErrorRecoveryLevel),
    UNSUPPORTED_ROW(IMA_SetFirstBurstLength), UNSUPPORTED_ROW(IMA_SetMaxBurstLength),
    UNSUPPORTED_ROW(IMA_SetMaxRecvDataSegmentLength), UNSUPPORTED_ROW(IMA_SetMaxOutstandingR2T),
    UNSUPPORTED_ROW(IMA_SetMaxConnections), UNSUPPORTED_ROW(IMA_SetIFMarkIntProperties),
    UNSUPPORTED_ROW(IMA_SetOFMarkIntProperties),
};

// Nodes of the two-adapter tree and the object types each may stand for.
struct NodeRow {
  const char* path;
  int32_t kind;
  uint32_t types;
};
const NodeRow kNodes[] = {
    {"Vexalon1/iSCSIPhysicalHBA1", VARU_KIND_GROUP, mask({4, 7})},
    {"Vexalon1/iSCSIPhysicalHBA1/LogicalHBA0", VARU_KIND_GROUP, mask({3})},
    {"Vexalon1/iSCSIPhysicalHBA1/Network/TCPIPConfiguration", VARU_KIND_GROUP, mask({5})},
    {"Vexalon1/iSCSIPhysicalHBA1/Network/NICConfiguration", VARU_KIND_GROUP, mask({8})},
    {"Vexalon1/iSCSIPhysicalHBA1/LogicalHBA0/InitiatoriSCSIName", VARU_KIND_GROUP, 0},
    {"Vexalon1/NICPhysicalHBA0/NICLogicalHBA0", VARU_KIND_GROUP, 0},   // "LogicalHBA" in its name only
    {"Vexalon1", VARU_KIND_GROUP, 0},
    {"Vexalon1/iSCSIPhysicalHBA1/PortNumber", VARU_KIND_PROPERTY, 0},
    {"Vexalon1/iSCSIPhysicalHBA1/LogicalHBA0/Target0", VARU_KIND_GROUP, 0},
    {"Vexalon1/iSCSIPhysicalHBA1/LogicalHBA0/Target0/TargetPortal0", VARU_KIND_GROUP, mask({9, 12})},
    {"Vexalon1/iSCSIPhysicalHBA1/LogicalHBA0/Target0/LUN0", VARU_KIND_GROUP, mask({9, 10, 12})},
    {"Vexalon1/iSCSIPhysicalHBA1/LogicalHBA0/Target0/Session0", VARU_KIND_GROUP, mask({9, 12, 14})},
    {"Vexalon1/iSCSIPhysicalHBA1/LogicalHBA0/Target0/Session0/Connection0", VARU_KIND_GROUP, mask({13})},
    {"Vexalon1/iSCSIPhysicalHBA1/LogicalHBA0/Discovery/SendTargetPortal0", VARU_KIND_GROUP, mask({11})},
};

bool identifier_refused(IMA_STATUS s) { return s >= IMA_ERROR_INVALID_OBJECT_TYPE && s <= IMA_ERROR_OBJECT_NOT_FOUND; }

class BadInputTest : public ImaTest {
 protected:
  // Calls the row with a pattern-filled record; checks the guard, and the record when the
  // identifier was refused (a later failure may leave it partly filled).
  IMA_STATUS call(const EntryRow& row, const IMA_OID& oid) {
    Guarded record(std::max<size_t>(row.record_size, 1));
    const IMA_STATUS status = row.call(ima(), oid, record.data());
    EXPECT_TRUE(record.guard_intact()) << row.name << " " << imahost::oid_text(oid);
    if (identifier_refused(status) && row.record_size != 0) {
      EXPECT_TRUE(record.all(row.clears ? 0 : kPattern)) << row.name << " record after " << imahost::status_text(status);
    }
    return status;
  }
  // The lab with a target logged in (its portal, session, connection and LUNs) on the tree.
  void started_with_target() {
    started("iscsi-lab.json");
    auto act = reinterpret_cast<decltype(&VARU_do_action)>(host.symbol("VARU_do_action"));
    char params[6][256] = {"iqn.2026-01.com.example:store.open", "10.0.0.5", "3260", "False"};
    const std::string lhba = "Vexalon1/iSCSIPhysicalHBA1/LogicalHBA0";
    ASSERT_EQ(act(tag_at(lhba), tag_at(lhba + "/AddTarget", VARU_KIND_ACTION), params, nullptr), 0u);
    reinterpret_cast<decltype(&VARU_refresh_group)>(host.symbol("VARU_refresh_group"))(tag_at(lhba + "/Target0"));
    char portal[6][256] = {"10.0.0.9", "3260"};
    ASSERT_EQ(act(tag_at(lhba + "/Discovery"), tag_at(lhba + "/Discovery/AddSendTargetPortal", VARU_KIND_ACTION), portal,
                  nullptr),
              0u);
  }
};

TEST_F(BadInputTest, EveryIdentifierCheckGivesItsError) {
  started_with_target();
  const int32_t phba = tag_at(kNodes[0].path);
  for (const EntryRow& row : kEntryPoints) {
    for (uint32_t type = 0; type <= 17; ++type) {
      if ((row.types & (1u << type)) == 0) {
        const IMA_STATUS want = type == 0 || type > 16 ? IMA_ERROR_INVALID_OBJECT_TYPE : IMA_ERROR_INCORRECT_OBJECT_TYPE;
        EXPECT_EQ(call(row, oid(type, phba)), want) << row.name << " type " << type;
        continue;
      }
      for (const NodeRow& node : kNodes) {
        const int32_t tag = tag_at(node.path, node.kind);
        ASSERT_GE(tag, 0) << node.path;
        const bool fits = (node.types & (1u << type)) != 0;
        if (fits) {
          EXPECT_EQ(call(row, oid(type, tag, kOwner + 1)), IMA_ERROR_OBJECT_NOT_FOUND) << row.name;
        }
        if (fits && row.acts) continue;
        const IMA_STATUS status = call(row, oid(type, tag));
        EXPECT_EQ(identifier_refused(status), !fits) << row.name << " type " << type << " " << node.path;
      }
      for (int32_t stray : {-1, -77, 1 << 30}) EXPECT_EQ(call(row, oid(type, stray)), IMA_ERROR_OBJECT_NOT_FOUND);
    }
  }
}

TEST_F(BadInputTest, NullRecordsAreRefused) {
  started_with_target();
  for (const EntryRow& row : kEntryPoints) {
    for (const NodeRow& node : kNodes) {
      const uint32_t type = static_cast<uint32_t>(__builtin_ctz((row.types & node.types) | 1u << 31));
      if (type == 31 || row.record_size == 0) continue;
      EXPECT_EQ(row.call(ima(), oid(type, tag_at(node.path)), nullptr), IMA_ERROR_INVALID_PARAMETER) << row.name;
    }
  }
  for (auto fn : {ima().IMA_GetPhbaOidList, ima().IMA_GetLnpOidList, ima().IMA_GetLhbaOidList}) {
    EXPECT_EQ(fn(nullptr), IMA_ERROR_INVALID_PARAMETER);
  }
  const IMA_OID phba = oid_at(IMA_OBJECT_TYPE_PHBA, kNodes[0].path);
  EXPECT_EQ(ima().IMA_GetSharedNodeOid(nullptr), IMA_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(ima().IMA_VMW_SetNodeName(phba, nullptr), IMA_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(ima().IMA_VMW_SetNodeAlias(phba, nullptr), IMA_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(ima().IMA_PhbaDownload(phba, 0, nullptr), IMA_ERROR_INVALID_PARAMETER);
}

TEST_F(BadInputTest, ValuesAreCheckedWhereTheEntryPointsSay) {
  started_with_target();
  const IMA_OID lhba = oid_at(IMA_OBJECT_TYPE_LHBA, "Vexalon1/iSCSIPhysicalHBA1/LogicalHBA0");
  const IMA_OID bad = oid(99, 0);
  IMA_BYTE b[8];
  IMA_UINT n = sizeof b, zero = 0;
  IMA_STATIC_DISCOVERY_TARGET unterminated = kStatic, unencodable = kStatic;
  std::fill(std::begin(unterminated.targetName), std::end(unterminated.targetName), 'a');
  unencodable.targetName[2] = 0x110000;
  IMA_OID made{9, 9, 9, 9};
  const struct {
    const char* what;
    IMA_STATUS got, want;
  } rows[] = {
      // Values out of range come before the identifier.
      {"iSNS enable 2", ima().IMA_SetIsnsDiscovery(bad, 2, 0, nullptr), IMA_ERROR_INVALID_PARAMETER},
      {"iSNS method 3", ima().IMA_SetIsnsDiscovery(bad, 1, 3, nullptr), IMA_ERROR_INVALID_PARAMETER},
      {"SLP enable 2", ima().IMA_SetSlpDiscovery(bad, 2), IMA_ERROR_INVALID_PARAMETER},
      {"static enable 2", ima().IMA_SetStaticDiscovery(bad, 2), IMA_ERROR_INVALID_PARAMETER},
      {"no output", ima().IMA_LuReportLuns(bad, 0, 0, nullptr, &n, b, &n), IMA_ERROR_INVALID_PARAMETER},
      {"no length", ima().IMA_LuReportLuns(bad, 0, 0, b, nullptr, b, &n), IMA_ERROR_INVALID_PARAMETER},
      {"no sense", ima().IMA_LuReportLuns(bad, 0, 0, b, &n, nullptr, &n), IMA_ERROR_INVALID_PARAMETER},
      {"well-known LUN 2", ima().IMA_LuReportLuns(bad, 2, 0, b, &n, b, &n), IMA_ERROR_INVALID_PARAMETER},
      {"length 0", ima().IMA_LuReportLuns(bad, 0, 0, b, &zero, b, &n), IMA_ERROR_INVALID_PARAMETER},
      {"no new address", ima().IMA_AddDiscoveryAddress(lhba, kAddress, nullptr), IMA_ERROR_INVALID_PARAMETER},
      {"no new target", ima().IMA_AddStaticDiscoveryTarget(lhba, kStatic, nullptr), IMA_ERROR_INVALID_PARAMETER},
      // A name is read within its 224 units, and must encode.
      {"unterminated name", ima().IMA_AddStaticDiscoveryTarget(lhba, unterminated, &made), IMA_ERROR_TEXT_CONVERSION},
      {"unencodable name", ima().IMA_AddStaticDiscoveryTarget(lhba, unencodable, &made), IMA_ERROR_TEXT_CONVERSION},
  };
  for (const auto& row : rows) EXPECT_EQ(row.got, row.want) << row.what;
  EXPECT_TRUE(same(made, IMA_OID{}));
}

// Every IMA name the plug-in exports (the checked-in export list), called as a careless host might:
// first with no object type and NULL for every pointer, then with the same identifier and valid
// buffers. Each answers with a refusal (but for the two that need nothing) and the process goes on.
// Whatever a call reads beyond four word arguments (records passed by value, further pointers)
// lies in these zeros, on the stack in the 32-bit and the 64-bit calling convention alike.
struct Zeros {
  uintptr_t words[1024];
};
using AnyEntry = IMA_STATUS (*)(IMA_OID, uintptr_t, uintptr_t, uintptr_t, uintptr_t, Zeros);

TEST_F(ImaTest, EveryExportedNameRefusesNullAndTypelessArguments) {
  started("iscsi-lab.json");
  std::ifstream exports(source_path("tests/abi/exports.txt"));
  std::vector<uint8_t> buffer(64 * 1024);
  const auto at = reinterpret_cast<uintptr_t>(buffer.data());
  int called = 0;
  for (std::string name; std::getline(exports, name);) {
    // The lifecycle would stop the plug-in under the test; it is tested on its own.
    if (name.rfind("IMA_", 0) != 0 || name == "IMA_VMW_PluginInit" || name == "IMA_VMW_PluginCleanup") continue;
    const auto call = reinterpret_cast<AnyEntry>(host.symbol(name.c_str()));
    ASSERT_NE(call, nullptr) << name;
    const bool needs_nothing = name == "IMA_VMW_EnableIP";
    EXPECT_EQ(IMA_SUCCESS(call(IMA_OID{}, 0, 0, 0, 0, Zeros{})), needs_nothing || name == "IMA_FreeMemory") << name;
    if (name != "IMA_FreeMemory") {
      EXPECT_EQ(IMA_SUCCESS(call(IMA_OID{}, at, at, at, at, Zeros{})), needs_nothing) << name;
    }
    ++called;
  }
  EXPECT_GT(called, 100);
  EXPECT_EQ(list(ima().IMA_GetPhbaOidList).size(), 4u);   // the plug-in still serves
}

}  // namespace
}  // namespace vxtest
