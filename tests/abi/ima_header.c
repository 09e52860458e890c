/* The IMA header must compile as plain C (its layout asserts included). */
#include "ima.h"

int ima_header_compiles_as_c(void) { return (int)(sizeof(IMA_PHBA_PROPERTIES) + sizeof(IMA_NODE_PROPERTIES)); }
