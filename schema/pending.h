// Handlers still waiting for their behaviour (see pending.cpp).
#pragma once

#include <cstddef>

#include "schema/handlers.h"

namespace vx {

struct PendingHandler {
  const char* name;
  const void* address;
};
extern const PendingHandler* const kPendingHandlers;   // kPendingHandlerCount entries
extern const size_t kPendingHandlerCount;

}  // namespace vx
