/* Internal declarations of the simulated camera driver. */
#ifndef M52SIM_DRIVER_H
#define M52SIM_DRIVER_H

#include <ddk/wdm.h>

#include "driver/m52sim_control.h"
#include "driver/model/m52_camera_model.h"
#include "driver/model/m52_scene.h"
#include "driver/model/m52_random_faults.h"

#define M52SIM_POOL_TAG 0x6D35324D /* 'M52m' */

typedef enum { DEVICE_KIND_CONTROL = 1, DEVICE_KIND_CAMERA = 2 } DEVICE_KIND;

typedef struct CONTROL_EXTENSION {
    DEVICE_KIND kind;
} CONTROL_EXTENSION;

/* What the camera knows of one open handle (the file object's FsContext). A handle belongs to
 * the plug-in it was opened in: after an unplug it stays dead even when the camera comes back,
 * as a handle does after a surprise removal. Frame requests count per handle. */
typedef struct CAMERA_FILE {
    ULONG generation;            /* the camera's unplug count when the handle was opened */
    ULONG pending_requests;      /* this handle's frame requests not yet matched by a read */
} CAMERA_FILE;

/* One simulated camera; the extension of its device object. The spin lock guards everything
 * below it except the picture, which the picture mutex guards while a frame is rendered. */
typedef struct CAMERA_EXTENSION {
    DEVICE_KIND kind;
    ULONG index;
    PDEVICE_OBJECT device;
    BOOLEAN link_created;

    KSPIN_LOCK lock;
    volatile LONG attached;
    ULONG generation;            /* counts unplugs; handles opened before one are dead */
    M52CameraModel model;
    LIST_ENTRY reads;            /* pended frame reads, oldest first */
    ULONG pending_reads;
    ULONG pending_requests;      /* frame requests of all live handles not yet matched by a read */
    ULONG latched_triggers;
    ULONG pace, scene, fault;
    ULONG stamp_bytes;           /* leading frame bytes stamped with the frame number */
    ULONG frame_timeout_ms;
    ULONG trigger_every_ms;
    LONGLONG next_periodic_trigger;
    LONGLONG last_delivery;      /* interrupt time of the last frame, 100 ns units */
    ULONG frames_delivered, frames_failed, refused_requests, open_handles, wrong_code_requests;
    M52RandomFaults random;      /* the seeded random fault mode */
    ULONG random_seed;
    ULONG random_counts[M52SIM_RANDOM_TARGETS][M52SIM_RANDOM_KINDS];
    ULONG log_next, log_count, log_sequence, log_dropped;
    M52SimLogEntry log[M52SIM_LOG_CAPACITY];

    KMUTEX picture_mutex;
    UCHAR *picture;              /* 1360 x 1024 RGB, or NULL */
    ULONG picture_version;       /* raised with every new picture */
    M52SceneCache render_cache;  /* the camera thread's own: the last frame it rendered */

    KEVENT wake;                 /* wakes the camera thread */
    volatile LONG stop;
    PVOID thread;                /* referenced thread object */
} CAMERA_EXTENSION;

/* Driver-wide state: the control device and the camera devices made so far. */
typedef struct DRIVER_STATE {
    PDRIVER_OBJECT driver;
    PDEVICE_OBJECT control;
    KMUTEX attach_mutex;         /* serialises attach, detach and unload */
    CAMERA_EXTENSION *cameras[M52SIM_MAX_CAMERAS];
} DRIVER_STATE;

extern DRIVER_STATE g_driver;

/* camera_device.c */
NTSTATUS CameraAttach(ULONG index);
NTSTATUS CameraDetach(ULONG index);
void CameraDestroy(CAMERA_EXTENSION *camera);
NTSTATUS CameraCreateClose(CAMERA_EXTENSION *camera, PIRP irp, PIO_STACK_LOCATION stack);
NTSTATUS CameraCleanup(CAMERA_EXTENSION *camera, PIRP irp, PIO_STACK_LOCATION stack);
NTSTATUS CameraDeviceControl(CAMERA_EXTENSION *camera, PIRP irp, PIO_STACK_LOCATION stack);

/* The next random fault decision for `target` (lock held), counted. */
M52RandomFault CameraDrawFault(CAMERA_EXTENSION *camera, M52FaultTarget target);
/* Waits `ms` milliseconds in the calling thread (no lock held). */
void CameraStall(ULONG ms);

/* camera_frames.c: the pended frame reads and the per-camera thread that completes them */
NTSTATUS FrameQueueRead(CAMERA_EXTENSION *camera, CAMERA_FILE *file, PIRP irp);
void FrameFailAll(CAMERA_EXTENSION *camera, NTSTATUS status);
void FrameCancelForFile(CAMERA_EXTENSION *camera, PFILE_OBJECT file);
NTSTATUS FrameThreadStart(CAMERA_EXTENSION *camera);
void FrameThreadStop(CAMERA_EXTENSION *camera);
LONGLONG FrameNow(void);

/* control_device.c */
NTSTATUS ControlDeviceControl(PIRP irp, PIO_STACK_LOCATION stack);

#endif
