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
    m52_random_faults_start(&camera->random, 0, 0);
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
    KIRQL irql;
    /* Every handle open now is dead for good, even if the camera comes back. */
    KeAcquireSpinLock(&camera->lock, &irql);
    camera->generation++;
    InterlockedExchange(&camera->attached, 0);
    KeReleaseSpinLock(&camera->lock, irql);
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
    if (camera->render_cache.frame) ExFreePoolWithTag(camera->render_cache.frame, M52SIM_POOL_TAG);
    IoDeleteDevice(camera->device);
}

/* The handle state of a request, or NULL when the handle belongs to an earlier plug-in. */
static CAMERA_FILE *LiveFile(CAMERA_EXTENSION *camera, PIO_STACK_LOCATION stack)
{
    CAMERA_FILE *file = stack->FileObject ? (CAMERA_FILE *)stack->FileObject->FsContext : NULL;
    if (!file || !camera->attached || file->generation != camera->generation) return NULL;
    return file;
}

static NTSTATUS OpenFile(CAMERA_EXTENSION *camera, PIO_STACK_LOCATION stack)
{
    CAMERA_FILE *file;
    KIRQL irql;
    if (!camera->attached || !stack->FileObject) return STATUS_NO_SUCH_DEVICE;
    file = (CAMERA_FILE *)ExAllocatePoolWithTag(NonPagedPool, sizeof *file, M52SIM_POOL_TAG);
    if (!file) return STATUS_INSUFFICIENT_RESOURCES;
    KeAcquireSpinLock(&camera->lock, &irql);
    file->generation = camera->attached ? camera->generation : camera->generation - 1; /* unplugged meanwhile: dead */
    file->pending_requests = 0;
    KeReleaseSpinLock(&camera->lock, irql);
    stack->FileObject->FsContext = file;
    InterlockedIncrement((LONG *)&camera->open_handles);
    return STATUS_SUCCESS;
}

static void CloseFile(CAMERA_EXTENSION *camera, PIO_STACK_LOCATION stack)
{
    CAMERA_FILE *file = stack->FileObject ? (CAMERA_FILE *)stack->FileObject->FsContext : NULL;
    KIRQL irql;
    /* Wine's driver host sends the close, and no cleanup, as soon as the last handle goes,
     * even while reads of the file are still pending; end them here as cleanup would. */
    FrameCancelForFile(camera, stack->FileObject);
    if (!file) return;
    KeAcquireSpinLock(&camera->lock, &irql);
    if (file->generation == camera->generation) camera->pending_requests -= file->pending_requests;
    KeReleaseSpinLock(&camera->lock, irql);
    stack->FileObject->FsContext = NULL;
    ExFreePoolWithTag(file, M52SIM_POOL_TAG);
    InterlockedDecrement((LONG *)&camera->open_handles);
}

NTSTATUS CameraCreateClose(CAMERA_EXTENSION *camera, PIRP irp, PIO_STACK_LOCATION stack)
{
    NTSTATUS status = STATUS_SUCCESS;
    if (stack->MajorFunction == IRP_MJ_CREATE)
        status = OpenFile(camera, stack);
    else
        CloseFile(camera, stack);
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

/* Logs one request on the command or response pipe (lock held). */
static void AppendLog(CAMERA_EXTENSION *camera, ULONG pipe, ULONG code, const UCHAR *block, BOOLEAN refused)
{
    M52SimLogEntry *entry = &camera->log[camera->log_next];
    entry->sequence = camera->log_sequence++;
    entry->refused = refused ? 1u : 0u;
    if (block)
        RtlCopyMemory(entry->block, block, sizeof entry->block);
    else
        RtlZeroMemory(entry->block, sizeof entry->block);
    entry->control_code = code;
    entry->pipe = pipe;
    camera->log_next = (camera->log_next + 1) % M52SIM_LOG_CAPACITY;
    if (camera->log_count < M52SIM_LOG_CAPACITY)
        camera->log_count++;
    else
        camera->log_dropped++;
}

/* A pipe request whose control code does not belong with the pipe: logged, counted, refused. */
static NTSTATUS WrongCode(CAMERA_EXTENSION *camera, ULONG pipe, ULONG code, const UCHAR *block)
{
    KIRQL irql;
    KeAcquireSpinLock(&camera->lock, &irql);
    camera->wrong_code_requests++;
    if (pipe != PIPE_IMAGE) AppendLog(camera, pipe, code, block, TRUE);
    KeReleaseSpinLock(&camera->lock, irql);
    return STATUS_INVALID_DEVICE_REQUEST;
}

M52RandomFault CameraDrawFault(CAMERA_EXTENSION *camera, M52FaultTarget target)
{
    M52RandomFault fault;
    fault.kind = M52_RANDOM_NONE;
    fault.stall_ms = 0;
    fault.corrupt_seed = 0;
    if (!m52_random_faults_active(&camera->random)) return fault;
    fault = m52_random_faults_next(&camera->random, target);
    camera->random_counts[target][0]++;
    if (fault.kind != M52_RANDOM_NONE) camera->random_counts[target][fault.kind]++;
    return fault;
}

void CameraStall(ULONG ms)
{
    LARGE_INTEGER delay;
    delay.QuadPart = -(LONGLONG)ms * 10000;
    KeDelayExecutionThread(KernelMode, FALSE, &delay);
}

static NTSTATUS SendCommand(CAMERA_EXTENSION *camera, CAMERA_FILE *file, ULONG code, const UCHAR *block,
                            ULONG *moved)
{
    UCHAR copy[M52_BLOCK_SIZE];
    unsigned effects = 0;
    M52CommandResult result;
    M52RandomFault fault;
    KIRQL irql;

    /* The buffer belongs to the caller: decode a private copy. */
    RtlCopyMemory(copy, block, sizeof copy);
    /* Commands go out with IOCTL_PIPE_IN_DIRECT; IOCTL_PIPE_OUT_DIRECT carries only the
     * streaming frame request. */
    if (code != IOCTL_PIPE_IN_DIRECT && !(code == IOCTL_PIPE_OUT_DIRECT && copy[0] == M52_CMD_REQUEST_FRAME))
        return WrongCode(camera, PIPE_COMMAND, code, copy);
    KeAcquireSpinLock(&camera->lock, &irql);
    if (camera->fault == M52SIM_FAULT_REFUSE) {
        camera->fault = M52SIM_FAULT_NONE;
        AppendLog(camera, PIPE_COMMAND, code, copy, TRUE);
        KeReleaseSpinLock(&camera->lock, irql);
        return STATUS_INVALID_PARAMETER;
    }
    fault = CameraDrawFault(camera, M52_FAULT_TARGET_COMMAND);
    if (fault.kind == M52_RANDOM_FAIL) {
        /* Lost on the way: the camera never sees it. */
        AppendLog(camera, PIPE_COMMAND, code, copy, TRUE);
        KeReleaseSpinLock(&camera->lock, irql);
        return STATUS_UNSUCCESSFUL;
    }
    result = m52_model_command(&camera->model, copy, &effects);
    AppendLog(camera, PIPE_COMMAND, code, copy, result != M52_COMMAND_DONE);
    if (effects & M52_EFFECT_TRIGGER_ARMED) camera->latched_triggers = 0;
    if ((effects & M52_EFFECT_TRIGGER_FIRED) && m52_model_trigger_mode(&camera->model) &&
        camera->latched_triggers < MAX_LATCHED_TRIGGERS)
        camera->latched_triggers++;
    /* Requests belong to the handle that sent them: a PREPARE forgets only its own. A handle
     * that died while the command was on its way counts none. */
    if (file->generation != camera->generation) effects &= ~M52_EFFECT_FRAME_REQUESTED;
    if (copy[0] == M52_CMD_PREPARE && result == M52_COMMAND_DONE && file->generation == camera->generation) {
        camera->pending_requests -= file->pending_requests;
        file->pending_requests = 0;
    }
    if ((effects & M52_EFFECT_FRAME_REQUESTED) && file->pending_requests < MAX_PENDING_REQUESTS) {
        file->pending_requests++;
        camera->pending_requests++;
    }
    KeReleaseSpinLock(&camera->lock, irql);
    if (effects & (M52_EFFECT_TRIGGER_FIRED | M52_EFFECT_FRAME_REQUESTED)) KeSetEvent(&camera->wake, 0, FALSE);
    if (fault.kind == M52_RANDOM_STALL) CameraStall(fault.stall_ms);
    /* A short transfer: the camera took the block, the byte count says otherwise. */
    if (fault.kind == M52_RANDOM_SHORT) *moved = m52_random_short_length(M52_BLOCK_SIZE);
    return result == M52_COMMAND_DONE ? STATUS_SUCCESS : STATUS_INVALID_PARAMETER;
}

static NTSTATUS ReadResponse(CAMERA_EXTENSION *camera, ULONG code, UCHAR *out, ULONG *moved)
{
    UCHAR response[M52_BLOCK_SIZE];
    M52RandomFault fault;
    int ok;
    KIRQL irql;
    if (code != IOCTL_PIPE_OUT_DIRECT) return WrongCode(camera, PIPE_RESPONSE, code, NULL);
    KeAcquireSpinLock(&camera->lock, &irql);
    fault = CameraDrawFault(camera, M52_FAULT_TARGET_RESPONSE);
    if (fault.kind == M52_RANDOM_FAIL) {
        AppendLog(camera, PIPE_RESPONSE, code, NULL, TRUE);
        KeReleaseSpinLock(&camera->lock, irql);
        return STATUS_UNSUCCESSFUL;
    }
    ok = m52_model_response(&camera->model, response);
    if (ok && fault.kind == M52_RANDOM_CORRUPT) m52_random_corrupt(response, sizeof response, fault.corrupt_seed);
    AppendLog(camera, PIPE_RESPONSE, code, ok ? response : NULL, !ok);
    KeReleaseSpinLock(&camera->lock, irql);
    if (fault.kind == M52_RANDOM_STALL) CameraStall(fault.stall_ms);
    if (!ok) return STATUS_DEVICE_NOT_READY;
    RtlCopyMemory(out, response, sizeof response);
    if (fault.kind == M52_RANDOM_SHORT) *moved = m52_random_short_length(M52_BLOCK_SIZE);
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
    CAMERA_FILE *file = LiveFile(camera, stack);
    UCHAR *data;
    ULONG pipe;

    if (!file) return CompleteRequest(camera, irp, STATUS_DEVICE_NOT_CONNECTED, 0);
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

    /* Exactly the combinations of the protocol: commands in 64-byte blocks on pipe 0, response
     * reads of 64 bytes on pipe 1 with IOCTL_PIPE_OUT_DIRECT, frames on pipe 2 with
     * IOCTL_PIPE_IN_DIRECT or its alternate. */
    switch (pipe) {
    case PIPE_COMMAND: {
        ULONG moved = M52_BLOCK_SIZE;
        if (out_length != M52_BLOCK_SIZE) break;
        return CompleteRequest(camera, irp, SendCommand(camera, file, code, data, &moved), moved);
    }
    case PIPE_RESPONSE: {
        ULONG moved = M52_BLOCK_SIZE;
        if (out_length != M52_BLOCK_SIZE) break;
        return CompleteRequest(camera, irp, ReadResponse(camera, code, data, &moved), moved);
    }
    case PIPE_IMAGE: {
        NTSTATUS status;
        if (code != IOCTL_PIPE_IN_DIRECT && code != IOCTL_PIPE_IN_DIRECT_ALT)
            return CompleteRequest(camera, irp, WrongCode(camera, PIPE_IMAGE, code, NULL), 0);
        status = FrameQueueRead(camera, file, irp);
        if (status == STATUS_PENDING) return status;
        return CompleteRequest(camera, irp, status, 0);
    }
    default:
        break;
    }
    return CompleteRequest(camera, irp, STATUS_INVALID_PARAMETER, 0);
}
