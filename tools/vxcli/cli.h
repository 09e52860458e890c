// vxcli: a small management client of the hierarchy API (include/varu.h only). The commands
// share one process's library state (VARU_init done by main); `run` gives several of them one
// process, as a host's long-lived client has it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vxcli {

// A command and its arguments as on the command line: {"get", "ROOT/VARUDebugLevel"}.
using Words = std::vector<std::string>;

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

extern const char* const kUsage;

// "" when `words` is a command that a step may be (its name and argument count), else why not.
std::string check_command(const Words& words);
// Runs a checked command in this process: its exit status (0, kExitFailed or kExitUsage).
int run_command(const Words& words);

// Why no adapter was found at start-up ("no adapter found: ..."); "" while adapters were found.
// Commands that need an adapter fail with it.
void set_no_adapter_reason(const std::string& why);
// Prints that reason when no adapter was found: true then.
bool told_no_adapter();

// Prints the last status of a call that failed (code and text) on standard error: kExitFailed.
int report(const char* what, uint32_t result);
// After a status text was shown: when it sends the user to the engine log while the log is off,
// says once where the log is and how to turn it on.
void hint_log(const char* text);

// The names of a path, empty ones left out ("ROOT//Vexalon0/" is {"ROOT", "Vexalon0"}).
std::vector<std::string> split_path(const std::string& path);
// The tag of the group named by the first `count` parts ("ROOT" alone or "ROOT/..."); -1 with a
// message.
int32_t group_tag(const std::vector<std::string>& parts, size_t count);
// PATH/Name: the group's tag and the tag of its child `Name` of `kind`; false with a message.
bool leaf(const std::string& path, int32_t kind, int32_t* group, uint32_t* node);
// The children of `tag` of `kind`, in order.
std::vector<uint32_t> children(int32_t tag, int32_t kind);
std::string name_of(uint32_t tag, int32_t kind);
// A property's value as tree prints it: "\"value\"", or "(unreadable: RESULT)".
std::string shown_value(int32_t group, uint32_t prop);

int cmd_do(const Words& words);
int cmd_describe(const Words& words);

}  // namespace vxcli
