// ApplicationTLVGroups: the administrator's, the peer's and the operational application TLV setting
// of a port, each with its flags and up to 15 ApplicationTLV instances (one per announced protocol).
// The setting groups are spliced into the port table after PriorityGroups; the instances have
// builders of their own (application_tlv.cpp), and administrator ones made on behalf of
// AddApplicationTLV are persistent.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/builder.h"
#include "schema/handlers.h"
#include "schema/names_port.h"

namespace vx {

// One ApplicationTLV instance under the matching setting group of a port (at most 15 each).
hm_node* initialize_AdministratorTLVSetting_ApplicationTLV(hm_node* parent, hm_node* origin, hm_node* action,
                                                           char params[6][256]);
hm_node* initialize_PeerTLVSetting_ApplicationTLV(hm_node* parent, hm_node* origin, hm_node* action,
                                                  char params[6][256]);
hm_node* initialize_OperationalTLVSettings_ApplicationTLV(hm_node* parent, hm_node* origin, hm_node* action,
                                                          char params[6][256]);

// Parameter slots of AddApplicationTLV.
constexpr int kAddTlvSelectorSlot = 0;
constexpr int kAddTlvProtocolSlot = 1;
constexpr int kAddTlvBitMapSlot = 2;
constexpr int kAddTlvOuiSlot = 3;

constexpr const char* kApplicationTlvText =
    "This group corresponds to the ApplicationTLV, which allows the DCB node to announce upper layer protocols and "
    "associated priority-map over DCB link. These ULPs may include L2, L3, or L4 protocols. A DCB node can "
    "advertise muliple ULPs using a single Application Protocol TLV.";
constexpr const char* kTlvOuiText =
    "This property indicates the OUI specified for use in the DCBX protocol. The value used is 0x001b21.";

inline constexpr hm_action_descriptor
    ROOT_Vexalon_PortDiscoveryAndConfiguration_DCBX_ApplicationTLVGroups_AdministratorTLVSetting_AddApplicationTLV_action = {
        do_AddApplicationTLV, 0, 4,
        {param(kRequired, "ProtocolSelector",
               "This property specifies protocol type. The Protocol SelectorField SF=0 specifies FCoE (Ethernet). "
               "The Protocol SelectorField SF=1 specifies iSCSI (TCP).",
               range(0, 1)),
         param(kRequired, "ProtocolID",
               "This parameter indicates the two-byte field that identifies the supported protocol. For SF=1 "
               "(iSCSI) this will contain the iSCSI TCP port number. For SF=0 FCoE this contains the ethertype = "
               "8906 or 80914.",
               range(0, 99999)),
         param(kRequired, "PriorityBitMap",
               "This parameter specifies the Bitmap of priority values which match this protocol ID.", length(1, 4)),
         param(kOptional, "OUI",
               "This parameter indicates the OUI specified for use in the DCBX protocol. The value used is 0x001b21.",
               length(1, 8))}};
inline constexpr hm_action_descriptor
    ROOT_Vexalon_PortDiscoveryAndConfiguration_DCBX_ApplicationTLVGroups_AdministratorTLVSetting_DeleteApplicationTLV_action = {
        do_DeleteApplicationTLV, 0, 1,
        {param(kRequired, "InstanceNumber",
               "This parameter accepts string input and converts it to an equivalent number and uses that as an "
               "instance number to delete the entry.",
               range(0, 14))}};

constexpr const char* kTlvAdvertiseText =
    " This property specifies that the HBA advertises its application TLV settings and processes the corresponding "
    "TLVs received from a DCBX-enabled switch when advertise is \"yes\". With \"no\" the TLV is not advertised and "
    "received TLVs of this type are ignored.";
constexpr const char* kTlvEnabledText =
    " This application TLV is enabled on the HBA when set to \"yes\". It may be disabled by setting to \"no\".";

constexpr size_t kApplicationTlvRowCount = 16;

// ApplicationTLVGroups at row `first` under the DCBX group at row `dcbx`.
constexpr RowTable<kApplicationTlvRowCount> application_tlv_rows(int16_t dcbx, int16_t first) {
  const int16_t groups = first;
  const int16_t admin = static_cast<int16_t>(first + 1);
  const int16_t peer = static_cast<int16_t>(first + 7);
  const int16_t oper = static_cast<int16_t>(first + 12);
  const auto h = handle_app_feature_vars;
  const ValueRule yes_no = one_of(port::kYesNo, 2, 3);
  return rows(
      group(dcbx, port::kGroupApplicationTLVGroups, kApplicationTlvText),
      group(groups, port::kGroupAdministratorTLVSetting,
            "This group corresponds to parameters set by the administrator. The setting applied may depend on values "
            "negotiated with the peer based on the settings of the willing, advertise and enabled lags.",
            group_AdministratorTLVSetting),
      property(admin, "Advertise", kTlvAdvertiseText, kReadWrite, h, yes_no, "Yes"),
      property(admin, "Enabled", kTlvEnabledText, kReadWrite, h, yes_no, "Yes"),
      property(admin, "Willing",
               " This property specifies that the HBA accepts application TLV settings sent by a DCBX-enabled switch "
               "when Willing=\"yes\". With \"no\" the parameters set by the administrator are applied locally.",
               kReadWrite, h, yes_no, "Yes"),
      action(admin, port::kActionAddApplicationTLV, "This command adds application TLV manually.",
             ROOT_Vexalon_PortDiscoveryAndConfiguration_DCBX_ApplicationTLVGroups_AdministratorTLVSetting_AddApplicationTLV_action),
      action(admin, port::kActionDeleteApplicationTLV,
             "This command deletes the Application TLV node for the given instance number.",
             ROOT_Vexalon_PortDiscoveryAndConfiguration_DCBX_ApplicationTLVGroups_AdministratorTLVSetting_DeleteApplicationTLV_action),
      group(groups, port::kGroupPeerTLVSetting,
            "Parameters sent by the peer. The setting applied may depend on values negotiated with the HBA based on "
            "the settings of the willing, advertise and enabled flags.",
            group_PeerTLVSetting),
      property(peer, "Advertise", kTlvAdvertiseText, kReadOnly, h, yes_no, "Yes"),
      property(peer, "Enabled", kTlvEnabledText, kReadOnly, h, yes_no, "Yes"),
      property(peer, "Error", "This property indicates that an error was encountered during the sync process.",
               kReadOnly, h, yes_no, "Yes"),
      property(peer, "Willing",
               " The peer is willing to accept application TLV settings sent by DCBX-enabled HBA when "
               "Willing=\"yes\". ",
               kReadOnly, h, yes_no, "Yes"),
      group(groups, port::kGroupOperationalTLVSettings, "Operational state of the Priority Group Settings.",
            group_OperationalTLVSettings),
      property(oper, "Error", "This property indicates an error was encountered during the sync process.", kReadOnly,
               h, yes_no, "Yes"),
      property(oper, "OperationalMode",
               " This application TLV is enabled on the HBA when set to \"true\". It may be disabled by setting to "
               "\"false\".",
               kReadOnly, h, one_of(port::kTrueFalse, 4, 5), "True"),
      property(oper, "Synced",
               "This property indicates that the PG TLV features are synced between the peers when set to \"yes\".",
               kReadOnly, h, yes_no, "Yes"));
}

}  // namespace vx
