// Scalar CellDemosaic: the interior with fixed neighbour offsets, and the border with each
// off-image neighbour replaced by the same-colour site four pixels further in.
#include "imaging/demosaic_scalar.h"

#include "imaging/sample_access.h"

#include <cstdlib>

#if defined(__SSE__) || defined(_M_X64) || defined(_M_IX86)
#include <xmmintrin.h>
#define DEMOSAIC_PREFETCH(address) _mm_prefetch(reinterpret_cast<const char*>(address), _MM_HINT_T0)
#else
#define DEMOSAIC_PREFETCH(address) ((void)(address))
#endif

namespace {

// (weighted sum x factor) >> 11 clamped to 0..maxValue; 64-bit so no gain can overflow it.
int32_t ScaleWeightedSum(int32_t sum, int32_t factor, int32_t maxValue) {
    const int64_t scaled = (int64_t(sum) * factor) >> 11;
    return scaled < 0 ? 0 : scaled > maxValue ? maxValue : int32_t(scaled);
}

template <typename GreenSample>
void FinishRow8(const DemosaicJob& job, const int16_t* V, const GreenSample* M, int vShift,
                bool redOnEvenColumns, int xBegin, int xEnd, uint8_t* out) {
    for (int x = xBegin; x < xEnd; ++x, out += job.dstBytesPerPixel) {
        const bool redColumn = ((x & 1) == 0) == redOnEvenColumns;
        const int h1 = (3 * V[x] + V[x - 2]) >> vShift;
        const int h2 = (3 * V[x - 1] + V[x + 1]) >> vShift;
        out[0] = static_cast<uint8_t>(ScaleWeightedSum(redColumn ? h2 : h1, job.blueFactor, 255));
        out[1] = static_cast<uint8_t>((M[x - 1] + M[x]) >> 1);
        out[2] = static_cast<uint8_t>(ScaleWeightedSum(redColumn ? h1 : h2, job.redFactor, 255));
    }
}

template <typename Sample>
struct SampleTraits;

template <>
struct SampleTraits<uint8_t> {
    static const int32_t kMax = 255;
    static int32_t Load(const uint8_t* p) { return *p; }
    static void Store(uint8_t* p, int32_t v) { *p = static_cast<uint8_t>(v); }
};

template <>
struct SampleTraits<uint16_t> {
    static const int32_t kMax = 1023;
    static int32_t Load(const uint8_t* p) { return LoadSample16(p); }
    static void Store(uint8_t* p, int32_t v) { StoreSample16(p, static_cast<uint16_t>(v)); }
};

// One output pixel from the cell of columns x - 1, x and rows y - 1, y. fetch(dx, dy) returns the
// sample at (x + dx, y + dy), dx and dy in -2..+1. Red sits where rowFlag = 1 and colFlag = 0,
// blue where rowFlag = 0 and colFlag = 1; its partner sites lie two away across the cell centre.
template <typename Sample, typename Fetch>
inline void CellDemosaic(const Fetch& fetch, bool rowFlag, bool colFlag, const DemosaicJob& job,
                         uint8_t* out) {
    typedef SampleTraits<Sample> T;
    const int redNearX = colFlag ? -1 : 0, redFarX = colFlag ? 1 : -2;
    const int redNearY = rowFlag ? 0 : -1, redFarY = rowFlag ? -2 : 1;
    const int blueNearX = colFlag ? 0 : -1, blueFarX = colFlag ? -2 : 1;
    const int blueNearY = rowFlag ? -1 : 0, blueFarY = rowFlag ? 1 : -2;

    const int32_t redSum = 9 * fetch(redNearX, redNearY) + 3 * fetch(redFarX, redNearY) +
                           3 * fetch(redNearX, redFarY) + fetch(redFarX, redFarY);
    const int32_t blueSum = 9 * fetch(blueNearX, blueNearY) + 3 * fetch(blueFarX, blueNearY) +
                            3 * fetch(blueNearX, blueFarY) + fetch(blueFarX, blueFarY);
    int32_t green = rowFlag == colFlag ? fetch(0, 0) + fetch(-1, -1) : fetch(-1, 0) + fetch(0, -1);
    green >>= 1;
    if (green > T::kMax) green = T::kMax;

    T::Store(out, ScaleWeightedSum(blueSum, job.blueFactor, T::kMax));
    T::Store(out + sizeof(Sample), green);
    T::Store(out + 2 * sizeof(Sample), ScaleWeightedSum(redSum, job.redFactor, T::kMax));
}

// Pixels x in [xBegin, xEnd) of row y, 2 <= x <= width - 3, with the rows at offsets -2 .. +1
// given (substituted ones for the border rows).
template <typename Sample>
void RowWithPlainColumns(const DemosaicJob& job, const uint8_t* const rows[4], int y, int xBegin,
                         int xEnd) {
    uint8_t* out = job.dst + ptrdiff_t(y) * job.dstStride + ptrdiff_t(xBegin) * job.dstBytesPerPixel;
    const bool rowFlag = ((y & 1) != 0) != job.rowPhase;
    bool colFlag = ((xBegin & 1) != 0) != job.colPhase;
    for (int x = xBegin; x < xEnd; ++x, out += job.dstBytesPerPixel, colFlag = !colFlag) {
        const ptrdiff_t at = ptrdiff_t(x) * ptrdiff_t(sizeof(Sample));
        auto fetch = [rows, at](int dx, int dy) {
            return SampleTraits<Sample>::Load(rows[dy + 2] + at + ptrdiff_t(dx) * ptrdiff_t(sizeof(Sample)));
        };
        CellDemosaic<Sample>(fetch, rowFlag, colFlag, job, out);
    }
}

template <typename Sample>
void Inner(const DemosaicJob& job) {
    if (job.width <= 4 || job.height <= 4) return;
    for (int y = 2; y <= job.height - 3; ++y) {
        const uint8_t* rows[4];
        DemosaicNeighbourRows(job, y, rows);
        RowWithPlainColumns<Sample>(job, rows, y, 2, job.width - 2);
    }
}

// A neighbour coordinate off the image moves four further in (same site colour); on images
// narrower than five it then steps back by two until it is inside, and on a one-pixel image it
// stays on that pixel.
inline int Reflect(int c, int size) {
    if (c < 0) {
        c += 4;
        while (c >= size && c >= 0) c -= 2;
    } else if (c >= size) {
        c -= 4;
        while (c < 0 && c < size) c += 2;
    }
    if (c < 0 || c >= size) c = 0;
    return c;
}

// Coordinates of offsets -2 .. +1 around c, substituted where they leave 0 .. size - 1.
inline void Neighbours(int c, int size, int out[4]) {
    if (c >= 2 && c + 1 < size) {
        for (int k = 0; k < 4; ++k) out[k] = c + k - 2;
    } else {
        for (int k = 0; k < 4; ++k) out[k] = Reflect(c + k - 2, size);
    }
}

// One border pixel from resolved row pointers (offsets -2 .. +1) and column indices.
template <typename Sample>
inline void BorderPixel(const DemosaicJob& job, int x, int y, const uint8_t* const rows[4],
                        const int cols[4]) {
    const bool rowFlag = ((y & 1) != 0) != job.rowPhase;
    const bool colFlag = ((x & 1) != 0) != job.colPhase;
    auto fetch = [rows, cols](int dx, int dy) {
        return SampleTraits<Sample>::Load(rows[dy + 2] +
                                          ptrdiff_t(cols[dx + 2]) * ptrdiff_t(sizeof(Sample)));
    };
    uint8_t* out = job.dst + ptrdiff_t(y) * job.dstStride + ptrdiff_t(x) * job.dstBytesPerPixel;
    CellDemosaic<Sample>(fetch, rowFlag, colFlag, job, out);
}

template <typename Sample>
void BorderRow(const DemosaicJob& job, int y) {
    if (y < 0 || y >= job.height) return;
    const uint8_t* rows[4];
    DemosaicNeighbourRows(job, y, rows);
    int cols[4];
    for (int x = 0; x < job.width; ++x) {
        Neighbours(x, job.width, cols);
        BorderPixel<Sample>(job, x, y, rows, cols);
    }
}

template <typename Sample>
void RowEdges(const DemosaicJob& job, int y) {
    if (y < 0 || y >= job.height || job.width <= 0) return;
    if (job.width <= 4) {
        BorderRow<Sample>(job, y);
        return;
    }
    const uint8_t* rows[4];
    DemosaicNeighbourRows(job, y, rows);
    const int edges[4] = {0, 1, job.width - 2, job.width - 1};
    int cols[4];
    for (int x : edges) {
        Neighbours(x, job.width, cols);
        BorderPixel<Sample>(job, x, y, rows, cols);
    }
}

// Columns 0, 1, w - 2 and w - 1 over the full height, row by row: the four pixels of a row share
// its neighbour rows, and the walk down the frame touches each row once rather than four times.
template <typename Sample>
void BorderColumns(const DemosaicJob& job) {
    if (job.width <= 0 || job.height <= 0) return;
    const int edges[4] = {0, 1, job.width - 2, job.width - 1};
    bool inside[4];
    int cols[4][4];
    for (int k = 0; k < 4; ++k) {
        inside[k] = edges[k] >= 0 && edges[k] < job.width;
        if (inside[k]) Neighbours(edges[k], job.width, cols[k]);
    }
    // The walk reads a few bytes at both ends of every row; on a frame the caches no longer hold
    // each of them would wait for memory, so the ends some rows ahead are asked for early.
    const int kAhead = 12;
    const ptrdiff_t dstEnd = ptrdiff_t(job.width) * job.dstBytesPerPixel - 1;
    const ptrdiff_t srcEnd = ptrdiff_t(job.width) * ptrdiff_t(sizeof(Sample)) - 1;
    const uint8_t* rows[4];
    for (int y = 0; y < job.height; ++y) {
        if (y + kAhead + 1 < job.height) {
            const uint8_t* dstRow = job.dst + ptrdiff_t(y + kAhead) * job.dstStride;
            const uint8_t* srcRow = job.src + ptrdiff_t(y + kAhead + 1) * job.srcStride;
            DEMOSAIC_PREFETCH(dstRow);
            DEMOSAIC_PREFETCH(dstRow + dstEnd - 4 * job.dstBytesPerPixel);
            DEMOSAIC_PREFETCH(dstRow + dstEnd);
            DEMOSAIC_PREFETCH(srcRow);
            DEMOSAIC_PREFETCH(srcRow + srcEnd - 4 * ptrdiff_t(sizeof(Sample)));
            DEMOSAIC_PREFETCH(srcRow + srcEnd);
        }
        DemosaicNeighbourRows(job, y, rows);
        for (int k = 0; k < 4; ++k)
            if (inside[k]) BorderPixel<Sample>(job, edges[k], y, rows, cols[k]);
    }
}

// Rows 0 and 1, rows h - 2 and h - 1, columns 0 and 1, columns w - 2 and w - 1; corners twice.
template <typename Sample>
void Border(const DemosaicJob& job) {
    if (job.width <= 0 || job.height <= 0) return;
    BorderRow<Sample>(job, 0);
    BorderRow<Sample>(job, 1);
    BorderRow<Sample>(job, job.height - 2);
    BorderRow<Sample>(job, job.height - 1);
    BorderColumns<Sample>(job);
}

}  // namespace

void DemosaicFinishRow8(const DemosaicJob& job, const int16_t* V, const uint8_t* M, int vShift,
                        bool redOnEvenColumns, int xBegin, int xEnd, uint8_t* out) {
    FinishRow8(job, V, M, vShift, redOnEvenColumns, xBegin, xEnd, out);
}

void DemosaicFinishRow8(const DemosaicJob& job, const int16_t* V, const int16_t* M, int vShift,
                        bool redOnEvenColumns, int xBegin, int xEnd, uint8_t* out) {
    FinishRow8(job, V, M, vShift, redOnEvenColumns, xBegin, xEnd, out);
}

void DemosaicFinishRow16(const DemosaicJob& job, const int16_t* V, const int16_t* M,
                         bool redOnEvenColumns, int xBegin, int xEnd, uint8_t* out) {
    for (int x = xBegin; x < xEnd; ++x, out += job.dstBytesPerPixel) {
        const bool redColumn = ((x & 1) == 0) == redOnEvenColumns;
        const int h1 = 3 * V[x] + V[x - 2];
        const int h2 = 3 * V[x - 1] + V[x + 1];
        int green = (M[x - 1] + M[x]) >> 1;
        if (green > 1023) green = 1023;
        StoreSample16(out, uint16_t(ScaleWeightedSum(redColumn ? h2 : h1, job.blueFactor, 1023)));
        StoreSample16(out + 2, uint16_t(green));
        StoreSample16(out + 4, uint16_t(ScaleWeightedSum(redColumn ? h1 : h2, job.redFactor, 1023)));
    }
}

size_t DemosaicRowScratch(int width) { return 2 * (size_t(width > 0 ? width : 0) + 32); }

bool DemosaicForVectorRows(const DemosaicJob& job, bool frameRows, DemosaicVectorRow row) {
    int16_t* V = static_cast<int16_t*>(std::malloc(DemosaicRowScratch(job.width) * sizeof(int16_t)));
    if (V == nullptr) return false;
    int16_t* M = V + DemosaicRowScratch(job.width) / 2;
    const uint8_t* rows[4];
    if (frameRows) {
        const int frame[4] = {0, 1, job.height - 2, job.height - 1};
        for (int k = 0; k < 4; ++k) {
            if (frame[k] < 0 || frame[k] >= job.height || (k > 0 && frame[k] <= frame[k - 1])) continue;
            DemosaicNeighbourRows(job, frame[k], rows);
            row(job, rows, frame[k], V, M);
        }
    } else {
        for (int y = 2; y <= job.height - 3; ++y) {
            DemosaicNeighbourRows(job, y, rows);
            row(job, rows, y, V, M);
        }
    }
    std::free(V);
    return true;
}

bool DemosaicVectorAccepts8(const DemosaicJob& job) {
    if (job.dstBytesPerPixel != 3 && job.dstBytesPerPixel != 4) return false;
    return job.redFactor >= -8192 && job.redFactor <= 8191 && job.blueFactor >= -8192 &&
           job.blueFactor <= 8191;
}

bool DemosaicVectorAccepts16(const DemosaicJob& job) {
    if (job.dstBytesPerPixel != 6 && job.dstBytesPerPixel != 8) return false;
    return job.redFactor >= -1024 && job.redFactor <= 1023 && job.blueFactor >= -1024 &&
           job.blueFactor <= 1023;
}

void DemosaicNeighbourRows(const DemosaicJob& job, int y, const uint8_t* rows[4]) {
    int index[4];
    Neighbours(y, job.height, index);
    for (int k = 0; k < 4; ++k) rows[k] = job.src + ptrdiff_t(index[k]) * job.srcStride;
}
void DemosaicRow8Scalar(const DemosaicJob& job, const uint8_t* const rows[4], int y, int xBegin, int xEnd) {
    RowWithPlainColumns<uint8_t>(job, rows, y, xBegin, xEnd);
}
void DemosaicRow16Scalar(const DemosaicJob& job, const uint8_t* const rows[4], int y, int xBegin, int xEnd) {
    RowWithPlainColumns<uint16_t>(job, rows, y, xBegin, xEnd);
}
void DemosaicRowEdges8Scalar(const DemosaicJob& job, int y) { RowEdges<uint8_t>(job, y); }
void DemosaicRowEdges16Scalar(const DemosaicJob& job, int y) { RowEdges<uint16_t>(job, y); }
void DemosaicBorderColumns8Scalar(const DemosaicJob& job) { BorderColumns<uint8_t>(job); }
void DemosaicBorderColumns16Scalar(const DemosaicJob& job) { BorderColumns<uint16_t>(job); }
void DemosaicInner8Scalar(const DemosaicJob& job) { Inner<uint8_t>(job); }
void DemosaicInner16Scalar(const DemosaicJob& job) { Inner<uint16_t>(job); }
void DemosaicBorder8Scalar(const DemosaicJob& job) { Border<uint8_t>(job); }
void DemosaicBorder16Scalar(const DemosaicJob& job) { Border<uint16_t>(job); }
