// The simulated firmware's discovery side: what a discovery-parameters record does to the iSNS
// servers set before it, and the continuation that only generation 5 answers.
#include <cstring>

#include "iscsi/records.h"
#include "sim_support.h"

namespace simtest {
namespace {

// Sets the discovery parameters of the lab's first generation-5 function: flags and servers given.
void set_params(uint16_t flags, uint32_t servers) {
  Request r = command(29, 2, vx::kDiscoveryParamsSize);
  std::memcpy(r.payload() + vx::kDiscoveryParamsFlags, &flags, 2);
  std::memcpy(r.payload() + vx::kDiscoveryParamsServerCount, &servers, 4);
  for (uint32_t n = 0; n < servers; ++n) r.payload()[vx::kDiscoveryParamsServers + n * vx::kIsnsServerEntrySize + 3] = 1;
  ASSERT_EQ(send(iscsi_path(2), r), 0);
  ASSERT_EQ(r.status(), 0);
}

uint32_t servers_now() {
  Request r = command(28, 2, vx::kDiscoveryParamsSize);
  if (send(iscsi_path(2), r) != 0 || r.status() != 0) return 99;
  return r.u32(vx::kDiscoveryParamsServerCount);
}

TEST_F(SimTest, discovery_parameters_keep_their_servers_unless_the_record_says_where_new_ones_come_from) {
  load_example("iscsi-lab.json");
  const struct {
    uint16_t flags;
    uint32_t servers;
    uint32_t kept;
  } rows[] = {
      {vx::kIsnsServerByUser, 2, 2},
      {vx::kIsnsEnabled, 0, 2},   // the zeroed record of a target refresh: servers stay
      {0, 3, 2},
      {vx::kIsnsServerByDhcp, 0, 0},
  };
  for (const auto& r : rows) {
    set_params(r.flags, r.servers);
    EXPECT_EQ(servers_now(), r.kept) << "flags " << r.flags;
  }
}

TEST_F(SimTest, the_sendtargets_continuation_is_a_generation_5_command) {
  load_example("iscsi-lab.json");
  for (int node : {0, 2}) {
    Request r = command(34, 6, 64);
    const vx::sendtargets_continuation ask{0, 10, vx::kContinuationKind};
    std::memcpy(r.payload(), &ask, sizeof ask);
    ASSERT_EQ(send(iscsi_path(node), r), 0);
    // Generation 3 does not know it; generation 5 has no SendTargets to go on with yet.
    EXPECT_EQ(r.status(), node == 0 ? 66 : 1) << node;
  }
}

}  // namespace
}  // namespace simtest
