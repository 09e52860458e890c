#include "sim/controller_firmware.h"

#include <algorithm>
#include <cstring>

#include "sim/dcb_firmware.h"
#include "sim/live_state.h"

namespace vx::sim {
namespace {

constexpr size_t kFfvNameOffset = 4;
constexpr size_t kFfvNameSize = 32;
constexpr size_t kFruSize = 1280;
constexpr size_t kNcsiSetOffset = 40;
constexpr uint8_t kFfvSet = 1;

}  // namespace

Answer ffv_params(Command& c) {
  AdapterLive live;
  if (!read_live(c.store, c.adapter, &live)) return kAnswerFlashFailure;
  if (!live.has_ffv) return kAnswerUnsupported;
  const std::string request = c.payload.bytes(0, 2);
  if (request.size() == 2 && static_cast<uint8_t>(request[0]) == kFfvSet) {
    const size_t length = std::min<size_t>(static_cast<uint8_t>(request[1]), kFfvNameSize);
    const std::string name = c.payload.text(kFfvNameOffset, length);
    if (!update_live(c.store, c.adapter, [&](AdapterLive& a) {
          a.ffv_name = name;
          return true;
        })) {
      return kAnswerFlashFailure;
    }
    Answer a;
    a.length = c.payload.size();
    return a;
  }
  std::vector<uint8_t> rec(kFfvNameOffset + kFfvNameSize, 0);
  rec[1] = static_cast<uint8_t>(live.ffv_name.size());
  std::memcpy(rec.data() + kFfvNameOffset, live.ffv_name.data(), std::min(live.ffv_name.size(), kFfvNameSize));
  return answer_record(c, rec.data(), rec.size());
}

Answer read_fru_vpd(Command& c) {
  const uint32_t size = c.payload.u32(0);
  const uint32_t offset = c.payload.u32(4);
  std::vector<uint8_t> fru(kFruSize);
  for (size_t i = 0; i < fru.size(); ++i) fru[i] = static_cast<uint8_t>(i & 0xFF);
  if (!c.adapter.fru_vpd.empty()) {
    std::fill(fru.begin(), fru.end(), 0);
    std::copy(c.adapter.fru_vpd.begin(), c.adapter.fru_vpd.end(), fru.begin());
  }
  // The answer fills the request's room: the data first, the rest cleared.
  std::vector<uint8_t> rec(c.payload.size(), 0);
  for (size_t i = 0; i < size && i < rec.size() && offset + i < fru.size(); ++i) rec[i] = fru[offset + i];
  return answer_record(c, rec.data(), rec.size());
}

Answer get_ncsi_attributes(Command& c) {
  AdapterLive live;
  if (!read_live(c.store, c.adapter, &live)) return kAnswerFlashFailure;
  return answer_record(c, live.ncsi.data(), live.ncsi.size());
}

Answer set_ncsi_attributes(Command& c) {
  const std::string request = c.payload.bytes(0, kNcsiRecordSize - kNcsiSetOffset);
  if (request.size() < kNcsiRecordSize - kNcsiSetOffset) return kAnswerInvalidField;
  if (!update_live(c.store, c.adapter, [&](AdapterLive& a) {
        a.ncsi.replace(kNcsiSetOffset, request.size(), request);
        return true;
      })) {
    return kAnswerFlashFailure;
  }
  Answer a;
  a.length = static_cast<uint32_t>(request.size());
  return a;
}

}  // namespace vx::sim
