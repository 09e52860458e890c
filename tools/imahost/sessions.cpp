// Sessions, log-in and log-out, rediscovery and logical units as an administrator reads them: per
// target and portal, every session with its state (open ones as the IMA list gives them, failed and
// closed ones, which the list leaves out, from the hierarchy), portals without a session, and why a
// log-in through this command failed.
#include <strings.h>

#include <algorithm>
#include <cstdio>

#include "tools/imahost/commands.h"
#include "tools/imahost/views.h"

namespace imahost {
namespace {

using S = IMA_SESSION_PROPERTIES;
constexpr FieldView kSessionView[] = {
    VIEW("TSIH", kNumber, S, tsih),
    VIEW("Portal group tag", kNumber, S, targetPortalGroupTag),
    VIEW("CHAP", kNumber, S, authMethod),
    VIEW("Immediate data", kNumber, S, immediateData),
    VIEW("Initial R2T", kNumber, S, initialR2T),
    VIEW("First burst length", kNumber, S, firstBurstLength),
    VIEW("Max burst length", kNumber, S, maxBurstLength),
    VIEW("Max connections", kNumber, S, maxConnections),
};

const char* iscsi_name(const Object& target) { return target.name.c_str() + target.hba->name.size() + 1; }

// The targets an object covers: those of a logical HBA, a target, or a session's target.
std::vector<Object> targets_of(const On& on) {
  const Object& object = on.object;
  if (object.oid.objectType == IMA_OBJECT_TYPE_LHBA) return on.names.targets(*object.hba);
  if (object.oid.objectType == IMA_OBJECT_TYPE_TARGET) return {object};
  const std::string name = object.name.substr(0, object.name.rfind('/'));
  for (const Object& target : on.names.targets(*object.hba)) {
    if (target.name == name) return {target};
  }
  return {};
}

// Why a portal has no open session after a log-in that left no status: a log-in the adapter failed
// and goes on retrying keeps its session, and the plug-in makes no new one beside it; a log-in
// whose failure the plug-in passed over (another portal of the target logged in).
constexpr const char* kRetried =
    "the adapter retries its failed log-in and no new one was made (session remove, then add, logs in afresh)";
constexpr const char* kPassedOver = "the log-in failed; the plug-in left no status for it";

// "1 portal has no open session (above)".
std::string no_open_session(size_t closed) {
  return std::to_string(closed) + (closed == 1 ? " portal has" : " portals have") + " no open session (above)";
}

// Every portal of every target with its sessions; `reasons` (one per target, may be empty) says why
// a portal has no open session, and with `explain` each such portal gets a reason. Returns the
// number of portals without an open session.
size_t print_states(const On& on, const std::vector<Object>& targets, const std::vector<std::string>& reasons,
                    bool records, bool explain = false) {
  if (targets.empty()) std::printf("none\n");
  size_t closed = 0;
  for (size_t t = 0; t < targets.size(); ++t) {
    const Object& target = targets[t];
    const std::vector<Portal>& portals = on.names.portals(*target.hba);
    const std::vector<Session> sessions = on.names.sessions(target);
    std::printf("%s  (%s)\n", target.name.c_str(), oid_text(target.oid).c_str());
    const std::string reason = t < reasons.size() && !reasons[t].empty() ? ": " + reasons[t] : "";
    for (int p = -1; p < static_cast<int>(portals.size()); ++p) {
      if (p >= 0 && strcasecmp(portals[static_cast<size_t>(p)].target.c_str(), iscsi_name(target)) != 0) continue;
      const std::string at = p < 0 ? "?" : address_port(portals[static_cast<size_t>(p)].address,
                                                        portals[static_cast<size_t>(p)].port);
      bool open = false;
      for (const Session& session : sessions) {
        if (session.portal != p) continue;
        open = open || session.state == "open";
        std::printf("  %-20s %-12s %s  (%s)\n", at.c_str(), session.state.c_str(), session.object.name.c_str(),
                    oid_text(session.object.oid).c_str());
        IMA_SESSION_PROPERTIES props{};
        if (records && session.state == "open" &&
            IMA_SUCCESS(on.host.ima().IMA_GetSessionProperties(session.object.oid, &props))) {
          print_record(on.names, &props, kSessionView, "      ");
        }
      }
      if (p < 0 || open) continue;
      ++closed;
      bool seen = false;
      for (const Session& session : sessions) seen = seen || session.portal == p;
      const std::string why = !reason.empty() || !explain ? reason : std::string(": ") + (seen ? kRetried : kPassedOver);
      if (!seen || !why.empty()) std::printf("  %-20s %s%s\n", at.c_str(), seen ? "not logged in" : "no session", why.c_str());
    }
  }
  return closed;
}

// Logs in or out target by target, so that each target's result is seen, then shows where every
// portal stands. A log-in (`log_in`) of a logical HBA or a target fails unless every portal asked
// for has an open session after it; each one without gets its reason.
int sessions_change(const On& on, const char* entry, IMA_STATUS (*fn)(IMA_OID), bool log_in) {
  const std::vector<Object> targets = targets_of(on);
  const std::vector<Object> each = on.object.oid.objectType == IMA_OBJECT_TYPE_LHBA ? targets : std::vector<Object>{on.object};
  std::vector<std::string> reasons(targets.size());
  int status = 0;
  for (size_t i = 0; i < each.size(); ++i) {
    const Outcome outcome = run(on.host, [&] { return fn(each[i].oid); });
    if (!outcome.ok()) status = failed(each[i].name, entry, outcome);
    if (i < reasons.size() && (!outcome.ok() || outcome.last.code != 0)) {
      reasons[i] = std::string(entry) + (outcome.ok() ? " succeeded" : ": " + status_words(outcome.status)) +
                   last_status_words(outcome.last);
    }
  }
  on.names.forget();
  const bool every_portal = log_in && on.object.oid.objectType != IMA_OBJECT_TYPE_SESSION;
  const size_t closed = print_states(on, targets, reasons, false, every_portal);
  if (every_portal && closed > 0) return say(on.name() + ": " + no_open_session(closed));
  return status;
}

std::string trimmed(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace

int session_list(const On& on, const Words&) {
  print_states(on, targets_of(on), {}, true);
  return 0;
}

int session_add(const On& on, const Words&) {
  return sessions_change(on, "IMA_VMW_AddSession", on.host.ima().IMA_VMW_AddSession, true);
}

int session_remove(const On& on, const Words&) {
  return sessions_change(on, "IMA_VMW_RemoveSession", on.host.ima().IMA_VMW_RemoveSession, false);
}

// The plug-in rediscovers through a physical HBA; for a logical HBA it does nothing, so only a
// physical HBA is taken. It answers success also when a discovery or a log-in failed; the
// discovery status tells.
int rediscover(const On& on, const Words&) {
  const EntryPoints& ima = on.host.ima();
  const Outcome outcome = run(on.host, [&] { return ima.IMA_VMW_Rediscover(on.oid()); });
  on.names.forget();
  IMA_UINT32 state = 0;
  const IMA_STATUS read = ima.IMA_VMW_GetDiscoveryStatus(on.oid(), &state);
  const size_t closed = print_states(on, on.names.targets(*on.object.hba), {}, false);
  if (!outcome.ok()) return failed(on.name(), "IMA_VMW_Rediscover", outcome);
  if (!IMA_SUCCESS(read)) return say(on.name() + ": IMA_VMW_GetDiscoveryStatus failed: " + status_words(read));
  if (state != IMA_VMW_DISCOVERY_STATUS_FAILED) return 0;
  // The plug-in keeps no reason for a failed discovery; every portal with an open session leaves
  // the discoveries as what failed.
  std::string addresses;
  for (const Portal& address : on.names.discovery_addresses(*on.object.hba)) {
    addresses += (addresses.empty() ? "" : " or ") + address.name;
  }
  const std::string what = closed > 0 ? no_open_session(closed)
                                      : "the discovery through " + addresses + " failed (check its address and CHAP)";
  return say(on.name() + ": the rediscovery failed in part: " + what + last_status_words(outcome.last));
}

int lun_list(const On& on, const Words&) {
  const std::vector<Object> targets = targets_of(on);
  if (targets.empty()) std::printf("none\n");
  for (const Object& target : targets) {
    std::printf("%s  (%s)\n", target.name.c_str(), oid_text(target.oid).c_str());
    std::vector<IMA_OID> luns;
    const Outcome outcome = run(on.host, [&] { return on.host.list(on.host.ima().IMA_GetLuOidList, target.oid, &luns); });
    if (!outcome.ok()) return failed(target.name, "IMA_GetLuOidList", outcome);
    // Each session of a target reports its LUNs: one LUN is shown once.
    std::vector<unsigned> shown;
    for (const IMA_OID& lun : luns) {
      IMA_LU_PROPERTIES props{};
      const IMA_STATUS got = on.host.ima().IMA_GetLuProperties(lun, &props);
      if (!IMA_SUCCESS(got)) return failed(target.name, "IMA_GetLuProperties", Outcome{got, on.host.last_status()});
      const unsigned number = lun_number(props.targetLun);
      if (std::find(shown.begin(), shown.end(), number) != shown.end()) continue;
      shown.push_back(number);
      std::string size = "?";
      std::string vendor;
      std::string model;
      const int32_t tag = static_cast<int32_t>(lun.sequenceLow);
      on.host.hierarchy_value(tag, "LUNSize", &size);
      on.host.hierarchy_value(tag, "DeviceVendorName", &vendor);
      on.host.hierarchy_value(tag, "DeviceModelNumber", &model);
      std::printf("  LUN %-5u %-12s %s %s  (%s)\n", number, size.c_str(), trimmed(vendor).c_str(),
                  trimmed(model).c_str(), oid_text(lun).c_str());
    }
    if (shown.empty()) std::printf("  no LUN\n");
  }
  return 0;
}

}  // namespace imahost
