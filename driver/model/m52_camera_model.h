/* The simulated camera: sensor registers, controller ports, serial memory, the command decoder
 * and the frame timing. Plain C with no platform headers, so the kernel driver and the native
 * tests run exactly the same model. Not thread-safe: the driver serialises access. */
#ifndef M52_CAMERA_MODEL_H
#define M52_CAMERA_MODEL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum {
    M52_SENSOR_WIDTH = 1360,
    M52_SENSOR_HEIGHT = 1024,
    M52_REGISTER_COUNT = 1024,
    M52_PORT_COUNT = 16,
    M52_SROM_SIZE = 65536,
    M52_BLOCK_SIZE = 64,
    M52_LINE_CLOCKS = 1790,       /* clocks per sensor line */
    M52_EXPOSURE_FIXED_CLOCKS = 200,
    M52_SHUTTER_MAX = 1074,       /* exposure lines = 1074 - shutter */
    M52_MAX_TRANSFER = M52_SENSOR_WIDTH * M52_SENSOR_HEIGHT,
    M52_USB_BYTES_PER_US = 40      /* about 40 MB/s of bulk transfer */
};

/* Command codes, byte 0 of a command block. */
enum {
    M52_CMD_PREPARE = 1,
    M52_CMD_REQUEST_FRAME = 2,
    M52_CMD_WRITE_REGISTER = 4,
    M52_CMD_SET_TRANSFER_SIZE = 9,
    M52_CMD_SET_WORD_MODE = 10,
    M52_CMD_WRITE_PORT = 0x25,
    M52_CMD_READ_PORT = 0x26,
    M52_CMD_SROM_WRITE = 0x40,
    M52_CMD_SROM_READ = 0x41
};

/* Controller ports with a meaning to the model. */
enum {
    M52_PORT_SENSOR_RESET = 6,
    M52_PORT_USER_IO = 7,
    M52_PORT_TRIGGER = 11,
    M52_PORT_PIXEL_WIDTH = 14,
    M52_PORT_CLOCK = 15
};

enum { M52_SROM_TARGET = 0x51, M52_SROM_TAG_ADDRESS = 0x1810, M52_SROM_UNIT_BASE = 0x1800,
       M52_SROM_CONFIG_ADDRESS = 0x1EB0 };

/* Index of each known command in the per-code counters; M52_CMDSLOT_OTHER counts unknown codes. */
enum {
    M52_CMDSLOT_PREPARE, M52_CMDSLOT_REQUEST_FRAME, M52_CMDSLOT_WRITE_REGISTER,
    M52_CMDSLOT_SET_TRANSFER_SIZE, M52_CMDSLOT_SET_WORD_MODE, M52_CMDSLOT_WRITE_PORT,
    M52_CMDSLOT_READ_PORT, M52_CMDSLOT_SROM_WRITE, M52_CMDSLOT_SROM_READ, M52_CMDSLOT_OTHER,
    M52_CMDSLOT_COUNT
};

/* What a command block did. */
typedef enum {
    M52_COMMAND_DONE = 0,      /* accepted and carried out */
    M52_COMMAND_REFUSED = 1,   /* malformed or out of range: the transfer fails */
} M52CommandResult;

/* Extra effects of an accepted command that the driver has to act on. */
enum {
    M52_EFFECT_FRAME_REQUESTED = 1u << 0,
    M52_EFFECT_TRIGGER_FIRED = 1u << 1,   /* port 11 written with bit 7 */
    M52_EFFECT_TRIGGER_ARMED = 1u << 2,   /* port 11 bit 0 went from 0 to 1 */
    M52_EFFECT_SENSOR_RESET = 1u << 3
};

/* Where the answer of the last command with one stands. The controller answers on the response
 * pipe in two reads: the first delivers what the pipe still held (never usable), the second the
 * answer, which is then gone. */
typedef enum {
    M52_RESPONSE_NONE = 0,    /* nothing to read: a read fails */
    M52_RESPONSE_FIRST = 1,   /* an answer waits; the next read is the first of the two */
    M52_RESPONSE_SECOND = 2,  /* the next read delivers the answer */
} M52ResponseState;

typedef struct M52CameraModel {
    uint32_t registers[M52_REGISTER_COUNT];
    uint8_t ports[M52_PORT_COUNT];
    uint8_t srom[M52_SROM_SIZE];
    uint8_t srom_unreadable[M52_SROM_SIZE / 8]; /* addresses whose read is not acknowledged */
    uint8_t response[M52_BLOCK_SIZE];
    M52ResponseState response_state;
    int response_fails;            /* the second read of this answer fails */
    uint32_t transfer_size;        /* samples per frame; bytes in 8-bit mode */
    uint8_t word_mode_command;     /* last byte 1 of the word-mode command */
    uint32_t command_counts[M52_CMDSLOT_COUNT];
    uint32_t refused_commands;     /* command blocks refused by the decoder */
    uint32_t register_errors;      /* register writes whose bit count did not fit the register */
    uint32_t sensor_resets;
} M52CameraModel;

/* Power-on state of unit `unit` (0 to 31): zero registers and ports, serial memory preloaded with
 * the model tag, the per-unit bytes and the configuration byte. */
void m52_model_power_on(M52CameraModel *model, unsigned unit);
/* Power cycle that keeps the serial memory (a re-plugged camera keeps its EEPROM). */
void m52_model_replug(M52CameraModel *model);
/* Serial memory of unit `unit` as it leaves the factory; every address readable. */
void m52_model_factory_srom(M52CameraModel *model, unsigned unit);
/* Sets one serial-memory byte (address 0 to 0xFFFF); `readable` 0 makes its reads fail. */
void m52_model_set_srom(M52CameraModel *model, unsigned address, uint8_t value, int readable);
/* Per-unit byte i (0 to 8) preloaded at 0x1800 + i: below 64, differs between units. */
uint8_t m52_model_unit_byte(unsigned unit, unsigned i);

/* Decodes one 64-byte command block. `effects` (may be null) receives M52_EFFECT_* bits. */
M52CommandResult m52_model_command(M52CameraModel *model, const uint8_t block[M52_BLOCK_SIZE],
                                   unsigned *effects);
/* One read of the response pipe. The first read after an answering command gives a block that
 * must not be used (the bitwise complement of the answer, so it never passes for it); the second
 * gives the answer and clears it. Returns 0 (out untouched) when there is nothing to read or the
 * answer failed. */
int m52_model_response(M52CameraModel *model, uint8_t out[M52_BLOCK_SIZE]);

/* Data width in bits of sensor register `reg`, or 0 where the register cannot be written. */
unsigned m52_register_width(unsigned reg);
/* Bit count that a register write of `reg` must carry (data width + 10 address bits), or 0. */
unsigned m52_register_bit_count(unsigned reg);

/* Readout state derived from registers and ports. */
int m52_model_word_mode(const M52CameraModel *model);          /* 1: 16-bit samples */
int m52_model_trigger_mode(const M52CameraModel *model);       /* port 11 bit 0 */
unsigned m52_model_clock_hz(const M52CameraModel *model);      /* 24 MHz, or 12 MHz (port 15 = 1) */
unsigned m52_model_shutter(const M52CameraModel *model);       /* decoded from registers 154-163 */
unsigned m52_model_exposure_lines(const M52CameraModel *model);/* 1074 - shutter, at least 0 */
unsigned m52_model_gain(const M52CameraModel *model);          /* registers 6 (low 6) and 7 (high 4) */
/* Bytes a frame read must ask for: transfer size, doubled in 16-bit mode; 0 when the transfer
 * size is unusable (0 or more than the sensor holds). */
uint32_t m52_model_frame_bytes(const M52CameraModel *model);
/* Sensor lines read out to fill the transfer (whole lines of 1360 samples, rounded up). */
uint32_t m52_model_readout_lines(const M52CameraModel *model);
/* Realtime frame period in microseconds: the longest of readout, exposure and USB transfer. */
uint64_t m52_model_frame_period_us(const M52CameraModel *model);

#ifdef __cplusplus
}
#endif

#endif
