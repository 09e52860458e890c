// imahost: the host's iSCSI adapter tool, on the host stand-in (imahost.h).
//
//   imahost [--plugin PATH] [--owner N] NOUN VERB [ARGS]     (imahost help lists the commands)
//
// Objects are named as the listings print them: "phba:122", "lhba:830" (type and node handle).
// On a failure the entry point and its IMA status are printed and the exit status is 1; 2 for a
// command line that is not understood.
#include <arpa/inet.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/imahost/imahost.h"

namespace {

using imahost::Host;
using Args = std::vector<std::string>;

struct Cli {
  Host host;
  uint32_t owner = 1;
};

// ---- records as text: one row per shown field -------------------------------------------------
enum class Show : uint8_t { kWide, kNumber, kMac, kOid, kAddress, kHex };

struct FieldView {
  const char* label;
  Show show;
  size_t offset;
  size_t size;
};
#define VIEW(label, show, Record, member) {label, Show::show, offsetof(Record, member), sizeof(Record::member)}
// A field inside a nested member (an address or port within a target address).
#define VIEW_AT(label, show, Record, path, Type) {label, Show::show, offsetof(Record, path), sizeof(Type)}

constexpr FieldView kPhbaView[] = {
    VIEW("Vendor", kWide, IMA_PHBA_PROPERTIES, vendor),
    VIEW("Model", kWide, IMA_PHBA_PROPERTIES, model),
    VIEW("Description", kWide, IMA_PHBA_PROPERTIES, description),
    VIEW("Serial number", kWide, IMA_PHBA_PROPERTIES, serialNumber),
    VIEW("Hardware version", kWide, IMA_PHBA_PROPERTIES, hardwareVersion),
    VIEW("Firmware version", kWide, IMA_PHBA_PROPERTIES, firmwareVersion),
    VIEW("Option ROM version", kWide, IMA_PHBA_PROPERTIES, optionRomVersion),
    VIEW("Driver name", kWide, IMA_PHBA_PROPERTIES, driverName),
    VIEW("Driver version", kWide, IMA_PHBA_PROPERTIES, driverVersion),
    VIEW("Maximum CDB length", kNumber, IMA_PHBA_PROPERTIES, maximumCdbLength),
};
constexpr FieldView kLhbaView[] = {
    VIEW("OS device name", kWide, IMA_LHBA_PROPERTIES, osDeviceName),
};
constexpr FieldView kNodeView[] = {
    VIEW("Name", kWide, IMA_NODE_PROPERTIES, name),
    VIEW("Alias", kWide, IMA_NODE_PROPERTIES, alias),
    VIEW("Initiator", kNumber, IMA_NODE_PROPERTIES, runningInInitiatorMode),
    VIEW("Name and alias settable", kNumber, IMA_NODE_PROPERTIES, nameAndAliasSettable),
};
constexpr FieldView kPnpView[] = {
    VIEW("Physical HBA", kOid, IMA_PNP_PROPERTIES, associatedPhbaOid),
    VIEW("MAC address", kMac, IMA_PNP_PROPERTIES, macAddress),
    VIEW("Maximum rate (Mb/s)", kNumber, IMA_PNP_PROPERTIES, maximumTransferRate),
    VIEW("Current rate (Mb/s)", kNumber, IMA_PNP_PROPERTIES, currentTransferRate),
    VIEW("Maximum frame size", kNumber, IMA_PNP_PROPERTIES, maximumFrameSize),
};
constexpr FieldView kLnpView[] = {
    VIEW("MAC address", kMac, IMA_LNP_PROPERTIES, macAddress),
};
constexpr FieldView kDiscoveryView[] = {
    VIEW("iSNS enabled", kNumber, IMA_DISCOVERY_PROPERTIES, iSnsDiscoveryEnabled),
    VIEW("iSNS host name in use", kNumber, IMA_DISCOVERY_PROPERTIES, iSnsHost.hostnameInUse),
    VIEW_AT("iSNS server", kAddress, IMA_DISCOVERY_PROPERTIES, iSnsHost.id.ipAddress, IMA_IP_ADDRESS),
    VIEW("SLP enabled", kNumber, IMA_DISCOVERY_PROPERTIES, slpDiscoveryEnabled),
    VIEW("Static enabled", kNumber, IMA_DISCOVERY_PROPERTIES, staticDiscoveryEnabled),
    VIEW("SendTargets enabled", kNumber, IMA_DISCOVERY_PROPERTIES, sendTargetsDiscoveryEnabled),
};
using DiscoveryAddress = IMA_DISCOVERY_ADDRESS_PROPERTIES;
constexpr FieldView kDiscoveryAddressView[] = {
    VIEW_AT("Address", kAddress, DiscoveryAddress, discoveryAddress.hostnameIpAddress.id.ipAddress, IMA_IP_ADDRESS),
    VIEW_AT("Port", kNumber, DiscoveryAddress, discoveryAddress.portNumber, IMA_UINT16),
    VIEW("Physical HBA", kOid, DiscoveryAddress, associatedNodeOid),
    VIEW("Logical HBA", kOid, DiscoveryAddress, associatedLhbaOid),
};
using StaticTarget = IMA_STATIC_DISCOVERY_TARGET_PROPERTIES;
constexpr FieldView kStaticTargetView[] = {
    VIEW("Target name", kWide, StaticTarget, targetName),
    VIEW_AT("Address", kAddress, StaticTarget, targetAddress.hostnameIpAddress.id.ipAddress, IMA_IP_ADDRESS),
    VIEW_AT("Port", kNumber, StaticTarget, targetAddress.portNumber, IMA_UINT16),
    VIEW("Portal group tag", kNumber, StaticTarget, portalGroupTag),
    VIEW("Logical HBA", kOid, StaticTarget, associatedLhbaOid),
};
constexpr FieldView kTargetView[] = {
    VIEW("Name", kWide, IMA_TARGET_PROPERTIES, name),
    VIEW("Alias", kWide, IMA_TARGET_PROPERTIES, alias),
    VIEW("Logical HBA", kOid, IMA_TARGET_PROPERTIES, associatedLhbaOid),
};
constexpr FieldView kLuView[] = {
    VIEW("LUN", kHex, IMA_LU_PROPERTIES, targetLun),
    VIEW("Target", kOid, IMA_LU_PROPERTIES, associatedTargetOid),
};
constexpr FieldView kSessionView[] = {
    VIEW("Target", kOid, IMA_SESSION_PROPERTIES, associatedTargetOid),
    VIEW("ISID", kHex, IMA_SESSION_PROPERTIES, isid),
    VIEW("TSIH", kNumber, IMA_SESSION_PROPERTIES, tsih),
    VIEW("Portal group tag", kNumber, IMA_SESSION_PROPERTIES, targetPortalGroupTag),
    VIEW("CHAP", kNumber, IMA_SESSION_PROPERTIES, authMethod),
    VIEW("Immediate data", kNumber, IMA_SESSION_PROPERTIES, immediateData),
    VIEW("Initial R2T", kNumber, IMA_SESSION_PROPERTIES, initialR2T),
    VIEW("First burst length", kNumber, IMA_SESSION_PROPERTIES, firstBurstLength),
    VIEW("Max burst length", kNumber, IMA_SESSION_PROPERTIES, maxBurstLength),
    VIEW("Max connections", kNumber, IMA_SESSION_PROPERTIES, maxConnections),
};
constexpr FieldView kConnectionView[] = {
    VIEW("Connection id", kNumber, IMA_CONNECTION_PROPERTIES, connectionId),
    VIEW("Header digest", kNumber, IMA_CONNECTION_PROPERTIES, headerDigest),
    VIEW("Data digest", kNumber, IMA_CONNECTION_PROPERTIES, dataDigest),
    VIEW("Max receive segment", kNumber, IMA_CONNECTION_PROPERTIES, maxRecvDataSegmentLength),
    VIEW("Max transmit segment", kNumber, IMA_CONNECTION_PROPERTIES, maxTransmitDataSegmentLength),
};
constexpr FieldView kConnectionStatusView[] = {
    VIEW("Destination", kAddress, IMA_VMW_CONNECTION_STATUS, destination),
    VIEW("Redirected to", kAddress, IMA_VMW_CONNECTION_STATUS, redirected),
    VIEW("Source", kAddress, IMA_VMW_CONNECTION_STATUS, source),
    VIEW("State", kNumber, IMA_VMW_CONNECTION_STATUS, state),
};

std::string field_text(const void* record, const FieldView& view) {
  const auto* at = static_cast<const uint8_t*>(record) + view.offset;
  switch (view.show) {
    case Show::kWide: return imahost::utf8_of(reinterpret_cast<const IMA_WCHAR*>(at), view.size / sizeof(IMA_WCHAR));
    case Show::kNumber: {
      uint32_t value = 0;
      std::memcpy(&value, at, std::min(view.size, sizeof value));
      return std::to_string(value);
    }
    case Show::kAddress: {
      IMA_IP_ADDRESS address{};
      std::memcpy(&address, at, sizeof address);
      char text[INET6_ADDRSTRLEN] = "";
      ::inet_ntop(address.ipv4Address != 0 ? AF_INET : AF_INET6, address.ipAddress, text, sizeof text);
      return text;
    }
    case Show::kHex: {
      std::string hex;
      char pair[3];
      for (size_t i = 0; i < view.size; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", at[i]);
        hex += pair;
      }
      return hex;
    }
    case Show::kMac: {
      char mac[18];
      std::snprintf(mac, sizeof mac, "%02x:%02x:%02x:%02x:%02x:%02x", at[0], at[1], at[2], at[3], at[4], at[5]);
      return mac;
    }
    case Show::kOid: {
      IMA_OID oid{};
      std::memcpy(&oid, at, sizeof oid);
      return imahost::oid_text(oid);
    }
  }
  return "";
}

template <size_t N>
void print_record(const void* record, const FieldView (&views)[N]) {
  for (const FieldView& view : views) std::printf("  %-22s %s\n", view.label, field_text(record, view).c_str());
}

int failed(const char* entry_point, IMA_STATUS status) {
  std::fprintf(stderr, "imahost: %s: %s\n", entry_point, imahost::status_text(status).c_str());
  return 1;
}

// Runs a call; a failure is printed and ends the command with exit status 1.
#define CALL(call)                                   \
  do {                                               \
    const IMA_STATUS call_status_ = (call);          \
    if (!IMA_SUCCESS(call_status_)) return failed(#call, call_status_); \
  } while (0)

bool object(const Cli& cli, const std::string& text, IMA_OID* oid) {
  if (imahost::parse_oid(text, cli.owner, oid)) return true;
  std::fprintf(stderr, "imahost: \"%s\" names no object (write it as a listing prints it, e.g. phba:122)\n",
               text.c_str());
  return false;
}

// ---- commands -----------------------------------------------------------------------------------------

std::string phba_state(Cli& cli, const IMA_OID& oid) {
  IMA_PHBA_STATUS state = 0;
  const IMA_STATUS status = cli.host.ima().IMA_GetPhbaStatus(oid, &state);
  return !IMA_SUCCESS(status) ? imahost::status_text(status) : state == IMA_PHBA_STATUS_WORKING ? "working" : "failed";
}

std::string link_state(Cli& cli, const IMA_OID& oid) {
  IMA_NETWORK_PORT_STATUS state = 0;
  const IMA_STATUS status = cli.host.ima().IMA_GetNetworkPortStatus(oid, &state);
  return !IMA_SUCCESS(status) ? imahost::status_text(status)
                              : state == IMA_NETWORK_PORT_STATUS_LINK_DOWN ? "link down" : "working";
}

int cmd_adapter_list(Cli& cli, const Args&) {
  const auto& ima = cli.host.ima();
  std::vector<IMA_OID> phbas;
  CALL(cli.host.list(ima.IMA_GetPhbaOidList, &phbas));
  for (const IMA_OID& phba : phbas) {
    IMA_PHBA_PROPERTIES props{};
    const IMA_STATUS got = ima.IMA_VMW_GetPhbaProperties(phba, &props);
    std::printf("%s", imahost::oid_text(phba).c_str());
    if (IMA_SUCCESS(got)) {
      std::printf(" %s firmware %s driver %s %s", imahost::utf8_of(props.model, 256).c_str(),
                  imahost::utf8_of(props.firmwareVersion, 256).c_str(), imahost::utf8_of(props.driverName, 256).c_str(),
                  imahost::utf8_of(props.driverVersion, 256).c_str());
    } else {
      std::printf(" (properties: %s)", imahost::status_text(got).c_str());
    }
    std::printf(" state %s\n", phba_state(cli, phba).c_str());
    std::vector<IMA_OID> lhbas;
    cli.host.list(ima.IMA_VMW_GetLhbaOidList, phba, &lhbas);
    for (const IMA_OID& lhba : lhbas) {
      IMA_LHBA_PROPERTIES lhba_props{};
      const IMA_STATUS named = ima.IMA_GetLhbaProperties(lhba, &lhba_props);
      std::printf("  %s %s\n", imahost::oid_text(lhba).c_str(),
                  IMA_SUCCESS(named) ? imahost::utf8_of(lhba_props.osDeviceName, 256).c_str()
                                     : imahost::status_text(named).c_str());
    }
  }
  return 0;
}

int cmd_hba_list(Cli& cli, const Args&) {
  const auto& ima = cli.host.ima();
  for (auto fn : {ima.IMA_GetPhbaOidList, ima.IMA_GetLhbaOidList, ima.IMA_GetLnpOidList}) {
    std::vector<IMA_OID> oids;
    CALL(cli.host.list(fn, &oids));
    for (const IMA_OID& oid : oids) std::printf("%s\n", imahost::oid_text(oid).c_str());
  }
  return 0;
}

int cmd_port_list(Cli& cli, const Args& args) {
  IMA_OID oid{};
  if (!object(cli, args[0], &oid)) return 1;
  const auto& ima = cli.host.ima();
  for (auto fn : {ima.IMA_GetPnpOidList, ima.IMA_VMW_GetLnpOidList, ima.IMA_VMW_GetNetworkPortalOidList}) {
    std::vector<IMA_OID> oids;
    const IMA_STATUS status = cli.host.list(fn, oid, &oids);
    // Each listing accepts its own types; the others say so and are skipped.
    if (status == IMA_ERROR_INCORRECT_OBJECT_TYPE) continue;
    CALL(status);
    for (const IMA_OID& port : oids) std::printf("%s\n", imahost::oid_text(port).c_str());
  }
  return 0;
}

// A record of one object, printed by its view; `state` (when given) adds the object's state line.
template <typename Record, size_t N>
int show(Cli& cli, const std::string& name, const char* entry, IMA_STATUS (*get)(IMA_OID, Record*),
         const FieldView (&view)[N], std::string (*state)(Cli&, const IMA_OID&) = nullptr) {
  IMA_OID oid{};
  if (!object(cli, name, &oid)) return 1;
  Record props{};
  const IMA_STATUS status = get(oid, &props);
  if (!IMA_SUCCESS(status)) return failed(entry, status);
  print_record(&props, view);
  if (state != nullptr) std::printf("  %-22s %s\n", "State", state(cli, oid).c_str());
  return 0;
}

int set_text(Cli& cli, const Args& args, const char* entry, IMA_STATUS (*set)(IMA_OID, const IMA_WCHAR*)) {
  IMA_OID oid{};
  if (!object(cli, args[0], &oid)) return 1;
  const IMA_STATUS status = set(oid, imahost::wide_of(args[1]).data());
  return IMA_SUCCESS(status) ? 0 : failed(entry, status);
}

// ---- discovery, targets, logical units and sessions -------------------------------------------------

// An address and port as given on the command line: IPv4 or IPv6 text, port 0 for the default.
bool target_address(const std::string& address, const std::string& port, IMA_TARGET_ADDRESS* out) {
  *out = IMA_TARGET_ADDRESS{};
  IMA_IP_ADDRESS& ip = out->hostnameIpAddress.id.ipAddress;
  ip.ipv4Address = address.find(':') == std::string::npos ? 1 : 0;
  char* end = nullptr;
  const unsigned long number = std::strtoul(port.c_str(), &end, 10);
  if (::inet_pton(ip.ipv4Address != 0 ? AF_INET : AF_INET6, address.c_str(), ip.ipAddress) != 1 || port.empty() ||
      *end != '\0' || number > 65535) {
    std::fprintf(stderr, "imahost: \"%s\" \"%s\" is no address and port\n", address.c_str(), port.c_str());
    return false;
  }
  out->portNumber = static_cast<IMA_UINT16>(number);
  return true;
}

// The objects a listing entry point gives for one object, each with its record.
template <typename Record, size_t N>
int list_shown(Cli& cli, const std::string& name, const char* entry, IMA_STATUS (*lister)(IMA_OID, IMA_OID_LIST**),
               IMA_STATUS (*get)(IMA_OID, Record*), const FieldView (&view)[N]) {
  IMA_OID oid{};
  if (!object(cli, name, &oid)) return 1;
  std::vector<IMA_OID> oids;
  const IMA_STATUS status = cli.host.list(lister, oid, &oids);
  if (!IMA_SUCCESS(status)) return failed(entry, status);
  for (const IMA_OID& item : oids) {
    std::printf("%s\n", imahost::oid_text(item).c_str());
    Record props{};
    const IMA_STATUS got = get(item, &props);
    if (IMA_SUCCESS(got)) {
      print_record(&props, view);
    } else {
      std::printf("  (%s)\n", imahost::status_text(got).c_str());
    }
  }
  return 0;
}

// A call that changes something about one object.
int act(Cli& cli, const std::string& name, const char* entry, IMA_STATUS (*fn)(IMA_OID)) {
  IMA_OID oid{};
  if (!object(cli, name, &oid)) return 1;
  const IMA_STATUS status = fn(oid);
  return IMA_SUCCESS(status) ? 0 : failed(entry, status);
}

std::string discovery_state(Cli& cli, const IMA_OID& oid) {
  if (oid.objectType != IMA_OBJECT_TYPE_PHBA) return "-";
  IMA_UINT32 state = 0;
  const IMA_STATUS status = cli.host.ima().IMA_VMW_GetDiscoveryStatus(oid, &state);
  return !IMA_SUCCESS(status) ? imahost::status_text(status)
                              : state == IMA_VMW_DISCOVERY_STATUS_FAILED ? "a rediscovery failed" : "ok";
}

int cmd_discovery_add(Cli& cli, const Args& args) {
  IMA_OID lhba{};
  IMA_TARGET_ADDRESS address;
  if (!object(cli, args[0], &lhba) || !target_address(args[1], args[2], &address)) return 1;
  IMA_OID added{};
  CALL(cli.host.ima().IMA_AddDiscoveryAddress(lhba, address, &added));
  std::printf("%s\n", imahost::oid_text(added).c_str());
  return 0;
}

int cmd_static_add(Cli& cli, const Args& args) {
  IMA_OID lhba{};
  IMA_STATIC_DISCOVERY_TARGET target{};
  if (!object(cli, args[0], &lhba) || !target_address(args[2], args[3], &target.targetAddress)) return 1;
  const std::vector<IMA_WCHAR> name = imahost::wide_of(args[1]);
  if (name.size() > sizeof target.targetName / sizeof(IMA_WCHAR)) {
    std::fprintf(stderr, "imahost: the target name is too long\n");
    return 1;
  }
  std::copy(name.begin(), name.end(), target.targetName);
  IMA_OID added{};
  CALL(cli.host.ima().IMA_AddStaticDiscoveryTarget(lhba, target, &added));
  std::printf("%s\n", imahost::oid_text(added).c_str());
  return 0;
}

int cmd_connection_show(Cli& cli, const Args& args) {
  const int shown = show(cli, args[0], "IMA_GetConnectionProperties", cli.host.ima().IMA_GetConnectionProperties,
                         kConnectionView);
  return shown != 0 ? shown
                    : show(cli, args[0], "IMA_VMW_GetConnectionStatus", cli.host.ima().IMA_VMW_GetConnectionStatus,
                           kConnectionStatusView);
}

// Table cells that show a record, or set a text, through one entry point.
#define SHOW(entry, ...) \
  [](Cli& c, const Args& a) { return show(c, a[0], #entry, c.host.ima().entry, __VA_ARGS__); }
#define SET_TEXT(entry) [](Cli& c, const Args& a) { return set_text(c, a, #entry, c.host.ima().entry); }
#define LIST_SHOWN(lister, getter, view) \
  [](Cli& c, const Args& a) { return list_shown(c, a[0], #lister, c.host.ima().lister, c.host.ima().getter, view); }
#define ACT(entry) [](Cli& c, const Args& a) { return act(c, a[0], #entry, c.host.ima().entry); }

// One row per command; later objects (authentication, login parameters) add rows.
struct Command {
  const char* noun;
  const char* verb;
  const char* args;
  size_t arg_count;
  const char* help;
  int (*run)(Cli&, const Args&);
};

constexpr Command kCommands[] = {
    {"adapter", "list", "", 0, "physical HBAs with model, firmware, driver and state, and their logical HBAs",
     cmd_adapter_list},
    {"hba", "list", "", 0, "identifiers of every physical HBA, logical HBA and logical network port", cmd_hba_list},
    {"phba", "show", "PHBA", 1, "properties and state of a physical HBA",
     SHOW(IMA_VMW_GetPhbaProperties, kPhbaView, phba_state)},
    {"lhba", "show", "LHBA", 1, "properties of a logical HBA",
     SHOW(IMA_GetLhbaProperties, kLhbaView)},
    {"node", "show", "LHBA|PHBA", 1, "the initiator node: name and alias",
     SHOW(IMA_VMW_GetNodeProperties, kNodeView)},
    {"node", "set-name", "LHBA|PHBA NAME", 2, "sets the initiator's iSCSI name",
     SET_TEXT(IMA_VMW_SetNodeName)},
    {"node", "set-alias", "LHBA|PHBA ALIAS", 2, "sets the initiator's alias (\"\" clears it)",
     SET_TEXT(IMA_VMW_SetNodeAlias)},
    {"port", "list", "PHBA|LNP|LHBA", 1, "the network ports and the network portal of an HBA", cmd_port_list},
    {"pnp", "show", "PNP", 1, "properties and link state of a physical network port",
     SHOW(IMA_VMW_GetPnpProperties, kPnpView, link_state)},
    {"lnp", "show", "LNP", 1, "properties of a logical network port",
     SHOW(IMA_VMW_GetLnpProperties, kLnpView)},
    {"discovery", "show", "LHBA|PHBA|PORTAL", 1, "discovery settings (and, of a PHBA, the rediscovery state)",
     SHOW(IMA_GetDiscoveryProperties, kDiscoveryView, discovery_state)},
    {"discovery", "list", "LHBA|PNP", 1, "SendTargets discovery addresses",
     LIST_SHOWN(IMA_GetDiscoveryAddressOidList, IMA_GetDiscoveryAddressProperties, kDiscoveryAddressView)},
    {"discovery", "add", "LHBA|PNP ADDRESS PORT", 3, "adds a discovery address (port 0: 3260) and discovers",
     cmd_discovery_add},
    {"discovery", "remove", "DISCOVERY", 1, "removes a discovery address", ACT(IMA_RemoveDiscoveryAddress)},
    {"discovery", "rediscover", "PHBA|LHBA", 1, "discovers again and logs in to every portal without a session",
     ACT(IMA_VMW_Rediscover)},
    {"static", "list", "LHBA|PNP", 1, "static targets: one per portal of every target",
     LIST_SHOWN(IMA_VMW_GetStaticDiscoveryTargetOidList, IMA_VMW_GetStaticDiscoveryTargetProperties,
                kStaticTargetView)},
    {"static", "add", "LHBA|PNP NAME ADDRESS PORT", 4,
     "adds a target, or a portal to the target of that name (port 0: 3260)", cmd_static_add},
    {"static", "remove", "STATIC|TARGET", 1, "logs out the portal's sessions, removes the portal (or its target)",
     ACT(IMA_RemoveStaticDiscoveryTarget)},
    {"target", "list", "LHBA|LNP", 1, "targets with a portal", LIST_SHOWN(IMA_GetTargetOidList, IMA_GetTargetProperties, kTargetView)},
    {"lun", "list", "LHBA|TARGET", 1, "logical units", LIST_SHOWN(IMA_GetLuOidList, IMA_GetLuProperties, kLuView)},
    {"session", "list", "LHBA|TARGET", 1, "open sessions",
     LIST_SHOWN(IMA_GetSessionOidList, IMA_GetSessionProperties, kSessionView)},
    {"session", "add", "LHBA|TARGET|SESSION", 1, "logs in where no session is, or once more to a session's portal",
     ACT(IMA_VMW_AddSession)},
    {"session", "remove", "LHBA|TARGET|SESSION", 1, "logs out a session (the first of each target)",
     ACT(IMA_VMW_RemoveSession)},
    {"connection", "list", "SESSION", 1, "connections of a session",
     LIST_SHOWN(IMA_GetConnectionOidList, IMA_GetConnectionProperties, kConnectionView)},
    {"connection", "show", "CONNECTION", 1, "properties and status of a connection", cmd_connection_show},
};

void usage(FILE* out) {
  std::fprintf(out, "usage: imahost [--plugin PATH] [--owner N] NOUN VERB [ARGS]\n");
  for (const Command& command : kCommands) {
    std::string line = std::string(command.noun) + " " + command.verb + " " + command.args;
    std::fprintf(out, "  %-38s %s\n", line.c_str(), command.help);
  }
  std::fprintf(out, "The plug-in: --plugin, else $IMAHOST_PLUGIN, else libvxima.so beside imahost.\n");
}

}  // namespace

int main(int argc, char** argv) {
  Cli cli;
  std::string plugin;
  int at = 1;
  for (; at + 1 < argc && std::strncmp(argv[at], "--", 2) == 0; at += 2) {
    if (std::strcmp(argv[at], "--plugin") == 0) {
      plugin = argv[at + 1];
    } else if (std::strcmp(argv[at], "--owner") == 0) {
      cli.owner = static_cast<uint32_t>(std::strtoul(argv[at + 1], nullptr, 0));
    } else {
      break;
    }
  }
  if (at < argc && std::strcmp(argv[at], "help") == 0) {
    usage(stdout);
    return 0;
  }
  const Command* command = nullptr;
  for (const Command& candidate : kCommands) {
    if (at + 1 < argc && std::strcmp(argv[at], candidate.noun) == 0 && std::strcmp(argv[at + 1], candidate.verb) == 0) {
      command = &candidate;
    }
  }
  const Args args(argv + std::min(at + 2, argc), argv + argc);
  if (command == nullptr || args.size() != command->arg_count) {
    usage(stderr);
    return 2;
  }
  if (!cli.host.load(plugin)) {
    std::fprintf(stderr, "imahost: %s\n", cli.host.error().c_str());
    return 1;
  }
  cli.host.start(cli.owner);
  return command->run(cli, args);
}
