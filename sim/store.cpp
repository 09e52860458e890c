#include "sim/store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <optional>
#include <sstream>
#include <unordered_map>
#include <utility>

#include "access/wire.h"

namespace vx::sim {
namespace {

bool make_parent_dirs(const std::string& file) {
  size_t pos = 0;
  while ((pos = file.find('/', pos + 1)) != std::string::npos) {
    std::string dir = file.substr(0, pos);
    if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return true;
}

constexpr char kHex[] = "0123456789abcdef";
constexpr char kZeroRun = '.';       // followed by three hex digits: that many zero bytes
constexpr size_t kMinZeroRun = 3;
constexpr size_t kMaxZeroRun = 0xFFF;

// ---- what this process keeps of the files -------------------------------------------------------

using file_store::ReadResult;

constexpr int64_t kNanosecondsPerSecond = 1000000000;
// Beyond this (files of earlier roots, large LUN data) everything kept is forgotten.
constexpr size_t kMaxKeptBytes = 16u << 20;

int64_t nanoseconds(const struct timespec& t) {
  return static_cast<int64_t>(t.tv_sec) * kNanosecondsPerSecond + t.tv_nsec;
}

struct Identity {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  mode_t mode = 0;
  int64_t modified = 0;   // nanoseconds
  bool operator==(const Identity& o) const {
    return device == o.device && inode == o.inode && size == o.size && mode == o.mode && modified == o.modified;
  }
};

Identity identity_of(const struct stat& st) {
  return {st.st_dev, st.st_ino, st.st_size, st.st_mode, nanoseconds(st.st_mtim)};
}

// A file's content as last read or written, and the state parsed from it.
struct Kept {
  Identity identity;
  std::shared_ptr<const std::string> text = std::make_shared<const std::string>();
  const void* kind = nullptr;   // what `parsed` is a parse of
  std::shared_ptr<const void> parsed;
};

struct Memory {
  std::mutex mu;
  std::unordered_map<std::string, Kept> files;
  size_t bytes = 0;
};

// Never destroyed: the module may still be called from the library's exit handlers.
Memory& memory() {
  static Memory* m = new Memory;
  return *m;
}

bool recall(const std::string& file, const Identity& identity, Kept* out) {
  Memory& m = memory();
  std::lock_guard<std::mutex> lock(m.mu);
  auto it = m.files.find(file);
  if (it == m.files.end() || !(it->second.identity == identity)) return false;
  *out = it->second;
  return true;
}

void forget(const std::string& file) {
  Memory& m = memory();
  std::lock_guard<std::mutex> lock(m.mu);
  auto it = m.files.find(file);
  if (it == m.files.end()) return;
  m.bytes -= it->second.text->size();
  m.files.erase(it);
}

void keep(const std::string& file, const Kept& kept) {
  Memory& m = memory();
  std::lock_guard<std::mutex> lock(m.mu);
  auto it = m.files.find(file);
  if (it != m.files.end()) m.bytes -= it->second.text->size();
  if (m.bytes + kept.text->size() > kMaxKeptBytes) {
    m.files.clear();
    m.bytes = 0;
  }
  m.files[file] = kept;
  m.bytes += kept.text->size();
}

// The file's content now: from memory while the file is the one kept, else read under the file's
// lock (taken here unless `locked`: the caller holds it; a second lock of this process on the file
// would drop the first when it ends).
ReadResult current(const std::string& file, bool locked, Kept* out) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) {
    if (errno == ENOENT) {
      forget(file);
      return ReadResult::kMissing;
    }
  } else if (S_ISREG(st.st_mode) && recall(file, identity_of(st), out)) {
    return ReadResult::kRead;
  }
  std::optional<file_store::FileLock> lock;
  if (!locked) lock.emplace(file);
  std::string text;
  struct stat seen {};
  const ReadResult got = file_store::read_unlocked(file, &text, &seen);
  if (got != ReadResult::kRead) {
    forget(file);
    return got;
  }
  *out = Kept{identity_of(seen), std::make_shared<const std::string>(std::move(text)), nullptr, nullptr};
  keep(file, *out);
  return ReadResult::kRead;
}

// Stamps the new file (open as fd) with a modification time later than `after`, the replaced
// file's, and tells what it is now. False when the file system could not hold a later time: that
// file is then read again next time.
bool stamp(int fd, int64_t after, Identity* identity) {
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const int64_t at = std::max(nanoseconds(now), after + 1);
  const struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(at / kNanosecondsPerSecond),
                                                      static_cast<long>(at % kNanosecondsPerSecond)}};
  struct stat st {};
  if (::futimens(fd, times) != 0 || ::fstat(fd, &st) != 0 || nanoseconds(st.st_mtim) <= after) return false;
  *identity = identity_of(st);
  return true;
}

// A read-modify-write under the file's lock: `next_of` makes the new content from the current one
// (false declines); a text equal to the existing file's writes nothing.
bool rewrite(const std::string& file, const std::function<bool(const Kept& now, bool existed, Kept* next)>& next_of) {
  std::optional<file_store::FileLock> lock(std::in_place, file);
  if (!lock->held()) {
    if (!make_parent_dirs(file)) return false;
    lock.emplace(file);
    if (!lock->held()) return false;
  }
  Kept now;
  const ReadResult got = current(file, /*locked=*/true, &now);
  if (got == ReadResult::kFailed) return false;
  const bool existed = got == ReadResult::kRead;
  if (!existed) now = Kept{};
  Kept next;
  if (!next_of(now, existed, &next)) return false;
  if (existed && *next.text == *now.text) {
    next.identity = now.identity;
    keep(file, next);
    return true;
  }
  bool known = false;
  const int64_t after = existed ? now.identity.modified : 0;
  if (!file_store::swap_unlocked(file, *next.text, 0644, [&](int fd) {
        known = stamp(fd, after, &next.identity);
        return true;
      })) {
    return false;
  }
  if (known) {
    keep(file, next);
  } else {
    forget(file);
  }
  return true;
}

int nibble(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;
}

}  // namespace

// Bytes as hex, with runs of zero bytes (most of a login-options block) written short: the state
// file, and the cost of rewriting it, stays small however many sessions it holds.
std::string to_hex(const std::string& bytes) {
  std::string out(2 * bytes.size(), '\0');   // a run of zeros never takes more room than its digits
  char* at = out.data();
  for (size_t i = 0; i < bytes.size();) {
    size_t run = 0;
    while (i + run < bytes.size() && bytes[i + run] == '\0' && run < kMaxZeroRun) ++run;
    if (run >= kMinZeroRun) {
      *at++ = kZeroRun;
      for (int shift = 8; shift >= 0; shift -= 4) *at++ = kHex[(run >> shift) & 15];
      i += run;
      continue;
    }
    for (const size_t end = i + std::max<size_t>(run, 1); i < end; ++i) {
      const auto c = static_cast<unsigned char>(bytes[i]);
      *at++ = kHex[c >> 4];
      *at++ = kHex[c & 15];
    }
  }
  out.resize(static_cast<size_t>(at - out.data()));
  return out;
}

std::string from_hex(const std::string& text) {
  std::string out;
  for (size_t i = 0; i + 1 < text.size();) {
    if (text[i] == kZeroRun && i + 3 < text.size()) {
      out.append(static_cast<size_t>(nibble(text[i + 1]) << 8 | nibble(text[i + 2]) << 4 | nibble(text[i + 3])), '\0');
      i += 4;
      continue;
    }
    out += static_cast<char>(nibble(text[i]) << 4 | nibble(text[i + 1]));
    i += 2;
  }
  return out;
}

Store::Store(std::string root) : root_(std::move(root)) {
  while (!root_.empty() && root_.back() == '/') root_.pop_back();
}

std::string Store::host_file(const std::string& absolute) const { return root_ + absolute; }

std::string Store::adapter_file(const std::string& serial, const std::string& relative) const {
  return root_ + kStateDirectory + "/" + serial + "/" + relative;
}

file_store::ReadResult Store::read(const std::string& file, std::string* out) const {
  Kept now;
  const ReadResult got = current(file, /*locked=*/false, &now);
  if (got == ReadResult::kRead) *out = *now.text;
  return got;
}

bool Store::update(const std::string& file,
                   const std::function<bool(std::string& content, bool existed)>& edit) const {
  return rewrite(file, [&](const Kept& now, bool existed, Kept* next) {
    std::string content = *now.text;
    if (!edit(content, existed)) return false;
    next->text = std::make_shared<const std::string>(std::move(content));
    return true;
  });
}

Store::AnyState Store::load_any(const std::string& file, const void* kind, const AnyParse& parse) const {
  Kept now;
  const ReadResult got = current(file, /*locked=*/false, &now);
  if (got == ReadResult::kFailed) return nullptr;
  if (got == ReadResult::kMissing) return parse("");
  if (now.kind == kind && now.parsed != nullptr) return now.parsed;
  AnyState state = parse(*now.text);
  // An empty file reads as a factory state, which is no parse of its text alone.
  if (state == nullptr || now.text->empty()) return state;
  now.kind = kind;
  now.parsed = state;
  keep(file, now);
  return state;
}

bool Store::change_any(const std::string& file, const void* kind, const AnyParse& parse, const AnyEdit& edit) const {
  return rewrite(file, [&](const Kept& now, bool existed, Kept* next) {
    const AnyState state = now.kind == kind && now.parsed != nullptr ? now.parsed : parse(existed ? *now.text : "");
    if (state == nullptr) return false;
    std::string text;
    AnyState changed = edit(state.get(), &text);
    if (changed == nullptr) return false;
    *next = Kept{{}, std::make_shared<const std::string>(std::move(text)), kind, std::move(changed)};
    return true;
  });
}

bool Store::make_dirs(const std::string& file) { return make_parent_dirs(file); }

bool Store::append_line(const std::string& file, const std::string& line) const {
  if (!make_parent_dirs(file)) return false;
  const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const bool ok = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  return ::close(fd) == 0 && ok;
}

std::string object_file_name(const std::string& object_name) {
  static const char kHex[] = "0123456789ABCDEF";
  // Names that escape to more than a file name holds are written whole in hexadecimal behind '~',
  // which the escaped form never starts with.
  constexpr size_t kLongest = 200;
  std::string out;
  for (unsigned char c : object_name) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
                 (c == '.' && !out.empty());
    if (plain) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  if (out.size() <= kLongest) return out;
  out = "~";
  for (unsigned char c : object_name) {
    out.push_back(kHex[c >> 4]);
    out.push_back(kHex[c & 15]);
  }
  return out;
}

std::string esx_conf_line(int bus, int device, int function, const std::string& name) {
  char key[64];
  std::snprintf(key, sizeof key, "/device/%03d:%02d.%d/vmkname", bus, device, function);
  return std::string(key) + " = \"" + name + "\"\n";
}

bool write_esx_conf(const Store& store, const std::vector<Adapter>& adapters, bool only_if_missing) {
  bool any = false;
  for (const Adapter& a : adapters) any = any || !a.nic_functions.empty();
  bool left_alone = false;
  bool written = store.update(store.host_file(wire::kEsxConfPath), [&](std::string& content, bool existed) {
    left_alone = (existed && only_if_missing) || (!existed && !any);
    if (left_alone) return false;
    // Drop every vmkname line of our adapters' PCI addresses, then write the current ones.
    std::istringstream in(content);
    std::string kept;
    std::string line;
    while (std::getline(in, line)) {
      bool ours = false;
      for (const Adapter& a : adapters) {
        for (int fn = 0; fn <= kMaxFunctionNumber && !ours; ++fn) {
          std::string key = esx_conf_line(a.bus, a.device, fn, "");
          key = key.substr(0, key.find(" = "));
          ours = line.compare(0, key.size(), key) == 0;
        }
      }
      if (!ours) kept += line + "\n";
    }
    for (const Adapter& a : adapters) {
      for (const Function& f : a.nic_functions) kept += esx_conf_line(a.bus, a.device, f.number, f.name);
    }
    content = std::move(kept);
    return true;
  });
  return written || left_alone;
}

}  // namespace vx::sim
