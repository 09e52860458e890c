// The CHAP actions of the three login-option levels: one parameter table, three descriptors.
#include "schema/login_options.h"

namespace vx {
namespace {

constexpr hm_action_descriptor configure_chap() {
  return {do_ConfigureCHAP, 0, 6,
          {param(kRequired, kPropAuthenticationMethod, "CHAP method: \"Mutual CHAP\" or \"One-Way CHAP\".",
                 one_of("Mutual CHAP,One-Way CHAP", 4, 12)),
           param(kOptional, kPropInitiatorCHAPName, "CHAP name of the initiator; needed only for Mutual CHAP.",
                 length(0, 256)),
           param(kOptional, kPropInitiatorSecret, "CHAP secret of the initiator; needed only for Mutual CHAP.",
                 length(0, 256)),
           param(kRequired, kPropTargetCHAPName, "CHAP name of the target side.", length(1, 256)),
           param(kRequired, kPropTargetSecret, kChapSecretRule, length(12, 34)),
           param(kOptional, kPropCHAPParam, "CHAP level at login: \"Discouraged\", \"Preferred\" or \"Required\".",
                 one_of("Discouraged,Preferred,Required", 4, 11))}};
}

constexpr hm_action_descriptor delete_chap() { return {do_DeleteCHAP, 0, 0, {}}; }

}  // namespace

constexpr hm_action_descriptor
    ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_InitiatorLoginOptions_Authentication_ConfigureCHAP_action =
        configure_chap();
constexpr hm_action_descriptor
    ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_InitiatorLoginOptions_Authentication_DeleteCHAP_action = delete_chap();
constexpr hm_action_descriptor
    ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Target_TargetLoginOptions_Authentication_ConfigureCHAP_action =
        configure_chap();
constexpr hm_action_descriptor
    ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Target_TargetLoginOptions_Authentication_DeleteCHAP_action =
        delete_chap();
constexpr hm_action_descriptor
    ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Discovery_SendTargetPortal_SendTargetPortalLoginOptions_Authentication_ConfigureCHAP_action =
        configure_chap();
constexpr hm_action_descriptor
    ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Discovery_SendTargetPortal_SendTargetPortalLoginOptions_Authentication_DeleteCHAP_action =
        delete_chap();

}  // namespace vx
