// The profile groups: what the adapter offers (Profile<k> and the protocols of each), and the ports
// and functions of the active and of the configured profile. The profile reads build them with no
// creating action, so none is persistent; the plain caches are written by those reads.
#include "schema/profile.h"

#include "engine/builder.h"
#include "schema/handlers.h"
#include "schema/names_services.h"

namespace vx {
namespace {

using namespace services;

constexpr const char* kEnabledDisabled = "Enabled,Disabled";
constexpr const char* kZeroMac = "00:00:00:00:00:00";
constexpr const char* kFunctionNumberText = "This property specifies function number of Protocol.";
constexpr const char* kMacText = "This property specifies MACAddress for Protocol.";

// ---- Profile and Protocol ----------------------------------------------------------------------
// clang-format off
constexpr SchemaRow kProfileRows[] = {
  /* 0 */ property(kInstance, kPropProfileId, "This property defines the profile Id.",
                   kReadOnly, handle_internal_property, range(0, 256), "0"),
  /* 1 */ property(kInstance, kPropProfileDescription, "This property defines the profile description.",
                   kReadOnly, handle_internal_property, length(1, 128)),
};

constexpr SchemaRow kProtocolRows[] = {
  /* 0 */ property(kInstance, kPropProtocolName, "This property defines the name of the protocol.",
                   kReadOnly, handle_internal_property, length(0, 8), "NIC"),
  /* 1 */ property(kInstance, kPropFunctionCount, "This property defines the function count available for protocol.",
                   kReadOnly, handle_internal_property, range(1, 64)),
};

// ---- the active profile -------------------------------------------------------------------------
constexpr SchemaRow kActivePortRows[] = {
  /* 0 */ property(kInstance, kPropMCType, "This property specifies to MCtype per port.",
                   kReadOnly, handle_internal_property,
                   one_of("ZMC,vNIC1,vNIC2,UFP,NPAR,HPFlex,HPZMC,HPFlexQBG,None", 3, 7), "None"),
  /* 1 */ property(kInstance, kPropMaxStoragePFCount, "This property specifies Max Storage PF's supported per port.",
                   kReadOnly, handle_internal_property, range(0, 8), "0"),
  /* 2 */ property(kInstance, kPropMaxNICPFCount, "This property specifies Max NIC PF's supported per port.",
                   kReadOnly, handle_internal_property, range(1, 64), "1"),
  /* 3 */ property(kInstance, kPropMaxRoCEPFCount, "This property specifies Max RoCE PF's supported per port.",
                   kReadOnly, handle_internal_property, range(0, 64), "0"),
  /* 4 */ property(kInstance, kPropMaxiSCSIPFCount, "This property specifies Max iSCSI PF's supported per port.",
                   kReadOnly, handle_internal_property, range(0, 64), "0"),
  /* 5 */ property(kInstance, kPropMaxFCoEPFCount, "This property specifies Max FCoE PF's supported per port.",
                   kReadOnly, handle_internal_property, range(0, 64), "0"),
};

constexpr SchemaRow kActiveFunctionRows[] = {
  /* 0 */ property(kInstance, kPropProtocol, "This property specifies Protocol of ActiveProfile.",
                   kReadOnly, handle_internal_property, length(0, 8), "NIC"),
  /* 1 */ property(kInstance, kPropFunctionNumber, kFunctionNumberText,
                   kReadOnly, handle_internal_property, range(0, 64), "0"),
  /* 2 */ property(kInstance, kPropMACAddress, kMacText, kReadOnly, handle_internal_property, length(17, 17), kZeroMac),
  /* 3 */ property(kInstance, kPropSRIOVState,
                   "This property specifies whether SRIOV is enabled, disabled or N/A for this interface.",
                   kReadOnly, handle_AProf_SRIOVState, one_of(kEnabledDisabled, 7, 8), "Disabled"),
};

// ---- the configured profile: the list orders HPZMC before HPFlex, unlike the active one's ----------
constexpr SchemaRow kConfiguredPortRows[] = {
  /* 0 */ property(kInstance, kPropMCType, "This property is used to configure MCtype per port.",
                   kReadWrite, handle_ConfiguredProfile_Port_MCType,
                   one_of("ZMC,vNIC1,vNIC2,UFP,NPAR,HPZMC,HPFlex,HPFlexQBG,None", 3, 7), "None"),
};

constexpr SchemaRow kConfiguredFunctionRows[] = {
  /* 0 */ property(kInstance, kPropProtocol, "This property specifies Protocol of ConfiguredProfile.",
                   kReadWrite, handle_ConfiguredProfile_Port_Function_Protocol, length(0, 8), "NIC"),
  /* 1 */ property(kInstance, kPropState, "This property specifies state of function protocol.",
                   kReadOnly, handle_internal_property, one_of(kEnabledDisabled, 0, 8), "Disabled"),
  /* 2 */ property(kInstance, kPropFunctionNumber, kFunctionNumberText,
                   kReadOnly, handle_internal_property, range(0, 64), "0"),
  /* 3 */ property(kInstance, kPropMACAddress, kMacText, kReadOnly, handle_internal_property, length(17, 17), kZeroMac),
  /* 4 */ property(kInstance, kPropSRIOVState,
                   "This property is used to configure SRIOVState and valid value are Enabled or Disabled.",
                   kReadWrite, handle_CProf_SRIOVState, one_of(kEnabledDisabled, 7, 8), "Disabled"),
  /* 5 */ property(kInstance, kPropAvailableProtocols,
                   "This property specifies AvailableProtocols on respective function.",
                   kReadOnly, handle_AvailableProtocols, one_of("NIC,RoCE,FCoE,iSCSI", 3, 5), "NIC"),
};
// clang-format on

InstanceBits g_profile_bits;
InstanceBits g_protocol_bits;
InstanceBits g_active_port_bits;
InstanceBits g_active_function_bits;
InstanceBits g_configured_port_bits;
InstanceBits g_configured_function_bits;

constexpr GroupSpec kProfile = group_spec(kGroupProfile, "This group represents Profiles of the adapter.",
                                          /*max*/ 100, nullptr, kProfileRows, g_profile_bits);
constexpr GroupSpec kProtocol = group_spec(kGroupProfileProtocol, "This group represents available protocols.",
                                           /*max*/ 8, nullptr, kProtocolRows, g_protocol_bits);
constexpr GroupSpec kActivePort = group_spec(kGroupProfilePort, "This group represents available ports for ActiveProfile.",
                                             /*max*/ 4, nullptr, kActivePortRows, g_active_port_bits);
constexpr GroupSpec kActiveFunction =
    group_spec(kGroupProfileFunction, "This group represents available functions for ActiveProfile.", /*max*/ 64,
               nullptr, kActiveFunctionRows, g_active_function_bits);
constexpr GroupSpec kConfiguredPort =
    group_spec(kGroupProfilePort, "This group represents ports for ConfiguredProfile.", /*max*/ 4, nullptr,
               kConfiguredPortRows, g_configured_port_bits);
constexpr GroupSpec kConfiguredFunction =
    group_spec(kGroupProfileFunction, "This group represents available functions for ConfiguredProfile.", /*max*/ 64,
               nullptr, kConfiguredFunctionRows, g_configured_function_bits);

}  // namespace

hm_node* initialize_Profile(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]) {
  return build_instance(kProfile, parent, origin, action, params);
}

hm_node* initialize_Profile_Protocol(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]) {
  return build_instance(kProtocol, parent, origin, action, params);
}

hm_node* initialize_ActiveProfile_Port(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]) {
  return build_instance(kActivePort, parent, origin, action, params);
}

hm_node* initialize_ActiveProfile_Port_Function(hm_node* parent, hm_node* origin, hm_node* action,
                                                char params[6][256]) {
  return build_instance(kActiveFunction, parent, origin, action, params);
}

hm_node* initialize_ConfiguredProfile_Port(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]) {
  return build_instance(kConfiguredPort, parent, origin, action, params);
}

hm_node* initialize_ConfiguredProfile_Port_Function(hm_node* parent, hm_node* origin, hm_node* action,
                                                    char params[6][256]) {
  return build_instance(kConfiguredFunction, parent, origin, action, params);
}

}  // namespace vx
