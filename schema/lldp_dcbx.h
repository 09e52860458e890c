// LLDP (local and peer configuration, statistics) and the DCBX group with its port variables and
// statistics: static sub-groups of every port instance, spliced into the port table after the
// port's actions. The rest of DCBX (PFC, priority groups, application TLVs, QCN) follows them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/builder.h"
#include "schema/handlers.h"
#include "schema/names_port.h"

namespace vx {

// Read-only counters: the maximum has all 32 bits set.
constexpr ValueRule kCounter = range(0, -1);

constexpr const char* kChassisTypes =
    "Chasis Component,Interface Alias,Port Component,MAC Address,Network Address,Interface Name,Locally "
    "Assigned,Unknown";
constexpr const char* kPortTypes =
    "Interface Alias,Port Component,MAC Address,Network Address,Interface Name,Agent Circuit Id,Locally "
    "Assigned,Unknown";
constexpr const char* kSystemCapabilities = "Other,Repeater,Bridge,WLAN,Router,Telephone,Docsis,Station,Unknown";

// Descriptions of the nine identity properties that local and peer configuration share.
struct LldpIdentityTexts {
  const char* chassis_id;
  const char* chassis_type;
  const char* port_id;
  const char* port_type;
  const char* port_description;
  const char* system_name;
  const char* system_description;
  const char* system_capabilities;
  const char* ttl;
};

constexpr RowTable<9> lldp_identity_rows(int16_t g, const LldpIdentityTexts& t) {
  return rows(
      property(g, "ChassisId", t.chassis_id, kReadOnly, handle_LLDP_properties, length(0, 255), "Unknown"),
      property(g, "ChassisType", t.chassis_type, kReadOnly, handle_LLDP_properties, one_of(kChassisTypes, 7, 17),
               "Unknown"),
      property(g, "PortId", t.port_id, kReadOnly, handle_LLDP_properties, length(0, 255), "Unknown"),
      property(g, "PortType", t.port_type, kReadOnly, handle_LLDP_properties, one_of(kPortTypes, 7, 16), "Unknown"),
      property(g, "PortDescription", t.port_description, kReadOnly, handle_LLDP_properties, length(0, 255), "Unknown"),
      property(g, "SystemName", t.system_name, kReadOnly, handle_LLDP_properties, length(0, 255), "Unknown"),
      property(g, "SystemDescription", t.system_description, kReadOnly, handle_LLDP_properties, length(0, 255),
               "Unknown"),
      property(g, "SystemCapabilities", t.system_capabilities, kReadOnly, handle_LLDP_properties,
               one_of(kSystemCapabilities, 4, 9), "Unknown"),
      property(g, "TTL", t.ttl, kReadOnly, handle_LLDP_properties, range(0, 255), "0"));
}

constexpr LldpIdentityTexts kLocalIdentity = {
    "This property provides the LLDP chassis ID for local configuration.",
    "This property indicates the LLDP chassis type for local configuration.",
    "This property indicates the LLDP port ID for local configuration.",
    "This property indicates the LLDP port type for local configuration.",
    "This property provides the LLDP port description for local configuration.",
    "This property provides the LLDP system name for local configuration.",
    "This property provides the LLDP system description for local configuration.",
    "This property indicates the LLDP system capabilities for local configuration.",
    "This property indicates the LLDP TTL for local configuration.",
};
constexpr LldpIdentityTexts kPeerIdentity = {
    "This property provides the LLDP chassis ID for peer configuration.",
    "This property indicates the LLDP chassis type for peer configuration.",
    "This property indicates the LLDP port ID for peer configuration.",
    "This property indicates the LLDP port type for peer configuration.",
    "This property provides the LLDP port description for peer configuration.",
    "This property provides LLDP system name for peer configuration.",
    "This property provides the LLDP system description for peer configuration.",
    "This property indicates LLDP system capabilities for peer configuration.",
    " This property indicates the LLDP TTL for peer configuration.",
};

#define VX_ENABLED_OR_DISABLED " This option may be \"enabled\" or \"disabled\"."
#define VX_TLV_SWITCH(name, what)                                                                        \
  property(local, name, "This option transmits the " what " TLV when LLDP TxState is enabled." VX_ENABLED_OR_DISABLED, \
           kReadWrite, handle_LLDP_properties, one_of(port::kEnabledDisabled, 7, 8), "Enabled")

constexpr size_t kLldpRowCount = 33;

// LLDP at row `first` under the port instance: LocalConfiguration, PeerConfiguration, LLDPStatistics.
constexpr RowTable<kLldpRowCount> lldp_rows(int16_t first) {
  const int16_t lldp = first;
  const int16_t local = static_cast<int16_t>(first + 1);
  const int16_t peer = static_cast<int16_t>(first + 17);
  const int16_t stats = static_cast<int16_t>(first + 27);
  return splice(
      rows(group(kInstance, port::kGroupLLDP,
                 "This group describes the Link Layer Discovery Protocol that allows a network device to advertise "
                 "it's identity and capabilities on the local network. To enable LLDP for DCBX, both the Tx and Rx "
                 "state should be 'enabled'."),
           group(lldp, port::kGroupLocalConfiguration, "This group contains the local configuration parameters."),
           property(local, "TxState",
                    "This property indicates that LLDP TLVs can be transmitted." VX_ENABLED_OR_DISABLED, kReadWrite,
                    handle_LLDP_properties, one_of(port::kEnabledDisabled, 7, 8), "Enabled"),
           property(local, "RxState", "This property indicates that LLDP TLVs can be received." VX_ENABLED_OR_DISABLED,
                    kReadWrite, handle_LLDP_properties, one_of(port::kEnabledDisabled, 7, 8), "Enabled"),
           VX_TLV_SWITCH("PortDescriptionTLV", "Port description"),
           VX_TLV_SWITCH("SystemDescriptionTLV", "System description"),
           VX_TLV_SWITCH("SystemNameTLV", "System name"),
           VX_TLV_SWITCH("SystemCapabilitiesTLV", "System capabilities")),
      lldp_identity_rows(local, kLocalIdentity),
      rows(group(lldp, port::kGroupPeerConfiguration, "This group contains the peer configuration parameters.")),
      lldp_identity_rows(peer, kPeerIdentity),
      rows(group(lldp, port::kGroupLLDPStatistics, "This group contains the LLDP statistics properties."),
           property(stats, "TxPacketCount", "This property specifies the number of Tx packets of LLDP.", kReadOnly,
                    handle_lldp_stats_props, kCounter, "0"),
           property(stats, "RxPacketCount", "This property specifies the number of Rx packets of LLDP.", kReadOnly,
                    handle_lldp_stats_props, kCounter, "0"),
           property(stats, "UnrecognizedTLVs", "This property specifies the number of unrecognized LLDP TLVs.",
                    kReadOnly, handle_lldp_stats_props, kCounter, "0"),
           property(stats, "NumPacketsDropped", "This property specifies the number of packets dropped.", kReadOnly,
                    handle_lldp_stats_props, kCounter, "0"),
           property(stats, "OrganizationalTLVCount", "This property specifies the number of other organized TLVs.",
                    kReadOnly, handle_lldp_stats_props, kCounter, "0")));
}

#undef VX_TLV_SWITCH

constexpr size_t kDcbxHeadRowCount = 19;

// DCBX at row `first` under the port instance, with DCBXPortVars and DCBXStatistics.
constexpr RowTable<kDcbxHeadRowCount> dcbx_head_rows(int16_t first) {
  const int16_t dcbx = first;
  const int16_t vars = static_cast<int16_t>(first + 1);
  const int16_t stats = static_cast<int16_t>(first + 13);
  return rows(
      group(kInstance, port::kGroupDCBX,
            "This group corresponds to the data center discovery and capability exchange protocol used by DCB "
            "devices to exchange configuration information with directly connected peers."),
      group(dcbx, port::kGroupDCBXPortVars, "This group corresponds to the DCBX Port Variables."),
      property(vars, "OperatingVersion",
               "This property specifies the Operating Version of the DCBX protocol. The system adjusts as needed to "
               "operate at the highest version supported by both link partners. The default is 0.",
               kReadOnly, handle_dcbx_port_vars, range(0, 3), "0"),
      property(vars, "MaxVersion",
               "This property specifies the highest DCBX protocol version supported by the system. The current "
               "MaxVersion is defined as 0.",
               kReadOnly, handle_dcbx_port_vars, range(0, 3), "0"),
      property(vars, "DCBXState", "This property specifies Enable/Disable DCBX on this port." VX_ENABLED_OR_DISABLED,
               kReadWrite, handle_DCBXState, one_of(port::kEnabledDisabled, 7, 8), "Enabled"),
      property(vars, "DCBXMode",
               "This property specifies the DCBX exchange between the Brightlane and a DCBX-enabled switch. The "
               "possible modes are Cisco/Inte/Nuovo(CIN) spec, CEE author's spec, Auto-CEE spec or Auto-IEEE spec. "
               "The Auto-IEEE spec is assumed by default.",
               kReadWrite, handle_DCBXMode, one_of("CEE,CIN,Auto-CEE,Auto-IEEE", 3, 9), "Auto-IEEE"),
      property(vars, "SequenceNumber", "This property specifies sequence number of the DCBX protocol.", kReadOnly,
               handle_dcbx_port_vars, kCounter, "0"),
      property(vars, "AckNumber", "This property specifies the acknowledgement number of the DCBX protocol.",
               kReadOnly, handle_dcbx_port_vars, kCounter, "0"),
      property(vars, "PeerSequenceNumber", "This property specifies the peer sequence number of the DCBX protocol.",
               kReadOnly, handle_dcbx_port_vars, kCounter, "0"),
      property(vars, "PeerAckNumber",
               "This property specifies the peer acknowledgement number of the DCBX protocol.", kReadOnly,
               handle_dcbx_port_vars, kCounter, "0"),
      property(vars, "PFCFeatureSequenceNumber",
               "This property specifies the sequence number of the PFC feature of the DCBX protocol.", kReadOnly,
               handle_dcbx_port_vars, kCounter, "0"),
      property(vars, "PGFeatureSequenceNumber",
               "This property specifies the sequence number of the PG feature of the DCBX protocol.", kReadOnly,
               handle_dcbx_port_vars, kCounter, "0"),
      property(vars, "AppFeatureSequenceNumber",
               "This property specifies the sequence number of the Application feature of the DCBX protocol.",
               kReadOnly, handle_dcbx_port_vars, kCounter, "0"),
      group(dcbx, port::kGroupDCBXStatistics, "This group contains the DCBX statistics properties."),
      property(stats, "TxPacketCount", "This property specifies the number of Tx packets of the DCBX protocol.",
               kReadOnly, handle_dcbx_stats_props, kCounter, "0"),
      property(stats, "RxPacketCount", "This property specifies the number of Rx packets of the DCBX protocol.",
               kReadOnly, handle_dcbx_stats_props, kCounter, "0"),
      // Nothing writes these two: they read "0" for the life of the port.
      property(stats, "UnrecognizedTLVs", "This property specifies the number of unrecognized DCBX TLVs.",
               kReadOnly, handle_internal_property, kCounter, "0"),
      property(stats, "NumPacketsDropped", "This property specifies the number of packets dropped.", kReadOnly,
               handle_dcbx_stats_props, kCounter, "0"),
      property(stats, "OrganizationalTLVCount", "This property specifies the number of other organized TLVs.",
               kReadOnly, handle_internal_property, kCounter, "0"));
}

#undef VX_ENABLED_OR_DISABLED

}  // namespace vx
