// Counted allocation, the engine log "varu2d.log" and the log-level file.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>

#include "platform/file_store.h"
#include "platform/platform.h"
#include "engine/hm.h"

// The log keeps growing for the life of the host: the 32-bit build must open and append to files
// of 2 GiB and more (the build defines _FILE_OFFSET_BITS=64).
static_assert(sizeof(off_t) == 8, "large-file support is required");

namespace vx {
namespace {

constexpr const char* kLogPath = "/tmp/varu2d.log";
constexpr const char* kLogDir = "/tmp";
constexpr const char* kLevelDir = "/scratch/Talvix";
constexpr const char* kLevelPath = "/scratch/Talvix/libvaru.conf";
constexpr const char* kLevelKey = "VARULogLevel ";
constexpr const char* kLevelFileText =
    "#VARULogLevel: Control the number of messages logged to the varu2d.log file.\n"
    "#Possible values are 0 - Disabled, 1 - FATAL, 2 - CRITICAL, 3 - ERROR, 4 - WARNING, 5 - INFORMATION, "
    "6 - DEBUG.\nVARULogLevel ";
constexpr size_t kLevelLineChars = 255;
constexpr uint32_t kDebugSubsystems = 3;   // engine (1) and back end (2)

std::atomic<uint32_t> varu_counter{0};
std::atomic<int32_t> g_debug_level{0};
std::mutex g_log_mutex;
FILE* varu_log_fp = nullptr;

const char* level_tag(int32_t level) {
  switch (level) {
    case 1: return "FATAL:";
    case 2: return "CRITICAL:";
    case 3: return "ERROR:";
    case 4: return "Warning:";
    case 5: return "INFO:";
    default: return "";
  }
}

}  // namespace

void* varu_dmalloc(uint32_t size) {
  varu_counter.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size == 0 ? 1 : size);
}

void* varu_dcalloc(uint32_t size) {
  varu_counter.fetch_add(1, std::memory_order_relaxed);
  return std::calloc(1, size == 0 ? 1 : size);
}

char* varu_dstrdup(const char* s) {
  varu_counter.fetch_add(1, std::memory_order_relaxed);
  return ::strdup(s == nullptr ? "" : s);
}

void varu_dfree(void* p) {
  if (p == nullptr) return;
  varu_counter.fetch_sub(1, std::memory_order_relaxed);
  std::free(p);
}

uint32_t varu_alloc_count() { return varu_counter.load(std::memory_order_relaxed); }

int32_t varu_debug_level() { return g_debug_level.load(std::memory_order_relaxed); }
void varu_set_debug_level_value(int32_t level) { g_debug_level.store(level, std::memory_order_relaxed); }

bool pdebug_enabled(uint32_t subsystem_mask, int32_t level) {
  return (subsystem_mask & kDebugSubsystems) != 0 && level <= varu_debug_level();
}

void pdebug(uint32_t subsystem_mask, int32_t level, const char* fmt, ...) {
  if (!pdebug_enabled(subsystem_mask, level) || fmt == nullptr) return;
  std::lock_guard<std::mutex> guard(g_log_mutex);
  if (varu_log_fp == nullptr) return;
  time_t now = std::time(nullptr);
  char when[64] = "";
  if (::ctime_r(&now, when) != nullptr) when[std::strcspn(when, "\n")] = '\0';
  std::fprintf(varu_log_fp, "%s,%d,   %s", when, static_cast<int>(::getpid()), level_tag(level));
  va_list ap;
  va_start(ap, fmt);
  std::vfprintf(varu_log_fp, fmt, ap);
  va_end(ap);
  std::fflush(varu_log_fp);
}

bool varu_log_open() {
  std::lock_guard<std::mutex> guard(g_log_mutex);
  if (varu_log_fp != nullptr) return true;
  // "/tmp" is everyone's: the log is opened as the IMA log is, never through a link planted there.
  std::string path = host_path(kLogPath);
  int fd = open_shared_dir_log(path, 0644);
  if (fd < 0 && errno == ENOENT) {   // a fresh stand-in root has no /tmp yet
    make_dirs(host_path(kLogDir));
    fd = open_shared_dir_log(path, 0644);
  }
  if (fd < 0) return false;
  varu_log_fp = ::fdopen(fd, "a");
  if (varu_log_fp == nullptr) ::close(fd);
  return varu_log_fp != nullptr;
}

void varu_log_close() {
  std::lock_guard<std::mutex> guard(g_log_mutex);
  if (varu_log_fp != nullptr) std::fclose(varu_log_fp);
  varu_log_fp = nullptr;
}

namespace {

// Takes the level from the level file's text; a bad value is replaced by the level in force once
// the whole text has been read.
void apply_level_text(const std::string& content) {
  bool rewrite = false;
  // Read in pieces of at most 255 characters, each up to and with its newline: a longer line is
  // read as several pieces.
  size_t at = 0;
  while (at < content.size()) {
    size_t newline = content.find('\n', at);
    size_t line_end = newline == std::string::npos ? content.size() : newline + 1;
    std::string line = content.substr(at, std::min<size_t>(line_end - at, kLevelLineChars));
    at += line.size();
    if (line.find(kLevelKey) == std::string::npos) continue;
    // The value is the second token between blanks; a key without a number after it counts as
    // out of range.
    size_t key = line.find_first_not_of(' ');
    size_t gap = line.find(' ', key);
    size_t value = gap == std::string::npos ? std::string::npos : line.find_first_not_of(' ', gap);
    long level = -1;
    if (value != std::string::npos) {
      std::string token = line.substr(value, line.find(' ', value) - value);
      char* end = nullptr;
      errno = 0;
      level = std::strtol(token.c_str(), &end, 10);
      if (end == token.c_str()) level = -1;
    }
    if (level >= 0 && level <= 6) {
      varu_set_debug_level_value(static_cast<int32_t>(level));
    } else {
      rewrite = true;
    }
  }
  if (rewrite) VARU_set_debug_level();
}

}  // namespace
}  // namespace vx

using namespace vx;

extern "C" {

VARU_API uint32_t VARU_set_debug_level(void) {
  std::string text = std::string(kLevelFileText) + std::to_string(varu_debug_level());
  make_dirs(host_path(kLevelDir));
  return file_store::write_file(host_path(kLevelPath), text, 0644) ? 0 : 1;
}

VARU_API uint32_t VARU_get_debug_level(void) {
  std::string content;
  if (!file_store::read_file(host_path(kLevelPath), &content)) return 1;
  apply_level_text(content);
  return 0;
}

VARU_API uint32_t VARU_update_loglevel(void) {
  std::string path = host_path(kLevelPath);
  std::string content;
  // Only a missing file is written anew; one that exists but cannot be read is left as it is.
  switch (file_store::read(path, &content)) {
    case file_store::ReadResult::kRead: apply_level_text(content); break;
    case file_store::ReadResult::kMissing: VARU_set_debug_level(); break;
    case file_store::ReadResult::kFailed: pdebug(1, 3, "%s:Failed to read %s\n", __func__, kLevelPath); break;
  }
  if (::access(path.c_str(), R_OK) == 0) ::chmod(path.c_str(), 0644);
  return 0;
}

}  // extern "C"
