// The API lock and the public-call funnel.
#include "engine/api_lock.h"

#include <pthread.h>
#include <time.h>

#include <atomic>
#include <cassert>
#include <cerrno>
#include <cstring>
#include <exception>
#include <thread>

namespace vx {
namespace {

constexpr time_t kLockWaitSeconds = 1;

// Initialised before any code runs and never destroyed: no call can race its creation or find it
// freed, also not a call made during the process's exit.
pthread_mutex_t g_api_lock = PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP;

// Waits until the time of day plus one second, with pthread_mutex_timedlock: the standard timed
// mutexes wait with pthread_mutex_clocklock, which ThreadSanitizer does not intercept (it then takes
// every unlock for an error).
bool acquire_api_lock() {
  timespec deadline{};
  ::clock_gettime(CLOCK_REALTIME, &deadline);
  deadline.tv_sec += kLockWaitSeconds;
  int rc;
  do {
    rc = ::pthread_mutex_timedlock(&g_api_lock, &deadline);
  } while (rc == EINTR);
  return rc == 0;
}

int32_t g_clients = 0;          // guarded by the API lock
bool g_rebuild_pending = false; // guarded by the API lock
// The thread inside a public call and its nesting depth. Only the lock's holder changes them, so
// no thread-local storage is needed (which would tie the 32-bit library to the dynamic loader).
int g_depth = 0;                // guarded by the API lock
uint64_t g_call_serial = 0;     // outermost calls begun; guarded by the API lock
bool g_build_asked = false;     // guarded by the API lock
// Work left for the end of the outermost call (run_at_call_end): a few functions at most, in a
// plain array that no exit-time destructor frees under a late call.
void (*g_at_call_end[kCallEndSlots])() = {};   // guarded by the API lock
int g_at_call_end_count = 0;                    // guarded by the API lock
std::atomic<std::thread::id> g_owner{};

// A rebuild asked for while the tree is being built is run too, up to this many builds in all;
// beyond that the next request that sees the change asks again.
constexpr int kRebuildRounds = 3;

// Tears the tree down and builds it again; the caller's status and new-tags list are kept out of
// it (the list is not set while the tree is rebuilt, so the rebuild reports no tags).
void run_tree_rebuild() {
  uint32_t* saved_tags = varu_internal_new_tags;
  uint32_t saved_index = new_tag_index;
  varu_internal_new_tags = nullptr;
  new_tag_index = 0;
  uint32_t code = 0;
  char text[kStatusTextSize];
  varu_get_last_status(&code, text);
  // The devices can change again while the tree is built (its start-up sends commands for a
  // while); such a change asks for one more build.
  for (int round = 0; round < kRebuildRounds && g_rebuild_pending; ++round) {
    g_rebuild_pending = false;
    exit_hm();
    // A failed bootstrap leaves no tree: calls fail with 1 until a VARU_init builds one.
    if (init_hm() != 0) break;
  }
  if (g_rebuild_pending) pdebug(1, 3, "%s:The devices kept changing while the tree was built.\n", __func__);
  g_rebuild_pending = false;
  varu_set_last_status(code, text);
  varu_internal_new_tags = saved_tags;
  new_tag_index = saved_index;
}

// Runs what the call's handlers left for its end, with the caller's last status kept.
void run_call_end_work() {
  uint32_t code = 0;
  char text[kStatusTextSize];
  varu_get_last_status(&code, text);
  // Work added meanwhile (by other work) runs too.
  for (int i = 0; i < g_at_call_end_count; ++i) g_at_call_end[i]();
  varu_set_last_status(code, text);
}

}  // namespace

int32_t& client_count() { return g_clients; }
bool in_public_call() { return g_owner.load() == std::this_thread::get_id(); }
int call_depth() { return in_public_call() ? g_depth : 0; }
uint64_t outermost_call_serial() { return in_public_call() ? g_call_serial : 0; }
void cancel_tree_rebuild() { g_rebuild_pending = false; }
bool tree_build_asked() { return g_build_asked; }

int init_hm_asked() {
  struct Asked {
    Asked() { g_build_asked = true; }
    ~Asked() { g_build_asked = false; }
  } asked;
  return init_hm();
}

uint32_t run_public_call(const char* name, CallNeeds needs, StatusReset reset, PublicBody body, void* context) {
  if (!acquire_api_lock()) {
    pdebug(1, 3, "%s:Failed to acquire lock.\n", name);
    return kStatusLockTimeout;
  }
  if (g_depth++ == 0) {
    ++g_call_serial;
    g_owner.store(std::this_thread::get_id());
  }
  uint32_t result = kStatusFailed;
  try {
    if (reset == StatusReset::kClear) varu_set_last_status(kStatusOk, "");
    if (needs == CallNeeds::kNothing || g_clients > 0) result = body(context);
  } catch (...) {
    // Nothing may unwind into the caller's C code.
    result = kStatusFailed;
  }
  if (g_depth == 1 && g_at_call_end_count > 0) {
    try {
      if (g_clients > 0) run_call_end_work();
    } catch (...) {
    }
    g_at_call_end_count = 0;   // also work left with no client, which would find no tree
  }
  if (g_depth == 1 && g_rebuild_pending) {
    try {
      if (g_clients > 0) run_tree_rebuild();
    } catch (...) {
    }
    g_rebuild_pending = false;
  }
  if (--g_depth == 0) g_owner.store(std::thread::id());
  ::pthread_mutex_unlock(&g_api_lock);
  return result;
}

void run_at_call_end(void (*fn)()) {
  if (!in_public_call() || fn == nullptr) return;
  for (int i = 0; i < g_at_call_end_count; ++i) {
    if (g_at_call_end[i] == fn) return;
  }
  if (g_at_call_end_count >= kCallEndSlots) {
    // A function dropped unseen would leave its work undone (nodes never freed) without a trace.
    pdebug(1, 1, "%s:More than %d functions for the end of one call: one is dropped.\n", __func__, kCallEndSlots);
    assert(!"more functions for the end of one call than kCallEndSlots");
    return;
  }
  g_at_call_end[g_at_call_end_count++] = fn;
}

void request_tree_rebuild() {
  if (in_public_call()) {
    g_rebuild_pending = true;   // the lock is held by this thread
    return;
  }
  // Outside a public call: run it now, as one call of its own.
  public_call("request_tree_rebuild", CallNeeds::kTree, StatusReset::kKeep, []() -> uint32_t {
    g_rebuild_pending = true;
    return kStatusOk;
  });
}

}  // namespace vx
