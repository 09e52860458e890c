// Handlers whose behaviour is not built yet. Each answers 149 "This Operation is not supported."
// on use; the list shrinks as the handlers move to their own files.
#include "schema/pending.h"

#include "engine/messages.h"

namespace vx {
namespace {

uint32_t not_supported() { return fail(149, "%s", msg::kOperationNotSupported); }

}  // namespace

uint32_t do_AddApplicationTLV(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
uint32_t do_Beacon(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
uint32_t do_ClearCounters(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
uint32_t do_ClearEventLog(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
uint32_t do_ClearFATData(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
uint32_t do_ConfigurePGSettings(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
uint32_t do_DeleteApplicationTLV(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
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
uint32_t handle_10GbaseT_properties(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_10baseT_nvpvalue(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_BeaconState(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_ControllerStatus(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_ControllerType(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_DCBXMode(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_DCBXState(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_EnabledCapabilities(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_FATDataValid(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_FCoEWWPN(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_FFVName(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_LLDP_properties(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_LinkTechnology(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_MaxSupportedController(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_PCIExpressBusWidth(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_PCIExpressLinkSpeed(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_PHYType(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_PhysicalLinkStatus(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_PortControllerName(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_PortState(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_ProtocolIfType(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_ProtocolSupported(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_RebootRequired(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_TXThrottle(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_Vexalon_NICPhysicalHBA_CIM_Capabilities(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_app_feature_vars(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_apptlv_feature_vars(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_bwg_props(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_current_mode_properties(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_dcbx_port_vars(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_dcbx_stats_props(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_flow_control_properties(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_fru_vpd_data(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_get_link_speed_properties(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_get_ncsi_version(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_lldp_stats_props(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_ncsi_dynamic_configuration(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_ncsi_static_configuration(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_nic_MTUSize(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_over_temperature(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_pfc_feature_vars(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_pg15_membership(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_pg_feature_vars(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_update_qcn_props(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_vx_controller_additional_properties(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_vx_controller_properties(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_vx_temperature(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t group_AdministratorTLVSetting(hm_node*) { return not_supported(); }
uint32_t group_OperationalTLVSettings(hm_node*) { return not_supported(); }
uint32_t group_PeerTLVSetting(hm_node*) { return not_supported(); }

// ---- start-up steps -------------------------------------------------------------------------------
uint32_t VARU_get_all_eventlog(hm_node*) { return not_supported(); }
uint32_t VARU_extfat_modules(hm_node*) { return not_supported(); }
uint32_t VARU_get_ncsi_attributes(int32_t, int32_t, hm_node*, hm_node*, uint32_t, uint32_t) { return not_supported(); }

const PendingHandler kPendingHandlers[] = {
    {"do_AddApplicationTLV", reinterpret_cast<const void*>(&do_AddApplicationTLV)},
    {"do_Beacon", reinterpret_cast<const void*>(&do_Beacon)},
    {"do_ClearCounters", reinterpret_cast<const void*>(&do_ClearCounters)},
    {"do_ClearEventLog", reinterpret_cast<const void*>(&do_ClearEventLog)},
    {"do_ClearFATData", reinterpret_cast<const void*>(&do_ClearFATData)},
    {"do_ConfigurePGSettings", reinterpret_cast<const void*>(&do_ConfigurePGSettings)},
    {"do_DeleteApplicationTLV", reinterpret_cast<const void*>(&do_DeleteApplicationTLV)},
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
    {"group_AdministratorTLVSetting", reinterpret_cast<const void*>(&group_AdministratorTLVSetting)},
    {"group_OperationalTLVSettings", reinterpret_cast<const void*>(&group_OperationalTLVSettings)},
    {"group_PeerTLVSetting", reinterpret_cast<const void*>(&group_PeerTLVSetting)},
    {"handle_10GbaseT_properties", reinterpret_cast<const void*>(&handle_10GbaseT_properties)},
    {"handle_10baseT_nvpvalue", reinterpret_cast<const void*>(&handle_10baseT_nvpvalue)},
    {"handle_BeaconState", reinterpret_cast<const void*>(&handle_BeaconState)},
    {"handle_ControllerStatus", reinterpret_cast<const void*>(&handle_ControllerStatus)},
    {"handle_ControllerType", reinterpret_cast<const void*>(&handle_ControllerType)},
    {"handle_DCBXMode", reinterpret_cast<const void*>(&handle_DCBXMode)},
    {"handle_DCBXState", reinterpret_cast<const void*>(&handle_DCBXState)},
    {"handle_EnabledCapabilities", reinterpret_cast<const void*>(&handle_EnabledCapabilities)},
    {"handle_FATDataValid", reinterpret_cast<const void*>(&handle_FATDataValid)},
    {"handle_FCoEWWPN", reinterpret_cast<const void*>(&handle_FCoEWWPN)},
    {"handle_FFVName", reinterpret_cast<const void*>(&handle_FFVName)},
    {"handle_LLDP_properties", reinterpret_cast<const void*>(&handle_LLDP_properties)},
    {"handle_LinkTechnology", reinterpret_cast<const void*>(&handle_LinkTechnology)},
    {"handle_MaxSupportedController", reinterpret_cast<const void*>(&handle_MaxSupportedController)},
    {"handle_PCIExpressBusWidth", reinterpret_cast<const void*>(&handle_PCIExpressBusWidth)},
    {"handle_PCIExpressLinkSpeed", reinterpret_cast<const void*>(&handle_PCIExpressLinkSpeed)},
    {"handle_PHYType", reinterpret_cast<const void*>(&handle_PHYType)},
    {"handle_PhysicalLinkStatus", reinterpret_cast<const void*>(&handle_PhysicalLinkStatus)},
    {"handle_PortControllerName", reinterpret_cast<const void*>(&handle_PortControllerName)},
    {"handle_PortState", reinterpret_cast<const void*>(&handle_PortState)},
    {"handle_ProtocolIfType", reinterpret_cast<const void*>(&handle_ProtocolIfType)},
    {"handle_ProtocolSupported", reinterpret_cast<const void*>(&handle_ProtocolSupported)},
    {"handle_RebootRequired", reinterpret_cast<const void*>(&handle_RebootRequired)},
    {"handle_TXThrottle", reinterpret_cast<const void*>(&handle_TXThrottle)},
    {"handle_Vexalon_NICPhysicalHBA_CIM_Capabilities", reinterpret_cast<const void*>(&handle_Vexalon_NICPhysicalHBA_CIM_Capabilities)},
    {"handle_app_feature_vars", reinterpret_cast<const void*>(&handle_app_feature_vars)},
    {"handle_apptlv_feature_vars", reinterpret_cast<const void*>(&handle_apptlv_feature_vars)},
    {"handle_bwg_props", reinterpret_cast<const void*>(&handle_bwg_props)},
    {"handle_current_mode_properties", reinterpret_cast<const void*>(&handle_current_mode_properties)},
    {"handle_dcbx_port_vars", reinterpret_cast<const void*>(&handle_dcbx_port_vars)},
    {"handle_dcbx_stats_props", reinterpret_cast<const void*>(&handle_dcbx_stats_props)},
    {"handle_flow_control_properties", reinterpret_cast<const void*>(&handle_flow_control_properties)},
    {"handle_fru_vpd_data", reinterpret_cast<const void*>(&handle_fru_vpd_data)},
    {"handle_get_link_speed_properties", reinterpret_cast<const void*>(&handle_get_link_speed_properties)},
    {"handle_get_ncsi_version", reinterpret_cast<const void*>(&handle_get_ncsi_version)},
    {"handle_lldp_stats_props", reinterpret_cast<const void*>(&handle_lldp_stats_props)},
    {"handle_ncsi_dynamic_configuration", reinterpret_cast<const void*>(&handle_ncsi_dynamic_configuration)},
    {"handle_ncsi_static_configuration", reinterpret_cast<const void*>(&handle_ncsi_static_configuration)},
    {"handle_nic_MTUSize", reinterpret_cast<const void*>(&handle_nic_MTUSize)},
    {"handle_over_temperature", reinterpret_cast<const void*>(&handle_over_temperature)},
    {"handle_pfc_feature_vars", reinterpret_cast<const void*>(&handle_pfc_feature_vars)},
    {"handle_pg15_membership", reinterpret_cast<const void*>(&handle_pg15_membership)},
    {"handle_pg_feature_vars", reinterpret_cast<const void*>(&handle_pg_feature_vars)},
    {"handle_update_qcn_props", reinterpret_cast<const void*>(&handle_update_qcn_props)},
    {"handle_vx_controller_additional_properties", reinterpret_cast<const void*>(&handle_vx_controller_additional_properties)},
    {"handle_vx_controller_properties", reinterpret_cast<const void*>(&handle_vx_controller_properties)},
    {"handle_vx_temperature", reinterpret_cast<const void*>(&handle_vx_temperature)},
};
const size_t kPendingHandlerCount = sizeof kPendingHandlers / sizeof kPendingHandlers[0];

}  // namespace vx
