#include "directshow/video_format.h"

#include <cstring>

namespace quorin_dshow {

const GUID kSubtypeY800 = {0x30303859, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
const GUID kSubtypeY16 = {0x20363159, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

int VideoFormat::BitsPerPixel() const {
    switch (kind) {
    case PixelKind::Rgb24: return 24;
    case PixelKind::Rgb32: return 32;
    case PixelKind::Gray8: return 8;
    case PixelKind::Gray16: return 16;
    }
    return 24;
}

bool VideoFormat::TopDown() const { return kind == PixelKind::Gray8 || kind == PixelKind::Gray16; }

const GUID& VideoFormat::Subtype() const {
    switch (kind) {
    case PixelKind::Rgb24: return MEDIASUBTYPE_RGB24;
    case PixelKind::Rgb32: return MEDIASUBTYPE_RGB32;
    case PixelKind::Gray8: return kSubtypeY800;
    case PixelKind::Gray16: return kSubtypeY16;
    }
    return MEDIASUBTYPE_RGB24;
}

void FreeMediaTypeContents(AM_MEDIA_TYPE* type) {
    if (!type) return;
    if (type->cbFormat && type->pbFormat) CoTaskMemFree(type->pbFormat);
    type->cbFormat = 0;
    type->pbFormat = nullptr;
    if (type->pUnk) {
        type->pUnk->Release();
        type->pUnk = nullptr;
    }
}

void DeleteMediaType(AM_MEDIA_TYPE* type) {
    if (!type) return;
    FreeMediaTypeContents(type);
    CoTaskMemFree(type);
}

HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source) {
    *target = *source;
    if (source->cbFormat && source->pbFormat) {
        target->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source->cbFormat));
        if (!target->pbFormat) {
            target->cbFormat = 0;
            return E_OUTOFMEMORY;
        }
        std::memcpy(target->pbFormat, source->pbFormat, source->cbFormat);
    } else {
        target->cbFormat = 0;
        target->pbFormat = nullptr;
    }
    if (target->pUnk) target->pUnk->AddRef();
    return S_OK;
}

HRESULT FillMediaType(const VideoFormat& format, AM_MEDIA_TYPE* type) {
    std::memset(type, 0, sizeof *type);
    auto* info = static_cast<VIDEOINFOHEADER*>(CoTaskMemAlloc(sizeof(VIDEOINFOHEADER)));
    if (!info) return E_OUTOFMEMORY;
    std::memset(info, 0, sizeof *info);
    info->AvgTimePerFrame = format.frameTime;
    info->dwBitRate = static_cast<DWORD>(
        static_cast<double>(format.ImageBytes()) * 8.0 * 10000000.0 / static_cast<double>(format.frameTime));
    BITMAPINFOHEADER& header = info->bmiHeader;
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = format.width;
    // Positive: bottom-up for RGB, and the only form the gray FOURCC formats have (top row first).
    header.biHeight = format.height;
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(format.BitsPerPixel());
    header.biCompression = format.TopDown() ? format.Subtype().Data1 : BI_RGB;
    header.biSizeImage = static_cast<DWORD>(format.ImageBytes());

    type->majortype = MEDIATYPE_Video;
    type->subtype = format.Subtype();
    type->bFixedSizeSamples = TRUE;
    type->bTemporalCompression = FALSE;
    type->lSampleSize = header.biSizeImage;
    type->formattype = FORMAT_VideoInfo;
    type->cbFormat = sizeof(VIDEOINFOHEADER);
    type->pbFormat = reinterpret_cast<BYTE*>(info);
    return S_OK;
}

AM_MEDIA_TYPE* CreateMediaType(const VideoFormat& format) {
    auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (!type) return nullptr;
    if (FAILED(FillMediaType(format, type))) {
        CoTaskMemFree(type);
        return nullptr;
    }
    return type;
}

bool MatchFormat(const std::vector<VideoFormat>& formats, const AM_MEDIA_TYPE* type, VideoFormat* found) {
    if (!type || type->majortype != MEDIATYPE_Video) return false;
    if (type->formattype != FORMAT_VideoInfo || type->cbFormat < sizeof(VIDEOINFOHEADER) || !type->pbFormat)
        return false;
    const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat);
    const BITMAPINFOHEADER& header = info->bmiHeader;
    for (const VideoFormat& format : formats) {
        if (type->subtype != format.Subtype() || header.biWidth != format.width ||
            header.biHeight != format.height || header.biBitCount != format.BitsPerPixel())
            continue;
        if (info->AvgTimePerFrame != 0 && info->AvgTimePerFrame < format.frameTime * 95 / 100) continue;
        if (found) *found = format;
        return true;
    }
    return false;
}

void FillStreamCaps(const VideoFormat& format, VIDEO_STREAM_CONFIG_CAPS* caps) {
    std::memset(caps, 0, sizeof *caps);
    caps->guid = FORMAT_VideoInfo;
    caps->VideoStandard = 0;
    const SIZE size = {format.width, format.height};
    caps->InputSize = size;
    caps->MinCroppingSize = size;
    caps->MaxCroppingSize = size;
    caps->MinOutputSize = size;
    caps->MaxOutputSize = size;
    caps->MinFrameInterval = format.frameTime;
    caps->MaxFrameInterval = format.frameTime;
    const LONG bits = format.ImageBytes() * 8;
    caps->MinBitsPerSecond = static_cast<LONG>(bits * (10000000.0 / format.frameTime));
    caps->MaxBitsPerSecond = caps->MinBitsPerSecond;
}

}  // namespace quorin_dshow
