/* Control interface of the simulated camera driver, shared by the driver, m52sim.exe and the
 * driver's own tests. The SDK never uses it: it reaches the cameras only through their
 * ZadeZ52EZIZE-<suffix> paths.
 *
 * Open M52SIM_CONTROL_PATH and send the codes below with DeviceIoControl. Every code takes an
 * M52SimRequest as input; STATUS and LOG return a structure as output. PICTURE takes an
 * M52SimRequest as input and the 1360 x 1024 picture (R, G, B bytes, top line first) as its
 * output buffer (direct I/O). Failures: ERROR_INVALID_PARAMETER for a bad camera index or value,
 * ERROR_NOT_READY (STATUS_DEVICE_NOT_CONNECTED) for a camera that is not attached. */
#ifndef M52SIM_CONTROL_H
#define M52SIM_CONTROL_H

#include <stdint.h>

#define M52SIM_SERVICE_NAME "m52sim"
#define M52SIM_CONTROL_PATH "\\\\.\\M52SimControl"
#define M52SIM_CONTROL_DEVICE_NAME L"\\Device\\M52SimControl"
#define M52SIM_CONTROL_LINK_NAME L"\\DosDevices\\M52SimControl"
/* Camera N is \Device\M52SimCameraN, linked as \DosDevices\ZadeZ52EZIZE-<suffix of N>. */
#define M52SIM_CAMERA_BASE_NAME "ZadeZ52EZIZE"
#define M52SIM_CAMERA_SUFFIXES "0123456789ABCDEFGHIJKLNMOPQRSTUVWXYZ" /* N before M */
#define M52SIM_MAX_CAMERAS 32

/* FILE_DEVICE_UNKNOWN, FILE_ANY_ACCESS; the function numbers are the driver's own. */
#define M52SIM_CTL(function, method) ((0x22u << 16) | ((uint32_t)(function) << 2) | (method))
#define M52SIM_METHOD_BUFFERED 0u
#define M52SIM_METHOD_IN_DIRECT 1u

#define M52SIM_IOCTL_ATTACH M52SIM_CTL(0x900, M52SIM_METHOD_BUFFERED)       /* plug camera in */
#define M52SIM_IOCTL_DETACH M52SIM_CTL(0x901, M52SIM_METHOD_BUFFERED)       /* unplug; fails its reads */
#define M52SIM_IOCTL_STATUS M52SIM_CTL(0x902, M52SIM_METHOD_BUFFERED)       /* out: M52SimStatus */
#define M52SIM_IOCTL_TRIGGER M52SIM_CTL(0x903, M52SIM_METHOD_BUFFERED)      /* value: pulse count */
#define M52SIM_IOCTL_TRIGGER_EVERY M52SIM_CTL(0x904, M52SIM_METHOD_BUFFERED)/* value: ms, 0 stops */
#define M52SIM_IOCTL_PACE M52SIM_CTL(0x905, M52SIM_METHOD_BUFFERED)         /* value: M52SIM_PACE_* */
#define M52SIM_IOCTL_SCENE M52SIM_CTL(0x906, M52SIM_METHOD_BUFFERED)        /* value: built-in scene id */
#define M52SIM_IOCTL_PICTURE M52SIM_CTL(0x907, M52SIM_METHOD_IN_DIRECT)     /* out buffer: the picture */
#define M52SIM_IOCTL_FAULT M52SIM_CTL(0x908, M52SIM_METHOD_BUFFERED)        /* value: M52SIM_FAULT_* */
#define M52SIM_IOCTL_LOG M52SIM_CTL(0x909, M52SIM_METHOD_BUFFERED)          /* out: M52SimLog */
#define M52SIM_IOCTL_LOG_CLEAR M52SIM_CTL(0x90A, M52SIM_METHOD_BUFFERED)
#define M52SIM_IOCTL_RESET M52SIM_CTL(0x90B, M52SIM_METHOD_BUFFERED)        /* default sim settings, factory serial memory */
#define M52SIM_IOCTL_SROM M52SIM_CTL(0x910, M52SIM_METHOD_BUFFERED)         /* value: M52SIM_SROM_VALUE */

/* One serial-memory byte of a camera: address in the high 16 bits, the byte in the low 8, and
 * M52SIM_SROM_UNREADABLE to make reads of that address fail (the memory does not answer). The
 * byte stays until it is set again or the camera is reset; a re-plug keeps it. */
#define M52SIM_SROM_UNREADABLE 0x100u
#define M52SIM_SROM_VALUE(address, byte) ((((uint32_t)(address) & 0xFFFFu) << 16) | ((uint32_t)(byte) & 0xFFu))
/* value: bytes at the start of every frame overwritten with its frame number (the
 * frames_delivered count it was sent at, 32-bit little-endian, repeated); 0 stops, and so do
 * reset and a new plug-in, so scenes stay exact unless asked. M52SIM_STAMP_WHOLE stamps it all. */
#define M52SIM_IOCTL_STAMP M52SIM_CTL(0x920, M52SIM_METHOD_BUFFERED)
/* Random faults: FAULT_SEED stores the seed (value), FAULT_RANDOM starts the mode with the rate
 * in millionths of requests (value, at most 1000000) and zeroes its counts; value 0, FAULT
 * (any kind, "clear" too), RESET and a new plug-in stop it. The counts stay readable in the status
 * until the next start. Each command block, response read and frame read then draws one decision
 * of the seeded sequence: a failure, a stall (commands and responses up to 0.4 s late, frames up
 * to 2.5 s), a short transfer, or changed bytes (responses and frames). */
#define M52SIM_IOCTL_FAULT_SEED M52SIM_CTL(0x921, M52SIM_METHOD_BUFFERED)
#define M52SIM_IOCTL_FAULT_RANDOM M52SIM_CTL(0x922, M52SIM_METHOD_BUFFERED)
/* Indices of the random fault counts: targets (rows) and kinds (columns; 0 counts the draws). */
#define M52SIM_RANDOM_TARGETS 3u /* 0 command blocks, 1 response reads, 2 frame reads */
#define M52SIM_RANDOM_KINDS 5u   /* 0 draws, 1 fail, 2 stall, 3 short, 4 corrupt */
#define M52SIM_STAMP_WHOLE 0xFFFFFFFFu

#define M52SIM_PACE_REALTIME 0u
#define M52SIM_PACE_FAST 1u

#define M52SIM_FAULT_NONE 0u
#define M52SIM_FAULT_STALL 1u  /* frame reads stay pending until cleared, detached or closed */
#define M52SIM_FAULT_SHORT 2u  /* the next frame carries half its bytes */
#define M52SIM_FAULT_FAIL 3u   /* the next frame read fails */
#define M52SIM_FAULT_REFUSE 4u /* the next command block is refused, as a malformed one */

#define M52SIM_DEFAULT_FRAME_TIMEOUT_MS 3000u
#define M52SIM_PICTURE_BYTES (1360u * 1024u * 3u)
#define M52SIM_LOG_CAPACITY 1024u
#define M52SIM_COMMAND_SLOTS 10u /* codes 1, 2, 4, 9, 10, 0x25, 0x26, 0x40, 0x41, then any other */

typedef struct M52SimRequest {
    uint32_t camera; /* 0 to 31 */
    uint32_t value;
} M52SimRequest;

typedef struct M52SimStatus {
    uint32_t camera;
    uint32_t attached;
    uint32_t frames_delivered;   /* complete frames; also the number of the next frame */
    uint32_t frames_failed;      /* reads failed by fault, time-out or detach */
    uint32_t refused_requests;   /* requests answered with an error status */
    uint32_t register_errors;    /* register writes with a bit count that does not fit */
    uint32_t command_counts[M52SIM_COMMAND_SLOTS];
    uint32_t transfer_size;      /* samples per frame */
    uint32_t frame_bytes;        /* bytes a frame read must ask for */
    uint32_t pixel_bits;         /* 8 or 16 */
    uint32_t clock_hz;
    uint32_t trigger_mode;
    uint32_t shutter;
    uint32_t exposure_lines;
    uint32_t gain;
    uint32_t pace;
    uint32_t scene;
    uint32_t fault;
    uint32_t frame_timeout_ms;
    uint32_t trigger_every_ms;
    uint32_t latched_triggers;
    uint32_t pending_reads;
    uint32_t pending_requests;
    uint32_t open_handles;
    uint32_t sensor_resets;
    uint32_t wrong_code_requests; /* pipe requests with a control code the pipe does not take */
    uint64_t frame_period_us;    /* realtime period the camera model predicts */
    uint32_t random_seed;        /* seed of the random fault mode */
    uint32_t random_rate;        /* its rate in millionths; 0 while it is off */
    uint32_t random_counts[M52SIM_RANDOM_TARGETS][M52SIM_RANDOM_KINDS]; /* since it was last started */
} M52SimStatus;

/* The log holds every command block sent on the command pipe and every read of the response
 * pipe, with the control code it came with. */
typedef struct M52SimLogEntry {
    uint32_t sequence;           /* counts every entry */
    uint32_t refused;            /* 1 when the request failed */
    uint8_t block[64];           /* pipe 0: the command block; pipe 1: what the read returned */
    uint32_t control_code;       /* the I/O control code of the request */
    uint32_t pipe;               /* 0 (command) or 1 (response read) */
} M52SimLogEntry;

typedef struct M52SimLog {
    uint32_t count;              /* entries filled, oldest first */
    uint32_t dropped;            /* older entries that no longer fit */
    M52SimLogEntry entries[M52SIM_LOG_CAPACITY];
} M52SimLog;

#endif
