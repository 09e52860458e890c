// The trace and diagnostics keys of the configuration file (format: sim/README.md).
#include <algorithm>
#include <iterator>

#include "sim/config_reader.h"

namespace vx::sim {
namespace {

constexpr size_t kMaxExtFatModules = 64;
constexpr size_t kMaxModuleName = 32;
constexpr size_t kMaxEvents = 4096;
constexpr size_t kMaxEventText = 20;
constexpr size_t kTransceiverPage = 256;
constexpr const char* kModeNames[] = {"UART", "RAM", "NVRAM", "TFTP"};
constexpr const char* kLoopbackNames[] = {"mac", "phy", "one_port", "two_port"};

const json& object_at(const json& obj, const char* key, const std::string& where) {
  static const json kEmpty = json::object();
  if (!has(obj, key)) return kEmpty;
  if (!obj.at(key).is_object()) fail(where, std::string(key) + " must be an object");
  return obj.at(key);
}

const json& list_at(const json& obj, const char* key, const std::string& where) {
  static const json kEmpty = json::array();
  if (!has(obj, key)) return kEmpty;
  if (!obj.at(key).is_array()) fail(where, std::string(key) + " must be a list");
  return obj.at(key);
}

bool read_bool(const json& obj, const char* key, bool fallback, const std::string& where) {
  if (!has(obj, key)) return fallback;
  if (!obj.at(key).is_boolean()) fail(where, std::string(key) + " must be true or false");
  return obj.at(key).get<bool>();
}

uint8_t mode_of(const std::string& name, const std::string& where) {
  const auto* found = std::find(std::begin(kModeNames), std::end(kModeNames), name);
  if (found == std::end(kModeNames)) fail(where, "mode must be UART, RAM, NVRAM or TFTP");
  return static_cast<uint8_t>(found - std::begin(kModeNames));
}

ExtFatConfig read_extfat(const json& obj, const std::string& where) {
  ExtFatConfig x;
  x.max_log_entries = static_cast<uint32_t>(read_uint(obj, "max_log_entries", 1000, UINT32_MAX, where));
  x.log_entry_size = static_cast<uint32_t>(read_uint(obj, "log_entry_size", 64, UINT32_MAX, where));
  const std::string type = read_text(obj, "logging_type", "asynchronous", 12, where);
  if (type != "synchronous" && type != "asynchronous") fail(where, "logging_type must be synchronous or asynchronous");
  x.logging_type = type == "asynchronous" ? 1 : 0;
  x.max_functions = static_cast<uint8_t>(read_uint(obj, "max_functions", 8, 255, where));
  x.max_ports = static_cast<uint8_t>(read_uint(obj, "max_ports", 2, 255, where));
  if (has(obj, "modes")) {
    x.modes = 0;
    for (const json& m : list_at(obj, "modes", where)) {
      if (!m.is_string()) fail(where, "modes must be names");
      x.modes |= 1u << mode_of(m.get<std::string>(), where + ".modes");
    }
  }
  x.string_table_size = static_cast<uint32_t>(read_uint(obj, "string_table_size", 5000, 16u << 20, where));
  x.ram_entries = static_cast<uint32_t>(read_uint(obj, "ram_entries", 1000, 1u << 20, where));
  x.flash_entries = static_cast<uint32_t>(read_uint(obj, "flash_entries", 30, 1u << 20, where));
  const json& modules = list_at(obj, "modules", where);
  if (modules.size() > kMaxExtFatModules) fail(where, "at most 64 modules");
  for (size_t i = 0; i < modules.size(); ++i) {
    const std::string at = where + ".modules[" + std::to_string(i) + "]";
    if (!modules[i].is_object()) fail(at, "must be an object");
    ExtFatModuleConfig m;
    m.name = read_text(modules[i], "name", "", kMaxModuleName, at);
    m.id = static_cast<uint32_t>(read_uint(modules[i], "id", i + 1, UINT32_MAX, at));
    const json& modes = list_at(modules[i], "modes", at);
    if (modes.size() > 4) fail(at, "at most 4 modes");
    for (size_t k = 0; k < modes.size(); ++k) {
      const std::string mat = at + ".modes[" + std::to_string(k) + "]";
      if (!modes[k].is_object()) fail(mat, "must be an object");
      ExtFatModeConfig mode;
      mode.mode = mode_of(read_text(modes[k], "mode", "UART", 5, mat), mat);
      mode.port_mask = static_cast<uint16_t>(read_uint(modes[k], "port_mask", 0xFF, 0xFFFF, mat));
      mode.level = static_cast<uint32_t>(read_uint(modes[k], "level", 0, UINT32_MAX, mat));
      mode.function_mask = read_uint(modes[k], "function_mask", ~uint64_t{0}, ~uint64_t{0}, mat);
      m.modes.push_back(mode);
    }
    x.modules.push_back(std::move(m));
  }
  return x;
}

EventConfig read_event(const json& obj, const std::string& where) {
  if (!obj.is_object()) fail(where, "must be an object");
  EventConfig e;
  e.code = static_cast<uint16_t>(read_uint(obj, "code", 0, 0xFFFF, where));
  e.severity = static_cast<uint16_t>(read_uint(obj, "severity", 0, 0xFFFF, where));
  e.sequence = static_cast<uint32_t>(read_uint(obj, "sequence", 0, UINT32_MAX, where));
  e.time = static_cast<uint32_t>(read_uint(obj, "time", 0, UINT32_MAX, where));
  const json& args = list_at(obj, "args", where);
  if (args.size() > e.args.size()) fail(where, "at most 5 args");
  for (size_t i = 0; i < args.size(); ++i) {
    e.args[i] = static_cast<uint32_t>(read_uint(json{{"a", args[i]}}, "a", 0, UINT32_MAX, where + ".args"));
  }
  e.text = read_text(obj, "text", "", kMaxEventText, where);
  if (!e.text.empty() && e.code < 95) fail(where, "text is for codes 95 and above");
  return e;
}

std::string transceiver_page(const json& obj, const char* key, const std::string& where) {
  std::string page = parse_hex(read_text(obj, key, "", 1024, where), where + "." + key);
  if (page.size() > kTransceiverPage) fail(where, std::string(key) + " is longer than 256 bytes");
  page.resize(kTransceiverPage, '\0');
  return page;
}

}  // namespace

void read_diagnostics(const json& obj, Adapter& a, const std::string& where) {
  AdapterDiagnostics& d = a.diag;
  d.fat_size = static_cast<uint32_t>(read_uint(object_at(obj, "fat", where), "size", 0, 16u << 20, where + ".fat"));
  d.phy_loopback = read_bool(obj, "phy_loopback", false, where);
  const json& dma = object_at(obj, "dma", where);
  d.dma.send_failed_every = static_cast<uint32_t>(read_uint(dma, "send_failed_every", 0, UINT32_MAX, where + ".dma"));
  d.dma.miscompare_every = static_cast<uint32_t>(read_uint(dma, "miscompare_every", 0, UINT32_MAX, where + ".dma"));
  d.extfat = read_extfat(object_at(obj, "extfat", where), where + ".extfat");
  const json& events = list_at(obj, "event_log", where);
  if (events.size() > kMaxEvents) fail(where, "event_log holds at most 4096 events");
  for (size_t i = 0; i < events.size(); ++i) {
    d.event_log.push_back(read_event(events[i], where + ".event_log[" + std::to_string(i) + "]"));
  }
}

void read_port_diagnostics(const json& obj, PortSettings& p, const std::string& where) {
  PortDiagnostics& d = p.diag;
  const std::string loopback = read_text(obj, "loopback", "none", 16, where);
  const auto* named = std::find(std::begin(kLoopbackNames), std::end(kLoopbackNames), loopback);
  if (named != std::end(kLoopbackNames)) {
    d.loopback_mode = static_cast<uint32_t>(named - std::begin(kLoopbackNames));
  } else if (loopback == "none" || loopback == "unsupported") {
    d.loopback_mode = loopback == "none" ? kLoopbackNone : kLoopbackUnsupported;
  } else {
    fail(where, "loopback must be none, unsupported, mac, phy, one_port or two_port");
  }
  const json& test = object_at(obj, "loopback_test", where);
  const std::string tat = where + ".loopback_test";
  d.loopback_test.status = static_cast<uint32_t>(read_uint(test, "status", 0, UINT32_MAX, tat));
  if (has(test, "sent_ok")) d.loopback_test.sent_ok = static_cast<int64_t>(read_uint(test, "sent_ok", 0, UINT32_MAX, tat));
  if (has(test, "received_ok")) {
    d.loopback_test.received_ok = static_cast<int64_t>(read_uint(test, "received_ok", 0, UINT32_MAX, tat));
  }
  d.loopback_test.cycles = static_cast<uint32_t>(read_uint(test, "cycles", 0, UINT32_MAX, tat));
  // Pages of a module inserted: a pattern unless given; "none": no module.
  for (size_t i = 0; i < 256; ++i) {
    d.transceiver_a0.push_back(static_cast<char>(i));
    d.transceiver_a2.push_back(static_cast<char>(255 - i));
  }
  if (has(obj, "transceiver") && obj.at("transceiver").is_string()) {
    if (obj.at("transceiver").get<std::string>() != "none") fail(where, "transceiver must be an object or \"none\"");
    d.transceiver_inserted = false;
  } else {
    const json& pages = object_at(obj, "transceiver", where);
    if (has(pages, "a0")) d.transceiver_a0 = transceiver_page(pages, "a0", where + ".transceiver");
    if (has(pages, "a2")) d.transceiver_a2 = transceiver_page(pages, "a2", where + ".transceiver");
  }
  d.self_test_result = static_cast<uint8_t>(read_uint(obj, "self_test_result", 0, 0xFF, where));
  const json& tdr = object_at(obj, "tdr", where);
  const std::string dat = where + ".tdr";
  d.tdr.pairs = static_cast<uint32_t>(read_uint(tdr, "pairs", 0, 0xFFFF, dat));
  const json& lengths = list_at(tdr, "lengths", dat);
  if (lengths.size() > 4) fail(dat, "at most 4 lengths");
  for (size_t i = 0; i < lengths.size(); ++i) {
    d.tdr.lengths[i] = static_cast<uint32_t>(read_uint(json{{"l", lengths[i]}}, "l", 0, UINT32_MAX, dat + ".lengths"));
  }
  d.tdr.nvp = static_cast<uint32_t>(read_uint(tdr, "nvp", 72, UINT32_MAX, dat));
}

}  // namespace vx::sim
