/* The public header must compile as plain C. */
#include "varu.h"

_Static_assert(sizeof(hm_node_description) == 1792, "hm_node_description size");
_Static_assert(sizeof(hm_action_param_info) == 2084, "hm_action_param_info size");
_Static_assert(sizeof(hm_param_info) == 12508, "hm_param_info size");
_Static_assert(sizeof(hm_persistence_info) == 1544, "hm_persistence_info size");

int varu_header_compiles_as_c(void) { return VARU_OK; }
