// LinkConfig<k>: the identifier and description of one link configuration the adapter offers. The
// link-configuration read builds them with no creating action, so none is persistent; both values
// are plain caches it writes.
#include "schema/link_config.h"

#include "engine/builder.h"
#include "schema/names_services.h"

namespace vx {
namespace {

using namespace services;

// clang-format off
constexpr SchemaRow kLinkConfigRows[] = {
  /* 0 */ property(kInstance, kPropLinkConfigID,
                   "This property specifies an Talvix-specific value that uniquely identifies the link configuration.",
                   kReadOnly, handle_internal_property, range(0, 32), "0"),
  /* 1 */ property(kInstance, kPropLinkConfigDescription,
                   "This property contains a 32-byte ascii string describing the attributes of the Link "
                   "Configuration e.g. 4 x 10 Gbps SFP+. The string will be null terminated.  Thus the maximum ascii "
                   "string is 31 characters plus the null terminator.",
                   kReadOnly, handle_internal_property, length(1, 32)),
};
// clang-format on

InstanceBits g_link_config_bits;
constexpr GroupSpec kLinkConfig =
    group_spec(kGroupLinkConfig, "This group represents number of Link Configuration which are enabled on the adapter.",
               /*max*/ 32, nullptr, kLinkConfigRows, g_link_config_bits);

}  // namespace

hm_node* initialize_LinkConfig(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]) {
  return build_instance(kLinkConfig, parent, origin, action, params);
}

}  // namespace vx
