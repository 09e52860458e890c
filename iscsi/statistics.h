// Statistics the firmware keeps: the node, initiator-instance and login statistics of a logical HBA
// (group iSCSIStatistics), the statistics of each Session (iSCSISessionStatistics) and the
// target alias they carry. Each read asks the firmware afresh and refreshes the whole group.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/hm.h"

namespace vx {

constexpr uint32_t kStatusSessionClosed = 35;
constexpr uint32_t kStatusNodeAttributes = 91;
constexpr uint32_t kStatusSessionAttributes = 92;
constexpr uint32_t kStatusInitiatorStats = 95;
constexpr uint32_t kStatusLoginStats = 96;

// How a field of a statistics record is shown.
enum class Shown : uint8_t { kDecimal, kHex, kText, kAddress, kSessionFailure, kLoginFailure };
struct StatRow {
  size_t offset;
  uint8_t width;       // bytes of a number; of a text, its field size
  Shown shown;
  const char* property;
};

// Writes the fields of `record` (`size` bytes) into the group's properties. Fields the record does
// not hold and values outside a code table leave their property as it is. 0 when every write
// succeeded.
uint32_t publish_stats(hm_node* group, const uint8_t* record, size_t size, const StatRow* rows, size_t count);
// The entry of a session-attributes answer for `session_id`; NULL when the answer (as many entries
// as its count says, the ids asked and `size` allow) has none.
const uint8_t* find_session_entry(const uint8_t* reply, size_t size, size_t asked, uint32_t session_id);

uint32_t get_NodeAttr_Params(int32_t port, int32_t domain, int32_t phba_port, hm_node* lhba);
uint32_t get_intr_stats_Params(int32_t port, int32_t domain, int32_t phba_port, hm_node* lhba);
uint32_t get_login_stats_Params(int32_t port, int32_t domain, int32_t phba_port, hm_node* lhba);
uint32_t get_ssnAttr_Params(int32_t port, int32_t domain, int32_t phba_port, hm_node* session);

// The rows of the session statistics entry (for the readers that decode it elsewhere).
extern const StatRow kSessionStatRows[];
extern const size_t kSessionStatRowCount;

}  // namespace vx
