// imahost: the host's iSCSI adapter tool, on the host stand-in (imahost.h).
//
//   imahost [--plugin PATH] [--owner N] NOUN VERB [ARGS]     (imahost help lists the commands)
//
// Objects are named as the listings print them (names.cpp): vmhba33, vmhba33/iqn...:store.open,
// vmhba33/iqn...@10.0.0.5:3260, vmhba33/10.0.0.9:3260, vmhba33/iqn.../00023d000000, or KIND:TAG=NAME.
// Exit status: 0; 1 when an entry point failed (its IMA status and the hierarchy's last status are
// printed), a log-in left a portal asked for without an open session (why, beside it), an object
// is not found or no adapter is; 2 for a command line that is not understood.
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/common/no_adapter.h"
#include "tools/imahost/commands.h"
#include "tools/imahost/views.h"

namespace {

using namespace imahost;

// ---- records as text: one row per shown field -------------------------------------------------
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

// ---- commands -----------------------------------------------------------------------------------------

std::string state_words(IMA_STATUS status, bool good, const char* yes, const char* no) {
  return !IMA_SUCCESS(status) ? status_words(status) : good ? yes : no;
}

std::string phba_state_of(const Host& host, const IMA_OID& phba) {
  IMA_PHBA_STATUS state = 0;
  const IMA_STATUS status = host.ima().IMA_GetPhbaStatus(phba, &state);
  return state_words(status, state == IMA_PHBA_STATUS_WORKING, "working", "failed");
}

std::string phba_state(const On& on) { return phba_state_of(on.host, on.object.hba->phba); }

std::string link_state(const On& on) {
  IMA_NETWORK_PORT_STATUS state = 0;
  const IMA_STATUS status = on.host.ima().IMA_GetNetworkPortStatus(on.oid(), &state);
  return state_words(status, state != IMA_NETWORK_PORT_STATUS_LINK_DOWN, "working", "link down");
}

std::string discovery_state(const On& on) {
  IMA_UINT32 state = 0;
  const IMA_STATUS status = on.host.ima().IMA_VMW_GetDiscoveryStatus(on.object.hba->phba, &state);
  return state_words(status, state != IMA_VMW_DISCOVERY_STATUS_FAILED, "ok", "a rediscovery failed");
}

// A listed object's first line: its name, and its identifier in this process.
void heading(const std::string& name, const IMA_OID& oid) {
  std::printf("%s  (%s)\n", name.c_str(), oid_text(oid).c_str());
}

int cmd_adapter_list(const On& on, const Words&) {
  const EntryPoints& ima = on.host.ima();
  for (const Hba& hba : on.names.hbas()) {
    IMA_PHBA_PROPERTIES props{};
    const IMA_STATUS got = ima.IMA_VMW_GetPhbaProperties(hba.phba, &props);
    std::printf("%s  (%s)", hba.has_lhba ? hba.name.c_str() : "(no logical HBA)", oid_text(hba.phba).c_str());
    if (IMA_SUCCESS(got)) {
      std::printf(" %s firmware %s driver %s %s", utf8_of(props.model, 256).c_str(), utf8_of(props.firmwareVersion, 256).c_str(),
                  utf8_of(props.driverName, 256).c_str(), utf8_of(props.driverVersion, 256).c_str());
    } else {
      std::printf(" properties: %s", status_words(got).c_str());
    }
    std::printf("; state: %s\n", phba_state_of(on.host, hba.phba).c_str());
    if (hba.has_lhba) std::printf("  logical HBA %s  (%s)\n", hba.name.c_str(), oid_text(hba.lhba).c_str());
  }
  return 0;
}

int cmd_hba_list(const On& on, const Words&) {
  for (const Hba& hba : on.names.hbas()) heading(hba.name, hba.phba);
  for (const Hba& hba : on.names.hbas()) {
    if (hba.has_lhba) heading(hba.name, hba.lhba);
  }
  for (const Hba& hba : on.names.hbas()) heading(hba.name, lnp_of(hba.phba));
  return 0;
}

int cmd_port_list(const On& on, const Words&) {
  const EntryPoints& ima = on.host.ima();
  const Hba& hba = *on.object.hba;
  const struct {
    const char* entry;
    IMA_STATUS (*fn)(IMA_OID, IMA_OID_LIST**);
    IMA_OID of;
  } lists[] = {{"IMA_GetPnpOidList", ima.IMA_GetPnpOidList, hba.phba},
               {"IMA_VMW_GetLnpOidList", ima.IMA_VMW_GetLnpOidList, hba.phba},
               {"IMA_VMW_GetNetworkPortalOidList", ima.IMA_VMW_GetNetworkPortalOidList, lnp_of(hba.phba)}};
  for (const auto& list : lists) {
    std::vector<IMA_OID> oids;
    const Outcome outcome = run(on.host, [&] { return on.host.list(list.fn, list.of, &oids); });
    if (!outcome.ok()) return failed(on.name(), list.entry, outcome);
    for (const IMA_OID& port : oids) heading(hba.name, port);
  }
  return 0;
}

// A record of one object, printed by its view; `state` (when given) adds the object's state line.
template <typename Record, size_t N>
int show(const On& on, const char* entry, IMA_STATUS (*get)(IMA_OID, Record*), const FieldView (&view)[N],
         std::string (*state)(const On&) = nullptr) {
  Record props{};
  const Outcome outcome = run(on.host, [&] { return get(on.oid(), &props); });
  if (!outcome.ok()) return failed(on.name(), entry, outcome);
  print_record(on.names, &props, view);
  if (state != nullptr) std::printf("  %-22s %s\n", "State", state(on).c_str());
  return 0;
}

int set_text(const On& on, const Words& args, const char* entry, IMA_STATUS (*set)(IMA_OID, const IMA_WCHAR*)) {
  return change_call(on, entry, set, on.oid(), imahost::wide_of(args[1]).data());
}

// An address and port given as ADDRESS[:PORT], or as ADDRESS PORT; no port gives 0, which the
// plug-in takes as 3260.
bool target_address(const Words& args, size_t at, IMA_TARGET_ADDRESS* out) {
  *out = IMA_TARGET_ADDRESS{};
  uint16_t port = 0;
  bool ok = parse_address_port(args[at], &out->hostnameIpAddress.id.ipAddress, &port);
  if (ok && args.size() > at + 1) {
    char* end = nullptr;
    const unsigned long number = std::strtoul(args[at + 1].c_str(), &end, 10);
    ok = port == 0 && !args[at + 1].empty() && args[at + 1][0] != '-' && *end == '\0' && number <= 65535;
    port = static_cast<uint16_t>(number);
  }
  out->portNumber = port;
  if (!ok) say("\"" + args[at] + (args.size() > at + 1 ? " " + args[at + 1] : "") + "\" is no address and port");
  return ok;
}

// The listed objects of the command's logical HBA, each with its record.
template <typename Item, typename Record, size_t N>
int list_shown(const On& on, const std::vector<Item>& items, const char* entry, IMA_STATUS (*get)(IMA_OID, Record*),
               const FieldView (&view)[N]) {
  if (items.empty()) std::printf("none\n");
  for (const Item& item : items) {
    heading(item.name, item.oid);
    Record props{};
    const Outcome outcome = run(on.host, [&] { return get(item.oid, &props); });
    if (!outcome.ok()) return failed(item.name, entry, outcome);
    print_record(on.names, &props, view);
  }
  return 0;
}

// What an add made: its name, or why it failed.
int report_added(const On& on, const char* entry, const Outcome& outcome, const IMA_OID& added) {
  if (!outcome.ok()) return failed(on.name(), entry, outcome);
  on.names.forget();
  const std::string name = on.names.name_of(added);
  heading(name, added);
  warn(name, entry, outcome);
  return 0;
}

int cmd_discovery_add(const On& on, const Words& args) {
  IMA_TARGET_ADDRESS address;
  if (!target_address(args, 1, &address)) return 2;
  IMA_OID added{};
  // The discovery through the new address runs in the same call; the address stays when it fails.
  return report_added(on, "IMA_AddDiscoveryAddress",
                      run(on.host, [&] { return on.host.ima().IMA_AddDiscoveryAddress(on.oid(), address, &added); }), added);
}

int cmd_static_add(const On& on, const Words& args) {
  IMA_STATIC_DISCOVERY_TARGET target{};
  if (!target_address(args, 2, &target.targetAddress)) return 2;
  const std::vector<IMA_WCHAR> name = imahost::wide_of(args[1]);
  if (name.size() > sizeof target.targetName / sizeof(IMA_WCHAR)) {
    return say(on.name() + ": the target name is longer than 223 characters");
  }
  std::copy(name.begin(), name.end(), target.targetName);
  IMA_OID added{};
  return report_added(on, "IMA_AddStaticDiscoveryTarget",
                      run(on.host, [&] { return on.host.ima().IMA_AddStaticDiscoveryTarget(on.oid(), target, &added); }),
                      added);
}

// One portal, or a whole target: its portals one by one (the last takes the target with it).
int cmd_static_remove(const On& on, const Words&) {
  std::vector<Object> portals{on.object};
  if (on.oid().objectType == IMA_OBJECT_TYPE_TARGET) {
    portals.clear();
    for (const Portal& portal : on.names.portals(*on.object.hba)) {
      if (on.name() == on.object.hba->name + "/" + portal.target) portals.push_back(Object{portal.oid, portal.name, on.object.hba});
    }
  }
  for (const Object& portal : portals) {
    const Outcome outcome =
        run(on.host, [&] { return on.host.ima().IMA_RemoveStaticDiscoveryTarget(portal.oid); });
    if (!outcome.ok()) return failed(portal.name, "IMA_RemoveStaticDiscoveryTarget", outcome);
    warn(portal.name, "IMA_RemoveStaticDiscoveryTarget", outcome);
    std::printf("removed %s\n", portal.name.c_str());
  }
  on.names.forget();
  return 0;
}

int cmd_connection_list(const On& on, const Words&) {
  std::vector<IMA_OID> oids;
  const Outcome outcome = run(on.host, [&] { return on.host.list(on.host.ima().IMA_GetConnectionOidList, on.oid(), &oids); });
  if (!outcome.ok()) return failed(on.name(), "IMA_GetConnectionOidList", outcome);
  std::vector<Object> connections;
  for (const IMA_OID& oid : oids) {
    IMA_CONNECTION_PROPERTIES props{};
    const bool read = IMA_SUCCESS(on.host.ima().IMA_GetConnectionProperties(oid, &props));
    connections.push_back(Object{oid, on.name() + "/" + (read ? std::to_string(props.connectionId) : oid_text(oid)), nullptr});
  }
  return list_shown(on, connections, "IMA_GetConnectionProperties", on.host.ima().IMA_GetConnectionProperties,
                    kConnectionView);
}

int cmd_connection_show(const On& on, const Words&) {
  const int shown = show(on, "IMA_GetConnectionProperties", on.host.ima().IMA_GetConnectionProperties, kConnectionView);
  return shown != 0 ? shown
                    : show(on, "IMA_VMW_GetConnectionStatus", on.host.ima().IMA_VMW_GetConnectionStatus,
                           kConnectionStatusView);
}

int cmd_phba_download(const On& on, const Words& args) {
  return change_call(on, "IMA_PhbaDownload", on.host.ima().IMA_PhbaDownload, on.oid(), IMA_UINT{0},
                     imahost::wide_of(args[1]).data());
}

// Table cells that show a record, or set a text, through one entry point.
#define SHOW(entry, ...) [](const On& o, const Words&) { return show(o, #entry, o.host.ima().entry, __VA_ARGS__); }
#define SET_TEXT(entry) [](const On& o, const Words& a) { return set_text(o, a, #entry, o.host.ima().entry); }
#define ACT(entry) [](const On& o, const Words&) { return change_call(o, #entry, o.host.ima().entry, o.oid()); }
#define LIST_OF(items, entry, view) \
  [](const On& o, const Words&) { return list_shown(o, o.names.items(*o.object.hba), #entry, o.host.ima().entry, view); }

// One row per command: the kinds of object its first argument names (0: none), and how many
// arguments it takes.
struct Command {
  const char* noun;
  const char* verb;
  const char* args;
  uint32_t kinds;
  size_t min_args;
  size_t max_args;
  const char* help;
  int (*run)(const On&, const Words&);
};

constexpr uint32_t kAuthKinds = kLhba | kTarget | kDiscovery;

constexpr Command kCommands[] = {
    {"adapter", "list", "", 0, 0, 0, "iSCSI functions: physical HBA with model, firmware, driver and state, logical HBA",
     cmd_adapter_list},
    {"hba", "list", "", 0, 0, 0, "every physical HBA, logical HBA and logical network port", cmd_hba_list},
    {"phba", "show", "HBA", kPhba, 1, 1, "properties and state of a physical HBA",
     SHOW(IMA_VMW_GetPhbaProperties, kPhbaView, phba_state)},
    {"phba", "download", "HBA FILE", kPhba, 2, 2, "writes the adapter's firmware from an image file", cmd_phba_download},
    {"lhba", "show", "HBA", kLhba, 1, 1, "properties of a logical HBA", SHOW(IMA_GetLhbaProperties, kLhbaView)},
    {"node", "show", "HBA", kLhba | kPhba, 1, 1, "the initiator node: name and alias",
     SHOW(IMA_VMW_GetNodeProperties, kNodeView)},
    {"node", "set-name", "HBA NAME", kLhba | kPhba, 2, 2, "sets the initiator's iSCSI name", SET_TEXT(IMA_VMW_SetNodeName)},
    {"node", "set-alias", "HBA ALIAS", kLhba | kPhba, 2, 2, "sets the initiator's alias (\"\" clears it)",
     SET_TEXT(IMA_VMW_SetNodeAlias)},
    {"port", "list", "HBA", kPhba | kLnp | kLhba, 1, 1, "the network ports and the network portal of an HBA", cmd_port_list},
    {"pnp", "show", "HBA", kPnp, 1, 1, "properties and link state of the physical network port",
     SHOW(IMA_VMW_GetPnpProperties, kPnpView, link_state)},
    {"lnp", "show", "HBA", kLnp, 1, 1, "properties of the logical network port", SHOW(IMA_VMW_GetLnpProperties, kLnpView)},
    {"discovery", "show", "HBA", kLhba | kPhba | kPortal, 1, 1, "discovery settings and the state of the rediscoveries",
     SHOW(IMA_GetDiscoveryProperties, kDiscoveryView, discovery_state)},
    {"discovery", "list", "HBA", kLhba | kPnp, 1, 1, "SendTargets discovery addresses",
     LIST_OF(discovery_addresses, IMA_GetDiscoveryAddressProperties, kDiscoveryAddressView)},
    {"discovery", "add", "HBA ADDRESS[:PORT] [PORT]", kLhba | kPnp, 2, 3,
     "adds a discovery address (port 3260 when none is given) and discovers through it", cmd_discovery_add},
    {"discovery", "remove", "DISCOVERY", kDiscovery, 1, 1, "removes a discovery address", ACT(IMA_RemoveDiscoveryAddress)},
    {"discovery", "rediscover", "HBA", kPhba, 1, 1,
     "discovers through every discovery address, then logs in to every portal without a session", rediscover},
    {"static", "list", "HBA", kLhba | kPnp, 1, 1, "static targets: one per portal of every target",
     LIST_OF(portals, IMA_VMW_GetStaticDiscoveryTargetProperties, kStaticTargetView)},
    {"static", "add", "HBA NAME ADDRESS[:PORT] [PORT]", kLhba | kPnp, 3, 4,
     "adds a target, or a portal to the target of that name (port 3260 when none is given)", cmd_static_add},
    {"static", "remove", "STATIC|TARGET", kStatic | kTarget, 1, 1,
     "logs out a portal's sessions and removes it; a target: every portal, so the target goes", cmd_static_remove},
    {"target", "list", "HBA", kLhba | kLnp, 1, 1, "targets with a portal",
     LIST_OF(targets, IMA_GetTargetProperties, kTargetView)},
    {"lun", "list", "HBA|TARGET", kLhba | kTarget, 1, 1, "logical units by number, with size and model", lun_list},
    {"session", "list", "HBA|TARGET", kLhba | kTarget, 1, 1,
     "every portal of every target, with its sessions and their state (failed log-ins too)", session_list},
    {"session", "add", "HBA|TARGET|SESSION", kLhba | kTarget | kSession, 1, 1,
     "logs in where a portal has no session, target by target, or once more to a session's portal", session_add},
    {"session", "remove", "HBA|TARGET|SESSION", kLhba | kTarget | kSession, 1, 1,
     "logs out a session (of an HBA or a target: the first of each target)", session_remove},
    {"connection", "list", "SESSION", kSession, 1, 1, "connections of a session", cmd_connection_list},
    {"connection", "show", "CONNECTION", kConnection, 1, 1, "properties and status of a connection", cmd_connection_show},
    {"auth", "show", "HBA|TARGET|DISCOVERY", kAuthKinds, 1, 1, "authentication methods and CHAP names in use", auth_show},
    {"auth", "methods", "OBJECT LIST", kAuthKinds, 2, 2, "sets the methods: none, chap, chap,none or none,chap",
     auth_methods},
    {"auth", "chap", "OBJECT NAME SECRET", kAuthKinds, 3, 3, "sets one-way CHAP (secret of 12 to 16 characters)",
     auth_chap},
    {"auth", "mutual", "OBJECT NAME SECRET", kAuthKinds, 3, 3, "adds mutual CHAP to the one-way CHAP in use", auth_mutual},
    {"auth", "mutual-off", "OBJECT", kAuthKinds, 1, 1, "ends mutual CHAP, keeping one-way CHAP", auth_mutual_off},
    {"ip", "show", "HBA", kPhba, 1, 1, "IPv4 and IPv6 addresses, mask, gateways, DHCP and MTU", ip_show},
    {"ip", "address", "HBA ADDRESS", kPhba, 2, 2, "sets the IPv4 or the static IPv6 address", ip_address},
    {"ip", "mask", "HBA MASK", kPhba, 2, 2, "sets the IPv4 subnet mask", ip_mask},
    {"ip", "gateway", "HBA ADDRESS", kPhba, 2, 2, "sets the IPv4 or IPv6 default gateway", ip_gateway},
    {"ip", "dhcp", "HBA on|off", kPhba, 2, 2, "switches DHCP for IPv4 on or off", ip_dhcp},
    {"ip", "ipv6-auto", "HBA off|auto|dhcp", kPhba, 2, 2, "IPv6 address auto-configuration", ip_ipv6_auto},
    {"login", "show", "HBA|TARGET|DISCOVERY", kAuthKinds, 1, 1, "the login parameters at that level", login_show},
    {"login", "set", "OBJECT KEY VALUE", kAuthKinds, 3, 3,
     "header-digest|data-digest none|crc32c, immediate-data yes|no", login_set},
};

constexpr const char* kSynopsis = "usage: imahost [--plugin PATH] [--owner N] NOUN VERB [ARGS]";

std::string usage_of(const Command& command) {
  return std::string("usage: imahost ") + command.noun + " " + command.verb + (command.args[0] != '\0' ? " " : "") +
         command.args;
}

void help(const char* noun) {
  std::printf("%s\n", kSynopsis);
  for (const Command& command : kCommands) {
    if (noun != nullptr && std::strcmp(noun, command.noun) != 0) continue;
    const std::string line = std::string(command.noun) + " " + command.verb + " " + command.args;
    std::printf("  %-42s %s\n", line.c_str(), command.help);
  }
  if (noun != nullptr) return;
  std::printf(
      "Objects are named as the listings print them, the same in every run:\n"
      "  HBA        an iSCSI function by its logical HBA's name: vmhba33\n"
      "  TARGET     vmhba33/iqn.2026-01.com.example:store.open (the logical HBA may be left out when one has it)\n"
      "  STATIC     a portal of a target: TARGET@10.0.0.5:3260, TARGET@[fd00::5]:3260\n"
      "  DISCOVERY  vmhba33/10.0.0.9:3260\n"
      "  SESSION    TARGET/ISID (vmhba33/iqn...:store.open/00023d000000); CONNECTION: SESSION/ID\n"
      "  OBJECT     an HBA, TARGET or DISCOVERY\n"
      "  or the identifier a listing prints, with the name: target:932=vmhba33/iqn...:store.open\n"
      "The plug-in: --plugin, else $IMAHOST_PLUGIN, else libvxima.so beside imahost. Its log: /tmp/ima.log\n"
      "(under $VXIMA_ROOT when set). Exit status: 1 when something failed, 2 for a command line not understood.\n");
}

int usage_error(const std::string& what, const std::string& usage = kSynopsis) {
  std::fprintf(stderr, "imahost: %s\n%s\n", what.c_str(), usage.c_str());
  return 2;
}

// Why no adapter was found: the simulator's file or configuration, or no driver at all.
int no_adapter(const Host& host, const std::string& plugin) {
  std::string why = vxtools::no_adapter_reason(plugin.substr(0, plugin.rfind('/') + 1), "iSCSI function");
  const LastStatus& started = host.start_status();
  if (started.code != 0) why += "; last status " + std::to_string(started.code) + " \"" + started.text + "\"";
  return say("no adapter found: " + why);
}

}  // namespace

int main(int argc, char** argv) {
  std::string plugin;
  uint32_t owner = 1;
  int at = 1;
  for (; at < argc && std::strncmp(argv[at], "--", 2) == 0; ++at) {
    const std::string option = argv[at];
    if (option == "--help") {
      help(nullptr);
      return 0;
    }
    if (option != "--plugin" && option != "--owner") return usage_error("unknown option " + option);
    if (++at == argc) return usage_error(option + " needs a value");
    char* end = nullptr;
    if (option == "--plugin") plugin = argv[at];
    if (option == "--owner") owner = static_cast<uint32_t>(std::strtoul(argv[at], &end, 0));
    if (option == "--owner" && (argv[at][0] == '\0' || *end != '\0')) return usage_error("--owner takes a number");
  }
  if (at == argc) return usage_error("no command given (imahost help lists them)");
  const std::string noun = argv[at];
  auto help_word = [](const std::string& word) { return word == "help" || word == "--help" || word == "-h"; };
  // help, help NOUN, NOUN help
  if (help_word(noun) || (at + 1 < argc && help_word(argv[at + 1]))) {
    const char* about = !help_word(noun) ? argv[at] : at + 1 < argc ? argv[at + 1] : nullptr;
    const bool known = about == nullptr || std::any_of(std::begin(kCommands), std::end(kCommands),
                                                       [&](const Command& c) { return std::strcmp(c.noun, about) == 0; });
    if (!known) return usage_error("\"" + std::string(about) + "\" is no command (imahost help lists them)");
    help(about);
    return 0;
  }
  const Command* command = nullptr;
  std::string verbs;
  for (const Command& candidate : kCommands) {
    if (noun != candidate.noun) continue;
    verbs += (verbs.empty() ? "" : ", ") + std::string(candidate.verb);
    if (at + 1 < argc && std::strcmp(argv[at + 1], candidate.verb) == 0) command = &candidate;
  }
  if (verbs.empty()) return usage_error("\"" + noun + "\" is no command (imahost help lists them)");
  if (command == nullptr) {
    const std::string given = at + 1 < argc ? "\"" + noun + " " + argv[at + 1] + "\" is no command" : noun + " needs a verb";
    return usage_error(given + "; " + noun + " takes " + verbs, "usage: imahost " + noun + " VERB ... (imahost help " + noun + ")");
  }
  const Words args(argv + at + 2, argv + argc);
  const Words words = [&] {   // the argument names of the usage line
    Words out;
    for (std::string rest = command->args; !rest.empty();) {
      const size_t blank = rest.find(' ');
      out.push_back(rest.substr(0, blank));
      rest = blank == std::string::npos ? "" : rest.substr(blank + 1);
    }
    return out;
  }();
  const std::string name = std::string(command->noun) + " " + command->verb;
  if (args.size() < command->min_args) return usage_error(name + ": " + words[args.size()] + " is missing", usage_of(*command));
  if (args.size() > command->max_args) {
    return usage_error(name + ": too many arguments (\"" + args[command->max_args] + "\")", usage_of(*command));
  }

  Host host;
  if (!host.load(plugin)) return say(host.error());
  host.start(owner);
  Names names(host);
  if (names.hbas().empty()) return no_adapter(host, plugin_path(plugin));
  On on{host, names, Object{}};
  if (command->kinds != 0 && !names.resolve(args[0], command->kinds, &on.object)) return 1;
  const int status = command->run(on, args);
  if (status == 2) std::fprintf(stderr, "%s\n", usage_of(*command).c_str());
  return status;
}
