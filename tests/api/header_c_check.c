/* Compiled as C: the public header must not need C++. */
#include "VazadoZir_O52RO_VIZ.h"

int quorin_header_c_check(void) {
    QuorinCameraInfo info = {0};
    QuorinFrameInfo frame = {0};
    info.size = (int)sizeof info;
    frame.size = (int)sizeof frame;
    return Quorin_GetDllVersion() + info.size + frame.size + QUORIN_WM_ERROR + QUORIN_FILE_TIFF;
}
