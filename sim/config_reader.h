// The readers of the configuration file's values, shared by the files that read its parts: each
// throws ConfigError with "<where>: <what>" for a value that breaks its rule.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "sim/config.h"

namespace vx::sim {

using json = nlohmann::json;

// Thrown by the readers; turned into the error text of parse_config.
struct ConfigError {
  std::string text;
};

[[noreturn]] void fail(const std::string& where, const std::string& what);
// An integer written as a JSON number or a text ("0x0712", "18"); `fallback` when absent.
uint64_t read_uint(const json& obj, const char* key, uint64_t fallback, uint64_t max, const std::string& where);
bool has(const json& obj, const char* key);
std::string read_text(const json& obj, const char* key, const std::string& fallback, size_t max_length,
                      const std::string& where);
Mac parse_mac(const std::string& text, const std::string& where);
// Hexadecimal digits (blanks allowed) as bytes, at most 1 MiB.
std::string parse_hex(const std::string& text, const std::string& where);

// The trace and diagnostics keys of an adapter and of its ports: fat, phy_loopback, dma, extfat,
// event_log; loopback, loopback_test, transceiver, self_test_result and tdr (sim/diag_config.cpp).
void read_diagnostics(const json& obj, Adapter& adapter, const std::string& where);
void read_port_diagnostics(const json& obj, PortSettings& port, const std::string& where);
// The maintenance keys of an adapter: controller_state, flash and core_dump
// (sim/maintenance_config.cpp).
void read_maintenance(const json& obj, Adapter& adapter, const std::string& where);

}  // namespace vx::sim
