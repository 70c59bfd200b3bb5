// Command blocks as the camera receives them, byte by byte.
#include <gtest/gtest.h>

#include <cstring>

#include "device/command_block.h"
#include "device/device_paths.h"

using namespace quorin;

namespace {

// All bytes from `from` on are zero.
::testing::AssertionResult ZeroFrom(const CommandBlock& b, size_t from) {
    for (size_t i = from; i < sizeof b.bytes; ++i) {
        if (b.bytes[i] != 0) {
            return ::testing::AssertionFailure() << "byte " << i << " is " << int(b.bytes[i]);
        }
    }
    return ::testing::AssertionSuccess();
}

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

TEST(RegisterCommand, TwentyTwoBitRegisterCarriesBitCount32AndWordLsbFirst) {
    CommandBlock b;
    ASSERT_TRUE(EncodeWriteRegister(384, 0x35001, &b));
    const uint32_t w = (0x35001u << 10) | 384u;
    const uint8_t expected[6] = {4, 32, uint8_t(w), uint8_t(w >> 8), uint8_t(w >> 16), uint8_t(w >> 24)};
    EXPECT_EQ(0, std::memcmp(expected, b.bytes, 6));
    EXPECT_TRUE(ZeroFrom(b, 6));
}

TEST(RegisterCommand, WidthClassesAtTheirBoundaries) {
    struct Case { uint32_t reg; uint32_t value; uint8_t bits; uint32_t data; };
    const Case cases[] = {
        {0, 0xFFFFFFFF, 16, 0x3F},    {191, 1, 16, 1},
        {256, 0x12345, 26, 0x2345},   {383, 0xFFFF, 26, 0xFFFF},
        {384, 0xFFFFFFFF, 32, 0x3FFFFF}, {1023, 0x3FE6FE, 32, 0x3FE6FE},
    };
    for (const Case& c : cases) {
        CommandBlock b;
        ASSERT_TRUE(EncodeWriteRegister(c.reg, c.value, &b)) << c.reg;
        EXPECT_EQ(c.bits, b.bytes[1]) << c.reg;
        EXPECT_EQ((c.data << 10) | c.reg, Le32(b.bytes + 2)) << c.reg;
        EXPECT_TRUE(ZeroFrom(b, 6)) << c.reg;
    }
}

TEST(RegisterCommand, SixBitRegisterMasksData) {
    CommandBlock b;
    ASSERT_TRUE(EncodeWriteRegister(5, 0x7F, &b));
    EXPECT_EQ((0x3Fu << 10) | 5u, Le32(b.bytes + 2));
}

TEST(RegisterCommand, RefusedRegistersLeaveTheBlockAlone) {
    for (uint32_t reg : {192u, 200u, 255u, 1024u, 0xFFFFFFFFu}) {
        CommandBlock b;
        std::memset(b.bytes, 0xAB, sizeof b.bytes);
        EXPECT_FALSE(EncodeWriteRegister(reg, 1, &b)) << reg;
        EXPECT_EQ(0xAB, b.bytes[0]) << reg;
        RegisterFormat f;
        EXPECT_FALSE(LookUpRegisterFormat(reg, &f)) << reg;
    }
}

TEST(ControllerCommands, PortTransferSizeAndWordModeLayouts) {
    CommandBlock b = EncodeWritePort(15, 3);
    EXPECT_EQ(0x25, b.bytes[0]);
    EXPECT_EQ(15, b.bytes[1]);
    EXPECT_EQ(3, b.bytes[2]);
    EXPECT_TRUE(ZeroFrom(b, 3));

    b = EncodeReadPort(7);
    EXPECT_EQ(0x26, b.bytes[0]);
    EXPECT_EQ(7, b.bytes[1]);
    EXPECT_TRUE(ZeroFrom(b, 2));

    b = EncodeSetTransferSize(1360u * 1024u);
    EXPECT_EQ(9, b.bytes[0]);
    EXPECT_EQ(1360u * 1024u, Le32(b.bytes + 1));
    EXPECT_TRUE(ZeroFrom(b, 5));

    b = EncodeSetWordMode(1);
    EXPECT_EQ(10, b.bytes[0]);
    EXPECT_EQ(1, b.bytes[1]);
    EXPECT_TRUE(ZeroFrom(b, 2));

    b = EncodePrepare();
    EXPECT_EQ(1, b.bytes[0]);
    EXPECT_TRUE(ZeroFrom(b, 1));
    b = EncodeRequestFrame();
    EXPECT_EQ(2, b.bytes[0]);
    EXPECT_TRUE(ZeroFrom(b, 1));
}

TEST(ControllerCommands, SerialMemoryBlocksCarryAddressHighByteFirst) {
    CommandBlock b = EncodeSromRead(0x18FF);
    const uint8_t read[6] = {0x41, 0x51, 2, 1, 0x18, 0xFF};
    EXPECT_EQ(0, std::memcmp(read, b.bytes, 6));
    EXPECT_TRUE(ZeroFrom(b, 6));

    b = EncodeSromWrite(0x1805, 0xA5);
    const uint8_t write[6] = {0x40, 0x51, 3, 0x18, 0x05, 0xA5};
    EXPECT_EQ(0, std::memcmp(write, b.bytes, 6));
    EXPECT_TRUE(ZeroFrom(b, 6));
}

TEST(ControllerCommands, ParameterBlockIsOneValueThenZeros) {
    uint8_t block[kParameterBlockSize];
    std::memset(block, 0xCC, sizeof block);
    EncodeParameterBlock(-2, block);
    EXPECT_EQ(1u, Le32(block));
    EXPECT_EQ(0xFFFFFFFEu, Le32(block + 4));
    for (size_t i = 8; i < sizeof block; ++i) EXPECT_EQ(0, block[i]) << i;
}

TEST(DevicePaths, SuffixesPutNBeforeM) {
    char path[128];
    ASSERT_TRUE(FormatDevicePath(kDeviceBaseName, 0, path, sizeof path));
    EXPECT_STREQ("\\\\.\\ZadeZ52EZIZE-0", path);
    ASSERT_TRUE(FormatDevicePath(kDeviceBaseName, 10, path, sizeof path));
    EXPECT_STREQ("\\\\.\\ZadeZ52EZIZE-A", path);
    FormatDevicePath(kDeviceBaseName, 21, path, sizeof path);
    EXPECT_STREQ("\\\\.\\ZadeZ52EZIZE-L", path);
    FormatDevicePath(kDeviceBaseName, 22, path, sizeof path);
    EXPECT_STREQ("\\\\.\\ZadeZ52EZIZE-N", path);
    FormatDevicePath(kDeviceBaseName, 23, path, sizeof path);
    EXPECT_STREQ("\\\\.\\ZadeZ52EZIZE-M", path);
    FormatDevicePath(kDeviceBaseName, 32, path, sizeof path);
    EXPECT_STREQ("\\\\.\\ZadeZ52EZIZE-W", path);
    FormatDevicePath(kDeviceBaseName, 35, path, sizeof path);
    EXPECT_STREQ("\\\\.\\ZadeZ52EZIZE-Z", path);
}

TEST(DevicePaths, IndexWithoutSuffixAndShortBufferAreSafe) {
    char path[8] = "keep";
    EXPECT_FALSE(FormatDevicePath(kDeviceBaseName, -1, path, sizeof path));
    EXPECT_FALSE(FormatDevicePath(kDeviceBaseName, 36, path, sizeof path));
    EXPECT_STREQ("keep", path);
    ASSERT_TRUE(FormatDevicePath(kDeviceBaseName, 3, path, sizeof path));
    EXPECT_EQ(7u, std::strlen(path));  // truncated, still terminated
}
