#include "link/port_errors_win32.h"

#include <algorithm>
#include <iterator>

namespace modem {

namespace {

// Spelled out: not every SDK defines them.
constexpr DWORD errorNoSuchDevice = 433;
constexpr DWORD errorCounterTimeout = 1121;

constexpr PortErrorClass table[] = {
    // Gone: after any of these nothing more comes through this handle.
    {ERROR_FILE_NOT_FOUND, PortFault::Gone,
     "the port's device object is gone: some USB serial drivers after an unplug"},
    {ERROR_ACCESS_DENIED, PortFault::Gone,
     "usbser.sys and others refuse every request on a handle whose device was removed"},
    {ERROR_INVALID_HANDLE, PortFault::Gone,
     "the handle no longer names an open port: its driver dropped it on removal"},
    {ERROR_NOT_READY, PortFault::Gone, "the device is not ready: a driver whose device is leaving"},
    {ERROR_BAD_COMMAND, PortFault::Gone,
     "the device does not recognise the request: usbser.sys after a surprise removal"},
    {ERROR_GEN_FAILURE, PortFault::Gone,
     "a device attached to the system is not functioning: FTDI and CP210x drivers after an "
     "unplug"},
    {ERROR_DEV_NOT_EXIST, PortFault::Gone, "the device is no longer available"},
    {ERROR_BROKEN_PIPE, PortFault::Gone,
     "the far end hung up: Wine's ports backed by a pseudo-terminal"},
    {errorNoSuchDevice, PortFault::Gone, "no such device: removed while open"},
    {ERROR_DEVICE_NOT_CONNECTED, PortFault::Gone, "the device is not connected"},
    {ERROR_DEVICE_REMOVED, PortFault::Gone, "the device has been removed"},

    // Transient: the port still works once its error state is cleared.
    {ERROR_OPERATION_ABORTED, PortFault::Transient,
     "a line error under abort-on-error, or a request this program cancelled"},
    {ERROR_TIMEOUT, PortFault::Transient, "the driver's time-out ended the request"},
    {ERROR_SEM_TIMEOUT, PortFault::Transient, "the driver's time-out ended the request"},
    {errorCounterTimeout, PortFault::Transient,
     "the port's time-out ended the request: nothing came within it"},

    // Refused: the driver does not do what was asked; the port may still carry data.
    {ERROR_INVALID_FUNCTION, PortFault::Refused, "the driver does not implement the request"},
    {ERROR_NOT_SUPPORTED, PortFault::Refused, "the driver does not support the request"},
    {ERROR_CALL_NOT_IMPLEMENTED, PortFault::Refused, "the driver does not implement the request"},
    {ERROR_INVALID_PARAMETER, PortFault::Refused,
     "the driver does not take the request as made: some refuse an overlapped WaitCommEvent"},
};

}  // namespace

std::span<const PortErrorClass> portErrorTable() {
    return table;
}

PortFault classifyPortError(DWORD code) {
    const auto* found = std::find_if(std::begin(table), std::end(table),
                                     [code](const PortErrorClass& c) { return c.code == code; });
    return found != std::end(table) ? found->fault : PortFault::Refused;
}

}  // namespace modem
