// "RetrieveFwCliData": runs a string on the firmware's command line through the segment read
// (component 3, segment 0xFFFFFFFF) and keeps exactly the bytes the firmware answered.
#include <unistd.h>

#include <cstring>

#include "access/fw_commands.h"
#include "access/walks.h"
#include "adapter/controller_attribs.h"
#include "engine/messages.h"
#include "maintenance/controller_target.h"
#include "maintenance/core_dump.h"
#include "maintenance/output_file.h"
#include "schema/handlers.h"

namespace vx {

uint32_t do_RetrieveFwCliData(hm_node* controller, hm_node* action, char params[6][256]) {
  if (vm_flag == 1 || get_vx_type(controller) == kGenerationQuenta) {
    pdebug(kBackEnd, 3, "%s: not on a virtual function or a generation-4 adapter\n", __func__);
    return 1;
  }
  const char* file = params[0];
  params[0][kValueSize - 1] = '\0';
  const size_t length = strnlen(params[1], kValueSize - 1);
  ::unlink(file);
  ControllerTarget t;
  if (!controller_target(controller, action, &t)) return 1;
  auto* buffer = static_cast<uint8_t*>(varu_dcalloc(kCliRequestSize));
  if (buffer == nullptr) return fail_action(kStatusInsufficientBuffer, msg::kInsufficientBuffer);
  const coredump_seg_request fields{kCliComponent, kCliSegment, 0, 0, kSegmentPieceMax, static_cast<uint32_t>(length)};
  std::memcpy(buffer, &fields, sizeof fields);
  std::memcpy(buffer + sizeof fields, params[1], length);
  uint32_t result = 0;
  if (ioctl_get_coredump_seg(t.port, buffer, kCliRequestSize, t.domain, t.port_number, t.protocol) != 0) {
    result = fail_action(kStatusSegmentFailed, msg::kCoreDumpSegmentFailed);
  } else {
    uint32_t words[2];
    std::memcpy(words, buffer, sizeof words);
    if (words[0] == kCliUnsupported) {
      fail(kStatusCliUnsupported, "%s", msg::kFwCliUnsupported);
      result = kStatusCliUnsupported;
    } else if (words[0] != 0) {
      result = fail_action(kStatusSegmentFailed, msg::kCoreDumpSegmentFailed);
    } else {
      // The output is what the reply holds: its byte count, never past the reply.
      const uint32_t count = words[1] < kCliReplyMax ? words[1] : kCliReplyMax;
      OutputFile out;
      if (!out.create_new(file) || !out.write(buffer + kSegmentDataOffset, count) || !out.close()) {
        result = fail_action(kStatusInvalidFileName, msg::kInvalidFileName);
      }
    }
  }
  varu_dfree(buffer);
  return result;
}

}  // namespace vx
