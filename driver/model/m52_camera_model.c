#include "driver/model/m52_camera_model.h"

#include <string.h>

static const char kModelTag[6] = {'R', 'O', 'R', 'U', '5', '2'};

/* Per-unit sensor trims for registers 16 to 24 as a unit leaves the factory; every one below 64. */
static const uint8_t kUnitTrim[9] = {4, 29, 7, 3, 2, 1, 0, 5, 12};

uint8_t m52_model_unit_byte(unsigned unit, unsigned i)
{
    if (i >= 9) return 0;
    return (uint8_t)((kUnitTrim[i] + (unit % 4)) & 0x3F);
}

static void reset_electronics(M52CameraModel *model)
{
    memset(model->registers, 0, sizeof model->registers);
    memset(model->ports, 0, sizeof model->ports);
    memset(model->response, 0, sizeof model->response);
    model->response_state = M52_RESPONSE_NONE;
    model->response_fails = 0;
    model->transfer_size = 0;
    model->word_mode_command = 0;
    memset(model->command_counts, 0, sizeof model->command_counts);
    model->refused_commands = 0;
    model->register_errors = 0;
    model->sensor_resets = 0;
}

void m52_model_factory_srom(M52CameraModel *model, unsigned unit)
{
    unsigned i;
    memset(model->srom, 0xFF, sizeof model->srom);
    memset(model->srom_unreadable, 0, sizeof model->srom_unreadable);
    for (i = 0; i < 9; ++i) model->srom[M52_SROM_UNIT_BASE + i] = m52_model_unit_byte(unit, i);
    memcpy(&model->srom[M52_SROM_TAG_ADDRESS], kModelTag, sizeof kModelTag);
    model->srom[M52_SROM_CONFIG_ADDRESS] = 1;
}

void m52_model_power_on(M52CameraModel *model, unsigned unit)
{
    reset_electronics(model);
    m52_model_factory_srom(model, unit);
}

void m52_model_set_srom(M52CameraModel *model, unsigned address, uint8_t value, int readable)
{
    const uint8_t bit = (uint8_t)(1u << (address & 7u));
    address &= 0xFFFFu;
    model->srom[address] = value;
    if (readable)
        model->srom_unreadable[address >> 3] &= (uint8_t)~bit;
    else
        model->srom_unreadable[address >> 3] |= bit;
}

void m52_model_replug(M52CameraModel *model)
{
    reset_electronics(model);
}

unsigned m52_register_width(unsigned reg)
{
    if (reg < 192) return 6;
    if (reg < 256) return 0;
    if (reg < 384) return 16;
    if (reg < 1024) return 22;
    return 0;
}

unsigned m52_register_bit_count(unsigned reg)
{
    unsigned width = m52_register_width(reg);
    return width ? width + 10 : 0;
}

static uint32_t read_le32(const uint8_t *p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

/* Bytes from `first` to the end of the block must be zero: a command defines no more. */
static int tail_is_zero(const uint8_t *block, unsigned first)
{
    unsigned i;
    for (i = first; i < M52_BLOCK_SIZE; ++i)
        if (block[i] != 0) return 0;
    return 1;
}

static unsigned command_slot(uint8_t code)
{
    switch (code) {
    case M52_CMD_PREPARE: return M52_CMDSLOT_PREPARE;
    case M52_CMD_REQUEST_FRAME: return M52_CMDSLOT_REQUEST_FRAME;
    case M52_CMD_WRITE_REGISTER: return M52_CMDSLOT_WRITE_REGISTER;
    case M52_CMD_SET_TRANSFER_SIZE: return M52_CMDSLOT_SET_TRANSFER_SIZE;
    case M52_CMD_SET_WORD_MODE: return M52_CMDSLOT_SET_WORD_MODE;
    case M52_CMD_WRITE_PORT: return M52_CMDSLOT_WRITE_PORT;
    case M52_CMD_READ_PORT: return M52_CMDSLOT_READ_PORT;
    case M52_CMD_SROM_WRITE: return M52_CMDSLOT_SROM_WRITE;
    case M52_CMD_SROM_READ: return M52_CMDSLOT_SROM_READ;
    default: return M52_CMDSLOT_OTHER;
    }
}

static uint8_t port_value(const M52CameraModel *model, unsigned port)
{
    if (port < 4) return (uint8_t)(model->transfer_size >> (8 * port));
    return model->ports[port];
}

static void set_response(M52CameraModel *model, uint8_t value, int fails)
{
    memset(model->response, 0, sizeof model->response);
    model->response[0] = value;
    model->response_state = M52_RESPONSE_FIRST;
    model->response_fails = fails;
}

static int srom_readable(const M52CameraModel *model, unsigned address)
{
    return !(model->srom_unreadable[address >> 3] & (1u << (address & 7u)));
}

static M52CommandResult write_register(M52CameraModel *model, const uint8_t *block)
{
    unsigned bits = block[1];
    uint32_t word = read_le32(&block[2]);
    unsigned reg = word & 0x3FF;
    unsigned width = m52_register_width(reg);
    if (!tail_is_zero(block, 6)) return M52_COMMAND_REFUSED;
    /* The serial word is clocked out bit by bit: its length must be the register's. */
    if (width == 0 || bits != width + 10 || (bits < 32 && (word >> bits) != 0)) {
        model->register_errors++;
        return M52_COMMAND_REFUSED;
    }
    model->registers[reg] = (word >> 10) & ((1u << width) - 1u);
    return M52_COMMAND_DONE;
}

static M52CommandResult write_port(M52CameraModel *model, const uint8_t *block, unsigned *effects)
{
    unsigned port = block[1];
    uint8_t value = block[2];
    if (port >= M52_PORT_COUNT || !tail_is_zero(block, 3)) return M52_COMMAND_REFUSED;
    if (port < 4) {
        uint32_t shift = 8 * port;
        model->transfer_size = (model->transfer_size & ~(0xFFu << shift)) | ((uint32_t)value << shift);
        return M52_COMMAND_DONE;
    }
    if (port == M52_PORT_SENSOR_RESET && (value & 0x01)) {
        /* Holding the sensor in reset clears every register; the start-up sequence follows. */
        memset(model->registers, 0, sizeof model->registers);
        model->sensor_resets++;
        *effects |= M52_EFFECT_SENSOR_RESET;
    }
    if (port == M52_PORT_TRIGGER) {
        if (value & 0x80) *effects |= M52_EFFECT_TRIGGER_FIRED;
        if ((value & 0x01) && !(model->ports[port] & 0x01)) *effects |= M52_EFFECT_TRIGGER_ARMED;
        value &= 0x7F; /* bit 7 is a pulse, it does not stay set */
    }
    model->ports[port] = value;
    return M52_COMMAND_DONE;
}

M52CommandResult m52_model_command(M52CameraModel *model, const uint8_t block[M52_BLOCK_SIZE],
                                   unsigned *effects)
{
    unsigned ignored = 0;
    M52CommandResult result = M52_COMMAND_REFUSED;
    if (!effects) effects = &ignored;
    *effects = 0;
    model->command_counts[command_slot(block[0])]++;

    switch (block[0]) {
    case M52_CMD_PREPARE:
        if (tail_is_zero(block, 1)) result = M52_COMMAND_DONE;
        break;
    case M52_CMD_REQUEST_FRAME:
        if (tail_is_zero(block, 1)) {
            *effects |= M52_EFFECT_FRAME_REQUESTED;
            result = M52_COMMAND_DONE;
        }
        break;
    case M52_CMD_WRITE_REGISTER:
        result = write_register(model, block);
        break;
    case M52_CMD_SET_TRANSFER_SIZE: {
        uint32_t size = read_le32(&block[1]);
        if (tail_is_zero(block, 5) && size > 0 && size <= M52_MAX_TRANSFER) {
            model->transfer_size = size;
            result = M52_COMMAND_DONE;
        }
        break;
    }
    case M52_CMD_SET_WORD_MODE:
        if (block[1] <= 1 && tail_is_zero(block, 2)) {
            model->word_mode_command = block[1];
            result = M52_COMMAND_DONE;
        }
        break;
    case M52_CMD_WRITE_PORT:
        result = write_port(model, block, effects);
        break;
    case M52_CMD_READ_PORT:
        if (block[1] < M52_PORT_COUNT && tail_is_zero(block, 2)) {
            set_response(model, port_value(model, block[1]), 0);
            result = M52_COMMAND_DONE;
        }
        break;
    case M52_CMD_SROM_WRITE:
        if (block[1] == M52_SROM_TARGET && block[2] == 3 && tail_is_zero(block, 6)) {
            model->srom[((unsigned)block[3] << 8) | block[4]] = block[5];
            result = M52_COMMAND_DONE;
        }
        break;
    case M52_CMD_SROM_READ:
        if (block[1] == M52_SROM_TARGET && block[2] == 2 && block[3] == 1 && tail_is_zero(block, 6)) {
            const unsigned address = ((unsigned)block[4] << 8) | block[5];
            /* The memory does not acknowledge an unreadable address: the answer read fails. */
            set_response(model, model->srom[address], !srom_readable(model, address));
            result = M52_COMMAND_DONE;
        }
        break;
    default:
        break;
    }
    if (result == M52_COMMAND_REFUSED) {
        model->refused_commands++;
        *effects = 0;
    }
    return result;
}

int m52_model_response(M52CameraModel *model, uint8_t out[M52_BLOCK_SIZE])
{
    unsigned i;
    switch (model->response_state) {
    case M52_RESPONSE_FIRST:
        for (i = 0; i < M52_BLOCK_SIZE; ++i) out[i] = (uint8_t)~model->response[i];
        model->response_state = M52_RESPONSE_SECOND;
        return 1;
    case M52_RESPONSE_SECOND:
        model->response_state = M52_RESPONSE_NONE;
        if (model->response_fails) return 0;
        memcpy(out, model->response, M52_BLOCK_SIZE);
        return 1;
    default:
        return 0;
    }
}

int m52_model_word_mode(const M52CameraModel *model)
{
    return model->ports[M52_PORT_PIXEL_WIDTH] & 0x01;
}

int m52_model_trigger_mode(const M52CameraModel *model)
{
    return model->ports[M52_PORT_TRIGGER] & 0x01;
}

unsigned m52_model_clock_hz(const M52CameraModel *model)
{
    return model->ports[M52_PORT_CLOCK] == 1 ? 12000000u : 24000000u;
}

unsigned m52_model_shutter(const M52CameraModel *model)
{
    const uint32_t *r = model->registers;
    unsigned shutter;
    if (r[154] & 1)
        shutter = 1067 + (r[155] & 0x3F); /* long range: 155 holds the lines past 1067 */
    else
        shutter = (r[158] & 0x3F) | ((r[159] & 0x3F) << 6);
    return shutter > M52_SHUTTER_MAX ? M52_SHUTTER_MAX : shutter;
}

unsigned m52_model_exposure_lines(const M52CameraModel *model)
{
    return M52_SHUTTER_MAX - m52_model_shutter(model);
}

unsigned m52_model_gain(const M52CameraModel *model)
{
    return (model->registers[6] & 0x3F) | ((model->registers[7] & 0x0F) << 6);
}

uint32_t m52_model_frame_bytes(const M52CameraModel *model)
{
    uint32_t size = model->transfer_size;
    if (size == 0 || size > M52_MAX_TRANSFER) return 0;
    return m52_model_word_mode(model) ? 2 * size : size;
}

uint32_t m52_model_readout_lines(const M52CameraModel *model)
{
    uint32_t size = model->transfer_size;
    if (size == 0 || size > M52_MAX_TRANSFER) return 0;
    return (size + M52_SENSOR_WIDTH - 1) / M52_SENSOR_WIDTH;
}

uint64_t m52_model_frame_period_us(const M52CameraModel *model)
{
    uint64_t clock = m52_model_clock_hz(model);
    uint64_t readout = (uint64_t)m52_model_readout_lines(model) * M52_LINE_CLOCKS * 1000000u / clock;
    uint64_t exposure = ((uint64_t)m52_model_exposure_lines(model) * M52_LINE_CLOCKS + M52_EXPOSURE_FIXED_CLOCKS)
                        * 1000000u / clock;
    uint64_t usb = m52_model_frame_bytes(model) / M52_USB_BYTES_PER_US;
    uint64_t period = readout;
    if (exposure > period) period = exposure;
    if (usb > period) period = usb;
    return period;
}
