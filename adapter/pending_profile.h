// The pending choices of the configured profiles, "/scratch/Talvix/config_prof.txt": one line per
// function of an adapter's configured profile, seven fields joined by commas
// (SerialNumber,BusNumber,ProfileId,MCType,FunctionNumber,Protocol,SRIOVState). Every rebuild of a
// configured profile replaces the adapter's lines; the ConfiguredProfile handlers show and change
// them. The file goes through the file store: each change is one read-modify-write under its lock,
// written whole and renamed into place, so a reader never meets a half-written file and the lines of
// other adapters come through every change byte for byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/hm.h"

namespace vx {

constexpr const char* kPendingProfileFile = "/scratch/Talvix/config_prof.txt";
constexpr int kPendingFields = 7;
constexpr size_t kPendingFieldMax = 34;   // a field read back keeps at most this many characters
enum PendingField { kFieldSerial, kFieldBus, kFieldProfileId, kFieldMCType, kFieldFunction, kFieldProtocol, kFieldSRIOV };
// Matching: 0 by adapter (serial and bus numbers), 1 also by function number.
enum PendingMatch : uint32_t { kMatchAdapter = 0, kMatchFunction = 1 };

// An adapter's part of the lines: its SerialNumber and its first physical HBA's PCI BusNumber.
struct AdapterKey {
  std::string serial;
  std::string bus;
};
// False when either cannot be read.
bool adapter_key(hm_node* controller, AdapterKey* out);
// True when a text may stand as a field: no comma, no control character.
bool pending_text_ok(const std::string& text);

// Splits `line` into the seven field slots (each at most 34 characters) and compares, ignoring case,
// serial and bus (mode 0) and also the function number (mode 1): 0 match, 1 no match.
uint32_t VARU_compare_cprofile_data(const char* line, const char* serial, const char* bus, const char* function,
                                    char fields[kPendingFields][kValueSize], uint32_t mode);
// Replaces field `index` of every line matching the controller (and `function`, mode 1). 0, or 1
// (no file, the adapter unreadable, or the rewrite failed).
uint32_t VARU_set_config_prof_prop(hm_node* controller, const char* function, const char* value, uint32_t mode,
                                   int index);
// What a change of a field came to: written into the adapter's lines; nothing to change (no file,
// or no line of the adapter or function); or not written (the file unreadable or the write failed).
enum class PendingWrite { kStored, kNoFile, kNoLine, kFailed };
PendingWrite store_pending_field(const AdapterKey& key, const char* function, const char* value, uint32_t mode,
                                 int index);
// The fields of the controller's line (for a function given: its second NIC or NIC+RoCE line when it
// has two). 0, or 1 with `fields` untouched when no line matches.
uint32_t VARU_get_config_prof_prop(hm_node* controller, const char* function, char fields[kPendingFields][kValueSize],
                                   uint32_t mode);
// The same for an adapter named by its key.
uint32_t set_pending_field(const AdapterKey& key, const char* function, const char* value, uint32_t mode, int index);
uint32_t get_pending_fields(const AdapterKey& key, const char* function, char fields[kPendingFields][kValueSize],
                            uint32_t mode);
// Removes every line of the adapter: 0, or 1 (no file, rewrite failed).
uint32_t VARU_delete_cfg_prof_from_file(const char* serial, const char* bus);
// Replaces the adapter's lines with `lines` (texts without newline, in order). A line already in the
// file before the port it belongs to began (`port_starts`: the index of each port's first line) is
// written once. The choices this process made for the adapter are forgotten: its own rebuild drops
// them. 0, or 1 when the file could not be written.
uint32_t replace_adapter_lines(const AdapterKey& key, const std::vector<std::string>& lines,
                               const std::vector<size_t>& port_starts);

// Start-up writes the file once, not once per adapter: while a StartupPendingLines of this thread
// stands, the file is taken as removed and every change (each adapter's lines, a handler's choice) is
// made to lines kept in memory, which this thread's reads see; commit() then replaces the file with
// them, or removes it when no adapter wrote any. A file that already holds exactly those lines is not
// written. A start-up the process asked for (`forget_choices`) forgets its choices for every adapter
// whose lines were rebuilt; one it did not ask for (the NIC functions changed under it) keeps them,
// so that a save finds them gone from the lines and says so instead of sending the adapter's own.
class StartupPendingLines {
 public:
  explicit StartupPendingLines(bool forget_choices);
  ~StartupPendingLines();   // commits, unless commit() ran
  StartupPendingLines(const StartupPendingLines&) = delete;
  StartupPendingLines& operator=(const StartupPendingLines&) = delete;
  // 0, or 1 when the file could not be written.
  uint32_t commit();

 private:
  bool open_ = true;
  bool forget_choices_;
};

// The file is one per host, and another process's start-up, or a rebuild of this process's tree
// after the NIC functions changed, writes every adapter's lines anew: the choices this process
// stored since the last rebuild of an adapter's lines that it asked for are remembered, so that a
// save can tell they are no longer there. Only these are looked at: what other clients chose goes
// with the save, unless it changed one of them.
constexpr uint32_t kStatusPendingChoicesChanged = 338;
// store_pending_field for a handler's choice: a stored choice is remembered.
PendingWrite store_pending_choice(const AdapterKey& key, const char* function, const char* value, uint32_t mode,
                                  int index);
enum class RememberedChoices { kHeld, kChanged, kUnreadable };
// Whether every remembered choice of the adapter still reads back from the file (as the handlers
// read it); kChanged forgets them.
RememberedChoices check_pending_choices(const AdapterKey& key);

// The lines of a file's content, each whole and without its newline (a last line without one too).
std::vector<std::string> pending_lines(const std::string& content);

}  // namespace vx
