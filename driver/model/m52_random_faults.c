#include "driver/model/m52_random_faults.h"

/* splitmix64: small, fast and well mixed from any seed, including 0. */
static uint64_t next_u64(uint64_t *state)
{
    uint64_t z = (*state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

void m52_random_faults_start(M52RandomFaults *faults, uint32_t seed, uint32_t rate)
{
    faults->state = ((uint64_t)seed << 32) | seed;
    faults->rate = rate > M52_RATE_ONE ? M52_RATE_ONE : rate;
}

int m52_random_faults_active(const M52RandomFaults *faults)
{
    return faults->rate != 0;
}

M52RandomFault m52_random_faults_next(M52RandomFaults *faults, M52FaultTarget target)
{
    M52RandomFault fault;
    uint64_t draw;
    unsigned kinds;
    fault.kind = M52_RANDOM_NONE;
    fault.stall_ms = 0;
    fault.corrupt_seed = 0;
    if (faults->rate == 0) return fault;
    /* One draw per request whether or not it faults, so the sequence depends only on the order
     * of requests. */
    draw = next_u64(&faults->state);
    if ((uint32_t)(draw % M52_RATE_ONE) >= faults->rate) return fault;
    kinds = target == M52_FAULT_TARGET_COMMAND ? 3u : 4u;
    fault.kind = (M52RandomFaultKind)(1u + (unsigned)((draw >> 32) % kinds));
    if (fault.kind == M52_RANDOM_STALL) {
        uint32_t max = target == M52_FAULT_TARGET_FRAME ? M52_FRAME_STALL_MAX_MS : M52_COMMAND_STALL_MAX_MS;
        fault.stall_ms = 20u + (uint32_t)((draw >> 40) % max);
    }
    if (fault.kind == M52_RANDOM_CORRUPT) fault.corrupt_seed = (uint32_t)(draw >> 20) | 1u;
    return fault;
}

void m52_random_corrupt(uint8_t *data, uint32_t length, uint32_t seed)
{
    uint64_t state = seed;
    unsigned i, count;
    if (!data || length == 0) return;
    count = 1u + (unsigned)(next_u64(&state) % 16u);
    for (i = 0; i < count && length > 1; ++i) {
        uint64_t r = next_u64(&state);
        uint32_t at = 1u + (uint32_t)(r % (length - 1u));
        uint8_t flip = (uint8_t)(r >> 32);
        data[at] ^= flip ? flip : 0xFF;
    }
    /* Byte 0 always changes: a response's one meaningful byte, a frame's first sample. */
    data[0] ^= 0x5A;
}

uint32_t m52_random_short_length(uint32_t length)
{
    return length / 2;
}
