// What a simulated adapter keeps across processes: its flash objects and persisted settings, in
// files under <root>/var/lib/vxsim/<serial>/, and the host files that its drivers write
// (the vmnic lines of /etc/vmware/esx.conf). Files go through the steps of the library's own file
// store (platform/file_store.cpp, compiled into the module): every change is a read-modify-write
// under a whole-file fcntl lock on "<file>.lock", written over a temporary file and swapped into
// place in one step, so two processes that load the module on one root see one adapter, and a
// process killed while it writes leaves the old content or the new. The adapter stands in for a
// device, not for a disk: nothing is fsync'd.
//
// A process keeps what it last read or wrote of each file, and the state parsed from it, and reads
// the file again only when another process replaced it. Every write stamps the new file with a
// modification time (nanoseconds) later than the one it replaces, so a file whose status (device,
// inode, size, mode, modification time) is the one kept holds the content kept.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_store.h"
#include "sim/config.h"

namespace vx::sim {

constexpr const char* kStateDirectory = "/var/lib/vxsim";

class Store {
 public:
  Store() = default;
  explicit Store(std::string root);

  // `absolute` (a host path such as /etc/vmware/esx.conf) under the root.
  std::string host_file(const std::string& absolute) const;
  // A file of an adapter's state directory; `relative` may hold one sub-directory.
  std::string adapter_file(const std::string& serial, const std::string& relative) const;

  // Whole content: kMissing only when the file does not exist; one that exists but cannot be read
  // is kFailed, never the factory state.
  file_store::ReadResult read(const std::string& file, std::string* out) const;
  // Runs `edit` on the current content (empty when missing; `existed` tells) under the file's
  // lock, making missing directories; when it returns true the result replaces the file
  // atomically (a result equal to the file writes nothing). False when `edit` declines or a step
  // fails (the old file is then untouched).
  bool update(const std::string& file, const std::function<bool(std::string& content, bool existed)>& edit) const;
  // Appends one line in a single write, unsynced (notes that tests read): lines of two processes
  // never mix. False when the file cannot be written.
  bool append_line(const std::string& file, const std::string& line) const;
  // Makes a host directory (and its parents) under the root; true when it exists.
  bool make_host_dir(const std::string& absolute) const { return make_dirs(host_file(absolute) + "/"); }

  // A state kept as the text of one file. `parse` makes it from the text ("" when the file is
  // missing; false when malformed), `print` makes the text.
  template <typename State>
  struct Format {
    std::function<bool(const std::string& text, State* out)> parse;
    std::function<std::string(const State&)> print;
  };
  // The file's state, parsed once per content; NULL when the file cannot be read or parsed.
  template <typename State>
  std::shared_ptr<const State> load(const std::string& file, const Format<State>& format) const {
    return std::static_pointer_cast<const State>(load_any(file, kind<State>(), erase(format)));
  }
  // A read-modify-write of the state under the file's lock: `edit` changes a copy, which replaces
  // the file unless its text is the same. False when `edit` declines, or the file cannot be read,
  // parsed or written (the old file is then untouched).
  template <typename State>
  bool change(const std::string& file, const Format<State>& format, const std::function<bool(State&)>& edit) const {
    return change_any(file, kind<State>(), erase(format), [&](const void* now, std::string* text) -> AnyState {
      auto next = std::make_shared<State>(*static_cast<const State*>(now));
      if (!edit(*next)) return nullptr;
      *text = format.print(*next);
      return next;
    });
  }

 private:
  static bool make_dirs(const std::string& file);
  using AnyState = std::shared_ptr<const void>;
  using AnyParse = std::function<AnyState(const std::string& text)>;
  // A change: the next state and its text from the current state; NULL declines.
  using AnyEdit = std::function<AnyState(const void* now, std::string* text)>;

  // One address per State type: what a kept parse is a parse of.
  template <typename State>
  static const void* kind() {
    static const char tag = 0;
    return &tag;
  }
  template <typename State>
  static AnyParse erase(const Format<State>& format) {
    return [&format](const std::string& text) -> AnyState {
      auto state = std::make_shared<State>();
      return format.parse(text, state.get()) ? state : nullptr;
    };
  }
  AnyState load_any(const std::string& file, const void* kind, const AnyParse& parse) const;
  bool change_any(const std::string& file, const void* kind, const AnyParse& parse, const AnyEdit& edit) const;

  std::string root_;
};

// File name of a flash object inside an adapter's "objects" directory: the object name with every
// byte outside [A-Za-z0-9._-] written as %XX, so any name maps to one flat file.
std::string object_file_name(const std::string& object_name);

// Bytes as lower-case hex digits, runs of zero bytes written short, and back (a digit that is no
// hex digit reads as 0).
std::string to_hex(const std::string& bytes);
std::string from_hex(const std::string& text);

// The line a driver writes for a NIC function: /device/BBB:DD.F/vmkname = "vmnicN".
std::string esx_conf_line(int bus, int device, int function, const std::string& name);

// Brings the vmkname lines of the adapters' NIC functions in step with `adapters` (other lines are
// kept). With `only_if_missing` an existing file is left alone.
bool write_esx_conf(const Store& store, const std::vector<Adapter>& adapters, bool only_if_missing);

}  // namespace vx::sim
