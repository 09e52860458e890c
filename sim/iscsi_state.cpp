#include "sim/iscsi_state.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <tuple>
#include <unordered_map>
#include <utility>

#include <nlohmann/json.hpp>

namespace vx::sim {
namespace {

using json = nlohmann::json;

NetAddress address_of(const json& j) {
  NetAddress a;
  a.type = j.at("type").get<uint8_t>();
  const std::string bytes = from_hex(j.at("bytes").get<std::string>());
  std::memcpy(a.bytes.data(), bytes.data(), std::min(bytes.size(), a.bytes.size()));
  return a;
}

// The state as JSON text, written directly: a command rewrites it whole, so it is kept cheap.
class StateWriter {
 public:
  std::string text;
  StateWriter& key(const char* name) {
    if (!text.empty() && text.back() != '{' && text.back() != '[') text += ',';
    text += '"';
    text += name;
    text += "\":";
    return *this;
  }
  StateWriter& number(uint64_t v) {
    text += std::to_string(v);
    return *this;
  }
  StateWriter& string(const std::string& s) {
    text += '"';
    size_t plain = 0;   // bytes from here on need no escape
    for (size_t i = 0; i < s.size(); ++i) {
      const auto c = static_cast<unsigned char>(s[i]);
      if (c != '"' && c != '\\' && c >= 0x20) continue;
      text.append(s, plain, i - plain);
      plain = i + 1;
      if (c < 0x20) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
        text += escaped;
      } else {
        text += '\\';
        text += static_cast<char>(c);
      }
    }
    text.append(s, plain, std::string::npos);
    text += '"';
    return *this;
  }
  StateWriter& address(const NetAddress& a) {
    text += '{';
    key("type").number(a.type).key("bytes").string(to_hex(std::string(a.bytes.begin(), a.bytes.end())));
    text += '}';
    return *this;
  }
  // A list of records, each written by `one` between braces.
  template <typename List, typename One>
  StateWriter& list(const char* name, const List& items, One one) {
    key(name);
    text += '[';
    for (const auto& item : items) {
      if (text.back() != '[') text += ',';
      text += '{';
      one(item);
      text += '}';
    }
    text += ']';
    return *this;
  }
};

// The fields each record is printed from.
auto fields(const PersistentTarget& p) {
  return std::tie(p.target, p.address, p.port, p.isid, p.initiator, p.alias, p.flags, p.eto, p.options);
}
auto fields(const SimSession& x) {
  return std::tie(x.handle, x.connection, x.state, x.flags, x.isid, x.target_id, x.eto, x.target, x.initiator,
                  x.address, x.port, x.source_port, x.options);
}

std::string record_text(const PersistentTarget& p) {
  StateWriter w;
  w.text = "{";
  w.key("target").string(p.target).key("address").address(p.address).key("port").number(p.port);
  w.key("isid").number(p.isid).key("initiator").string(p.initiator).key("alias").string(p.alias);
  w.key("flags").number(p.flags).key("eto").number(p.eto).key("options").string(to_hex(p.options));
  return w.text + '}';
}

std::string record_text(const SimSession& x) {
  StateWriter w;
  w.text = "{";
  w.key("handle").number(x.handle).key("connection").number(x.connection).key("state").number(x.state);
  w.key("flags").number(x.flags).key("isid").number(x.isid).key("target_id").number(x.target_id);
  w.key("eto").number(x.eto).key("target").string(x.target).key("initiator").string(x.initiator);
  w.key("address").address(x.address).key("port").number(x.port).key("source_port").number(x.source_port);
  w.key("options").string(to_hex(x.options));
  return w.text + '}';
}

// The text of each record as printed last, by the record's key: a record equal to the one printed
// is not printed again, so a change of one session does not reprint a state of many.
template <typename Record>
class Printed {
 public:
  void append(uint64_t key, const Record& record, std::string* out) {
    std::lock_guard<std::mutex> lock(mu_);
    auto it = last_.find(key);
    if (it == last_.end() || fields(it->second.first) != fields(record)) {
      if (last_.size() >= kMaxRecords) last_.clear();
      it = last_.insert_or_assign(key, std::pair{record, record_text(record)}).first;
    }
    *out += it->second.second;
  }

 private:
  static constexpr size_t kMaxRecords = 4096;
  std::mutex mu_;
  std::unordered_map<uint64_t, std::pair<Record, std::string>> last_;
};

// Keys need not be unique (the fields decide), only mostly different.
uint64_t key_of(const PersistentTarget& p) {
  return std::hash<std::string>{}(p.target) ^ (uint64_t{p.port} << 16 | p.isid);
}
uint64_t key_of(const SimSession& x) { return x.handle; }

// A list of records, each its printed text.
template <typename Record>
void print_list(StateWriter& w, const char* name, const std::vector<Record>& records) {
  static Printed<Record>& printed = *new Printed<Record>;   // never destroyed: used until the process ends
  w.key(name);
  w.text += '[';
  for (size_t i = 0; i < records.size(); ++i) {
    if (i != 0) w.text += ',';
    printed.append(key_of(records[i]), records[i], &w.text);
  }
  w.text += ']';
}

std::string state_text(const IscsiState& s) {
  StateWriter w;
  w.text = "{";
  w.key("next_handle").number(s.next_handle);
  print_list(w, "persistent", s.persistent);
  print_list(w, "sessions", s.sessions);
  w.list("discovery", s.discovery, [&](const DiscoverySession& d) {
    w.key("handle").number(d.handle).key("address").address(d.address).key("port").number(d.port);
    w.key("name").string(d.name).key("sent").number(d.sent);
  });
  w.key("last_discovery").number(s.last_discovery);
  w.text += '}';
  return w.text;
}

bool parse_state(const std::string& text, IscsiState* out) {
  IscsiState s;
  if (text.empty()) {
    *out = s;
    return true;
  }
  try {
    const json j = json::parse(text);
    s.next_handle = j.at("next_handle").get<uint32_t>();
    for (const json& p : j.at("persistent")) {
      s.persistent.push_back({p.at("target"), address_of(p.at("address")), p.at("port"), p.at("isid"),
                              p.at("initiator"), p.at("alias"), p.at("flags"), p.at("eto"),
                              from_hex(p.at("options").get<std::string>())});
    }
    for (const json& x : j.at("sessions")) {
      SimSession v;
      v.handle = x.at("handle");
      v.connection = x.at("connection");
      v.state = x.at("state");
      v.flags = x.at("flags");
      v.isid = x.at("isid");
      v.target_id = x.at("target_id");
      v.eto = x.at("eto");
      v.target = x.at("target");
      v.initiator = x.at("initiator");
      v.address = address_of(x.at("address"));
      v.port = x.at("port");
      v.source_port = x.at("source_port");
      v.options = from_hex(x.at("options").get<std::string>());
      s.sessions.push_back(v);
    }
    // Discovery sessions came with SendTargets; a state file from before has none.
    for (const json& d : j.value("discovery", json::array())) {
      s.discovery.push_back({d.at("handle"), address_of(d.at("address")), d.at("port"), d.at("name"), d.at("sent")});
    }
    s.last_discovery = j.value("last_discovery", 0u);
  } catch (const std::exception&) {
    return false;
  }
  *out = std::move(s);
  return true;
}

bool same_bytes(const char* field, size_t length, const std::string& want) {
  return length == want.size() && std::memcmp(field, want.data(), length) == 0;
}

std::string lun_file(const Store& store, const RemoteTarget& target, const RemoteLun& lun) {
  // '@' never stands in a serial number, so this directory is no adapter's.
  return store.host_file(std::string(kStateDirectory) + "/@network/luns/" + object_file_name(target.name) + "." +
                         std::to_string(lun.number));
}

// The written blocks of a LUN file: LBA -> block.
std::map<uint64_t, std::string> parse_blocks(const std::string& content, uint32_t block_size) {
  std::map<uint64_t, std::string> blocks;
  const size_t record = sizeof(uint64_t) + block_size;
  for (size_t at = 0; at + record <= content.size(); at += record) {
    uint64_t lba = 0;
    std::memcpy(&lba, content.data() + at, sizeof lba);
    blocks[lba] = content.substr(at + sizeof lba, block_size);
  }
  return blocks;
}

}  // namespace

SimSession* IscsiState::session(uint32_t handle) {
  for (SimSession& s : sessions) {
    if (s.handle == handle) return &s;
  }
  return nullptr;
}

const SimSession* IscsiState::session(uint32_t handle) const {
  return const_cast<IscsiState*>(this)->session(handle);
}

DiscoverySession* IscsiState::discovery_session(uint32_t handle) {
  for (DiscoverySession& d : discovery) {
    if (d.handle == handle) return &d;
  }
  return nullptr;
}

std::string iscsi_state_file(const Store& store, const Adapter& adapter, const Function& function) {
  char name[48];
  std::snprintf(name, sizeof name, "records/iscsi-%03d.%02d.%d", adapter.bus, adapter.device, function.number);
  return store.adapter_file(adapter.serial_number, name);
}

namespace {

const Store::Format<IscsiState> kFormat{parse_state, state_text};

}  // namespace

std::shared_ptr<const IscsiState> read_iscsi_state(const Store& store, const Adapter& adapter,
                                                   const Function& function) {
  return store.load(iscsi_state_file(store, adapter, function), kFormat);
}

bool update_iscsi_state(const Store& store, const Adapter& adapter, const Function& function,
                        const std::function<bool(IscsiState&)>& edit) {
  return store.change(iscsi_state_file(store, adapter, function), kFormat, edit);
}

namespace {

bool offers(const login_options& o, const Chap& chap) {
  const size_t secret = std::min<size_t>(o.target_secret_length, kChapSecretSize);
  return (o.chap & 0xFF) != 0 && ::strnlen(o.target_chap_name, kChapNameSize) == chap.name.size() &&
         std::strncmp(o.target_chap_name, chap.name.c_str(), kChapNameSize) == 0 &&
         same_bytes(reinterpret_cast<const char*>(o.target_secret), secret, chap.secret);
}

bool expects(const login_options& o, const Chap& chap) {
  const size_t secret = std::min<size_t>(o.initiator_secret_length, kChapSecretSize);
  return ::strnlen(o.initiator_chap_name, kChapNameSize) == chap.name.size() &&
         std::strncmp(o.initiator_chap_name, chap.name.c_str(), kChapNameSize) == 0 &&
         same_bytes(reinterpret_cast<const char*>(o.initiator_secret), secret, chap.secret);
}

}  // namespace

LoginVerdict login_verdict(const Network& network, const std::string& target, const NetAddress& address, uint16_t port,
                           const login_options& o) {
  const RemoteTarget* t = network.find(target);
  bool at_portal = false;
  for (size_t i = 0; t != nullptr && i < t->portals.size(); ++i) {
    at_portal = at_portal || (t->portals[i].address == address && t->portals[i].port == port);
  }
  if (!at_portal) return LoginVerdict::kUnreachable;
  if (t->has_chap && !offers(o, t->chap)) return LoginVerdict::kAuthentication;
  const bool chap = (o.chap & 0xFF) != 0;
  if (chap && o.mutual == 1 && t->has_mutual_chap && !expects(o, t->mutual_chap)) return LoginVerdict::kAuthentication;
  const bool crc = o.header_digest == 1 || o.data_digest == 1;
  if ((t->digest == Digest::kNone && crc) || (t->digest == Digest::kCrc32c && !crc)) return LoginVerdict::kDigest;
  return LoginVerdict::kAccepted;
}

LoginVerdict discovery_verdict(const Network& network, const NetAddress& address, uint16_t port,
                               const login_options& o) {
  const DiscoveryPortal* p = network.discovery_portal(address, port);
  if (p == nullptr) return LoginVerdict::kUnreachable;
  if (p->has_chap && !offers(o, p->chap)) return LoginVerdict::kAuthentication;
  return LoginVerdict::kAccepted;
}

uint32_t session_state_after(LoginVerdict verdict) {
  return verdict == LoginVerdict::kAccepted ? kSessionOpen : kSessionLoginFailed;
}

bool read_lun_blocks(const Store& store, const RemoteTarget& target, const RemoteLun& lun, uint64_t lba,
                     uint32_t blocks, std::vector<uint8_t>* out_blocks) {
  std::string content;
  if (store.read(lun_file(store, target, lun), &content) == file_store::ReadResult::kFailed) return false;
  const std::map<uint64_t, std::string> written = parse_blocks(content, lun.block_size);
  std::vector<uint8_t> out(static_cast<size_t>(blocks) * lun.block_size);
  for (uint32_t b = 0; b < blocks; ++b) {
    uint8_t* block = out.data() + static_cast<size_t>(b) * lun.block_size;
    auto it = written.find(lba + b);
    if (it != written.end()) {
      std::memcpy(block, it->second.data(), lun.block_size);
      continue;
    }
    for (uint32_t i = 0; i < lun.block_size; ++i) block[i] = static_cast<uint8_t>(((lba + b) * 31 + i) % 251 + 1);
  }
  *out_blocks = std::move(out);
  return true;
}

bool write_lun_blocks(const Store& store, const RemoteTarget& target, const RemoteLun& lun, uint64_t lba,
                      const uint8_t* data, uint32_t blocks) {
  return store.update(lun_file(store, target, lun), [&](std::string& content, bool) {
    std::map<uint64_t, std::string> written = parse_blocks(content, lun.block_size);
    for (uint32_t b = 0; b < blocks; ++b) {
      written[lba + b].assign(reinterpret_cast<const char*>(data) + static_cast<size_t>(b) * lun.block_size,
                              lun.block_size);
    }
    content.clear();
    for (const auto& [at, block] : written) {
      content.append(reinterpret_cast<const char*>(&at), sizeof at);
      content += block;
    }
    return true;
  });
}

}  // namespace vx::sim
