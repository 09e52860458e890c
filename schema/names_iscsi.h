// Names of the initiator side of the tree (logical HBA, targets, portals, LUNs, send-target portals
// and the login options they share) that handlers and the IMA front end look up. Lookups compare
// display names ignoring case; these are the spellings the builders create.
//
// The login-option and CHAP names are the same at every iSCSI level and are defined here once.
// Other constants carry their owning group (Lhba, Stp) where the node name is common to several
// families ("IfName", "PortNumber"), so that this header can be included together with the other
// families' name headers.
#pragma once

namespace vx {

// ---- instanced groups ----------------------------------------------------------------------------
constexpr const char* kGroupLogicalHBA = "LogicalHBA";
constexpr const char* kGroupTarget = "Target";
constexpr const char* kGroupTargetPortal = "TargetPortal";
constexpr const char* kGroupLUN = "LUN";
constexpr const char* kGroupSendTargetPortal = "SendTargetPortal";

// ---- static groups -------------------------------------------------------------------------------
constexpr const char* kGroupInitiatoriSCSIName = "InitiatoriSCSIName";
constexpr const char* kGroupInitiatorDefaultLoginOptions = "InitiatorDefaultLoginOptions";
constexpr const char* kGroupInitiatorLoginOptions = "InitiatorLoginOptions";
constexpr const char* kGroupTargetLoginOptions = "TargetLoginOptions";
constexpr const char* kGroupSendTargetPortalLoginOptions = "SendTargetPortalLoginOptions";
constexpr const char* kGroupAuthentication = "Authentication";
constexpr const char* kGroupiSCSIQoS = "iSCSIQoS";
constexpr const char* kGroupiSCSIStatistics = "iSCSIStatistics";
constexpr const char* kGroupDiscovery = "Discovery";

// ---- logical HBA ----------------------------------------------------------------------------------
constexpr const char* kPropLhbaEnabled = "Enabled";
constexpr const char* kPropLhbaIfName = "IfName";
constexpr const char* kPropInitiatoriSCSIName = "InitiatoriSCSIName";
constexpr const char* kPropInitiatorAlias = "InitiatorAlias";
constexpr const char* kPropLhbaMinBitsPerSecond = "MinBitsPerSecond";
constexpr const char* kPropLhbaMaxBitsPerSecond = "MaxBitsPerSecond";
constexpr const char* kPropLhbaMaxBytesPerSecond = "MaxBytesPerSecond";
constexpr const char* kPropLhbaMaxIosPerSecond = "MaxIosPerSecond";

// Default login options (read by the front end; the twelve configurable ones are below).
constexpr const char* kPropMaxConnections = "MaxConnections";
constexpr const char* kPropMaxOutstandingR2T = "MaxOutstandingR2T";
constexpr const char* kPropFirstBurstLength = "FirstBurstLength";
constexpr const char* kPropMaxBurstLength = "MaxBurstLength";
constexpr const char* kPropDefaultTime2Wait = "DefaultTime2Wait";
constexpr const char* kPropDefaultTime2Retain = "DefaultTime2Retain";
constexpr const char* kPropErrorRecoveryLevel = "ErrorRecoveryLevel";
constexpr const char* kPropDataPDUInOrder = "DataPDUInOrder";
constexpr const char* kPropDataSequenceInOrder = "DataSequenceInOrder";
constexpr const char* kPropMaxRecvDataSegmentLength = "MaxRecvDataSegmentLength";

// Initiator statistics: the statistics handlers tell their properties apart by these names.
constexpr const char* kPropLhbaNodeRoles = "NodeRoles";
constexpr const char* kPropLhbaPortalCount = "PortalCount";
constexpr const char* kPropLhbaNodeCount = "NodeCount";
constexpr const char* kPropLhbaSessionCount = "SessionCount";
constexpr const char* kPropLhbaSessionFailureCount = "SessionFailureCount";
constexpr const char* kPropLhbaLastSessionFailureType = "LastSessionFailureType";
constexpr const char* kPropLhbaLastSessionRmtNodeName = "LastSessionRmtNodeName";
constexpr const char* kPropLhbaSessionDigestErrors = "SessionDigestErrors";
constexpr const char* kPropLhbaSessionConnectionTimeout = "SessionConnectionTimeout";
constexpr const char* kPropLhbaSessionFormatErrors = "SessionFormatErrors";
constexpr const char* kPropLhbaLoginFailures = "LoginFailures";
constexpr const char* kPropLhbaLastFailureTime = "LastFailureTime";
constexpr const char* kPropLhbaLastFailureType = "LastFailureType";
constexpr const char* kPropLhbaLastTgtFailureName = "LastTgtFailureName";
constexpr const char* kPropLhbaLastTgtFailureAddr = "LastTgtFailureAddr";
constexpr const char* kPropLhbaLoginAcceptRsps = "LoginAcceptRsps";
constexpr const char* kPropLhbaLoginOtherFailRsps = "LoginOtherFailRsps";
constexpr const char* kPropLhbaLoginRedirectRsps = "LoginRedirectRsps";
constexpr const char* kPropLhbaLoginAuthFailRsps = "LoginAuthFailRsps";
constexpr const char* kPropLhbaLoginAuthFails = "LoginAuthFails";
constexpr const char* kPropLhbaLoginNegoFails = "LoginNegoFails";
constexpr const char* kPropLhbaLogoutNormals = "LogoutNormals";
constexpr const char* kPropLhbaLogoutOthers = "LogoutOthers";
constexpr const char* kPropLhbaPortRowStatus = "PortRowStatus";
constexpr const char* kPropLhbaPortalRole = "PortalRole";
constexpr const char* kPropLhbaPortalProtocol = "PortalProtocol";
constexpr const char* kPropLhbaPortalTag = "PortalTag";

// ---- login options and CHAP (initiator, target and send-target-portal levels) ----------------------
constexpr const char* kPropInitialR2T = "InitialR2T";
constexpr const char* kPropImmediateData = "ImmediateData";
constexpr const char* kPropHeaderDigest = "HeaderDigest";
constexpr const char* kPropDataDigest = "DataDigest";
constexpr const char* kPropHeaderParam = "HeaderParam";
constexpr const char* kPropDataParam = "DataParam";
constexpr const char* kPropAuthenticationMethod = "AuthenticationMethod";
constexpr const char* kPropInitiatorCHAPName = "InitiatorCHAPName";
constexpr const char* kPropInitiatorSecret = "InitiatorSecret";
constexpr const char* kPropTargetCHAPName = "TargetCHAPName";
constexpr const char* kPropTargetSecret = "TargetSecret";
constexpr const char* kPropCHAPParam = "CHAPParam";

// ---- target, target portal, LUN --------------------------------------------------------------------
constexpr const char* kPropTargetISCSIName = "TargetISCSIName";
constexpr const char* kPropTargetAlias = "TargetAlias";
constexpr const char* kPropETO = "ETO";
constexpr const char* kPropTargetType = "TargetType";
constexpr const char* kPropTargetIPAddress = "TargetIPAddress";
constexpr const char* kPropTargetPortNumber = "TargetPortNumber";
constexpr const char* kPropPortalGroupTag = "PortalGroupTag";
constexpr const char* kPropLUNNumber = "LUNNumber";
constexpr const char* kPropLUNSize = "LUNSize";
constexpr const char* kPropBlockSize = "BlockSize";
constexpr const char* kPropDeviceVendorName = "DeviceVendorName";
constexpr const char* kPropDeviceModelNumber = "DeviceModelNumber";
constexpr const char* kPropLUNName = "LUNName";
constexpr const char* kPropLUNSerialNumber = "LUNSerialNumber";
constexpr const char* kPropLUNType = "LUNType";

// ---- send-target portal ------------------------------------------------------------------------------
constexpr const char* kPropStpIPAddress = "IPAddress";
constexpr const char* kPropStpPortNumber = "PortNumber";
constexpr const char* kPropStpPortMacAddress = "PortMacAddress";

// ---- actions -----------------------------------------------------------------------------------------
constexpr const char* kActionAddTarget = "AddTarget";
constexpr const char* kActionDeleteTarget = "DeleteTarget";
constexpr const char* kActionConfigureCHAP = "ConfigureCHAP";
constexpr const char* kActionDeleteCHAP = "DeleteCHAP";
constexpr const char* kActionAddSendTargetPortal = "AddSendTargetPortal";
constexpr const char* kActionDeleteSendTargetPortal = "DeleteSendTargetPortal";
constexpr const char* kActionRefreshAvailableTargets = "RefreshAvailableTargets";
constexpr const char* kActionLogin = "Login";
constexpr const char* kActionDeleteTargetPortal = "DeleteTargetPortal";
constexpr const char* kActionAddTargetPortal = "AddTargetPortal";
constexpr const char* kActionLogout = "Logout";
constexpr const char* kActionReScanLUNS = "ReScanLUNS";
constexpr const char* kActionStdInquiry = "StdInquiry";
constexpr const char* kActionSCSIWrite = "SCSIWrite";
constexpr const char* kActionDiscoverTargets = "DiscoverTargets";

}  // namespace vx
