// The ARM firmware's trace modules and their logging modes, as the trace-module read finds them
// (no creating action). The module's name and id and the mode's name are plain caches that read
// writes; the masks and the trace level of a mode are read and set through the adapter.
#include "schema/ext_fat.h"

#include "engine/builder.h"
#include "schema/handlers.h"
#include "schema/names_services.h"

namespace vx {
namespace {

using namespace services;

// clang-format off
constexpr SchemaRow kModuleRows[] = {
  /* 0 */ property(kInstance, kPropModuleString,
                   "This property displays name of the module (i.e example; \"iSNS\",\"FIP\",\"Flash\"... etc).",
                   kReadOnly, handle_internal_property, length(1, 32), "N/A"),
  /* 1 */ property(kInstance, kPropModuleId,
                   "This property displays a module id associated to identify the module name once the trace "
                   "record is retrieved.",
                   kReadOnly, handle_internal_property, range(1, 32), "1"),
};

// The TraceLevel list ends in 255 (disabled), which the all-modules action does not take.
constexpr SchemaRow kModeRows[] = {
  /* 0 */ property(kInstance, kPropMode, "This property displays a logging mode of FAT module.",
                   kReadOnly, handle_internal_property, one_of("UART,RAM", 7, 8), "UART"),
  /* 1 */ property(kInstance, kPropPortMask,
                   "This property is a bit mask that allows logging for selected ports. The Maximum number of bits "
                   "that can be used by the user to set a particular port is decided by the MaxLoggingPorts "
                   "property. User can set particular ports for logging by providing the appropriate mask. The value "
                   "for this property has to be given in hexadecimal format with \"0x\" prefix. For example: To "
                   "enable port #3 and Port #2 a value of 0xC has to set. The default value will be number of bits "
                   "in property MaxLoggingPorts.",
                   kReadWrite, handle_current_mode_properties, length(3, 4), "0xFF"),
  /* 2 */ property(kInstance, kPropPCIFunctionMask,
                   "This property is a bit mask that allows logging for selected PCI Functions. The Maximum number "
                   "of bits that can be used by the user to set a particular PCI Function is decided by the "
                   "MaxLoggingFunctions property. User can set particular PCI function for logging by providing the "
                   "appropriate mask. The value for this property has to be given in hexadecimal format with \"0x\" "
                   "prefix.  For example: To enable PCI function #6 and PCI function #1 a value of 0x42 has to set. "
                   "The default value will be number of bits in property MaxLoggingFunctions.",
                   kReadWrite, handle_current_mode_properties, length(3, 18), "0xFFFFFFFFFFFFFFFF"),
  /* 3 */ property(kInstance, kPropTraceLevel,
                   "This property displays a trace level of FAT module. Valid values are 0 - TRACE_LEVEL_ALL, 1 - "
                   "TRACE_LEVEL_ENTER_FUNCTION, 4 - TRACE_LEVEL_VERBOSE, 5 - TRACE_LEVEL_INFO, 8 - TRACE_LEVEL_TEST, "
                   "16 - TRACE_LEVEL_SHOW, 32 - TRACE_LEVEL_WARNING, 48 - TRACE_LEVEL_ERROR, 64 - TRACE_LEVEL_FATAL, "
                   "128 - TRACE_LEVEL_ALWAYS, 255 - TRACE_LEVEL_DISABLED",
                   kReadWrite, handle_current_mode_properties, one_of("0,1,4,5,8,16,32,48,64,128,255", 0, 255), "0"),
};
// clang-format on

InstanceBits g_module_bits;
InstanceBits g_mode_bits;
// Both descriptions spell "fimrware"; kept as the system shows them.
constexpr GroupSpec kModule =
    group_spec(kGroupExtFATModule, "This group contains the Brightlane ARM fimrware FAT modules entries.",
               /*max*/ 64, nullptr, kModuleRows, g_module_bits);
constexpr GroupSpec kMode = group_spec(kGroupExtFATMode, "This group contains the Brightlane ARM fimrware FAT mode entries.",
                                       /*max*/ 2, nullptr, kModeRows, g_mode_bits);

}  // namespace

hm_node* initialize_ExtFATModule(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]) {
  return build_instance(kModule, parent, origin, action, params);
}

hm_node* initialize_ExtFATMode(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]) {
  return build_instance(kMode, parent, origin, action, params);
}

}  // namespace vx
