#pragma once

// The calls the serial port makes on its device handle, behind an interface:
// the system's in the program, a scripted driver in tests, which can answer a
// request with any error code or leave it pending. Events, waits on them and
// the port's hold mark are the system's in both.

#include <windows.h>

#include <memory>
#include <string>

namespace modem {

class SerialPort;

// Each call has the meaning, arguments and results of the Win32 function of
// the same name; a failure leaves its code for GetLastError.
class CommApi {
public:
    virtual ~CommApi() = default;

    // CreateFileW for reading and writing, exclusive, overlapped.
    [[nodiscard]] virtual HANDLE openPort(const std::wstring& device) = 0;
    virtual BOOL closePort(HANDLE port) = 0;

    virtual BOOL setCommMask(HANDLE port, DWORD mask) = 0;
    virtual BOOL setupComm(HANDLE port, DWORD inQueue, DWORD outQueue) = 0;
    virtual BOOL purgeComm(HANDLE port, DWORD flags) = 0;
    virtual BOOL setCommTimeouts(HANDLE port, COMMTIMEOUTS* timeouts) = 0;
    virtual BOOL getCommState(HANDLE port, DCB* dcb) = 0;
    virtual BOOL setCommState(HANDLE port, DCB* dcb) = 0;
    virtual BOOL escapeCommFunction(HANDLE port, DWORD function) = 0;
    virtual BOOL clearCommError(HANDLE port, DWORD* errors, COMSTAT* status) = 0;

    virtual BOOL waitCommEvent(HANDLE port, DWORD* mask, OVERLAPPED* overlapped) = 0;
    virtual BOOL readFile(HANDLE port, void* buffer, DWORD size, DWORD* read,
                          OVERLAPPED* overlapped) = 0;
    virtual BOOL writeFile(HANDLE port, const void* buffer, DWORD size, DWORD* written,
                           OVERLAPPED* overlapped) = 0;
    virtual BOOL getOverlappedResult(HANDLE port, OVERLAPPED* overlapped, DWORD* transferred,
                                     BOOL wait) = 0;
    virtual BOOL cancelIoEx(HANDLE port, OVERLAPPED* overlapped) = 0;
};

// The system's calls; lives as long as the program.
[[nodiscard]] CommApi& systemCommApi();

// A serial port whose device calls go through `api`, which must outlive it.
[[nodiscard]] std::unique_ptr<SerialPort> makeWin32SerialPort(CommApi& api);

}  // namespace modem
