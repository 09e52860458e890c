// Handlers whose behaviour is not built yet. Each answers 149 "This Operation is not supported."
// on use; the list shrinks as the handlers move to their own files.
#include "schema/pending.h"

#include "engine/messages.h"

namespace vx {
namespace {

uint32_t not_supported() { return fail(149, "%s", msg::kOperationNotSupported); }

}  // namespace

uint32_t do_ConfigureQoS(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
uint32_t do_EraseNICConfiguration(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
uint32_t do_NICPhysicalHBA_NetworkBootConfiguration_ConfigureVLAN(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
uint32_t do_RefreshNICConfig(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
uint32_t do_SaveProfile(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
uint32_t do_SetNetworkBoot(hm_node*, hm_node*, char[6][256]) { return not_supported(); }
uint32_t handle_AProf_SRIOVState(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_AdvancedMode(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_AvailableNetworkBootMethods(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_LPVID(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_LinkStatus(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_LogicalLinkState(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_MaxBandWidth(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_MinBandWidth(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_NICPhysicalHBA_MACAddress(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_NICPhysicalHBA_PermanentMACAddress(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_NICPhysicalHBA_SRIOVState(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_VEPAState(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_VolatileMACAddress(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_channel_outer_vlan(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_channel_vnic_name(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_iSCSIBIOSEnable(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_iSCSIPhysicalHBA_Network_NICConfiguration_PermanentMACAddress(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_iscsi_bandwidth_softcap(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_iscsi_vnic_name_props(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_iscsi_vnic_stats(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_networkboot_config(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_nic_bandwidth_softcap(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_nic_logical_link_status(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_nic_vnic_name_props(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_nic_vnic_stats(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_niclogicalhba_macaddress(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_niclogicalhba_txrate(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_niclogicalhba_vlanid(hm_node*, char*, uint32_t) { return not_supported(); }
uint32_t handle_vlan_properties(hm_node*, char*, uint32_t) { return not_supported(); }

// ---- start-up steps -------------------------------------------------------------------------------

const PendingHandler kPendingHandlers[] = {
    {"do_ConfigureQoS", reinterpret_cast<const void*>(&do_ConfigureQoS)},
    {"do_EraseNICConfiguration", reinterpret_cast<const void*>(&do_EraseNICConfiguration)},
    {"do_NICPhysicalHBA_NetworkBootConfiguration_ConfigureVLAN", reinterpret_cast<const void*>(&do_NICPhysicalHBA_NetworkBootConfiguration_ConfigureVLAN)},
    {"do_RefreshNICConfig", reinterpret_cast<const void*>(&do_RefreshNICConfig)},
    {"do_SaveProfile", reinterpret_cast<const void*>(&do_SaveProfile)},
    {"do_SetNetworkBoot", reinterpret_cast<const void*>(&do_SetNetworkBoot)},
    {"handle_AProf_SRIOVState", reinterpret_cast<const void*>(&handle_AProf_SRIOVState)},
    {"handle_AdvancedMode", reinterpret_cast<const void*>(&handle_AdvancedMode)},
    {"handle_AvailableNetworkBootMethods", reinterpret_cast<const void*>(&handle_AvailableNetworkBootMethods)},
    {"handle_LPVID", reinterpret_cast<const void*>(&handle_LPVID)},
    {"handle_LinkStatus", reinterpret_cast<const void*>(&handle_LinkStatus)},
    {"handle_LogicalLinkState", reinterpret_cast<const void*>(&handle_LogicalLinkState)},
    {"handle_MaxBandWidth", reinterpret_cast<const void*>(&handle_MaxBandWidth)},
    {"handle_MinBandWidth", reinterpret_cast<const void*>(&handle_MinBandWidth)},
    {"handle_NICPhysicalHBA_MACAddress", reinterpret_cast<const void*>(&handle_NICPhysicalHBA_MACAddress)},
    {"handle_NICPhysicalHBA_PermanentMACAddress", reinterpret_cast<const void*>(&handle_NICPhysicalHBA_PermanentMACAddress)},
    {"handle_NICPhysicalHBA_SRIOVState", reinterpret_cast<const void*>(&handle_NICPhysicalHBA_SRIOVState)},
    {"handle_VEPAState", reinterpret_cast<const void*>(&handle_VEPAState)},
    {"handle_VolatileMACAddress", reinterpret_cast<const void*>(&handle_VolatileMACAddress)},
    {"handle_channel_outer_vlan", reinterpret_cast<const void*>(&handle_channel_outer_vlan)},
    {"handle_channel_vnic_name", reinterpret_cast<const void*>(&handle_channel_vnic_name)},
    {"handle_iSCSIBIOSEnable", reinterpret_cast<const void*>(&handle_iSCSIBIOSEnable)},
    {"handle_iSCSIPhysicalHBA_Network_NICConfiguration_PermanentMACAddress", reinterpret_cast<const void*>(&handle_iSCSIPhysicalHBA_Network_NICConfiguration_PermanentMACAddress)},
    {"handle_iscsi_bandwidth_softcap", reinterpret_cast<const void*>(&handle_iscsi_bandwidth_softcap)},
    {"handle_iscsi_vnic_name_props", reinterpret_cast<const void*>(&handle_iscsi_vnic_name_props)},
    {"handle_iscsi_vnic_stats", reinterpret_cast<const void*>(&handle_iscsi_vnic_stats)},
    {"handle_networkboot_config", reinterpret_cast<const void*>(&handle_networkboot_config)},
    {"handle_nic_bandwidth_softcap", reinterpret_cast<const void*>(&handle_nic_bandwidth_softcap)},
    {"handle_nic_logical_link_status", reinterpret_cast<const void*>(&handle_nic_logical_link_status)},
    {"handle_nic_vnic_name_props", reinterpret_cast<const void*>(&handle_nic_vnic_name_props)},
    {"handle_nic_vnic_stats", reinterpret_cast<const void*>(&handle_nic_vnic_stats)},
    {"handle_niclogicalhba_macaddress", reinterpret_cast<const void*>(&handle_niclogicalhba_macaddress)},
    {"handle_niclogicalhba_txrate", reinterpret_cast<const void*>(&handle_niclogicalhba_txrate)},
    {"handle_niclogicalhba_vlanid", reinterpret_cast<const void*>(&handle_niclogicalhba_vlanid)},
    {"handle_vlan_properties", reinterpret_cast<const void*>(&handle_vlan_properties)},
};
const size_t kPendingHandlerCount = sizeof kPendingHandlers / sizeof kPendingHandlers[0];

}  // namespace vx
