#include "device/command_block.h"

#include <cstring>

namespace quorin {

namespace {

CommandBlock EmptyBlock(uint8_t code) {
    CommandBlock block;
    std::memset(block.bytes, 0, sizeof block.bytes);
    block.bytes[0] = code;
    return block;
}

void PutLe32(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
    at[2] = static_cast<uint8_t>(value >> 16);
    at[3] = static_cast<uint8_t>(value >> 24);
}

}  // namespace

bool LookUpRegisterFormat(uint32_t reg, RegisterFormat* format) {
    if (reg > 1023 || (reg >= 192 && reg <= 255)) return false;
    if (reg < 192) {
        *format = {0x3Fu, 16};
    } else if (reg < 384) {
        *format = {0xFFFFu, 26};
    } else {
        *format = {0x3FFFFFu, 32};
    }
    return true;
}

uint32_t EncodeRegisterWord(uint32_t reg, uint32_t value, const RegisterFormat& format) {
    return ((value & format.mask) << 10) | reg;
}

CommandBlock EncodePrepare() { return EmptyBlock(CMD_PREPARE); }

CommandBlock EncodeRequestFrame() { return EmptyBlock(CMD_REQUEST_FRAME); }

bool EncodeWriteRegister(uint32_t reg, uint32_t value, CommandBlock* block) {
    RegisterFormat format;
    if (!LookUpRegisterFormat(reg, &format)) return false;
    *block = EmptyBlock(CMD_WRITE_REGISTER);
    block->bytes[1] = format.bitCount;
    PutLe32(block->bytes + 2, EncodeRegisterWord(reg, value, format));
    return true;
}

CommandBlock EncodeSetTransferSize(uint32_t size) {
    CommandBlock block = EmptyBlock(CMD_SET_TRANSFER_SIZE);
    PutLe32(block.bytes + 1, size);
    return block;
}

CommandBlock EncodeSetWordMode(uint8_t mode) {
    CommandBlock block = EmptyBlock(CMD_SET_WORD_MODE);
    block.bytes[1] = mode;
    return block;
}

CommandBlock EncodeWritePort(uint8_t port, uint8_t value) {
    CommandBlock block = EmptyBlock(CMD_WRITE_PORT);
    block.bytes[1] = port;
    block.bytes[2] = value;
    return block;
}

CommandBlock EncodeReadPort(uint8_t port) {
    CommandBlock block = EmptyBlock(CMD_READ_PORT);
    block.bytes[1] = port;
    return block;
}

CommandBlock EncodeSromWrite(uint16_t address, uint8_t data) {
    CommandBlock block = EmptyBlock(CMD_SROM_WRITE);
    block.bytes[1] = kSromTarget;
    block.bytes[2] = 3;  // bytes sent: two address bytes and the data
    block.bytes[3] = static_cast<uint8_t>(address >> 8);
    block.bytes[4] = static_cast<uint8_t>(address);
    block.bytes[5] = data;
    return block;
}

CommandBlock EncodeSromRead(uint16_t address) {
    CommandBlock block = EmptyBlock(CMD_SROM_READ);
    block.bytes[1] = kSromTarget;
    block.bytes[2] = 2;  // address bytes sent
    block.bytes[3] = 1;  // bytes to receive
    block.bytes[4] = static_cast<uint8_t>(address >> 8);
    block.bytes[5] = static_cast<uint8_t>(address);
    return block;
}

void EncodeParameterBlock(int32_t value, uint8_t out[kParameterBlockSize]) {
    std::memset(out, 0, kParameterBlockSize);
    PutLe32(out, 1);
    PutLe32(out + 4, static_cast<uint32_t>(value));
}

}  // namespace quorin
