// Name of every handler the schema tables may install, for the listing comparison.
#include "unit/schema/listing.h"

#include "schema/handlers.h"

namespace vxtest {

#define H(f) {#f, reinterpret_cast<const void*>(&vx::f)},

const std::vector<HandlerName>& handler_names() {
  static const std::vector<HandlerName> names = {
    {"cache", reinterpret_cast<const void*>(&vx::handle_internal_property)},
    H(do_AddARPTableEntry) H(do_AddRouteTableEntry) H(do_AddSendTargetPortal) H(do_AddTarget) H(do_AddTargetPortal)
    H(do_AutoAssignDisable) H(do_AutoAssignEnable) H(do_ClearEventLog) H(do_ClearFATData) H(do_ConfigureCHAP)
    H(do_ConfigureChannelManagement) H(do_ConfigureIPAddress) H(do_ConfigureIPv6Address) H(do_ConfigureVLAN)
    H(do_ConfigureiSNSServer) H(do_DHCPDisable) H(do_DHCPEnable) H(do_DeleteARPTableEntry) H(do_DeleteCHAP)
    H(do_DeleteDefaultGateway) H(do_DeleteDefaultIPv6Gateway) H(do_DeleteRouteTableEntry) H(do_DeleteSendTargetPortal)
    H(do_DeleteTarget) H(do_DeleteTargetPortal) H(do_DeleteiSNSServer) H(do_DisableLoggingOnAllModules)
    H(do_DiscoverTargets) H(do_DiscoveryiSNSThruDHCP) H(do_DumpNICPCIConfigRegion) H(do_DumpiSCSIPCIConfigRegion)
    H(do_EnableLoggingOnAllModules) H(do_EnterLoopBackMode) H(do_EraseAllConfiguration) H(do_EraseConfiguration)
    H(do_EraseNICConfiguration) H(do_ExitLoopBackMode) H(do_HostToDDRDMATest) H(do_Login) H(do_Logout)
    H(do_NICPhysicalHBA_NetworkBootConfiguration_ConfigureVLAN) H(do_NetworkLoopBackTest) H(do_Ping) H(do_ReScanLUNS)
    H(do_RefreshARPTableEntry) H(do_RefreshAvailableTargets) H(do_RefreshEventLog) H(do_RefreshNICConfig)
    H(do_RefreshRouteTableEntry) H(do_RetrieveARMLog) H(do_RetrieveBrightlaneCoreDump) H(do_RetrieveFATData)
    H(do_RetrieveFwCliData) H(do_SCSIWrite) H(do_SaveProfile) H(do_SetDefaultLoggingConfiguration)
    H(do_SetFactoryDefaults) H(do_SetLinkConfigFactoryDefaults) H(do_SetLinkConfigID) H(do_SetMaxFunctionNumber)
    H(do_SetNetworkBoot) H(do_SetPersonality) H(do_SetProfileId) H(do_StdInquiry) H(do_UpgradeFlashROM)
    H(do_VLANDisable) H(group_Discovery) H(group_LUN) H(group_NICPhysicalHBA) H(group_Session) H(group_Target)
    H(group_iSNS) H(handle_AdvancedMode) H(handle_AvailableNetworkBootMethods) H(handle_ChannelManagement_details)
    H(handle_ConfiguredLinkConfigID) H(handle_ConfiguredPersonality) H(handle_ConfiguredProfile_ProfileId)
    H(handle_ControllerStatus) H(handle_ControllerType) H(handle_DefaultGateway) H(handle_DefaultIPv6Gateway)
    H(handle_EnabledCapabilities) H(handle_FATDataValid) H(handle_FFVName) H(handle_IPLMaxFunctionNumber)
    H(handle_IPv6State) H(handle_InitiatorLinkLocalAddress) H(handle_InitiatorRoutableAddress) H(handle_IsRoCEEnabled)
    H(handle_LUNName) H(handle_LUNNumber) H(handle_LinkStatus) H(handle_LinkTechnology) H(handle_MaxBytesPerSecond)
    H(handle_MaxFunctionNumber) H(handle_MaxFunctionsPerPort) H(handle_MaxIosPerSecond)
    H(handle_MaxSupportedController) H(handle_NICPhysicalHBA_MACAddress) H(handle_NICPhysicalHBA_PermanentMACAddress)
    H(handle_NICPhysicalHBA_SRIOVState) H(handle_NICprop) H(handle_NodeAttr_properties) H(handle_PCIExpressBusWidth)
    H(handle_PCIExpressLinkSpeed) H(handle_PortControllerName) H(handle_ProtocolIfType) H(handle_ProtocolSupported)
    H(handle_RebootRequired) H(handle_SettableMaxFunctionNumber) H(handle_SsnAttr_properties)
    H(handle_StdInquiry_properties) H(handle_SupportedMCTypes) H(handle_TargetAlias) H(handle_Target_ETO)
    H(handle_VEPAState) H(handle_Vexalon_NICPhysicalHBA_CIM_Capabilities) H(handle_VolatileMACAddress)
    H(handle_activeport) H(handle_authentication_initiator_loginoptions) H(handle_authentication_stploginoptions)
    H(handle_authentication_target_loginopts) H(handle_boot_session) H(handle_connection_properties)
    H(handle_discoveryparams) H(handle_fru_vpd_data) H(handle_get_ncsi_version) H(handle_iSCSIBIOSEnable)
    H(handle_iSCSIPhysicalHBA_LogicalHBA_Enabled) H(handle_iSCSIPhysicalHBA_Network_NICConfiguration_MACAddress)
    H(handle_iSCSIPhysicalHBA_Network_NICConfiguration_PermanentMACAddress) H(handle_initiator_loginoptions)
    H(handle_intrInstStat_properties) H(handle_intrLoginStat_properties) H(handle_iscsi_bandwidth_softcap)
    H(handle_iscsi_vnic_name_props) H(handle_iscsi_vnic_stats) H(handle_logical_link_status) H(handle_lun_block_size)
    H(handle_name_params) H(handle_ncsi_static_configuration) H(handle_networkboot_config) H(handle_nic_MTUSize)
    H(handle_nic_bandwidth_softcap) H(handle_nic_logical_link_status) H(handle_nic_vnic_name_props)
    H(handle_nic_vnic_stats) H(handle_niclogicalhba_macaddress) H(handle_niclogicalhba_txrate)
    H(handle_niclogicalhba_vlanid) H(handle_portspeed) H(handle_session_properties) H(handle_stploginoptions)
    H(handle_target_loginoptions) H(handle_target_type) H(handle_tcpip_properties) H(handle_vlan_properties)
    H(handle_vx_controller_additional_properties) H(handle_vx_controller_properties) H(handle_vx_temperature)
    H(handle_AProf_SRIOVState) H(handle_AvailableProtocols) H(handle_CProf_SRIOVState)
    H(handle_ConfiguredProfile_Port_Function_Protocol) H(handle_ConfiguredProfile_Port_MCType)
    H(handle_current_mode_properties) H(handle_ncsi_dynamic_configuration)
  };
  return names;
}

#undef H

}  // namespace vxtest
