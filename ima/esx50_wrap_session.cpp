// Targets, logical units, sessions and connections of a logical HBA, and logging sessions in and
// out. A target is LogicalHBA<k>/Target<m> with TargetPortal<n>, Session<s> and LUN<n> groups; a
// session has one connection, Connection0. A target identifier holds the tag of one of the
// target's portals (the lowest-numbered in every list), so the target is that node's parent.
#include <strings.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "ima/address_text.h"
#include "ima/front.h"
#include "schema/names_iscsi_phba.h"

namespace vx {
namespace {

constexpr uint32_t kLhbaOrTarget = oid_types({IMA_OBJECT_TYPE_LHBA, IMA_OBJECT_TYPE_TARGET});
constexpr uint32_t kSessionOwners = oid_types({IMA_OBJECT_TYPE_LHBA, IMA_OBJECT_TYPE_TARGET, IMA_OBJECT_TYPE_SESSION});
constexpr uint32_t kSessionOnly = oid_types({IMA_OBJECT_TYPE_SESSION});
constexpr uint32_t kConnectionOnly = oid_types({IMA_OBJECT_TYPE_CONNECTION});
constexpr const char* kFirstConnection = "Connection0";
constexpr const char* kSessionOpen = "Open";
constexpr const char* kSessionClosed = "Closed";
constexpr const char* kSessionLoginFailed = "Login failed";
constexpr const char* kConnectionLoggedIn = "Logged-in";
constexpr const char* kConnectionClosed = "Connection closed";
constexpr const char* kNoAddress = "N/A";
constexpr const char* kNotBoot = "False";
constexpr uint32_t kLastStatusLogoutRefused = 115;

// Slots of "Login": IPAddress, PortNumber, SessionInitiatorName, ISIDQualifier, BootTarget.
enum LoginSlot { kLoginAddress = 0, kLoginPort = 1, kLoginName = 2, kLoginIsid = 3, kLoginBoot = 4 };

// Set to true by any failed step of a rediscovery, for the life of the process.
std::atomic<bool> g_discover_failed{false};

// ---- gatherings -----------------------------------------------------------------------------------

// The targets an identifier covers: every target of a logical HBA, or the one target of a target
// identifier (its node's parent).
uint32_t targets_in(const IMA_OID& oid, std::vector<int32_t>* targets) {
  if (oid.objectType != IMA_OBJECT_TYPE_TARGET) return targets_of(oid_tag(oid), targets);
  int32_t target = 0;
  const uint32_t status = parent_of(oid_tag(oid), &target);
  if (status == 0) targets->push_back(target);
  return status;
}

// The instances of `group` of every target in order.
uint32_t gather(const std::vector<int32_t>& targets, const char* group, std::vector<int32_t>* out) {
  for (int32_t target : targets) {
    const uint32_t status = Varu_Get_Child_Tags(target, group, out);
    if (status != 0) return status;
  }
  return 0;
}

// The lowest-numbered portal of a target; 0 when it has none.
uint32_t first_portal(int32_t target, int32_t* portal) {
  std::vector<int32_t> portals;
  const uint32_t status = portals_of(target, &portals);
  *portal = portals.empty() ? 0 : portals[0];
  return status;
}

IMA_STATUS list_targets(const IMA_OID& oid, IMA_OID_LIST** list) {
  if (list == nullptr) return IMA_ERROR_INVALID_PARAMETER;
  const IMA_STATUS checked = check_oid(oid, oid_types({IMA_OBJECT_TYPE_LHBA, IMA_OBJECT_TYPE_LNP}));
  if (checked != IMA_STATUS_SUCCESS) return checked;
  int32_t lhba = 0;
  std::vector<int32_t> targets;
  uint32_t status = lhba_of(oid, &lhba);
  if (status == 0) status = targets_of(lhba, &targets);
  std::vector<int32_t> firsts;
  for (size_t i = 0; status == 0 && i < targets.size(); ++i) {
    int32_t portal = 0;
    status = first_portal(targets[i], &portal);
    // A target without a portal has nothing an identifier could name.
    if (status == 0 && portal != 0) firsts.push_back(portal);
  }
  if (status != 0) return ErrorCheck(status);
  return publish_oids(IMA_OBJECT_TYPE_TARGET, firsts, list);
}

// ---- live sessions and log-in ------------------------------------------------------------------

// Runs the target's Login to this portal, as a session of no boot and with the initiator's own
// name and ISID qualifier.
uint32_t login_to(int32_t target, int32_t login, const Endpoint& at) {
  ActionParams params;
  params.set_text(kLoginAddress, at.address);
  params.set_text(kLoginPort, at.port);
  params.set_absent(kLoginName);
  params.set_absent(kLoginIsid);
  params.set_text(kLoginBoot, kNotBoot);
  return run_action(target, login, params);
}

}  // namespace

// A session counts unless it is "Closed"; one whose connection is closed counts only while its
// log-in is failing (the adapter goes on retrying it). Any failed read ends the test with 0.
int check_session(const std::vector<int32_t>& sessions, const char* address, const char* port) {
  for (int32_t session : sessions) {
    char status[kTextSize];
    char connection_status[kTextSize];
    int32_t connection = 0;
    Endpoint to;
    if (GetVaruPropertyVal(session, kPropSessionStatus, status) != 0 ||
        group_at(session, kFirstConnection, &connection) != 0 || read_destination(connection, &to) != 0 ||
        GetVaruPropertyVal(connection, kPropConnectionStatus, connection_status) != 0) {
      return 0;
    }
    if (std::strcmp(to.address, address) != 0 || std::strcmp(to.port, port) != 0) continue;
    if (std::strcmp(connection_status, kConnectionClosed) == 0) {
      if (std::strcmp(status, kSessionLoginFailed) == 0) return 1;
    } else if (std::strcmp(status, kSessionClosed) != 0) {
      return 1;
    }
  }
  return 0;
}

// Each log-in names its portal: left to choose, the adapter would take the same first portal every
// time, giving one portal several sessions and the others none.
IMA_STATUS IMA_check_session_status(int32_t target) {
  int32_t login = 0;
  std::vector<int32_t> portals;
  std::vector<int32_t> sessions;
  uint32_t status = find_action(target, kActionLogin, &login);
  if (status == 0) status = portals_of(target, &portals);
  if (status == 0) status = Varu_Get_Child_Tags(target, kGroupSession, &sessions);
  if (status != 0) return ErrorCheck(status);
  for (int32_t portal : portals) {
    Endpoint at;
    status = read_portal(portal, &at);
    if (status != 0) return ErrorCheck(status);
    if (!sessions.empty() && check_session(sessions, at.address, at.port) != 0) continue;
    status = login_to(target, login, at);
    if (status == 0) continue;
    ppdebug("%s:Login Failed\n", "IMA_check_session_status");
    if (sessions.empty()) return ErrorCheck(status);
  }
  return IMA_STATUS_SUCCESS;
}

namespace {

IMA_STATUS add_sessions(const IMA_OID& oid) {
  const IMA_STATUS checked = check_oid(oid, kSessionOwners);
  if (checked != IMA_STATUS_SUCCESS) return checked;
  if (oid.objectType == IMA_OBJECT_TYPE_SESSION) {   // one more session to the same destination
    int32_t target = 0;
    int32_t connection = 0;
    Endpoint to;
    uint32_t status = parent_of(oid_tag(oid), &target);
    if (status == 0) status = group_at(oid_tag(oid), kFirstConnection, &connection);
    if (status == 0) status = read_destination(connection, &to);
    int32_t login = 0;
    if (status == 0) status = find_action(target, kActionLogin, &login);
    return ErrorCheck(status != 0 ? status : login_to(target, login, to));
  }
  std::vector<int32_t> targets;
  const uint32_t status = targets_in(oid, &targets);
  if (status != 0) return ErrorCheck(status);
  for (int32_t target : targets) {
    const IMA_STATUS result = IMA_check_session_status(target);
    if (result != IMA_STATUS_SUCCESS) return ErrorCheck(result);
  }
  return IMA_STATUS_SUCCESS;
}

IMA_STATUS remove_sessions(const IMA_OID& oid) {
  const IMA_STATUS checked = check_oid(oid, kSessionOwners);
  if (checked != IMA_STATUS_SUCCESS) return checked;
  if (oid.objectType == IMA_OBJECT_TYPE_SESSION) {
    int32_t target = 0;
    uint32_t number = 0;
    uint32_t status = parent_of(oid_tag(oid), &target);
    if (status == 0) status = instance_number(oid_tag(oid), kGroupSession, &number);
    if (status != 0) return ErrorCheck(status);
    status = invoke_on_instance(target, kActionLogout, number);
    if (status == 0) return IMA_STATUS_SUCCESS;
    uint32_t code = 0;
    char text[VARU_STATUS_TEXT_SIZE];
    VARU_get_last_status(&code, text);
    return code == kLastStatusLogoutRefused ? IMA_ERROR_LOGOUT_REFUSED : ErrorCheck(status);
  }
  std::vector<int32_t> targets;
  uint32_t status = targets_in(oid, &targets);
  for (size_t i = 0; status == 0 && i < targets.size(); ++i) {
    std::vector<int32_t> sessions;
    status = Varu_Get_Child_Tags(targets[i], kGroupSession, &sessions);
    if (status != 0 || sessions.empty()) continue;
    ActionParams first_session;   // the handler logs out the target's first session
    for (int slot = 0; slot < 4; ++slot) first_session.set_absent(slot);
    status = invoke_action(targets[i], kActionLogout, first_session);
  }
  return ErrorCheck(status);
}

// Discovery through every SendTargets address, then a log-in to every portal without a live
// session. A failed step is remembered; a failed walk ends the rediscovery.
IMA_STATUS rediscover_lhba(int32_t lhba) {
  int32_t discovery = 0;
  std::vector<int32_t> send_targets;
  uint32_t status = group_at(lhba, kGroupDiscovery, &discovery);
  if (status == 0) status = Varu_Get_Child_Tags(discovery, kGroupSendTargetPortal, &send_targets);
  for (size_t i = 0; status == 0 && i < send_targets.size(); ++i) {
    ActionParams all_targets;
    all_targets.set_absent(0);   // TargetName
    int32_t discover = 0;
    status = find_action(send_targets[i], kActionDiscoverTargets, &discover);
    if (status == 0 && run_action(send_targets[i], discover, all_targets) != 0) g_discover_failed = true;
  }
  int32_t refresh = 0;
  if (status == 0) status = find_action(discovery, kActionRefreshAvailableTargets, &refresh);
  if (status == 0) {
    ActionParams none;
    if (run_action(discovery, refresh, none) != 0) ppdebug("Failed to do RefreshAvailableTargets \n");
  }
  std::vector<int32_t> targets;
  if (status == 0) status = targets_of(lhba, &targets);
  for (size_t t = 0; status == 0 && t < targets.size(); ++t) {
    std::vector<int32_t> portals;
    std::vector<int32_t> sessions;
    status = portals_of(targets[t], &portals);
    if (status == 0) status = Varu_Get_Child_Tags(targets[t], kGroupSession, &sessions);
    for (size_t p = 0; status == 0 && p < portals.size(); ++p) {
      int32_t login = 0;
      if (find_action(targets[t], kActionLogin, &login) != 0) continue;
      Endpoint at;
      status = read_portal(portals[p], &at);
      if (status != 0 || check_session(sessions, at.address, at.port) != 0) continue;
      if (login_to(targets[t], login, at) != 0) g_discover_failed = true;
    }
  }
  if (status == 0) return IMA_STATUS_SUCCESS;
  g_discover_failed = true;
  return IMA_ERROR_GENERAL;
}

// ---- records ----------------------------------------------------------------------------------------

IMA_STATUS get_target_properties(const IMA_OID& oid, IMA_TARGET_PROPERTIES* props) {
  if (props == nullptr) return IMA_ERROR_INVALID_PARAMETER;
  const IMA_STATUS checked = check_oid(oid, oid_types({IMA_OBJECT_TYPE_TARGET}));
  if (checked != IMA_STATUS_SUCCESS) return checked;
  int32_t target = 0;
  const IMA_STATUS owners = associate(oid_tag(oid), 2, &props->associatedNodeOid, &props->associatedLhbaOid);
  if (owners != IMA_STATUS_SUCCESS) return owners;
  if (const uint32_t walk = parent_of(oid_tag(oid), &target); walk != 0) return ErrorCheck(walk);
  static constexpr FieldRow kRows[] = {
      {"", kPropTargetISCSIName, write_wide, VX_FIELD(IMA_TARGET_PROPERTIES, name), 0},
      {"", kPropTargetAlias, write_wide, VX_FIELD(IMA_TARGET_PROPERTIES, alias), 0},
  };
  const IMA_STATUS filled = fill_record(target, kRows, props);
  if (filled != IMA_STATUS_SUCCESS) return filled;
  props->discoverySettable = 0;
  props->discoveryEnabled = 1;
  return IMA_STATUS_SUCCESS;
}

IMA_STATUS get_lu_properties(const IMA_OID& oid, IMA_LU_PROPERTIES* props) {
  if (props == nullptr) return IMA_ERROR_INVALID_PARAMETER;
  std::memset(props, 0, sizeof *props);
  const IMA_STATUS checked = check_oid(oid, oid_types({IMA_OBJECT_TYPE_LU}));
  if (checked != IMA_STATUS_SUCCESS) return checked;
  int32_t target = 0;
  int32_t portal = 0;
  uint32_t walk = parent_of(oid_tag(oid), &target);
  if (walk == 0) walk = first_portal(target, &portal);
  // A target without a portal has nothing to name it by: the failed lookup of its first portal is
  // the answer, not the root's tag.
  if (walk == 0 && portal == 0) walk = group_at(target, "TargetPortal0", &portal);
  if (walk != 0) return ErrorCheck(walk);
  props->associatedTargetOid = make_oid(IMA_OBJECT_TYPE_TARGET, portal);
  static constexpr FieldRow kRows[] = {{"", kPropLUNNumber, write_hex, VX_FIELD(IMA_LU_PROPERTIES, targetLun), 0}};
  return fill_record(oid_tag(oid), kRows, props);
}

using S = IMA_SESSION_PROPERTIES;
constexpr FieldRow kSessionRows[] = {
    {"", kPropSessionTSIH, write_decimal, VX_FIELD(S, tsih), 0},
    {"", kPropSessionISID, write_hex, VX_FIELD(S, isid), 0},
};
constexpr FieldRow kNegotiatedRows[] = {
    {kGroupSessionNegotiatedLoginOptions, kPropDataPDUInOrder, write_flag, VX_FIELD(S, dataPduInOrder), 0},
    {kGroupSessionNegotiatedLoginOptions, kPropDataSequenceInOrder, write_flag, VX_FIELD(S, dataSequenceInOrder), 0},
    {kGroupSessionNegotiatedLoginOptions, kPropDefaultTime2Retain, write_decimal, VX_FIELD(S, defaultTime2Retain), 0},
    {kGroupSessionNegotiatedLoginOptions, kPropDefaultTime2Wait, write_decimal, VX_FIELD(S, defaultTime2Wait), 0},
    {kGroupSessionNegotiatedLoginOptions, kPropErrorRecoveryLevel, write_decimal, VX_FIELD(S, errorRecoveryLevel), 0},
    {kGroupSessionNegotiatedLoginOptions, kPropFirstBurstLength, write_decimal, VX_FIELD(S, firstBurstLength), 0},
    {kGroupSessionNegotiatedLoginOptions, kPropMaxBurstLength, write_decimal, VX_FIELD(S, maxBurstLength), 0},
    {kGroupSessionNegotiatedLoginOptions, kPropMaxConnections, write_decimal, VX_FIELD(S, maxConnections), 0},
    {kGroupSessionNegotiatedLoginOptions, kPropMaxOutstandingR2T, write_decimal, VX_FIELD(S, maxOutstandingR2T), 0},
    {kGroupSessionNegotiatedLoginOptions, kPropImmediateData, write_flag, VX_FIELD(S, immediateData), 0},
    {kGroupSessionNegotiatedLoginOptions, kPropInitialR2T, write_flag, VX_FIELD(S, initialR2T), 0},
    {"SessionLoginOptions/Authentication", kPropAuthenticationMethod, write_flag, VX_FIELD(S, authMethod), 0},
};

// The portal a session's connections lead to: by address for the target identifier (the last
// connection's match), by address and port for the portal group tag (the last match).
IMA_STATUS session_portal(int32_t session, int32_t target, IMA_SESSION_PROPERTIES* props) {
  std::vector<int32_t> portals;
  std::vector<int32_t> connections;
  uint32_t status = portals_of(target, &portals);
  if (status == 0) status = Varu_Get_Child_Tags(session, kGroupConnection, &connections);
  std::vector<Endpoint> at(portals.size());
  for (size_t p = 0; status == 0 && p < portals.size(); ++p) status = read_portal(portals[p], &at[p]);
  int32_t by_address = 0;
  int32_t by_endpoint = -1;
  for (size_t c = 0; status == 0 && c < connections.size(); ++c) {
    Endpoint to;
    status = read_destination(connections[c], &to);
    for (size_t p = 0; status == 0 && p < portals.size(); ++p) {
      if (std::strcmp(at[p].address, to.address) != 0) continue;
      by_address = portals[p];
      if (std::strcmp(at[p].port, to.port) == 0) by_endpoint = portals[p];
    }
  }
  if (status != 0) return ErrorCheck(status);
  props->associatedTargetOid = make_oid(IMA_OBJECT_TYPE_TARGET, by_address);
  if (by_endpoint < 0) return IMA_STATUS_SUCCESS;
  char tag[kTextSize];
  status = GetVaruPropertyVal(by_endpoint, kPropPortalGroupTag, tag);
  if (status != 0) return ErrorCheck(status);
  props->targetPortalGroupTag = static_cast<IMA_UINT16>(std::strtol(tag, nullptr, 10));
  return IMA_STATUS_SUCCESS;
}

IMA_STATUS get_session_properties(const IMA_OID& oid, IMA_SESSION_PROPERTIES* props) {
  if (props == nullptr) return IMA_ERROR_INVALID_PARAMETER;
  std::memset(props, 0, sizeof *props);
  const IMA_STATUS checked = check_oid(oid, kSessionOnly);
  if (checked != IMA_STATUS_SUCCESS) return checked;
  const int32_t session = oid_tag(oid);
  IMA_STATUS status = fill_record(session, kSessionRows, props);
  if (status != IMA_STATUS_SUCCESS) return status;
  int32_t target = 0;
  int32_t lhba = 0;
  if (const uint32_t walk = ancestors(session, {&target, &lhba}); walk != 0) return ErrorCheck(walk);
  props->associatedLhbaOid = make_oid(IMA_OBJECT_TYPE_LHBA, lhba);
  status = session_portal(session, target, props);
  return status != IMA_STATUS_SUCCESS ? status : fill_record(session, kNegotiatedRows, props);
}

IMA_STATUS get_connection_properties(const IMA_OID& oid, IMA_CONNECTION_PROPERTIES* props) {
  if (props == nullptr) return IMA_ERROR_INVALID_PARAMETER;
  const IMA_STATUS checked = check_oid(oid, kConnectionOnly);
  if (checked != IMA_STATUS_SUCCESS) return checked;
  int32_t session = 0;
  int32_t target = 0;
  int32_t lhba = 0;
  if (const uint32_t walk = ancestors(oid_tag(oid), {&session, &target, &lhba}); walk != 0) return ErrorCheck(walk);
  props->associatedSessionOid = make_oid(IMA_OBJECT_TYPE_SESSION, session);
  using C = IMA_CONNECTION_PROPERTIES;
  static constexpr FieldRow kRows[] = {
      {"", kPropConnectioniSCSIConnectionID, write_decimal, VX_FIELD(C, connectionId), 0},
      {kGroupConnectionNegotiatedLoginOptions, kPropDataDigest, write_flag, VX_FIELD(C, dataDigest), 0},
      {kGroupConnectionNegotiatedLoginOptions, kPropHeaderDigest, write_flag, VX_FIELD(C, headerDigest), 0},
      {kGroupConnectionNegotiatedLoginOptions, kPropConnectionMaxSendDataSegmentLength, write_decimal,
       VX_FIELD(C, maxTransmitDataSegmentLength), 0},
  };
  static constexpr FieldRow kInitiatorRows[] = {
      {kGroupInitiatorDefaultLoginOptions, kPropMaxRecvDataSegmentLength, write_decimal,
       VX_FIELD(C, maxRecvDataSegmentLength), 0},
  };
  props->zeroField1 = 0;
  props->zeroField2 = 0;
  const IMA_STATUS filled = fill_record(oid_tag(oid), kRows, props);
  return filled != IMA_STATUS_SUCCESS ? filled : fill_record(lhba, kInitiatorRows, props);
}

IMA_STATUS get_connection_status(const IMA_OID& oid, IMA_VMW_CONNECTION_STATUS* out) {
  if (out == nullptr) return IMA_ERROR_INVALID_PARAMETER;
  const IMA_STATUS checked = check_oid(oid, kConnectionOnly);
  if (checked != IMA_STATUS_SUCCESS) return checked;
  constexpr const char* kReads[] = {kPropConnectionStatus, kPropConnectionSourceIPAddress,
                                    kPropConnectionDestinationIPAddress, kPropConnectionRedirectedDestinationIPAddress};
  char text[4][kTextSize];
  for (size_t i = 0; i < 4; ++i) {
    const uint32_t status = GetVaruPropertyVal(oid_tag(oid), kReads[i], text[i]);
    if (status != 0) return ErrorCheck(status);
  }
  out->destinationValid = 1;
  parse_ip_text(text[2], &out->destination);
  out->redirectedValid = 1;
  if (strcasecmp(text[3], kNoAddress) == 0) {
    out->redirected.ipv4Address = 0;
  } else {
    parse_ip_text(text[3], &out->redirected);
  }
  out->sourceValid = 1;
  parse_ip_text(text[1], &out->source);
  if (std::strcmp(text[0], kConnectionLoggedIn) == 0 || std::strcmp(text[0], kConnectionClosed) == 0) {
    out->state = IMA_VMW_CONNECTION_STATE_LOGGED_IN;
  }
  return IMA_STATUS_SUCCESS;
}

// A list of the `group` instances of every target an identifier covers; for sessions, only the open
// ones.
IMA_STATUS list_in_targets(const IMA_OID& oid, const char* group, uint32_t type, IMA_OID_LIST** list) {
  if (list == nullptr) return IMA_ERROR_INVALID_PARAMETER;
  const IMA_STATUS checked = check_oid(oid, kLhbaOrTarget);
  if (checked != IMA_STATUS_SUCCESS) return checked;
  std::vector<int32_t> targets;
  std::vector<int32_t> found;
  uint32_t status = targets_in(oid, &targets);
  if (status == 0) status = gather(targets, group, &found);
  if (status != 0) return ErrorCheck(status);
  if (type == IMA_OBJECT_TYPE_SESSION) {
    size_t open = 0;
    for (int32_t session : found) {
      char text[kTextSize];
      status = GetVaruPropertyVal(session, kPropSessionStatus, text);
      if (status != 0) return ErrorCheck(status);
      if (strcasecmp(text, kSessionOpen) == 0) found[open++] = session;
    }
    found.resize(open);
  }
  return publish_oids(type, found, list);
}

}  // namespace

bool rediscovery_failed() { return g_discover_failed.load(); }

}  // namespace vx

using namespace vx;

extern "C" {

IMA_API IMA_STATUS IMA_GetTargetOidList(IMA_OID oid, IMA_OID_LIST** list) {
  return guarded([&] { return list_targets(oid, list); });
}

IMA_API IMA_STATUS IMA_VMW_GetTargetOidList(IMA_OID oid, IMA_OID_LIST** list) {
  return guarded([&] { return list_targets(oid, list); });
}

IMA_API IMA_STATUS IMA_GetTargetProperties(IMA_OID oid, IMA_TARGET_PROPERTIES* props) {
  return guarded([&] { return get_target_properties(oid, props); });
}

IMA_API IMA_STATUS IMA_GetLuOidList(IMA_OID oid, IMA_OID_LIST** list) {
  return guarded([&] { return list_in_targets(oid, kGroupLUN, IMA_OBJECT_TYPE_LU, list); });
}

IMA_API IMA_STATUS IMA_GetLuProperties(IMA_OID oid, IMA_LU_PROPERTIES* props) {
  return guarded([&] { return get_lu_properties(oid, props); });
}

IMA_API IMA_STATUS IMA_LuReportLuns(IMA_OID oid, IMA_BOOL sendToWellKnownLun, IMA_BYTE, IMA_BYTE* out,
                                    IMA_UINT* outLength, IMA_BYTE* sense, IMA_UINT*) {
  return guarded([&] {
    if (out == nullptr || outLength == nullptr || sense == nullptr || sendToWellKnownLun > 1 || *outLength == 0) {
      return IMA_ERROR_INVALID_PARAMETER;
    }
    const IMA_STATUS checked = check_oid(oid, oid_types({IMA_OBJECT_TYPE_TARGET, IMA_OBJECT_TYPE_LU}));
    return checked != IMA_STATUS_SUCCESS ? checked : IMA_ERROR_NOT_SUPPORTED;
  });
}

IMA_API IMA_STATUS IMA_GetSessionOidList(IMA_OID oid, IMA_OID_LIST** list) {
  return guarded([&] { return list_in_targets(oid, kGroupSession, IMA_OBJECT_TYPE_SESSION, list); });
}

IMA_API IMA_STATUS IMA_GetSessionProperties(IMA_OID oid, IMA_SESSION_PROPERTIES* props) {
  return guarded([&] { return get_session_properties(oid, props); });
}

IMA_API IMA_STATUS IMA_GetConnectionOidList(IMA_OID oid, IMA_OID_LIST** list) {
  return guarded([&] {
    if (list == nullptr) return IMA_ERROR_INVALID_PARAMETER;
    const IMA_STATUS checked = check_oid(oid, kSessionOnly);
    if (checked != IMA_STATUS_SUCCESS) return checked;
    std::vector<int32_t> connections;
    const uint32_t status = Varu_Get_Child_Tags(oid_tag(oid), kGroupConnection, &connections);
    if (status != 0) return ErrorCheck(status);
    return publish_oids(IMA_OBJECT_TYPE_CONNECTION, connections, list);
  });
}

IMA_API IMA_STATUS IMA_GetConnectionProperties(IMA_OID oid, IMA_CONNECTION_PROPERTIES* props) {
  return guarded([&] { return get_connection_properties(oid, props); });
}

IMA_API IMA_STATUS IMA_VMW_GetConnectionStatus(IMA_OID oid, IMA_VMW_CONNECTION_STATUS* status) {
  return guarded([&] { return get_connection_status(oid, status); });
}

IMA_API IMA_STATUS IMA_VMW_RemoveSession(IMA_OID oid) {
  return guarded([&] { return remove_sessions(oid); });
}

IMA_API IMA_STATUS IMA_VMW_AddSession(IMA_OID oid) {
  return guarded([&] { return add_sessions(oid); });
}

IMA_API IMA_STATUS IMA_VMW_Rediscover(IMA_OID oid) {
  return guarded([&] {
    const IMA_STATUS checked = check_oid(oid, oid_types({IMA_OBJECT_TYPE_LHBA, IMA_OBJECT_TYPE_PHBA}));
    if (checked != IMA_STATUS_SUCCESS) return checked;
    // A physical HBA has its logical HBA below it; a logical HBA has none, and nothing is done.
    std::vector<int32_t> lhbas;
    if (Varu_Get_Child_Tags(oid_tag(oid), kGroupLogicalHBA, &lhbas) != 0) {
      g_discover_failed = true;
      return IMA_ERROR_GENERAL;
    }
    for (int32_t lhba : lhbas) {
      const IMA_STATUS status = rediscover_lhba(lhba);
      if (status != IMA_STATUS_SUCCESS) return status;
    }
    return IMA_STATUS_SUCCESS;
  });
}

}  // extern "C"
