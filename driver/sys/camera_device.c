/* A simulated camera as a device: plugging and unplugging, handles, and the pipe protocol. */
#include "driver/sys/m52sim_driver.h"

/* Pipe transfer codes, METHOD_OUT_DIRECT / METHOD_IN_DIRECT, and the parameter code. */
#define IOCTL_PIPE_OUT_DIRECT 0x22204Eu
#define IOCTL_PIPE_IN_DIRECT 0x222051u
#define IOCTL_PIPE_OUT_DIRECT_ALT 0x2220A6u
#define IOCTL_PIPE_IN_DIRECT_ALT 0x2220A9u
#define IOCTL_SET_PARAMETER 0x2220A0u

enum { PIPE_COMMAND = 0, PIPE_RESPONSE = 1, PIPE_IMAGE = 2, PARAMETER_BLOCK_SIZE = 44,
       MAX_PENDING_REQUESTS = 64, MAX_LATCHED_TRIGGERS = 1024 };

static void LinkName(ULONG index, WCHAR *buffer, UNICODE_STRING *name)
{
    static const WCHAR prefix[] = L"\\DosDevices\\" L"ZadeZ52EZIZE-";
    ULONG i;
    for (i = 0; prefix[i]; ++i) buffer[i] = prefix[i];
    buffer[i++] = (WCHAR)M52SIM_CAMERA_SUFFIXES[index];
    buffer[i] = 0;
    RtlInitUnicodeString(name, buffer);
}

static void DeviceName(ULONG index, WCHAR *buffer, UNICODE_STRING *name)
{
    static const WCHAR prefix[] = L"\\Device\\M52SimCamera";
    ULONG i;
    for (i = 0; prefix[i]; ++i) buffer[i] = prefix[i];
    if (index >= 10) buffer[i++] = (WCHAR)(L'0' + index / 10);
    buffer[i++] = (WCHAR)(L'0' + index % 10);
    buffer[i] = 0;
    RtlInitUnicodeString(name, buffer);
}

/* Settings a camera has when it is plugged in. */
static void ResetSimSettings(CAMERA_EXTENSION *camera)
{
    camera->pace = M52SIM_PACE_REALTIME;
    camera->scene = M52_SCENE_COMPOSITE;
    camera->fault = M52SIM_FAULT_NONE;
    camera->stamp_bytes = 0;
    camera->frame_timeout_ms = M52SIM_DEFAULT_FRAME_TIMEOUT_MS;
    camera->trigger_every_ms = 0;
    camera->latched_triggers = 0;
    camera->pending_requests = 0;
}

static NTSTATUS CreateCamera(ULONG index, CAMERA_EXTENSION **out)
{
    WCHAR buffer[64];
    UNICODE_STRING name;
    PDEVICE_OBJECT device;
    CAMERA_EXTENSION *camera;
    NTSTATUS status;

    DeviceName(index, buffer, &name);
    status = IoCreateDevice(g_driver.driver, sizeof(CAMERA_EXTENSION), &name, FILE_DEVICE_UNKNOWN, 0,
                            FALSE, &device);
    if (!NT_SUCCESS(status)) return status;
    camera = (CAMERA_EXTENSION *)device->DeviceExtension;
    RtlZeroMemory(camera, sizeof *camera);
    camera->kind = DEVICE_KIND_CAMERA;
    camera->index = index;
    camera->device = device;
    KeInitializeSpinLock(&camera->lock);
    InitializeListHead(&camera->reads);
    KeInitializeMutex(&camera->picture_mutex, 0);
    KeInitializeEvent(&camera->wake, SynchronizationEvent, FALSE);
    m52_model_power_on(&camera->model, index);
    ResetSimSettings(camera);
    device->Flags |= DO_DIRECT_IO;
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    status = FrameThreadStart(camera);
    if (!NT_SUCCESS(status)) {
        /* A failed start has already waited for any thread it made: nothing runs on the camera. */
        IoDeleteDevice(device);
        return status;
    }
    *out = camera;
    return STATUS_SUCCESS;
}

NTSTATUS CameraAttach(ULONG index)
{
    CAMERA_EXTENSION *camera;
    NTSTATUS status = STATUS_SUCCESS;
    KIRQL irql;

    if (index >= M52SIM_MAX_CAMERAS) return STATUS_INVALID_PARAMETER;
    KeWaitForSingleObject(&g_driver.attach_mutex, Executive, KernelMode, FALSE, NULL);
    camera = g_driver.cameras[index];
    if (!camera) {
        status = CreateCamera(index, &camera);
        if (NT_SUCCESS(status)) g_driver.cameras[index] = camera;
    } else if (!camera->attached) {
        /* Plugged in again: the electronics power up afresh, the serial memory keeps its bytes. */
        KeAcquireSpinLock(&camera->lock, &irql);
        m52_model_replug(&camera->model);
        ResetSimSettings(camera);
        KeReleaseSpinLock(&camera->lock, irql);
    }
    if (NT_SUCCESS(status) && !camera->attached) {
        WCHAR link_buffer[64], device_buffer[64];
        UNICODE_STRING link, device;
        LinkName(index, link_buffer, &link);
        DeviceName(index, device_buffer, &device);
        status = IoCreateSymbolicLink(&link, &device);
        if (NT_SUCCESS(status)) {
            camera->link_created = TRUE;
            InterlockedExchange(&camera->attached, 1);
        }
    }
    KeReleaseMutex(&g_driver.attach_mutex, FALSE);
    return status;
}

static void Unplug(CAMERA_EXTENSION *camera)
{
    WCHAR link_buffer[64];
    UNICODE_STRING link;
    InterlockedExchange(&camera->attached, 0);
    if (camera->link_created) {
        LinkName(camera->index, link_buffer, &link);
        IoDeleteSymbolicLink(&link);
        camera->link_created = FALSE;
    }
    FrameFailAll(camera, STATUS_DEVICE_NOT_CONNECTED);
}

NTSTATUS CameraDetach(ULONG index)
{
    CAMERA_EXTENSION *camera;
    if (index >= M52SIM_MAX_CAMERAS) return STATUS_INVALID_PARAMETER;
    KeWaitForSingleObject(&g_driver.attach_mutex, Executive, KernelMode, FALSE, NULL);
    camera = g_driver.cameras[index];
    /* The device object stays (open handles may still point at it); only the path goes. */
    if (camera && camera->attached) Unplug(camera);
    KeReleaseMutex(&g_driver.attach_mutex, FALSE);
    return STATUS_SUCCESS;
}

void CameraDestroy(CAMERA_EXTENSION *camera)
{
    Unplug(camera);
    FrameThreadStop(camera);
    if (camera->picture) ExFreePoolWithTag(camera->picture, M52SIM_POOL_TAG);
    IoDeleteDevice(camera->device);
}

NTSTATUS CameraCreateClose(CAMERA_EXTENSION *camera, PIRP irp, PIO_STACK_LOCATION stack)
{
    NTSTATUS status = STATUS_SUCCESS;
    if (stack->MajorFunction == IRP_MJ_CREATE) {
        if (camera->attached)
            InterlockedIncrement((LONG *)&camera->open_handles);
        else
            status = STATUS_NO_SUCH_DEVICE;
    } else {
        /* Wine's driver host sends the close, and no cleanup, as soon as the last handle goes,
         * even while reads of the file are still pending; end them here as cleanup would. */
        FrameCancelForFile(camera, stack->FileObject);
        InterlockedDecrement((LONG *)&camera->open_handles);
    }
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

NTSTATUS CameraCleanup(CAMERA_EXTENSION *camera, PIRP irp, PIO_STACK_LOCATION stack)
{
    /* The last handle of a file is closed: its frame reads must not outlive it. */
    FrameCancelForFile(camera, stack->FileObject);
    irp->IoStatus.Status = STATUS_SUCCESS;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_SUCCESS;
}

static void AppendLog(CAMERA_EXTENSION *camera, const UCHAR *block, BOOLEAN refused)
{
    M52SimLogEntry *entry = &camera->log[camera->log_next];
    entry->sequence = camera->log_sequence++;
    entry->refused = refused ? 1u : 0u;
    RtlCopyMemory(entry->block, block, sizeof entry->block);
    camera->log_next = (camera->log_next + 1) % M52SIM_LOG_CAPACITY;
    if (camera->log_count < M52SIM_LOG_CAPACITY)
        camera->log_count++;
    else
        camera->log_dropped++;
}

static NTSTATUS SendCommand(CAMERA_EXTENSION *camera, const UCHAR *block)
{
    UCHAR copy[M52_BLOCK_SIZE];
    unsigned effects = 0;
    M52CommandResult result;
    KIRQL irql;

    /* The buffer belongs to the caller: decode a private copy. */
    RtlCopyMemory(copy, block, sizeof copy);
    KeAcquireSpinLock(&camera->lock, &irql);
    if (camera->fault == M52SIM_FAULT_REFUSE) {
        camera->fault = M52SIM_FAULT_NONE;
        AppendLog(camera, copy, TRUE);
        KeReleaseSpinLock(&camera->lock, irql);
        return STATUS_INVALID_PARAMETER;
    }
    result = m52_model_command(&camera->model, copy, &effects);
    AppendLog(camera, copy, result != M52_COMMAND_DONE);
    if (effects & M52_EFFECT_TRIGGER_ARMED) camera->latched_triggers = 0;
    if ((effects & M52_EFFECT_TRIGGER_FIRED) && m52_model_trigger_mode(&camera->model) &&
        camera->latched_triggers < MAX_LATCHED_TRIGGERS)
        camera->latched_triggers++;
    if (copy[0] == M52_CMD_PREPARE && result == M52_COMMAND_DONE) camera->pending_requests = 0;
    if ((effects & M52_EFFECT_FRAME_REQUESTED) && camera->pending_requests < MAX_PENDING_REQUESTS)
        camera->pending_requests++;
    KeReleaseSpinLock(&camera->lock, irql);
    if (effects & (M52_EFFECT_TRIGGER_FIRED | M52_EFFECT_FRAME_REQUESTED)) KeSetEvent(&camera->wake, 0, FALSE);
    return result == M52_COMMAND_DONE ? STATUS_SUCCESS : STATUS_INVALID_PARAMETER;
}

static NTSTATUS ReadResponse(CAMERA_EXTENSION *camera, UCHAR *out)
{
    UCHAR response[M52_BLOCK_SIZE];
    int ok;
    KIRQL irql;
    KeAcquireSpinLock(&camera->lock, &irql);
    ok = m52_model_response(&camera->model, response);
    KeReleaseSpinLock(&camera->lock, irql);
    if (!ok) return STATUS_DEVICE_NOT_READY;
    RtlCopyMemory(out, response, sizeof response);
    return STATUS_SUCCESS;
}

static NTSTATUS SetParameter(CAMERA_EXTENSION *camera, const UCHAR *block, ULONG in_length, ULONG out_length)
{
    LONG value;
    KIRQL irql;
    if (in_length != PARAMETER_BLOCK_SIZE || out_length != 0 || !block) return STATUS_INVALID_PARAMETER;
    if ((block[0] | (block[1] << 8) | (block[2] << 16) | ((ULONG)block[3] << 24)) != 1) return STATUS_INVALID_PARAMETER;
    value = (LONG)(block[4] | (block[5] << 8) | (block[6] << 16) | ((ULONG)block[7] << 24));
    if (value <= 0) return STATUS_INVALID_PARAMETER;
    KeAcquireSpinLock(&camera->lock, &irql);
    camera->frame_timeout_ms = (ULONG)value; /* how long a frame read waits for a trigger */
    KeReleaseSpinLock(&camera->lock, irql);
    return STATUS_SUCCESS;
}

static NTSTATUS CompleteRequest(CAMERA_EXTENSION *camera, PIRP irp, NTSTATUS status, ULONG_PTR information)
{
    if (!NT_SUCCESS(status)) {
        InterlockedIncrement((LONG *)&camera->refused_requests);
        information = 0;
    }
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

NTSTATUS CameraDeviceControl(CAMERA_EXTENSION *camera, PIRP irp, PIO_STACK_LOCATION stack)
{
    ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    ULONG in_length = stack->Parameters.DeviceIoControl.InputBufferLength;
    ULONG out_length = stack->Parameters.DeviceIoControl.OutputBufferLength;
    const UCHAR *input = (const UCHAR *)irp->AssociatedIrp.SystemBuffer;
    UCHAR *data;
    ULONG pipe;

    if (!camera->attached) return CompleteRequest(camera, irp, STATUS_DEVICE_NOT_CONNECTED, 0);
    if (code == IOCTL_SET_PARAMETER)
        return CompleteRequest(camera, irp, SetParameter(camera, input, in_length, out_length), 0);
    if (code != IOCTL_PIPE_OUT_DIRECT && code != IOCTL_PIPE_IN_DIRECT && code != IOCTL_PIPE_OUT_DIRECT_ALT &&
        code != IOCTL_PIPE_IN_DIRECT_ALT)
        return CompleteRequest(camera, irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    if (in_length != sizeof(ULONG) || !input || out_length == 0 || !irp->MdlAddress)
        return CompleteRequest(camera, irp, STATUS_INVALID_PARAMETER, 0);
    pipe = *(const ULONG *)input;
    data = (UCHAR *)MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority);
    if (!data) return CompleteRequest(camera, irp, STATUS_INSUFFICIENT_RESOURCES, 0);

    switch (pipe) {
    case PIPE_COMMAND:
        if ((code != IOCTL_PIPE_IN_DIRECT && code != IOCTL_PIPE_OUT_DIRECT) || out_length != M52_BLOCK_SIZE) break;
        return CompleteRequest(camera, irp, SendCommand(camera, data), M52_BLOCK_SIZE);
    case PIPE_RESPONSE:
        if (code != IOCTL_PIPE_OUT_DIRECT || out_length != M52_BLOCK_SIZE) break;
        return CompleteRequest(camera, irp, ReadResponse(camera, data), M52_BLOCK_SIZE);
    case PIPE_IMAGE: {
        NTSTATUS status;
        if (code != IOCTL_PIPE_IN_DIRECT && code != IOCTL_PIPE_IN_DIRECT_ALT) break;
        status = FrameQueueRead(camera, irp);
        if (status == STATUS_PENDING) return status;
        return CompleteRequest(camera, irp, status, 0);
    }
    default:
        break;
    }
    return CompleteRequest(camera, irp, STATUS_INVALID_PARAMETER, 0);
}
