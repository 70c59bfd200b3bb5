// Command blocks as the camera receives them, built byte by byte for the driver's tests.
#pragma once

#include <array>
#include <cstdint>

namespace m52test {

using Block = std::array<uint8_t, 64>;

inline Block MakeBlock(uint8_t code) { Block b{}; b[0] = code; return b; }

inline Block RegisterWrite(unsigned reg, uint32_t value, unsigned bits, unsigned widthMask)
{
    Block b = MakeBlock(4);
    uint32_t word = ((value & widthMask) << 10) | reg;
    b[1] = static_cast<uint8_t>(bits);
    for (int i = 0; i < 4; ++i) b[2 + i] = static_cast<uint8_t>(word >> (8 * i));
    return b;
}

// A register write with the bit count and mask of the register's data width.
inline Block Register(unsigned reg, uint32_t value)
{
    if (reg < 192) return RegisterWrite(reg, value, 16, 0x3F);
    if (reg < 384) return RegisterWrite(reg, value, 26, 0xFFFF);
    return RegisterWrite(reg, value, 32, 0x3FFFFF);
}

inline Block TransferSize(uint32_t size)
{
    Block b = MakeBlock(9);
    for (int i = 0; i < 4; ++i) b[1 + i] = static_cast<uint8_t>(size >> (8 * i));
    return b;
}

inline Block WordMode(uint8_t on) { Block b = MakeBlock(10); b[1] = on; return b; }
inline Block PortWrite(uint8_t port, uint8_t value) { Block b = MakeBlock(0x25); b[1] = port; b[2] = value; return b; }
inline Block PortRead(uint8_t port) { Block b = MakeBlock(0x26); b[1] = port; return b; }

inline Block SromWrite(uint16_t address, uint8_t data)
{
    Block b = MakeBlock(0x40);
    b[1] = 0x51; b[2] = 3; b[3] = static_cast<uint8_t>(address >> 8); b[4] = static_cast<uint8_t>(address); b[5] = data;
    return b;
}

inline Block SromRead(uint16_t address)
{
    Block b = MakeBlock(0x41);
    b[1] = 0x51; b[2] = 2; b[3] = 1; b[4] = static_cast<uint8_t>(address >> 8); b[5] = static_cast<uint8_t>(address);
    return b;
}

// The shutter registers as the SDK programs a value in the normal range (at most 1068).
inline void NormalShutterRegisters(unsigned value, uint32_t *regs)
{
    regs[154] = 0; regs[158] = value & 0x3F; regs[159] = (value >> 6) & 0x3F;
}

}  // namespace m52test
