// Handlers still waiting for their behaviour (see pending.cpp).
#pragma once

#include <cstddef>

#include "schema/handlers.h"

namespace vx {

struct PendingHandler {
  const char* name;
  const void* address;
};
extern const PendingHandler kPendingHandlers[];
extern const size_t kPendingHandlerCount;

}  // namespace vx
