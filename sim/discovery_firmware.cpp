// SendTargets discovery and the firmware's target database of the simulated iSCSI functions: the
// answers of a discovery session (paged per discovery portal, with the continuation of generation
// 5), the firmware configuration's maximum target count, the target ids and target records of the
// persistent targets (and of those the configured iSNS servers report), and the discovery
// parameters record.
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "iscsi/records.h"
#include "sim/iscsi_firmware.h"
#include "sim/iscsi_state.h"
#include "sim/net_state.h"

namespace vx::sim {
namespace {

constexpr char kSendTargetsAll[] = "SendTargets=All";
constexpr char kSendTargetsOne[] = "SendTargets=";
constexpr Answer kAnswerNotSupported{66, 0, 0};
constexpr uint32_t kGenerationOrvelle = 5;

bool same_name(const std::string& a, const std::string& b) {
  return a.size() == b.size() && ::strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

template <typename T>
void put_at(std::vector<uint8_t>& rec, size_t offset, T value) {
  std::memcpy(rec.data() + offset, &value, sizeof value);
}

// The targets a discovery portal answers with: all it lists, or the one asked for.
std::vector<const RemoteTarget*> answered(const Network& network, const DiscoveryPortal& portal,
                                          const std::string& name) {
  std::vector<const RemoteTarget*> out;
  for (const std::string& listed : portal.targets) {
    const RemoteTarget* t = network.find(listed);
    if (t != nullptr && (name.empty() || same_name(name, t->name))) out.push_back(t);
  }
  return out;
}

// Entries first .. first + limit - 1 as a target list, as many as the payload holds; the answer says
// (status 4) when more remain.
Answer write_list(Payload& p, const std::vector<const RemoteTarget*>& targets, size_t first, size_t limit,
                  uint32_t* written) {
  size_t at = kTargetListHeader;
  uint32_t count = 0;
  for (size_t i = first; i < targets.size() && count < limit; ++i) {
    const RemoteTarget& t = *targets[i];
    const size_t slots = std::max<size_t>(t.portals.size(), 1);
    const size_t entry = kTargetEntryHeader + slots * sizeof(target_list_address);
    if (at + entry > p.size()) break;
    const uint32_t addresses = static_cast<uint32_t>(t.portals.size());
    char name[kIscsiNameSize] = {};
    std::strncpy(name, t.name.c_str(), sizeof name - 1);
    p.put(at, &addresses, sizeof addresses);
    p.put(at + 4, name, sizeof name);
    for (size_t k = 0; k < t.portals.size(); ++k) {
      target_list_address e{};
      e.type = t.portals[k].address.type;
      std::memcpy(e.address, t.portals[k].address.bytes.data(), sizeof e.address);
      e.port = t.portals[k].port;
      e.group_tag = t.portals[k].group_tag;
      p.put(at + kTargetEntryHeader + k * sizeof e, &e, sizeof e);
    }
    at += entry;
    ++count;
  }
  p.put(0, &count, sizeof count);
  *written = count;
  Answer a;
  a.length = static_cast<uint32_t>(at);
  if (first + count < targets.size()) a.status = kStatusResponseTooLarge;
  return a;
}

// Answers a page of a discovery session's targets and notes how far it got.
Answer page(Command& c, uint32_t handle, const std::string* name, size_t first, size_t wanted) {
  Answer answer;
  const Answer done = change(c, [&](IscsiState& s) {
    DiscoverySession* d = s.discovery_session(handle);
    const DiscoveryPortal* portal = d != nullptr ? c.network.discovery_portal(d->address, d->port) : nullptr;
    if (portal == nullptr) return false;
    if (name != nullptr) d->name = *name;
    uint32_t written = 0;
    answer = write_list(c.payload, answered(c.network, *portal, d->name), first,
                        name != nullptr ? portal->page_size : wanted, &written);
    d->sent = static_cast<uint32_t>(first + written);
    s.last_discovery = handle;
    return true;
  }, Answer{});
  return done.status != 0 ? done : answer;
}

struct DatabaseTarget {
  std::string name;
  std::string alias;
  std::vector<RemotePortal> portals;
};

DatabaseTarget* entry_named(std::vector<DatabaseTarget>& db, const std::string& name) {
  for (DatabaseTarget& t : db) {
    if (same_name(t.name, name)) return &t;
  }
  return nullptr;
}

// What the firmware knows: its persistent targets at their registered portals, then (with
// `with_isns`, while iSNS is on) the targets that the record's servers report.
bool target_database(const Command& c, bool with_isns, std::vector<DatabaseTarget>* out) {
  const std::shared_ptr<const IscsiState> state = read_iscsi_state(c.store, c.adapter, c.function);
  NetState net;
  if (state == nullptr || !read_net_state(c.store, c.adapter, c.function, &net)) return false;
  std::vector<DatabaseTarget> db;
  for (const PersistentTarget& p : state->persistent) {
    const RemoteTarget* remote = c.network.find(p.target);
    DatabaseTarget* t = entry_named(db, p.target);
    if (t == nullptr) {
      db.push_back(DatabaseTarget{p.target, remote != nullptr ? remote->alias : "", {}});
      t = &db.back();
    }
    RemotePortal portal{p.address, p.port, 1};
    for (size_t i = 0; remote != nullptr && i < remote->portals.size(); ++i) {
      if (remote->portals[i].address == p.address && remote->portals[i].port == p.port) portal = remote->portals[i];
    }
    const bool known = std::any_of(t->portals.begin(), t->portals.end(), [&](const RemotePortal& o) {
      return o.address == portal.address && o.port == portal.port;
    });
    if (!known) t->portals.push_back(portal);
  }
  const bool isns_on = (net.isns_flags & kIsnsEnabled) != 0;
  for (size_t n = 0; with_isns && isns_on && n < net.isns_servers.size(); ++n) {
    NetAddress address;
    address.type = net.isns_servers[n].type;
    address.bytes = net.isns_servers[n].address;
    const uint16_t port = net.isns_servers[n].port;
    for (const IsnsServer& server : c.network.isns_servers) {
      if (!(server.address == address) || server.port != port) continue;
      for (const std::string& name : server.targets) {
        const RemoteTarget* remote = c.network.find(name);
        if (remote != nullptr && entry_named(db, name) == nullptr) {
          db.push_back(DatabaseTarget{remote->name, remote->alias, remote->portals});
        }
      }
    }
  }
  *out = std::move(db);
  return true;
}

}  // namespace

Answer send_targets(Command& c) {
  const std::string key = c.payload.text(8, kSendTargetsKeySize);
  std::string name;
  if (key != kSendTargetsAll) {
    if (key.compare(0, std::strlen(kSendTargetsOne), kSendTargetsOne) != 0) return kAnswerInvalidField;
    name = key.substr(std::strlen(kSendTargetsOne));
  }
  return page(c, c.payload.u32(0), &name, 0, 0);
}

Answer send_targets_more(Command& c) {
  if (c.adapter.generation != kGenerationOrvelle) return kAnswerNotSupported;
  sendtargets_continuation r{};
  if (c.payload.size() < sizeof r) return kAnswerInvalidField;
  std::memcpy(&r, c.payload.bytes(0, sizeof r).data(), sizeof r);
  if (r.kind != kContinuationKind) return kAnswerInvalidField;
  const std::shared_ptr<const IscsiState> state = read_iscsi_state(c.store, c.adapter, c.function);
  if (state == nullptr) return kAnswerFlashFailure;
  return page(c, state->last_discovery, nullptr, r.received, r.wanted);
}

Answer get_fw_config(Command& c) {
  std::vector<uint8_t> rec(kFwConfigSize, 0);
  rec[kFwConfigFunctionCaps] = c.adapter.fw_config.function_caps;
  put_at<uint32_t>(rec, kFwConfigTargetsA, c.adapter.max_targets - c.adapter.max_targets / 2);
  put_at<uint32_t>(rec, kFwConfigTargetsB, c.adapter.max_targets / 2);
  rec[kFwConfigAsicRevision] = c.adapter.fw_config.asic_revision;
  put_at<uint32_t>(rec, kFwConfigFunctionMode, c.adapter.fw_config.function_mode);
  return answer_record(c, rec.data(), rec.size());
}

Answer get_target_ids(Command& c) {
  std::vector<DatabaseTarget> db;
  if (!target_database(c, c.payload.u32(0) != 0, &db)) return kAnswerFlashFailure;
  std::vector<uint8_t> rec(4 + db.size() * kTargetIdEntrySize, 0);
  put_at<uint32_t>(rec, 0, static_cast<uint32_t>(db.size()));
  for (size_t i = 0; i < db.size(); ++i) put_at<uint32_t>(rec, 4 + i * kTargetIdEntrySize, static_cast<uint32_t>(i + 1));
  return answer_record(c, rec.data(), rec.size());
}

Answer get_target(Command& c) {
  std::vector<DatabaseTarget> db;
  const uint32_t id = c.payload.u32(0);
  if (!target_database(c, true, &db)) return kAnswerFlashFailure;
  if (id == 0 || id > db.size()) return kAnswerInvalidField;
  const DatabaseTarget& t = db[id - 1];
  // One portal group per portal: group g's portal 0 then never meets the next group's header.
  const size_t groups = t.portals.size();
  std::vector<uint8_t> rec(groups == 0 ? kTargetRecordGroupTag
                                       : kTargetRecordGroupStride * (groups - 1) + kTargetRecordPortalPort + 2,
                           0);
  std::strncpy(reinterpret_cast<char*>(rec.data() + kTargetRecordName), t.name.c_str(), kIscsiNameSize - 1);
  std::strncpy(reinterpret_cast<char*>(rec.data() + kTargetRecordAlias), t.alias.c_str(), kAliasSize - 1);
  put_at<uint32_t>(rec, kTargetRecordGroupCount, static_cast<uint32_t>(groups));
  for (size_t g = 0; g < groups; ++g) {
    const size_t base = kTargetRecordGroupStride * g;
    put_at<uint16_t>(rec, kTargetRecordGroupTag + base, t.portals[g].group_tag);
    put_at<uint16_t>(rec, kTargetRecordPortalCount + base, 1);
    rec[base + kTargetRecordPortalType] = t.portals[g].address.type;
    std::memcpy(rec.data() + base + kTargetRecordPortalAddress, t.portals[g].address.bytes.data(), 16);
    put_at<uint16_t>(rec, base + kTargetRecordPortalPort, t.portals[g].port);
  }
  return answer_record(c, rec.data(), rec.size());
}

}  // namespace vx::sim
