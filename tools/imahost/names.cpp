// Names that find the same object in every process. Each imahost command is a process of its own
// whose tags follow its own build order, so objects are named by what the plug-in reports of them:
// the logical HBA's operating-system name, then a target's iSCSI name, a portal or discovery
// address as ADDRESS:PORT, a session by its ISID and a connection by its id:
//
//   vmhba33                                          an iSCSI function (its HBAs, ports and portal)
//   vmhba33/iqn.2026-01.com.example:store.open       a target
//   vmhba33/iqn...:store.open@10.0.0.5:3260          one portal of it (a static target)
//   vmhba33/10.0.0.9:3260                            a discovery address
//   vmhba33/iqn...:store.open/00023d000000[/1]       a session [and its connection]
//
// The logical HBA may be left out where the rest names one object of one logical HBA only. An
// identifier as a listing prints it, KIND:TAG, is taken only with the name: KIND:TAG=NAME.
#include <arpa/inet.h>
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/imahost/cli.h"

namespace imahost {

struct Names::Lists {
  bool have_targets = false;
  bool have_portals = false;
  bool have_discovery = false;
  std::vector<Object> targets;
  std::vector<Portal> portals;
  std::vector<Portal> discovery;   // no target name
};

namespace {

constexpr uint16_t kDefaultPort = 3260;
constexpr uint32_t kHbaKinds = kPhba | kLhba | kLnp | kPnp | kPortal;

struct KindRow {
  uint32_t kind;
  const char* word;   // as identifiers print it (oid_text)
  const char* what;
  uint32_t type;
};
// The order in which an iSCSI function's name is taken where a command accepts several kinds.
constexpr KindRow kKinds[] = {
    {kLhba, "lhba", "logical HBA", IMA_OBJECT_TYPE_LHBA},
    {kPhba, "phba", "physical HBA", IMA_OBJECT_TYPE_PHBA},
    {kLnp, "lnp", "logical network port", IMA_OBJECT_TYPE_LNP},
    {kPnp, "pnp", "physical network port", IMA_OBJECT_TYPE_PNP},
    {kPortal, "portal", "network portal", IMA_OBJECT_TYPE_NETWORK_PORTAL},
    {kDiscovery, "discovery", "discovery address", IMA_OBJECT_TYPE_DISCOVERY_ADDRESS},
    {kTarget, "target", "target", IMA_OBJECT_TYPE_TARGET},
    {kStatic, "static", "static target (TARGET@ADDRESS:PORT)", IMA_OBJECT_TYPE_STATIC_DISCOVERY_TARGET},
    {kSession, "session", "session (TARGET/ISID)", IMA_OBJECT_TYPE_SESSION},
    {kConnection, "connection", "connection (TARGET/ISID/ID)", IMA_OBJECT_TYPE_CONNECTION},
};

const KindRow* kind_row(uint32_t kind) {
  for (const KindRow& row : kKinds) {
    if (row.kind == kind) return &row;
  }
  return nullptr;
}

// "a logical HBA, a target or a discovery address".
std::string expected(uint32_t kinds) {
  std::vector<std::string> whats;
  for (const KindRow& row : kKinds) {
    if ((kinds & row.kind) != 0) whats.push_back("a " + std::string(row.what));
  }
  std::string out;
  for (size_t i = 0; i < whats.size(); ++i) out += (i == 0 ? "" : i + 1 == whats.size() ? " or " : ", ") + whats[i];
  return out;
}

bool refuse(const std::string& text) {
  say(text);
  return false;
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

bool same_address(const IMA_IP_ADDRESS& a, const IMA_IP_ADDRESS& b) {
  return (a.ipv4Address != 0) == (b.ipv4Address != 0) &&
         std::memcmp(a.ipAddress, b.ipAddress, a.ipv4Address != 0 ? 4 : sizeof a.ipAddress) == 0;
}

std::string hex(const uint8_t* bytes, size_t size) {
  std::string out;
  char pair[3];
  for (size_t i = 0; i < size; ++i) {
    std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
    out += pair;
  }
  return out;
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  for (size_t start = 0;;) {
    const size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

template <size_t N>
std::string text_of(const IMA_WCHAR (&wide)[N]) {
  return utf8_of(wide, N);
}

IMA_OID first_of(const std::vector<IMA_OID>& oids) { return oids.empty() ? IMA_OID{} : oids[0]; }

}  // namespace

std::string address_port(const IMA_IP_ADDRESS& address, uint16_t port) {
  char text[INET6_ADDRSTRLEN] = "?";
  const bool ipv4 = address.ipv4Address != 0;
  ::inet_ntop(ipv4 ? AF_INET : AF_INET6, address.ipAddress, text, sizeof text);
  return (ipv4 ? std::string(text) : "[" + std::string(text) + "]") + ":" + std::to_string(port);
}

bool parse_address_port(const std::string& text, IMA_IP_ADDRESS* address, uint16_t* port) {
  *address = IMA_IP_ADDRESS{};
  std::string host = text;
  std::string number;
  if (!text.empty() && text[0] == '[') {
    const size_t close = text.find(']');
    if (close == std::string::npos || (close + 1 < text.size() && text[close + 1] != ':')) return false;
    host = text.substr(1, close - 1);
    number = close + 1 < text.size() ? text.substr(close + 2) : "";
    if (close + 1 < text.size() && number.empty()) return false;
  } else if (std::count(text.begin(), text.end(), ':') == 1) {
    host = text.substr(0, text.find(':'));
    number = text.substr(text.find(':') + 1);
    if (number.empty()) return false;
  }
  address->ipv4Address = host.find(':') == std::string::npos ? 1 : 0;
  if (::inet_pton(address->ipv4Address != 0 ? AF_INET : AF_INET6, host.c_str(), address->ipAddress) != 1) return false;
  char* end = nullptr;
  const unsigned long value = number.empty() ? 0 : std::strtoul(number.c_str(), &end, 10);
  if (!number.empty() && (*end != '\0' || number[0] == '-' || value > 65535)) return false;
  *port = static_cast<uint16_t>(value);
  return true;
}

std::string status_words(IMA_STATUS status) {
  const std::string text = status_text(status);   // "0xC0000000 invalid parameter"
  const size_t blank = text.find(' ');
  return blank == std::string::npos ? text : text.substr(blank + 1) + " (" + text.substr(0, blank) + ")";
}

int say(const std::string& text) {
  std::fprintf(stderr, "imahost: %s\n", text.c_str());
  return 1;
}

std::string last_status_words(const LastStatus& last) {
  return last.code == 0 ? "" : "; last status " + std::to_string(last.code) + " \"" + last.text + "\"";
}

int failed(const std::string& object, const char* entry, const Outcome& outcome) {
  return say(object + ": " + entry + " failed: " + status_words(outcome.status) + last_status_words(outcome.last));
}

void warn(const std::string& object, const char* entry, const Outcome& outcome) {
  if (outcome.last.code != 0) say(object + ": " + entry + " succeeded with a warning" + last_status_words(outcome.last));
}

// ---- the objects of this process ----------------------------------------------------------------

Names::Names(const Host& host) : host_(host) {}
Names::~Names() = default;

const std::vector<Hba>& Names::hbas() {
  if (have_hbas_) return hbas_;
  have_hbas_ = true;
  const EntryPoints& ima = host_.ima();
  std::vector<IMA_OID> phbas;
  host_.list(ima.IMA_GetPhbaOidList, &phbas);
  for (const IMA_OID& phba : phbas) {
    Hba hba;
    hba.phba = phba;
    std::vector<IMA_OID> lhbas;
    host_.list(ima.IMA_VMW_GetLhbaOidList, phba, &lhbas);
    IMA_LHBA_PROPERTIES props{};
    if (!lhbas.empty() && IMA_SUCCESS(ima.IMA_GetLhbaProperties(lhbas[0], &props))) {
      hba.lhba = lhbas[0];
      hba.has_lhba = true;
      hba.name = text_of(props.osDeviceName);
    }
    hbas_.push_back(hba);
  }
  lists_.resize(hbas_.size());
  return hbas_;
}

// The HBAs stay: nothing a command does adds or renames an iSCSI function.
void Names::forget() {
  for (auto& lists : lists_) lists.reset();
}

Names::Lists& Names::lists(const Hba& hba) {
  auto& lists = lists_[static_cast<size_t>(&hba - hbas_.data())];
  if (lists == nullptr) lists = std::make_unique<Lists>();
  return *lists;
}

const Hba* Names::hba_named(const std::string& name) {
  for (const Hba& hba : hbas()) {
    if (hba.has_lhba && hba.name == name) return &hba;
  }
  return nullptr;
}

namespace {

// A list of a logical HBA, read once: each identifier whose record can be read, made an item.
template <typename Item, typename Record, typename Make>
const std::vector<Item>& read_once(const Host& host, const Hba& hba, bool* have, std::vector<Item>* items,
                                   IMA_STATUS (*lister)(IMA_OID, IMA_OID_LIST**), IMA_STATUS (*get)(IMA_OID, Record*),
                                   Make make) {
  if (*have || !hba.has_lhba) return *items;
  *have = true;
  std::vector<IMA_OID> oids;
  host.list(lister, hba.lhba, &oids);
  for (const IMA_OID& oid : oids) {
    Record props{};
    if (IMA_SUCCESS(get(oid, &props))) items->push_back(make(oid, props));
  }
  return *items;
}

}  // namespace

const std::vector<Object>& Names::targets(const Hba& hba) {
  Lists& lists = this->lists(hba);
  const EntryPoints& ima = host_.ima();
  return read_once(host_, hba, &lists.have_targets, &lists.targets, ima.IMA_GetTargetOidList, ima.IMA_GetTargetProperties,
                   [&](const IMA_OID& oid, const IMA_TARGET_PROPERTIES& props) {
                     return Object{oid, hba.name + "/" + text_of(props.name), &hba};
                   });
}

const std::vector<Portal>& Names::portals(const Hba& hba) {
  Lists& lists = this->lists(hba);
  const EntryPoints& ima = host_.ima();
  return read_once(host_, hba, &lists.have_portals, &lists.portals, ima.IMA_VMW_GetStaticDiscoveryTargetOidList,
                   ima.IMA_VMW_GetStaticDiscoveryTargetProperties,
                   [&](const IMA_OID& oid, const IMA_STATIC_DISCOVERY_TARGET_PROPERTIES& props) {
                     const IMA_TARGET_ADDRESS& at = props.targetAddress;
                     const std::string target = text_of(props.targetName);
                     return Portal{oid, target, at.hostnameIpAddress.id.ipAddress, at.portNumber,
                                   hba.name + "/" + target + "@" + address_port(at.hostnameIpAddress.id.ipAddress, at.portNumber)};
                   });
}

const std::vector<Portal>& Names::discovery_addresses(const Hba& hba) {
  Lists& lists = this->lists(hba);
  const EntryPoints& ima = host_.ima();
  return read_once(host_, hba, &lists.have_discovery, &lists.discovery, ima.IMA_GetDiscoveryAddressOidList,
                   ima.IMA_GetDiscoveryAddressProperties,
                   [&](const IMA_OID& oid, const IMA_DISCOVERY_ADDRESS_PROPERTIES& props) {
                     const IMA_TARGET_ADDRESS& at = props.discoveryAddress;
                     return Portal{oid, "", at.hostnameIpAddress.id.ipAddress, at.portNumber,
                                   hba.name + "/" + address_port(at.hostnameIpAddress.id.ipAddress, at.portNumber)};
                   });
}

std::vector<Session> Names::sessions(const Object& target) {
  std::vector<Session> out;
  const Hba& hba = *target.hba;
  const std::vector<Portal>& portals = this->portals(hba);
  auto portal_at = [&](uint32_t tag) {
    for (size_t i = 0; i < portals.size(); ++i) {
      if (portals[i].oid.sequenceLow == tag) return static_cast<int>(i);
    }
    return -1;
  };
  std::vector<IMA_OID> open;
  host_.list(host_.ima().IMA_GetSessionOidList, target.oid, &open);
  for (const IMA_OID& oid : open) {
    IMA_SESSION_PROPERTIES props{};
    if (!IMA_SUCCESS(host_.ima().IMA_GetSessionProperties(oid, &props))) continue;
    const std::string isid = hex(props.isid, sizeof props.isid);
    out.push_back(Session{Object{oid, target.name + "/" + isid, &hba}, isid, "open",
                          portal_at(props.associatedTargetOid.sequenceLow)});
  }
  // The IMA list holds the open sessions only; a failed or closed log-in is read from the hierarchy.
  int32_t node = 0;
  std::vector<int32_t> tags;
  if (!host_.hierarchy_parent(static_cast<int32_t>(target.oid.sequenceLow), &node) ||
      !host_.hierarchy_instances(node, "Session", &tags)) {
    return out;
  }
  for (int32_t tag : tags) {
    bool listed = false;
    for (const IMA_OID& oid : open) listed = listed || static_cast<int32_t>(oid.sequenceLow) == tag;
    std::string state;
    std::string isid;
    std::string address;
    std::string port;
    if (listed || !host_.hierarchy_value(tag, "SessionStatus", &state) || !host_.hierarchy_value(tag, "ISID", &isid)) {
      continue;
    }
    int portal = -1;
    IMA_IP_ADDRESS destination{};
    uint16_t number = 0;
    if (host_.hierarchy_value(tag, "Connection0/DestinationIPAddress", &address) &&
        host_.hierarchy_value(tag, "Connection0/DestinationPortNumber", &port) &&
        parse_address_port(address, &destination, &number)) {
      for (size_t i = 0; i < portals.size(); ++i) {
        if (same_address(portals[i].address, destination) && std::to_string(portals[i].port) == port) portal = static_cast<int>(i);
      }
    }
    const IMA_OID oid{IMA_OBJECT_TYPE_SESSION, target.oid.ownerId, static_cast<uint32_t>(tag), 0};
    out.push_back(Session{Object{oid, target.name + "/" + isid, &hba}, isid, state, portal});
  }
  return out;
}

// ---- resolution ---------------------------------------------------------------------------------

bool Names::resolve(const std::string& text, uint32_t kinds, Object* out) {
  const size_t colon = text.find(':');
  const KindRow* row = nullptr;
  for (const KindRow& candidate : kKinds) {
    if (colon != std::string::npos && text.compare(0, colon, candidate.word) == 0) row = &candidate;
  }
  if (row == nullptr) return resolve_name(text, kinds, out);
  char* end = nullptr;
  const long tag = std::strtol(text.c_str() + colon + 1, &end, 10);
  if (end == text.c_str() + colon + 1 || (*end != '\0' && *end != '=')) return resolve_name(text, kinds, out);
  if (*end == '\0') {
    return refuse(quoted(text) + ": a number alone may name another object in this process (every command builds "
                  "its own); give the name a listing prints, or " + text + "=NAME");
  }
  if ((row->kind & kinds) == 0) return refuse(quoted(text) + " is a " + row->what + "; here " + expected(kinds) + " is wanted");
  Object found;
  if (!resolve_name(end + 1, row->kind, &found)) return false;
  if (found.oid.objectType != row->type || static_cast<long>(static_cast<int32_t>(found.oid.sequenceLow)) != tag) {
    return refuse(quoted(text) + ": " + found.name + " is " + oid_text(found.oid) + " in this process, not " +
                  text.substr(0, static_cast<size_t>(end - text.c_str())) + "; give its name alone");
  }
  *out = found;
  return true;
}

bool Names::resolve_name(const std::string& text, uint32_t kinds, Object* out) {
  std::string names;
  for (const Hba& hba : hbas()) {
    if (hba.has_lhba) names += (names.empty() ? "" : ", ") + hba.name;
  }
  const std::string not_found = quoted(text) + " is not " + expected(kinds) + " (logical HBAs: " + names + ")";
  const size_t slash = text.find('/');
  const Hba* hba = hba_named(text.substr(0, slash));
  const std::string rest = hba == nullptr ? text : slash == std::string::npos ? "" : text.substr(slash + 1);
  if (hba != nullptr && rest.empty()) {   // an iSCSI function: the first of its kinds the command takes
    const EntryPoints& ima = host_.ima();
    std::vector<IMA_OID> oids;
    const IMA_OID lnp = lnp_of(hba->phba);
    for (const KindRow& row : kKinds) {
      if ((row.kind & kinds & kHbaKinds) == 0) continue;
      if (row.kind == kLhba) *out = Object{hba->lhba, hba->name, hba};
      if (row.kind == kPhba) *out = Object{hba->phba, hba->name, hba};
      if (row.kind == kLnp) *out = Object{lnp, hba->name, hba};
      if (row.kind == kPnp) host_.list(ima.IMA_GetPnpOidList, hba->phba, &oids);
      if (row.kind == kPortal) host_.list(ima.IMA_VMW_GetNetworkPortalOidList, lnp, &oids);
      if (row.kind == kPnp || row.kind == kPortal) *out = Object{first_of(oids), hba->name, hba};
      return out->oid.objectType != 0 || refuse(quoted(text) + ": the plug-in lists no " + row.what + " of it");
    }
    return refuse(quoted(text) + " is an iSCSI function; here " + expected(kinds) + " is wanted");
  }
  // The shape of the rest tells the kind: TARGET@ADDRESS:PORT, ADDRESS:PORT, TARGET[/ISID[/ID]].
  const std::vector<std::string> parts = split(rest, '/');
  IMA_IP_ADDRESS address{};
  uint16_t port = 0;
  uint32_t shape = 0;
  if (rest.find('@') != std::string::npos) {
    shape = kStatic;
  } else if (parts.size() == 1) {
    shape = (kinds & kDiscovery) != 0 && parse_address_port(rest, &address, &port) ? kDiscovery : kTarget;
  } else if (parts.size() <= 3) {
    shape = parts.size() == 2 ? kSession : kConnection;
  }
  if (shape == kTarget && (kinds & (kTarget | kStatic)) == 0 && (kinds & kHbaKinds) != 0) return refuse(not_found);
  if ((shape & kinds) == 0) {
    return refuse(quoted(text) + (shape == 0 ? " names nothing" : " names a " + std::string(kind_row(shape)->what)) +
                  "; here " + expected(kinds) + " is wanted");
  }
  const std::string target = shape == kStatic ? rest.substr(0, rest.find('@')) : shape == kDiscovery ? "" : parts[0];
  if (shape == kStatic && !parse_address_port(rest.substr(rest.find('@') + 1), &address, &port)) {
    return refuse(quoted(text) + ": no ADDRESS:PORT after the '@'");
  }
  if (port == 0) port = kDefaultPort;
  std::vector<Object> found;
  for (const Hba& each : hbas()) {
    if (each.has_lhba && (hba == nullptr || &each == hba)) find(each, shape, target, address, port, parts, &found);
  }
  if (found.empty()) return refuse(not_found);
  if (found.size() > 1) {
    std::string which;
    for (const Object& object : found) which += (which.empty() ? "" : ", ") + object.name;
    return refuse(quoted(text) + " names more than one object (" + which + "); write the logical HBA first");
  }
  *out = found[0];
  return true;
}

void Names::find(const Hba& hba, uint32_t shape, const std::string& target, const IMA_IP_ADDRESS& address,
                 uint16_t port, const std::vector<std::string>& parts, std::vector<Object>* found) {
  if (shape == kDiscovery || shape == kStatic) {
    for (const Portal& at : shape == kDiscovery ? discovery_addresses(hba) : portals(hba)) {
      if (strcasecmp(at.target.c_str(), target.c_str()) == 0 && same_address(at.address, address) && at.port == port) {
        found->push_back(Object{at.oid, at.name, &hba});
      }
    }
    return;
  }
  for (const Object& candidate : targets(hba)) {
    if (strcasecmp(candidate.name.c_str() + hba.name.size() + 1, target.c_str()) != 0) continue;
    if (shape == kTarget) {
      found->push_back(candidate);
      continue;
    }
    for (const Session& session : sessions(candidate)) {
      if (strcasecmp(session.isid.c_str(), parts[1].c_str()) != 0) continue;
      if (shape == kSession) {
        found->push_back(session.object);
        continue;
      }
      std::vector<IMA_OID> connections;
      host_.list(host_.ima().IMA_GetConnectionOidList, session.object.oid, &connections);
      for (const IMA_OID& oid : connections) {
        IMA_CONNECTION_PROPERTIES props{};
        if (IMA_SUCCESS(host_.ima().IMA_GetConnectionProperties(oid, &props)) &&
            std::to_string(props.connectionId) == parts[2]) {
          found->push_back(Object{oid, session.object.name + "/" + parts[2], &hba});
        }
      }
    }
  }
}

std::string Names::name_of(const IMA_OID& oid) {
  const uint32_t tag = oid.sequenceLow;
  for (const Hba& hba : hbas()) {
    const bool function = oid.objectType == IMA_OBJECT_TYPE_PHBA || oid.objectType == IMA_OBJECT_TYPE_LNP ||
                          oid.objectType == IMA_OBJECT_TYPE_NODE;
    if ((function && hba.phba.sequenceLow == tag) ||
        (oid.objectType == IMA_OBJECT_TYPE_LHBA && hba.has_lhba && hba.lhba.sequenceLow == tag)) {
      return hba.name.empty() ? oid_text(oid) : hba.name;
    }
    if (oid.objectType == IMA_OBJECT_TYPE_TARGET || oid.objectType == IMA_OBJECT_TYPE_STATIC_DISCOVERY_TARGET) {
      for (const Portal& portal : portals(hba)) {
        if (portal.oid.sequenceLow != tag) continue;
        return oid.objectType == IMA_OBJECT_TYPE_TARGET ? hba.name + "/" + portal.target : portal.name;
      }
    }
    if (oid.objectType == IMA_OBJECT_TYPE_DISCOVERY_ADDRESS) {
      for (const Portal& address : discovery_addresses(hba)) {
        if (address.oid.sequenceLow == tag) return address.name;
      }
    }
  }
  IMA_SESSION_PROPERTIES props{};
  if (oid.objectType == IMA_OBJECT_TYPE_SESSION && IMA_SUCCESS(host_.ima().IMA_GetSessionProperties(oid, &props))) {
    return name_of(props.associatedTargetOid) + "/" + hex(props.isid, sizeof props.isid);
  }
  return oid_text(oid);
}

}  // namespace imahost
