/* The picture in front of the simulated sensor: built-in test scenes or an uploaded picture,
 * seen through the colour mosaic and scaled by exposure and gain. Deterministic from (scene,
 * frame number, exposure, gain), so a test can compute every sample of any frame. */
#ifndef M52_SCENE_H
#define M52_SCENE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum {
    M52_SCENE_COMPOSITE = 0, /* colour bars, gray ramp and colour patches, one band each */
    M52_SCENE_BARS = 1,
    M52_SCENE_RAMP = 2,
    M52_SCENE_PATCHES = 3,
    M52_SCENE_FLAT = 4,      /* uniform mid gray */
    M52_SCENE_BUILTIN_COUNT = 5,
    M52_SCENE_PICTURE = 255  /* the uploaded 1360 x 1024 picture */
};

enum {
    M52_OBJECT_SIZE = 64,        /* the moving square, in pixels */
    M52_OBJECT_STEP_X = 16,      /* its step per frame */
    M52_OBJECT_STEP_Y = 8,
    M52_REFERENCE_LINES = 1010,  /* exposure (shutter 64) at which a scene shows its own levels */
    M52_REFERENCE_GAIN = 512
};

typedef struct M52SceneParams {
    unsigned scene;               /* M52_SCENE_* */
    uint32_t frame_number;        /* frames delivered before this one */
    unsigned exposure_lines;      /* 0 to 1074 */
    unsigned gain;                /* 0 to 1023 */
    const uint8_t *picture_rgb;   /* R, G, B bytes, 1360 x 1024, top line first; M52_SCENE_PICTURE */
    unsigned camera;              /* camera number 0 to 31; marked in the composite scene of 1 to 31 */
} M52SceneParams;

/* The composite scene of camera 1 to 31 carries its number in two bands of eight cells, one cell
 * per bar width: cell k is white when bit k of the number is set, black otherwise. Camera 0
 * shows the plain bars and ramp there, so crossed streams of different cameras tell apart. */
enum {
    M52_MARK_BAND_A = 256,       /* first line of the band at the foot of the bars */
    M52_MARK_BAND_B = 576,       /* first line of the band at the foot of the ramp */
    M52_MARK_BAND_LINES = 64,
    M52_MARK_CELLS = 8,
    M52_MARK_ON_LEVEL = 900,
    M52_MARK_OFF_LEVEL = 0
};

/* Colour 0 red, 1 green, 2 blue of the mosaic site (x, y): row 0 R G R G ..., row 1 G B G B ... */
static inline unsigned m52_mosaic_channel(unsigned x, unsigned y)
{
    return (y & 1u) ? ((x & 1u) ? 2u : 1u) : ((x & 1u) ? 1u : 0u);
}

/* 10-bit level of channel `channel` at (x, y) before exposure and gain. */
unsigned m52_scene_level(const M52SceneParams *scene, unsigned x, unsigned y, unsigned channel);
/* Top-left corner of the moving object in frame `frame_number`. */
void m52_scene_object_position(uint32_t frame_number, unsigned *x, unsigned *y);
/* A level after exposure and gain: level x lines/1010 x (256 + gain)/768, clipped at 1023. */
unsigned m52_scene_expose(unsigned level, unsigned exposure_lines, unsigned gain);
/* The 10-bit mosaic sample the sensor reads at (x, y). */
unsigned m52_scene_sample(const M52SceneParams *scene, unsigned x, unsigned y);

/* Fills a frame of `samples` sensor samples read from the top-left in whole lines of 1360:
 * 8-bit samples (the 10-bit value >> 2) or, with word_mode, 16-bit little-endian 10-bit values.
 * `out` holds samples bytes, or 2 x samples in word mode. Samples past the sensor's last line
 * are 0. */
void m52_scene_render(const M52SceneParams *scene, uint8_t *out, uint32_t samples, int word_mode);

/* The last frame rendered, kept to render the next one from: while scene, exposure, gain, picture,
 * camera, size and depth stay, only the lines of the moving square change. The caller owns `frame`
 * (`capacity` bytes; zero the rest) and raises the picture version whenever the picture's bytes
 * change. */
typedef struct M52SceneCache {
    uint8_t *frame;
    uint32_t capacity;
    int valid;
    M52SceneParams params;
    uint32_t samples;
    int word_mode;
    uint32_t picture_version;
} M52SceneCache;

/* The bytes of m52_scene_render, through the cache: a copy and the square's lines when only the
 * frame number changed. A cache without room for the frame renders it in full. */
void m52_scene_render_cached(const M52SceneParams *scene, uint8_t *out, uint32_t samples, int word_mode,
                             uint32_t picture_version, M52SceneCache *cache);

#ifdef __cplusplus
}
#endif

#endif
