// The CHAP actions of the three login-option levels: one parameter table, three descriptors.
#include "schema/login_options.h"

namespace vx {
namespace {

constexpr hm_action_descriptor configure_chap() {
  return {do_ConfigureCHAP,
          0,
          6,
          {
              {1, kPropAuthenticationMethod, "CHAP method: \"Mutual CHAP\" or \"One-Way CHAP\".", 4,
               "Mutual CHAP,One-Way CHAP", 4, 12},
              {0, kPropInitiatorCHAPName, "CHAP name of the initiator; needed only for Mutual CHAP.", 0, nullptr,
               0, 256},
              {0, kPropInitiatorSecret, "CHAP secret of the initiator; needed only for Mutual CHAP.", 0, nullptr,
               0, 256},
              {1, kPropTargetCHAPName, "CHAP name of the target side.", 0, nullptr, 1, 256},
              {1, kPropTargetSecret, kChapSecretRule, 0, nullptr, 12, 34},
              {0, kPropCHAPParam, "CHAP level at login: \"Discouraged\", \"Preferred\" or \"Required\".", 4,
               "Discouraged,Preferred,Required", 4, 11},
          }};
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
