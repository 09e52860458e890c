// Schema of the session and its connection. Every property is read-only except iSCSIBoot; the
// set-up routines overwrite the defaults right after the build, and the session and connection
// handlers re-read the session from the adapter before they answer.
#include "schema/session.h"

#include "engine/builder.h"
#include "schema/handlers.h"
#include "schema/names_iscsi_phba.h"

namespace vx {
namespace {

// Rows that other rows hang under; pinned to their names below.
enum : int16_t {
  kLoginOptions = 0,
  kAuthentication = 5,
  kNegotiated = 11,
  kStatistics = 23,
};
enum : int16_t { kConnectionNegotiated = 0 };

InstanceBits g_session_bits;
InstanceBits g_connection_bits;

constexpr const char* kYesNo = "Yes,No";
constexpr const char* kDigests = "None,CRC32C";
constexpr const char* kAuthMethods = "None,Mutual CHAP,One-Way CHAP";
constexpr const char* kFalseTrue = "False,True";

constexpr SchemaRow kSessionRows[] = {
    /* 0 */ group(kInstance, kGroupSessionLoginOptions, "The login options that the session's login used."),
    /* 1 */ property(kLoginOptions, kPropInitialR2T, "Initial R2T asked for (\"Yes\" or \"No\").", kReadOnly,
                     handle_internal_property, one_of(kYesNo, 0, 3), "Yes"),
    /* 2 */ property(kLoginOptions, kPropImmediateData, "Immediate data asked for (\"Yes\" or \"No\").",
                     kReadOnly, handle_internal_property, one_of(kYesNo, 0, 3), "Yes"),
    /* 3 */ property(kLoginOptions, kPropHeaderDigest, "Header digest asked for (\"None\" or \"CRC32C\").",
                     kReadOnly, handle_internal_property, one_of(kDigests, 4, 6), "None"),
    /* 4 */ property(kLoginOptions, kPropDataDigest, "Data digest asked for (\"None\" or \"CRC32C\").",
                     kReadOnly, handle_internal_property, one_of(kDigests, 4, 6), "None"),
    /* 5 */ group(kLoginOptions, kGroupAuthentication, "The CHAP settings that the session's login used."),
    /* 6 */ property(kAuthentication, kPropAuthenticationMethod, "CHAP method.", kReadOnly,
                     handle_internal_property, one_of(kAuthMethods, 4, 12), "None"),
    /* 7 */ property(kAuthentication, kPropInitiatorCHAPName, "Initiator CHAP user name (Mutual CHAP only).",
                     kReadOnly, handle_internal_property, length(1, 256)),
    /* 8 */ property(kAuthentication, kPropInitiatorSecret,
                     "Initiator CHAP secret, shown in plain text (Mutual CHAP only).", kReadOnly,
                     handle_internal_property, length(12, 34)),
    /* 9 */ property(kAuthentication, kPropTargetCHAPName,
                     "Target CHAP user name (One-Way and Mutual CHAP).", kReadOnly, handle_internal_property,
                     length(1, 256)),
    /* 10 */ property(kAuthentication, kPropTargetSecret,
                      "Target CHAP secret, shown in plain text (One-Way and Mutual CHAP).", kReadOnly,
                      handle_internal_property, length(12, 34)),

    /* 11 */ group(kInstance, kGroupSessionNegotiatedLoginOptions,
                   "The values negotiated when the session was created."),
    /* 12 */ property(kNegotiated, kPropInitialR2T,
                      "\"Yes\": the initiator waits for the target to solicit data.", kReadOnly,
                      handle_internal_property, one_of(kYesNo, 0, 3), "Yes"),
    /* 13 */ property(kNegotiated, kPropImmediateData, "\"Yes\": unsolicited data may ride on a command.",
                      kReadOnly, handle_internal_property, one_of(kYesNo, 0, 3), "Yes"),
    /* 14 */ property(kNegotiated, kPropMaxConnections, "Connections allowed in the session.", kReadOnly,
                      handle_internal_property, range(1, 1), "1"),
    // Minimum above maximum as the description record has always reported it.
    /* 15 */ property(kNegotiated, kPropMaxOutstandingR2T, "Outstanding R2Ts per task.", kReadOnly,
                      handle_internal_property, range(1, 0), "1"),
    /* 16 */ property(kNegotiated, kPropFirstBurstLength, "Largest unsolicited burst, in bytes.", kReadOnly,
                      handle_internal_property, length(0, 10), "8192"),
    /* 17 */ property(kNegotiated, kPropMaxBurstLength, "Largest burst, in bytes.", kReadOnly,
                      handle_internal_property, range(0, 262144), "262144"),
    /* 18 */ property(kNegotiated, kPropDefaultTime2Wait, "Seconds to wait before reconnecting.", kReadOnly,
                      handle_internal_property, range(0, 2), "2"),
    /* 19 */ property(kNegotiated, kPropDefaultTime2Retain,
                      "Seconds after which a dropped connection can no longer be reassigned.", kReadOnly,
                      handle_internal_property, range(0, 20), "20"),
    /* 20 */ property(kNegotiated, kPropErrorRecoveryLevel,
                      "iSCSI error recovery level (0 = session restart only).", kReadOnly, handle_internal_property,
                      range(0, 0), "0"),
    /* 21 */ property(kNegotiated, kPropDataPDUInOrder, "Data PDUs in order within a sequence (0 or 1).",
                      kReadOnly, handle_internal_property, range(0, 1), "1"),
    /* 22 */ property(kNegotiated, kPropDataSequenceInOrder, "Data sequences in order (0 or 1).", kReadOnly,
                      handle_internal_property, range(0, 1), "1"),

    /* 23 */ group(kInstance, kGroupSessionStatistics,
                   "Statistics of the session, re-read from the adapter on every read."),
    /* 24 */ property(kStatistics, kPropStatSessionDirection,
                      "1 inbound (external initiator to a local target), 2 outbound (local initiator to an external "
                      "target).",
                      kReadOnly, handle_SsnAttr_properties, range(1, 2), "1"),
    // Counters start at "0" below their stored minimum of 1; the bounds are reported as they are.
    /* 25 */ property(kStatistics, kPropStatCmdPdus, "Command PDUs transferred.", kReadOnly,
                      handle_SsnAttr_properties, range(1, 65536), "0"),
    /* 26 */ property(kStatistics, kPropStatRspPdus, "Response PDUs transferred.", kReadOnly,
                      handle_SsnAttr_properties, range(1, 65536), "0"),
    /* 27 */ property(kStatistics, kPropStatTxDataOctetsHigh, "Data octets transmitted.", kReadOnly,
                      handle_SsnAttr_properties, range(1, -1), "0"),
    /* 28 */ property(kStatistics, kPropStatRxDataOctetsHigh, "Data octets received.", kReadOnly,
                      handle_SsnAttr_properties, range(1, -1), "0"),
    /* 29 */ property(kStatistics, kPropStatDigestErrors,
                      "PDUs received with a header or data digest error.", kReadOnly, handle_SsnAttr_properties,
                      range(0, 65536), "0"),
    /* 30 */ property(kStatistics, kPropStatCxnTimeoutErrors,
                      "Connections of the session ended by a time-out.", kReadOnly, handle_SsnAttr_properties,
                      range(0, 65536), "0"),
    /* 31 */ property(kStatistics, kPropStatSessionTargetAlias, "Alias of the target.", kReadOnly,
                      handle_SsnAttr_properties, length(0, 30)),

    /* 32 */ property(kInstance, kPropSessionTSIH, "Target session identifying handle; 0 = no session assigned.",
                      kReadOnly, handle_session_properties, length(0, 0), "0"),
    /* 33 */ property(kInstance, kPropSessionISIDQualifier, "ISID qualifier of the session, unique per session.",
                      kReadOnly, handle_session_properties, range(0, 0), "0"),
    /* 34 */ property(kInstance, kPropSessionISID, "ISID of the session, unique per session.", kReadOnly,
                      handle_internal_property, range(0, 0), "0"),
    /* 35 */ property(kInstance, kPropSessionInitiatorName, "iSCSI initiator name used by the session.", kReadOnly,
                      handle_session_properties, length(1, 223), "iqn.qm"),
    /* 36 */ property(kInstance, kPropSessionStatus,
                      "State of the session (\"Open\", \"Closed\", \"Login failed\" and others).", kReadOnly,
                      handle_session_properties, length(0, 32), "Unknown"),
    /* 37 */ property(kInstance, kPropSessioniSCSIBoot,
                      "\"True\" marks the session as the boot session, \"False\" a non-boot session.", kReadWrite,
                      handle_boot_session, one_of(kFalseTrue, 4, 5), "False"),
    /* 38 */ property(kInstance, kPropSessionPersistent,
                      "\"True\" when the login is restored automatically after a reboot.", kReadOnly,
                      handle_session_properties, one_of(kFalseTrue, 4, 5), "False"),
};

constexpr SchemaRow kConnectionRows[] = {
    /* 0 */ group(kInstance, kGroupConnectionNegotiatedLoginOptions, "The values negotiated for the connection."),
    /* 1 */ property(kConnectionNegotiated, kPropAuthenticationMethod, "CHAP method used.", kReadOnly,
                     handle_internal_property, one_of(kAuthMethods, 4, 12), "None"),
    /* 2 */ property(kConnectionNegotiated, kPropHeaderDigest,
                     "\"CRC32C\" when PDU headers carry a CRC32C digest.", kReadOnly, handle_internal_property,
                     one_of(kDigests, 4, 6), "None"),
    /* 3 */ property(kConnectionNegotiated, kPropDataDigest,
                     "\"CRC32C\" when PDU data segments carry a CRC32C digest.", kReadOnly, handle_internal_property,
                     one_of(kDigests, 4, 6), "None"),
    /* 4 */ property(kConnectionNegotiated, kPropConnectionMaxSendDataSegmentLength,
                     "Largest data segment the target can receive in one PDU, in bytes.", kReadOnly,
                     handle_internal_property, range(512, 16384), "16384"),
    /* 5 */ property(kConnectionNegotiated, kPropConnectionTCPMSS,
                     "TCP maximum segment size of the connection, in bytes: 8224 to 8248 with jumbo frames, else "
                     "1436 to 1460.",
                     kReadOnly, handle_internal_property, range(1436, 8248), "1460"),

    /* 6 */ property(kInstance, kPropConnectioniSCSIConnectionID, "iSCSI connection ID.", kReadOnly,
                     handle_connection_properties, range(1, 32), "1"),
    /* 7 */ property(kInstance, kPropConnectionStatus, "Status of the connection.", kReadOnly,
                     handle_connection_properties, length(0, 32), "Connection Status Unknown"),
    /* 8 */ property(kInstance, kPropConnectionSourcePortNumber, "Local TCP port.", kReadOnly,
                     handle_connection_properties, range(1024, 65535), "1024"),
    /* 9 */ property(kInstance, kPropConnectionDestinationPortNumber, "Target TCP port.", kReadOnly,
                     handle_connection_properties, range(1024, 65535), "1024"),
    /* 10 */ property(kInstance, kPropConnectionSourceIPAddress, "Local IP address.", kReadOnly,
                      handle_connection_properties, address(0, 0), "0.0.0.0"),
    /* 11 */ property(kInstance, kPropConnectionDestinationIPAddress, "Target IP address.", kReadOnly,
                      handle_connection_properties, address(0, 0), "0.0.0.0"),
    /* 12 */ property(kInstance, kPropConnectionRedirectedDestinationPort,
                      "TCP port the target redirected the login to.", kReadOnly, handle_connection_properties,
                      length(0, 0), "0"),
    /* 13 */ property(kInstance, kPropConnectionRedirectedDestinationIPAddress,
                      "IP address the target redirected the login to.", kReadOnly, handle_connection_properties,
                      length(0, 0), "0"),
};

static_assert(row_is(kSessionRows, kLoginOptions, kGroupSessionLoginOptions) &&
                  row_is(kSessionRows, kAuthentication, kGroupAuthentication) &&
                  row_is(kSessionRows, kNegotiated, kGroupSessionNegotiatedLoginOptions) &&
                  row_is(kSessionRows, kStatistics, kGroupSessionStatistics) &&
                  row_is(kConnectionRows, kConnectionNegotiated, kGroupConnectionNegotiatedLoginOptions),
              "group row indices out of step with the tables");

constexpr GroupSpec kSession = group_spec(kGroupSession,
                                          "One iSCSI session of the initiator with this target: the login options "
                                          "asked for, the negotiated values, identity, status and statistics.",
                                          /*max*/ 64, group_Session, kSessionRows, g_session_bits);
constexpr GroupSpec kConnection = group_spec(kGroupConnection,
                                             "The TCP connection of the session: addresses, ports, status and the "
                                             "values negotiated for it.",
                                             /*max*/ 1, nullptr, kConnectionRows, g_connection_bits);

}  // namespace

hm_node* initialize_Session(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]) {
  return build_instance(kSession, parent, origin, action, params);
}

hm_node* initialize_Connection(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]) {
  return build_instance(kConnection, parent, origin, action, params);
}

}  // namespace vx
