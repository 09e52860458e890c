/*
 * vxsim_control.h - test controls of the simulated adapter (libvxsim.so).
 *
 * Tests link libvxsim.so (or find these symbols in the loaded module) to look at what reached the
 * simulated devices and to make the simulated firmware misbehave.
 */
#ifndef VXSIM_CONTROL_H
#define VXSIM_CONTROL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VXSIM_ANY (-1)

/* One request as the simulated driver received it. For firmware commands (iSCSI request 0x4580,
   NIC request 5) the header fields are decoded; for the NIC path also the wrapper's PCI address. */
typedef struct vxsim_journal_entry {
  char path[128];             /* device node the descriptor was opened on */
  uint32_t request;           /* ioctl request number */
  int32_t is_firmware_command;
  uint8_t opcode;
  uint8_t subsystem;
  uint8_t port_number;
  uint8_t domain;
  uint32_t timeout;
  uint32_t request_length;
  uint8_t version;
  uint8_t bus;                /* NIC wrapper only */
  uint8_t device;
  uint8_t function;
  uint8_t status;             /* status the simulated firmware answered */
  uint8_t reserved[3];
  uint16_t additional_status;
  uint16_t reserved2;
  int32_t result;             /* what the ioctl returned (-1 with errno on failure) */
  int32_t error;              /* errno when result is -1 */
} vxsim_journal_entry;

/* Journal of every request since the module was loaded or the journal was cleared. */
int vxsim_journal_count(void);
int vxsim_journal_get(int index, vxsim_journal_entry *out);   /* 0, or -1 when out of range */
void vxsim_journal_clear(void);
/* The request payload of journal entry `index` as the library sent it (the request_length bytes
   behind the header, before the answer): copies at most `size` bytes to `out` (which may be NULL)
   and returns the payload's length; -1 when out of range, for a request that is no firmware command,
   or once the payload was dropped (the newest 64 MiB of payloads are kept). */
int vxsim_journal_payload(int index, void *out, uint32_t size);

/* Fault injection. A fault applies to the next `count` firmware commands that match opcode and
   subsystem (VXSIM_ANY matches all), then expires; count -1 = until cleared. */
void vxsim_inject_status(int opcode, int subsystem, uint8_t status, uint16_t additional_status, int count);
/* The same after the first `skip` matching commands, which run as usual (the second of two commands
   of one kind fails). */
void vxsim_inject_status_after(int opcode, int subsystem, uint8_t status, uint16_t additional_status, int skip,
                               int count);
/* The ioctl fails with -1 and `error` (EIO, ENODEV ...). request 0 = any request, else only that one
   (also driver-private requests, where opcode and subsystem are ignored). */
void vxsim_inject_errno(int opcode, int subsystem, uint32_t request, int error, int count);
/* The ioctl returns 0 but the buffer is left exactly as the library sent it. */
void vxsim_inject_unanswered(int opcode, int subsystem, int count);
/* The answer is delayed by `milliseconds`. */
void vxsim_inject_delay(int opcode, int subsystem, uint32_t milliseconds, int count);
/* Matching firmware commands are answered with `bytes` as their payload instead of the simulated
   firmware's answer: status 0, the rest of the payload zeroed, actual response length `length`; bytes
   beyond the request's room are cut and answered with status 4, as a record too large would be.
   Checked after a status fault. */
void vxsim_inject_reply(int opcode, int subsystem, const void *bytes, uint32_t length, int count);
/* Matching firmware commands throw inside the simulated firmware, as a handler does that runs out of
   memory (out_of_memory non-zero) or fails otherwise: the ioctl fails with -1 and ENOMEM or EIO, the
   journal notes it, and the module goes on serving. Checked before a status fault. */
void vxsim_inject_exception(int opcode, int subsystem, int out_of_memory, int count);
void vxsim_clear_faults(void);

/* Changes the NIC functions of adapter `adapter_index` (in configuration order) between commands:
   the adapter then reports `function_count` NIC functions numbered `first_function`,
   first_function + 1, ... (0 removes them). Returns 0, or -1 for a bad index or count. */
int vxsim_set_nic_functions(int adapter_index, int first_function, int function_count);

/* Sessions of the simulated iSCSI firmware (every function of every adapter) with the target name
   `target_name` (case ignored): VXSIM_SESSION_CLOSE closes them, VXSIM_SESSION_FAIL marks their login
   failed, VXSIM_SESSION_REOPEN opens them again. The number of sessions changed, or -1 when the module
   is not loaded or the action is unknown. */
#define VXSIM_SESSION_CLOSE 1
#define VXSIM_SESSION_FAIL 2
#define VXSIM_SESSION_REOPEN 3
int vxsim_session_control(const char *target_name, int action);

/* Reads `blocks` blocks from `lba` of LUN `lun` of the remote target `target_name` into `out` (room
   for `size` bytes), as READ(10) would. The bytes read, or -1 for an unknown target or LUN, a range
   beyond the LUN or too small a buffer. */
int64_t vxsim_lun_read(const char *target_name, uint32_t lun, uint64_t lba, uint32_t blocks, void *out,
                       uint32_t size);

/* Re-reads the configuration named by VXIMA_SIMULATOR and the state under VXIMA_ROOT, closes every
   simulated descriptor and clears journal and faults. 0, or -1 when the configuration is unusable. */
int vxsim_reset(void);

/* Why the configuration or VXIMA_ROOT was refused at the last load ("" when the module is loaded).
   The text stays valid until the next call. */
const char *vxsim_last_error(void);

#ifdef __cplusplus
}
#endif

#endif /* VXSIM_CONTROL_H */
