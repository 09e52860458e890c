// The maintenance keys of an adapter: controller_state, flash and core_dump.
#include <cstdlib>

#include "sim/config_reader.h"

namespace vx::sim {
namespace {

constexpr size_t kMaxCliString = 255;
constexpr uint32_t kMaxComponentId = 255;
constexpr size_t kMaxSegments = 256;

// HQI interface words and ASIC ids the properties report by generation: the ASIC type the
// management library derives from them is the adapter's own.
struct ChipIdentity {
  uint16_t generation;
  uint32_t hqi_intf;
  uint32_t asic_id;
};
constexpr ChipIdentity kChipIdentities[] = {
    {2, 0xC0010040, 0x200}, {3, 0xC0010140, 0x300}, {4, 0xC0010A40, 0},
    {5, 0xC0010F40, 0x410}, {6, 0xC0010F40, 0x500},
};

const json& object_at(const json& obj, const char* key, const std::string& where) {
  static const json kEmpty = json::object();
  if (!has(obj, key)) return kEmpty;
  if (!obj.at(key).is_object()) fail(where, std::string(key) + " must be an object");
  return obj.at(key);
}

// The optype a key names ("0", "0x0c").
uint32_t optype_key(const std::string& key, const std::string& where) {
  char* end = nullptr;
  const unsigned long v = std::strtoul(key.c_str(), &end, 0);
  if (key.empty() || *end != '\0' || key[0] == '-' || v > 0xFFFFFFFFul) fail(where, "\"" + key + "\" is no optype");
  return static_cast<uint32_t>(v);
}

// "status" or "status/additional".
RawAnswer read_answer(const json& value, const std::string& where) {
  const json wrapped = {{"v", value}};
  if (!value.is_string()) return RawAnswer{static_cast<uint8_t>(read_uint(wrapped, "v", 0, 0xFF, where)), 0};
  const std::string text = value.get<std::string>();
  const size_t slash = text.find('/');
  const json parts = {{"s", text.substr(0, slash)}, {"a", slash == std::string::npos ? "0" : text.substr(slash + 1)}};
  return RawAnswer{static_cast<uint8_t>(read_uint(parts, "s", 0, 0xFF, where)),
                   static_cast<uint16_t>(read_uint(parts, "a", 0, 0xFFFF, where))};
}

void read_versions(const json& obj, uint8_t* low, uint8_t* high, const std::string& where) {
  if (!has(obj, "versions")) return;
  const json& v = obj.at("versions");
  if (!v.is_array() || v.size() != 2) fail(where, "versions must be [low, high]");
  const json pair = {{"low", v[0]}, {"high", v[1]}};
  *low = static_cast<uint8_t>(read_uint(pair, "low", 0, 0xFF, where));
  *high = static_cast<uint8_t>(read_uint(pair, "high", 0, 0xFF, where));
}

CoreDumpSegment read_segment(const json& obj, const std::string& where) {
  if (!obj.is_object()) fail(where, "must be an object");
  CoreDumpSegment s;
  s.id = static_cast<uint32_t>(read_uint(obj, "id", 0, kMaxSegments - 1, where));
  read_versions(obj, &s.low_version, &s.high_version, where);
  s.status = static_cast<uint32_t>(read_uint(obj, "status", 0, 0xFFFFFFFF, where));
  const bool none = has(obj, "highest_instance") && obj.at("highest_instance").is_number_integer() &&
                    obj.at("highest_instance").get<int64_t>() == -1;
  s.highest_instance = none ? -1 : static_cast<int32_t>(read_uint(obj, "highest_instance", 0, 0xFFFF, where));
  s.length = static_cast<uint32_t>(read_uint(obj, "length", 0, 64u << 20, where));
  return s;
}

void read_core_dump(const json& obj, Adapter& a, const std::string& where) {
  CoreDumpConfig& d = a.core_dump;
  for (const ChipIdentity& id : kChipIdentities) {
    if (id.generation == a.generation) {
      d.hqi_intf = id.hqi_intf;
      d.asic_id = id.asic_id;
    }
  }
  const json& cd = object_at(obj, "core_dump", where);
  const std::string at = where + ".core_dump";
  read_versions(cd, &d.low_version, &d.high_version, at);
  d.hqi_intf = static_cast<uint32_t>(read_uint(cd, "hqi_intf", d.hqi_intf, 0xFFFFFFFF, at));
  d.asic_id = static_cast<uint32_t>(read_uint(cd, "asic_id", d.asic_id, 0xFFFFFFFF, at));
  if (has(cd, "component_count")) {
    d.component_count = static_cast<int64_t>(read_uint(cd, "component_count", 0, 0xFFFF, at));
  }
  if (has(cd, "components")) {
    const json& list = cd.at("components");
    if (!list.is_array()) fail(at, "components must be a list");
    for (size_t i = 0; i < list.size(); ++i) {
      const std::string c_at = at + ".components[" + std::to_string(i) + "]";
      if (!list[i].is_object()) fail(c_at, "must be an object");
      CoreDumpComponent c;
      c.id = static_cast<uint32_t>(read_uint(list[i], "id", 0, kMaxComponentId, c_at));
      c.status = static_cast<uint32_t>(read_uint(list[i], "status", 0, 0xFFFFFFFF, c_at));
      const json& segments = has(list[i], "segments") ? list[i].at("segments") : json::array();
      if (!segments.is_array() || segments.size() > kMaxSegments) fail(c_at, "segments must be a list of at most 256");
      for (size_t k = 0; k < segments.size(); ++k) {
        c.segments.push_back(read_segment(segments[k], c_at + ".segments[" + std::to_string(k) + "]"));
      }
      d.components.push_back(c);
    }
  }
  const json& cli = object_at(cd, "cli", at);
  for (auto it = cli.begin(); it != cli.end(); ++it) {
    const std::string c_at = at + ".cli." + it.key();
    if (it.key().empty() || it.key().size() > kMaxCliString) fail(c_at, "bad command string");
    if (!it.value().is_string()) fail(c_at, "must be hexadecimal bytes or \"unsupported\"");
    const std::string text = it.value().get<std::string>();
    d.cli[it.key()] = text == "unsupported" ? CliReply{true, ""} : CliReply{false, parse_hex(text, c_at)};
  }
}

}  // namespace

void read_maintenance(const json& obj, Adapter& a, const std::string& where) {
  const std::string state = read_text(obj, "controller_state", "alive", 5, where);
  if (state != "alive" && state != "dead") fail(where, "controller_state must be \"alive\" or \"dead\"");
  a.controller_dead = state == "dead";

  const json& flash = object_at(obj, "flash", where);
  const std::string at = where + ".flash";
  const json& crcs = object_at(flash, "crcs", at);
  for (auto it = crcs.begin(); it != crcs.end(); ++it) {
    const json one = {{"crc", it.value()}};
    a.flash.crcs[optype_key(it.key(), at)] = static_cast<uint32_t>(read_uint(one, "crc", 0, 0xFFFFFFFF, at + ".crcs"));
  }
  const json& crc_answers = object_at(flash, "crc_answers", at);
  for (auto it = crc_answers.begin(); it != crc_answers.end(); ++it) {
    a.flash.crc_answers[optype_key(it.key(), at)] = read_answer(it.value(), at + ".crc_answers").status;
  }
  const json& write_answers = object_at(flash, "write_answers", at);
  for (auto it = write_answers.begin(); it != write_answers.end(); ++it) {
    a.flash.write_answers[optype_key(it.key(), at)] = read_answer(it.value(), at + ".write_answers");
  }
  a.flash.prg_change_status = static_cast<uint8_t>(read_uint(flash, "prg_change_status", 0, 0xFF, at));
  read_core_dump(obj, a, where);
}

}  // namespace vx::sim
