#include "driver/model/m52_scene.h"

#include "driver/model/m52_camera_model.h"

#include <string.h>

enum { BAR_LEVEL = 767, FLAT_LEVEL = 512, BAR_COUNT = 8, PATCH_COLUMNS = 8, PATCH_ROWS = 3 };

/* White, yellow, cyan, green, magenta, red, blue, black at three quarters of full scale. */
static const uint16_t kBars[BAR_COUNT][3] = {
    {BAR_LEVEL, BAR_LEVEL, BAR_LEVEL}, {BAR_LEVEL, BAR_LEVEL, 0}, {0, BAR_LEVEL, BAR_LEVEL},
    {0, BAR_LEVEL, 0}, {BAR_LEVEL, 0, BAR_LEVEL}, {BAR_LEVEL, 0, 0}, {0, 0, BAR_LEVEL}, {0, 0, 0}};

/* 24 patches of distinct hues and tones, in rows of eight. */
static const uint16_t kPatches[PATCH_COLUMNS * PATCH_ROWS][3] = {
    {460, 320, 270}, {780, 590, 510}, {380, 490, 630}, {360, 420, 260}, {530, 510, 700}, {400, 760, 680},
    {850, 490, 180}, {290, 360, 680}, {760, 340, 380}, {360, 240, 420}, {630, 760, 250}, {880, 640, 180},
    {180, 240, 580}, {280, 580, 290}, {700, 200, 220}, {920, 800, 120}, {740, 330, 590}, {120, 500, 640},
    {960, 960, 960}, {780, 780, 780}, {600, 600, 600}, {420, 420, 420}, {250, 250, 250}, {100, 100, 100}};

enum { OBJECT_BORDER = 4, OBJECT_LEVEL = 1000, OBJECT_BORDER_LEVEL = 40 };

void m52_scene_object_position(uint32_t frame_number, unsigned *x, unsigned *y)
{
    *x = (unsigned)(((uint64_t)frame_number * M52_OBJECT_STEP_X) % (M52_SENSOR_WIDTH - M52_OBJECT_SIZE));
    *y = (unsigned)(((uint64_t)frame_number * M52_OBJECT_STEP_Y) % (M52_SENSOR_HEIGHT - M52_OBJECT_SIZE));
}

static unsigned bars_level(unsigned x, unsigned channel)
{
    return kBars[x * BAR_COUNT / M52_SENSOR_WIDTH][channel];
}

static unsigned ramp_level(unsigned x)
{
    return x * 1023u / (M52_SENSOR_WIDTH - 1);
}

static unsigned patches_level(unsigned x, unsigned y_in_band, unsigned band_height, unsigned channel)
{
    unsigned column = x * PATCH_COLUMNS / M52_SENSOR_WIDTH;
    unsigned row = y_in_band * PATCH_ROWS / band_height;
    return kPatches[row * PATCH_COLUMNS + column][channel];
}

static int in_mark_band(const M52SceneParams *scene, unsigned y)
{
    if (scene->camera == 0 || scene->camera >= 32 || scene->scene != M52_SCENE_COMPOSITE) return 0;
    return (y >= M52_MARK_BAND_A && y < M52_MARK_BAND_A + M52_MARK_BAND_LINES) ||
           (y >= M52_MARK_BAND_B && y < M52_MARK_BAND_B + M52_MARK_BAND_LINES);
}

static unsigned mark_level(const M52SceneParams *scene, unsigned x)
{
    unsigned cell = x * M52_MARK_CELLS / M52_SENSOR_WIDTH;
    return ((scene->camera >> cell) & 1u) ? M52_MARK_ON_LEVEL : M52_MARK_OFF_LEVEL;
}

unsigned m52_scene_level(const M52SceneParams *scene, unsigned x, unsigned y, unsigned channel)
{
    unsigned ox, oy;
    if (x >= M52_SENSOR_WIDTH || y >= M52_SENSOR_HEIGHT || channel > 2) return 0;
    if (scene->scene == M52_SCENE_PICTURE) {
        unsigned c;
        if (!scene->picture_rgb) return 0;
        c = scene->picture_rgb[((uint32_t)y * M52_SENSOR_WIDTH + x) * 3 + channel];
        return (c << 2) | (c >> 6); /* 8 to 10 bits, 255 -> 1023 */
    }
    m52_scene_object_position(scene->frame_number, &ox, &oy);
    if (x >= ox && x < ox + M52_OBJECT_SIZE && y >= oy && y < oy + M52_OBJECT_SIZE) {
        unsigned dx = x - ox, dy = y - oy;
        int border = dx < OBJECT_BORDER || dy < OBJECT_BORDER || dx >= M52_OBJECT_SIZE - OBJECT_BORDER ||
                     dy >= M52_OBJECT_SIZE - OBJECT_BORDER;
        return border ? OBJECT_BORDER_LEVEL : OBJECT_LEVEL;
    }
    if (in_mark_band(scene, y)) return mark_level(scene, x);
    switch (scene->scene) {
    case M52_SCENE_BARS: return bars_level(x, channel);
    case M52_SCENE_RAMP: return ramp_level(x);
    case M52_SCENE_PATCHES: return patches_level(x, y, M52_SENSOR_HEIGHT, channel);
    case M52_SCENE_FLAT: return FLAT_LEVEL;
    default: /* composite: three bands of 320, 320 and 384 lines */
        if (y < 320) return bars_level(x, channel);
        if (y < 640) return ramp_level(x);
        return patches_level(x, y - 640, M52_SENSOR_HEIGHT - 640, channel);
    }
}

unsigned m52_scene_expose(unsigned level, unsigned exposure_lines, unsigned gain)
{
    uint64_t v = (uint64_t)level * exposure_lines * (256u + gain) /
                 ((uint64_t)M52_REFERENCE_LINES * (256u + M52_REFERENCE_GAIN));
    return v > 1023 ? 1023u : (unsigned)v;
}

unsigned m52_scene_sample(const M52SceneParams *scene, unsigned x, unsigned y)
{
    unsigned level = m52_scene_level(scene, x, y, m52_mosaic_channel(x, y));
    return m52_scene_expose(level, scene->exposure_lines, scene->gain);
}

/* Levels of one sensor line, each at its own mosaic site: the fast twin of m52_scene_level. */
static void scene_line(const M52SceneParams *scene, unsigned y, uint16_t levels[M52_SENSOR_WIDTH])
{
    unsigned x, ox, oy, kind = scene->scene, band_y = y, band_height = M52_SENSOR_HEIGHT;
    if (kind == M52_SCENE_PICTURE) {
        for (x = 0; x < M52_SENSOR_WIDTH; ++x) levels[x] = (uint16_t)m52_scene_level(scene, x, y, m52_mosaic_channel(x, y));
        return;
    }
    if (kind >= M52_SCENE_BUILTIN_COUNT || kind == M52_SCENE_COMPOSITE) {
        kind = y < 320 ? M52_SCENE_BARS : y < 640 ? M52_SCENE_RAMP : M52_SCENE_PATCHES;
        band_y = y - 640;
        band_height = M52_SENSOR_HEIGHT - 640;
    }
    for (x = 0; x < M52_SENSOR_WIDTH; ++x) {
        unsigned channel = m52_mosaic_channel(x, y);
        if (in_mark_band(scene, y)) {
            levels[x] = (uint16_t)mark_level(scene, x);
            continue;
        }
        switch (kind) {
        case M52_SCENE_BARS: levels[x] = (uint16_t)bars_level(x, channel); break;
        case M52_SCENE_RAMP: levels[x] = (uint16_t)ramp_level(x); break;
        case M52_SCENE_PATCHES: levels[x] = (uint16_t)patches_level(x, band_y, band_height, channel); break;
        default: levels[x] = FLAT_LEVEL; break;
        }
    }
    m52_scene_object_position(scene->frame_number, &ox, &oy);
    if (y >= oy && y < oy + M52_OBJECT_SIZE) {
        for (x = ox; x < ox + M52_OBJECT_SIZE; ++x) levels[x] = (uint16_t)m52_scene_level(scene, x, y, 0);
    }
}

static void fill_exposed(const M52SceneParams *scene, uint16_t exposed[1024])
{
    unsigned level;
    for (level = 0; level < 1024; ++level)
        exposed[level] = (uint16_t)m52_scene_expose(level, scene->exposure_lines, scene->gain);
}

/* The samples of lines [first, end) of a frame of `samples` samples (fewer where the frame ends). */
static void render_lines(const M52SceneParams *scene, const uint16_t exposed[1024], uint8_t *out, uint32_t samples,
                         int word_mode, uint32_t first, uint32_t end)
{
    uint16_t levels[M52_SENSOR_WIDTH];
    uint32_t i = first * M52_SENSOR_WIDTH, stop = end * M52_SENSOR_WIDTH;
    if (stop > samples) stop = samples;
    while (i < stop) {
        unsigned y = i / M52_SENSOR_WIDTH;
        unsigned x = i % M52_SENSOR_WIDTH;
        uint32_t run = M52_SENSOR_WIDTH - x;
        if (run > stop - i) run = stop - i;
        if (y < M52_SENSOR_HEIGHT)
            scene_line(scene, y, levels);
        else
            memset(levels, 0, sizeof levels); /* past the last sensor line */
        for (; run > 0; --run, ++x, ++i) {
            unsigned v = exposed[levels[x]];
            if (word_mode) {
                out[2 * i] = (uint8_t)v;
                out[2 * i + 1] = (uint8_t)(v >> 8);
            } else {
                out[i] = (uint8_t)(v >> 2);
            }
        }
    }
}

static uint32_t lines_of(uint32_t samples) { return (samples + M52_SENSOR_WIDTH - 1) / M52_SENSOR_WIDTH; }

void m52_scene_render(const M52SceneParams *scene, uint8_t *out, uint32_t samples, int word_mode)
{
    uint16_t exposed[1024];
    fill_exposed(scene, exposed);
    render_lines(scene, exposed, out, samples, word_mode, 0, lines_of(samples));
}

/* Lines [first, first + count) of the frame, from one buffer to the other. */
static void copy_lines(uint8_t *to, const uint8_t *from, uint32_t bytes, uint32_t line_bytes, uint32_t first,
                       uint32_t count)
{
    uint32_t begin = first * line_bytes, end = (first + count) * line_bytes;
    if (end > bytes) end = bytes;
    if (begin < end) memcpy(to + begin, from + begin, end - begin);
}

void m52_scene_render_cached(const M52SceneParams *scene, uint8_t *out, uint32_t samples, int word_mode,
                             uint32_t picture_version, M52SceneCache *cache)
{
    const uint32_t bytes = word_mode ? 2 * samples : samples;
    const uint32_t line_bytes = word_mode ? 2 * M52_SENSOR_WIDTH : M52_SENSOR_WIDTH;
    uint16_t exposed[1024];
    unsigned x, old_y, new_y;
    int same;
    if (!cache || !cache->frame || bytes > cache->capacity) {
        if (cache) cache->valid = 0;
        m52_scene_render(scene, out, samples, word_mode);
        return;
    }
    same = cache->valid && cache->samples == samples && cache->word_mode == word_mode &&
           cache->picture_version == picture_version && cache->params.scene == scene->scene &&
           cache->params.exposure_lines == scene->exposure_lines && cache->params.gain == scene->gain &&
           cache->params.picture_rgb == scene->picture_rgb && cache->params.camera == scene->camera;
    if (!same) {
        fill_exposed(scene, exposed);
        render_lines(scene, exposed, out, samples, word_mode, 0, lines_of(samples));
        memcpy(cache->frame, out, bytes);
    } else {
        memcpy(out, cache->frame, bytes);
        if (scene->scene != M52_SCENE_PICTURE && scene->frame_number != cache->params.frame_number) {
            /* Only the lines of the square, where it was and where it is now, differ. */
            m52_scene_object_position(cache->params.frame_number, &x, &old_y);
            m52_scene_object_position(scene->frame_number, &x, &new_y);
            fill_exposed(scene, exposed);
            render_lines(scene, exposed, out, samples, word_mode, old_y, old_y + M52_OBJECT_SIZE);
            render_lines(scene, exposed, out, samples, word_mode, new_y, new_y + M52_OBJECT_SIZE);
            copy_lines(cache->frame, out, bytes, line_bytes, old_y, M52_OBJECT_SIZE);
            copy_lines(cache->frame, out, bytes, line_bytes, new_y, M52_OBJECT_SIZE);
        }
    }
    cache->valid = 1;
    cache->params = *scene;
    cache->samples = samples;
    cache->word_mode = word_mode;
    cache->picture_version = picture_version;
}
