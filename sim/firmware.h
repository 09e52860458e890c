// The simulated firmware: one table of the commands it answers with real behaviour, keyed by
// (opcode, subsystem); every other command is accepted and echoed (status 0, actual response
// length = request length, payload left as sent).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/config.h"
#include "sim/store.h"

namespace vx::sim {

// The payload bytes of one command: exactly the request_length bytes behind the header. Every
// write is clipped to them, so an answer never lands past the room the library gave.
class Payload {
 public:
  Payload(uint8_t* data, uint32_t size) : data_(data), size_(size) {}
  uint32_t size() const { return size_; }
  uint32_t u32(size_t offset) const;   // 0 when it does not fit
  std::string text(size_t offset, size_t field) const;   // up to the first NUL within the field
  std::string bytes(size_t offset, size_t count) const;   // clipped to the payload
  bool has_nul(size_t offset, size_t field) const;
  void put(size_t offset, const void* bytes, size_t count);
  void put_u32(size_t offset, uint32_t value) { put(offset, &value, sizeof value); }

 private:
  uint8_t* data_;
  uint32_t size_;
};

struct Answer {
  uint8_t status = 0;
  uint16_t additional_status = 0;
  uint32_t length = 0;   // actual response length
  // The personality answers count their text in the header's request-length word (bytes 8-11).
  bool counts_text = false;
  uint32_t text_length = 0;
};

// Firmware statuses the simulator gives besides success.
constexpr uint8_t kStatusResponseTooLarge = 4;           // the answer did not fit in the request
constexpr Answer kAnswerInvalidField{1, 0xFF, 0};        // a request field is malformed
constexpr Answer kAnswerFlashFailure{3, 0, 0};           // the adapter's state could not be read or written

struct Command {
  const Adapter& adapter;
  const Function& function;
  bool nic_path;            // reached through the NIC node (else an iSCSI node)
  const Store& store;
  const Network& network;   // the remote targets the iSCSI functions reach
  uint8_t opcode;
  uint8_t subsystem;
  uint8_t port_number;
  uint8_t domain;
  uint8_t version;
  Payload payload;
};

// Copies a whole answer record to the payload; a record larger than the request is cut and
// flagged with kStatusResponseTooLarge, its full length still reported so that the caller can ask
// again.
Answer answer_record(Command& command, const void* record, size_t size);

// Answers one command: the table's handler, or accept-and-echo.
Answer run_command(Command& command);
// True when (opcode, subsystem) has its own handler.
bool has_handler(uint8_t opcode, uint8_t subsystem);

// Records the simulated firmware and drivers hand out.
constexpr size_t kControllerAttributesSize = 540;
constexpr size_t kPciConfigSpaceSize = 4096;
std::vector<uint8_t> controller_attributes(const Adapter& adapter, const Function& function, bool nic);
std::vector<uint8_t> pci_config_space(const Adapter& adapter, const Function& function, bool nic);

}  // namespace vx::sim
