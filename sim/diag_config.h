// What a simulated adapter's configuration says about its trace data, event log and diagnostics,
// and what each of its ports answers the diagnostic commands (format: sim/README.md).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vx::sim {

constexpr uint32_t kLoopbackNone = 255;
constexpr uint32_t kLoopbackUnsupported = 254;

// What a port's loopback test answers; a count left out is the loop count asked.
struct LoopbackTestReply {
  uint32_t status = 0;
  int64_t sent_ok = -1;
  int64_t received_ok = -1;
  uint32_t cycles = 0;
};

struct TdrReply {
  uint32_t pairs = 0;
  std::array<uint32_t, 4> lengths{};
  uint32_t nvp = 72;
};

// The diagnostics side of one port.
struct PortDiagnostics {
  uint32_t loopback_mode = kLoopbackNone;   // the mode the port is in until one is set
  LoopbackTestReply loopback_test;
  bool transceiver_inserted = true;
  std::string transceiver_a0;               // 256 bytes each; a pattern when not given
  std::string transceiver_a2;
  uint8_t self_test_result = 0;
  TdrReply tdr;
};

struct ExtFatModeConfig {
  uint8_t mode = 0;              // 0 UART, 1 RAM, 2 NVRAM, 3 TFTP
  uint16_t port_mask = 0xFF;
  uint32_t level = 0;
  uint64_t function_mask = ~uint64_t{0};
};

struct ExtFatModuleConfig {
  std::string name;
  uint32_t id = 0;
  std::vector<ExtFatModeConfig> modes;
};

struct ExtFatConfig {
  uint32_t max_log_entries = 1000;
  uint32_t log_entry_size = 64;
  uint8_t logging_type = 1;      // asynchronous
  uint8_t max_functions = 8;
  uint8_t max_ports = 2;
  uint32_t modes = 3;            // bit 0 UART, bit 1 RAM
  uint32_t string_table_size = 5000;
  uint32_t ram_entries = 1000;
  uint32_t flash_entries = 30;
  std::vector<ExtFatModuleConfig> modules;
};

struct EventConfig {
  uint16_t code = 0;
  uint16_t severity = 0;
  uint32_t sequence = 0;
  uint32_t time = 0;
  std::array<uint32_t, 5> args{};
  std::string text;              // for codes 95 and above
};

// Every n-th DMA loop reports a send failure or answers altered data (0: never).
struct DmaConfig {
  uint32_t send_failed_every = 0;
  uint32_t miscompare_every = 0;
};

struct AdapterDiagnostics {
  uint32_t fat_size = 0;
  bool phy_loopback = false;     // controller attributes byte 417 bit 0
  DmaConfig dma;
  ExtFatConfig extfat;
  std::vector<EventConfig> event_log;
};

}  // namespace vx::sim
