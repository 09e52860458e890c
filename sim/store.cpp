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

// Holds a whole-file fcntl lock on "<file>.lock" for its life. The lock file is never renamed over,
// so every process locks the same inode.
class FileLock {
 public:
  FileLock(const std::string& file, bool exclusive) {
    std::string lock_path = file + ".lock";
    if (exclusive && !make_parent_dirs(lock_path)) return;
    // Readers never create the lock file: a file that was never written has none, and the
    // rename makes every write appear whole anyway.
    fd_ = ::open(lock_path.c_str(), O_RDWR | O_CLOEXEC | (exclusive ? O_CREAT : 0), 0644);
    if (fd_ < 0) return;
    struct flock fl {};
    fl.l_type = exclusive ? F_WRLCK : F_RDLCK;
    fl.l_whence = SEEK_SET;
    int rc;
    do {
      rc = ::fcntl(fd_, F_SETLKW, &fl);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~FileLock() {
    if (fd_ >= 0) ::close(fd_);   // closing drops the lock
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

bool read_whole(const std::string& file, std::string* out) {
  int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::string data;
  char buf[8192];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    data.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  *out = std::move(data);
  return true;
}

bool write_atomically(const std::string& file, const std::string& content) {
  std::string temp = file + ".tmp." + std::to_string(::getpid());
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t done = 0;
  bool ok = true;
  while (done < content.size()) {
    ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    done += static_cast<size_t>(n);
  }
  if (ok && ::fsync(fd) != 0) ok = false;
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(temp.c_str(), file.c_str()) != 0) ok = false;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  std::string dir = file.substr(0, file.rfind('/'));
  int dfd = ::open(dir.empty() ? "/" : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return true;
}

}  // namespace

Store::Store(std::string root) : root_(std::move(root)) {
  while (!root_.empty() && root_.back() == '/') root_.pop_back();
}

std::string Store::host_file(const std::string& absolute) const { return root_ + absolute; }

std::string Store::adapter_file(const std::string& serial, const std::string& relative) const {
  return root_ + kStateDirectory + "/" + serial + "/" + relative;
}

bool Store::read(const std::string& file, std::string* out) const {
  FileLock lock(file, /*exclusive=*/false);
  return read_whole(file, out);
}

bool Store::update(const std::string& file,
                   const std::function<bool(std::string& content, bool existed)>& edit) const {
  if (!make_parent_dirs(file)) return false;
  FileLock lock(file, /*exclusive=*/true);
  if (!lock.held()) return false;
  std::string content;
  bool existed = read_whole(file, &content);
  if (!existed) content.clear();
  if (!edit(content, existed)) return false;
  return write_atomically(file, content);
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
