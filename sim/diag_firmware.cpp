// Loopback modes and tests, the DDR DMA echo, and the pluggable transceiver, PHY self test and cable
// test of each port.
#include <cstring>
#include <map>
#include <vector>

#include "sim/diag_firmware.h"

namespace vx::sim {
namespace {

constexpr Answer kAnswerNotSupported{66, 0, 0};
constexpr Answer kAnswerTypeUnsupported{1, 83, 0};
constexpr Answer kAnswerAlreadyInLoopback{1, 84, 0};
constexpr Answer kAnswerModeNotSet{1, 85, 0};
constexpr Answer kAnswerNoModule{1, 99, 0};
constexpr uint32_t kLoopbackPhy = 1;
constexpr uint32_t kLoopbackTwoPort = 3;
constexpr size_t kDmaRecord = 8208;
constexpr size_t kDmaSent = 16;
constexpr size_t kDmaReceived = 4112;
constexpr uint32_t kDmaData = 4096;
constexpr size_t kTransceiverData = 8;
constexpr uint32_t kPageA0 = 0xA0;
constexpr uint32_t kPageA2 = 0xA2;

const PortSettings* port_of(const Command& c, uint32_t port) {
  return port < c.adapter.port_settings.size() ? &c.adapter.port_settings[port] : nullptr;
}

uint32_t mode_of(const Command& c, const DiagState& s, uint32_t port) {
  return s.loopback[port] >= 0 ? static_cast<uint32_t>(s.loopback[port]) : port_of(c, port)->diag.loopback_mode;
}

Answer answered(uint32_t length) {
  Answer a;
  a.length = length;
  return a;
}

// DMA loops counted per adapter in this process, as the firmware counts them since its start.
std::map<std::string, uint64_t>& dma_loops() {
  static std::map<std::string, uint64_t> loops;
  return loops;
}

}  // namespace

Answer get_loopback_mode(Command& c) {
  const uint32_t port = c.payload.u32(0) & 0xFF;
  DiagState s;
  if (port_of(c, port) == nullptr) return kAnswerInvalidField;
  if (!read_diag_state(c, &s)) return kAnswerFlashFailure;
  c.payload.put_u32(0, mode_of(c, s, port));
  return answered(sizeof(uint32_t));
}

Answer set_loopback_mode(Command& c) {
  const std::string r = c.payload.bytes(0, 4);
  if (r.size() < 4) return kAnswerInvalidField;
  const auto source = static_cast<uint8_t>(r[0]);
  const auto destination = static_cast<uint8_t>(r[1]);
  const auto mode = static_cast<uint8_t>(r[2]);
  const bool enter = r[3] != 0;
  if (port_of(c, source) == nullptr || port_of(c, destination) == nullptr) return kAnswerInvalidField;
  Answer refused{};
  const bool ok = update_diag_state(c, [&](DiagState& s) {
    const uint32_t current = mode_of(c, s, source);
    if (enter && (current == kLoopbackUnsupported || mode > kLoopbackTwoPort ||
                  (mode == kLoopbackPhy && !c.adapter.diag.phy_loopback))) {
      refused = kAnswerTypeUnsupported;
      return false;
    }
    if (enter && current != kLoopbackNone) {
      refused = kAnswerAlreadyInLoopback;
      return false;
    }
    // A two-port loopback holds both ports; leaving it frees both.
    const int64_t next = enter ? mode : kLoopbackNone;
    s.loopback[source] = next;
    if (source != destination && (enter ? mode == kLoopbackTwoPort : current == kLoopbackTwoPort)) {
      s.loopback[destination] = next;
    }
    return true;
  });
  if (refused.status != 0) return refused;
  return ok ? answered(4) : kAnswerFlashFailure;
}

Answer loopback_test(Command& c) {
  const uint32_t type = c.payload.u32(0);
  const uint32_t loops = c.payload.u32(4);
  const uint32_t source = c.payload.u32(16);
  const PortSettings* p = port_of(c, source);
  DiagState s;
  if (p == nullptr || port_of(c, c.payload.u32(20)) == nullptr) return kAnswerInvalidField;
  if (!read_diag_state(c, &s)) return kAnswerFlashFailure;
  if (mode_of(c, s, source) != type) return kAnswerModeNotSet;
  const LoopbackTestReply& reply = p->diag.loopback_test;
  c.payload.put_u32(0, reply.status);
  c.payload.put_u32(4, reply.sent_ok < 0 ? loops : static_cast<uint32_t>(reply.sent_ok));
  c.payload.put_u32(8, reply.received_ok < 0 ? loops : static_cast<uint32_t>(reply.received_ok));
  c.payload.put_u32(16, reply.cycles);
  return answered(c.payload.size());
}

Answer ddr_dma_test(Command& c) {
  if (c.payload.size() < kDmaRecord) return kAnswerInvalidField;
  const uint32_t bytes = c.payload.u32(8);
  if (bytes > kDmaData) return kAnswerInvalidField;
  const uint64_t loop = ++dma_loops()[c.adapter.serial_number];
  const DmaConfig& dma = c.adapter.diag.dma;
  std::string data = c.payload.bytes(kDmaSent, bytes);
  if (dma.miscompare_every != 0 && loop % dma.miscompare_every == 0 && !data.empty()) data[0] = static_cast<char>(~data[0]);
  c.payload.put(kDmaReceived, data.data(), data.size());
  c.payload.put_u32(12, dma.send_failed_every != 0 && loop % dma.send_failed_every == 0 ? 1 : 0);
  return answered(kDmaRecord);
}

Answer read_transceiver(Command& c) {
  if (c.adapter.generation == 2) return kAnswerNotSupported;
  const std::string port_byte = c.payload.bytes(4, 1);
  const PortSettings* p = port_byte.empty() ? nullptr : port_of(c, static_cast<uint8_t>(port_byte[0]) & 0x3F);
  const uint32_t page = c.payload.u32(0);
  if (p == nullptr || (page != kPageA0 && page != kPageA2)) return kAnswerInvalidField;
  if (!p->diag.transceiver_inserted) return kAnswerNoModule;
  const std::string& data = page == kPageA0 ? p->diag.transceiver_a0 : p->diag.transceiver_a2;
  c.payload.put(kTransceiverData, data.data(), data.size());
  return answered(c.payload.size());
}

Answer run_self_test(Command& c) {
  const std::string port = c.payload.bytes(0, 1);
  const PortSettings* p = port.empty() ? nullptr : port_of(c, static_cast<uint8_t>(port[0]));
  if (p == nullptr) return kAnswerInvalidField;
  c.payload.put(0, &p->diag.self_test_result, 1);
  return answered(c.payload.size());
}

Answer run_tdr(Command& c) {
  const PortSettings* p = port_of(c, c.payload.u32(0));
  if (p == nullptr) return kAnswerInvalidField;
  const TdrReply& t = p->diag.tdr;
  c.payload.put_u32(0, t.pairs);
  for (size_t i = 0; i < t.lengths.size(); ++i) c.payload.put_u32(4 + 4 * i, t.lengths[i]);
  c.payload.put_u32(20, t.nvp);
  return answered(c.payload.size());
}

}  // namespace vx::sim
