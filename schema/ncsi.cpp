// The NC-SI sideband settings of a controller. Every value is read (and in the dynamic group
// written) through the adapter by the NC-SI handlers; the NC-SI refresh of start-up builds the two
// instances with no creating action.
#include "schema/ncsi.h"

#include "engine/builder.h"
#include "schema/handlers.h"
#include "schema/names_services.h"

namespace vx {
namespace {

using namespace services;

constexpr const char* kYesNo = "Yes,No";
constexpr const char* kZeroMac = "00:00:00:00:00:00";
constexpr const char* kWolPort0Text =
    "This property indicates if wake on LAN is enabled for Port 0 of the Brightlane controller.";
constexpr const char* kMacPort0Text =
    "This property displays the MAC address used as magic packet by Brightlane port 0 for wake on LAN.";
constexpr const char* kWolPort1Text =
    "This property indicates if wake on LAN is enabled for Port 1 of the Brightlane controller.";
constexpr const char* kMacPort1Text =
    "This property displays the MAC address used as magic packet by Brightlane port 1 for wake on LAN.";
constexpr const char* kVlanText = "This property displays the VLAN ID used by the NC-SI protocol.";

// clang-format off
constexpr SchemaRow kStaticRows[] = {
  /* 0 */ property(kInstance, kPropPortSwap,
                   "Indicates the state of the PortSwap feature of the Brightlane controller. This value is displayed "
                   "for diagnostic purposes.",
                   kReadOnly, handle_ncsi_static_configuration, one_of(kYesNo, 2, 3), "No"),
  /* 1 */ property(kInstance, kPropEnableWOLPort0, kWolPort0Text,
                   kReadOnly, handle_ncsi_static_configuration, one_of(kYesNo, 2, 3), "No"),
  /* 2 */ property(kInstance, kPropPort0MAC, kMacPort0Text,
                   kReadOnly, handle_ncsi_static_configuration, length(17, 17), kZeroMac),
  /* 3 */ property(kInstance, kPropEnableWOLPort1, kWolPort1Text,
                   kReadOnly, handle_ncsi_static_configuration, one_of(kYesNo, 2, 3), "No"),
  /* 4 */ property(kInstance, kPropPort1MAC, kMacPort1Text,
                   kReadOnly, handle_ncsi_static_configuration, length(17, 17), kZeroMac),
  /* 5 */ property(kInstance, kPropMgmtVLANId, kVlanText,
                   kReadOnly, handle_ncsi_static_configuration, range(0, 4095), "0"),
};

// The same settings, user-settable; no PortSwap.
constexpr SchemaRow kDynamicRows[] = {
  /* 0 */ property(kInstance, kPropEnableWOLPort0, kWolPort0Text,
                   kReadWrite, handle_ncsi_dynamic_configuration, one_of(kYesNo, 2, 3), "No"),
  /* 1 */ property(kInstance, kPropPort0MAC, kMacPort0Text,
                   kReadWrite, handle_ncsi_dynamic_configuration, length(17, 17), kZeroMac),
  /* 2 */ property(kInstance, kPropEnableWOLPort1, kWolPort1Text,
                   kReadWrite, handle_ncsi_dynamic_configuration, one_of(kYesNo, 2, 3), "No"),
  /* 3 */ property(kInstance, kPropPort1MAC, kMacPort1Text,
                   kReadWrite, handle_ncsi_dynamic_configuration, length(17, 17), kZeroMac),
  /* 4 */ property(kInstance, kPropMgmtVLANId, kVlanText,
                   kReadWrite, handle_ncsi_dynamic_configuration, range(0, 4095), "0"),
};
// clang-format on

InstanceBits g_ncsi_static_bits;
InstanceBits g_ncsi_dynamic_bits;
// The dynamic group's description misspells the static group's name; kept as the system shows it.
constexpr GroupSpec kStatic = group_spec(
    kGroupNCSIStaticConfiguration,
    "The data shown here is read-only and updated once, during manufacturing and applicable for an out-of-box "
    "configuration.",
    /*max*/ 1, nullptr, kStaticRows, g_ncsi_static_bits);
constexpr GroupSpec kDynamic = group_spec(
    kGroupNCSIDynamicConfiguration,
    "The out-of-box configuration data in the NCSIStatiConfiguration group may be overridden with the following "
    "user-settable data.",
    /*max*/ 1, nullptr, kDynamicRows, g_ncsi_dynamic_bits);

}  // namespace

hm_node* initialize_NCSIStaticConfiguration(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]) {
  return build_instance(kStatic, parent, origin, action, params);
}

hm_node* initialize_NCSIDynamicConfiguration(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]) {
  return build_instance(kDynamic, parent, origin, action, params);
}

}  // namespace vx
