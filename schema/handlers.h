// Every handler that the schema tables install, by its final name and signature. The engine
// reaches the rest of the library only through these pointers.
#pragma once

#include "engine/hm.h"

namespace vx {

// Property handlers: (property, 256-byte buffer, 0 get / 1 set).
uint32_t handle_10GbaseT_properties(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_10baseT_nvpvalue(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_AProf_SRIOVState(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_AdvancedMode(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_AvailableNetworkBootMethods(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_AvailableProtocols(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_BeaconState(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_CProf_SRIOVState(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_ChannelManagement_details(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_ConfiguredLinkConfigID(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_ConfiguredPersonality(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_ConfiguredProfile_Port_Function_Protocol(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_ConfiguredProfile_Port_MCType(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_ConfiguredProfile_ProfileId(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_ControllerStatus(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_ControllerType(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_DCBXMode(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_DCBXState(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_DefaultGateway(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_DefaultIPv6Gateway(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_EnabledCapabilities(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_FATDataValid(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_FCoEWWPN(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_FFVName(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_IPLMaxFunctionNumber(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_IPv6State(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_InitiatorLinkLocalAddress(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_InitiatorRoutableAddress(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_IsRoCEEnabled(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_LLDP_properties(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_LPVID(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_LUNName(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_LUNNumber(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_LinkStatus(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_LinkTechnology(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_LogicalLinkState(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_MaxBandWidth(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_MaxBytesPerSecond(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_MaxFunctionNumber(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_MaxFunctionsPerPort(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_MaxIosPerSecond(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_MaxSupportedController(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_MinBandWidth(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_NICPhysicalHBA_MACAddress(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_NICPhysicalHBA_PermanentMACAddress(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_NICPhysicalHBA_SRIOVState(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_NICprop(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_NodeAttr_properties(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_PCIExpressBusWidth(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_PCIExpressLinkSpeed(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_PHYType(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_PhysicalLinkStatus(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_PortControllerName(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_PortState(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_ProtocolIfType(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_ProtocolSupported(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_RebootRequired(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_SettableMaxFunctionNumber(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_SsnAttr_properties(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_StdInquiry_properties(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_SupportedMCTypes(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_TXThrottle(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_TargetAlias(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_Target_ETO(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_VEPAState(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_Vexalon_NICPhysicalHBA_CIM_Capabilities(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_VolatileMACAddress(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_activeport(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_app_feature_vars(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_apptlv_feature_vars(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_authentication_initiator_loginoptions(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_authentication_stploginoptions(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_authentication_target_loginopts(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_boot_session(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_bwg_props(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_channel_outer_vlan(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_channel_vnic_name(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_connection_properties(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_dcbx_port_vars(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_dcbx_stats_props(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_discoveryparams(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_current_mode_properties(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_flow_control_properties(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_fru_vpd_data(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_get_link_speed_properties(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_get_ncsi_version(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_iSCSIBIOSEnable(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_iSCSIPhysicalHBA_LogicalHBA_Enabled(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_iSCSIPhysicalHBA_Network_NICConfiguration_MACAddress(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_iSCSIPhysicalHBA_Network_NICConfiguration_PermanentMACAddress(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_initiator_loginoptions(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_intrInstStat_properties(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_intrLoginStat_properties(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_iscsi_bandwidth_softcap(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_iscsi_vnic_name_props(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_iscsi_vnic_stats(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_lldp_stats_props(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_logical_link_status(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_lun_block_size(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_name_params(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_ncsi_dynamic_configuration(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_ncsi_static_configuration(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_networkboot_config(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_nic_MTUSize(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_nic_bandwidth_softcap(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_nic_logical_link_status(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_nic_vnic_name_props(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_nic_vnic_stats(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_niclogicalhba_macaddress(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_niclogicalhba_txrate(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_niclogicalhba_vlanid(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_over_temperature(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_pfc_feature_vars(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_pg15_membership(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_pg_feature_vars(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_portspeed(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_session_properties(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_stploginoptions(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_target_loginoptions(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_target_type(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_tcpip_properties(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_update_qcn_props(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_vlan_properties(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_vx_controller_additional_properties(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_vx_controller_properties(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_vx_temperature(hm_node* prop, char* buf, uint32_t op);

// Group refresh handlers.
uint32_t group_AdministratorTLVSetting(hm_node* group);
uint32_t group_Discovery(hm_node* group);
uint32_t group_LUN(hm_node* group);
uint32_t group_NICPhysicalHBA(hm_node* group);
uint32_t group_OperationalTLVSettings(hm_node* group);
uint32_t group_PeerTLVSetting(hm_node* group);
uint32_t group_Session(hm_node* group);
uint32_t group_Target(hm_node* group);
uint32_t group_iSNS(hm_node* group);

// Action handlers: run with the API lock held, parameters already checked.
uint32_t do_AddARPTableEntry(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_AddApplicationTLV(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_AddRouteTableEntry(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_AddSendTargetPortal(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_AddTarget(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_AddTargetPortal(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_AutoAssignDisable(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_AutoAssignEnable(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_Beacon(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_ClearCounters(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_ClearEventLog(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_ClearFATData(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_ConfigureCHAP(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_ConfigureChannelManagement(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_ConfigureIPAddress(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_ConfigureIPv6Address(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_ConfigurePGSettings(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_ConfigureQoS(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_ConfigureVLAN(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_ConfigureiSNSServer(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_DHCPDisable(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_DHCPEnable(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_DeleteARPTableEntry(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_DeleteApplicationTLV(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_DeleteCHAP(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_DeleteDefaultGateway(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_DeleteDefaultIPv6Gateway(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_DeleteRouteTableEntry(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_DeleteSendTargetPortal(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_DeleteTarget(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_DeleteTargetPortal(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_DeleteiSNSServer(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_DisableLoggingOnAllModules(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_DiscoverTargets(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_DiscoveryiSNSThruDHCP(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_DumpNICPCIConfigRegion(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_DumpTransceiverData(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_DumpiSCSIPCIConfigRegion(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_EnableLoggingOnAllModules(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_EnterLoopBackMode(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_EraseAllConfiguration(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_EraseConfiguration(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_EraseNICConfiguration(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_ErasePortandDiscoveryConfiguration(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_ExitLoopBackMode(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_HostToDDRDMATest(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_Login(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_Logout(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_NICPhysicalHBA_NetworkBootConfiguration_ConfigureVLAN(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_NetworkLoopBackTest(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_Ping(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_ReScanLUNS(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_RefreshARPTableEntry(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_RefreshAvailableTargets(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_RefreshEventLog(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_RefreshNICConfig(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_RefreshRouteTableEntry(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_RetrieveARMLog(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_RetrieveBrightlaneCoreDump(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_RetrieveFATData(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_RetrieveFwCliData(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_RunTDR(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_SCSIWrite(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_SaveProfile(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_SelfTest(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_SetDefaultLoggingConfiguration(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_SetFactoryDefaults(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_SetLinkConfigFactoryDefaults(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_SetLinkConfigID(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_SetMaxFunctionNumber(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_SetNetworkBoot(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_SetPersonality(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_SetPortSpeed(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_SetProfileId(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_StdInquiry(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_UpgradeFlashROM(hm_node* target, hm_node* action, char params[6][256]);
uint32_t do_VLANDisable(hm_node* target, hm_node* action, char params[6][256]);

// ---- start-up steps -------------------------------------------------------------------------------
// Called by the back end's start-up in this order for every controller, results ignored.
uint32_t VARU_get_all_eventlog(hm_node* controller);
uint32_t VARU_list_available_profiles(hm_node* controller);
uint32_t VARU_get_active_profiles(hm_node* controller);
uint32_t VARU_get_configured_profiles(hm_node* controller);
uint32_t VARU_get_link_reconfig_details(hm_node* controller, uint32_t mode);   // mode 0: start-up
uint32_t VARU_get_port_discovery_config(hm_node* controller);
uint32_t VARU_enummerate_dummy_port_discovery(hm_node* controller);
uint32_t VARU_extfat_modules(hm_node* controller);
uint32_t VARU_get_ncsi_attributes(int32_t handle, int32_t port_number, hm_node* ncsi_group, hm_node* selector_group,
                                  uint32_t domain, uint32_t create);
uint32_t VARU_update_oem_props(hm_node* controller);
uint32_t VARU_update_available_personalities(hm_node* controller);
uint32_t VARU_update_current_personality(hm_node* controller);
uint32_t VARU_update_diagnostics_prop(hm_node* controller);
uint32_t VARU_update_cntr_additional_attribs(hm_node* controller);
// The port tree's channel step: the Channel instances of port `port_index` (a port instance made by
// VARU_get_port_discovery_config) on generations 3 and 5. 0; the read's own status (with 278) when
// the configured profile cannot be read; 1 otherwise.
uint32_t VARU_get_multi_channels_info(uint32_t port_index, hm_node* port);
// The iSCSI restore of each LogicalHBA0, in this order. The keys are "Vexalon<a>",
// "iSCSIPhysicalHBA<p>" and "LogicalHBA0" (256 bytes each).
uint32_t setup_iscsi(hm_node* logical_hba, const char* enabled, hm_node* origin, hm_node* action,
                     char params[6][256]);
uint32_t VARU_set_ini_loginopts_prop(hm_node* logical_hba, char* adapter_key, char* phba_key, char* lhba_key);
uint32_t VARU_set_target_loginopts_prop(char* adapter_key, char* phba_key, char* lhba_key, hm_node* logical_hba);
uint32_t VARU_set_stp_loginopts_prop(char* adapter_key, char* phba_key, char* lhba_key, hm_node* logical_hba);
uint32_t get_all_isns(hm_node* phba, int32_t port, int32_t domain, int32_t phba_port, hm_node* isns_group,
                      hm_node* action, char params[6][256]);
// Re-initialisation of a separate back-end client: refreshes the iSCSI targets.
uint32_t VARU_refresh_backend_client_iscsi_tgts();
// Start-up check of the saved-target and send-target-portal files.
uint32_t VARU_check_for_corrupted_database();

}  // namespace vx
