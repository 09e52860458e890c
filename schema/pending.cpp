// Handlers whose behaviour is not built yet. Each answers 149 "This Operation is not supported."
// on use; the list shrinks as the handlers move to their own files.
#include "schema/pending.h"

#include "engine/messages.h"

namespace vx {
namespace {

uint32_t not_supported() { return fail(149, "%s", msg::kOperationNotSupported); }

}  // namespace

uint32_t do_Beacon(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
uint32_t do_ClearCounters(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
uint32_t do_ClearEventLog(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
uint32_t do_ClearFATData(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
uint32_t do_DisableLoggingOnAllModules(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
uint32_t do_DumpNICPCIConfigRegion(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
uint32_t do_DumpTransceiverData(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
uint32_t do_DumpiSCSIPCIConfigRegion(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
uint32_t do_EnableLoggingOnAllModules(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
uint32_t do_EnterLoopBackMode(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
uint32_t do_ExitLoopBackMode(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
uint32_t do_HostToDDRDMATest(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
uint32_t do_NetworkLoopBackTest(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
uint32_t do_RefreshEventLog(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
uint32_t do_RetrieveARMLog(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
uint32_t do_RetrieveFATData(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
uint32_t do_RunTDR(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
uint32_t do_SelfTest(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
uint32_t do_SetDefaultLoggingConfiguration(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
uint32_t do_SetPortSpeed(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
uint32_t handle_FATDataValid(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_current_mode_properties(hm_node*, char*, uint32_t) { return not_supported(); }

// ---- start-up steps -------------------------------------------------------------------------------
uint32_t VARU_get_all_eventlog(hm_node*) { return not_supported(); }
uint32_t VARU_extfat_modules(hm_node*) { return not_supported(); }

const PendingHandler kPendingHandlers[] = {
    {"do_Beacon", reinterpret_cast<const void*>(&do_Beacon)},
    {"do_ClearCounters", reinterpret_cast<const void*>(&do_ClearCounters)},
    {"do_ClearEventLog", reinterpret_cast<const void*>(&do_ClearEventLog)},
    {"do_ClearFATData", reinterpret_cast<const void*>(&do_ClearFATData)},
    {"do_DisableLoggingOnAllModules", reinterpret_cast<const void*>(&do_DisableLoggingOnAllModules)},
    {"do_DumpNICPCIConfigRegion", reinterpret_cast<const void*>(&do_DumpNICPCIConfigRegion)},
    {"do_DumpTransceiverData", reinterpret_cast<const void*>(&do_DumpTransceiverData)},
    {"do_DumpiSCSIPCIConfigRegion", reinterpret_cast<const void*>(&do_DumpiSCSIPCIConfigRegion)},
    {"do_EnableLoggingOnAllModules", reinterpret_cast<const void*>(&do_EnableLoggingOnAllModules)},
    {"do_EnterLoopBackMode", reinterpret_cast<const void*>(&do_EnterLoopBackMode)},
    {"do_ExitLoopBackMode", reinterpret_cast<const void*>(&do_ExitLoopBackMode)},
    {"do_HostToDDRDMATest", reinterpret_cast<const void*>(&do_HostToDDRDMATest)},
    {"do_NetworkLoopBackTest", reinterpret_cast<const void*>(&do_NetworkLoopBackTest)},
    {"do_RefreshEventLog", reinterpret_cast<const void*>(&do_RefreshEventLog)},
    {"do_RetrieveARMLog", reinterpret_cast<const void*>(&do_RetrieveARMLog)},
    {"do_RetrieveFATData", reinterpret_cast<const void*>(&do_RetrieveFATData)},
    {"do_RunTDR", reinterpret_cast<const void*>(&do_RunTDR)},
    {"do_SelfTest", reinterpret_cast<const void*>(&do_SelfTest)},
    {"do_SetDefaultLoggingConfiguration", reinterpret_cast<const void*>(&do_SetDefaultLoggingConfiguration)},
    {"do_SetPortSpeed", reinterpret_cast<const void*>(&do_SetPortSpeed)},
    {"handle_FATDataValid", reinterpret_cast<const void*>(&handle_FATDataValid)},
    {"handle_current_mode_properties", reinterpret_cast<const void*>(&handle_current_mode_properties)},
};
const size_t kPendingHandlerCount = sizeof kPendingHandlers / sizeof kPendingHandlers[0];

}  // namespace vx
