#include "tools/imahost/settings.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace imahost {
namespace {

int failed(const char* entry, IMA_STATUS status) {
  std::fprintf(stderr, "imahost: %s: %s\n", entry, status_text(status).c_str());
  return 1;
}

int refused(const std::string& word) {
  std::fprintf(stderr, "imahost: \"%s\" is not understood here (imahost help)\n", word.c_str());
  return 2;
}

// Calls an entry point of the host's plug-in; a failure is printed and ends the command.
#define CALL_OR_FAIL(fn, ...)                                             \
  do {                                                                    \
    const IMA_STATUS call_status_ = host.ima().fn(__VA_ARGS__);           \
    if (!IMA_SUCCESS(call_status_)) return failed(#fn, call_status_);     \
  } while (0)

// The word of a small vocabulary, its index; -1 when it is none of them.
int word_of(const std::string& word, std::initializer_list<const char*> words) {
  int i = 0;
  for (const char* w : words) {
    if (word == w) return i;
    ++i;
  }
  return -1;
}

bool parse_address(const std::string& text, IMA_IP_ADDRESS* out) {
  *out = IMA_IP_ADDRESS{};
  const bool ipv6 = text.find(':') != std::string::npos;
  out->ipv4Address = ipv6 ? 0 : 1;
  return ::inet_pton(ipv6 ? AF_INET6 : AF_INET, text.c_str(), out->ipAddress) == 1;
}

std::string address_text(const IMA_BYTE* bytes, bool ipv6) {
  char text[INET6_ADDRSTRLEN];
  return ::inet_ntop(ipv6 ? AF_INET6 : AF_INET, bytes, text, sizeof text) != nullptr ? text : "?";
}

void line(const char* label, const std::string& value) { std::printf("  %-25s %s\n", label, value.c_str()); }

// ---- authentication --------------------------------------------------------------------------------

const char* const kMethodWords[] = {"none", "chap"};
const char* const kPolicyWords[] = {"not given", "prohibited", "discouraged", "preferred", "required"};

IMA_INITIATOR_AUTHPARMS credentials(const std::string& name, const std::string& secret) {
  IMA_INITIATOR_AUTHPARMS parms{};
  IMA_CHAP_INITIATOR_AUTHPARMS& chap = parms.chapParms;
  std::snprintf(reinterpret_cast<char*>(chap.name), sizeof chap.name, "%s", name.c_str());
  std::snprintf(reinterpret_cast<char*>(chap.challengeSecret), sizeof chap.challengeSecret, "%s", secret.c_str());
  chap.nameLength = static_cast<IMA_UINT>(std::strlen(reinterpret_cast<char*>(chap.name)));
  chap.challengeSecretLength = static_cast<IMA_UINT>(std::strlen(reinterpret_cast<char*>(chap.challengeSecret)));
  return parms;
}

void show_chap(const char* label, const IMA_INITIATOR_AUTHPARMS& parms) {
  const IMA_CHAP_INITIATOR_AUTHPARMS& chap = parms.chapParms;
  const size_t secret = strnlen(reinterpret_cast<const char*>(chap.challengeSecret), sizeof chap.challengeSecret);
  line(label, std::string(reinterpret_cast<const char*>(chap.name), strnlen(reinterpret_cast<const char*>(chap.name),
                                                                            sizeof chap.name)) +
                  " (secret of " + std::to_string(secret) + " characters)");
}

}  // namespace

int auth_show(const Host& host, const IMA_OID& oid, const Words&) {
  IMA_UINT count = 2;
  IMA_AUTHMETHOD methods[2] = {};
  CALL_OR_FAIL(IMA_VMW_GetInUseInitiatorLocalAuthMethods, oid, &count, methods);
  std::string list;
  for (IMA_UINT i = 0; i < count && i < 2; ++i) list += (i > 0 ? "," : "") + std::string(kMethodWords[methods[i] & 1]);
  line("Methods in use", list);
  IMA_INITIATOR_AUTHPARMS one_way{};
  IMA_BOOL enabled = 1;
  if (oid.objectType == IMA_OBJECT_TYPE_LHBA) {
    CALL_OR_FAIL(IMA_GetInitiatorAuthParms, oid, IMA_AUTHMETHOD_CHAP, &one_way);
  } else {
    CALL_OR_FAIL(IMA_GetInitiatorLocalAuthParms, oid, IMA_AUTHMETHOD_CHAP, &one_way, &enabled);
  }
  show_chap("CHAP", one_way);
  IMA_INITIATOR_AUTHPARMS mutual{};
  CALL_OR_FAIL(IMA_VMW_GetMutualAuthParms, oid, IMA_AUTHMETHOD_CHAP, &mutual);
  uint32_t word = 0;
  std::memcpy(&word, mutual.chapParms.reserved, sizeof word);
  show_chap("Mutual CHAP", mutual);
  line("Mutual CHAP policy", word <= 4 ? kPolicyWords[word] : std::to_string(word));
  return 0;
}

int auth_methods(const Host& host, const IMA_OID& oid, const Words& args) {
  std::vector<IMA_AUTHMETHOD> methods;
  for (size_t start = 0; start <= args[1].size();) {
    const size_t comma = std::min(args[1].find(',', start), args[1].size());
    const int method = word_of(args[1].substr(start, comma - start), {"none", "chap"});
    if (method < 0) return refused(args[1]);
    methods.push_back(static_cast<IMA_AUTHMETHOD>(method));
    start = comma + 1;
  }
  CALL_OR_FAIL(IMA_VMW_SetInitiatorAuthMethods, oid, static_cast<IMA_UINT>(methods.size()), methods.data());
  return 0;
}

int auth_chap(const Host& host, const IMA_OID& oid, const Words& args) {
  const IMA_INITIATOR_AUTHPARMS parms = credentials(args[1], args[2]);
  CALL_OR_FAIL(IMA_VMW_SetInitiatorAuthParms, oid, IMA_AUTHMETHOD_CHAP, &parms);
  return 0;
}

int auth_mutual(const Host& host, const IMA_OID& oid, const Words& args) {
  const IMA_INITIATOR_AUTHPARMS parms = credentials(args[1], args[2]);
  CALL_OR_FAIL(IMA_VMW_SetMutualAuthParms, oid, IMA_AUTHMETHOD_CHAP, &parms);
  return 0;
}

int auth_mutual_off(const Host& host, const IMA_OID& oid, const Words&) {
  const IMA_INITIATOR_AUTHPARMS unused{};
  if (oid.objectType == IMA_OBJECT_TYPE_LHBA) {
    CALL_OR_FAIL(IMA_RemoveLhbaMutualAuthParms, oid, IMA_AUTHMETHOD_CHAP, &unused);
  } else {
    CALL_OR_FAIL(IMA_SetMutualLocalAuth, oid, IMA_AUTHMETHOD_CHAP, 0);
  }
  return 0;
}

// ---- IP configuration --------------------------------------------------------------------------------

int ip_show(const Host& host, const IMA_OID& phba, const Words&) {
  const EntryPoints& ima = host.ima();
  std::vector<IMA_OID> portals;
  const IMA_OID lnp{IMA_OBJECT_TYPE_LNP, phba.ownerId, phba.sequenceLow, phba.sequenceHigh};
  IMA_STATUS status = host.list(ima.IMA_GetNetworkPortalOidList, lnp, &portals);
  if (!IMA_SUCCESS(status) || portals.empty()) return failed("IMA_GetNetworkPortalOidList", status);
  IMA_NETWORK_PORTAL_PROPERTIES portal{};
  CALL_OR_FAIL(IMA_GetNetworkPortalProperties, portals[0], &portal);
  line("Network portal", oid_text(portals[0]) + " " + address_text(portal.ipAddress.ipAddress, false));
  IMA_VMW_EXTENDED_IP_PROPERTIES ip{};
  status = ima.IMA_VMW_GetExtendedIpProperties(phba, &ip);
  if (!IMA_SUCCESS(status) && status != IMA_ERROR_NOT_SUPPORTED) {
    return failed("IMA_VMW_GetExtendedIpProperties", status);
  }
  line("DHCP", ip.dhcpConfigurationEnabled != 0 ? "on" : "off");
  line("Subnet mask", ip.subnetMaskValid != 0 ? address_text(ip.subnetMask.ipAddress, false) : "none");
  line("Default gateway", ip.defaultGatewayValid != 0 ? address_text(ip.defaultGateway.ipAddress, false) : "none");
  IMA_VMW_NETWORK_PORTAL_PROPERTIES* v6 = nullptr;
  if (status == IMA_STATUS_SUCCESS && IMA_SUCCESS(ima.IMA_VMW_GetNetworkPortalProperties(phba, &v6))) {
    const char* const states[] = {"other", "static", "auto-assigned"};
    line("IPv6 address", address_text(v6->ipv6Address, true) + " (" + states[v6->ipv6State % 3] + ")");
    ima.IMA_FreeMemory(v6);
    line("IPv6 auto-configuration", ip.ipv6AutoConfigurationEnabled != 0 ? "on" : "off");
    line("IPv6 default gateway",
         ip.ipv6DefaultGatewayValid != 0 ? address_text(ip.ipv6DefaultGateway.ipAddress, true) : "none");
  } else {
    line("IPv6", "not supported");
  }
  IMA_MIN_MAX_VALUE mtu{};
  CALL_OR_FAIL(IMA_VMW_GetMtuProperties, phba, &mtu);
  line("MTU", std::to_string(mtu.currentValue));
  return 0;
}

int ip_address(const Host& host, const IMA_OID& oid, const Words& args) {
  IMA_IP_ADDRESS address;
  if (!parse_address(args[1], &address)) return refused(args[1]);
  const IMA_BOOL ipv6 = address.ipv4Address == 0 ? 1 : 0;
  CALL_OR_FAIL(IMA_VMW_SetNetworkPortalIpAddress, oid, &address, ipv6, ipv6);
  return 0;
}

int ip_mask(const Host& host, const IMA_OID& oid, const Words& args) {
  IMA_IP_ADDRESS mask;
  if (!parse_address(args[1], &mask) || mask.ipv4Address != 1) return refused(args[1]);
  CALL_OR_FAIL(IMA_VMW_SetSubnetMask, oid, mask);
  return 0;
}

int ip_gateway(const Host& host, const IMA_OID& oid, const Words& args) {
  IMA_IP_ADDRESS gateway;
  if (!parse_address(args[1], &gateway)) return refused(args[1]);
  CALL_OR_FAIL(IMA_VMW_SetDefaultGateway, oid, gateway);
  return 0;
}

int ip_dhcp(const Host& host, const IMA_OID& phba, const Words& args) {
  const int on = word_of(args[1], {"off", "on"});
  if (on < 0) return refused(args[1]);
  std::vector<IMA_OID> pnps;
  const IMA_STATUS status = host.list(host.ima().IMA_GetPnpOidList, phba, &pnps);
  if (!IMA_SUCCESS(status) || pnps.empty()) return failed("IMA_GetPnpOidList", status);
  CALL_OR_FAIL(IMA_SetIpConfigMethod, pnps[0], static_cast<IMA_BOOL>(on));
  return 0;
}

int ip_ipv6_auto(const Host& host, const IMA_OID& oid, const Words& args) {
  const int mode = word_of(args[1], {"off", "auto", "dhcp"});
  if (mode < 0) return refused(args[1]);
  CALL_OR_FAIL(IMA_VMW_SetIpv6ConfigMethod, oid, mode == 2 ? 1u : 0u, mode > 0 ? 1u : 0u);
  return 0;
}

// ---- login parameters ----------------------------------------------------------------------------------

namespace {

// One reader of the plug-in and the label it is shown with.
template <typename Getter>
struct Reader {
  const char* label;
  Getter EntryPoints::*get;
};
constexpr Reader<decltype(&::IMA_GetMaxConnectionsProperties)> kNumbers[] = {
    {"MaxConnections", &EntryPoints::IMA_GetMaxConnectionsProperties},
    {"MaxOutstandingR2T", &EntryPoints::IMA_GetMaxOutstandingR2TProperties},
    {"FirstBurstLength", &EntryPoints::IMA_GetFirstBurstLengthProperties},
    {"MaxBurstLength", &EntryPoints::IMA_GetMaxBurstLengthProperties},
    {"DefaultTime2Wait", &EntryPoints::IMA_GetDefaultTime2WaitProperties},
    {"DefaultTime2Retain", &EntryPoints::IMA_GetDefaultTime2RetainProperties},
    {"ErrorRecoveryLevel", &EntryPoints::IMA_GetErrorRecoveryLevelProperties},
    {"MaxRecvDataSegmentLength", &EntryPoints::IMA_GetMaxRecvDataSegmentLengthProperties},
};
constexpr Reader<decltype(&::IMA_GetImmediateDataProperties)> kFlags[] = {
    {"DataPDUInOrder", &EntryPoints::IMA_GetDataPduInOrderProperties},
    {"DataSequenceInOrder", &EntryPoints::IMA_GetDataSequenceInOrderProperties},
    {"ImmediateData", &EntryPoints::IMA_GetImmediateDataProperties},
    {"InitialR2T", &EntryPoints::IMA_GetInitialR2TProperties},
};
constexpr Reader<decltype(&::IMA_VMW_GetHeaderDigest)> kDigests[] = {
    {"HeaderDigest", &EntryPoints::IMA_VMW_GetHeaderDigest},
    {"DataDigest", &EntryPoints::IMA_VMW_GetDataDigest},
};

}  // namespace

int login_show(const Host& host, const IMA_OID& oid, const Words&) {
  const EntryPoints& ima = host.ima();
  for (const auto& row : kNumbers) {
    IMA_MIN_MAX_VALUE value{};
    if (const IMA_STATUS status = (ima.*row.get)(oid, &value); !IMA_SUCCESS(status)) return failed(row.label, status);
    line(row.label, std::to_string(value.currentValue) + (value.settable != 0 ? " (settable)" : ""));
  }
  for (const auto& row : kFlags) {
    IMA_BOOL_VALUE value{};
    if (const IMA_STATUS status = (ima.*row.get)(oid, &value); !IMA_SUCCESS(status)) return failed(row.label, status);
    line(row.label, std::string(value.currentValue != 0 ? "yes" : "no") + (value.settable != 0 ? " (settable)" : ""));
  }
  for (const auto& row : kDigests) {
    IMA_UINT count = 0;
    IMA_UINT digests[2] = {};
    const IMA_STATUS status = (ima.*row.get)(oid, &count, digests);
    if (!IMA_SUCCESS(status)) return failed(row.label, status);
    line(row.label, count == 1 ? "none" : "CRC32C preferred");
  }
  return 0;
}

int login_set(const Host& host, const IMA_OID& oid, const Words& args) {
  const int key = word_of(args[1], {"header-digest", "data-digest", "immediate-data"});
  const int value = word_of(args[2], key == 2 ? std::initializer_list<const char*>{"no", "yes"}
                                              : std::initializer_list<const char*>{"none", "crc32c"});
  if (key < 0 || value < 0) return refused(key < 0 ? args[1] : args[2]);
  const IMA_UINT digest = static_cast<IMA_UINT>(value);
  if (key == 0) CALL_OR_FAIL(IMA_VMW_SetHeaderDigest, oid, 1, &digest);
  if (key == 1) CALL_OR_FAIL(IMA_VMW_SetDataDigest, oid, 1, &digest);
  if (key == 2) CALL_OR_FAIL(IMA_SetImmediateData, oid, digest);
  return 0;
}

}  // namespace imahost
