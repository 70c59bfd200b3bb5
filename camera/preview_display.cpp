// The camera object's preview: opening and closing its window, and painting each processed frame
// into it (1:1 as the frame's rows handed to GDI top-down, colour rows widened to 32 bits first;
// any other size through the window-sized displayImage).
#include <new>

#include <windows.h>

#include "camera/acquisition_modes.h"
#include "camera/preview_window.h"
#include "camera/quorin_camera.h"
#include "imaging/convert_kernels.h"
#include "imaging/dib_image.h"
#include "imaging/display_rows.h"
#include "imaging/pixel_runner.h"
#include "imaging/scale_kernels.h"

namespace {

// Types 0 and 1 are shown as 8-bit gray, the colour types as 24-bit.
bool ShownAsGray(int colourType) { return colourType == 0 || colourType == 1; }

}  // namespace

int CQuorin::OpenPreviewWindow() {
    const int divisor = quorin::CaptureSizeDivisor(subSample_);
    const PreviewPlacement wanted = {previewParent_, previewRect_, width_ / divisor, height_ / divisor};
    if (preview_ && preview_->Matches(wanted)) return 1;
    ClosePreviewWindow();
    if (!PreviewWindow::Wanted(wanted)) return 1;
    std::unique_ptr<PreviewWindow> made(new (std::nothrow) PreviewWindow);
    if (!made || !made->Open(wanted, this)) return ReportError(QUORIN_ERR_WINDOW), 0;
    CriticalSectionLock hold(frameLock_);
    preview_.swap(made);
    return 1;
}

void CQuorin::ClosePreviewWindow() {
    std::unique_ptr<PreviewWindow> closing;
    {
        CriticalSectionLock hold(frameLock_);
        closing.swap(preview_);
        paintRows32_.Release();
    }
    // Destroyed outside the lock: destroying a child window notifies its parent, whose thread
    // may be waiting for a frame call.
    closing.reset();
    PreviewWindow::UnregisterRetiredClasses();
}

bool CQuorin::FitDisplayImage(int colourType, int w, int h) {
    const uint16_t bits = ShownAsGray(colourType) ? 8 : 24;
    CDibImage& d = *displayImage_;
    if (d.bits && d.dc && d.width == w && d.height == h && d.bitCount == bits) return true;
    d.Release();
    // Without a DIB section the image cannot be blitted: treat it as not made.
    if (!d.Create(w, h, bits) || !d.dc) {
        d.Release();
        return false;
    }
    if (bits == 8) d.SetPalette(kDibPaletteGray, nullptr, 0, 256);
    return true;
}

void CQuorin::FitDisplayImageToWindow(int colourType) {
    if (!preview_ || !preview_->Dc()) return;
    HWND window = preview_->Window();
    RECT client = {};
    if (!IsWindowVisible(window) || !GetClientRect(window, &client) || client.right <= 0 || client.bottom <= 0) return;
    FitDisplayImage(colourType, client.right, client.bottom);
}

void CQuorin::PaintPreview(int colourType) {
    if (!preview_ || !preview_->StillExists() || !preview_->Dc()) return;
    HWND window = preview_->Window();
    HDC dc = preview_->Dc();
    RECT client = {};
    // Hidden or minimised windows are not painted.
    if (!IsWindowVisible(window) || IsIconic(window) || !GetClientRect(window, &client)) return;
    const int w = client.right, h = client.bottom;
    if (w <= 0 || h <= 0) return;

    // Bring the output into an 8-bit gray or 24-bit colour image.
    CDibImage* source = nullptr;
    switch (colourType) {
        case 0: source = image8_; break;
        case 1:
            RunPixelKernel(*image8_, Gray16To8, *image16_, nullptr, 0, 0, nullptr, nullptr);
            source = image8_;
            break;
        case 2: source = image24_; break;
        case 3: RunPixelKernel(*image24_, Rgb32To24, *image32_, nullptr, 0, 0, nullptr, nullptr); source = image24_; break;
        case 4: RunPixelKernel(*image24_, Rgb48To24, *image48_, nullptr, 0, 0, nullptr, nullptr); source = image24_; break;
        case 5: RunPixelKernel(*image24_, Rgb48To24, *image64_, nullptr, 0, 0, nullptr, nullptr); source = image24_; break;
        default: return;
    }
    if (!source->bits) return;

    if (w == source->width && h == source->height && colourType != 1 && (source->bitCount == 24 || source->dc)) {
        // Memory row 0 is the top line but GDI's last row.
        if (source->bitCount == 24) {
            // Told that the rows run top-down, GDI copies them upright as they are: the picture
            // of the mirrored blit, without its stretching pass. Widened to 32 bits first (on the
            // strip pool), GDI only copies rows; without the memory for them it takes the 24-bit
            // rows.
            BITMAPINFOHEADER topDown = {};
            topDown.biSize = sizeof topDown;
            topDown.biWidth = w;
            topDown.biHeight = -h;
            topDown.biPlanes = 1;
            topDown.biBitCount = 24;
            topDown.biCompression = BI_RGB;
            const void* rows = source->bits;
            if (uint8_t* wide = paintRows32_.Room(size_t(w) * 4 * size_t(h))) {
                WidenFrame24To32(source->bits, source->stride, wide, w * 4, w, h);
                topDown.biBitCount = 32;
                rows = wide;
            }
            SetDIBitsToDevice(dc, 0, 0, w, h, 0, 0, 0, h, rows, reinterpret_cast<BITMAPINFO*>(&topDown),
                              DIB_RGB_COLORS);
        } else {
            // Gray rows need the image's own palette: the mirrored blit shows them upright.
            StretchBlt(dc, 0, 0, w, h, static_cast<HDC>(source->dc), 0, h, w, -h, SRCCOPY);
        }
        // GDI batches calls per thread: the copy is done before the next frame writes the
        // source's pixels directly.
        GdiFlush();
        return;
    }
    // A display image that cannot be made skips this frame; the next one tries again.
    if (!FitDisplayImage(colourType, w, h)) return;
    RunScaleKernel(*displayImage_, ShownAsGray(colourType) ? ScaleNearest8 : ScaleNearest24, *source, nullptr, nullptr,
                   nullptr, nullptr);
    BitBlt(dc, 0, 0, w, h, static_cast<HDC>(displayImage_->dc), 0, 0, SRCCOPY);
    GdiFlush();
}
