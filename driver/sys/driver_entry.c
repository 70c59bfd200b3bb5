/* Entry and exit of the simulated camera driver, and the dispatch of requests to the control
 * device or to a camera. Camera 0 is plugged in as soon as the driver starts. */
#include "driver/sys/m52sim_driver.h"

DRIVER_STATE g_driver;

static NTSTATUS CompleteSimple(PIRP irp, NTSTATUS status)
{
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static NTSTATUS NTAPI Dispatch(PDEVICE_OBJECT device, PIRP irp)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    DEVICE_KIND kind = *(DEVICE_KIND *)device->DeviceExtension;

    if (kind == DEVICE_KIND_CAMERA) {
        CAMERA_EXTENSION *camera = (CAMERA_EXTENSION *)device->DeviceExtension;
        switch (stack->MajorFunction) {
        case IRP_MJ_CREATE:
        case IRP_MJ_CLOSE: return CameraCreateClose(camera, irp, stack);
        case IRP_MJ_CLEANUP: return CameraCleanup(camera, irp, stack);
        case IRP_MJ_DEVICE_CONTROL: return CameraDeviceControl(camera, irp, stack);
        default: return CompleteSimple(irp, STATUS_INVALID_DEVICE_REQUEST);
        }
    }
    switch (stack->MajorFunction) {
    case IRP_MJ_CREATE:
    case IRP_MJ_CLOSE:
    case IRP_MJ_CLEANUP: return CompleteSimple(irp, STATUS_SUCCESS);
    case IRP_MJ_DEVICE_CONTROL: return ControlDeviceControl(irp, stack);
    default: return CompleteSimple(irp, STATUS_INVALID_DEVICE_REQUEST);
    }
}

static VOID NTAPI Unload(PDRIVER_OBJECT driver)
{
    UNICODE_STRING link;
    ULONG i;
    KeWaitForSingleObject(&g_driver.attach_mutex, Executive, KernelMode, FALSE, NULL);
    for (i = 0; i < M52SIM_MAX_CAMERAS; ++i) {
        if (!g_driver.cameras[i]) continue;
        CameraDestroy(g_driver.cameras[i]);
        g_driver.cameras[i] = NULL;
    }
    KeReleaseMutex(&g_driver.attach_mutex, FALSE);
    RtlInitUnicodeString(&link, M52SIM_CONTROL_LINK_NAME);
    IoDeleteSymbolicLink(&link);
    if (g_driver.control) IoDeleteDevice(g_driver.control);
    g_driver.control = NULL;
    (void)driver;
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registry_path)
{
    UNICODE_STRING name, link;
    NTSTATUS status;
    ULONG i;
    (void)registry_path;

    RtlZeroMemory(&g_driver, sizeof g_driver);
    g_driver.driver = driver;
    KeInitializeMutex(&g_driver.attach_mutex, 0);
    for (i = 0; i <= IRP_MJ_MAXIMUM_FUNCTION; ++i) driver->MajorFunction[i] = Dispatch;
    driver->DriverUnload = Unload;

    RtlInitUnicodeString(&name, M52SIM_CONTROL_DEVICE_NAME);
    status = IoCreateDevice(driver, sizeof(CONTROL_EXTENSION), &name, FILE_DEVICE_UNKNOWN, 0, FALSE,
                            &g_driver.control);
    if (!NT_SUCCESS(status)) return status;
    ((CONTROL_EXTENSION *)g_driver.control->DeviceExtension)->kind = DEVICE_KIND_CONTROL;
    g_driver.control->Flags &= ~DO_DEVICE_INITIALIZING;
    RtlInitUnicodeString(&link, M52SIM_CONTROL_LINK_NAME);
    status = IoCreateSymbolicLink(&link, &name);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(g_driver.control);
        return status;
    }
    status = CameraAttach(0);
    if (!NT_SUCCESS(status)) {
        Unload(driver);
        return status;
    }
    return STATUS_SUCCESS;
}
