// What the simulated firmware keeps of the settings the management library writes: per port the
// three DCBX records (368-byte images: administrator, operational, peer), the DCBX state and mode,
// the local LLDP switches, the port state, transmit throttle, NVP value, flow control, beaconing
// and link speed; per
// adapter the FFV name and the NC-SI record. Kept in the adapter's state file "records/live", so a
// second process sees them; an adapter without one is as the configuration describes it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim/config.h"
#include "sim/store.h"

namespace vx::sim {

constexpr size_t kDcbxImageSize = 368;   // the version-1 record; the 312-byte one is its start
constexpr size_t kDcbxShortSize = 312;
constexpr size_t kNcsiRecordSize = 72;

struct PortLive {
  std::array<std::string, kDcbxRecords> dcbx;   // kDcbxImageSize bytes each; byte 2 is computed
  bool dcbx_enabled = true;
  uint32_t dcbx_mode = 3;
  std::array<uint8_t, 5> lldp{};                // bytes 0-4 of the local LLDP record
  bool enabled = true;
  uint32_t tx_throttle = 2;
  uint32_t nvp = 72;
  bool flow_tx = true;
  bool flow_rx = true;
  bool beacon = false;                          // beaconing, and the link speed last set
  uint16_t speed_code = 0;
  uint16_t dac_length = 0;
};

struct AdapterLive {
  std::vector<PortLive> ports;   // one per port of the configuration
  bool has_ffv = false;
  std::string ffv_name;
  std::string ncsi;              // kNcsiRecordSize bytes
};

// The state an adapter leaves the factory with, from its configuration.
AdapterLive factory_live(const Adapter& adapter);
// The DCBX image of a configured record.
std::string dcbx_image(const DcbxRecordSettings& record, const std::vector<AppTlv>& tlvs);

// The state as kept; false when the state file exists but cannot be read.
bool read_live(const Store& store, const Adapter& adapter, AdapterLive* out);
// A read-modify-write under the file's lock; `edit` returning false changes nothing.
bool update_live(const Store& store, const Adapter& adapter, const std::function<bool(AdapterLive&)>& edit);

}  // namespace vx::sim
