// Walks over the initiator side of the tree that the target, discovery and session entry points
// share: from an identifier to its logical HBA, over targets and portals, and where a portal or a
// connection leads.
#include <strings.h>

#include <cstring>

#include "ima/front.h"
#include "schema/names_iscsi_phba.h"

namespace vx {
namespace {

constexpr const char* kFirstLhba = "LogicalHBA0";

}  // namespace

uint32_t lhba_of(const IMA_OID& oid, int32_t* lhba) {
  int32_t phba = oid_tag(oid);
  switch (oid.objectType) {
    case IMA_OBJECT_TYPE_LHBA:
      *lhba = phba;
      return 0;
    case IMA_OBJECT_TYPE_PNP: {   // NICConfiguration below Network below the physical HBA
      int32_t network = 0;
      uint32_t status = parent_of(oid_tag(oid), &network);
      if (status == 0) status = parent_of(network, &phba);
      if (status != 0) return status;
      break;
    }
    default:
      break;
  }
  return group_at(phba, kFirstLhba, lhba);
}

uint32_t ancestors(int32_t tag, std::initializer_list<int32_t*> out) {
  for (int32_t* up : out) {
    const uint32_t status = parent_of(tag, up);
    if (status != 0) return status;
    tag = *up;
  }
  return 0;
}

IMA_STATUS associate(int32_t tag, int levels, IMA_OID* node, IMA_OID* lhba) {
  for (; levels > 0; --levels) {
    const uint32_t status = parent_of(tag, &tag);
    if (status != 0) return ErrorCheck(status);
  }
  int32_t phba = 0;
  const uint32_t status = parent_of(tag, &phba);
  if (status != 0) return ErrorCheck(status);
  *node = make_oid(IMA_OBJECT_TYPE_NODE, phba);
  *lhba = make_oid(IMA_OBJECT_TYPE_LHBA, tag);
  return IMA_STATUS_SUCCESS;
}

uint32_t targets_of(int32_t lhba, std::vector<int32_t>* targets) {
  return Varu_Get_Child_Tags(lhba, kGroupTarget, targets);
}

uint32_t portals_of(int32_t target, std::vector<int32_t>* portals) {
  return Varu_Get_Child_Tags(target, kGroupTargetPortal, portals);
}

uint32_t read_portal(int32_t portal, Endpoint* out) {
  const uint32_t status = GetVaruPropertyVal(portal, kPropTargetIPAddress, out->address);
  return status != 0 ? status : GetVaruPropertyVal(portal, kPropTargetPortNumber, out->port);
}

uint32_t read_destination(int32_t connection, Endpoint* out) {
  const uint32_t status = GetVaruPropertyVal(connection, kPropConnectionDestinationIPAddress, out->address);
  return status != 0 ? status : GetVaruPropertyVal(connection, kPropConnectionDestinationPortNumber, out->port);
}

bool same_endpoint(const Endpoint& a, const char* address, const char* port) {
  return strcasecmp(a.address, address) == 0 && std::strcmp(a.port, port) == 0;
}

uint32_t invoke_on_instance(int32_t group, const char* action, uint32_t number) {
  ActionParams params;
  params.set_number(0, number);
  return invoke_action(group, action, params);
}

}  // namespace vx
