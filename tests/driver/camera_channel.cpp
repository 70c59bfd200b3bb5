#include "tests/driver/camera_channel.h"

#include <string>

#include "tools/m52sim/m52sim_service.h"

namespace m52test {

CameraChannel::CameraChannel(unsigned index)
{
    const std::string path = m52sim::CameraPath(index);
    handle_ = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) openError_ = GetLastError();
}

CameraChannel::~CameraChannel() { Close(); }

void CameraChannel::Close()
{
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}

TransferResult CameraChannel::RawIoctl(DWORD code, const void *input, DWORD inputLength, void *output, DWORD outputLength)
{
    TransferResult r;
    r.moved = 0xDEADF00D;
    r.ok = DeviceIoControl(handle_, code, const_cast<void *>(input), inputLength, output, outputLength, &r.moved,
                           nullptr) != FALSE;
    r.error = r.ok ? 0 : GetLastError();
    return r;
}

TransferResult CameraChannel::Transfer(DWORD code, uint32_t pipe, void *buffer, DWORD length)
{
    return RawIoctl(code, &pipe, sizeof pipe, buffer, length);
}

TransferResult CameraChannel::Send(const Block &block, DWORD code)
{
    Block copy = block;
    return Transfer(code, kPipeCommand, copy.data(), static_cast<DWORD>(copy.size()));
}

TransferResult CameraChannel::Response(uint8_t *value)
{
    Block out;
    out.fill(0xCD);
    TransferResult r = Transfer(kPipeOutDirect, kPipeResponse, out.data(), static_cast<DWORD>(out.size()));
    if (r.ok && value) *value = out[0];
    return r;
}

TransferResult CameraChannel::Answer(uint8_t *value)
{
    Response(nullptr);
    return Response(value);
}

TransferResult CameraChannel::Snap(std::vector<uint8_t> *frame, DWORD length)
{
    frame->assign(length, 0xEE);
    TransferResult request = Send(MakeBlock(2));
    if (!request.ok) return request;
    return Transfer(kPipeInDirect, kPipeImage, frame->data(), length);
}

TransferResult CameraChannel::SetParameter(int32_t value, uint32_t first, DWORD blockSize)
{
    std::vector<uint8_t> block(blockSize < 8 ? 8 : blockSize, 0);
    for (int i = 0; i < 4; ++i) {
        block[i] = static_cast<uint8_t>(first >> (8 * i));
        block[4 + i] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i));
    }
    return RawIoctl(kSetParameter, block.data(), blockSize, nullptr, 0);
}

}  // namespace m52test
