/* Frame reads of a simulated camera: pended on arrival, then completed by the camera's own
 * system thread when the frame is due (pacing, triggers, faults, time-outs). Reads stay
 * cancellable while they wait; a closed handle or an unplugged camera ends them. */
#include "driver/sys/m52sim_driver.h"

enum { TICKS_PER_MS = 10000, TICKS_PER_US = 10 };

/* ntifs.h, which declares it, does not go with wdm.h. */
NTSYSAPI NTSTATUS NTAPI ZwWaitForSingleObject(HANDLE handle, BOOLEAN alertable, PLARGE_INTEGER timeout);

/* DriverContext slots of a pended read. */
#define READ_ARRIVAL(irp) ((irp)->Tail.Overlay.DriverContext[0])
#define READ_DUE(irp) ((irp)->Tail.Overlay.DriverContext[1])
#define READ_FAULT_DRAWN(irp) ((irp)->Tail.Overlay.DriverContext[2])

LONGLONG FrameNow(void)
{
    /* The performance counter in 100 ns units. Read through the HAL: a plain call in every
     * driver host, where the inline interrupt-time read relies on the shared user data page
     * being mapped at its kernel address. */
    LARGE_INTEGER frequency;
    LARGE_INTEGER ticks = KeQueryPerformanceCounter(&frequency);
    if (frequency.QuadPart <= 0) return 0;
    return (ticks.QuadPart / frequency.QuadPart) * 10000000 +
           (ticks.QuadPart % frequency.QuadPart) * 10000000 / frequency.QuadPart;
}

static void CompleteRead(PIRP irp, NTSTATUS status, ULONG_PTR information)
{
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = NT_SUCCESS(status) ? information : 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
}

/* Takes a read off the queue (lock held). FALSE when its cancel routine already owns it. */
static BOOLEAN TakeRead(PIRP irp)
{
    RemoveEntryList(&irp->Tail.Overlay.ListEntry);
    InitializeListHead(&irp->Tail.Overlay.ListEntry);
    return IoSetCancelRoutine(irp, NULL) != NULL;
}

static VOID NTAPI CancelRead(PDEVICE_OBJECT device, PIRP irp)
{
    CAMERA_EXTENSION *camera = (CAMERA_EXTENSION *)device->DeviceExtension;
    KIRQL irql;
    IoReleaseCancelSpinLock(irp->CancelIrql);
    KeAcquireSpinLock(&camera->lock, &irql);
    RemoveEntryList(&irp->Tail.Overlay.ListEntry);
    InitializeListHead(&irp->Tail.Overlay.ListEntry);
    camera->frames_failed++;
    KeReleaseSpinLock(&camera->lock, irql);
    CompleteRead(irp, STATUS_CANCELLED, 0);
}

NTSTATUS FrameQueueRead(CAMERA_EXTENSION *camera, CAMERA_FILE *file, PIRP irp)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ULONG length = stack->Parameters.DeviceIoControl.OutputBufferLength;
    KIRQL irql;

    KeAcquireSpinLock(&camera->lock, &irql);
    if (!camera->attached || file->generation != camera->generation) { /* unplugged on the way in */
        KeReleaseSpinLock(&camera->lock, irql);
        return STATUS_DEVICE_NOT_CONNECTED;
    }
    if (length != m52_model_frame_bytes(&camera->model)) {
        KeReleaseSpinLock(&camera->lock, irql);
        return STATUS_INVALID_PARAMETER;
    }
    if (file->pending_requests == 0) { /* a frame is only sent after a frame request of this handle */
        KeReleaseSpinLock(&camera->lock, irql);
        return STATUS_INVALID_DEVICE_STATE;
    }
    file->pending_requests--;
    camera->pending_requests--;
    READ_ARRIVAL(irp) = (PVOID)(ULONG_PTR)FrameNow();
    READ_DUE(irp) = NULL;
    READ_FAULT_DRAWN(irp) = NULL;
    IoSetCancelRoutine(irp, CancelRead);
    if (irp->Cancel && IoSetCancelRoutine(irp, NULL)) {
        KeReleaseSpinLock(&camera->lock, irql);
        return STATUS_CANCELLED;
    }
    IoMarkIrpPending(irp);
    InsertTailList(&camera->reads, &irp->Tail.Overlay.ListEntry);
    KeReleaseSpinLock(&camera->lock, irql);
    KeSetEvent(&camera->wake, 0, FALSE);
    return STATUS_PENDING;
}

/* Completes every queued read (of `file`, or all when NULL) with `status`. */
static void FailQueued(CAMERA_EXTENSION *camera, PFILE_OBJECT file, NTSTATUS status, BOOLEAN unplugged)
{
    LIST_ENTRY taken, *entry, *next;
    KIRQL irql;
    InitializeListHead(&taken);
    KeAcquireSpinLock(&camera->lock, &irql);
    for (entry = camera->reads.Flink; entry != &camera->reads; entry = next) {
        PIRP irp = CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry);
        next = entry->Flink;
        if (file && IoGetCurrentIrpStackLocation(irp)->FileObject != file) continue;
        if (TakeRead(irp)) {
            InsertTailList(&taken, &irp->Tail.Overlay.ListEntry);
            camera->frames_failed++;
        }
    }
    if (unplugged) {
        camera->pending_requests = 0;
        camera->latched_triggers = 0;
    }
    KeReleaseSpinLock(&camera->lock, irql);
    while (!IsListEmpty(&taken)) {
        entry = RemoveHeadList(&taken);
        CompleteRead(CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry), status, 0);
    }
}

void FrameFailAll(CAMERA_EXTENSION *camera, NTSTATUS status)
{
    FailQueued(camera, NULL, status, TRUE);
    KeSetEvent(&camera->wake, 0, FALSE);
}

void FrameCancelForFile(CAMERA_EXTENSION *camera, PFILE_OBJECT file)
{
    FailQueued(camera, file, STATUS_CANCELLED, FALSE);
}

typedef enum { ACTION_NONE, ACTION_DELIVER, ACTION_FAIL, ACTION_TIMEOUT } FRAME_ACTION;

typedef struct FRAME_JOB {
    FRAME_ACTION action;
    PIRP irp;
    M52SceneParams scene;
    int word_mode;
    BOOLEAN short_frame;
    ULONG corrupt_seed;          /* random fault: bytes of the frame changed; 0 for none */
    ULONG stamp_bytes;
    LONGLONG due;
} FRAME_JOB;

static LONGLONG Earlier(LONGLONG a, LONGLONG b) { return a < b ? a : b; }

/* Decides what the head read needs (lock held); returns the time to wake up otherwise. */
static LONGLONG PlanHead(CAMERA_EXTENSION *camera, LONGLONG now, FRAME_JOB *job)
{
    LONGLONG wake_at = MAXLONGLONG;
    PIRP irp;
    LONGLONG arrival, due;

    if (camera->trigger_every_ms) {
        if (now >= camera->next_periodic_trigger) {
            /* A line pulse arms at most one frame: pulses while one is armed are lost, so a
             * reader that pauses does not come back to a backlog of frames. */
            if (m52_model_trigger_mode(&camera->model) && camera->latched_triggers == 0)
                camera->latched_triggers = 1;
            camera->next_periodic_trigger += (LONGLONG)camera->trigger_every_ms * TICKS_PER_MS;
            if (camera->next_periodic_trigger <= now)
                camera->next_periodic_trigger = now + (LONGLONG)camera->trigger_every_ms * TICKS_PER_MS;
        }
        wake_at = camera->next_periodic_trigger;
    }
    if (IsListEmpty(&camera->reads) || camera->fault == M52SIM_FAULT_STALL) return wake_at;

    irp = CONTAINING_RECORD(camera->reads.Flink, IRP, Tail.Overlay.ListEntry);
    arrival = (LONGLONG)(ULONG_PTR)READ_ARRIVAL(irp);
    due = (LONGLONG)(ULONG_PTR)READ_DUE(irp);
    if (camera->fault == M52SIM_FAULT_FAIL) {
        camera->fault = M52SIM_FAULT_NONE;
        job->action = ACTION_FAIL;
    } else if (due == 0) {
        LONGLONG period = camera->pace == M52SIM_PACE_FAST
                              ? 0 : (LONGLONG)m52_model_frame_period_us(&camera->model) * TICKS_PER_US;
        if (m52_model_trigger_mode(&camera->model)) {
            /* The exposure starts with a trigger; without one the read gives up at the time-out. */
            if (camera->latched_triggers > 0) {
                camera->latched_triggers--;
                due = now + period + 1; /* exposure and readout start with the trigger */
            } else {
                LONGLONG deadline = arrival + (LONGLONG)camera->frame_timeout_ms * TICKS_PER_MS;
                if (now >= deadline) job->action = ACTION_TIMEOUT;
                else wake_at = Earlier(wake_at, deadline);
            }
        } else {
            /* Streaming: the sensor reads the next frame out while the last one travels, so
             * frames follow each other one period apart; after a pause the next one is
             * already exposed and goes out at once. */
            LONGLONG next = camera->last_delivery + period;
            due = next > arrival ? next : arrival;
            if (due == 0) due = 1; /* 0 means "not yet planned" */
        }
        if (due != 0) READ_DUE(irp) = (PVOID)(ULONG_PTR)due;
    }
    if (job->action == ACTION_NONE && due != 0 && now >= due && !READ_FAULT_DRAWN(irp)) {
        /* One random decision per frame, taken when it is due. */
        M52RandomFault fault = CameraDrawFault(camera, M52_FAULT_TARGET_FRAME);
        READ_FAULT_DRAWN(irp) = (PVOID)1;
        if (fault.kind == M52_RANDOM_FAIL) {
            job->action = ACTION_FAIL;
        } else if (fault.kind == M52_RANDOM_STALL) {
            due = now + (LONGLONG)fault.stall_ms * TICKS_PER_MS;
            READ_DUE(irp) = (PVOID)(ULONG_PTR)due;
        } else if (fault.kind == M52_RANDOM_SHORT) {
            job->short_frame = TRUE;
        } else if (fault.kind == M52_RANDOM_CORRUPT) {
            job->corrupt_seed = fault.corrupt_seed;
        }
    }
    if (job->action == ACTION_NONE && due != 0) {
        if (now >= due) {
            job->action = ACTION_DELIVER;
            job->due = due;
            job->scene.scene = camera->scene;
            job->scene.camera = camera->index;
            job->scene.frame_number = camera->frames_delivered;
            job->scene.exposure_lines = m52_model_exposure_lines(&camera->model);
            job->scene.gain = m52_model_gain(&camera->model);
            job->word_mode = m52_model_word_mode(&camera->model);
            job->stamp_bytes = camera->stamp_bytes;
            if (camera->fault == M52SIM_FAULT_SHORT) {
                job->short_frame = TRUE;
                camera->fault = M52SIM_FAULT_NONE;
            }
        } else {
            wake_at = Earlier(wake_at, due);
        }
    }
    if (job->action != ACTION_NONE) {
        if (TakeRead(irp))
            job->irp = irp;
        else
            job->action = ACTION_NONE; /* being cancelled; look again */
    }
    return job->action == ACTION_NONE ? wake_at : now;
}

/* Overwrites the first `bytes` of a frame with its number, little-endian, over and over, so a
 * reader can tell a whole frame (one number throughout) from a mix of two. */
static void StampFrame(UCHAR *data, ULONG length, ULONG bytes, uint32_t number)
{
    ULONG i;
    if (bytes > length) bytes = length;
    for (i = 0; i < bytes; ++i) data[i] = (UCHAR)(number >> (8 * (i & 3)));
}

/* Room for a frame of `length` bytes in the camera's render cache; without it frames are
 * rendered in full. */
static void SizeRenderCache(CAMERA_EXTENSION *camera, ULONG length)
{
    M52SceneCache *cache = &camera->render_cache;
    if (cache->frame && cache->capacity >= length) return;
    if (cache->frame) ExFreePoolWithTag(cache->frame, M52SIM_POOL_TAG);
    RtlZeroMemory(cache, sizeof *cache);
    cache->frame = (uint8_t *)ExAllocatePoolWithTag(NonPagedPool, length, M52SIM_POOL_TAG);
    if (cache->frame) cache->capacity = length;
}

static void Deliver(CAMERA_EXTENSION *camera, FRAME_JOB *job)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(job->irp);
    ULONG length = stack->Parameters.DeviceIoControl.OutputBufferLength;
    UCHAR *data = (UCHAR *)MmGetSystemAddressForMdlSafe(job->irp->MdlAddress, NormalPagePriority);
    NTSTATUS status = STATUS_SUCCESS;
    ULONG delivered = job->short_frame ? length / 2 : length;
    KIRQL irql;

    if (!data) {
        status = STATUS_INSUFFICIENT_RESOURCES;
    } else {
        if (job->stamp_bytes < length) {
            /* Frames of one scene differ only in the moving square's lines: they are rendered
             * from the last one, which saves most of the driver host's time while streaming. */
            SizeRenderCache(camera, length);
            KeWaitForSingleObject(&camera->picture_mutex, Executive, KernelMode, FALSE, NULL);
            job->scene.picture_rgb = camera->picture;
            m52_scene_render_cached(&job->scene, data, job->word_mode ? length / 2 : length, job->word_mode,
                                    camera->picture_version, &camera->render_cache);
            KeReleaseMutex(&camera->picture_mutex, FALSE);
        }
        StampFrame(data, length, job->stamp_bytes, job->scene.frame_number);
        if (job->corrupt_seed) m52_random_corrupt(data, length, job->corrupt_seed);
    }
    KeAcquireSpinLock(&camera->lock, &irql);
    if (!camera->attached) status = STATUS_DEVICE_NOT_CONNECTED;
    if (NT_SUCCESS(status) && !job->short_frame) {
        camera->frames_delivered++;
        camera->last_delivery = job->due;
    } else {
        camera->frames_failed++;
    }
    KeReleaseSpinLock(&camera->lock, irql);
    CompleteRead(job->irp, status, delivered);
}

static VOID NTAPI FrameThread(PVOID context)
{
    CAMERA_EXTENSION *camera = (CAMERA_EXTENSION *)context;
    while (!camera->stop) {
        FRAME_JOB job;
        LONGLONG now = FrameNow(), wake_at;
        KIRQL irql;
        RtlZeroMemory(&job, sizeof job);
        KeAcquireSpinLock(&camera->lock, &irql);
        wake_at = PlanHead(camera, now, &job);
        KeReleaseSpinLock(&camera->lock, irql);
        switch (job.action) {
        case ACTION_DELIVER:
            Deliver(camera, &job);
            continue;
        case ACTION_FAIL:
        case ACTION_TIMEOUT:
            KeAcquireSpinLock(&camera->lock, &irql);
            camera->frames_failed++;
            KeReleaseSpinLock(&camera->lock, irql);
            CompleteRead(job.irp, job.action == ACTION_FAIL ? STATUS_UNSUCCESSFUL : STATUS_IO_TIMEOUT, 0);
            continue;
        default:
            break;
        }
        if (wake_at == MAXLONGLONG) {
            KeWaitForSingleObject(&camera->wake, Executive, KernelMode, FALSE, NULL);
        } else if (wake_at > now) {
            LARGE_INTEGER timeout;
            timeout.QuadPart = -(wake_at - now);
            KeWaitForSingleObject(&camera->wake, Executive, KernelMode, FALSE, &timeout);
        }
    }
    PsTerminateSystemThread(STATUS_SUCCESS);
}

NTSTATUS FrameThreadStart(CAMERA_EXTENSION *camera)
{
    HANDLE handle;
    NTSTATUS status = PsCreateSystemThread(&handle, THREAD_ALL_ACCESS, NULL, NULL, NULL, FrameThread, camera);
    if (!NT_SUCCESS(status)) return status;
    status = ObReferenceObjectByHandle(handle, THREAD_ALL_ACCESS, NULL, KernelMode, &camera->thread, NULL);
    if (!NT_SUCCESS(status)) {
        /* The caller deletes the camera on failure: the thread must be gone first, so wait for
         * it through its handle. */
        camera->thread = NULL;
        InterlockedExchange(&camera->stop, 1);
        KeSetEvent(&camera->wake, 0, FALSE);
        ZwWaitForSingleObject(handle, FALSE, NULL);
    }
    ZwClose(handle);
    return status;
}

void FrameThreadStop(CAMERA_EXTENSION *camera)
{
    InterlockedExchange(&camera->stop, 1);
    KeSetEvent(&camera->wake, 0, FALSE);
    if (camera->thread) {
        KeWaitForSingleObject(camera->thread, Executive, KernelMode, FALSE, NULL);
        ObDereferenceObject(camera->thread);
        camera->thread = NULL;
    }
    FailQueued(camera, NULL, STATUS_DEVICE_NOT_CONNECTED, TRUE);
}
