// Encoding of the 64-byte vendor command blocks and the register word format.
// Portable: these functions only fill bytes; sending is the driver channel's job.
#pragma once

#include <cstdint>

#include "device/device_protocol.h"

namespace quorin {

// One 64-byte block for PIPE_COMMAND. Every byte a command does not define is 0.
struct CommandBlock {
    uint8_t bytes[kCommandBlockSize];
};

// Width class of a sensor register: its data mask and the bit count of the
// serial word (data bits plus 10 address bits).
struct RegisterFormat {
    uint32_t mask;
    uint8_t bitCount;
};

// Registers 0-191 carry 6 bits, 256-383 16 bits, 384-1023 22 bits.
// 192-255 and anything above 1023 are refused: returns false.
bool LookUpRegisterFormat(uint32_t reg, RegisterFormat* format);

// Serial word W = ((value AND mask) << 10) OR register. Register must be valid.
uint32_t EncodeRegisterWord(uint32_t reg, uint32_t value, const RegisterFormat& format);

CommandBlock EncodePrepare();
CommandBlock EncodeRequestFrame();
// Returns false (block untouched) for a refused register number.
bool EncodeWriteRegister(uint32_t reg, uint32_t value, CommandBlock* block);
CommandBlock EncodeSetTransferSize(uint32_t size);
CommandBlock EncodeSetWordMode(uint8_t mode);
CommandBlock EncodeWritePort(uint8_t port, uint8_t value);
CommandBlock EncodeReadPort(uint8_t port);
CommandBlock EncodeSromWrite(uint16_t address, uint8_t data);
CommandBlock EncodeSromRead(uint16_t address);

// The 44-byte block of IOCTL_SET_PARAMETER: 1, the value, then zeros.
void EncodeParameterBlock(int32_t value, uint8_t out[kParameterBlockSize]);

}  // namespace quorin
