// ApplicationTLV<n>: one announced protocol of a port's administrator, peer or operational
// application TLV setting. The three builders differ in whether the priority map is writable and in
// two descriptions; each setting group numbers its instances on its own.
#include "schema/application_tlv.h"

namespace vx {
namespace {

constexpr const char* kProtocolIdAdminText =
    "This property indicates the two-byte field that identifies the supported protocol. For SF=1 (iSCSI) this will "
    "contain the iSCSI TCP port number. For SF=0 FCoE this contains the ethertype = 0x8906 or 0x8914 and SF = 0 "
    "RoCE contains the ethertype = 0x8915.";
constexpr const char* kProtocolIdText =
    "This property indicates the two-byte field that identifies the supported protocol. For SF=1 (iSCSI) this will "
    "contain the iSCSI TCP port number. For SF=0 FCoE this contains the ethertype = 8906 or 80914.";
constexpr const char* kSelectorAdminText =
    "This property specifies protocol type. The Protocol SelectorField SF=0 specifies FCoE or RoCE (Ethernet). The "
    "Protocol SelectorField SF=1 specifies iSCSI (TCP).";
constexpr const char* kSelectorText =
    "This property specifies protocol type. The Protocol SelectorField SF=0 specifies FCoE (Ethernet). The Protocol "
    "SelectorField SF=1 specifies iSCSI (TCP).";
constexpr const char* kBitMapSpecifiesText =
    "This property specifies the bitmap of priority values which match this protocol ID.";
constexpr const char* kBitMapIndicatesText =
    "This property indicates the bitmap of priority values which match this protocol ID.";

// One ApplicationTLV table: the four properties of every instance.
constexpr RowTable<4> tlv_rows(uint32_t bitmap_access, const char* bitmap_text, const char* protocol_text,
                               const char* selector_text) {
  const auto h = handle_apptlv_feature_vars;
  return rows(property(kInstance, port::kPropOUI, kTlvOuiText, kReadOnly, h, length(1, 8), "0x001b21"),
              property(kInstance, port::kPropPriorityBitMap, bitmap_text, bitmap_access, h, length(1, 4), "0"),
              property(kInstance, port::kPropProtocolID, protocol_text, kReadOnly, h, range(0, 99999), "0"),
              property(kInstance, port::kPropProtocolSelector, selector_text, kReadOnly, h, range(0, 1), "0"));
}

constexpr auto kAdministratorRows = tlv_rows(kReadWrite, kBitMapSpecifiesText, kProtocolIdAdminText, kSelectorAdminText);
constexpr auto kPeerRows = tlv_rows(kReadOnly, kBitMapIndicatesText, kProtocolIdText, kSelectorText);
constexpr auto kOperationalRows = tlv_rows(kReadOnly, kBitMapSpecifiesText, kProtocolIdText, kSelectorText);

constexpr uint32_t kBitfields = kPortInstances;

InstanceBits g_administrator_bits;
InstanceBits g_peer_bits;
InstanceBits g_operational_bits;
constexpr GroupSpec kAdministrator = group_spec(kGroupApplicationTLV, kApplicationTlvText, kApplicationTLVMax,
                                                nullptr, kAdministratorRows.rows, g_administrator_bits, kBitfields);
constexpr GroupSpec kPeer = group_spec(kGroupApplicationTLV, kApplicationTlvText, kApplicationTLVMax, nullptr,
                                       kPeerRows.rows, g_peer_bits, kBitfields);
constexpr GroupSpec kOperational = group_spec(kGroupApplicationTLV, kApplicationTlvText, kApplicationTLVMax,
                                              nullptr, kOperationalRows.rows, g_operational_bits, kBitfields);

}  // namespace

hm_node* initialize_AdministratorTLVSetting_ApplicationTLV(hm_node* parent, hm_node* origin, hm_node* action,
                                                           char params[6][256]) {
  return build_instance(kAdministrator, parent, origin, action, params);
}

hm_node* initialize_PeerTLVSetting_ApplicationTLV(hm_node* parent, hm_node* origin, hm_node* action,
                                                  char params[6][256]) {
  return build_instance(kPeer, parent, origin, action, params);
}

hm_node* initialize_OperationalTLVSettings_ApplicationTLV(hm_node* parent, hm_node* origin, hm_node* action,
                                                          char params[6][256]) {
  return build_instance(kOperational, parent, origin, action, params);
}

}  // namespace vx
