/* The control device behind m52sim.exe: plugging cameras, pacing, scenes, faults, triggers,
 * serial memory, status and the command log. */
#include "driver/sys/m52sim_driver.h"

/* The camera of an attached index, or NULL. */
static CAMERA_EXTENSION *AttachedCamera(ULONG index)
{
    CAMERA_EXTENSION *camera;
    if (index >= M52SIM_MAX_CAMERAS) return NULL;
    camera = g_driver.cameras[index];
    return camera && camera->attached ? camera : NULL;
}

static void FillStatus(CAMERA_EXTENSION *camera, M52SimStatus *status)
{
    const M52CameraModel *model = &camera->model;
    LIST_ENTRY *entry;
    ULONG i;
    KIRQL irql;
    RtlZeroMemory(status, sizeof *status);
    status->camera = camera->index;
    KeAcquireSpinLock(&camera->lock, &irql);
    status->attached = camera->attached ? 1u : 0u;
    status->frames_delivered = camera->frames_delivered;
    status->frames_failed = camera->frames_failed;
    status->refused_requests = camera->refused_requests;
    status->register_errors = model->register_errors;
    for (i = 0; i < M52SIM_COMMAND_SLOTS; ++i) status->command_counts[i] = model->command_counts[i];
    status->transfer_size = model->transfer_size;
    status->frame_bytes = m52_model_frame_bytes(model);
    status->pixel_bits = m52_model_word_mode(model) ? 16u : 8u;
    status->clock_hz = m52_model_clock_hz(model);
    status->trigger_mode = (uint32_t)m52_model_trigger_mode(model);
    status->shutter = m52_model_shutter(model);
    status->exposure_lines = m52_model_exposure_lines(model);
    status->gain = m52_model_gain(model);
    status->pace = camera->pace;
    status->scene = camera->scene;
    status->fault = camera->fault;
    status->frame_timeout_ms = camera->frame_timeout_ms;
    status->trigger_every_ms = camera->trigger_every_ms;
    status->latched_triggers = camera->latched_triggers;
    for (entry = camera->reads.Flink; entry != &camera->reads; entry = entry->Flink) status->pending_reads++;
    status->pending_requests = camera->pending_requests;
    status->open_handles = camera->open_handles;
    status->sensor_resets = model->sensor_resets;
    status->wrong_code_requests = camera->wrong_code_requests;
    status->frame_period_us = m52_model_frame_period_us(model);
    status->random_seed = camera->random_seed;
    status->random_rate = camera->random.rate;
    RtlCopyMemory(status->random_counts, camera->random_counts, sizeof status->random_counts);
    KeReleaseSpinLock(&camera->lock, irql);
}

static void CopyLog(CAMERA_EXTENSION *camera, M52SimLog *log)
{
    ULONG i, first;
    KIRQL irql;
    KeAcquireSpinLock(&camera->lock, &irql);
    log->count = camera->log_count;
    log->dropped = camera->log_dropped;
    first = (camera->log_next + M52SIM_LOG_CAPACITY - camera->log_count) % M52SIM_LOG_CAPACITY;
    for (i = 0; i < camera->log_count; ++i) log->entries[i] = camera->log[(first + i) % M52SIM_LOG_CAPACITY];
    KeReleaseSpinLock(&camera->lock, irql);
}

static NTSTATUS SetPicture(CAMERA_EXTENSION *camera, PIRP irp, ULONG length)
{
    const UCHAR *source;
    UCHAR *picture, *old;
    KIRQL irql;
    if (length != M52SIM_PICTURE_BYTES || !irp->MdlAddress) return STATUS_INVALID_PARAMETER;
    source = (const UCHAR *)MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority);
    if (!source) return STATUS_INSUFFICIENT_RESOURCES;
    picture = (UCHAR *)ExAllocatePoolWithTag(NonPagedPool, M52SIM_PICTURE_BYTES, M52SIM_POOL_TAG);
    if (!picture) return STATUS_INSUFFICIENT_RESOURCES;
    RtlCopyMemory(picture, source, M52SIM_PICTURE_BYTES);
    KeWaitForSingleObject(&camera->picture_mutex, Executive, KernelMode, FALSE, NULL);
    old = camera->picture;
    camera->picture = picture;
    camera->picture_version++;
    KeAcquireSpinLock(&camera->lock, &irql);
    camera->scene = M52_SCENE_PICTURE;
    KeReleaseSpinLock(&camera->lock, irql);
    KeReleaseMutex(&camera->picture_mutex, FALSE);
    if (old) ExFreePoolWithTag(old, M52SIM_POOL_TAG);
    return STATUS_SUCCESS;
}

static NTSTATUS Configure(CAMERA_EXTENSION *camera, ULONG code, ULONG value)
{
    NTSTATUS status = STATUS_SUCCESS;
    KIRQL irql;
    KeAcquireSpinLock(&camera->lock, &irql);
    switch (code) {
    case M52SIM_IOCTL_TRIGGER:
        /* Pulses count only while the camera waits for triggers, like a hardware line. */
        if (value == 0 || value > 1024) status = STATUS_INVALID_PARAMETER;
        else if (m52_model_trigger_mode(&camera->model))
            camera->latched_triggers = camera->latched_triggers + value > 1024 ? 1024 : camera->latched_triggers + value;
        break;
    case M52SIM_IOCTL_TRIGGER_EVERY:
        if (value > 3600000) { status = STATUS_INVALID_PARAMETER; break; }
        camera->trigger_every_ms = value;
        camera->next_periodic_trigger = FrameNow() + (LONGLONG)value * 10000;
        break;
    case M52SIM_IOCTL_PACE:
        if (value != M52SIM_PACE_REALTIME && value != M52SIM_PACE_FAST) status = STATUS_INVALID_PARAMETER;
        else camera->pace = value;
        break;
    case M52SIM_IOCTL_SCENE:
        if (value >= M52_SCENE_BUILTIN_COUNT) status = STATUS_INVALID_PARAMETER;
        else camera->scene = value;
        break;
    case M52SIM_IOCTL_FAULT:
        if (value > M52SIM_FAULT_REFUSE) {
            status = STATUS_INVALID_PARAMETER;
        } else {
            camera->fault = value;
            m52_random_faults_start(&camera->random, 0, 0);
        }
        break;
    case M52SIM_IOCTL_FAULT_SEED:
        camera->random_seed = value;
        break;
    case M52SIM_IOCTL_FAULT_RANDOM:
        if (value > M52_RATE_ONE) { status = STATUS_INVALID_PARAMETER; break; }
        camera->fault = M52SIM_FAULT_NONE;
        m52_random_faults_start(&camera->random, camera->random_seed, value);
        RtlZeroMemory(camera->random_counts, sizeof camera->random_counts);
        break;
    case M52SIM_IOCTL_STAMP:
        camera->stamp_bytes = value;
        break;
    case M52SIM_IOCTL_LOG_CLEAR:
        camera->log_count = 0;
        camera->log_next = 0;
        camera->log_dropped = 0;
        break;
    case M52SIM_IOCTL_SROM:
        if (value & 0xFE00u) status = STATUS_INVALID_PARAMETER;
        else m52_model_set_srom(&camera->model, value >> 16, (uint8_t)value, !(value & M52SIM_SROM_UNREADABLE));
        break;
    case M52SIM_IOCTL_RESET:
        m52_model_factory_srom(&camera->model, camera->index);
        camera->pace = M52SIM_PACE_REALTIME;
        camera->scene = M52_SCENE_COMPOSITE;
        camera->fault = M52SIM_FAULT_NONE;
        m52_random_faults_start(&camera->random, 0, 0);
        camera->stamp_bytes = 0;
        camera->trigger_every_ms = 0;
        camera->frame_timeout_ms = M52SIM_DEFAULT_FRAME_TIMEOUT_MS;
        break;
    default:
        status = STATUS_INVALID_DEVICE_REQUEST;
        break;
    }
    KeReleaseSpinLock(&camera->lock, irql);
    KeSetEvent(&camera->wake, 0, FALSE);
    return status;
}

NTSTATUS ControlDeviceControl(PIRP irp, PIO_STACK_LOCATION stack)
{
    ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    ULONG in_length = stack->Parameters.DeviceIoControl.InputBufferLength;
    ULONG out_length = stack->Parameters.DeviceIoControl.OutputBufferLength;
    void *buffer = irp->AssociatedIrp.SystemBuffer;
    M52SimRequest request;
    CAMERA_EXTENSION *camera;
    NTSTATUS status = STATUS_SUCCESS;
    ULONG_PTR information = 0;

    if (in_length != sizeof request || !buffer) {
        status = STATUS_INVALID_PARAMETER;
        goto done;
    }
    RtlCopyMemory(&request, buffer, sizeof request);
    if (request.camera >= M52SIM_MAX_CAMERAS) {
        status = STATUS_INVALID_PARAMETER;
        goto done;
    }
    if (code == M52SIM_IOCTL_ATTACH) {
        status = CameraAttach(request.camera);
        goto done;
    }
    if (code == M52SIM_IOCTL_DETACH) {
        status = CameraDetach(request.camera);
        goto done;
    }
    if (code == M52SIM_IOCTL_STATUS) {
        /* A camera that is not attached reports itself as such rather than failing. */
        if (out_length < sizeof(M52SimStatus)) {
            status = STATUS_BUFFER_TOO_SMALL;
        } else if (g_driver.cameras[request.camera]) {
            FillStatus(g_driver.cameras[request.camera], (M52SimStatus *)buffer);
            information = sizeof(M52SimStatus);
        } else {
            RtlZeroMemory(buffer, sizeof(M52SimStatus));
            ((M52SimStatus *)buffer)->camera = request.camera;
            information = sizeof(M52SimStatus);
        }
        goto done;
    }
    camera = AttachedCamera(request.camera);
    if (!camera) {
        status = STATUS_DEVICE_NOT_CONNECTED;
        goto done;
    }
    if (code == M52SIM_IOCTL_LOG) {
        if (out_length < sizeof(M52SimLog)) {
            status = STATUS_BUFFER_TOO_SMALL;
        } else {
            CopyLog(camera, (M52SimLog *)buffer);
            information = sizeof(M52SimLog);
        }
    } else if (code == M52SIM_IOCTL_PICTURE) {
        status = SetPicture(camera, irp, out_length);
    } else {
        status = Configure(camera, code, request.value);
    }
done:
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = NT_SUCCESS(status) ? information : 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}
