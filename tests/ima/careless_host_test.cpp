// Every IMA name the plug-in exports (the checked-in export list), called as a careless host might:
// first with no object type and NULL for every pointer, then with the same identifier and valid
// buffers. Each answers with a refusal (but for the two that need nothing) and the process goes on.
#include <fstream>

#include "tests/ima/ima_fixture.h"

namespace vxtest {
namespace {

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
