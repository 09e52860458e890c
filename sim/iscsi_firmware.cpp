#include "sim/iscsi_firmware.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "iscsi/records.h"
#include "sim/iscsi_state.h"
#include "sim/net_state.h"

namespace vx::sim {
namespace {

constexpr uint16_t kFirstSourcePort = 49152;
constexpr uint32_t kConnectionHandleBit = 0x10000;
constexpr uint8_t kIsidPrefix[4] = {0x00, 0x02, 0x3D, 0x00};
constexpr Answer kAnswerHostUnreachable{1, 19, 0};

bool same_name(const std::string& a, const std::string& b) {
  return a.size() == b.size() && ::strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

template <typename Record>
bool take(const Command& c, Record* out) {
  if (c.payload.size() < sizeof(Record)) return false;
  std::memcpy(out, c.payload.bytes(0, sizeof(Record)).data(), sizeof(Record));
  return true;
}

std::string text_of(const char* field, size_t size) { return std::string(field, ::strnlen(field, size)); }

NetAddress address_of(const address_record& r) {
  NetAddress a;
  a.type = r.type;
  std::memcpy(a.bytes.data(), r.address, r.type == kAddressTypeIpv6 ? 16 : 4);
  return a;
}

bool same_key(const PersistentTarget& p, const std::string& target, const NetAddress& a, uint16_t port, uint16_t isid,
              const std::string& initiator) {
  return same_name(p.target, target) && p.address == a && p.port == port && p.isid == isid &&
         same_name(p.initiator, initiator);
}

bool session_of(const SimSession& s, const PersistentTarget& p) {
  return same_name(s.target, p.target) && s.address == p.address && s.port == p.port && s.isid == p.isid &&
         same_name(s.initiator, p.initiator);
}

// The session of a registration's key, or NULL.
SimSession* session_of_key(IscsiState& s, const PersistentTarget& key) {
  for (SimSession& x : s.sessions) {
    if (session_of(x, key)) return &x;
  }
  return nullptr;
}

SimSession& new_session(const Adapter& adapter, IscsiState& s, const PersistentTarget& p, uint32_t state,
                        uint32_t flags) {
  SimSession x;
  x.handle = s.next_handle++;
  x.connection = x.handle | kConnectionHandleBit;
  x.state = state;
  x.flags = flags;
  x.isid = p.isid;
  x.eto = adapter.default_eto;
  x.target = p.target;
  x.initiator = p.initiator;
  x.address = p.address;
  x.port = p.port;
  x.source_port = static_cast<uint16_t>(kFirstSourcePort + x.handle % 16384);
  x.options = p.options;
  // The driver numbers targets in the order their first session came.
  uint16_t id = 0;
  for (const SimSession& o : s.sessions) {
    if (same_name(o.target, x.target)) id = o.target_id;
  }
  if (id == 0) {
    for (const SimSession& o : s.sessions) id = std::max(id, o.target_id);
    ++id;
  }
  x.target_id = id;
  s.sessions.push_back(x);
  return s.sessions.back();
}

// Logs a registration in: its session is made (or tried again) with the registration's options.
// False when its session is open already (no login is tried).
bool log_in(const Network& network, const Adapter& adapter, IscsiState& s, const PersistentTarget& p,
            LoginVerdict* verdict) {
  login_options options{};
  std::memcpy(&options, p.options.data(), std::min(p.options.size(), sizeof options));
  *verdict = login_verdict(network, p.target, p.address, p.port, options);
  const uint32_t state = session_state_after(*verdict);
  if (SimSession* x = session_of_key(s, p)) {
    x->options = p.options;
    // The registration stands behind the session of its key from now on, also an open one.
    x->flags &= ~kSessionFlagNotPersistent;
    if ((x->state & kSessionOpen) != 0) return false;
    x->state = state;
    return true;
  }
  new_session(adapter, s, p, state, p.flags & kSessionFlagBoot);
  return true;
}

// The firmware's answer pairs for a refused login; an address that answers without the target
// asked for is told apart from one that does not answer.
Answer refusal(const Network& network, const NetAddress& address, LoginVerdict verdict) {
  switch (verdict) {
    case LoginVerdict::kUnreachable:
      return network.reachable(address) ? Answer{1, 46, 0} : kAnswerHostUnreachable;
    case LoginVerdict::kAuthentication:
      return Answer{1, 44, 0};
    case LoginVerdict::kDigest:
      return Answer{1, 100, 0};
    case LoginVerdict::kAccepted:
      break;
  }
  return Answer{};
}

PersistentTarget key_of(const login_target_request& r) {
  PersistentTarget p;
  p.target = text_of(r.target_name, sizeof r.target_name);
  p.address = address_of(r.portal);
  p.port = r.tcp_port;
  p.isid = r.isid_qualifier;
  p.initiator = text_of(r.initiator_name, sizeof r.initiator_name);
  p.alias = text_of(r.initiator_alias, sizeof r.initiator_alias);
  p.flags = r.flags;
  p.eto = r.eto;
  p.options.assign(reinterpret_cast<const char*>(&r.options), sizeof r.options);
  return p;
}

template <typename Record>
void put_record(Command& c, const Record& r) {
  c.payload.put(0, &r, sizeof r);
}

std::string qos_file(const Command& c) {
  char name[48];
  std::snprintf(name, sizeof name, "records/qos-%03d.%02d.%d", c.adapter.bus, c.adapter.device, c.function.number);
  return c.store.adapter_file(c.adapter.serial_number, name);
}

}  // namespace

Answer echo(const Command& c) {
  Answer a;
  a.length = c.payload.size();
  return a;
}

Answer change(Command& c, const std::function<bool(IscsiState&)>& edit, Answer done) {
  bool found = true;
  const bool written = update_iscsi_state(c.store, c.adapter, c.function, [&](IscsiState& s) {
    found = edit(s);
    return found;
  });
  if (!found) return kAnswerInvalidField;
  return written ? done : kAnswerFlashFailure;
}

Answer add_persistent_target(Command& c) {
  login_target_request r{};
  if (!take(c, &r) || (r.portal.type != kAddressTypeIpv4 && r.portal.type != kAddressTypeIpv6)) {
    return kAnswerInvalidField;
  }
  const PersistentTarget p = key_of(r);
  if (p.target.empty() || p.initiator.empty()) return kAnswerInvalidField;
  bool tried = false;
  LoginVerdict verdict = LoginVerdict::kAccepted;
  const Answer a = change(c, [&](IscsiState& s) {
    auto it = std::find_if(s.persistent.begin(), s.persistent.end(), [&](const PersistentTarget& o) {
      return same_key(o, p.target, p.address, p.port, p.isid, p.initiator);
    });
    if (it == s.persistent.end()) {
      s.persistent.push_back(p);
    } else {
      *it = p;
    }
    tried = log_in(c.network, c.adapter, s, p, &verdict);
    return true;
  }, echo(c));
  if (a.status == 0 && tried) note_login(c, verdict, p.target, p.address);
  return a;
}

Answer del_persistent_target(Command& c) {
  del_persistent_target_request r{};
  if (!take(c, &r)) return kAnswerInvalidField;
  PersistentTarget key;
  key.target = text_of(r.target_name, sizeof r.target_name);
  key.address = address_of(r.portal);
  key.port = r.tcp_port;
  key.isid = static_cast<uint16_t>(r.isid & 0xFFFF);
  key.initiator = text_of(r.initiator_name, sizeof r.initiator_name);
  return change(c, [&](IscsiState& s) {
    s.persistent.erase(std::remove_if(s.persistent.begin(), s.persistent.end(),
                                      [&](const PersistentTarget& o) {
                                        return same_key(o, key.target, key.address, key.port, key.isid, key.initiator);
                                      }),
                       s.persistent.end());
    // The firmware stops retrying a withdrawn target; a session still logged in stays, not persistent.
    s.sessions.erase(std::remove_if(s.sessions.begin(), s.sessions.end(),
                                    [&](const SimSession& x) { return session_of(x, key) && (x.state & kSessionOpen) == 0; }),
                     s.sessions.end());
    for (SimSession& x : s.sessions) {
      if (session_of(x, key)) x.flags |= kSessionFlagNotPersistent;
    }
    return true;
  }, echo(c));
}

Answer list_sessions(Command& c) {
  const std::shared_ptr<const IscsiState> state = read_iscsi_state(c.store, c.adapter, c.function);
  if (state == nullptr) return kAnswerFlashFailure;
  const IscsiState& s = *state;
  std::vector<uint8_t> rec(kSessionListHeader + 4 * s.sessions.size(), 0);
  const uint32_t count = static_cast<uint32_t>(s.sessions.size());
  std::memcpy(rec.data(), &count, sizeof count);
  for (size_t i = 0; i < s.sessions.size(); ++i) std::memcpy(&rec[kSessionListHeader + 4 * i], &s.sessions[i].handle, 4);
  return answer_record(c, rec.data(), rec.size());
}

Answer get_session(Command& c) {
  const std::shared_ptr<const IscsiState> state = read_iscsi_state(c.store, c.adapter, c.function);
  if (state == nullptr) return kAnswerFlashFailure;
  const IscsiState& s = *state;
  const SimSession* x = s.session(c.payload.u32(0));
  if (x == nullptr) return kAnswerInvalidField;
  session_info r{};
  const bool open = (x->state & kSessionOpen) != 0;
  r.session_handle = x->handle;
  r.state = x->state;
  std::memcpy(r.isid, kIsidPrefix, sizeof kIsidPrefix);
  r.isid[4] = static_cast<uint8_t>(x->isid >> 8);
  r.isid[5] = static_cast<uint8_t>(x->isid);
  r.tsih = open ? static_cast<uint16_t>(0x100 | (x->handle & 0xFF)) : 0;
  r.flags = x->flags;
  r.connection_count = 1;
  std::strncpy(r.target_name, x->target.c_str(), sizeof r.target_name - 1);
  std::strncpy(r.initiator_name, x->initiator.c_str(), sizeof r.initiator_name - 1);
  std::memcpy(r.session_options, x->options.data(), std::min(x->options.size(), kSessionOptionsSize));
  session_connection_entry& e = r.connection;
  e.connection_handle = x->connection;
  e.flags = open ? kConnectionLoggedIn : 0;
  e.source_port = x->source_port;
  e.destination_port = x->port;
  e.cid = 1;
  e.destination.size = kAddressRecordSize;
  e.destination.type = x->address.type;
  std::memcpy(e.destination.address, x->address.bytes.data(), sizeof e.destination.address);
  if (x->options.size() > kSessionOptionsSize) {
    std::memcpy(e.options, x->options.data() + kSessionOptionsSize,
                std::min(x->options.size() - kSessionOptionsSize, kConnectionOptionsSize));
  }
  return answer_record(c, &r, sizeof r);
}

Answer get_session_config(Command& c) {
  const std::shared_ptr<const IscsiState> state = read_iscsi_state(c.store, c.adapter, c.function);
  if (state == nullptr) return kAnswerFlashFailure;
  const IscsiState& s = *state;
  const SimSession* x = s.session(c.payload.u32(0));
  if (x == nullptr) return kAnswerInvalidField;
  session_config r{};
  r.session_handle = x->handle;
  r.eto = x->eto;
  r.byte8 = 1;
  const uint16_t channel = 0;
  std::memcpy(reinterpret_cast<uint8_t*>(&r) + kLunNameFirstOffset, &channel, sizeof channel);
  std::memcpy(reinterpret_cast<uint8_t*>(&r) + kLunNameSecondOffset, &x->target_id, sizeof x->target_id);
  return answer_record(c, &r, sizeof r);
}

Answer set_session_config(Command& c) {
  session_config_set r{};
  if (!take(c, &r)) return kAnswerInvalidField;
  return change(c, [&](IscsiState& s) {
    SimSession* x = s.session(r.session_handle);
    if (x == nullptr) return false;
    x->eto = r.eto;
    return true;
  }, echo(c));
}

Answer login_target(Command& c) {
  login_target_request r{};
  if (!take(c, &r) || (r.portal.type != kAddressTypeIpv4 && r.portal.type != kAddressTypeIpv6)) {
    return kAnswerInvalidField;
  }
  const PersistentTarget key = key_of(r);
  login_reply reply{};
  if ((r.flags & kLoginFlagDiscovery) == kLoginFlagDiscovery) {
    const LoginVerdict verdict = discovery_verdict(c.network, key.address, key.port, r.options);
    if (verdict != LoginVerdict::kAccepted) return refusal(c.network, key.address, verdict);
    const Answer done = change(c, [&](IscsiState& s) {
      DiscoverySession d;
      d.handle = s.next_handle++;
      d.address = key.address;
      d.port = key.port;
      s.discovery.push_back(d);
      reply.session_handle = d.handle;
      reply.state = kSessionOpen;
      return true;
    }, echo(c));
    if (done.status == 0) put_record(c, reply);
    return done;
  }
  if (key.target.empty() || key.initiator.empty()) return kAnswerInvalidField;
  const LoginVerdict verdict = login_verdict(c.network, key.target, key.address, key.port, r.options);
  note_login(c, verdict, key.target, key.address);
  if (verdict != LoginVerdict::kAccepted) return refusal(c.network, key.address, verdict);
  // A login that matches a session (also a closed one) logs that session in again, on its handle.
  const Answer done = change(c, [&](IscsiState& s) {
    SimSession* x = session_of_key(s, key);
    if (x == nullptr) {
      const bool registered = std::any_of(s.persistent.begin(), s.persistent.end(), [&](const PersistentTarget& p) {
        return same_key(p, key.target, key.address, key.port, key.isid, key.initiator);
      });
      x = &new_session(c.adapter, s, key, kSessionOpen, registered ? 0 : kSessionFlagNotPersistent);
    }
    x->state = kSessionOpen;
    x->options = key.options;
    reply.session_handle = x->handle;
    reply.state = x->state;
    reply.connection_handle = x->connection;
    reply.negotiated = r.options;
    return true;
  }, echo(c));
  if (done.status == 0) put_record(c, reply);
  return done;
}

Answer logout_session(Command& c) {
  const uint32_t handle = c.payload.u32(0);
  bool session = false;
  const Answer a = change(c, [&](IscsiState& s) {
    const size_t before = s.sessions.size() + s.discovery.size();
    session = s.session(handle) != nullptr;
    s.sessions.erase(std::remove_if(s.sessions.begin(), s.sessions.end(),
                                    [&](const SimSession& x) { return x.handle == handle; }),
                     s.sessions.end());
    s.discovery.erase(std::remove_if(s.discovery.begin(), s.discovery.end(),
                                     [&](const DiscoverySession& d) { return d.handle == handle; }),
                      s.discovery.end());
    return s.sessions.size() + s.discovery.size() != before;
  }, echo(c));
  if (a.status == 0 && session) note_logout(c);
  return a;
}

Answer set_boot_target(Command& c) {
  boot_target_request r{};
  if (!take(c, &r)) return kAnswerInvalidField;
  return change(c, [&](IscsiState& s) {
    SimSession* x = s.session(r.session_handle);
    if (x == nullptr) return false;
    x->flags = r.flags;
    return true;
  }, echo(c));
}

Answer get_qos(Command& c) {
  // On the NIC path the answer is the function's maximum bits per second, at 0.
  if (c.nic_path) {
    uint8_t nic[32] = {};
    std::memcpy(nic, &c.function.qos_max_bps, sizeof c.function.qos_max_bps);
    return answer_record(c, nic, sizeof nic);
  }
  std::string rec;
  if (c.store.read(qos_file(c), &rec) == file_store::ReadResult::kFailed) return kAnswerFlashFailure;
  rec.resize(8, '\0');
  qos_get_record r{};
  std::memcpy(&r.max_ios, rec.data(), 4);
  std::memcpy(&r.max_bytes, rec.data() + 4, 4);
  return answer_record(c, &r, sizeof r);
}

Answer set_qos(Command& c) {
  qos_set_record r{};
  if (!take(c, &r)) return kAnswerInvalidField;
  const bool ok = c.store.update(qos_file(c), [&](std::string& rec, bool) {
    rec.resize(8, '\0');
    if (r.flags & kQosIosGiven) std::memcpy(&rec[0], &r.max_ios, 4);
    if (r.flags & kQosBytesGiven) std::memcpy(&rec[4], &r.max_bytes, 4);
    return true;
  });
  return ok ? echo(c) : kAnswerFlashFailure;
}

Answer ping(Command& c) {
  ping_request r{};
  if (!take(c, &r)) return kAnswerInvalidField;
  NetAddress a;
  a.type = r.type;
  std::memcpy(a.bytes.data(), r.address, r.type == kAddressTypeIpv6 ? 16 : 4);
  return c.network.reachable(a) ? echo(c) : kAnswerHostUnreachable;
}

bool default_region_image(const Adapter& adapter, const std::string& name, std::string* out) {
  for (int port = 0; port < adapter.ports; ++port) {
    for (int region : {2, 3}) {
      char expected[kFlashObjectNameSize];
      std::snprintf(expected, sizeof expected, "/iscsidata/Port%x/Instance0/Region%d", port, region);
      if (name != expected) continue;
      // Header with a TLV area of 4 bytes: one TLV of type 1 with a one-byte value.
      static const uint8_t kImage[] = {0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0};
      out->assign(reinterpret_cast<const char*>(kImage), sizeof kImage);
      return true;
    }
  }
  return false;
}

}  // namespace vx::sim
