#include "sim/store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <sstream>
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
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    size_t run = 0;
    while (i + run < bytes.size() && bytes[i + run] == '\0' && run < kMaxZeroRun) ++run;
    if (run >= kMinZeroRun) {
      out += kZeroRun;
      for (int shift = 8; shift >= 0; shift -= 4) out += kHex[(run >> shift) & 15];
      i += run;
      continue;
    }
    const auto c = static_cast<unsigned char>(bytes[i++]);
    out += kHex[c >> 4];
    out += kHex[c & 15];
  }
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
  return file_store::read(file, out);
}

bool Store::update(const std::string& file,
                   const std::function<bool(std::string& content, bool existed)>& edit) const {
  return make_parent_dirs(file) && file_store::update_file(file, edit);
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
