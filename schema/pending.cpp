// Handlers whose behaviour is not built yet would be listed here, each answering 149 "This Operation
// is not supported."; every handler of the tables has its behaviour now, so the list is empty.
#include "schema/pending.h"

namespace vx {

const PendingHandler* const kPendingHandlers = nullptr;
const size_t kPendingHandlerCount = 0;

}  // namespace vx
