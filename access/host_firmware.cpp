// Firmware download through the host's own tools (ethtool, or the driver's flash_fw file).
#include <strings.h>

#include <cstring>
#include <string>
#include <vector>

#include "access/backend_state.h"
#include "access/host.h"
#include "platform/platform.h"
#include "access/walks.h"
#include "engine/messages.h"

namespace vx {
namespace {

constexpr uint32_t kStatusFirmwareUpdated = 55;
constexpr uint32_t kStatusUpgradeFailed = 166;
constexpr uint32_t kStatusVersionsUnread = 264;
constexpr int32_t kEthtoolRetry = 255;

constexpr const char* kFlashLog = "/tmp/m_flash.txt";
constexpr const char* kOldTimeout = "/tmp/oldtimeout";
constexpr const char* kFirmwareTimeout = "/sys/class/firmware/timeout";
constexpr const char* kFirmwareDir = "/lib/firmware";

std::string q(const std::string& text) { return shell_quote(text); }
std::string mapped_q(const std::string& absolute) { return shell_quote(host_path(absolute)); }
// A caller's file name as a command's operand: one that begins with '-' would read as an option.
std::string operand_q(const std::string& name) { return q(name.empty() || name[0] != '-' ? name : "./" + name); }

// Brings an interface that the download had to bring up down again, on every way out.
class InterfaceUp {
 public:
  explicit InterfaceUp(const std::string& ifname) : ifname_(ifname) {}
  ~InterfaceUp() {
    if (brought_up_) run_shell("ifconfig " + ifname_ + " down > /dev/null");
  }
  InterfaceUp(const InterfaceUp&) = delete;
  InterfaceUp& operator=(const InterfaceUp&) = delete;
  // True when the interface is up (or was brought up).
  bool ensure_up() {
    if (run_shell("ifconfig " + ifname_ + " 2> /dev/null | grep UP > /dev/null") == 0) return true;
    if (run_shell("ifconfig " + ifname_ + " up > /dev/null") != 0) return false;
    brought_up_ = true;
    return true;
  }

 private:
  std::string ifname_;
  bool brought_up_ = false;
};

// The image's file name, refused when it could climb out of the firmware directory.
bool flash_file_name(const char* image, char* name, size_t size) {
  if (get_flash_name(image, name, size) != 0) return false;
  return std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0;
}

std::string copy_command(const char* name, const char* image) {
  return "rm -rf " + mapped_q(std::string(kFirmwareDir) + "/" + name) + "; cp " + operand_q(image) + " " +
         mapped_q(kFirmwareDir);
}

uint32_t upgrade_failed() {
  varu_set_last_status(kStatusUpgradeFailed, msg::kFirmwareUpgradeFailed);
  return 1;
}

// Through the driver's flash_fw file, for an ethtool without a flash option.
uint32_t flash_through_sysfs(const std::string& ifname, const char* image) {
  std::string flash_fw = "/sys/class/net/" + ifname + "/flash_fw";
  if (run_shell("ls " + mapped_q(flash_fw) + " 2> /dev/null > /dev/null") != 0) return upgrade_failed();
  char name[kValueSize] = "";
  if (!flash_file_name(image, name, sizeof name)) {
    pdebug(kBackEnd, 3, "%s: Failed to get the name of the flash file\n", __func__);
    return 1;
  }
  // The firmware loader's time-out is raised for the download and put back after it.
  const CommandOutput old_timeout(kOldTimeout);
  if (old_timeout.made()) {
    run_shell("cat " + mapped_q(kFirmwareTimeout) + " 2> /dev/null > " + old_timeout.quoted() + ";echo 360 > " +
              mapped_q(kFirmwareTimeout));
  }
  run_shell(copy_command(name, image));
  int32_t rc = run_shell("firmware=" + q(image) + ";echo \"${firmware##*/}\" > " + mapped_q(flash_fw));
  if (old_timeout.made()) run_shell("echo `cat " + old_timeout.quoted() + "` > " + mapped_q(kFirmwareTimeout));
  return rc != 0 ? upgrade_failed() : 0;
}

// Through "ethtool -f"; 318 for the firmware that must be downloaded twice.
uint32_t flash_through_ethtool(const std::string& ifname, const char* image) {
  char name[kValueSize] = "";
  if (!flash_file_name(image, name, sizeof name)) {
    pdebug(kBackEnd, 3, "%s:Failed to get the name of the flash file\n", __func__);
    return 1;
  }
  run_shell(copy_command(name, image));
  const CommandOutput errors(kFlashLog);
  const std::string ethtool = "ethtool -f " + ifname + " " + operand_q(name) + " >/dev/null 2> " +
                              (errors.made() ? errors.quoted() : "/dev/null");
  int32_t rc = 0;
  if (run_shell("getenforce 2> /dev/null | grep Enforcing >/dev/null") != 0) {
    rc = run_shell(ethtool);
  } else {
    run_shell("setenforce 0");
    rc = run_shell(ethtool);
    run_shell("setenforce 1");
  }
  if (rc == 0) return 0;
  if (rc != kEthtoolRetry) return upgrade_failed();
  std::vector<std::string> lines;
  if (!errors.lines(&lines) || lines.empty()) return 1;
  if (lines.front().find("Resource temporarily unavailable") != std::string::npos) {
    varu_set_last_status(kStatusTwoPassFirmware, msg::kFirmwareTwoPass);
    return kStatusTwoPassFirmware;
  }
  return upgrade_failed();
}

}  // namespace

uint32_t VARU_firmware_download(hm_node* node, int32_t handle, uint32_t generation, const char* image) {
  if (image == nullptr || node == nullptr) return 1;
  char ifname[kIfNameSize] = "";
  if (!host_interface_name(handle, ifname, sizeof ifname) || !is_interface_name(ifname)) {
    pdebug(kBackEnd, 3, "%s: There is no such interface to bring up.\n", __func__);
    return 1;
  }
  InterfaceUp interface(ifname);
  if (!interface.ensure_up()) {
    pdebug(kBackEnd, 3, "%s: There is no such interface to bring up.\n", __func__);
    return 1;
  }
  bool ethtool_flashes = run_shell("ethtool -h 2>&1 | grep \"ethtool -f\" > /dev/null") == 0;
  uint32_t rc = ethtool_flashes ? flash_through_ethtool(ifname, image) : flash_through_sysfs(ifname, image);
  if (rc != 0) return rc;

  if (generation != kGenerationQuenta) {
    varu_set_last_status(kStatusFirmwareUpdated, msg::kFirmwareUpdatedReboot);
    return 0;
  }
  char active[kValueSize] = "";
  char on_flash[kValueSize] = "";
  uint32_t status = internal_get_property(node, "ActiveFirmwareVersion", active);
  if (status == 0) status = internal_get_property(node, "FirmwareVersionOnFlash", on_flash);
  if (status != 0) {
    pdebug(kBackEnd, 3, "Flash Succeeded but failed to get the Firmware Versions and status = %d\n",
           static_cast<int>(status));
    varu_set_last_status(kStatusVersionsUnread, msg::kFirmwareVersionsUnread);
    return 0;
  }
  active[kValueSize - 1] = '\0';
  on_flash[kValueSize - 1] = '\0';
  if (::strcasecmp(active, on_flash) != 0) varu_set_last_status(kStatusFirmwareUpdated, msg::kFirmwareUpdatedReboot);
  return 0;
}

}  // namespace vx
