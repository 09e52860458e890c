// The simulated firmware's discovery side: the continuation that only generation 5 answers.
#include <cstring>

#include "iscsi/records.h"
#include "sim_support.h"

namespace simtest {
namespace {

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
