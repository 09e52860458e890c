// vxsim-ip: the host's `ip` command as the simulated adapters see it, installed by tests and the demo
// as $VXIMA_ROOT/sbin/ip. It takes exactly
//     link set IF vf N mac M
//     link set IF vf N vlan V [rate R]
// finds the NIC function whose interface is IF in the configuration named by VXIMA_SIMULATOR and
// changes entry N of its virtual-function table in the adapter's state directory (the rate in units
// of 10 Mb/s, as the driver's table keeps it). Every call first appends its argument line to
// $VXIMA_ROOT/var/log/vxsim-ip.log; when $VXIMA_ROOT/etc/vxsim-ip.exit exists it then exits with the
// number it holds. Anything else exits 1 with a message.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "sim/config.h"
#include "sim/nic_firmware.h"
#include "sim/store.h"

namespace {

using namespace vx::sim;

constexpr const char* kLog = "/var/log/vxsim-ip.log";
constexpr const char* kExitFile = "/etc/vxsim-ip.exit";

int refuse(const std::string& why) {
  std::fprintf(stderr, "vxsim-ip: %s\n", why.c_str());
  return 1;
}

bool number(const std::string& text, unsigned long max, unsigned long* out) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  errno = 0;
  *out = std::strtoul(text.c_str(), nullptr, 10);
  return errno == 0 && *out <= max;
}

bool mac(const std::string& text, Mac* out) {
  unsigned b[6];
  char end = 0;
  if (text.size() != 17 ||
      std::sscanf(text.c_str(), "%2x:%2x:%2x:%2x:%2x:%2x%c", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5], &end) != 6) {
    return false;
  }
  for (size_t i = 0; i < 6; ++i) (*out)[i] = static_cast<uint8_t>(b[i]);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const char* root = std::getenv("VXIMA_ROOT");
  const char* config_path = std::getenv("VXIMA_SIMULATOR");
  if (root == nullptr || root[0] == '\0' || config_path == nullptr) {
    return refuse("VXIMA_ROOT and VXIMA_SIMULATOR are needed");
  }
  const Store store(root);
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string line;
  for (const std::string& a : args) line += (line.empty() ? "" : " ") + a;
  if (!store.update(store.host_file(kLog), [&](std::string& content, bool) {
        content += line + "\n";
        return true;
      })) {
    return refuse("cannot write the log");
  }
  std::string exit_text;
  if (store.read(store.host_file(kExitFile), &exit_text) == vx::file_store::ReadResult::kRead) {
    return std::atoi(exit_text.c_str());
  }

  if ((args.size() != 7 && args.size() != 9) || args[0] != "link" || args[1] != "set" || args[3] != "vf" ||
      (args.size() == 7 && args[5] != "mac" && args[5] != "vlan") ||
      (args.size() == 9 && (args[5] != "vlan" || args[7] != "rate"))) {
    return refuse("usage: ip link set IF vf N mac M | vlan V [rate R]");
  }
  Config config;
  std::string error;
  if (!load_config(config_path, &config, &error)) return refuse(error);
  const Adapter* adapter = nullptr;
  const Function* function = nullptr;
  for (const Adapter& a : config.adapters) {
    for (const Function& f : a.nic_functions) {
      if (f.name == args[2]) adapter = &a, function = &f;
    }
  }
  if (function == nullptr) return refuse("unknown interface " + args[2]);
  unsigned long vf = 0, vlan = 0, rate = 0;
  Mac address{};
  if (!number(args[4], kMaxVirtualFunctions, &vf)) return refuse("bad virtual function " + args[4]);
  const bool is_mac = args[5] == "mac";
  if (is_mac ? !mac(args[6], &address) : !number(args[6], 4095, &vlan)) return refuse("bad value " + args[6]);
  if (args.size() == 9 && !number(args[8], 655350, &rate)) return refuse("bad rate " + args[8]);
  const bool done = update_vf(store, *adapter, *function, vf, [&](VirtualFunction& v) {
    if (is_mac) {
      v.mac = address;
      return;
    }
    v.vlan = static_cast<uint16_t>(vlan);
    if (args.size() == 9) v.qos = static_cast<uint16_t>(rate / 10);
  });
  return done ? 0 : refuse("no virtual function " + args[4] + " on " + args[2]);
}
