// Starting and stopping the plug-in as the host does, the owner id, the front end's log, and the
// entry points that need no hierarchy.
#include <unistd.h>

#include <thread>

#include "tests/ima/ima_fixture.h"

namespace vxtest {
namespace {

TEST_F(ImaTest, InitsAreCountedAndTheLastCleanupStopsTheHierarchy) {
  started();
  start();
  host.stop();
  EXPECT_EQ(list(ima().IMA_GetPhbaOidList).size(), 4u);
  host.stop();
  IMA_OID_LIST* none = nullptr;
  EXPECT_EQ(ima().IMA_GetPhbaOidList(&none), IMA_ERROR_GENERAL);
  EXPECT_EQ(none, nullptr);
  ima().IMA_VMW_PluginCleanup();   // one too many: nothing happens
  start();
  EXPECT_EQ(list(ima().IMA_GetPhbaOidList).size(), 4u);
}

TEST_F(ImaTest, IdentifiersOfAnEarlierOwnerOrAStoppedTreeAreRefused) {
  started();
  const IMA_OID first = list(ima().IMA_GetPhbaOidList).at(0);
  const IMA_OID later = oid(IMA_OBJECT_TYPE_PHBA, static_cast<int32_t>(first.sequenceLow), 9);
  EXPECT_EQ(first.ownerId, kOwner);
  EXPECT_EQ(ima().IMA_VMW_SetMtu(later, 1500), IMA_ERROR_OBJECT_NOT_FOUND);
  start(9);
  EXPECT_EQ(ima().IMA_VMW_SetMtu(first, 1500), IMA_ERROR_OBJECT_NOT_FOUND);
  EXPECT_EQ(ima().IMA_VMW_SetMtu(later, 1500), IMA_ERROR_NOT_SUPPORTED);
  EXPECT_EQ(list(ima().IMA_GetPhbaOidList).at(0).ownerId, 9u);
  host.stop();
  host.stop();
  EXPECT_EQ(ima().IMA_VMW_SetMtu(later, 1500), IMA_ERROR_OBJECT_NOT_FOUND);   // no tree any more
  // Restarted with one adapter: the other adapter's functions are gone.
  start(9);
  const std::vector<IMA_OID> two = list(ima().IMA_GetPhbaOidList);
  host.stop();
  use_example("one-adapter.json");
  start(9);
  ASSERT_EQ(list(ima().IMA_GetPhbaOidList).size(), 2u);
  for (size_t i = 2; i < two.size(); ++i) EXPECT_EQ(ima().IMA_VMW_SetMtu(two[i], 1), IMA_ERROR_OBJECT_NOT_FOUND);
}

TEST_F(ImaTest, StartsAndStopsFromManyThreadsKeepTheCount) {
  use_example("one-adapter.json");
  auto starts_and_stops = [this] {
    for (int i = 0; i < 10; ++i) ima().IMA_VMW_PluginInit(kOwner), ima().IMA_VMW_PluginCleanup();
  };
  std::thread a(starts_and_stops), b(starts_and_stops), c(starts_and_stops);
  a.join(), b.join(), c.join();
  IMA_OID_LIST* none = nullptr;
  EXPECT_EQ(ima().IMA_GetPhbaOidList(&none), IMA_ERROR_GENERAL);   // every start was stopped
  start();
  EXPECT_EQ(list(ima().IMA_GetPhbaOidList).size(), 2u);
}

TEST_F(ImaTest, EntryPointsWithoutHierarchy) {
  Guarded props(sizeof(IMA_PLUGIN_PROPERTIES));
  const IMA_OID any{IMA_OBJECT_TYPE_PLUGIN, 0, 0, 0};
  EXPECT_EQ(ima().IMA_GetPluginProperties(any, nullptr), IMA_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(ima().IMA_GetPluginProperties(any, props.as<IMA_PLUGIN_PROPERTIES>()), IMA_ERROR_NOT_SUPPORTED);
  EXPECT_TRUE(props.all(kPattern));
  EXPECT_EQ(ima().IMA_FreeMemory(nullptr), IMA_STATUS_SUCCESS);
  EXPECT_EQ(ima().IMA_PersistHbaParameters(any), IMA_ERROR_NOT_SUPPORTED);
  EXPECT_EQ(ima().IMA_VMW_SetDebugLevel(6), IMA_ERROR_NOT_SUPPORTED);
  EXPECT_TRUE(host.missing().empty());
}

TEST_F(ImaTest, FirmwareDownloadIsLoggedAndTheLogNeverFollowsALink) {
  started();
  const IMA_WCHAR name[] = {'x', 0};
  const IMA_OID phba = list(ima().IMA_GetPhbaOidList).at(0);
  EXPECT_EQ(ima().IMA_PhbaDownload(oid(IMA_OBJECT_TYPE_LHBA, 1), 5, name), IMA_ERROR_INCORRECT_OBJECT_TYPE);
  root.write("/tmp/ima.log", "");
  EXPECT_EQ(ima().IMA_PhbaDownload(phba, 5, name), IMA_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(ima().IMA_PhbaDownload(phba, 0, name), IMA_ERROR_INVALID_PARAMETER);   // too short a file name
  EXPECT_EQ(log(), " IMA_PhbaDownload 5\n IMA_PhbaDownload 0\nparams in upgrade flash rom is x\n"
                   "after  VARU_do_action  status is 1\nin Error check and failed in VARU\n");
  ASSERT_EQ(::unlink(root.at("/tmp/ima.log").c_str()), 0);
  root.write("/tmp/elsewhere", "kept\n");
  ASSERT_EQ(::symlink(root.at("/tmp/elsewhere").c_str(), root.at("/tmp/ima.log").c_str()), 0);
  ima().IMA_PhbaDownload(phba, 5, name);
  EXPECT_EQ(root.read("/tmp/elsewhere"), "kept\n");
  EXPECT_EQ(ima().IMA_PhbaDownload(phba, 3, wide_repeat(100, 0x1F600).data()), IMA_ERROR_TEXT_CONVERSION);
  EXPECT_NE(ima().IMA_PhbaDownload(phba, 3, imahost::wide_of("/nonexistent/image.ufi").data()), IMA_STATUS_SUCCESS);
  EXPECT_EQ(ima().IMA_VMW_SetMtu(phba, 9000), IMA_ERROR_NOT_SUPPORTED);
}

}  // namespace
}  // namespace vxtest
