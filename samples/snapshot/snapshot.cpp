// snapshot: takes one still picture from a camera and saves it to a file.
//
//   snapshot [--colour 8|16|24|32|48|64] [--format bmp|png|jpg|tif|raw] [--camera N] OUTPUT
//
// The SDK reads one frame synchronously (Quorin_SnapShot), runs it through its processing (colour
// interpolation, filters) and keeps it as the camera's current image; Quorin_SaveImage then writes
// that image in the chosen file format. Exit status 0 when the file was written.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "VazadoZir_O52RO_VIZ.h"

namespace {

struct Options {
    int colour = 24;
    int fileType = QUORIN_FILE_BMP;
    const char* formatName = "bmp";
    int camera = 0;
    const char* output = nullptr;
};

int Usage() {
    std::fprintf(stderr,
                 "usage: snapshot [--colour 8|16|24|32|48|64] [--format bmp|png|jpg|tif|raw] [--camera N] OUTPUT\n");
    return 2;
}

// The still-file type of a format name; -1 for a name the SDK does not write.
int FileTypeOf(const char* name) {
    if (!std::strcmp(name, "bmp")) return QUORIN_FILE_BMP;
    if (!std::strcmp(name, "png")) return QUORIN_FILE_PNG;
    if (!std::strcmp(name, "jpg")) return QUORIN_FILE_JPEG_100;  // 70 and 20 are the other qualities
    if (!std::strcmp(name, "tif")) return QUORIN_FILE_TIFF;
    if (!std::strcmp(name, "raw")) return QUORIN_FILE_RAW;  // the pixel rows only, top line first
    return -1;
}

bool Parse(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (!std::strcmp(argv[i], "--colour") && hasValue) {
            o->colour = std::atoi(argv[++i]);
        } else if (!std::strcmp(argv[i], "--format") && hasValue) {
            o->formatName = argv[++i];
            if ((o->fileType = FileTypeOf(o->formatName)) < 0) return false;
        } else if (!std::strcmp(argv[i], "--camera") && hasValue) {
            o->camera = std::atoi(argv[++i]);
        } else if (argv[i][0] != '-' && !o->output) {
            o->output = argv[i];
        } else {
            return false;
        }
    }
    return o->output != nullptr;
}

// Prints and empties the camera's error history (newest first).
void PrintErrors(int handle, const char* what) {
    std::fprintf(stderr, "%s failed; error codes:", what);
    for (int code; (code = Quorin_GetLastError(handle)) != 0;) std::fprintf(stderr, " %d", code);
    std::fprintf(stderr, "\n");
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!Parse(argc, argv, &o)) return Usage();

    // No notify window: failures are read from the error history instead of QUORIN_WM_ERROR.
    const int handle = Quorin_Initialize(nullptr);
    if (!handle) return std::fprintf(stderr, "no camera object\n"), 1;
    int status = 1;
    // Quorin_Initialize opens camera 0; another one is selected by its device index.
    if (o.camera != 0 && !Quorin_SetDeviceNumber(handle, o.camera)) {
        PrintErrors(handle, "selecting the camera");
    } else if (!Quorin_SetColorMode(handle, o.colour)) {
        PrintErrors(handle, "setting the colour mode");
    } else if (!Quorin_SnapShot(handle, nullptr, 0, 1)) {  // no buffer: the frame stays in the SDK
        PrintErrors(handle, "taking the snapshot");
    } else if (!Quorin_SaveImage(handle, o.output, o.fileType)) {
        PrintErrors(handle, "saving the file");
    } else {
        std::printf("snapshot: camera %d, %d x %d, %d-bit colour, %s written to %s\n", o.camera,
                    Quorin_Width(handle), Quorin_Height(handle), o.colour, o.formatName, o.output);
        status = 0;
    }
    Quorin_Release(handle);
    return status;
}
