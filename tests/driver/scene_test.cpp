// The scene in front of the simulated sensor: mosaic layout, determinism, motion, exposure and
// gain, and the byte layout of rendered frames.
#include <gtest/gtest.h>

#include <vector>

#include "driver/model/m52_camera_model.h"
#include "driver/model/m52_scene.h"

namespace {

M52SceneParams Scene(unsigned id, uint32_t frame = 0, unsigned lines = M52_REFERENCE_LINES, unsigned gain = M52_REFERENCE_GAIN)
{
    M52SceneParams p{};
    p.scene = id;
    p.frame_number = frame;
    p.exposure_lines = lines;
    p.gain = gain;
    return p;
}

std::vector<uint8_t> Render(const M52SceneParams &p, uint32_t samples, bool word)
{
    std::vector<uint8_t> out(word ? 2 * samples : samples, 0xEE);
    m52_scene_render(&p, out.data(), samples, word ? 1 : 0);
    return out;
}

TEST(SceneTest, MosaicRowsAreRedGreenThenGreenBlue)
{
    EXPECT_EQ(0u, m52_mosaic_channel(0, 0));
    EXPECT_EQ(1u, m52_mosaic_channel(1, 0));
    EXPECT_EQ(1u, m52_mosaic_channel(0, 1));
    EXPECT_EQ(2u, m52_mosaic_channel(1, 1));
    // The red bar (sixth of eight) lights only the red sites.
    const M52SceneParams p = Scene(M52_SCENE_BARS, 0);
    const unsigned x = 5 * 170 + 10, y = 900; // clear of the moving object in frame 0
    EXPECT_EQ(767u, m52_scene_sample(&p, x, y));
    EXPECT_EQ(0u, m52_scene_sample(&p, x + 1, y));
    EXPECT_EQ(0u, m52_scene_sample(&p, x, y + 1));
    EXPECT_EQ(0u, m52_scene_sample(&p, x + 1, y + 1));
    // The blue bar lights only the blue sites.
    const unsigned bx = 6 * 170 + 10;
    EXPECT_EQ(0u, m52_scene_sample(&p, bx, y));
    EXPECT_EQ(767u, m52_scene_sample(&p, bx + 1, y + 1));
}

TEST(SceneTest, FramesAreDeterministicAndTheObjectMovesEachFrame)
{
    for (unsigned id = 0; id < M52_SCENE_BUILTIN_COUNT; ++id) {
        const uint32_t samples = 1360 * 1024;
        EXPECT_EQ(Render(Scene(id, 7), samples, false), Render(Scene(id, 7), samples, false)) << "scene " << id;
        EXPECT_NE(Render(Scene(id, 7), samples, false), Render(Scene(id, 8), samples, false)) << "scene " << id;
    }
    unsigned x0, y0, x1, y1;
    m52_scene_object_position(3, &x0, &y0);
    m52_scene_object_position(4, &x1, &y1);
    EXPECT_EQ(x0 + M52_OBJECT_STEP_X, x1);
    EXPECT_EQ(y0 + M52_OBJECT_STEP_Y, y1);
    // The object stays on the sensor however far the frame count runs.
    m52_scene_object_position(0xFFFFFFFFu, &x1, &y1);
    EXPECT_LE(x1 + M52_OBJECT_SIZE, 1360u);
    EXPECT_LE(y1 + M52_OBJECT_SIZE, 1024u);
}

TEST(SceneTest, BrightnessFollowsExposureLinesAndGainAndClips)
{
    EXPECT_EQ(512u, m52_scene_expose(512, M52_REFERENCE_LINES, M52_REFERENCE_GAIN));
    EXPECT_EQ(256u, m52_scene_expose(512, M52_REFERENCE_LINES / 2, M52_REFERENCE_GAIN));
    EXPECT_EQ(0u, m52_scene_expose(512, 0, 1023));
    // Gain scales by (256 + gain) / 768: gain 0 gives a third.
    EXPECT_EQ(512u / 3, m52_scene_expose(512, M52_REFERENCE_LINES, 0));
    EXPECT_EQ(1023u, m52_scene_expose(767, 1074, 1023));
    EXPECT_LT(m52_scene_expose(100, 500, 300), m52_scene_expose(100, 600, 300));
    EXPECT_LT(m52_scene_expose(100, 500, 300), m52_scene_expose(100, 500, 400));
    const M52SceneParams flat = Scene(M52_SCENE_FLAT, 0, 505, 512);
    EXPECT_EQ(256u, m52_scene_sample(&flat, 1000, 1000));
}

TEST(SceneTest, RenderedSamplesMatchTheSampleFunctionInBothPixelWidths)
{
    const uint32_t samples = 1360 * 1024;
    for (unsigned id = 0; id < M52_SCENE_BUILTIN_COUNT; ++id) {
        const M52SceneParams p = Scene(id, 21 + id * 50, 700, 900);
        const std::vector<uint8_t> narrow = Render(p, samples, false);
        const std::vector<uint8_t> wide = Render(p, samples, true);
        for (uint32_t i = 0; i < samples; ++i) {
            const unsigned x = i % 1360, y = i / 1360;
            const unsigned v = m52_scene_sample(&p, x, y);
            ASSERT_EQ(v >> 2, narrow[i]) << "scene " << id << " x " << x << " y " << y;
            ASSERT_EQ(v, unsigned(wide[2 * i] | (wide[2 * i + 1] << 8))) << "scene " << id << " x " << x << " y " << y;
            ASSERT_LE(v, 1023u);
        }
    }
}

TEST(SceneTest, PartialLastLineIsFilledAndNothingBeyondTheFrameIsWritten)
{
    const M52SceneParams p = Scene(M52_SCENE_RAMP, 0);
    const uint32_t samples = 1360 + 700; // one line and a part
    std::vector<uint8_t> out(samples + 16, 0xEE);
    m52_scene_render(&p, out.data(), samples, 0);
    EXPECT_EQ(m52_scene_sample(&p, 699, 1) >> 2, out[1360 + 699]);
    for (uint32_t i = samples; i < out.size(); ++i) EXPECT_EQ(0xEE, out[i]);
}

TEST(SceneTest, UploadedPictureIsMosaickedAndExposed)
{
    std::vector<uint8_t> rgb(1360 * 1024 * 3);
    for (size_t i = 0; i < rgb.size(); i += 3) { rgb[i] = 255; rgb[i + 1] = 128; rgb[i + 2] = 0; }
    M52SceneParams p = Scene(M52_SCENE_PICTURE, 5);
    p.picture_rgb = rgb.data();
    EXPECT_EQ(1023u, m52_scene_sample(&p, 0, 0));              // red site
    EXPECT_EQ((128u << 2) | (128u >> 6), m52_scene_sample(&p, 1, 0)); // green site
    EXPECT_EQ(0u, m52_scene_sample(&p, 1, 1));                  // blue site
    p.exposure_lines = M52_REFERENCE_LINES / 2;
    EXPECT_EQ(511u, m52_scene_sample(&p, 0, 0));
    p.picture_rgb = nullptr; // no picture uploaded yet: black rather than a fault
    EXPECT_EQ(0u, m52_scene_sample(&p, 0, 0));
}

}  // namespace

// A frame rendered through the cache has the bytes of a full render, over a run of frames in
// which the square moves, jumps back, stays, and the settings, the size and the picture change.
TEST(SceneTest, CachedFramesEqualFullRendersThroughEveryChange)
{
    std::vector<uint8_t> picture(M52_SENSOR_WIDTH * M52_SENSOR_HEIGHT * 3);
    for (size_t i = 0; i < picture.size(); ++i) picture[i] = uint8_t(i * 7 + i / 4099);
    std::vector<uint8_t> cacheBytes(2 * M52_SENSOR_WIDTH * M52_SENSOR_HEIGHT);
    M52SceneCache cache{};
    cache.frame = cacheBytes.data();
    cache.capacity = uint32_t(cacheBytes.size());
    const uint32_t full = M52_SENSOR_WIDTH * M52_SENSOR_HEIGHT, part = M52_SENSOR_WIDTH * 500 + 17;
    struct Step { unsigned scene, camera; uint32_t frame; unsigned lines, gain; uint32_t samples; bool word; uint32_t version; };
    const Step steps[] = {
        {M52_SCENE_COMPOSITE, 3, 0, 1010, 512, full, false, 0},   {M52_SCENE_COMPOSITE, 3, 1, 1010, 512, full, false, 0},
        {M52_SCENE_COMPOSITE, 3, 2, 1010, 512, full, false, 0},   {M52_SCENE_COMPOSITE, 3, 2, 1010, 512, full, false, 0},
        {M52_SCENE_COMPOSITE, 3, 117, 1010, 512, full, false, 0}, {M52_SCENE_COMPOSITE, 3, 5, 1010, 512, full, false, 0},
        {M52_SCENE_COMPOSITE, 3, 6, 600, 512, full, false, 0},    {M52_SCENE_COMPOSITE, 3, 7, 600, 900, full, false, 0},
        {M52_SCENE_COMPOSITE, 0, 8, 600, 900, full, false, 0},    {M52_SCENE_BARS, 0, 9, 600, 900, full, false, 0},
        {M52_SCENE_BARS, 0, 10, 600, 900, full, true, 0},         {M52_SCENE_BARS, 0, 11, 600, 900, full, true, 0},
        {M52_SCENE_RAMP, 0, 12, 1074, 0, part, true, 0},          {M52_SCENE_RAMP, 0, 60, 1074, 0, part, true, 0},
        {M52_SCENE_PICTURE, 0, 61, 1010, 512, full, false, 1},    {M52_SCENE_PICTURE, 0, 62, 1010, 512, full, false, 1},
        {M52_SCENE_PICTURE, 0, 63, 1010, 512, full, false, 2},    {M52_SCENE_PATCHES, 0, 64, 1010, 512, part, false, 2},
    };
    for (size_t k = 0; k < sizeof steps / sizeof steps[0]; ++k) {
        const Step &s = steps[k];
        if (k == 16) picture[1000] ^= 0xFF; // the picture's bytes change under the same pointer
        M52SceneParams p = Scene(s.scene, s.frame, s.lines, s.gain);
        p.camera = s.camera;
        p.picture_rgb = picture.data();
        std::vector<uint8_t> cached(s.word ? 2 * s.samples : s.samples, 0xEE);
        m52_scene_render_cached(&p, cached.data(), s.samples, s.word ? 1 : 0, s.version, &cache);
        EXPECT_TRUE(cached == Render(p, s.samples, s.word)) << "step " << k;
    }
    // Without room for the frame it renders in full.
    M52SceneCache small{};
    small.frame = cacheBytes.data();
    small.capacity = 100;
    std::vector<uint8_t> out(full);
    const M52SceneParams p = Scene(M52_SCENE_COMPOSITE, 4);
    m52_scene_render_cached(&p, out.data(), full, 0, 0, &small);
    EXPECT_TRUE(out == Render(p, full, false));
    EXPECT_EQ(small.valid, 0);
}
