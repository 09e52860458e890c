#include "iscsi/statistics.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "access/fw_commands.h"
#include "access/text.h"
#include "access/walks.h"
#include "engine/messages.h"
#include "iscsi/common.h"
#include "iscsi/lookups.h"
#include "iscsi/net_records.h"
#include "iscsi/sessions.h"
#include "iscsi/validators.h"
#include "schema/handlers.h"
#include "schema/names_iscsi.h"
#include "schema/names_iscsi_phba.h"

namespace vx {
namespace {

constexpr const char* kSessionFailureNames[] = {"OtherErrors", "DigestErrors", "ConnectionTimeoutErrors",
                                                "FormatErrors"};
constexpr const char* kLoginFailureNames[] = {"UnknownFailure",           "LoginAcceptFailure",
                                              "OtherFailure",             "LoginRedirectFailure",
                                              "LoginAuthorizationFailure", "LoginAuthenticationFailure",
                                              "LoginNegotiationFailure"};

constexpr StatRow kNodeRows[] = {
    {kNodeCountOffset, 4, Shown::kDecimal, kPropLhbaNodeCount},
    {kNodeRolesOffset, 2, Shown::kHex, kPropLhbaNodeRoles},
    {kPortalCountOffset, 2, Shown::kHex, kPropLhbaPortalCount},
    {kPortRowStatusOffset, 4, Shown::kDecimal, kPropLhbaPortRowStatus},
    {kPortalRoleOffset, 1, Shown::kHex, kPropLhbaPortalRole},
    {kPortalProtocolOffset, 1, Shown::kHex, kPropLhbaPortalProtocol},
    {kPortalTagOffset, 2, Shown::kDecimal, kPropLhbaPortalTag},
};

constexpr StatRow kInitiatorRows[] = {
    {kSessionCountOffset, 4, Shown::kDecimal, kPropLhbaSessionCount},
    {kSessionFailureCountOffset, 4, Shown::kDecimal, kPropLhbaSessionFailureCount},
    {kLastSessionFailureTypeOffset, 4, Shown::kSessionFailure, kPropLhbaLastSessionFailureType},
    {kLastSessionRmtNodeNameOffset, kLastSessionRmtNodeNameSize, Shown::kText, kPropLhbaLastSessionRmtNodeName},
    {kSessionDigestErrorsOffset, 4, Shown::kDecimal, kPropLhbaSessionDigestErrors},
    {kSessionConnectionTimeoutOffset, 4, Shown::kDecimal, kPropLhbaSessionConnectionTimeout},
    {kSessionFormatErrorsOffset, 4, Shown::kDecimal, kPropLhbaSessionFormatErrors},
};

constexpr StatRow kLoginRows[] = {
    {kLoginFailuresOffset, 4, Shown::kDecimal, kPropLhbaLoginFailures},
    {kLastFailureTimeOffset, 4, Shown::kDecimal, kPropLhbaLastFailureTime},
    {kLastFailureTypeOffset, 4, Shown::kLoginFailure, kPropLhbaLastFailureType},
    {kLastTgtFailureNameOffset, kLastTgtFailureNameSize, Shown::kText, kPropLhbaLastTgtFailureName},
    {kLastTgtFailureAddrTypeOffset, 17, Shown::kAddress, kPropLhbaLastTgtFailureAddr},
    {kLoginAcceptRspsOffset, 4, Shown::kDecimal, kPropLhbaLoginAcceptRsps},
    {kLoginOtherFailRspsOffset, 4, Shown::kDecimal, kPropLhbaLoginOtherFailRsps},
    {kLoginRedirectRspsOffset, 4, Shown::kDecimal, kPropLhbaLoginRedirectRsps},
    {kLoginAuthFailRspsOffset, 4, Shown::kDecimal, kPropLhbaLoginAuthFailRsps},
    {kLoginAuthFailsOffset, 4, Shown::kDecimal, kPropLhbaLoginAuthFails},
    {kLoginNegoFailsOffset, 4, Shown::kDecimal, kPropLhbaLoginNegoFails},
    {kLogoutNormalsOffset, 4, Shown::kDecimal, kPropLhbaLogoutNormals},
    {kLogoutOthersOffset, 4, Shown::kDecimal, kPropLhbaLogoutOthers},
};

uint32_t number_at(const uint8_t* p, uint8_t width) {
  uint32_t value = 0;
  for (uint8_t i = 0; i < width && i < 4; ++i) value |= static_cast<uint32_t>(p[i]) << (8 * i);
  return value;
}

// The text of one field; false when the value lies outside its code table.
bool field_value(const StatRow& row, const uint8_t* p, std::string* out) {
  const uint32_t value = number_at(p, row.width);
  switch (row.shown) {
    case Shown::kDecimal:
      *out = std::to_string(value);
      return true;
    case Shown::kHex: {
      char text[12];
      std::snprintf(text, sizeof text, "%x", value);
      *out = text;
      return true;
    }
    case Shown::kText:
      *out = field_text(reinterpret_cast<const char*>(p), row.width);
      return true;
    case Shown::kAddress: {
      char text[kIpv6TextSize] = "";
      ipaddr_to_string(p + 1, text, sizeof text, p[0]);
      *out = text;
      return true;
    }
    case Shown::kSessionFailure:
      if (value >= sizeof kSessionFailureNames / sizeof kSessionFailureNames[0]) return false;
      *out = kSessionFailureNames[value];
      return true;
    case Shown::kLoginFailure:
      if (value >= sizeof kLoginFailureNames / sizeof kLoginFailureNames[0]) return false;
      *out = kLoginFailureNames[value];
      return true;
  }
  return false;
}

using StatFetch = uint32_t (*)(int32_t, void*, uint8_t, uint8_t);

uint32_t fetch_and_publish(StatFetch fetch, size_t size, int32_t port, int32_t domain, int32_t phba_port, hm_node* lhba,
                           const StatRow* rows, size_t count, uint32_t status, const char* text) {
  hm_node* group = internal_get_node(lhba, kGroupiSCSIStatistics, kGroup);
  if (group == nullptr) return kStatusFailed;
  std::vector<uint8_t> record(size, 0);
  if (fetch(port, record.data(), static_cast<uint8_t>(domain), static_cast<uint8_t>(phba_port)) != 0) {
    return refuse(status, text);
  }
  return publish_stats(group, record.data(), record.size(), rows, count);
}

// The logical HBA above an iSCSIStatistics property, and its command addressing.
uint32_t lhba_stats(hm_node* prop, char* buf, uint32_t op,
                    uint32_t (*fetch)(int32_t, int32_t, int32_t, hm_node*)) {
  if (op != kGet) return kStatusFailed;
  hm_node* lhba = owning_group(prop)->parent;
  const CommandAddress at = command_address(lhba);
  if (fetch(at.port, at.domain, at.phba_port, lhba) != 0) return kStatusFailed;
  return handle_internal_property(prop, buf, kGet);
}

}  // namespace

const StatRow kSessionStatRows[] = {
    {offsetof(session_attributes_entry, direction), 4, Shown::kDecimal, kPropStatSessionDirection},
    {offsetof(session_attributes_entry, target_alias), 32, Shown::kText, kPropStatSessionTargetAlias},
    {offsetof(session_attributes_entry, cmd_pdus), 4, Shown::kDecimal, kPropStatCmdPdus},
    {offsetof(session_attributes_entry, rsp_pdus), 4, Shown::kDecimal, kPropStatRspPdus},
    {offsetof(session_attributes_entry, tx_data_octets), 4, Shown::kDecimal, kPropStatTxDataOctetsHigh},
    {offsetof(session_attributes_entry, rx_data_octets), 4, Shown::kDecimal, kPropStatRxDataOctetsHigh},
    {offsetof(session_attributes_entry, digest_errors), 4, Shown::kDecimal, kPropStatDigestErrors},
    {offsetof(session_attributes_entry, timeout_errors), 4, Shown::kDecimal, kPropStatCxnTimeoutErrors},
};
const size_t kSessionStatRowCount = sizeof kSessionStatRows / sizeof kSessionStatRows[0];

uint32_t publish_stats(hm_node* group, const uint8_t* record, size_t size, const StatRow* rows, size_t count) {
  uint32_t result = kStatusOk;
  for (size_t i = 0; i < count; ++i) {
    const StatRow& row = rows[i];
    std::string value;
    if (row.offset + row.width > size || !field_value(row, record + row.offset, &value)) continue;
    if (!set_cached(group, row.property, value)) result = kStatusFailed;
  }
  return result;
}

const uint8_t* find_session_entry(const uint8_t* reply, size_t size, size_t asked, uint32_t session_id) {
  if (size < kSessionAttributesHeader) return nullptr;
  uint32_t count = 0;
  std::memcpy(&count, reply + 4, sizeof count);
  const size_t room = (size - kSessionAttributesHeader) / kSessionAttributesEntry;
  const size_t entries = std::min({static_cast<size_t>(count), room, asked});
  for (size_t i = 0; i < entries; ++i) {
    const uint8_t* entry = reply + kSessionAttributesHeader + i * kSessionAttributesEntry;
    if (number_at(entry, 4) == session_id) return entry;
  }
  return nullptr;
}

uint32_t get_NodeAttr_Params(int32_t port, int32_t domain, int32_t phba_port, hm_node* lhba) {
  return fetch_and_publish(ioctl_get_node_params, kNodeParamsSize, port, domain, phba_port, lhba, kNodeRows,
                           sizeof kNodeRows / sizeof kNodeRows[0], kStatusNodeAttributes, msg::kNodeAttributesFailed);
}

uint32_t get_intr_stats_Params(int32_t port, int32_t domain, int32_t phba_port, hm_node* lhba) {
  return fetch_and_publish(ioctl_get_intr_inst_params, kInitiatorStatsSize, port, domain, phba_port, lhba,
                           kInitiatorRows, sizeof kInitiatorRows / sizeof kInitiatorRows[0], kStatusInitiatorStats,
                           msg::kInitiatorStatsFailed);
}

uint32_t get_login_stats_Params(int32_t port, int32_t domain, int32_t phba_port, hm_node* lhba) {
  return fetch_and_publish(ioctl_get_login_params, kLoginStatsSize, port, domain, phba_port, lhba, kLoginRows,
                           sizeof kLoginRows / sizeof kLoginRows[0], kStatusLoginStats, msg::kLoginStatsFailed);
}

uint32_t get_ssnAttr_Params(int32_t port, int32_t domain, int32_t phba_port, hm_node* session) {
  // A session without its firmware handle cannot be asked for; it reads as a failure.
  const instance_backend_record* rec = record_of(session);
  if (rec == nullptr) return kStatusFailed;
  const CommandAddress at{port, static_cast<uint8_t>(domain), static_cast<uint8_t>(phba_port)};
  std::vector<uint32_t> ids;
  const uint32_t listed = fetch_active_session_ids(at, &ids);
  if (listed != 0) return listed;
  std::vector<uint8_t> request(kSessionAttributesSize, 0);
  for (size_t first = 0; first < ids.size(); first += kSessionIdsPerBatch) {
    const size_t batch = std::min(kSessionIdsPerBatch, ids.size() - first);
    std::fill(request.begin(), request.end(), 0);
    const uint32_t header[2] = {kSessionAttributesMarker, static_cast<uint32_t>(batch)};
    std::memcpy(request.data(), header, sizeof header);
    std::memcpy(request.data() + kSessionAttributesHeader, ids.data() + first, batch * sizeof(uint32_t));
    const uint32_t rc = ioctl_get_SsnAttr_params(port, request.data(), static_cast<uint16_t>(request.size()), at.domain,
                                                 at.phba_port);
    if (rc == kStatusSessionClosed) return refuse(kStatusSessionClosed, msg::kFwSessionClosed);
    if (rc != 0) {
      varu_set_last_status(kStatusSessionAttributes, msg::kSessionAttributesFailed);
      return rc;
    }
    const uint8_t* entry = find_session_entry(request.data(), request.size(), batch, rec->firmware_handle);
    if (entry == nullptr) continue;
    hm_node* group = internal_get_node(session, kGroupSessionStatistics, kGroup);
    if (group == nullptr) return kStatusFailed;
    return publish_stats(group, entry, kSessionAttributesEntry, kSessionStatRows, kSessionStatRowCount);
  }
  // The firmware does not list this session.
  return kStatusFailed;
}

// ---- handlers -------------------------------------------------------------------------------------

uint32_t handle_NodeAttr_properties(hm_node* prop, char* buf, uint32_t op) {
  return lhba_stats(prop, buf, op, get_NodeAttr_Params);
}

uint32_t handle_intrInstStat_properties(hm_node* prop, char* buf, uint32_t op) {
  return lhba_stats(prop, buf, op, get_intr_stats_Params);
}

uint32_t handle_intrLoginStat_properties(hm_node* prop, char* buf, uint32_t op) {
  return lhba_stats(prop, buf, op, get_login_stats_Params);
}

uint32_t handle_SsnAttr_properties(hm_node* prop, char* buf, uint32_t op) {
  if (op != kGet) return kStatusFailed;
  hm_node* session = owning_group(prop)->parent;
  const CommandAddress at = command_address(session);
  if (get_ssnAttr_Params(at.port, at.domain, at.phba_port, session) != 0) return kStatusFailed;
  return handle_internal_property(prop, buf, kGet);
}

uint32_t handle_TargetAlias(hm_node* prop, char* buf, uint32_t op) {
  if (op != kGet) return kStatusFailed;
  hm_node* target = owning_group(prop);
  hm_node* session = get_first_instance(target, kGroupSession);
  std::string alias;
  if (session != nullptr) {
    hm_node* stats = internal_get_node(session, kGroupSessionStatistics, kGroup);
    if (stats == nullptr || !read_property(stats, kPropStatSessionTargetAlias, &alias)) return kStatusFailed;
  }
  if (!set_cached(target, kPropTargetAlias, alias)) return kStatusFailed;
  return handle_internal_property(prop, buf, kGet);
}

}  // namespace vx
