// The plug-in's lifecycle (counted opens that start and stop the hierarchy, the owner id), the
// front end's log, and the entry points that need no hierarchy.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "platform/platform.h"
#include "ima/front.h"

namespace vx {
namespace {

constexpr const char* kImaLogPath = "/tmp/ima.log";
constexpr size_t kLogLineSize = 2048;

// Two host threads may start or stop the plug-in at once: the count, the flag and the owner id
// change together under one mutex.
std::mutex g_lifecycle_mutex;
int32_t open_count = 0;
bool driver_initialized = false;
std::atomic<uint32_t> MyOwnerId{0};

void driver_open() {
  ++open_count;
  if (driver_initialized) return;
  const uint32_t status = VARU_init();
  if (status != 0) ppdebug("VARU_init status is %d\n", static_cast<int>(status));
  driver_initialized = true;
}

void driver_close() {
  if (!driver_initialized || open_count <= 0) return;
  if (--open_count > 0) return;
  VARU_exit();
  driver_initialized = false;
}

}  // namespace

uint32_t ima_owner_id() { return MyOwnerId.load(std::memory_order_acquire); }

void ppdebug(const char* fmt, ...) {
  char line[kLogLineSize];
  va_list ap;
  va_start(ap, fmt);
  const int length = std::vsnprintf(line, sizeof line, fmt, ap);
  va_end(ap);
  if (length <= 0) return;
  // Appended, never through a symbolic link planted at the log's name; one write per line.
  const int fd = open_shared_dir_log(host_path(kImaLogPath), 0644);
  if (fd < 0) return;
  const size_t size = std::min(static_cast<size_t>(length), sizeof line - 1);
  if (::write(fd, line, size) < 0) {
    // A line that cannot be written is dropped; the caller goes on.
  }
  ::close(fd);
}

}  // namespace vx

using namespace vx;

extern "C" {

IMA_API IMA_STATUS IMA_VMW_PluginInit(IMA_UINT32 ownerId) {
  std::lock_guard<std::mutex> guard(g_lifecycle_mutex);
  driver_open();
  MyOwnerId.store(ownerId, std::memory_order_release);
  return IMA_STATUS_SUCCESS;
}

IMA_API void IMA_VMW_PluginCleanup(void) {
  std::lock_guard<std::mutex> guard(g_lifecycle_mutex);
  driver_close();
}

IMA_API IMA_STATUS IMA_FreeMemory(void* memory) {
  std::free(memory);
  return IMA_STATUS_SUCCESS;
}

IMA_API IMA_STATUS IMA_GetPluginProperties(IMA_OID, IMA_PLUGIN_PROPERTIES* props) {
  return props == nullptr ? IMA_ERROR_INVALID_PARAMETER : IMA_ERROR_NOT_SUPPORTED;
}

IMA_API IMA_STATUS IMA_PersistHbaParameters(IMA_OID) { return IMA_ERROR_NOT_SUPPORTED; }

IMA_API IMA_STATUS IMA_VMW_SetDebugLevel(IMA_UINT) { return IMA_ERROR_NOT_SUPPORTED; }

}  // extern "C"
