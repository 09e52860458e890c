// Three DCB features inside a port's DCBX group, each a static group with the administrator's, the
// peer's and the operational setting: PFC and PriorityGroups (spliced in after DCBXStatistics) and
// QCN (after ApplicationTLVGroups). The PG instances of the priority-group settings have builders
// of their own (dcb_features.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/builder.h"
#include "schema/handlers.h"
#include "schema/names_port.h"

namespace vx {

// One PG instance under the matching priority-group setting of a port (at most 8 each).
hm_node* initialize_AdministratorPGSetting_PG(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]);
hm_node* initialize_PeerPGSetting_PG(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]);
hm_node* initialize_OperationalPGSettings_PG(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]);

// The priority-group text; a PG instance's description is built from it.
#define VX_PRIORITY_GROUPS_REST                                                                                 \
  " configuration tables as well as a scheduling algorithm for managing bandwidth for various traffic classes " \
  "on a converged link. Bandwidth is specified in percentages; the total is 100 percent. Up to 8 priority "    \
  "groups are supported in the DCBX protocol. The actual number of PGs depends on the traffic classes "        \
  "supported."

constexpr const char* kAdministratorSettingText =
    "This group corresponds to parameters set by the administrator. The setting applied may depend on values "
    "negotiated with the peer based on the settings of the willing, advertise and enabled flags.";
constexpr const char* kPeerSettingText =
    "This group corresponds to parameters sent by peer. The setting applied may depend on values negotiated with "
    "the administrator based on the settings of the willing, advertise and enabled flags.";
constexpr const char* kSyncErrorText = "This property indicates that an error was encountered during the sync process.";
constexpr const char* kPfcBitMapText =
    "This property is a bit map of priorities enabled for PFC. Priorities 0-7 are supported. Use bit 0 for "
    "priority 0, bit 1 for priority 1 and so on. Hence the bit map contains 0xFF when all 8 priorities are enabled "
    "for PFC.";
constexpr const char* kPfcAdvertiseText =
    " This property specifies that the HBA advertises the PFC value (enabled or disabled) and processes PFC "
    "application TLVs received from a DCBX-enabled switch when advertise is \"yes\". With \"no\" the PFC "
    "application TLV is not advertised and received application TLVs of this type are ignored.";
constexpr const char* kPgAdvertiseText =
    " This property specifies that the HBA advertises its PG settings and processes PG TLVs received from a "
    "DCBX-enabled switch when advertise is \"yes\". With \"no\" the PG TLV is not advertised and received TLVs of "
    "this type are ignored.";
constexpr const char* kPg15Text = "This property specifies a RoCE priority. Priorities 0-7 are supported.";
constexpr const char* kNumPgText = " This propery specifies the number of PG supported.";
constexpr const char* kQcnAdvertiseText =
    " This property specifies that the HBA will advertise the QCN value (enabled or disabled).";
constexpr const char* kCnpvText =
    "This property specifies the congestion notification priority values (CNPV) configured for QCN: a bit map with "
    "one bit per priority, 0 for CNPV disabled and 1 for enabled.";
constexpr const char* kReadyBitMapText =
    "This property specifies the set of congestion notification domain (CND) priorities advertised for QCN: one "
    "bit per priority, 0 not available and 1 available for QCN.";

// A Yes/No flag of a setting group.
constexpr SchemaRow flag(int16_t g, const char* name, const char* text, uint32_t access, hm_property_handler h,
                         const char* def = "Yes") {
  return property(g, name, text, access, h, one_of(port::kYesNo, 2, 3), def);
}
constexpr SchemaRow mode(int16_t g, const char* text, hm_property_handler h, const char* def) {
  return property(g, "OperationalMode", text, kReadOnly, h, one_of(port::kTrueFalse, 4, 5), def);
}
constexpr SchemaRow bitmap(int16_t g, const char* name, const char* text, uint32_t access, hm_property_handler h) {
  return property(g, name, text, access, h, length(1, 4), "0");
}

constexpr size_t kPfcPgRowCount = 37;

// PFC at row `first` and PriorityGroups after it, both under the DCBX group at row `dcbx`.
constexpr RowTable<kPfcPgRowCount> pfc_pg_rows(int16_t dcbx, int16_t first) {
  const int16_t pfc = first;
  const int16_t pfc_admin = static_cast<int16_t>(first + 1);
  const int16_t pfc_peer = static_cast<int16_t>(first + 6);
  const int16_t pfc_oper = static_cast<int16_t>(first + 12);
  const int16_t pg = static_cast<int16_t>(first + 17);
  const int16_t pg_admin = static_cast<int16_t>(first + 18);
  const int16_t pg_peer = static_cast<int16_t>(first + 24);
  const int16_t pg_oper = static_cast<int16_t>(first + 31);
  const auto f = handle_pfc_feature_vars;
  const auto g = handle_pg_feature_vars;
  return rows(
      group(dcbx, port::kGroupPFC,
            "This Priority Flow Control group provides no-drop packet delivery for certain classes while "
            "maintaining existing LAN behavior for other traffic classes on converged link."),
      group(pfc, port::kGroupAdministratorPFCSetting, kAdministratorSettingText),
      flag(pfc_admin, "Advertise", kPfcAdvertiseText, kReadWrite, f),
      flag(pfc_admin, "Enabled",
           "This property specifies that the PFC feature should be enabled on the HBA when set to \"yes\". This may "
           "be disabled by setting this param to \"no\" using the SetPFCParams action.",
           kReadWrite, f, "No"),
      bitmap(pfc_admin, port::kPropPriorityBitMap, kPfcBitMapText, kReadWrite, f),
      flag(pfc_admin, "Willing",
           " This property specifies that the HBA is willing to accept PFC properties sent by DCBX-enabled switch "
           "when Willing=\"yes\".",
           kReadWrite, f),
      group(pfc, port::kGroupPeerPFCSetting, kPeerSettingText),
      flag(pfc_peer, "Advertise", kPfcAdvertiseText, kReadOnly, f),
      flag(pfc_peer, "Enabled",
           "The property specifies that the PFC feature is enabled on the peer when set to \"yes\". ", kReadOnly, f),
      flag(pfc_peer, "Error", kSyncErrorText, kReadOnly, f),
      bitmap(pfc_peer, port::kPropPriorityBitMap, kPfcBitMapText, kReadOnly, f),
      flag(pfc_peer, "Willing",
           " This property specifies that the peer is willing to accept PFC properties from the HBA when "
           "Willing=\"yes\".",
           kReadOnly, f),
      group(pfc, port::kGroupOperationalPFCSettings,
            "This group corresponds to the operational state of the Priority Group Settings."),
      flag(pfc_oper, "Error", kSyncErrorText, kReadOnly, f),
      mode(pfc_oper,
           "This property specifies that the PFC feature is enabled on the HBA when set to \"true\". It may be "
           "disabled by setting this parameter to \"false\" using the SetPFCParams action.",
           f, "True"),
      bitmap(pfc_oper, port::kPropPriorityBitMap, kPfcBitMapText, kReadOnly, f),
      flag(pfc_oper, "Synced",
           "This property specifies that the PFC features are synced between the peers when set to \"yes\".",
           kReadOnly, f),

      group(dcbx, port::kGroupPriorityGroups, "The Priority Groups provides" VX_PRIORITY_GROUPS_REST),
      group(pg, port::kGroupAdministratorPGSetting,
            "This group corresponds to parameters set by the administrator. The setting applied may be depend on "
            "values negotiated with the peer based on the settings of the willing, advertise and enabled flags."),
      property(pg_admin, "PG15PriorityMemberShip", kPg15Text, kReadWrite, handle_pg15_membership, length(0, 7), "0"),
      flag(pg_admin, "Advertise", kPgAdvertiseText, kReadWrite, g),
      flag(pg_admin, "Enabled",
           " This property specifies that the PG feature is enabled on the HBA when set to \"yes\". It may be "
           "disabled by setting to \"no\".",
           kReadWrite, g),
      flag(pg_admin, "Willing",
           " This property specifies that the HBA accepts priority group settings sent by a DCBX-enabled switch "
           "when Willing=\"yes\". With \"no\" the parameters set by the administrator are applied locally.",
           kReadWrite, g),
      property(pg_admin, "NumPGSupported", kNumPgText, kReadOnly, g, range(2, 5), "2"),
      group(pg, port::kGroupPeerPGSetting,
            "This group corresponds to parameters sent by the peer. The setting applied may be depend on values "
            "negotiated with the HBA based on the settings of the willing, advertise and enabled flags."),
      property(pg_peer, "PG15PriorityMemberShip", kPg15Text, kReadOnly, handle_pg15_membership, length(0, 7), "0"),
      flag(pg_peer, "Advertise", kPgAdvertiseText, kReadOnly, g),
      flag(pg_peer, "Enabled",
           " This PG feature is enabled on the peer when set to \"yes\" and disabled when  \"no\".", kReadOnly, g),
      flag(pg_peer, "Error", kSyncErrorText, kReadOnly, g),
      flag(pg_peer, "Willing",
           " This property specifies that the peer accepts priority group settings sent by a DCBX-enabled HBA when "
           "Willing=\"yes\".",
           kReadOnly, g),
      property(pg_peer, "NumPGSupported", kNumPgText, kReadOnly, g, range(2, 5), "2"),
      group(pg, port::kGroupOperationalPGSettings, "Operational state of the Priority Group Settings."),
      property(pg_oper, "PG15PriorityMemberShip", kPg15Text, kReadOnly, handle_pg15_membership, length(0, 7), "0"),
      flag(pg_oper, "Error", " This property indicates an error was encountered during the sync process.",
           kReadOnly, g),
      mode(pg_oper,
           " This PG feature is enabled on the HBA when set to \"true\". It may be disabled by setting to "
           "\"false\".",
           g, "True"),
      flag(pg_oper, "Synced",
           " This property specifies that the PG settings are synced between the peers when set to \"yes\".",
           kReadOnly, g),
      property(pg_oper, "NumPGSupported", kNumPgText, kReadOnly, g, range(2, 5), "2"));
}

constexpr size_t kQcnRowCount = 19;

// QCN at row `first` under the DCBX group at row `dcbx`.
constexpr RowTable<kQcnRowCount> qcn_rows(int16_t dcbx, int16_t first) {
  const int16_t qcn = first;
  const int16_t admin = static_cast<int16_t>(first + 1);
  const int16_t peer = static_cast<int16_t>(first + 6);
  const int16_t oper = static_cast<int16_t>(first + 13);
  const auto q = handle_update_qcn_props;
  return rows(
      group(dcbx, port::kGroupQCN,
            "QCN is the congestion notification protocol of IEEE 802.1Qau for virtual bridged LANs. It identifies "
            "the congestion source in a layer-2 subnet early and tells it to slow down. Unlike the link-to-link "
            "pause frames of IEEE 802.3x and IEEE 802.1Qbb it spans the whole layer-2 subnet end to end, and every "
            "network entity in the subnet must be QCN aware to benefit."),
      group(qcn, port::kGroupAdministratorQCNSetting, kAdministratorSettingText),
      flag(admin, "Advertise", kQcnAdvertiseText, kReadWrite, q),
      flag(admin, "Enabled",
           "This property specifies that the QCN feature should be enabled on the HBA when set to \"yes\". This may "
           "be disabled by setting this param to \"no\".",
           kReadWrite, q, "No"),
      bitmap(admin, "CNPVBitMap",
             "This property specifies the congestion notification priority values (CNPV) configured for QCN: a bit "
             "map with one bit per priority, 0 for CNPV disabled and 1 for enabled. The value of CNPVBitMap should "
             "same as RocEPriority.",
             kReadOnly, q),
      flag(admin, "Willing",
           " This property specifies that the HBA is willing to accept QCN properties sent by DCBX-enabled switch "
           "when Willing=\"yes\".",
           kReadWrite, q),
      group(qcn, port::kGroupPeerQCNSetting, kPeerSettingText),
      flag(peer, "Advertise", kQcnAdvertiseText, kReadOnly, q),
      flag(peer, "Enabled",
           "The property specifies that the QCN feature is enabled on the peer when set to \"yes\". ", kReadOnly, q),
      flag(peer, "Error", kSyncErrorText, kReadOnly, q),
      bitmap(peer, "CNPVBitMap", kCnpvText, kReadOnly, q),
      flag(peer, "Willing",
           " This property specifies that the peer is willing to accept QCN properties from the HBA when "
           "Willing=\"yes\".",
           kReadOnly, q),
      bitmap(peer, "ReadyBitMap", kReadyBitMapText, kReadOnly, q),
      group(qcn, port::kGroupOperationalQCNSettings,
            "This group corresponds to the operational state of the QCN Settings."),
      flag(oper, "Error", kSyncErrorText, kReadOnly, q),
      mode(oper,
           "This property specifies that the QCN feature is enabled on the HBA when set to \"true\". It may be "
           "disabled by setting this parameter to \"false\".",
           q, "N/A"),
      bitmap(oper, "CNPVBitMap", kCnpvText, kReadOnly, q),
      flag(oper, "Synced",
           "This property specifies that the QCN features are synced between the peers when set to \"yes\".",
           kReadOnly, q),
      bitmap(oper, "ReadyBitMap", kReadyBitMapText, kReadOnly, q));
}

}  // namespace vx
