// Every entry point that takes an identifier, given NULL, every object type, nodes of the wrong
// kind, stray handles and another owner's identifiers: its IMA error, nothing written past the
// record, and the record cleared or untouched as the entry point promises.
#include "tests/ima/ima_fixture.h"

namespace vxtest {
namespace {

struct EntryRow {
  const char* name;
  uint32_t types;       // mask of accepted object types
  size_t record_size;   // 0: no out record
  bool clears;          // a refused identifier leaves the record cleared, else untouched
  IMA_STATUS (*call)(const imahost::EntryPoints&, IMA_OID, void* record);
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
   [](const E& e, IMA_OID o, void* r) { return listed(e, e.fn(o, static_cast<IMA_OID_LIST**>(r)), r); }}
#define RECORD_ROW(fn, Record, clears, ...) \
  {#fn, mask({__VA_ARGS__}), sizeof(Record), clears, [](const E& e, IMA_OID o, void* r) { return e.fn(o, static_cast<Record*>(r)); }}
#define CALL_ROW(fn, args, ...) {#fn, mask({__VA_ARGS__}), 0, false, [](const E& e, IMA_OID o, void*) { return e.fn args; }}

const IMA_WCHAR kName[] = {'i', 'q', 'n', '.', 'x', 0};

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
};

TEST_F(BadInputTest, EveryIdentifierCheckGivesItsError) {
  started();
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
        const IMA_STATUS status = call(row, oid(type, tag));
        const bool fits = (node.types & (1u << type)) != 0;
        EXPECT_EQ(identifier_refused(status), !fits) << row.name << " type " << type << " " << node.path;
        if (fits) {
          EXPECT_EQ(call(row, oid(type, tag, kOwner + 1)), IMA_ERROR_OBJECT_NOT_FOUND) << row.name;
        }
      }
      for (int32_t stray : {-1, -77, 1 << 30}) EXPECT_EQ(call(row, oid(type, stray)), IMA_ERROR_OBJECT_NOT_FOUND);
    }
  }
}

TEST_F(BadInputTest, NullRecordsAreRefused) {
  started();
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

}  // namespace
}  // namespace vxtest
