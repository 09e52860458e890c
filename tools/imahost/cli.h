// The imahost command-line client's shared parts: the names an administrator gives objects, which
// find the same object in every process (tags follow each process's build order, so a bare number
// may name another object in the next command), and the report of what an entry point did.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/imahost/imahost.h"

namespace imahost {

using Words = std::vector<std::string>;

// The kinds of object a command line names, one bit each.
enum Kind : uint32_t {
  kPhba = 1u << 0,
  kLhba = 1u << 1,
  kLnp = 1u << 2,
  kPnp = 1u << 3,
  kPortal = 1u << 4,
  kDiscovery = 1u << 5,
  kTarget = 1u << 6,
  kStatic = 1u << 7,
  kSession = 1u << 8,
  kConnection = 1u << 9,
};

// One iSCSI function: its physical HBA and enabled logical HBA, named by the logical HBA's
// operating-system name ("vmhba33"), which every object below it carries as its first part.
struct Hba {
  IMA_OID phba{};
  IMA_OID lhba{};
  bool has_lhba = false;
  std::string name;
};

// An object, its identifier in this process and the name that finds it in any process.
struct Object {
  IMA_OID oid{};
  std::string name;
  const Hba* hba = nullptr;
};

// A portal of a target, as the static-target list gives it, or a discovery address.
struct Portal {
  IMA_OID oid{};
  std::string target;   // the target's iSCSI name
  IMA_IP_ADDRESS address{};
  uint16_t port = 0;
  std::string name;     // vmhba33/iqn...@10.0.0.5:3260
};

// A session of a target: an open one as the IMA session list gives it, or one the list leaves out
// (a failed or closed log-in) as the hierarchy holds it.
struct Session {
  Object object;
  std::string isid;
  std::string state;   // "open", or the hierarchy's SessionStatus
  int portal = -1;     // index in the logical HBA's portals; -1 when no portal matches
};

// The logical network port of a physical HBA: the same node as another type.
inline IMA_OID lnp_of(const IMA_OID& phba) {
  return IMA_OID{IMA_OBJECT_TYPE_LNP, phba.ownerId, phba.sequenceLow, phba.sequenceHigh};
}

// "10.0.0.5:3260", "[fd00::5]:3260".
std::string address_port(const IMA_IP_ADDRESS& address, uint16_t port);
// ADDRESS, ADDRESS:PORT or [IPV6]:PORT; no port gives `port` 0.
bool parse_address_port(const std::string& text, IMA_IP_ADDRESS* address, uint16_t* port);
// "invalid parameter (0xC0000000)".
std::string status_words(IMA_STATUS status);
// "; last status 25 "Authentication failure..."", or "" when the plug-in left none.
std::string last_status_words(const LastStatus& last);

// The objects of this process, read through the entry points and kept until forget().
class Names {
 public:
  explicit Names(const Host& host);
  ~Names();
  Names(const Names&) = delete;
  Names& operator=(const Names&) = delete;

  const std::vector<Hba>& hbas();
  const std::vector<Object>& targets(const Hba& hba);
  const std::vector<Portal>& portals(const Hba& hba);
  const std::vector<Portal>& discovery_addresses(const Hba& hba);   // no target name
  // The sessions of a target (its identifier's node is one of its portals), open ones first.
  std::vector<Session> sessions(const Object& target);

  // The object that `text` names among `kinds`: a name as listings print it, or KIND:TAG=NAME. On
  // failure prints the reason, naming the text, and returns false.
  bool resolve(const std::string& text, uint32_t kinds, Object* out);
  // The name of an object this process knows; its identifier text otherwise.
  std::string name_of(const IMA_OID& oid);
  // Forgets every object read: a change may have added, removed or renumbered some.
  void forget();

 private:
  struct Lists;
  bool resolve_name(const std::string& text, uint32_t kinds, Object* out);
  void find(const Hba& hba, uint32_t shape, const std::string& target, const IMA_IP_ADDRESS& address, uint16_t port,
            const std::vector<std::string>& parts, std::vector<Object>* found);
  const Hba* hba_named(const std::string& name);
  Lists& lists(const Hba& hba);

  const Host& host_;
  bool have_hbas_ = false;
  std::vector<Hba> hbas_;
  std::vector<std::unique_ptr<Lists>> lists_;   // one per HBA, made on first use
};

// The outcome of one entry point and the last status it left.
struct Outcome {
  IMA_STATUS status = IMA_STATUS_SUCCESS;
  LastStatus last;
  bool ok() const { return IMA_SUCCESS(status); }
};

template <typename Fn>
Outcome run(const Host& host, Fn&& call) {
  host.clear_last_status();
  const IMA_STATUS status = call();
  return Outcome{status, host.last_status()};
}

// "imahost: OBJECT: ENTRY failed: WORDS; last status CODE "TEXT"" on standard error; returns 1.
int failed(const std::string& object, const char* entry, const Outcome& outcome);
// After a change that succeeded: the status the plug-in left with it (a warning), when it left one.
void warn(const std::string& object, const char* entry, const Outcome& outcome);
// One line on standard error, "imahost: TEXT"; returns 1.
int say(const std::string& text);

// The object a command acts on.
struct On {
  const Host& host;
  Names& names;
  Object object;
  const IMA_OID& oid() const { return object.oid; }
  const std::string& name() const { return object.name; }
};

// An entry point on the command's object: a failure is reported (status 1), a change that
// succeeded reports what the plug-in left with it.
template <typename Fn, typename... Args>
int read_call(const On& on, const char* entry, Fn fn, Args... args) {
  const Outcome outcome = run(on.host, [&] { return fn(args...); });
  return outcome.ok() ? 0 : failed(on.name(), entry, outcome);
}
template <typename Fn, typename... Args>
int change_call(const On& on, const char* entry, Fn fn, Args... args) {
  const Outcome outcome = run(on.host, [&] { return fn(args...); });
  if (!outcome.ok()) return failed(on.name(), entry, outcome);
  warn(on.name(), entry, outcome);
  on.names.forget();
  return 0;
}
// The entry point's name and pointer, for the calls above.
#define IMAHOST_ENTRY_OF(on, fn) #fn, (on).host.ima().fn

}  // namespace imahost
