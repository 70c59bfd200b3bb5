// Seeded random drivers over what reads data from outside the library: frame geometry from
// capture windows and the raw frames it copies from, command blocks as the camera decodes them and
// its response reads, configuration-file records, values loaded from the registry, and the still
// and AVI writers' inputs. Run natively under ASan/UBSan: every buffer is allocated at its exact
// size, so a read or write one byte outside fails the run.
//
// The CI run is a few seconds. QUORIN_FUZZ_SCALE=N runs N times the iterations and QUORIN_FUZZ_SEED
// picks another seed (the seed is printed with every failure).
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "camera/config_records.h"
#include "device/command_block.h"
#include "device/device_protocol.h"
#include "device/frame_geometry.h"
#include "driver/model/m52_camera_model.h"
#include "files/avi_writer.h"
#include "files/still_image_writer.h"
#include "settings/adjustable_values.h"
#include "settings/filter_settings.h"
#include "settings/filter_values.h"
#include "settings/size_entry.h"
#include "settings/value_ranges.h"
#include "tests/files/still_test_support.h"
#include "tests/settings/fake_analog_device.h"

namespace {

int Scale() {
    const char* value = std::getenv("QUORIN_FUZZ_SCALE");
    const int scale = value ? std::atoi(value) : 1;
    return scale > 0 ? scale : 1;
}

uint32_t Seed() {
    const char* value = std::getenv("QUORIN_FUZZ_SEED");
    return value ? static_cast<uint32_t>(std::strtoul(value, nullptr, 0)) : 20261208u;
}

// Integers that find the edges: small ones, values around powers of two and the int32 limits.
int32_t EdgyInt(std::mt19937& random, int32_t typicalMax) {
    switch (random() % 6) {
    case 0: return static_cast<int32_t>(random() % 8) - 2;
    case 1: return static_cast<int32_t>(random() % (uint32_t(typicalMax) + 1));
    case 2: return static_cast<int32_t>(random());
    case 3: {
        const int shift = static_cast<int>(random() % 31);
        return static_cast<int32_t>((1u << shift) + (random() % 3) - 1);
    }
    case 4: return (random() & 1) ? INT_MAX - static_cast<int32_t>(random() % 3) : INT_MIN + static_cast<int32_t>(random() % 3);
    default: return typicalMax + static_cast<int32_t>(random() % 5) - 2;
    }
}

}  // namespace

// A geometry either is refused or copies its window out of a raw frame of exactly the bytes it
// says it reads, into a destination of exactly the window: never a byte beyond either.
TEST(OutsideDataFuzz, FrameGeometryCopiesStayInsideBothBuffers) {
    const uint32_t seed = Seed();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    int accepted = 0;
    for (int i = 0; i < 5000 * Scale(); ++i) {
        quorin::FrameGeometry g;
        if (random() % 2) {
            // A consistent geometry...
            g.lineWidth = 1 + int32_t(random() % 96);
            g.imageWidth = 1 + int32_t(random() % uint32_t(g.lineWidth));
            g.xOffset = int32_t(random() % uint32_t(g.lineWidth - g.imageWidth + 1));
            g.totalLines = 1 + int32_t(random() % 64);
            g.imageHeight = 1 + int32_t(random() % uint32_t(g.totalLines));
            g.yOffset = int32_t(random() % uint32_t(g.totalLines - g.imageHeight + 1));
            g.ringCount = 2 + int32_t(random() % 8);
            // ...with one field replaced by an edge value.
            int32_t* fields[] = {&g.lineWidth, &g.xOffset, &g.imageWidth, &g.totalLines, &g.yOffset, &g.imageHeight,
                                 &g.ringCount};
            if (random() % 2) *fields[random() % 7] = EdgyInt(random, 96);
        } else {
            g.lineWidth = EdgyInt(random, 96);
            g.xOffset = EdgyInt(random, 32);
            g.imageWidth = EdgyInt(random, 96);
            g.totalLines = EdgyInt(random, 64);
            g.yOffset = EdgyInt(random, 32);
            g.imageHeight = EdgyInt(random, 64);
            g.ringCount = EdgyInt(random, 8);
        }
        // Windows read from outside go through the capture-window test first.
        const quorin::CaptureWindow w = {EdgyInt(random, 1360), EdgyInt(random, 1024), EdgyInt(random, 1360),
                                         EdgyInt(random, 1024), EdgyInt(random, 4)};
        if (quorin::IsCaptureWindowValid(w)) {
            ASSERT_LE(int64_t{w.x} + w.width, 1360);
            ASSERT_LE(int64_t{w.y} + w.height, 1024);
        }
        if (quorin::CheckFrameGeometry(g) != quorin::DEV_OK) continue;
        const size_t windowPixels = size_t(g.imageWidth) * size_t(g.imageHeight);
        if (windowPixels > (1u << 16)) continue;  // keep the iterations fast
        ++accepted;
        const int p = 1 + int(random() % 2);
        const size_t sourceBytes = quorin::WindowSourceBytes(g, p);
        if (sourceBytes > (1u << 20)) continue;
        ASSERT_LE(sourceBytes, size_t(quorin::TransferSizeOf(g)) * size_t(p));
        std::unique_ptr<uint8_t[]> source(new uint8_t[sourceBytes]);
        for (size_t b = 0; b < sourceBytes; ++b) source[b] = static_cast<uint8_t>(b * 131 + 7);
        const size_t need = windowPixels * size_t(p);
        // Exactly enough, or one short (refused with nothing written).
        const bool shortBuffer = random() % 4 == 0;
        const size_t destinationBytes = shortBuffer ? need - 1 : need;
        std::unique_ptr<uint8_t[]> destination(new uint8_t[destinationBytes + 1]);
        std::memset(destination.get(), 0xEE, destinationBytes + 1);
        const int rc = quorin::CopyFrameWindow(destination.get(), destinationBytes, source.get(), g, p);
        if (shortBuffer) {
            ASSERT_EQ(rc, quorin::DEV_NO_BUFFER);
            ASSERT_EQ(destination[0], 0xEE);
            continue;
        }
        ASSERT_EQ(rc, quorin::DEV_OK);
        // The last pixel of the window is the source's last byte(s) that the copy reads.
        ASSERT_EQ(0, std::memcmp(destination.get() + need - p, source.get() + sourceBytes - p, size_t(p)));
        ASSERT_EQ(destination[need], 0xEE);
    }
    EXPECT_GT(accepted, 1000);
}

// Every block the library encodes is one the camera carries out; random and mutated blocks are
// refused or carried out without reaching outside the camera's state, and a response is read
// exactly as the protocol says: a throw-away block, then the answer, then nothing.
TEST(OutsideDataFuzz, CommandBlocksAndResponseReads) {
    const uint32_t seed = Seed();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::unique_ptr<M52CameraModel> model(new M52CameraModel);
    m52_model_power_on(model.get(), 0);
    for (int i = 0; i < 20000 * Scale(); ++i) {
        quorin::CommandBlock block = {};
        bool encoded = true;
        const uint32_t value = static_cast<uint32_t>(EdgyInt(random, 0xFFFF));
        switch (random() % 10) {
        case 0: block = quorin::EncodePrepare(); break;
        case 1: encoded = quorin::EncodeWriteRegister(random() % 300, value, &block); break;
        case 2: block = quorin::EncodeSetTransferSize(1 + value % M52_MAX_TRANSFER); break;
        case 3: block = quorin::EncodeSetWordMode(static_cast<uint8_t>(random() % 2)); break;
        case 4: block = quorin::EncodeWritePort(static_cast<uint8_t>(random() % 16), static_cast<uint8_t>(value)); break;
        case 5: block = quorin::EncodeReadPort(static_cast<uint8_t>(random() % 16)); break;
        case 6: block = quorin::EncodeSromRead(static_cast<uint16_t>(value)); break;
        case 7: block = quorin::EncodeSromWrite(static_cast<uint16_t>(0x1F00 + value % 0x100), static_cast<uint8_t>(value)); break;
        default:
            // Outside data: random bytes, or an encoded block with a few bytes changed.
            encoded = false;
            if (random() % 2) {
                for (uint8_t& b : block.bytes) b = static_cast<uint8_t>(random());
            } else {
                block = quorin::EncodeReadPort(static_cast<uint8_t>(random()));
                for (int k = 0, n = 1 + int(random() % 4); k < n; ++k)
                    block.bytes[random() % quorin::kCommandBlockSize] = static_cast<uint8_t>(random());
            }
            break;
        }
        unsigned effects = 0;
        const M52CommandResult result = m52_model_command(model.get(), block.bytes, &effects);
        if (encoded) {
            ASSERT_EQ(result, M52_COMMAND_DONE) << "an encoded block was refused, opcode " << int(block.bytes[0]);
        }
        ASSERT_LE(m52_model_frame_bytes(model.get()), uint32_t(M52_MAX_TRANSFER) * 2);
        // Reads of the response pipe: at most two succeed, and never the same block twice.
        uint8_t first[M52_BLOCK_SIZE], second[M52_BLOCK_SIZE], third[M52_BLOCK_SIZE];
        const int a = m52_model_response(model.get(), first);
        if (!a) continue;
        const int b = m52_model_response(model.get(), second);
        if (b) {
            ASSERT_NE(0, std::memcmp(first, second, M52_BLOCK_SIZE)) << "the throw-away block equals the answer";
        }
        ASSERT_EQ(0, m52_model_response(model.get(), third));
        if (random() % 64 == 0) m52_model_replug(model.get());
    }
}

// The records of any file: one pair per whole 8 bytes, little-endian, nothing read beyond the end.
TEST(OutsideDataFuzz, ConfigurationFileRecords) {
    const uint32_t seed = Seed();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    EXPECT_TRUE(ParseConfigRecords(nullptr, 64).empty());
    for (int i = 0; i < 3000 * Scale(); ++i) {
        const size_t size = random() % 4 == 0 ? random() % 16 : random() % 4096;
        std::unique_ptr<uint8_t[]> data(new uint8_t[size ? size : 1]);
        for (size_t b = 0; b < size; ++b) data[b] = static_cast<uint8_t>(random());
        const std::vector<std::pair<int32_t, int32_t>> pairs = ParseConfigRecords(data.get(), size);
        ASSERT_EQ(pairs.size(), size / 8);
        if (pairs.empty()) continue;
        const size_t k = random() % pairs.size();
        const uint8_t* r = data.get() + k * 8;
        ASSERT_EQ(uint32_t(pairs[k].first), uint32_t(r[0]) | uint32_t(r[1]) << 8 | uint32_t(r[2]) << 16 | uint32_t(r[3]) << 24);
        ASSERT_EQ(uint32_t(pairs[k].second), uint32_t(r[4]) | uint32_t(r[5]) << 8 | uint32_t(r[6]) << 16 | uint32_t(r[7]) << 24);
    }
}

// A value loaded from the registry is clamped into its id's range; whatever word is stored there,
// the loaded value is one the setter accepts, and a size list never matches a size it lacks.
TEST(OutsideDataFuzz, RegistryValuesLoadIntoAcceptedValues) {
    const uint32_t seed = Seed();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    FakeAnalogDevice device;
    quorin::AdjustableValues values;
    for (int i = 0; i < 20000 * Scale(); ++i) {
        const int id = 1 + int(random() % 28);
        quorin::ValueRange range;
        if (!quorin::StoredFilterValueRange(id, &range)) continue;
        const int32_t stored = EdgyInt(random, range.max);
        const int32_t loaded = quorin::ClampToRange(stored, range);
        ASSERT_GE(loaded, range.min);
        ASSERT_LE(loaded, range.max);
        if (stored >= range.min && stored <= range.max) {
            ASSERT_EQ(loaded, stored);
        }
        ASSERT_EQ(0, quorin::SetFilterValue(values, device, id, loaded)) << "id " << id << " value " << loaded;
        int32_t back = 0;
        ASSERT_EQ(0, quorin::GetFilterValue(values, device, id, &back));
        ASSERT_EQ(back, loaded);
    }
    for (int i = 0; i < 2000 * Scale(); ++i) {
        std::vector<quorin::SizeEntry> table(random() % 6);
        for (quorin::SizeEntry& e : table)
            e = {EdgyInt(random, 1360), EdgyInt(random, 1024), EdgyInt(random, 8), EdgyInt(random, 8),
                 EdgyInt(random, 8), EdgyInt(random, 8), EdgyInt(random, 8)};
        const int32_t width = EdgyInt(random, 8), height = EdgyInt(random, 8);
        const quorin::SizeEntry* found = quorin::FindSizeEntry(table, width, height);
        const quorin::SizeEntry* first = nullptr;
        for (const quorin::SizeEntry& e : table)
            if (!first && e.width == width && e.height == height) first = &e;
        ASSERT_EQ(found, first);
    }
}

// The writers take any image geometry, depth, type and sample width: they write a whole file or
// none, and read no pixel outside the image.
TEST(OutsideDataFuzz, WritersWithMalformedInputs) {
    const uint32_t seed = Seed();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    ScratchDir dir;
    const uint16_t depths[] = {8, 16, 24, 32, 48, 64, 1, 4, 12, 15, 40, 0};
    for (int i = 0; i < 150 * Scale(); ++i) {
        const int width = 1 + int(random() % 40), height = 1 + int(random() % 40);
        const uint16_t depth = depths[random() % 6];
        CDibImage image;
        ASSERT_EQ(1, image.Create(width, height, depth));
        FillPattern(image, Pattern::Noise, static_cast<uint32_t>(random()));
        // Claims about the pixels that a damaged image could make, never beyond its memory.
        const int32_t realWidth = image.width, realHeight = image.height, realStride = image.stride;
        const uint16_t realDepth = image.bitCount;
        uint8_t* realBits = image.bits;
        switch (random() % 6) {
        case 0: image.bitCount = depths[random() % 12]; break;
        case 1: image.width = EdgyInt(random, realWidth) % (realWidth + 1); break;
        case 2: image.height = EdgyInt(random, realHeight) % (realHeight + 1); break;
        case 3: image.stride = EdgyInt(random, realStride); break;
        case 4: image.bits = nullptr; break;
        default: image.header.biSizeImage = static_cast<uint32_t>(random()); break;
        }
        if (size_t(std::max(image.stride, 0)) * size_t(std::max(image.height, 0)) >
            size_t(realStride) * size_t(realHeight))
            image.stride = realStride;  // a stride past the memory is no claim a writer can check
        const int type = random() % 3 == 0 ? EdgyInt(random, 7) : int(random() % 7);
        const int sampleBits = random() % 4 == 0 ? EdgyInt(random, 16) : 10;
        const std::string path = dir.File("w" + std::to_string(i));
        const int rc = SaveStillImage(path.c_str(), image, type, sampleBits);
        EXPECT_EQ(rc == 1, FileExists(path)) << "iteration " << i << " type " << type;
        std::remove(path.c_str());
        image.width = realWidth, image.height = realHeight, image.stride = realStride;
        image.bitCount = realDepth, image.bits = realBits;
    }
    for (int i = 0; i < 300 * Scale(); ++i) {
        const int width = EdgyInt(random, 48), height = EdgyInt(random, 48);
        const int bitCount = EdgyInt(random, 64), fps = EdgyInt(random, 60);
        const std::string path = dir.File("a" + std::to_string(i) + ".avi");
        CAviWriter writer;
        writer.SetSizeLimit(random() % 2 ? CAviWriter::kDefaultSizeLimit : 64 * 1024);
        const int opened = writer.Open(path.c_str(), width, height, bitCount, fps);
        ASSERT_EQ(opened == 1, FileExists(path)) << width << " x " << height;
        if (!opened) continue;
        ASSERT_GT(writer.FrameSize(), 0u);
        // Frames of a huge picture are not written here; its headers and index still are.
        const uint32_t frames = writer.FrameSize() > (8u << 20) ? 0 : random() % 4;
        std::vector<uint8_t> frame(frames ? writer.FrameSize() : 1, static_cast<uint8_t>(i));
        for (uint32_t n = 0; n < frames; ++n)
            if (writer.WriteFrame(frame.data()) != AviFrameResult::Written) break;
        const uint32_t written = writer.FrameCount();
        const uint32_t frameSize = writer.FrameSize();
        ASSERT_EQ(1, writer.Close(static_cast<uint32_t>(EdgyInt(random, 6000))));
        const std::vector<uint8_t> f = ReadFileBytes(path);
        ASSERT_GE(f.size(), 232u);
        EXPECT_EQ(f.size() - 8, U32At(f, 4));
        EXPECT_EQ(4 + written * (8 + frameSize), U32At(f, 224));
        std::remove(path.c_str());
    }
}
