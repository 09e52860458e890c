// The tree's life: shut-down frees it, a new start builds the same tree, a changed set of NIC
// functions rebuilds it at the end of the call that noticed, and the calls of a separate back-end
// client.
#include <algorithm>
#include <fstream>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include "backend/backend.h"
#include "access/backend_state.h"
#include "access/fw_commands.h"
#include "access/platform.h"
#include "access/transport.h"
#include "access/wire.h"
#include "engine/api_lock.h"
#include "schema/session.h"
#include "schema/target.h"
#include "tests/api/startup_fixture.h"

namespace vxtest {
namespace {

bool tags_dense() {
  std::vector<uint32_t> tags;
  collect_tags(0, &tags);
  std::sort(tags.begin(), tags.end());
  for (size_t i = 0; i < tags.size(); ++i) {
    if (tags[i] != i) return false;
  }
  return true;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

TEST_F(StartupTest, ExitFreesEveryAllocation) {
  use_example("two-adapters.json");
  const uint32_t before = vx::varu_alloc_count();
  ASSERT_EQ(start(), 0u);
  EXPECT_GT(vx::varu_alloc_count(), before + 1000);
  stop();
  EXPECT_EQ(vx::varu_alloc_count(), before);
  for (int32_t fd : vx::varu_glob.iscsi_fds) EXPECT_EQ(fd, vx::kNoDescriptor);
  EXPECT_EQ(vx::varu_glob.nic_fds[0], vx::kNoDescriptor);
}

// Shut-down frees the records of the physical HBAs and of the iSCSI side below them (TCP/IP group,
// sessions, connections, LUNs) once each; a group that only points at a physical HBA's record, as
// a port instance does, is left alone.
TEST_F(StartupTest, ExitFreesEachOwnedRecordOnce) {
  use_example("one-adapter.json");
  const uint32_t before = vx::varu_alloc_count();
  ASSERT_EQ(start(), 0u);
  hm_node* phba = vx::get_node(static_cast<int32_t>(tag_at("Vexalon0/iSCSIPhysicalHBA0")));
  hm_node* lhba = vx::get_node(static_cast<int32_t>(tag_at("Vexalon0/iSCSIPhysicalHBA0/LogicalHBA0")));
  hm_node* tcpip = vx::get_node(static_cast<int32_t>(tag_at("Vexalon0/iSCSIPhysicalHBA0/Network/TCPIPConfiguration")));
  hm_node* sharer = vx::get_node(static_cast<int32_t>(tag_at("Vexalon0/Diagnostics")));
  ASSERT_NE(phba, nullptr);
  ASSERT_NE(lhba, nullptr);
  ASSERT_NE(tcpip, nullptr);
  ASSERT_NE(sharer, nullptr);
  hm_node* target = vx::initialize_Target(lhba, nullptr, nullptr, nullptr);
  ASSERT_NE(target, nullptr);
  hm_node* session = vx::initialize_Session(target, nullptr, nullptr, nullptr);
  ASSERT_NE(session, nullptr);
  hm_node* connection = vx::initialize_Connection(session, nullptr, nullptr, nullptr);
  hm_node* lun = vx::initialize_LUN(target, nullptr, nullptr, nullptr);
  ASSERT_NE(connection, nullptr);
  ASSERT_NE(lun, nullptr);
  for (hm_node* owner : {tcpip, session, connection, lun}) {
    if (vx::group_data(owner)->backend_info == nullptr) vx::group_data(owner)->backend_info = vx::varu_dcalloc(16);
  }
  vx::group_data(sharer)->backend_info = vx::group_data(phba)->backend_info;
  stop();
  EXPECT_EQ(vx::varu_alloc_count(), before);
}

TEST_F(StartupTest, SecondStartBuildsTheSameTree) {
  use_example("two-adapters.json");
  ASSERT_EQ(start(), 0u);
  const std::string first = tree_text();
  stop();
  ASSERT_EQ(start(), 0u);
  EXPECT_EQ(tree_text(), first);
}

TEST_F(StartupTest, ChangedNicFunctionsRebuildTheTreeWhenTheCallEnds) {
  use_example("two-adapters.json");
  ASSERT_EQ(start(), 0u);
  const uint32_t gone = tag_at("Vexalon1/NICPhysicalHBA1");
  ASSERT_NE(gone, kMissing);
  const std::string adapter0 = tree_text(tag_at("Vexalon0"), "", false);

  ASSERT_EQ(sim_.set_nic_functions(1, 0, 1), 0);   // the second adapter keeps only vmnic2
  sim_.journal_clear();
  uint32_t inside = 0;
  bool still_there = false;
  vx::public_call("test", vx::CallNeeds::kTree, vx::StatusReset::kClear, [&]() -> uint32_t {
    uint8_t record[540] = {};
    inside = vx::ioctl_fetch_controller_attribs(1, record, 0, 0, vx::kProtocolNic);
    // The caller's nodes stay valid until its call ends.
    hm_node* node = vx::get_node(static_cast<int32_t>(gone));
    still_there = node != nullptr && std::string(node->name) == "NICPhysicalHBA";
    return 0;
  });
  EXPECT_EQ(inside, 1u) << "the NIC command that noticed the change fails";
  EXPECT_TRUE(still_there);

  // The command itself never reached the driver: the first NIC command comes from the rebuild.
  std::vector<vxsim_journal_entry> journal;
  for (int i = 0; i < sim_.journal_count(); ++i) {
    vxsim_journal_entry e{};
    sim_.journal_get(i, &e);
    journal.push_back(e);
  }
  ASSERT_FALSE(journal.empty());
  EXPECT_EQ(journal[0].request, vx::wire::kNicChipInfo);
  auto first_iscsi = std::find_if(journal.begin(), journal.end(),
                                  [](const vxsim_journal_entry& e) { return e.request == vx::wire::kIscsiFirmwareCommand; });
  auto first_nic = std::find_if(journal.begin(), journal.end(),
                                [](const vxsim_journal_entry& e) { return e.request == vx::wire::kNicFirmwareCommand; });
  EXPECT_LT(first_iscsi - journal.begin(), first_nic - journal.begin());

  EXPECT_EQ(tag_at("VARUServiceVersion", VARU_KIND_PROPERTY), 1u);
  EXPECT_EQ(tag_at("VARUDebugLevel", VARU_KIND_PROPERTY), 3u);
  EXPECT_EQ(phbas_of("Vexalon1"), (Strings{"iSCSIPhysicalHBA0", "iSCSIPhysicalHBA1", "NICPhysicalHBA0"}));
  EXPECT_EQ(tree_text(tag_at("Vexalon0"), "", false), adapter0) << "adapter 0 is rebuilt the same";
  EXPECT_TRUE(tags_dense()) << "every other tag renumbered from 4";
  EXPECT_EQ(vx::varu_glob.nic_function_count, 3);
}

TEST_F(StartupTest, ClientInitWithoutChangeKeepsTheTree) {
  use_example("two-adapters.json");
  ASSERT_EQ(start(), 0u);
  const std::string before = tree_text();
  sim_.journal_clear();
  EXPECT_EQ(backend_client_init(2), 0u);
  EXPECT_EQ(sim_.journal_count(), 0) << "mode 2 does nothing";
  EXPECT_EQ(backend_client_init(0), 0u);
  EXPECT_EQ(tree_text(), before);
  EXPECT_EQ(VARU_backend_client_bdf(1), 0u);
  EXPECT_EQ(VARU_backend_client_bdf(2), 0u);
  EXPECT_EQ(VARU_backend_client_bdf(3), 0u);
}

TEST_F(StartupTest, ClientInitRebuildsAfterTheNicFunctionsChanged) {
  use_example("two-adapters.json");
  ASSERT_EQ(start(), 0u);
  ASSERT_EQ(sim_.set_nic_functions(0, 0, 1), 0);
  EXPECT_EQ(backend_client_init(0), 0u);
  EXPECT_EQ(phbas_of("Vexalon0"), (Strings{"iSCSIPhysicalHBA0", "iSCSIPhysicalHBA1", "NICPhysicalHBA0"}));
  EXPECT_EQ(phbas_of("Vexalon1").size(), 4u);
  EXPECT_TRUE(tags_dense());
}

TEST_F(StartupTest, ClientInitRebuildsAfterTheAdapterWasReplaced) {
  // Same slots, another adapter: the serial number tells.
  std::string json = read_file(source_path("examples/two-adapters.json"));
  use_config_text(json);
  ASSERT_EQ(start(), 0u);
  json.replace(json.find("BL3202A0001"), 11, "BL3202A0099");
  root_.write("/cfg/adapters.json", json);
  ASSERT_EQ(sim_.reset(), 0);
  EXPECT_EQ(backend_client_init(0), 0u);
  EXPECT_EQ(value_at("Vexalon0/SerialNumber"), "BL3202A0099");
  EXPECT_EQ(VARU_backend_client_bdf(1), 0u);
}

struct BdfRow {
  const char* property;   // under Vexalon0, or its first iSCSI physical HBA's PCI group
  const char* value;
  uint32_t want;
};

TEST_F(StartupTest, ClientBdfComparesBusAndSerialNumber) {
  const BdfRow rows[] = {
      {"Vexalon0/iSCSIPhysicalHBA0/PCI/BusNumber", "0x9", 1},
      {"Vexalon0/SerialNumber", "OTHER", 1},
      {"Vexalon0/SerialNumber", "n/a", 0},              // no usable serial: nothing compared
      {"Vexalon0/iSCSIPhysicalHBA0/PCI/FunctionNumber", "0x7", 0},   // only logged
  };
  use_example("two-adapters.json");
  ASSERT_EQ(start(), 0u);
  for (const BdfRow& row : rows) {
    SCOPED_TRACE(row.property);
    hm_property* data =
        vx::property_data(vx::get_node(static_cast<int32_t>(tag_at(row.property, VARU_KIND_PROPERTY))));
    ASSERT_NE(data, nullptr);
    const std::string saved = data->value;
    std::snprintf(data->value, sizeof data->value, "%s", row.value);
    EXPECT_EQ(VARU_backend_client_bdf(1), row.want);
    std::snprintf(data->value, sizeof data->value, "%s", saved.c_str());
  }
}

TEST_F(StartupTest, ClientInitWithoutAnyFunctionReportsNoController) {
  use_config_text("{\"adapters\": []}");
  ASSERT_EQ(start(), 0u);
  uint32_t code = 0;
  char text[VARU_STATUS_TEXT_SIZE] = "";
  EXPECT_EQ(backend_client_init(0), 1u);
  VARU_get_last_status(&code, text);
  EXPECT_EQ(code, 18u);
  EXPECT_STREQ(text, "System has no controller.");
}

// A NIC driver whose function count changes at every look.
int (*g_real_ioctl)(int, unsigned long, void*) = nullptr;
int g_inventory_calls = 0;

int flapping_ioctl(int fd, unsigned long request, void* arg) {
  int rc = g_real_ioctl(fd, request, arg);
  if (rc == 0 && request == vx::wire::kNicChipInfo && (g_inventory_calls++ % 2) == 0) {
    auto* record = static_cast<vx::wire::ChipInfoRecord*>(arg);
    if (record->count > 0 && record->records[0].function_count > 0) --record->records[0].function_count;
  }
  return rc;
}

TEST_F(StartupTest, ClientInitGivesUpOnFunctionsThatKeepChanging) {
  log_level(6);
  use_example("two-adapters.json");
  ASSERT_EQ(start(), 0u);
  g_real_ioctl = vx::host_ops().ioctl;
  vx::ScopedHostOp<int (*)(int, unsigned long, void*)> swap(&vx::HostOps::ioctl, flapping_ioctl);
  EXPECT_EQ(backend_client_init(0), 1u);
  EXPECT_NE(log().find("backend_client_init:There is a change in VARU NIC hierarchy.\n"), std::string::npos);
  EXPECT_NE(log().find("gave up after 3 rebuilds"), std::string::npos);
}

TEST_F(StartupTest, ClientExitClosesTheDevicesOnlyInModeZero) {
  use_example("one-adapter.json");
  ASSERT_EQ(start(), 0u);
  backend_client_exit(1);
  EXPECT_NE(vx::varu_glob.iscsi_fds[0], vx::kNoDescriptor);
  backend_client_exit(0);
  for (int32_t fd : vx::varu_glob.iscsi_fds) EXPECT_EQ(fd, vx::kNoDescriptor);
  // A client that comes back opens them again.
  EXPECT_EQ(backend_client_init(0), 0u);
  EXPECT_NE(vx::varu_glob.iscsi_fds[0], vx::kNoDescriptor);
  EXPECT_EQ(value_at("Vexalon0/iSCSIPhysicalHBA0/PCI/BusNumber"), "0x3");
}

}  // namespace
}  // namespace vxtest
