// Why start-up found no adapter, as the host clients tell it: no simulated adapter configured, its
// file unreadable, refused by the simulator, or describing nothing the client can use.
#pragma once

#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace vxtools {

// `library_dir` is the directory the plug-in was loaded from (the simulator module is loaded beside
// it, "" when unknown); `wanted` names what a file that was taken lacks ("adapter").
inline std::string no_adapter_reason(const std::string& library_dir, const char* wanted) {
  constexpr const char* kSimModule = "libvxsim.so";
  const char* file = std::getenv("VXIMA_SIMULATOR");
  if (file == nullptr || file[0] == '\0') {
    return "no adapter driver answered, and no simulated adapter is configured (VXIMA_SIMULATOR=FILE)";
  }
  if (::access(file, R_OK) != 0) return "the simulator file " + std::string(file) + " cannot be read: " + std::strerror(errno);
  const std::string module = library_dir + kSimModule;
  void* sim = ::dlopen(module.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (sim == nullptr) sim = ::dlopen(kSimModule, RTLD_NOW | RTLD_NOLOAD);
  if (sim == nullptr) return "the simulated adapter module " + module + " was not loaded";
  auto last_error = reinterpret_cast<const char* (*)()>(::dlsym(sim, "vxsim_last_error"));
  const std::string refused = last_error != nullptr && last_error() != nullptr ? last_error() : "";
  ::dlclose(sim);
  if (!refused.empty()) return "the simulator refused " + std::string(file) + ": " + refused;
  return "the simulator file " + std::string(file) + " describes no " + wanted;
}

}  // namespace vxtools
