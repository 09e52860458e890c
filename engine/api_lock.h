// The one funnel of every exported entry point: it takes the process-wide API lock, refuses calls
// made while no client is started, clears the last status, catches every exception and runs a
// requested tree rebuild when the outermost call of the thread ends.
//
// The lock is recursive (a handler's own calls, even a nested public call from the same thread,
// go through) and waits at most one second (status 14). It exists for the whole process, so a
// call made before the first VARU_init or after the last VARU_exit fails cleanly with 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "engine/hm.h"

namespace vx {

enum class CallNeeds : uint8_t {
  kTree,      // works on the tree: refused with 1 while no client is started
  kNothing,   // VARU_init, VARU_exit, VARU_get_last_status
};

enum class StatusReset : uint8_t { kClear, kKeep };

using PublicBody = uint32_t (*)(void* context);

// Runs body(context) inside the funnel; `name` is the call's name for the time-out log line.
uint32_t run_public_call(const char* name, CallNeeds needs, StatusReset reset, PublicBody body, void* context);

template <typename Fn>
uint32_t public_call(const char* name, CallNeeds needs, StatusReset reset, Fn&& fn) {
  return run_public_call(
      name, needs, reset, [](void* context) -> uint32_t { return (*static_cast<Fn*>(context))(); },
      static_cast<void*>(&fn));
}

template <typename Fn>
uint32_t public_call(const char* name, Fn&& fn) {
  return public_call(name, CallNeeds::kTree, StatusReset::kClear, std::forward<Fn>(fn));
}

// Number of started clients. Read and changed only inside the funnel (under the lock).
int32_t& client_count();
// Nesting depth of public calls on this thread (0 = not inside one).
int call_depth();
// Names the outermost public call the thread is in (each one gets a new number); 0 outside one.
uint64_t outermost_call_serial();
// Drops a rebuild requested during a call that tears the tree down anyway.
void cancel_tree_rebuild();
// Builds the tree because the caller asked for it (VARU_init), as init_hm does. While it runs,
// tree_build_asked() is true: a rebuild after the adapters changed under the process is not asked
// for, and what the process chose for the old tree is not dropped by it as by its own start-up.
int init_hm_asked();
bool tree_build_asked();

// ---- helpers shared by the public calls and the persistence text (api.cpp); under the lock ----

// Reads a property's value through its handler, or its cached value when it has none, into a
// 256-byte buffer.
uint32_t read_property(hm_node* prop, char* out);
// May `action_node` (an action or a link to one) run on `target_node`? Only on the group it
// belongs to; a global action under "ROOT" on any group.
bool action_belongs_to(hm_node* action_node, hm_node* target_node);
// Runs the action's handler with `new_tags` as the new-tags list ("Not Implimented" and 1 without
// a handler). *created, when given, receives the number of tags the handler's builders reported.
uint32_t run_action(hm_node* target, hm_node* action, char params[kParamCount][kValueSize], uint32_t* new_tags,
                    uint32_t* created = nullptr);
// Values are texts a user can read back: control characters are refused (UTF-8 is not).
bool printable_text(const char* text, size_t length);

// The six parameter texts of a group or link's creating action; NULL when none were recorded.
char (*persistence_params(hm_node* node))[kValueSize];

}  // namespace vx
