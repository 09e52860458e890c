// What the simulated iSCSI firmware of one function keeps: its persistent targets and its sessions,
// in a state file of the adapter ("records/iscsi-BBB.DD.F"), so a second process on the same root
// sees them as a host restart would: persistent targets stay, and so do their sessions.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "iscsi/records.h"
#include "sim/config.h"
#include "sim/store.h"

namespace vx::sim {

// One registration of the add-persistent-target command, keyed by target name, address, port,
// ISID qualifier and initiator name.
struct PersistentTarget {
  std::string target;
  NetAddress address;
  uint16_t port = 0;
  uint16_t isid = 0;
  std::string initiator;
  std::string alias;
  uint32_t flags = 0;
  uint32_t eto = 0;
  std::string options;   // the 600-byte login options block
};

struct SimSession {
  uint32_t handle = 0;
  uint32_t connection = 0;
  uint32_t state = 0;        // session state bits
  uint32_t flags = 0;        // bit 0 not persistent, bit 8 boot
  uint16_t isid = 0;
  uint16_t target_id = 0;
  uint32_t eto = 0;
  std::string target;
  std::string initiator;
  NetAddress address;
  uint16_t port = 0;
  uint16_t source_port = 0;
  std::string options;       // the login options block the session was made with
};

// A session of a discovery login: the portal it went to and its last SendTargets question.
struct DiscoverySession {
  uint32_t handle = 0;
  NetAddress address;
  uint16_t port = 0;
  std::string name;    // the one target asked for; "" for all
  uint32_t sent = 0;   // entries of the answer delivered so far
};

struct IscsiState {
  uint32_t next_handle = 1;
  std::vector<PersistentTarget> persistent;
  std::vector<SimSession> sessions;
  std::vector<DiscoverySession> discovery;
  uint32_t last_discovery = 0;   // the discovery session a continuation goes on with
  SimSession* session(uint32_t handle);
  const SimSession* session(uint32_t handle) const;
  DiscoverySession* discovery_session(uint32_t handle);
};

std::string iscsi_state_file(const Store& store, const Adapter& adapter, const Function& function);
// The state as kept (an empty state when there is none yet); NULL when the file is unreadable.
// Parsed once per content (Store::load), so looking one session up does not cost a parse of the
// whole table.
std::shared_ptr<const IscsiState> read_iscsi_state(const Store& store, const Adapter& adapter,
                                                   const Function& function);
// A read-modify-write of the state under its file's lock; `edit` returning false changes nothing.
bool update_iscsi_state(const Store& store, const Adapter& adapter, const Function& function,
                        const std::function<bool(IscsiState&)>& edit);

// Why a login to a target is refused, if it is.
enum class LoginVerdict { kAccepted, kUnreachable, kAuthentication, kDigest };
LoginVerdict login_verdict(const Network& network, const std::string& target, const NetAddress& address, uint16_t port,
                           const login_options& options);
// A discovery login: the portal must be a discovery portal, and its CHAP (if any) offered.
LoginVerdict discovery_verdict(const Network& network, const NetAddress& address, uint16_t port,
                               const login_options& options);

// The state word of a session logged in (or refused) now.
uint32_t session_state_after(LoginVerdict verdict);

// ---- LUN data (kept per remote target and LUN, across processes) ------------------------------------
// A block never written reads as: byte i of block b is (b * 31 + i) % 251 + 1.
// False when the kept data exists but cannot be read.
bool read_lun_blocks(const Store& store, const RemoteTarget& target, const RemoteLun& lun, uint64_t lba,
                     uint32_t blocks, std::vector<uint8_t>* out);
bool write_lun_blocks(const Store& store, const RemoteTarget& target, const RemoteLun& lun, uint64_t lba,
                      const uint8_t* data, uint32_t blocks);

}  // namespace vx::sim
