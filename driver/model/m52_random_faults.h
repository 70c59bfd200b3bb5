/* Seeded random faults of the simulated camera: for a chosen fraction of commands, response reads
 * and frames, one of a failure, a stall, a short transfer or corrupted bytes. The same seed and
 * rate give the same sequence of decisions, so a fault run can be repeated exactly. Plain C with
 * no platform headers, shared by the driver and the native tests. */
#ifndef M52_RANDOM_FAULTS_H
#define M52_RANDOM_FAULTS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* What a fault is drawn for. */
typedef enum {
    M52_FAULT_TARGET_COMMAND = 0,  /* a command block on the command pipe */
    M52_FAULT_TARGET_RESPONSE = 1, /* a read of the response pipe */
    M52_FAULT_TARGET_FRAME = 2,    /* a frame read */
    M52_FAULT_TARGET_COUNT = 3
} M52FaultTarget;

typedef enum {
    M52_RANDOM_NONE = 0,
    M52_RANDOM_FAIL = 1,    /* the request fails */
    M52_RANDOM_STALL = 2,   /* the request is answered late (stall_ms) */
    M52_RANDOM_SHORT = 3,   /* fewer bytes than asked are moved */
    M52_RANDOM_CORRUPT = 4, /* the bytes arrive with some of them changed (responses and frames) */
    M52_RANDOM_KIND_COUNT = 5
} M52RandomFaultKind;

enum {
    M52_RATE_ONE = 1000000,        /* rates are in millionths */
    M52_COMMAND_STALL_MAX_MS = 400,
    M52_FRAME_STALL_MAX_MS = 2500
};

typedef struct M52RandomFaults {
    uint64_t state;
    uint32_t rate;  /* millionths of requests that get a fault; 0: off */
} M52RandomFaults;

typedef struct M52RandomFault {
    M52RandomFaultKind kind;
    uint32_t stall_ms;      /* M52_RANDOM_STALL */
    uint32_t corrupt_seed;  /* M52_RANDOM_CORRUPT: which bytes change, never 0 */
} M52RandomFault;

/* Starts (rate > 0, clamped to M52_RATE_ONE) or stops (rate 0) the random mode. */
void m52_random_faults_start(M52RandomFaults *faults, uint32_t seed, uint32_t rate);
int m52_random_faults_active(const M52RandomFaults *faults);
/* The decision for the next request of `target`; kind NONE for most of them. A command is never
 * corrupted (its bytes are the caller's): it fails, stalls or is taken short. */
M52RandomFault m52_random_faults_next(M52RandomFaults *faults, M52FaultTarget target);
/* Changes a few bytes of data chosen by seed; byte 0 always changes. */
void m52_random_corrupt(uint8_t *data, uint32_t length, uint32_t seed);
/* Bytes a short transfer of `length` moves: about half, never all and never none when length > 1. */
uint32_t m52_random_short_length(uint32_t length);

#ifdef __cplusplus
}
#endif

#endif
