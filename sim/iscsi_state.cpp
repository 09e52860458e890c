#include "sim/iscsi_state.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

#include <sys/stat.h>

#include <nlohmann/json.hpp>

namespace vx::sim {
namespace {

using json = nlohmann::json;

json address_json(const NetAddress& a) {
  return json{{"type", a.type}, {"bytes", to_hex(std::string(a.bytes.begin(), a.bytes.end()))}};
}

NetAddress address_of(const json& j) {
  NetAddress a;
  a.type = j.at("type").get<uint8_t>();
  const std::string bytes = from_hex(j.at("bytes").get<std::string>());
  std::memcpy(a.bytes.data(), bytes.data(), std::min(bytes.size(), a.bytes.size()));
  return a;
}

json state_json(const IscsiState& s) {
  json targets = json::array();
  for (const PersistentTarget& p : s.persistent) {
    targets.push_back({{"target", p.target}, {"address", address_json(p.address)}, {"port", p.port}, {"isid", p.isid},
                       {"initiator", p.initiator}, {"alias", p.alias}, {"flags", p.flags}, {"eto", p.eto},
                       {"options", to_hex(p.options)}});
  }
  json sessions = json::array();
  for (const SimSession& x : s.sessions) {
    sessions.push_back({{"handle", x.handle}, {"connection", x.connection}, {"state", x.state}, {"flags", x.flags},
                        {"isid", x.isid}, {"target_id", x.target_id}, {"eto", x.eto}, {"target", x.target},
                        {"initiator", x.initiator}, {"address", address_json(x.address)}, {"port", x.port},
                        {"source_port", x.source_port}, {"options", to_hex(x.options)}});
  }
  return json{{"next_handle", s.next_handle}, {"persistent", targets}, {"sessions", sessions}};
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
  } catch (const std::exception&) {
    return false;
  }
  *out = std::move(s);
  return true;
}

bool same_file(const struct stat& a, const struct stat& b) {
  return a.st_ino == b.st_ino && a.st_dev == b.st_dev && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
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

std::string iscsi_state_file(const Store& store, const Adapter& adapter, const Function& function) {
  char name[48];
  std::snprintf(name, sizeof name, "records/iscsi-%03d.%02d.%d", adapter.bus, adapter.device, function.number);
  return store.adapter_file(adapter.serial_number, name);
}

std::shared_ptr<const IscsiState> read_iscsi_state(const Store& store, const Adapter& adapter,
                                                   const Function& function) {
  struct Cached {
    struct stat identity;
    std::shared_ptr<const IscsiState> state;
  };
  static std::mutex mu;
  static std::map<std::string, Cached> cache;
  const std::string path = iscsi_state_file(store, adapter, function);
  struct stat now {};
  if (::stat(path.c_str(), &now) != 0) {
    return errno == ENOENT ? std::make_shared<const IscsiState>() : nullptr;
  }
  std::lock_guard<std::mutex> lock(mu);
  auto it = cache.find(path);
  if (it != cache.end() && same_file(it->second.identity, now)) return it->second.state;
  std::string text;
  auto state = std::make_shared<IscsiState>();
  const file_store::ReadResult got = store.read(path, &text);
  if (got == file_store::ReadResult::kMissing) return std::make_shared<const IscsiState>();
  if (got != file_store::ReadResult::kRead || !parse_state(text, state.get())) return nullptr;
  // Keyed by what was stat'ed before the read: a newer file read here is read again next time.
  cache[path] = Cached{now, state};
  return state;
}

bool update_iscsi_state(const Store& store, const Adapter& adapter, const Function& function,
                        const std::function<bool(IscsiState&)>& edit) {
  return store.update(iscsi_state_file(store, adapter, function), [&](std::string& content, bool) {
    IscsiState state;
    if (!parse_state(content, &state) || !edit(state)) return false;
    content = state_json(state).dump();
    return true;
  });
}

LoginVerdict login_verdict(const Network& network, const std::string& target, const NetAddress& address, uint16_t port,
                           const login_options& o) {
  const RemoteTarget* t = network.find(target);
  bool at_portal = false;
  for (size_t i = 0; t != nullptr && i < t->portals.size(); ++i) {
    at_portal = at_portal || (t->portals[i].address == address && t->portals[i].port == port);
  }
  if (!at_portal) return LoginVerdict::kUnreachable;
  const bool chap = (o.chap & 0xFF) != 0;
  const size_t target_secret = std::min<size_t>(o.target_secret_length, kChapSecretSize);
  if (t->has_chap && (!chap || ::strnlen(o.target_chap_name, kChapNameSize) != t->chap.name.size() ||
                      std::strncmp(o.target_chap_name, t->chap.name.c_str(), kChapNameSize) != 0 ||
                      !same_bytes(reinterpret_cast<const char*>(o.target_secret), target_secret, t->chap.secret))) {
    return LoginVerdict::kAuthentication;
  }
  const size_t initiator_secret = std::min<size_t>(o.initiator_secret_length, kChapSecretSize);
  if (chap && o.mutual == 1 && t->has_mutual_chap &&
      (::strnlen(o.initiator_chap_name, kChapNameSize) != t->mutual_chap.name.size() ||
       std::strncmp(o.initiator_chap_name, t->mutual_chap.name.c_str(), kChapNameSize) != 0 ||
       !same_bytes(reinterpret_cast<const char*>(o.initiator_secret), initiator_secret, t->mutual_chap.secret))) {
    return LoginVerdict::kAuthentication;
  }
  const bool crc = o.header_digest == 1 || o.data_digest == 1;
  if ((t->digest == Digest::kNone && crc) || (t->digest == Digest::kCrc32c && !crc)) return LoginVerdict::kDigest;
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
