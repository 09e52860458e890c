#include "sim/live_state.h"

#include <cstring>

#include <nlohmann/json.hpp>

namespace vx::sim {
namespace {

using json = nlohmann::json;

constexpr const char* kLiveFile = "records/live";
constexpr size_t kEntries = 72;
constexpr size_t kEntrySize = 16;

template <typename T>
void put(std::string& rec, size_t offset, T value) {
  std::memcpy(&rec[offset], &value, sizeof value);
}

PortLive factory_port(const PortSettings& p) {
  PortLive l;
  for (int r = 0; r < kDcbxRecords; ++r) l.dcbx[r] = dcbx_image(p.dcbx[r], p.app_tlvs[r]);
  l.dcbx_enabled = p.dcbx_enabled;
  l.dcbx_mode = p.dcbx_mode;
  l.lldp[0] = p.lldp_local.switches;
  for (int i = 0; i < 4; ++i) l.lldp[1 + i] = (p.lldp_local.tlvs >> i) & 1;
  l.enabled = p.enabled;
  l.tx_throttle = p.tx_throttle;
  l.nvp = p.nvp < 0 ? 0 : static_cast<uint32_t>(p.nvp);
  l.flow_tx = p.flow_tx;
  l.flow_rx = p.flow_rx;
  l.beacon = p.beacon == kBeaconOn;
  l.speed_code = p.speed_code;
  l.dac_length = p.dac_length;
  return l;
}

json to_json(const AdapterLive& a) {
  json ports = json::array();
  for (const PortLive& p : a.ports) {
    json dcbx = json::array();
    for (const std::string& image : p.dcbx) dcbx.push_back(to_hex(image));
    ports.push_back({{"dcbx", dcbx},
                     {"dcbx_enabled", p.dcbx_enabled},
                     {"dcbx_mode", p.dcbx_mode},
                     {"lldp", to_hex(std::string(p.lldp.begin(), p.lldp.end()))},
                     {"enabled", p.enabled},
                     {"tx_throttle", p.tx_throttle},
                     {"nvp", p.nvp},
                     {"flow_tx", p.flow_tx},
                     {"flow_rx", p.flow_rx},
                     {"beacon", p.beacon},
                     {"speed_code", p.speed_code},
                     {"dac_length", p.dac_length}});
  }
  return json{{"ports", ports}, {"has_ffv", a.has_ffv}, {"ffv_name", a.ffv_name}, {"ncsi", to_hex(a.ncsi)}};
}

// The state of a file's text; an empty text is the factory state.
bool parse_live(const std::string& text, const AdapterLive& factory, AdapterLive* out) {
  if (text.empty()) {
    *out = factory;
    return true;
  }
  try {
    const json j = json::parse(text);
    AdapterLive a;
    for (const json& p : j.at("ports")) {
      PortLive l;
      for (int r = 0; r < kDcbxRecords; ++r) {
        l.dcbx[r] = from_hex(p.at("dcbx").at(r).get<std::string>());
        l.dcbx[r].resize(kDcbxImageSize, '\0');
      }
      l.dcbx_enabled = p.at("dcbx_enabled").get<bool>();
      l.dcbx_mode = p.at("dcbx_mode").get<uint32_t>();
      const std::string lldp = from_hex(p.at("lldp").get<std::string>());
      std::memcpy(l.lldp.data(), lldp.data(), std::min(lldp.size(), l.lldp.size()));
      l.enabled = p.at("enabled").get<bool>();
      l.tx_throttle = p.at("tx_throttle").get<uint32_t>();
      l.nvp = p.at("nvp").get<uint32_t>();
      l.flow_tx = p.at("flow_tx").get<bool>();
      l.flow_rx = p.at("flow_rx").get<bool>();
      l.beacon = p.at("beacon").get<bool>();
      l.speed_code = p.at("speed_code").get<uint16_t>();
      l.dac_length = p.at("dac_length").get<uint16_t>();
      a.ports.push_back(l);
    }
    // A file of another configuration's ports: the ports it lacks are as configured.
    for (size_t i = a.ports.size(); i < factory.ports.size(); ++i) a.ports.push_back(factory.ports[i]);
    a.ports.resize(factory.ports.size());
    a.has_ffv = j.at("has_ffv").get<bool>();
    a.ffv_name = j.at("ffv_name").get<std::string>();
    a.ncsi = from_hex(j.at("ncsi").get<std::string>());
    a.ncsi.resize(kNcsiRecordSize, '\0');
    *out = std::move(a);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

std::string live_file(const Store& store, const Adapter& adapter) {
  return store.adapter_file(adapter.serial_number, kLiveFile);
}

}  // namespace

std::string dcbx_image(const DcbxRecordSettings& r, const std::vector<AppTlv>& tlvs) {
  std::string rec(kDcbxImageSize, '\0');
  rec[3] = static_cast<char>(r.num_pgs);
  put<uint32_t>(rec, 4, r.pg_flags);
  put<uint32_t>(rec, 8, r.pfc_flags);
  put<uint32_t>(rec, 12, r.qcn_flags);
  put<uint32_t>(rec, 16, r.app_flags);
  for (int k = 0; k < 8; ++k) {
    rec[24 + k] = static_cast<char>(r.bandwidth[k]);
    put<uint32_t>(rec, 32 + 4 * k, r.groups[k]);
    rec[64 + k] = static_cast<char>((r.pfc_priorities >> k) & 1);
  }
  for (const AppTlv& t : tlvs) {
    const size_t at = kEntries + kEntrySize * t.entry;
    put<uint16_t>(rec, at, t.protocol);
    rec[at + 2] = static_cast<char>(t.selector);
    rec[at + 3] = 1;   // in use
    put<uint32_t>(rec, at + 4, t.oui);
    for (int k = 0; k < 8; ++k) rec[at + 8 + k] = static_cast<char>((t.priorities >> k) & 1);
  }
  rec[312] = static_cast<char>(r.cnpv);
  rec[316] = static_cast<char>(r.ready);
  return rec;
}

AdapterLive factory_live(const Adapter& adapter) {
  AdapterLive a;
  for (const PortSettings& p : adapter.port_settings) a.ports.push_back(factory_port(p));
  a.has_ffv = adapter.ffv_name.has_value();
  a.ffv_name = adapter.ffv_name.value_or("");
  a.ncsi.assign(kNcsiRecordSize, '\0');
  a.ncsi[0] = static_cast<char>(adapter.ncsi.state);
  a.ncsi[1] = static_cast<char>(adapter.ncsi.handshake);
  std::memcpy(&a.ncsi[12], adapter.ncsi.static_block.data(), adapter.ncsi.static_block.size());
  std::memcpy(&a.ncsi[44], adapter.ncsi.dynamic_block.data(), adapter.ncsi.dynamic_block.size());
  return a;
}

bool read_live(const Store& store, const Adapter& adapter, AdapterLive* out) {
  std::string text;
  if (store.read(live_file(store, adapter), &text) == file_store::ReadResult::kFailed) return false;
  return parse_live(text, factory_live(adapter), out);
}

bool update_live(const Store& store, const Adapter& adapter, const std::function<bool(AdapterLive&)>& edit) {
  const AdapterLive factory = factory_live(adapter);
  return store.update(live_file(store, adapter), [&](std::string& content, bool) {
    AdapterLive a;
    if (!parse_live(content, factory, &a) || !edit(a)) return false;
    content = to_json(a).dump();
    return true;
  });
}

}  // namespace vx::sim
