/*
 * varu.h - the hierarchy API of libvxima.so, for management clients.
 *
 * Conventions
 *  - Every call returns a status: 0 is success, 1 a plain failure (bad tag, NULL pointer, wrong
 *    node kind or relation, not found), 14 the process-wide API lock was not obtained within one
 *    second. Other codes are listed per call; handlers of the hierarchy return codes of their own.
 *  - The text that explains a status is kept as the "last status" (one per process) and read with
 *    VARU_get_last_status(). Every call except VARU_get_last_status() clears it first.
 *  - Nodes are named by tags (32-bit handles). "ROOT" is tag 0 and its three properties are tags
 *    1, 2 and 3; other tags may change when the library rebuilds its tree.
 *  - Property values and action parameters are NUL-terminated texts of at most 255 characters in
 *    buffers of 256 bytes. The caller owns every buffer it passes; the library keeps none.
 *  - Calls made before the first VARU_init() or after the last VARU_exit() fail with 1, except
 *    VARU_get_last_status(), which always answers, and VARU_exit(), which then returns 0.
 */
#ifndef VARU_H
#define VARU_H

#include <stdint.h>
#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(VXIMA_BUILDING)
#define VARU_API __attribute__((visibility("default")))
#else
#define VARU_API
#endif

/* Node kinds, and the filters accepted where a kind is asked for. */
enum {
  VARU_KIND_ANY = 0,
  VARU_KIND_GROUP = 1,
  VARU_KIND_PROPERTY = 2,
  VARU_KIND_ACTION = 3,
  VARU_KIND_LINK = 4,
  VARU_KIND_READONLY_PROPERTY = 5,
  VARU_KIND_WRITABLE_PROPERTY = 6,
  VARU_KIND_PLAIN_PROPERTY = 7
};

/* Engine status codes. */
enum {
  VARU_OK = 0,
  VARU_FAILED = 1,
  VARU_NO_HANDLER = 3,
  VARU_STILL_LINKED = 4,
  VARU_INVALID_VALUE = 6,
  VARU_OUT_OF_RANGE = 7,
  VARU_BAD_LENGTH = 8,
  VARU_PARAMETER_MISSING = 9,
  VARU_READ_ONLY = 10,
  VARU_ARRAY_TOO_SMALL = 11,
  VARU_LOCK_TIMEOUT = 14
};

#define VARU_VALUE_SIZE 256        /* property values and action parameters */
#define VARU_PARAM_COUNT 6         /* parameter slots of an action */
#define VARU_NAME_SIZE 35          /* node and parameter names */
#define VARU_DESCRIPTION_SIZE 1780 /* descriptions */
#define VARU_STATUS_TEXT_SIZE 600  /* the last status text */
#define VARU_MAX_NEW_TAGS 4097     /* room a new-tags list of VARU_do_action must have */
#define VARU_PARAM_ABSENT 0xFF     /* first byte of a parameter slot that was not given */

/* Out record of VARU_get_node_description; vtype, min and max only for properties. */
typedef struct hm_node_description {
  char description[VARU_DESCRIPTION_SIZE];
  uint8_t kind;
  uint8_t vtype;
  uint8_t reserved[2];
  int32_t min;
  int32_t max;
} hm_node_description;

/* One parameter slot of an action. vtype: 0 length from min to max, 1 integer from min to max,
   2 IPv4 or IPv6 address, 3 IPv4 subnet mask, 4 one item of the comma-separated allowed list. */
typedef struct hm_action_param_info {
  uint8_t required;
  char name[VARU_NAME_SIZE];
  char description[VARU_DESCRIPTION_SIZE];
  uint8_t vtype;
  char allowed[VARU_VALUE_SIZE];
  uint8_t reserved[3];
  int32_t min;
  int32_t max;
} hm_action_param_info;

/* Out record of VARU_get_param_info. */
typedef struct hm_param_info {
  int32_t param_count;
  hm_action_param_info params[VARU_PARAM_COUNT];
} hm_param_info;

/* Out record of VARU_get_persistence_info. */
typedef struct hm_persistence_info {
  uint32_t action_tag;
  uint32_t invoked_on_tag;
  char params[VARU_PARAM_COUNT][VARU_VALUE_SIZE];
} hm_persistence_info;

/* Opaque node record, only for the persistence calls below. */
typedef struct hm_node hm_node;

/* Start and stop a client. The first VARU_init() builds the tree of every adapter found (with no
   adapter only "ROOT", and last status 313); the last VARU_exit() frees it. 0, 1 or 14. */
VARU_API uint32_t VARU_init(void);
VARU_API uint32_t VARU_exit(void);

/* Tag of the child of group parent_tag whose shown name (an instance: name and number, as
   "LogicalHBA0") equals name ignoring case and whose kind matches (0 any). 0, 1 or 14. */
VARU_API uint32_t VARU_get_node_tag(int32_t parent_tag, const char *name, uint32_t *out_tag, int32_t kind);
/* Shown name (at most 34 characters, buf of 35 bytes) when the node's kind equals kind. */
VARU_API uint32_t VARU_get_node_name(int32_t tag, char *buf, int32_t kind);
VARU_API uint32_t VARU_get_parent_tag(int32_t tag, uint32_t *out_tag);
/* Children of a group of the given kind (1 to 7), in order. out_tags must hold every child. */
VARU_API uint32_t VARU_get_child_tags(int32_t tag, uint32_t *out_tags, uint32_t *out_count, int32_t kind);
/* Instance numbers of the instanced group name under parent_tag, ascending. out_numbers must hold
   every instance. */
VARU_API uint32_t VARU_get_valid_instances(int32_t parent_tag, const char *name, uint32_t *out_numbers,
                                           uint32_t *out_count);
/* Reads a property through its handler into buf (len at most 256; never written past len). */
VARU_API uint32_t VARU_get_property_val(uint32_t group_tag, uint32_t prop_tag, char *buf, int32_t len);
/* Writes a property: 10 read-only, 6/7/8 refused value, 3 no handler, else the handler's result.
   The value must end within len (at most 256) and hold no control characters (else 6). */
VARU_API uint32_t VARU_set_property_val(uint32_t group_tag, int32_t prop_tag, char *value, uint32_t len);
/* Runs an action on a group. params: six 256-byte slots, 0xFF first byte = not given. The value
   slots are read, never written. new_tags, when given, receives the tags of the groups the action
   created and must have room for VARU_MAX_NEW_TAGS entries. 9 missing, 6/7/8 refused parameter. */
VARU_API uint32_t VARU_do_action(uint32_t target_tag, int32_t action_tag, char params[6][256], uint32_t *new_tags);
VARU_API uint32_t VARU_refresh_group(int32_t tag);
VARU_API uint32_t VARU_get_node_description(int32_t tag, hm_node_description *out);
VARU_API uint32_t VARU_get_param_info(uint32_t action_tag, hm_param_info *out);
/* Tags of the action-created groups and links in creation order; *inout_count gives the room
   and receives the number written; 11 when the array is too small. */
VARU_API uint32_t VARU_get_persistent_nodes(uint32_t *out_tags, int32_t *inout_count);
VARU_API uint32_t VARU_get_persistence_info(int32_t tag, hm_persistence_info *out);
/* The last status code and its text (600 bytes). 0, 1 (a NULL pointer) or 14. */
VARU_API uint32_t VARU_get_last_status(uint32_t *code, char *text);

/* The log level kept in the level file (0 off to 6 debug). */
VARU_API uint32_t VARU_set_debug_level(void);
VARU_API uint32_t VARU_get_debug_level(void);
VARU_API uint32_t VARU_update_loglevel(void);

/* Persistence text: save the action-made part of the tree and the property values (access_mask
   1 read-only, 2 writable, 3 all), replay a saved text into the running tree. */
VARU_API void save_node(hm_node *node, FILE *stream, uint32_t access_mask);
VARU_API uint32_t restore_hm(FILE *stream);
VARU_API uint32_t backend_make_persistent(hm_node *group, hm_node *invoked_on, hm_node *action, char *params);

#ifdef __cplusplus
}
#endif

#endif /* VARU_H */
