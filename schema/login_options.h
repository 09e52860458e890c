// The login-option group with its Authentication sub-group, written once and spliced into the
// tables of the three levels that carry it: the initiator (LogicalHBA), each target and each
// send-target portal. The levels differ only in the group's name, the handlers, a few description
// texts and the CHAP action descriptors (each level has its own, with equal parameter tables).
// The levels' tables join the fragment with rows() and splice() (engine/builder.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/builder.h"
#include "schema/handlers.h"
#include "schema/names_iscsi.h"

namespace vx {

// ---- CHAP action descriptors of the three levels ------------------------------------------------------
extern const hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_InitiatorLoginOptions_Authentication_ConfigureCHAP_action;
extern const hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_InitiatorLoginOptions_Authentication_DeleteCHAP_action;
extern const hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Target_TargetLoginOptions_Authentication_ConfigureCHAP_action;
extern const hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Target_TargetLoginOptions_Authentication_DeleteCHAP_action;
extern const hm_action_descriptor
    ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Discovery_SendTargetPortal_SendTargetPortalLoginOptions_Authentication_ConfigureCHAP_action;
extern const hm_action_descriptor
    ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Discovery_SendTargetPortal_SendTargetPortalLoginOptions_Authentication_DeleteCHAP_action;

// ---- the levels ----------------------------------------------------------------------------------------
struct LoginOptionLevel {
  const char* group_name;
  const char* group_description;
  hm_property_handler options;            // the six login options
  hm_property_handler authentication;     // the Authentication properties ...
  hm_property_handler initiator_secret;   // ... except where a level keeps these two as plain values
  hm_property_handler target_chap_name;
  const char* method_description;         // AuthenticationMethod
  const char* target_chap_name_description;
  const hm_action_descriptor* configure_chap;
  const hm_action_descriptor* delete_chap;
};

constexpr LoginOptionLevel kInitiatorLoginOptionLevel = {
    kGroupInitiatorLoginOptions,
    "Login options configured for the initiator; a read refreshes them from the initiator login-option "
    "file.",
    handle_initiator_loginoptions,
    handle_authentication_initiator_loginoptions,
    handle_authentication_initiator_loginoptions,
    handle_authentication_initiator_loginoptions,
    "CHAP method used at login.",
    "CHAP name for the target side; needed for One-Way and Mutual CHAP.",
    &ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_InitiatorLoginOptions_Authentication_ConfigureCHAP_action,
    &ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_InitiatorLoginOptions_Authentication_DeleteCHAP_action,
};

// At the target level the initiator secret and the target's CHAP name are plain cached values: a
// read of the other properties refreshes them, a CHAP action stores them.
constexpr LoginOptionLevel kTargetLoginOptionLevel = {
    kGroupTargetLoginOptions,
    "Login options used for this target; a read refreshes them from the saved-target file.",
    handle_target_loginoptions,
    handle_authentication_target_loginopts,
    handle_internal_property,
    handle_internal_property,
    "CHAP method used at login.",
    "CHAP name for the target side; needed for One-Way and Mutual CHAP.",
    &ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Target_TargetLoginOptions_Authentication_ConfigureCHAP_action,
    &ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Target_TargetLoginOptions_Authentication_DeleteCHAP_action,
};

constexpr LoginOptionLevel kSendTargetPortalLoginOptionLevel = {
    kGroupSendTargetPortalLoginOptions,
    "Login options of the discovery session; a read refreshes them from the send-target-portal file.",
    handle_stploginoptions,
    handle_authentication_stploginoptions,
    handle_authentication_stploginoptions,
    handle_authentication_stploginoptions,
    "CHAP method used for the discovery login.",
    "CHAP name for the portal side; needed for One-Way and Mutual CHAP.",
    &ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Discovery_SendTargetPortal_SendTargetPortalLoginOptions_Authentication_ConfigureCHAP_action,
    &ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Discovery_SendTargetPortal_SendTargetPortalLoginOptions_Authentication_DeleteCHAP_action,
};

// ---- the fragment --------------------------------------------------------------------------------------
// The adapter's rule for CHAP secrets, which is the description of every secret property.
constexpr const char* kChapSecretRule =
    "If in string format, it must be at least 12 but not more than 16 bytes long where 1 character "
    "equals 1 byte. If in hex format, it must be at least 12 but not more than 16 bytes long where 2 "
    "characters equals 1 byte, excluding 0x.";

constexpr size_t kLoginOptionRowCount = 16;
// Offset of the Authentication group within the fragment.
constexpr int16_t kAuthenticationOffset = 7;

// The fragment's rows for `level`, to be placed at index `first` of a group table, with the login
// option group under row `parent` (kInstance for the instance itself).
constexpr RowTable<kLoginOptionRowCount> login_option_rows(const LoginOptionLevel& level, int16_t parent,
                                                           int16_t first) {
  const int16_t options = first;
  const int16_t auth = static_cast<int16_t>(first + kAuthenticationOffset);
  return rows(
      group(parent, level.group_name, level.group_description),
      property(options, kPropInitialR2T,
               "\"Yes\": the initiator waits for the target to solicit data; \"No\": it may send one first "
               "burst unsolicited.",
               kReadOnly, *level.options, one_of("Yes,No", 0, 3), "Yes"),
      property(options, kPropImmediateData, "Whether unsolicited data may be appended to a command.",
               kReadWrite, *level.options, one_of("Yes,No", 0, 3), "Yes"),
      property(options, kPropHeaderDigest, "\"CRC32C\": PDU headers are protected by a CRC32C checksum.",
               kReadWrite, *level.options, one_of("None,CRC32C", 4, 6), "None"),
      property(options, kPropDataDigest, "\"CRC32C\": PDU data segments are protected by a CRC32C checksum.",
               kReadWrite, *level.options, one_of("None,CRC32C", 4, 6), "None"),
      property(options, kPropHeaderParam,
               "Header digest level offered at login; \"Preferred\" only when HeaderDigest is not \"None\".",
               kReadWrite, *level.options, one_of("Prohibited,Preferred", 9, 10), "Prohibited"),
      property(options, kPropDataParam,
               "Data digest level offered at login; \"Preferred\" only when DataDigest is not \"None\".",
               kReadWrite, *level.options, one_of("Prohibited,Preferred", 9, 10), "Prohibited"),
      group(options, kGroupAuthentication,
            "CHAP settings used at login; they change only through ConfigureCHAP and DeleteCHAP."),
      property(auth, kPropAuthenticationMethod, level.method_description, kReadOnly, *level.authentication,
               one_of("None,Mutual CHAP,One-Way CHAP", 4, 12), "None"),
      property(auth, kPropInitiatorCHAPName, "CHAP name that the initiator sends; needed only for Mutual CHAP.",
               kReadOnly, *level.authentication, length(1, 256)),
      property(auth, kPropInitiatorSecret, kChapSecretRule, kReadOnly, *level.initiator_secret, length(12, 34)),
      property(auth, kPropTargetCHAPName, level.target_chap_name_description, kReadOnly, *level.target_chap_name,
               length(1, 256)),
      property(auth, kPropTargetSecret, kChapSecretRule, kReadOnly, *level.authentication, length(12, 34)),
      property(auth, kPropCHAPParam,
               "CHAP level at login: \"Prohibited\" never CHAP; \"Discouraged\" None first, then CHAP; "
               "\"Preferred\" CHAP first, then None; \"Required\" only the CHAP given by the user.",
               kReadOnly, *level.authentication, one_of("Prohibited,Discouraged,Preferred,Required", 4, 11),
               "Prohibited"),
      action(auth, kActionConfigureCHAP, "Sets the CHAP method, names and secrets used at login.",
             *level.configure_chap),
      action(auth, kActionDeleteCHAP, "Removes the CHAP settings, so that logins use no authentication.",
             *level.delete_chap));
}

}  // namespace vx
