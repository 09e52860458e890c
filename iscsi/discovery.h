// How a logical HBA finds its targets: the send-target portals under its Discovery group and
// SendTargets discovery through them (with the continuation of generation 5), the firmware's own
// target database (persistent targets and those iSNS found), the saved-target file, and the
// RefreshAvailableTargets action that brings all three together.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/hm.h"
#include "iscsi/saved_files.h"

namespace vx {

constexpr uint32_t kStatusDuplicateSendTargetPortal = 22;
constexpr uint32_t kStatusIscsiNotEnabled = 46;
constexpr uint32_t kStatusPortalsFailedToDiscover = 79;
constexpr uint32_t kStatusGetDiscoveryParams = 80;
constexpr uint32_t kStatusSetDiscoveryParams = 81;
constexpr uint32_t kStatusGetTargetIds = 82;
constexpr uint32_t kStatusGetTarget = 83;
constexpr uint32_t kStatusDiscoveryFailed = 131;
constexpr size_t kMaxListedTargetsOldGenerations = 128;

// A discovery pass (a SendTargets discovery, the refresh of all targets, the firmware's targets,
// the start-up restore): the saved files read once and the records it stages written once, at its
// end (SavedFilePass), and targets found by name through an index. A pass made inside another
// joins it.
class DiscoveryPass {
 public:
  DiscoveryPass();
  ~DiscoveryPass();   // finishes, unless finish() did
  DiscoveryPass(const DiscoveryPass&) = delete;
  DiscoveryPass& operator=(const DiscoveryPass&) = delete;

  // Ends the pass: `result`; or 1 with status 336 when the outermost pass could not write the
  // records it staged. The tree then loses what the file does not hold: each portal those records
  // were for, and each target the pass made that is left without a portal.
  uint32_t finish(uint32_t result);
  // A target this pass made.
  static void made_target(hm_node* lhba, const std::string& name);

 private:
  SavedFilePass files_;
  bool finished_ = false;
};

// One SendTargets discovery through a send-target portal (params[0]: one target's name, or empty
// for all). The discovery session is always logged out. 0; else the discovery's failure (131 with
// its text when the portal answers nothing usable), or the logout's.
uint32_t discover_targets(hm_node* stp, hm_node* action, char params[6][256]);

// Targets and portals from a target list of `size` bytes, each portal recorded in the saved-target
// file once. *listed gets the number of entries read. 0; 1 when a portal cannot be made.
uint32_t BuildTargetInfoList(const uint8_t* list, size_t size, hm_node* lhba, hm_node* stp, hm_node* action,
                             char params[6][256], uint32_t* listed);

// The firmware's target database into the tree ("Discovered" targets when `type` is not 0). 0, or
// 1 with 80 to 83 or 31.
uint32_t get_all_targets(hm_node* lhba, int32_t port, int32_t domain, int32_t phba_port, uint32_t type,
                         hm_node* discovery, hm_node* action, char params[6][256]);

// The saved-target records of the logical HBA into the tree (a record with an ISID logs in), and
// the tree pruned to what the file records. 0, or 1.
uint32_t add_target_from_file(hm_node* lhba);
uint32_t VARU_sync_targets_with_file(hm_node* lhba);

// The whole target refresh of a logical HBA. 0; 1 (79 when some portal failed to discover).
uint32_t refresh_targets(hm_node* lhba, int32_t domain, int32_t phba_port, hm_node* discovery, hm_node* action,
                         char params[6][256]);

// When a client attaches: the ETO of every logical HBA's targets read again. Always 0.
uint32_t VARU_refresh_backend_client_iscsi_targets();

}  // namespace vx
