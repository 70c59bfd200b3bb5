// The formats the capture pin offers: the SDK's colour types that DirectShow programs understand
// (RGB24, RGB32, 8-bit gray "Y800", 16-bit gray "Y16 ") at each capture-window size, and the
// DirectShow media types that describe them.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <vector>

namespace quorin_dshow {

// 'Y800' and 'Y16 ' as FOURCC subtypes (Data1 is the code, the rest is the FOURCC base GUID).
extern const GUID kSubtypeY800;
extern const GUID kSubtypeY16;

enum class PixelKind { Rgb24, Rgb32, Gray8, Gray16 };

struct VideoFormat {
    PixelKind kind;
    int width, height;     // the capture window
    int hStart, vStart;    // its origin on the sensor
    LONGLONG frameTime;    // 100-ns units: the camera's frame period at this size and clock

    int BitsPerPixel() const;
    int SdkColourBits() const { return BitsPerPixel(); }  // Quorin_SetColorMode takes the same bits
    bool TopDown() const;                                 // gray FOURCC formats are top row first
    int Stride() const { return ((width * BitsPerPixel() / 8) + 3) & ~3; }
    int ImageBytes() const { return Stride() * height; }
    const GUID& Subtype() const;
    bool SameShape(const VideoFormat& other) const {
        return kind == other.kind && width == other.width && height == other.height;
    }
};

// A media type that owns its format block (CoTaskMem, as DirectShow expects).
void FreeMediaTypeContents(AM_MEDIA_TYPE* type);
HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source);
AM_MEDIA_TYPE* CreateMediaType(const VideoFormat& format);  // CoTaskMemAlloc'd, with its block
void DeleteMediaType(AM_MEDIA_TYPE* type);
HRESULT FillMediaType(const VideoFormat& format, AM_MEDIA_TYPE* type);

// Reads a media type back into a format of the list: true when it names one of the listed formats
// (subtype, size and bit depth; a frame time no shorter than the camera's).
bool MatchFormat(const std::vector<VideoFormat>& formats, const AM_MEDIA_TYPE* type, VideoFormat* found);

// The stream capabilities of one format for IAMStreamConfig::GetStreamCaps.
void FillStreamCaps(const VideoFormat& format, VIDEO_STREAM_CONFIG_CAPS* caps);

}  // namespace quorin_dshow
