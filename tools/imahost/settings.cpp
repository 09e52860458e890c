#include "tools/imahost/commands.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace imahost {
namespace {

// A word the command does not take: one line, exit status 2 (main adds the command's usage).
int refused(const std::string& word, const char* wanted) {
  say("\"" + word + "\" is not " + wanted);
  return 2;
}

// Reads through an entry point of the plug-in; a failure is printed and ends the command.
#define READ_OR_FAIL(fn, ...)                                                                  \
  do {                                                                                         \
    if (const int failed_ = read_call(on, IMAHOST_ENTRY_OF(on, fn), __VA_ARGS__)) return failed_; \
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

int auth_show(const On& on, const Words&) {
  const IMA_OID& oid = on.oid();
  IMA_UINT count = 2;
  IMA_AUTHMETHOD methods[2] = {};
  READ_OR_FAIL(IMA_VMW_GetInUseInitiatorLocalAuthMethods, oid, &count, methods);
  std::string list;
  for (IMA_UINT i = 0; i < count && i < 2; ++i) list += (i > 0 ? "," : "") + std::string(kMethodWords[methods[i] & 1]);
  line("Methods in use", list);
  IMA_INITIATOR_AUTHPARMS one_way{};
  IMA_BOOL enabled = 1;
  if (oid.objectType == IMA_OBJECT_TYPE_LHBA) {
    READ_OR_FAIL(IMA_GetInitiatorAuthParms, oid, IMA_AUTHMETHOD_CHAP, &one_way);
  } else {
    READ_OR_FAIL(IMA_GetInitiatorLocalAuthParms, oid, IMA_AUTHMETHOD_CHAP, &one_way, &enabled);
  }
  show_chap("CHAP", one_way);
  IMA_INITIATOR_AUTHPARMS mutual{};
  READ_OR_FAIL(IMA_VMW_GetMutualAuthParms, oid, IMA_AUTHMETHOD_CHAP, &mutual);
  uint32_t word = 0;
  std::memcpy(&word, mutual.chapParms.reserved, sizeof word);
  show_chap("Mutual CHAP", mutual);
  line("Mutual CHAP policy", word <= 4 ? kPolicyWords[word] : std::to_string(word));
  return 0;
}

int auth_methods(const On& on, const Words& args) {
  std::vector<IMA_AUTHMETHOD> methods;
  for (size_t start = 0; start <= args[1].size();) {
    const size_t comma = std::min(args[1].find(',', start), args[1].size());
    const int method = word_of(args[1].substr(start, comma - start), {"none", "chap"});
    if (method < 0) return refused(args[1], "a list of none and chap");
    methods.push_back(static_cast<IMA_AUTHMETHOD>(method));
    start = comma + 1;
  }
  return change_call(on, IMAHOST_ENTRY_OF(on, IMA_VMW_SetInitiatorAuthMethods), on.oid(),
                     static_cast<IMA_UINT>(methods.size()), methods.data());
}

int auth_chap(const On& on, const Words& args) {
  const IMA_INITIATOR_AUTHPARMS parms = credentials(args[1], args[2]);
  return change_call(on, IMAHOST_ENTRY_OF(on, IMA_VMW_SetInitiatorAuthParms), on.oid(), IMA_AUTHMETHOD_CHAP, &parms);
}

int auth_mutual(const On& on, const Words& args) {
  const IMA_INITIATOR_AUTHPARMS parms = credentials(args[1], args[2]);
  return change_call(on, IMAHOST_ENTRY_OF(on, IMA_VMW_SetMutualAuthParms), on.oid(), IMA_AUTHMETHOD_CHAP, &parms);
}

int auth_mutual_off(const On& on, const Words&) {
  const IMA_INITIATOR_AUTHPARMS unused{};
  if (on.oid().objectType == IMA_OBJECT_TYPE_LHBA) {
    return change_call(on, IMAHOST_ENTRY_OF(on, IMA_RemoveLhbaMutualAuthParms), on.oid(), IMA_AUTHMETHOD_CHAP, &unused);
  }
  return change_call(on, IMAHOST_ENTRY_OF(on, IMA_SetMutualLocalAuth), on.oid(), IMA_AUTHMETHOD_CHAP, IMA_BOOL{0});
}

// ---- IP configuration --------------------------------------------------------------------------------

namespace {

// The network portal of a physical HBA (its logical network port has the same node).
bool portal_of(const On& on, IMA_OID* portal) {
  std::vector<IMA_OID> portals;
  const IMA_OID lnp = lnp_of(on.oid());
  const Outcome outcome = run(on.host, [&] { return on.host.list(on.host.ima().IMA_GetNetworkPortalOidList, lnp, &portals); });
  if (outcome.ok() && !portals.empty()) *portal = portals[0];
  if (outcome.ok() && portals.empty()) say(on.name() + ": IMA_GetNetworkPortalOidList lists no network portal");
  if (!outcome.ok()) failed(on.name(), "IMA_GetNetworkPortalOidList", outcome);
  return outcome.ok() && !portals.empty();
}

// The address in use, IPv4 or the static IPv6 one; "" when it cannot be read.
std::string address_in_use(const On& on, bool ipv6) {
  if (!ipv6) {
    IMA_OID portal{};
    IMA_NETWORK_PORTAL_PROPERTIES props{};
    if (!portal_of(on, &portal) || !IMA_SUCCESS(on.host.ima().IMA_GetNetworkPortalProperties(portal, &props))) return "";
    return address_text(props.ipAddress.ipAddress, false);
  }
  IMA_VMW_NETWORK_PORTAL_PROPERTIES* v6 = nullptr;
  if (!IMA_SUCCESS(on.host.ima().IMA_VMW_GetNetworkPortalProperties(on.oid(), &v6)) || v6 == nullptr) return "";
  const std::string text = address_text(v6->ipv6Address, true);
  on.host.ima().IMA_FreeMemory(v6);
  return text;
}

}  // namespace

int ip_show(const On& on, const Words&) {
  const EntryPoints& ima = on.host.ima();
  const IMA_OID& phba = on.oid();
  IMA_OID portal_oid{};
  if (!portal_of(on, &portal_oid)) return 1;
  IMA_NETWORK_PORTAL_PROPERTIES portal{};
  READ_OR_FAIL(IMA_GetNetworkPortalProperties, portal_oid, &portal);
  line("Network portal", oid_text(portal_oid) + " " + address_text(portal.ipAddress.ipAddress, false));
  IMA_VMW_EXTENDED_IP_PROPERTIES ip{};
  const Outcome extended = run(on.host, [&] { return ima.IMA_VMW_GetExtendedIpProperties(phba, &ip); });
  if (!extended.ok() && extended.status != IMA_ERROR_NOT_SUPPORTED) {
    return failed(on.name(), "IMA_VMW_GetExtendedIpProperties", extended);
  }
  line("DHCP", ip.dhcpConfigurationEnabled != 0 ? "on" : "off");
  line("Subnet mask", ip.subnetMaskValid != 0 ? address_text(ip.subnetMask.ipAddress, false) : "none");
  line("Default gateway", ip.defaultGatewayValid != 0 ? address_text(ip.defaultGateway.ipAddress, false) : "none");
  IMA_VMW_NETWORK_PORTAL_PROPERTIES* v6 = nullptr;
  if (extended.status == IMA_STATUS_SUCCESS && IMA_SUCCESS(ima.IMA_VMW_GetNetworkPortalProperties(phba, &v6))) {
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
  READ_OR_FAIL(IMA_VMW_GetMtuProperties, phba, &mtu);
  line("MTU", std::to_string(mtu.currentValue));
  return 0;
}

// The adapter may take an address change and still keep another address (one the network already
// has is refused after the old one went): the address is read back.
int ip_address(const On& on, const Words& args) {
  IMA_IP_ADDRESS address;
  if (!parse_address(args[1], &address)) return refused(args[1], "an IPv4 or IPv6 address");
  const IMA_BOOL ipv6 = address.ipv4Address == 0 ? 1 : 0;
  const Outcome outcome = run(on.host, [&] {
    return on.host.ima().IMA_VMW_SetNetworkPortalIpAddress(on.oid(), &address, ipv6, ipv6);
  });
  if (!outcome.ok()) return failed(on.name(), "IMA_VMW_SetNetworkPortalIpAddress", outcome);
  const std::string wanted = address_text(address.ipAddress, ipv6 != 0);
  const std::string now = address_in_use(on, ipv6 != 0);
  if (now == wanted) {
    warn(on.name(), "IMA_VMW_SetNetworkPortalIpAddress", outcome);
    return 0;
  }
  return say(on.name() + ": the address was not changed to " + wanted + ": the adapter has " +
             (now.empty() ? "none that can be read" : now) + last_status_words(outcome.last));
}

int ip_mask(const On& on, const Words& args) {
  IMA_IP_ADDRESS mask;
  if (!parse_address(args[1], &mask) || mask.ipv4Address != 1) return refused(args[1], "an IPv4 subnet mask");
  return change_call(on, IMAHOST_ENTRY_OF(on, IMA_VMW_SetSubnetMask), on.oid(), mask);
}

int ip_gateway(const On& on, const Words& args) {
  IMA_IP_ADDRESS gateway;
  if (!parse_address(args[1], &gateway)) return refused(args[1], "an IPv4 or IPv6 address");
  return change_call(on, IMAHOST_ENTRY_OF(on, IMA_VMW_SetDefaultGateway), on.oid(), gateway);
}

int ip_dhcp(const On& on, const Words& args) {
  const int enable = word_of(args[1], {"off", "on"});
  if (enable < 0) return refused(args[1], "on or off");
  std::vector<IMA_OID> pnps;
  const Outcome listed = run(on.host, [&] { return on.host.list(on.host.ima().IMA_GetPnpOidList, on.oid(), &pnps); });
  if (!listed.ok()) return failed(on.name(), "IMA_GetPnpOidList", listed);
  if (pnps.empty()) return say(on.name() + ": IMA_GetPnpOidList lists no physical network port");
  return change_call(on, IMAHOST_ENTRY_OF(on, IMA_SetIpConfigMethod), pnps[0], static_cast<IMA_BOOL>(enable));
}

int ip_ipv6_auto(const On& on, const Words& args) {
  const int mode = word_of(args[1], {"off", "auto", "dhcp"});
  if (mode < 0) return refused(args[1], "off, auto or dhcp");
  return change_call(on, IMAHOST_ENTRY_OF(on, IMA_VMW_SetIpv6ConfigMethod), on.oid(), mode == 2 ? 1u : 0u,
                     IMA_BOOL{mode > 0 ? 1u : 0u});
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

int login_show(const On& on, const Words&) {
  const EntryPoints& ima = on.host.ima();
  for (const auto& row : kNumbers) {
    IMA_MIN_MAX_VALUE value{};
    if (const int failure = read_call(on, row.label, ima.*row.get, on.oid(), &value)) return failure;
    line(row.label, std::to_string(value.currentValue) + (value.settable != 0 ? " (settable)" : ""));
  }
  for (const auto& row : kFlags) {
    IMA_BOOL_VALUE value{};
    if (const int failure = read_call(on, row.label, ima.*row.get, on.oid(), &value)) return failure;
    line(row.label, std::string(value.currentValue != 0 ? "yes" : "no") + (value.settable != 0 ? " (settable)" : ""));
  }
  for (const auto& row : kDigests) {
    IMA_UINT count = 0;
    IMA_UINT digests[2] = {};
    if (const int failure = read_call(on, row.label, ima.*row.get, on.oid(), &count, digests)) return failure;
    line(row.label, count == 1 ? "none" : "CRC32C preferred");
  }
  return 0;
}

int login_set(const On& on, const Words& args) {
  const int key = word_of(args[1], {"header-digest", "data-digest", "immediate-data"});
  if (key < 0) return refused(args[1], "header-digest, data-digest or immediate-data");
  const int value = word_of(args[2], key == 2 ? std::initializer_list<const char*>{"no", "yes"}
                                              : std::initializer_list<const char*>{"none", "crc32c"});
  if (value < 0) return refused(args[2], key == 2 ? "yes or no" : "none or crc32c");
  const IMA_UINT digest = static_cast<IMA_UINT>(value);
  if (key == 0) return change_call(on, IMAHOST_ENTRY_OF(on, IMA_VMW_SetHeaderDigest), on.oid(), IMA_UINT{1}, &digest);
  if (key == 1) return change_call(on, IMAHOST_ENTRY_OF(on, IMA_VMW_SetDataDigest), on.oid(), IMA_UINT{1}, &digest);
  return change_call(on, IMAHOST_ENTRY_OF(on, IMA_SetImmediateData), on.oid(), IMA_BOOL{digest});
}

}  // namespace imahost
