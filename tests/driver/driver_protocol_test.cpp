// The simulated camera driver under Wine, spoken to over its device paths with the five control
// codes and three pipes, and steered through its control device.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "driver/m52sim_control.h"
#include "driver/model/m52_camera_model.h"
#include "driver/model/m52_scene.h"
#include "tests/driver/camera_channel.h"
#include "tools/m52sim/m52sim_service.h"

using namespace m52test;

namespace {

constexpr uint32_t kFullFrame = 1360 * 1024;

M52SimStatus Status(uint32_t camera)
{
    M52SimStatus s;
    std::memset(&s, 0xCD, sizeof s);
    EXPECT_TRUE(m52sim::QueryStatus(camera, &s)) << m52sim::ErrorText(GetLastError());
    return s;
}

bool Sim(DWORD code, uint32_t camera, uint32_t value = 0) { return m52sim::ControlOnce(code, camera, value); }

// Waits (bounded) until camera 0 holds `count` pended frame reads.
bool WaitForPendingReads(uint32_t camera, uint32_t count)
{
    for (int i = 0; i < 500; ++i) {
        if (Status(camera).pending_reads == count) return true;
        Sleep(10);
    }
    return false;
}

// Waits (bounded) until camera 0's status satisfies `done`: a closed handle reaches the driver
// a little after CloseHandle returns.
template <typename Done>
bool WaitForStatus(Done done)
{
    for (int i = 0; i < 500; ++i) {
        if (done(Status(0))) return true;
        Sleep(10);
    }
    return false;
}

// A frame read running on its own thread, as the SDK's transfer thread issues it.
class BackgroundRead {
public:
    BackgroundRead(CameraChannel *channel, DWORD length) : frame_(length)
    {
        thread_ = std::thread([this, channel, length] {
            result_ = channel->Transfer(kPipeInDirect, kPipeImage, frame_.data(), length);
        });
    }
    ~BackgroundRead() { Join(); }
    TransferResult Join()
    {
        if (thread_.joinable()) thread_.join();
        return result_;
    }
    const std::vector<uint8_t> &Frame() const { return frame_; }

private:
    std::vector<uint8_t> frame_;
    TransferResult result_;
    std::thread thread_;
};

class DriverProtocolTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        installed_ = m52sim::InstallDriver(m52sim::DriverFileBesideExecutable(), &installError_);
    }

    void SetUp() override
    {
        ASSERT_TRUE(installed_) << installError_;
        ASSERT_TRUE(Sim(M52SIM_IOCTL_ATTACH, 0));
        ASSERT_TRUE(Sim(M52SIM_IOCTL_RESET, 0));
        ASSERT_TRUE(Sim(M52SIM_IOCTL_PACE, 0, M52SIM_PACE_FAST));
        camera_.reset(new CameraChannel(0));
        ASSERT_TRUE(camera_->IsOpen()) << m52sim::ErrorText(camera_->OpenError());
        Program8BitFullFrame();
    }

    // Every test leaves camera 0 as `m52sim install` sets it up, and no other camera attached.
    void TearDown() override
    {
        Sim(M52SIM_IOCTL_ATTACH, 0);
        CameraChannel restore(0);
        if (restore.IsOpen()) {
            restore.Send(PortWrite(11, 0));
            restore.Send(PortWrite(14, 0));
            restore.Send(PortWrite(15, 0));
            restore.SetParameter(M52SIM_DEFAULT_FRAME_TIMEOUT_MS);
        }
        Sim(M52SIM_IOCTL_RESET, 0);
        for (uint32_t i = 1; i < M52SIM_MAX_CAMERAS; ++i) Sim(M52SIM_IOCTL_DETACH, i);
    }

    void Program8BitFullFrame()
    {
        ASSERT_TRUE(camera_->Send(PortWrite(11, 0)).ok);
        ASSERT_TRUE(camera_->Send(WordMode(1)).ok);
        ASSERT_TRUE(camera_->Send(PortWrite(14, 0)).ok);
        ASSERT_TRUE(camera_->Send(PortWrite(15, 0)).ok);
        ASSERT_TRUE(camera_->Send(TransferSize(kFullFrame)).ok);
        ProgramExposure(64, 512);
    }

    void ProgramExposure(unsigned shutter, unsigned gain)
    {
        ASSERT_TRUE(camera_->Send(Register(154, 0)).ok);
        ASSERT_TRUE(camera_->Send(Register(158, shutter & 0x3F)).ok);
        ASSERT_TRUE(camera_->Send(Register(159, (shutter >> 6) & 0x3F)).ok);
        ASSERT_TRUE(camera_->Send(Register(6, gain & 0x3F)).ok);
        ASSERT_TRUE(camera_->Send(Register(7, (gain >> 6) & 0x0F)).ok);
    }

    // The frame the camera model says comes next, rendered here independently of the driver.
    std::vector<uint8_t> ExpectedFrame(uint32_t samples, bool word, unsigned shutter, unsigned gain, unsigned scene = 0)
    {
        M52SceneParams p{};
        p.scene = scene;
        p.frame_number = Status(0).frames_delivered;
        p.exposure_lines = 1074 - shutter;
        p.gain = gain;
        std::vector<uint8_t> out(word ? 2 * samples : samples);
        m52_scene_render(&p, out.data(), samples, word ? 1 : 0);
        return out;
    }

    static void ExpectSameFrame(const std::vector<uint8_t> &expected, const std::vector<uint8_t> &actual)
    {
        ASSERT_EQ(expected.size(), actual.size());
        for (size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ(expected[i], actual[i]) << "first difference at byte " << i;
    }

    static bool installed_;
    static std::string installError_;
    std::unique_ptr<CameraChannel> camera_;
};

bool DriverProtocolTest::installed_ = false;
std::string DriverProtocolTest::installError_;

TEST_F(DriverProtocolTest, AttachedCamerasOpenAndDetachedOnesDoNot)
{
    CameraChannel absent(5);
    EXPECT_FALSE(absent.IsOpen());
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, absent.OpenError());
    // Index 23 is suffix M, index 22 suffix N.
    ASSERT_TRUE(Sim(M52SIM_IOCTL_ATTACH, 23));
    ASSERT_TRUE(Sim(M52SIM_IOCTL_ATTACH, 23)); // attaching twice is harmless
    {
        HANDLE m = CreateFileA("\\\\.\\ZadeZ52EZIZE-M", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, m);
        if (m != INVALID_HANDLE_VALUE) CloseHandle(m);
        HANDLE n = CreateFileA("\\\\.\\ZadeZ52EZIZE-N", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(INVALID_HANDLE_VALUE, n);
        if (n != INVALID_HANDLE_VALUE) CloseHandle(n);
    }
    EXPECT_EQ(1u, Status(23).attached);
    ASSERT_TRUE(Sim(M52SIM_IOCTL_DETACH, 23));
    EXPECT_FALSE(CameraChannel(23).IsOpen());
    EXPECT_EQ(0u, Status(23).attached);
    EXPECT_EQ(0u, Status(31).attached);
    // Control requests for a camera that is not there fail; an index past 31 is refused.
    EXPECT_FALSE(Sim(M52SIM_IOCTL_PACE, 23, M52SIM_PACE_FAST));
    EXPECT_FALSE(Sim(M52SIM_IOCTL_ATTACH, 32));
}

TEST_F(DriverProtocolTest, EachCommandIsCarriedOutAndItsAnswerIsReadTwice)
{
    ASSERT_TRUE(Sim(M52SIM_IOCTL_LOG_CLEAR, 0));
    const M52SimStatus before = Status(0);
    uint8_t value = 0;

    EXPECT_TRUE(camera_->Send(MakeBlock(1)).ok);                     // prepare
    EXPECT_TRUE(camera_->Send(PortWrite(7, 0x5A)).ok);
    EXPECT_TRUE(camera_->Send(PortRead(7)).ok);
    // The first read gives what the pipe still held, never the answer; the second the answer,
    // which is then gone.
    EXPECT_TRUE(camera_->Response(&value).ok);
    EXPECT_NE(0x5A, value);
    value = 0;
    TransferResult second = camera_->Response(&value);
    EXPECT_TRUE(second.ok);
    EXPECT_EQ(64u, second.moved);
    EXPECT_EQ(0x5A, value);
    EXPECT_FALSE(camera_->Response(&value).ok);

    const char tag[] = "RORU52";
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(camera_->Send(SromRead(static_cast<uint16_t>(0x1810 + i))).ok);
        ASSERT_TRUE(camera_->Answer(&value).ok);
        EXPECT_EQ(static_cast<uint8_t>(tag[i]), value) << "tag byte " << i;
    }
    EXPECT_TRUE(camera_->Send(SromWrite(0x18F0, 0x33)).ok);
    EXPECT_TRUE(camera_->Send(SromRead(0x18F0)).ok);
    EXPECT_TRUE(camera_->Answer(&value).ok);
    EXPECT_EQ(0x33, value);

    EXPECT_TRUE(camera_->Send(TransferSize(1360 * 256)).ok);
    const uint8_t sizeBytes[4] = {0x00, 0x50, 0x05, 0x00};
    for (uint8_t p = 0; p < 4; ++p) {
        EXPECT_TRUE(camera_->Send(PortRead(p)).ok);
        EXPECT_TRUE(camera_->Answer(&value).ok);
        EXPECT_EQ(sizeBytes[p], value) << "port " << int(p);
    }
    EXPECT_TRUE(camera_->Send(Register(384, 0x35001)).ok);
    EXPECT_TRUE(camera_->Send(Register(300, 0x1234)).ok);
    EXPECT_TRUE(camera_->Send(Register(6, 20)).ok);
    EXPECT_TRUE(camera_->Send(Register(7, 3)).ok);
    EXPECT_TRUE(camera_->Send(PortWrite(14, 1)).ok);
    EXPECT_TRUE(camera_->Send(PortWrite(15, 1)).ok);
    // The streaming frame request goes out with IOCTL_PIPE_OUT_DIRECT.
    EXPECT_TRUE(camera_->Send(MakeBlock(2), kPipeOutDirect).ok);

    const M52SimStatus s = Status(0);
    EXPECT_EQ(before.refused_requests + 1, s.refused_requests); // the third read of the port's answer
    EXPECT_EQ(before.wrong_code_requests, s.wrong_code_requests);
    EXPECT_EQ(1360u * 256u, s.transfer_size);
    EXPECT_EQ(2u * 1360u * 256u, s.frame_bytes);
    EXPECT_EQ(16u, s.pixel_bits);
    EXPECT_EQ(12000000u, s.clock_hz);
    EXPECT_EQ(20u + (3u << 6), s.gain);

    // The log holds exactly these requests with their codes, oldest first.
    std::unique_ptr<M52SimLog> log(new M52SimLog());
    ASSERT_TRUE(m52sim::ControlOnce(M52SIM_IOCTL_LOG, 0, 0, log.get(), sizeof *log));
    ASSERT_EQ(23u + 3u + 2u * 11u, log->count);
    const struct {
        uint32_t pipe, code, refused;
        uint8_t byte0;
    } kFirst[] = {{0, kPipeInDirect, 0, 1},    {0, kPipeInDirect, 0, 0x25}, {0, kPipeInDirect, 0, 0x26},
                  {1, kPipeOutDirect, 0, 0xA5}, {1, kPipeOutDirect, 0, 0x5A}, {1, kPipeOutDirect, 1, 0},
                  {0, kPipeInDirect, 0, 0x41}, {1, kPipeOutDirect, 0, 0xAD}, {1, kPipeOutDirect, 0, 'R'}};
    for (uint32_t i = 0; i < sizeof kFirst / sizeof kFirst[0]; ++i) {
        const M52SimLogEntry &e = log->entries[i];
        EXPECT_EQ(kFirst[i].pipe, e.pipe) << "entry " << i;
        EXPECT_EQ(kFirst[i].code, e.control_code) << "entry " << i;
        EXPECT_EQ(kFirst[i].refused, e.refused) << "entry " << i;
        EXPECT_EQ(kFirst[i].byte0, e.block[0]) << "entry " << i;
    }
    EXPECT_EQ(7, log->entries[1].block[1]);
    EXPECT_EQ(0x5A, log->entries[1].block[2]);
    const Block reg = Register(384, 0x35001);
    EXPECT_EQ(0, std::memcmp(reg.data(), log->entries[log->count - 7].block, 64));
    EXPECT_EQ(kPipeOutDirect, log->entries[log->count - 1].control_code);
    for (uint32_t i = 1; i < log->count; ++i) EXPECT_EQ(log->entries[i - 1].sequence + 1, log->entries[i].sequence);
    ASSERT_TRUE(Sim(M52SIM_IOCTL_LOG_CLEAR, 0));
    ASSERT_TRUE(m52sim::ControlOnce(M52SIM_IOCTL_LOG, 0, 0, log.get(), sizeof *log));
    EXPECT_EQ(0u, log->count);
}

TEST_F(DriverProtocolTest, EveryWrongCombinationIsRefusedAndCounted)
{
    while (camera_->Response(nullptr).ok) {
    } // no answer left waiting
    const M52SimStatus before = Status(0);
    uint8_t buffer[64] = {0};
    std::vector<uint8_t> frame(kFullFrame);
    uint32_t pipe = 0;
    uint64_t widePipe = 0;
    struct Case { const char *what; bool wrongCode; TransferResult result; };
    std::vector<Case> cases;
    cases.push_back({"response on the command code", true, camera_->Transfer(kPipeInDirect, kPipeResponse, buffer, 64)});
    cases.push_back({"response on the alternate code", true, camera_->Transfer(kPipeOutDirectAlt, kPipeResponse, buffer, 64)});
    cases.push_back({"command on the alternate code", true, camera_->Transfer(kPipeInDirectAlt, kPipeCommand, buffer, 64)});
    cases.push_back({"command on the alternate out code", true, camera_->Transfer(kPipeOutDirectAlt, kPipeCommand, buffer, 64)});
    cases.push_back({"prepare on the frame request's code", true, camera_->Send(MakeBlock(1), kPipeOutDirect)});
    cases.push_back({"register write on the frame request's code", true, camera_->Send(Register(6, 1), kPipeOutDirect)});
    cases.push_back({"frame on the out code", true, camera_->Transfer(kPipeOutDirect, kPipeImage, frame.data(), kFullFrame)});
    cases.push_back({"frame on the alternate out code", true, camera_->Transfer(kPipeOutDirectAlt, kPipeImage, frame.data(), kFullFrame)});
    cases.push_back({"63-byte command block", false, camera_->Transfer(kPipeInDirect, kPipeCommand, buffer, 63)});
    cases.push_back({"65-byte command block", false, camera_->Transfer(kPipeInDirect, kPipeCommand, buffer, 65)});
    cases.push_back({"63-byte response", false, camera_->Transfer(kPipeOutDirect, kPipeResponse, buffer, 63)});
    cases.push_back({"response with no answer waiting", false, camera_->Transfer(kPipeOutDirect, kPipeResponse, buffer, 64)});
    cases.push_back({"pipe 3", false, camera_->Transfer(kPipeInDirect, 3, buffer, 64)});
    cases.push_back({"frame one byte short", false, camera_->Transfer(kPipeInDirect, kPipeImage, frame.data(), kFullFrame - 1)});
    cases.push_back({"frame without a request", false, camera_->Transfer(kPipeInDirect, kPipeImage, frame.data(), kFullFrame)});
    cases.push_back({"2-byte pipe number", false, camera_->RawIoctl(kPipeInDirect, &pipe, 2, buffer, 64)});
    cases.push_back({"8-byte pipe number", false, camera_->RawIoctl(kPipeInDirect, &widePipe, 8, buffer, 64)});
    cases.push_back({"no data buffer", false, camera_->RawIoctl(kPipeInDirect, &pipe, 4, nullptr, 0)});
    cases.push_back({"unknown control code", false, camera_->RawIoctl(0x222000, &pipe, 4, buffer, 64)});
    cases.push_back({"40-byte parameter block", false, camera_->SetParameter(1000, 1, 40)});
    cases.push_back({"parameter block not starting with 1", false, camera_->SetParameter(1000, 2)});
    cases.push_back({"register write with a 26-bit word for a 6-bit register", false, camera_->Send(RegisterWrite(5, 1, 26, 0x3F))});
    cases.push_back({"register 200", false, camera_->Send(RegisterWrite(200, 1, 16, 0x3F))});
    cases.push_back({"unknown command", false, camera_->Send(MakeBlock(0x77))});
    uint32_t wrongCodes = 0;
    for (const Case &c : cases) {
        EXPECT_FALSE(c.result.ok) << c.what;
        EXPECT_NE(0u, c.result.error) << c.what;
        wrongCodes += c.wrongCode ? 1u : 0u;
    }
    const M52SimStatus s = Status(0);
    EXPECT_EQ(before.refused_requests + cases.size(), s.refused_requests);
    EXPECT_EQ(before.wrong_code_requests + wrongCodes, s.wrong_code_requests);
    EXPECT_EQ(2u, s.register_errors);
    EXPECT_EQ(before.command_counts[M52_CMDSLOT_PREPARE], s.command_counts[M52_CMDSLOT_PREPARE])
        << "a command with a wrong code is not carried out";
    EXPECT_EQ(0u, s.gain & 0x3F);
    // The camera still answers afterwards.
    uint8_t value = 0;
    EXPECT_TRUE(camera_->Send(PortRead(0)).ok);
    EXPECT_TRUE(camera_->Answer(&value).ok);
}

TEST_F(DriverProtocolTest, SerialMemoryBytesCanBeSetAndMadeUnreadable)
{
    uint8_t value = 0;
    ASSERT_TRUE(Sim(M52SIM_IOCTL_SROM, 0, M52SIM_SROM_VALUE(0x1802, 70)));
    ASSERT_TRUE(camera_->Send(SromRead(0x1802)).ok);
    ASSERT_TRUE(camera_->Answer(&value).ok);
    EXPECT_EQ(70, value);

    // An unreadable address: the command is taken, the first read too, the second fails.
    ASSERT_TRUE(Sim(M52SIM_IOCTL_SROM, 0, M52SIM_SROM_VALUE(0x1805, 9) | M52SIM_SROM_UNREADABLE));
    ASSERT_TRUE(camera_->Send(SromRead(0x1805)).ok);
    EXPECT_TRUE(camera_->Response(&value).ok);
    EXPECT_FALSE(camera_->Response(&value).ok);

    EXPECT_FALSE(Sim(M52SIM_IOCTL_SROM, 0, M52SIM_SROM_VALUE(0x1805, 9) | 0x200)); // undefined bits
    // A re-plug keeps the serial memory; a reset restores it as it left the factory.
    ASSERT_TRUE(Sim(M52SIM_IOCTL_DETACH, 0));
    ASSERT_TRUE(Sim(M52SIM_IOCTL_ATTACH, 0));
    camera_.reset(new CameraChannel(0));
    ASSERT_TRUE(camera_->Send(SromRead(0x1802)).ok);
    ASSERT_TRUE(camera_->Answer(&value).ok);
    EXPECT_EQ(70, value);
    ASSERT_TRUE(Sim(M52SIM_IOCTL_RESET, 0));
    for (uint16_t address : {uint16_t(0x1802), uint16_t(0x1805)}) {
        ASSERT_TRUE(camera_->Send(SromRead(address)).ok);
        ASSERT_TRUE(camera_->Answer(&value).ok) << address;
        EXPECT_EQ(m52_model_unit_byte(0, address - 0x1800u), value) << address;
    }
}

TEST_F(DriverProtocolTest, FrameRequestsBelongToTheHandleThatSentThem)
{
    CameraChannel other(0);
    ASSERT_TRUE(other.IsOpen());
    std::vector<uint8_t> frame(kFullFrame);
    // A request of one handle does not let another read a frame.
    ASSERT_TRUE(other.Send(MakeBlock(2)).ok);
    EXPECT_FALSE(camera_->Transfer(kPipeInDirect, kPipeImage, frame.data(), kFullFrame).ok);
    // PREPARE on one handle leaves another's pending request alone.
    ASSERT_TRUE(camera_->Send(MakeBlock(1)).ok);
    EXPECT_EQ(1u, Status(0).pending_requests);
    TransferResult r = other.Transfer(kPipeInDirect, kPipeImage, frame.data(), kFullFrame);
    EXPECT_TRUE(r.ok) << r.error;
    // PREPARE on the handle itself forgets its requests.
    ASSERT_TRUE(other.Send(MakeBlock(2)).ok);
    ASSERT_TRUE(other.Send(MakeBlock(2)).ok);
    ASSERT_TRUE(camera_->Send(MakeBlock(2)).ok);
    EXPECT_EQ(3u, Status(0).pending_requests);
    ASSERT_TRUE(other.Send(MakeBlock(1)).ok);
    EXPECT_EQ(1u, Status(0).pending_requests);
    EXPECT_FALSE(other.Transfer(kPipeInDirect, kPipeImage, frame.data(), kFullFrame).ok);
    // Closing a handle drops its requests.
    ASSERT_TRUE(other.Send(MakeBlock(2)).ok);
    other.Close();
    EXPECT_TRUE(WaitForStatus([](const M52SimStatus &st) { return st.pending_requests == 1; }));
    r = camera_->Transfer(kPipeInDirect, kPipeImage, frame.data(), kFullFrame);
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_EQ(0u, Status(0).pending_requests);
}

TEST_F(DriverProtocolTest, EightBitFrameHasTheTransferSizeAndTheModelsContent)
{
    ProgramExposure(300, 700);
    const std::vector<uint8_t> expected = ExpectedFrame(kFullFrame, false, 300, 700);
    std::vector<uint8_t> frame;
    const TransferResult r = camera_->Snap(&frame, kFullFrame);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(kFullFrame, r.moved);
    ExpectSameFrame(expected, frame);
    // The next frame differs: the object has moved on.
    std::vector<uint8_t> next;
    ASSERT_TRUE(camera_->Snap(&next, kFullFrame).ok);
    EXPECT_NE(frame, next);
}

TEST_F(DriverProtocolTest, SixteenBitFrameOfASmallerWindowHoldsLittleEndianTenBitSamples)
{
    // A window of 1000 x 300 pixels, read as 1360-pixel lines until the transfer is filled.
    const uint32_t size = ((1000 * 300 + 1023) / 1024) * 1024;
    ASSERT_TRUE(camera_->Send(TransferSize(size)).ok);
    ASSERT_TRUE(camera_->Send(PortWrite(14, 1)).ok);
    ProgramExposure(64, 1023);
    const std::vector<uint8_t> expected = ExpectedFrame(size, true, 64, 1023);
    std::vector<uint8_t> frame;
    const TransferResult r = camera_->Snap(&frame, 2 * size);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(2 * size, r.moved);
    ExpectSameFrame(expected, frame);
    for (size_t i = 1; i < frame.size(); i += 2) ASSERT_LE(frame[i], 3) << "sample " << i / 2 << " exceeds 10 bits";
    // An 8-bit sized read is refused once the pixel width is 16 bits.
    std::vector<uint8_t> narrow;
    EXPECT_FALSE(camera_->Snap(&narrow, size).ok);
}

TEST_F(DriverProtocolTest, UploadedPictureIsDelivered)
{
    std::vector<uint8_t> rgb(M52SIM_PICTURE_BYTES);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 7 / 3);
    ASSERT_TRUE(m52sim::UploadPicture(0, rgb.data(), static_cast<DWORD>(rgb.size())));
    EXPECT_EQ(unsigned(M52_SCENE_PICTURE), Status(0).scene);
    M52SceneParams p{};
    p.scene = M52_SCENE_PICTURE;
    p.exposure_lines = 1010;
    p.gain = 512;
    p.picture_rgb = rgb.data();
    std::vector<uint8_t> expected(kFullFrame);
    m52_scene_render(&p, expected.data(), kFullFrame, 0);
    std::vector<uint8_t> frame;
    ASSERT_TRUE(camera_->Snap(&frame, kFullFrame).ok);
    ExpectSameFrame(expected, frame);
    EXPECT_FALSE(m52sim::UploadPicture(0, rgb.data(), 1000)); // wrong size
}

TEST_F(DriverProtocolTest, CommandsAreAnsweredWhileAFrameReadIsPendingOnAnotherHandle)
{
    ASSERT_TRUE(camera_->Send(PortWrite(11, 1)).ok); // trigger mode: the read waits
    CameraChannel reader(0);
    ASSERT_TRUE(reader.IsOpen());
    ASSERT_TRUE(reader.Send(MakeBlock(2)).ok);
    BackgroundRead read(&reader, kFullFrame);
    ASSERT_TRUE(WaitForPendingReads(0, 1));

    uint8_t value = 0;
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(camera_->Send(PortWrite(7, static_cast<uint8_t>(i))).ok);
        ASSERT_TRUE(camera_->Send(PortRead(7)).ok);
        ASSERT_TRUE(camera_->Answer(&value).ok);
        ASSERT_EQ(i, value);
    }
    EXPECT_EQ(1u, Status(0).pending_reads); // still waiting for its trigger

    ASSERT_TRUE(camera_->Send(PortWrite(11, 0x81)).ok); // bit 7 fires the trigger
    const TransferResult r = read.Join();
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_EQ(kFullFrame, r.moved);
}

TEST_F(DriverProtocolTest, TriggerModeWaitsForATriggerAndGivesUpAtTheTimeOut)
{
    ASSERT_TRUE(camera_->SetParameter(300).ok);
    EXPECT_EQ(300u, Status(0).frame_timeout_ms);
    ASSERT_TRUE(camera_->Send(PortWrite(11, 1)).ok);

    std::vector<uint8_t> frame;
    const DWORD start = GetTickCount();
    TransferResult r = camera_->Snap(&frame, kFullFrame);
    EXPECT_FALSE(r.ok);
    EXPECT_GE(GetTickCount() - start, 250u); // it did wait for the trigger first
    EXPECT_EQ(0u, Status(0).pending_reads);

    // Pulses from the control tool, one frame each.
    ASSERT_TRUE(Sim(M52SIM_IOCTL_TRIGGER, 0, 2));
    EXPECT_TRUE(camera_->Snap(&frame, kFullFrame).ok);
    EXPECT_TRUE(camera_->Snap(&frame, kFullFrame).ok);
    EXPECT_FALSE(camera_->Snap(&frame, kFullFrame).ok);

    // A periodic pulse, like a hardware trigger line.
    ASSERT_TRUE(Sim(M52SIM_IOCTL_TRIGGER_EVERY, 0, 40));
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(camera_->Snap(&frame, kFullFrame).ok) << "frame " << i;
    // Pulses while nobody reads arm one frame, not a backlog.
    Sleep(300);
    ASSERT_TRUE(Sim(M52SIM_IOCTL_TRIGGER_EVERY, 0, 0));
    EXPECT_EQ(1u, Status(0).latched_triggers);
    EXPECT_TRUE(camera_->Snap(&frame, kFullFrame).ok);
    EXPECT_FALSE(camera_->Snap(&frame, kFullFrame).ok);

    // Out of trigger mode frames flow without pulses.
    ASSERT_TRUE(camera_->Send(PortWrite(11, 0)).ok);
    EXPECT_TRUE(camera_->Snap(&frame, kFullFrame).ok);
}

TEST_F(DriverProtocolTest, DetachFailsAPendingReadAndTheCameraCanComeBack)
{
    ASSERT_TRUE(camera_->Send(PortWrite(11, 1)).ok);
    ASSERT_TRUE(camera_->Send(MakeBlock(2)).ok);
    BackgroundRead read(camera_.get(), kFullFrame);
    ASSERT_TRUE(WaitForPendingReads(0, 1));
    ASSERT_TRUE(Sim(M52SIM_IOCTL_DETACH, 0));
    const TransferResult r = read.Join();
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(CameraChannel(0).IsOpen());
    // The handle that stayed open now gets errors, not a crash.
    EXPECT_FALSE(camera_->Send(PortRead(0)).ok);

    ASSERT_TRUE(Sim(M52SIM_IOCTL_ATTACH, 0));
    CameraChannel again(0);
    ASSERT_TRUE(again.IsOpen());
    EXPECT_TRUE(again.Send(PortRead(0)).ok);
    // Plugged in again it is a new device: the handle from before the unplug stays dead, as
    // after a surprise removal, for every request.
    const uint32_t refused = Status(0).refused_requests;
    std::vector<uint8_t> frame(kFullFrame);
    TransferResult stale[] = {camera_->Send(PortRead(0)), camera_->Response(nullptr), camera_->Send(MakeBlock(2)),
                              camera_->Transfer(kPipeInDirect, kPipeImage, frame.data(), kFullFrame),
                              camera_->SetParameter(1000)};
    for (const TransferResult &r : stale) {
        EXPECT_FALSE(r.ok);
        EXPECT_NE(0u, r.error);
    }
    EXPECT_EQ(refused + 5u, Status(0).refused_requests);
    EXPECT_EQ(0u, Status(0).pending_requests);
    uint8_t value = 0;
    EXPECT_TRUE(again.Answer(&value).ok) << "the new handle's answer is untouched";
    camera_->Close();
    EXPECT_TRUE(WaitForStatus([](const M52SimStatus &st) { return st.open_handles == 1; }));
}

TEST_F(DriverProtocolTest, ClosingOrCancellingEndsAPendingRead)
{
    // Reads wait for a trigger far longer than the test waits: only the cancel can end them.
    ASSERT_TRUE(camera_->SetParameter(60000).ok);
    ASSERT_TRUE(camera_->Send(PortWrite(11, 1)).ok);
    {
        CameraChannel reader(0);
        ASSERT_TRUE(reader.Send(MakeBlock(2)).ok);
        BackgroundRead read(&reader, kFullFrame);
        ASSERT_TRUE(WaitForPendingReads(0, 1));
        // Cancel the synchronous read from outside, as a process does when it gives up on I/O.
        ASSERT_TRUE(CancelIoEx(reader.Handle(), nullptr));
        const TransferResult r = read.Join();
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(ERROR_OPERATION_ABORTED, r.error);
    }
    EXPECT_EQ(0u, Status(0).pending_reads);
    {
        // An overlapped read still pending when its handle is closed: the driver sees the
        // cleanup of the file and ends the read.
        HANDLE file = CreateFileA(m52sim::CameraPath(0).c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OVERLAPPED, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        uint32_t pipe = kPipeCommand;
        Block request = MakeBlock(2);
        OVERLAPPED overlapped = {};
        overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        DWORD moved = 0;
        BOOL ok = DeviceIoControl(file, kPipeInDirect, &pipe, 4, request.data(), 64, &moved, &overlapped);
        if (!ok && GetLastError() == ERROR_IO_PENDING) ok = GetOverlappedResult(file, &overlapped, &moved, TRUE);
        ASSERT_TRUE(ok);
        ResetEvent(overlapped.hEvent);
        std::vector<uint8_t> frame(kFullFrame);
        pipe = kPipeImage;
        ok = DeviceIoControl(file, kPipeInDirect, &pipe, 4, frame.data(), kFullFrame, &moved, &overlapped);
        ASSERT_FALSE(ok);
        ASSERT_EQ(ERROR_IO_PENDING, GetLastError());
        ASSERT_TRUE(WaitForPendingReads(0, 1));
        CloseHandle(file);
        EXPECT_TRUE(WaitForPendingReads(0, 0));
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(overlapped.hEvent, 5000));
        EXPECT_EQ(static_cast<ULONG_PTR>(0xC0000120), overlapped.Internal); // STATUS_CANCELLED
        CloseHandle(overlapped.hEvent);
    }
}

TEST_F(DriverProtocolTest, FaultsStallShortenAndFailFrames)
{
    std::vector<uint8_t> frame;
    ASSERT_TRUE(Sim(M52SIM_IOCTL_FAULT, 0, M52SIM_FAULT_SHORT));
    TransferResult r = camera_->Snap(&frame, kFullFrame);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(kFullFrame / 2, r.moved);
    r = camera_->Snap(&frame, kFullFrame); // only the next frame was short
    EXPECT_EQ(kFullFrame, r.moved);

    ASSERT_TRUE(Sim(M52SIM_IOCTL_FAULT, 0, M52SIM_FAULT_FAIL));
    EXPECT_FALSE(camera_->Snap(&frame, kFullFrame).ok);
    EXPECT_TRUE(camera_->Snap(&frame, kFullFrame).ok);

    ASSERT_TRUE(Sim(M52SIM_IOCTL_FAULT, 0, M52SIM_FAULT_STALL));
    ASSERT_TRUE(camera_->Send(MakeBlock(2)).ok);
    BackgroundRead read(camera_.get(), kFullFrame);
    ASSERT_TRUE(WaitForPendingReads(0, 1));
    Sleep(200);
    EXPECT_EQ(1u, Status(0).pending_reads);
    ASSERT_TRUE(Sim(M52SIM_IOCTL_FAULT, 0, M52SIM_FAULT_NONE));
    r = read.Join();
    EXPECT_TRUE(r.ok) << r.error;
}

TEST_F(DriverProtocolTest, RealtimePacingFollowsTheModelsFramePeriod)
{
    ASSERT_TRUE(Sim(M52SIM_IOCTL_PACE, 0, M52SIM_PACE_REALTIME));
    for (unsigned halfClock : {0u, 1u}) {
        ASSERT_TRUE(camera_->Send(PortWrite(15, static_cast<uint8_t>(halfClock))).ok);
        const double predictedMs = Status(0).frame_period_us / 1000.0;
        ASSERT_GT(predictedMs, 50.0);
        std::vector<uint8_t> frame;
        ASSERT_TRUE(camera_->Snap(&frame, kFullFrame).ok); // settles the frame clock
        const int frames = 8;
        LARGE_INTEGER frequency, start, end;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        for (int i = 0; i < frames; ++i) ASSERT_TRUE(camera_->Snap(&frame, kFullFrame).ok);
        QueryPerformanceCounter(&end);
        const double measuredMs = (end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart / frames;
        std::printf("half clock %u: predicted %.1f ms per frame, measured %.1f ms\n", halfClock, predictedMs, measuredMs);
        EXPECT_GT(measuredMs, predictedMs * 0.7);
        EXPECT_LT(measuredMs, predictedMs * 1.3);
    }
}

TEST_F(DriverProtocolTest, InstallAndRemoveCanBeRepeated)
{
    camera_.reset();
    std::string error;
    ASSERT_TRUE(m52sim::InstallDriver(m52sim::DriverFileBesideExecutable(), &error)) << error;
    ASSERT_TRUE(Sim(M52SIM_IOCTL_ATTACH, 4));
    ASSERT_TRUE(m52sim::RemoveDriver(&error)) << error;
    ASSERT_TRUE(m52sim::RemoveDriver(&error)) << error; // nothing left to remove
    HANDLE control = m52sim::OpenControl();
    EXPECT_EQ(INVALID_HANDLE_VALUE, control);
    if (control != INVALID_HANDLE_VALUE) CloseHandle(control);
    EXPECT_FALSE(CameraChannel(0).IsOpen());
    // A fresh install comes up with camera 0 only, in its default state.
    ASSERT_TRUE(m52sim::InstallDriver(m52sim::DriverFileBesideExecutable(), &error)) << error;
    EXPECT_TRUE(CameraChannel(0).IsOpen());
    EXPECT_FALSE(CameraChannel(4).IsOpen());
    const M52SimStatus s = Status(0);
    EXPECT_EQ(M52SIM_PACE_REALTIME, s.pace);
    EXPECT_EQ(0u, s.scene);
    EXPECT_EQ(M52SIM_DEFAULT_FRAME_TIMEOUT_MS, s.frame_timeout_ms);
}

}  // namespace
