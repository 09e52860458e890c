/*
 * vxsim.h - the simulated adapter module (libvxsim.so).
 *
 * libvxima.so loads this module when VXIMA_SIMULATOR=FILE is set and routes the driver device
 * nodes (the paths of access/wire.h) to it. The module reads FILE (the adapters it simulates) and
 * keeps what an adapter keeps (flash, settings) in files under VXIMA_ROOT, so that state outlives
 * the process and two processes see one adapter.
 */
#ifndef VXSIM_H
#define VXSIM_H

#ifdef __cplusplus
extern "C" {
#endif

/* Device calls, with the meaning of open(2), ioctl(2) and close(2). vxsim_device_open fails with
   errno ENOENT for a node the simulated adapters do not have. Descriptors are real descriptors
   reserved by the module, so they never collide with the process's other files. */
int vxsim_device_open(const char *path, int flags);
int vxsim_device_ioctl(int fd, unsigned long request, void *arg);
int vxsim_device_close(int fd);
/* 1 when fd was returned by vxsim_device_open and is still open. */
int vxsim_owns_fd(int fd);

#ifdef __cplusplus
}
#endif

#endif /* VXSIM_H */
