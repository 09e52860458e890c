#include "sim/profile_firmware.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "adapter/profile_records.h"

namespace vx::sim {
namespace {

using json = nlohmann::json;

constexpr size_t kDescriptor = 88;
constexpr uint8_t kUnchanged8 = 0xFF;
constexpr uint16_t kUnchanged16 = 0xFFFF;
constexpr uint32_t kUnchanged32 = 0xFFFFFFFF;
constexpr uint8_t kFactoryBit = 0x80;
constexpr uint8_t kModeInForce = 0x40;   // byte 3 of a written descriptor
constexpr uint8_t kRoleStorage = 0x06;   // iSCSI or FCoE
constexpr uint8_t kRoceCode = 8;
constexpr uint8_t kMultichannelDescriptor = 86;
constexpr size_t kMultichannelPorts = 52;
constexpr uint8_t kCommonFunctionType = 64;
constexpr size_t kCapabilityLength = 8;

// ---- the state writes change ----------------------------------------------------------------------

struct ProfileState {
  uint8_t next = 0;
  uint8_t next_link = 0;
  bool reset_needed = false;
  uint8_t ari_next = 0;
  std::string personality;
  ProfileConfiguration configured;
  ProfileConfiguration active;   // what single-descriptor writes with the mode in force change too
  std::vector<LegacyFunction> legacy;
};

json function_json(const ProfileFunction& f) {
  return {f.pf, f.link, f.protocol, f.state, std::vector<uint8_t>(f.mac.begin(), f.mac.end()), f.roles, f.sriov,
          f.sriov_changeable, f.roce, f.min_bw, f.max_bw, f.lpvid, f.outer_vlan, f.link_disabled, f.vf_template, f.vfs};
}

ProfileFunction function_of(const json& j) {
  ProfileFunction f;
  f.pf = j[0];
  f.link = j[1];
  f.protocol = j[2];
  f.state = j[3];
  const std::vector<uint8_t> mac = j[4];
  std::copy_n(mac.begin(), std::min<size_t>(mac.size(), 6), f.mac.begin());
  f.roles = j[5];
  f.sriov = j[6];
  f.sriov_changeable = j[7];
  f.roce = j[8];
  f.min_bw = j[9];
  f.max_bw = j[10];
  f.lpvid = j[11];
  f.outer_vlan = j[12];
  f.link_disabled = j[13];
  f.vf_template = j[14];
  f.vfs = j[15];
  return f;
}

json ports_json(const ProfileConfiguration& c) {
  json ports = json::array();
  for (const ProfilePort& p : c.ports) ports.push_back({p.link, p.mc_type, p.max_pf, p.storage, p.nic, p.roce, p.iscsi, p.fcoe});
  return ports;
}

json functions_json(const ProfileConfiguration& c) {
  json functions = json::array();
  for (const ProfileFunction& f : c.functions) functions.push_back(function_json(f));
  return functions;
}

void read_configuration(const json& j, const char* ports, const char* functions, ProfileConfiguration* c) {
  for (const json& p : j.at(ports)) c->ports.push_back({p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7]});
  for (const json& f : j.at(functions)) c->functions.push_back(function_of(f));
}

json state_json(const ProfileState& s) {
  json legacy = json::array();
  for (const LegacyFunction& f : s.legacy) legacy.push_back({f.pf, f.type, f.state, f.sriov, std::vector<uint8_t>(f.mac.begin(), f.mac.end())});
  return {{"next", s.next}, {"next_link", s.next_link}, {"reset", s.reset_needed}, {"ari_next", s.ari_next},
          {"personality", s.personality}, {"protocols", s.configured.protocols}, {"ports", ports_json(s.configured)},
          {"functions", functions_json(s.configured)}, {"active_ports", ports_json(s.active)},
          {"active_functions", functions_json(s.active)}, {"legacy", legacy}};
}

ProfileState factory_state(const Adapter& a) {
  ProfileState s;
  s.next = a.profiles.next;
  s.next_link = a.link_configurations.next;
  s.ari_next = a.ari.next_max;
  s.personality = a.configured_personality;
  if (const ProfileConfiguration* c = a.profiles.configuration(s.next)) s.configured = *c;
  if (const ProfileConfiguration* c = a.profiles.configuration(a.profiles.active)) s.active = *c;
  s.legacy = a.legacy_functions;
  return s;
}

bool parse_state(const std::string& text, const Adapter& a, ProfileState* out) {
  if (text.empty()) {
    *out = factory_state(a);
    return true;
  }
  try {
    const json j = json::parse(text);
    ProfileState s;
    s.next = j.at("next");
    s.next_link = j.at("next_link");
    s.reset_needed = j.at("reset");
    s.ari_next = j.at("ari_next");
    s.personality = j.at("personality");
    s.configured.protocols = j.at("protocols").get<std::vector<uint8_t>>();
    read_configuration(j, "ports", "functions", &s.configured);
    if (j.contains("active_ports")) {
      read_configuration(j, "active_ports", "active_functions", &s.active);
    } else if (const ProfileConfiguration* c = a.profiles.configuration(a.profiles.active)) {
      s.active = *c;
    }
    for (const json& f : j.at("legacy")) {
      LegacyFunction l{f[0], f[1], f[2], f[3]};
      if (f.size() > 4) {
        const std::vector<uint8_t> mac = f[4];
        std::copy_n(mac.begin(), std::min<size_t>(mac.size(), 6), l.mac.begin());
      }
      s.legacy.push_back(l);
    }
    *out = std::move(s);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

std::string state_file(const Command& c) { return c.store.adapter_file(c.adapter.serial_number, "records/profiles"); }

bool read_state(const Command& c, ProfileState* out) {
  std::string text;
  if (c.store.read(state_file(c), &text) == file_store::ReadResult::kFailed) return false;
  return parse_state(text, c.adapter, out);
}

// A read-modify-write of the state; `edit` returns the answer, and only a successful one is kept.
template <typename Edit>
Answer update_state(Command& c, Edit edit) {
  Answer answer = kAnswerFlashFailure;
  const bool ok = c.store.update(state_file(c), [&](std::string& content, bool) {
    ProfileState s;
    if (!parse_state(content, c.adapter, &s)) return false;
    answer = edit(s);
    if (answer.status != 0) return false;
    content = state_json(s).dump();
    return true;
  });
  return ok || answer.status != 0 ? answer : kAnswerFlashFailure;
}

// ---- records -----------------------------------------------------------------------------------

template <typename T>
void put(std::vector<uint8_t>& rec, size_t offset, T value) {
  std::memcpy(rec.data() + offset, &value, sizeof value);
}

template <typename T>
T get(const uint8_t* bytes, size_t offset) {
  T v;
  std::memcpy(&v, bytes + offset, sizeof v);
  return v;
}

void put_text(std::vector<uint8_t>& rec, size_t offset, size_t room, const std::string& text) {
  std::memcpy(rec.data() + offset, text.data(), std::min(text.size(), room));
}

uint8_t descriptor_type(uint8_t protocol) { return protocol == 2 ? kDescIscsi : protocol == 4 ? kDescFcoe : kDescNic; }

// The descriptors of a configuration: ports, then each function's PCI-function descriptor, the
// descriptor of its protocol and, with RoCE, a RoCE descriptor.
std::vector<uint8_t> configuration_record(const ProfileConfiguration& c) {
  std::vector<uint8_t> rec(kProfileReplyDescriptors, 0);
  uint16_t count = 0;
  auto add = [&](uint8_t type) {
    rec.resize(rec.size() + kDescriptor, 0);
    ++count;
    const size_t at = rec.size() - kDescriptor;
    rec[at] = type;
    rec[at + 1] = static_cast<uint8_t>(kDescriptor);
    return at;
  };
  for (const ProfilePort& p : c.ports) {
    const size_t at = add(kDescPort);
    rec[at + 4] = p.link;
    rec[at + 5] = p.mc_type;
    const uint16_t counts[] = {p.max_pf, p.storage, p.nic, p.roce, p.iscsi, p.fcoe};
    for (size_t i = 0; i < 6; ++i) put<uint16_t>(rec, at + 12 + 2 * i, counts[i]);
  }
  for (const ProfileFunction& f : c.functions) {
    size_t at = add(kDescPciFunction);
    put<uint16_t>(rec, at + 6, f.pf);
    rec[at + 12] = f.sriov;
    rec[at + 13] = f.state;
    rec[at + 14] = f.roce ? kRoceCode : f.protocol;
    put<uint16_t>(rec, at + 16, f.vfs);
    rec[at + 20] = f.roles;
    rec[at + 23] = f.sriov_changeable ? 0x10 : 0;
    const uint8_t type = descriptor_type(f.protocol);
    at = add(type);
    rec[at + 3] = f.vf_template ? 0x08 : 0;
    put<uint16_t>(rec, at + 6, f.pf);
    struct Place { size_t mac, link, min_bw; };
    const Place place = type == kDescNic ? Place{10, 44, 48} : type == kDescIscsi ? Place{14, 32, 36} : Place{40, 52, 56};
    std::memcpy(rec.data() + at + place.mac, f.mac.data(), f.mac.size());
    rec[at + place.link] = f.link;
    rec[at + place.link + 1] = f.link_disabled ? 0x02 : 0;
    put<uint32_t>(rec, at + place.min_bw, f.min_bw);
    put<uint32_t>(rec, at + place.min_bw + 4, f.max_bw);
    if (type == kDescNic) {
      put<uint16_t>(rec, at + 36, f.lpvid);
      rec[at + 46] = static_cast<uint8_t>(f.outer_vlan & 0xFF);
      rec[at + 47] = static_cast<uint8_t>((f.outer_vlan >> 8) & 0x0F);
    }
    if (f.roce) {
      at = add(kDescRoce);
      rec[at + 3] = f.vf_template ? 0x08 : 0;
      put<uint16_t>(rec, at + 6, f.pf);
    }
  }
  put<uint16_t>(rec, 0, count);
  return rec;
}

ProfileFunction* function_numbered(ProfileConfiguration& c, uint16_t pf) {
  for (ProfileFunction& f : c.functions) {
    if (f.pf == pf) return &f;
  }
  return nullptr;
}

// One written PCI-function descriptor: fields holding the "unchanged" values stay; pf_state 0xFF
// leaves the protocol too (an SR-IOV change).
bool apply_function(ProfileFunction& f, const uint8_t* d) {
  const uint8_t state = d[13];
  const uint8_t protocol = d[14];
  if (state != kUnchanged8) {
    f.state = state;
    if (protocol == kRoceCode) {
      f.protocol = 1;
      f.roce = true;
    } else if (protocol == 1 || protocol == 2 || protocol == 4) {
      f.protocol = protocol;
      f.roce = false;
    }
  }
  if (d[12] != kUnchanged8 && f.sriov_changeable) f.sriov = d[12] > 1 ? 2 : d[12];
  if (get<uint16_t>(d, 16) != kUnchanged16) f.vfs = get<uint16_t>(d, 16);
  return true;
}

// One written NIC, iSCSI or FCoE descriptor: the channel settings that are not "unchanged", and the
// function's MAC.
void apply_channel(ProfileFunction& f, uint8_t type, const uint8_t* d) {
  const size_t disabled = type == kDescNic ? 45 : type == kDescIscsi ? 33 : 53;
  const size_t min_bw = type == kDescNic ? 48 : type == kDescIscsi ? 36 : 56;
  const size_t mac = type == kDescNic ? 10 : type == kDescIscsi ? 14 : 40;
  if ((d[2] & 0x80) != 0) f.link_disabled = (d[disabled] & 0x02) != 0;
  if (get<uint32_t>(d, min_bw) != kUnchanged32) f.min_bw = get<uint32_t>(d, min_bw);
  if (get<uint32_t>(d, min_bw + 4) != kUnchanged32) f.max_bw = get<uint32_t>(d, min_bw + 4);
  if (type == kDescNic && get<uint16_t>(d, 36) != kUnchanged16) f.lpvid = get<uint16_t>(d, 36);
  if (std::any_of(d + mac, d + mac + 6, [](uint8_t b) { return b != 0; })) std::memcpy(f.mac.data(), d + mac, 6);
}

// A function whose protocol or state a full write changes starts its channel settings anew.
void reset_channel(ProfileFunction& f) {
  const ProfileFunction fresh;
  f.min_bw = fresh.min_bw;
  f.max_bw = fresh.max_bw;
  f.lpvid = fresh.lpvid;
  f.link_disabled = fresh.link_disabled;
}

const char* personality_name(uint8_t protocol) { return protocol == 2 ? "iSCSI" : protocol == 4 ? "FCoE" : "NIC"; }

const ProfileEntry* entry_of(const ProfileModel& m, uint8_t id) {
  for (const ProfileEntry& e : m.list) {
    if (e.id == id) return &e;
  }
  return nullptr;
}

// The id a 4-byte choice names (byte 0, or the factory id with byte 3 bit 7); 0 when not listed.
uint8_t chosen(const Command& c, const ProfileModel& m) {
  const uint8_t id = (c.payload.bytes(3, 1)[0] & kFactoryBit) != 0 ? m.factory : static_cast<uint8_t>(c.payload.bytes(0, 1)[0]);
  return entry_of(m, id) != nullptr ? id : 0;
}

void choose_profile(const Adapter& a, ProfileState& s, uint8_t id) {
  s.next = id;
  const ProfileConfiguration* c = a.profiles.configuration(id);
  s.configured = c != nullptr ? *c : ProfileConfiguration();
  s.reset_needed = true;
}

// The older blocks: vx_conf (16 entries of 52, version 1: 68, SR-IOV at +12) and the common
// profile (256 entries of 72).
struct LegacyShape {
  size_t size;
  size_t stride;
};
LegacyShape legacy_shape(uint8_t version) { return version == 0 ? LegacyShape{kVxConfSize, 52} : LegacyShape{kVxConfV1Size, 68}; }

Answer record_answer(Command& c, const std::vector<uint8_t>& rec) { return answer_record(c, rec.data(), rec.size()); }

}  // namespace

Answer get_profile_config(Command& c) {
  ProfileState s;
  if (!read_state(c, &s)) return kAnswerFlashFailure;
  if (c.version == 0) {
    std::vector<uint8_t> rec(kCommonProfileSize, 0);
    put<uint32_t>(rec, 0, static_cast<uint32_t>(s.legacy.size()));
    for (size_t i = 0; i < s.legacy.size(); ++i) {
      const size_t at = 4 + 72 * i;
      rec[at] = kCommonFunctionType;
      put<uint16_t>(rec, at + 6, s.legacy[i].pf);
      rec[at + 12] = s.legacy[i].sriov;
      rec[at + 13] = s.legacy[i].state;
      rec[at + 14] = static_cast<uint8_t>(s.legacy[i].type == 0 ? 1 : s.legacy[i].type == 1 ? 2 : 4);
    }
    return record_answer(c, rec);
  }
  const ProfileModel& m = c.adapter.profiles;
  if (!m.present) return kAnswerNoProfiles;
  const uint8_t type = c.payload.bytes(1, 1)[0] & 0x03;
  const ProfileConfiguration* config = type == kActiveProfile ? &s.active : &s.configured;
  if (type == kProfileById) {
    config = m.configuration(static_cast<uint8_t>(c.payload.bytes(0, 1)[0]));
    if (config == nullptr) return kAnswerInvalidField;
  }
  return record_answer(c, configuration_record(*config));
}

Answer set_profile_config(Command& c) {
  if (!c.adapter.profiles.present) return kAnswerNoProfiles;
  const std::string request = c.payload.bytes(0, c.payload.size());
  const auto* bytes = reinterpret_cast<const uint8_t*>(request.data());
  if (request.size() < kProfileSetDescriptors) return kAnswerInvalidField;
  const uint32_t count = get<uint32_t>(bytes, 4);
  // A full write (byte 3 bit 7) names the profile it is for.
  const bool full = (bytes[3] & kProfileSetMarker) != 0;
  const uint8_t id = bytes[0];
  if (full && id != 0 && entry_of(c.adapter.profiles, id) == nullptr) return kAnswerInvalidField;
  return update_state(c, [&](ProfileState& s) -> Answer {
    if (full && id != 0) s.next = id;
    size_t at = kProfileSetDescriptors;
    bool storage_list = count > 0;
    uint8_t storage_protocol = 0;
    for (uint32_t i = 0; i < count; ++i) {
      if (request.size() - at < 2 || bytes[at + 1] < 2 || bytes[at + 1] > request.size() - at) return kAnswerInvalidField;
      const uint8_t* d = bytes + at;
      const uint8_t type = d[0];
      if (type == kDescPort && d[5] != kUnchanged8) {
        for (ProfilePort& p : s.configured.ports) p.mc_type = d[5];   // one multichannel mode for the adapter
      } else if (type == kMultichannelDescriptor && d[1] >= kMultichannelPorts + s.configured.ports.size()) {
        for (size_t p = 0; p < s.configured.ports.size(); ++p) {
          if (d[kMultichannelPorts + p] != 0) s.configured.ports[p].mc_type = d[kMultichannelPorts + p];
        }
      } else if (type >= kDescPciFunction && type <= kDescFcoe && d[1] >= kDescriptor) {
        const uint16_t pf = get<uint16_t>(d, 6) & 0x3FF;
        ProfileFunction* f = function_numbered(s.configured, pf);
        if (f == nullptr) return kAnswerInvalidField;
        if (type == kDescPciFunction) {
          const ProfileFunction before = *f;
          apply_function(*f, d);
          if (full && (f->state != before.state || f->protocol != before.protocol || f->roce != before.roce)) reset_channel(*f);
          storage_list = storage_list && (f->roles & kRoleStorage) != 0 && d[13] != kUnchanged8;
          storage_protocol = f->protocol;
        } else {
          apply_channel(*f, type, d);
          // With the mode in force the running profile takes the change at once.
          ProfileFunction* running = (d[3] & kModeInForce) != 0 ? function_numbered(s.active, pf) : nullptr;
          if (running != nullptr) apply_channel(*running, type, d);
        }
      }
      storage_list = storage_list && type == kDescPciFunction;
      at += d[1];
    }
    // A list of the storage functions alone is a change of personality.
    if (storage_list) s.personality = personality_name(storage_protocol);
    s.reset_needed = true;
    return Answer{0, 0, c.payload.size()};
  });
}

Answer get_profile_list(Command& c) {
  const ProfileModel& m = c.adapter.profiles;
  if (!m.present) return kAnswerNoProfiles;
  std::vector<uint8_t> rec(4 + kProfileListEntry * m.list.size(), 0);
  put<uint32_t>(rec, 0, static_cast<uint32_t>(m.list.size()));
  for (size_t i = 0; i < m.list.size(); ++i) {
    const size_t at = 4 + kProfileListEntry * i;
    rec[at] = m.list[i].id;
    rec[at + 2] = static_cast<uint8_t>(i);
    put_text(rec, at + 4, kProfileDescriptionSize - 1, m.list[i].description);
  }
  return record_answer(c, rec);
}

Answer get_profile_caps(Command& c) {
  const ProfileModel& m = c.adapter.profiles;
  if (!m.present) return kAnswerNoProfiles;
  const ProfileConfiguration* config = m.configuration(static_cast<uint8_t>(c.payload.bytes(0, 1)[0]));
  if (config == nullptr) return kAnswerInvalidField;
  std::vector<uint8_t> types{kCapGeneral};
  types.insert(types.end(), config->protocols.begin(), config->protocols.end());
  std::vector<uint8_t> rec(4 + kCapabilityLength * types.size(), 0);
  put<uint32_t>(rec, 0, static_cast<uint32_t>(types.size()));
  for (size_t i = 0; i < types.size(); ++i) {
    rec[4 + kCapabilityLength * i] = types[i];
    rec[5 + kCapabilityLength * i] = static_cast<uint8_t>(kCapabilityLength);
  }
  return record_answer(c, rec);
}

Answer get_active_profile(Command& c) {
  if (!c.adapter.profiles.present) return kAnswerNoProfiles;
  ProfileState s;
  if (!read_state(c, &s)) return kAnswerFlashFailure;
  std::vector<uint8_t> rec(4, 0);
  put<uint16_t>(rec, 0, c.adapter.profiles.active);
  put<uint16_t>(rec, 2, s.next);
  return record_answer(c, rec);
}

Answer set_active_profile(Command& c) {
  if (!c.adapter.profiles.present) return kAnswerNoProfiles;
  const uint8_t id = chosen(c, c.adapter.profiles);
  if (id == 0) return kAnswerInvalidField;
  return update_state(c, [&](ProfileState& s) {
    choose_profile(c.adapter, s, id);
    return Answer{0, 0, 4};
  });
}

Answer get_link_reconfig(Command& c) {
  const ProfileModel& m = c.adapter.link_configurations;
  if (!m.present) return kAnswerNoProfiles;
  ProfileState s;
  if (!read_state(c, &s)) return kAnswerFlashFailure;
  std::vector<uint8_t> rec(8 + kLinkConfigEntry * m.list.size(), 0);
  rec[0] = m.active;
  rec[2] = s.next_link;
  put<uint32_t>(rec, 4, static_cast<uint32_t>(m.list.size()));
  for (size_t i = 0; i < m.list.size(); ++i) {
    rec[8 + kLinkConfigEntry * i + 3] = m.list[i].id;
    put_text(rec, 8 + kLinkConfigEntry * i + 4, kLinkConfigDescriptionSize - 1, m.list[i].description);
  }
  return record_answer(c, rec);
}

Answer set_link_reconfig(Command& c) {
  const ProfileModel& m = c.adapter.link_configurations;
  if (!m.present) return kAnswerNoProfiles;
  const uint8_t id = chosen(c, m);
  if (id == 0) return kAnswerInvalidField;
  return update_state(c, [&](ProfileState& s) {
    s.next_link = id;
    s.reset_needed = true;
    // The link configuration decides the ports: the profile made for it comes with it.
    const uint8_t profile = entry_of(m, id)->link_config_profile;
    if (profile != 0) choose_profile(c.adapter, s, profile);
    return Answer{0, 0, 4};
  });
}

Answer get_ari(Command& c) {
  const AriModel& ari = c.adapter.ari;
  if (!ari.present) return kAnswerNoProfiles;
  ProfileState s;
  if (!read_state(c, &s)) return kAnswerFlashFailure;
  const std::vector<uint8_t> rec{s.ari_next, ari.ipl_max, ari.active_max, static_cast<uint8_t>(ari.settable ? 0x80 : 0)};
  return record_answer(c, rec);
}

Answer set_ari(Command& c) {
  if (!c.adapter.ari.present) return kAnswerNoProfiles;
  const std::string request = c.payload.bytes(0, 4);
  return update_state(c, [&](ProfileState& s) {
    s.ari_next = (request[3] & kFactoryBit) != 0 ? c.adapter.ari.next_max : static_cast<uint8_t>(request[0]);
    s.reset_needed = true;
    return Answer{0, 0, 4};
  });
}

Answer get_reset_needed(Command& c) {
  ProfileState s;
  if (!read_state(c, &s)) return kAnswerFlashFailure;
  return record_answer(c, std::vector<uint8_t>{static_cast<uint8_t>(s.reset_needed ? 1 : 0), 0, 0, 0});
}

Answer get_mc_capabilities(Command& c) {
  static constexpr std::pair<const char*, uint32_t> kBits[] = {{"ZMC", 0}, {"NPAR", 3}, {"vNIC1", 4}, {"vNIC2", 5},
                                                               {"UFP", 6}, {"HPFlexQBG", 7}, {"HPZMC", 9}, {"HPFlex", 10}};
  uint32_t bits = 0;
  for (const std::string& name : c.adapter.mc_capabilities) {
    for (const auto& [n, bit] : kBits) {
      if (name == n) bits |= 1u << bit;
    }
  }
  std::vector<uint8_t> rec(12, 0);
  put<uint32_t>(rec, 0, bits);
  return record_answer(c, rec);
}

Answer get_configured_personality(Command& c) {
  ProfileState s;
  if (!read_state(c, &s)) return kAnswerFlashFailure;
  c.payload.put(0, s.personality.c_str(), std::min<size_t>(s.personality.size(), c.payload.size()));
  Answer a;
  a.length = c.payload.size();
  a.counts_text = true;
  a.text_length = static_cast<uint32_t>(s.personality.size());
  return a;
}

Answer get_vx_conf(Command& c) {
  ProfileState s;
  if (!read_state(c, &s)) return kAnswerFlashFailure;
  const LegacyShape shape = legacy_shape(c.version);
  std::vector<uint8_t> rec(shape.size, 0);
  put<uint32_t>(rec, 0, static_cast<uint32_t>(s.legacy.size()));
  for (size_t i = 0; i < s.legacy.size(); ++i) {
    const size_t at = 4 + shape.stride * i;
    rec[at + 4] = s.legacy[i].pf;
    rec[at + 5] = s.legacy[i].state;
    rec[at + 6] = s.legacy[i].type;
    if (c.version != 0) rec[at + 12] = s.legacy[i].sriov;
    if (c.version == 0) std::memcpy(rec.data() + at + 8, s.legacy[i].mac.data(), 6);
  }
  return record_answer(c, rec);
}

Answer set_vx_conf(Command& c) {
  const LegacyShape shape = legacy_shape(c.version);
  const std::string block = c.payload.bytes(0, shape.size);
  if (block.size() < shape.size) return kAnswerInvalidField;
  const auto* bytes = reinterpret_cast<const uint8_t*>(block.data());
  return update_state(c, [&](ProfileState& s) {
    const size_t count = std::min<size_t>(get<uint32_t>(bytes, 0), kVxConfEntries);
    for (size_t i = 0; i < count; ++i) {
      const uint8_t* e = bytes + 4 + shape.stride * i;
      if (e[0] != 0) continue;
      for (LegacyFunction& f : s.legacy) {
        if (f.pf != e[4]) continue;
        f.state = e[5];
        f.type = e[6];
        if (c.version != 0) f.sriov = e[12];
        if (c.version == 0) std::copy_n(e + 8, 6, f.mac.begin());
        // PF 2 and 3 carry the adapter's storage protocol.
        if (f.pf == 2 || f.pf == 3) s.personality = personality_name(f.type == 1 ? 2 : f.type == 2 ? 4 : 1);
      }
    }
    s.reset_needed = true;
    return Answer{0, 0, static_cast<uint32_t>(shape.size)};
  });
}

}  // namespace vx::sim
