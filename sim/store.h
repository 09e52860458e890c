// What a simulated adapter keeps across processes: its flash objects and persisted settings, in
// files under <root>/var/lib/vxsim/<serial>/, and the host files that its drivers write
// (the vmnic lines of /etc/vmware/esx.conf). Files go through the library's own file store
// (platform/file_store.cpp, compiled into the module): every change is a read-modify-write under a
// whole-file fcntl lock on "<file>.lock", written to a temporary file, fsync'd and renamed into
// place, so two processes that load the module on one root see one adapter.
#pragma once

#include <functional>
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

  // Whole content under the file's lock: kMissing only when the file does not exist; one that
  // exists but cannot be read is kFailed, never the factory state.
  file_store::ReadResult read(const std::string& file, std::string* out) const;
  // Runs `edit` on the current content (empty when missing; `existed` tells) under the file's
  // lock, making missing directories first; when it returns true the result replaces the file
  // atomically. False when `edit` declines or a step fails (the old file is then untouched).
  bool update(const std::string& file, const std::function<bool(std::string& content, bool existed)>& edit) const;
  // Appends one line in a single write, unsynced (notes that tests read): lines of two processes
  // never mix. False when the file cannot be written.
  bool append_line(const std::string& file, const std::string& line) const;
  // Makes a host directory (and its parents) under the root; true when it exists.
  bool make_host_dir(const std::string& absolute) const { return make_dirs(host_file(absolute) + "/"); }

 private:
  static bool make_dirs(const std::string& file);
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
