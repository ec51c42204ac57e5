#include "link/win32serialport.h"

#include "settings/codec.h"

#include <algorithm>

namespace {

QString win32ErrorText(DWORD error)
{
    wchar_t *text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                            | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    QString message = length ? QString::fromWCharArray(text, int(length)).trimmed()
                             : QStringLiteral("Windows error %1").arg(error);
    if (text)
        LocalFree(text);
    return message;
}

} // namespace

DCB moduleLineSettings(DCB dcb)
{
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = CBR_19200;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
    return dcb;
}

COMMTIMEOUTS moduleLineTimeouts()
{
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;   // with both totals 0: return at once
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    return timeouts;
}

OpenCause openCauseOfWin32Error(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return OpenCause::NotPresent;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return OpenCause::InUse;
    default:
        return OpenCause::Other;
    }
}

Win32SerialPort::Win32SerialPort(QObject *parent) : SerialPort(parent)
{
    m_writeDone.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_readDone.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_readTimer.setInterval(kReadIntervalMs);
    connect(&m_readTimer, &QTimer::timeout, this, &Win32SerialPort::takeArrived);
}

Win32SerialPort::~Win32SerialPort()
{
    close();
    CloseHandle(m_writeDone.hEvent);
    CloseHandle(m_readDone.hEvent);
}

bool Win32SerialPort::open(const QString &device)
{
    close();
    clearFailure();
    m_deviceName = device;
    // "\\.\" reaches COM10 and up too, and any name a driver gives its port.
    const QString path = m_deviceName.startsWith(QLatin1String("\\\\.\\")) ? m_deviceName
                                                                          : QStringLiteral("\\\\.\\") + m_deviceName;
    m_handle = CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_READ | GENERIC_WRITE, 0,
                           nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (m_handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        m_errorString = win32ErrorText(error);
        m_openCause = openCauseOfWin32Error(error);
        return false;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    COMMTIMEOUTS timeouts = moduleLineTimeouts();
    if (!GetCommState(m_handle, &dcb) || !(dcb = moduleLineSettings(dcb), SetCommState(m_handle, &dcb))
        || !SetCommTimeouts(m_handle, &timeouts)) {
        m_errorString = win32ErrorText(GetLastError());
        m_openCause = OpenCause::Other;
        close();
        return false;
    }
    PurgeComm(m_handle, PURGE_RXCLEAR | PURGE_TXCLEAR);
    m_readTimer.start();
    return true;
}

void Win32SerialPort::close()
{
    m_readTimer.stop();
    if (m_handle == INVALID_HANDLE_VALUE)
        return;
    // What was written leaves before closing: the last frame is not cut
    // off. An adapter that takes nothing for this long is given up on.
    if (!m_writing.isEmpty() && WaitForSingleObject(m_writeDone.hEvent, kCloseWaitMs) != WAIT_OBJECT_0)
        CancelIoEx(m_handle, &m_writeDone);
    if (!m_writing.isEmpty()) {
        DWORD written = 0;
        GetOverlappedResult(m_handle, &m_writeDone, &written, TRUE);
    }
    m_writing.clear();
    m_outgoing.clear();
    CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
}

void Win32SerialPort::writeBytes(const QByteArray &bytes)
{
    if (hasFailed() || m_handle == INVALID_HANDLE_VALUE || bytes.isEmpty())
        return;
    m_outgoing += bytes;
    startWrite();
}

void Win32SerialPort::startWrite()
{
    while (m_writing.isEmpty() && !m_outgoing.isEmpty() && !hasFailed()) {
        m_writing.swap(m_outgoing);
        ResetEvent(m_writeDone.hEvent);
        m_writeDone.Offset = m_writeDone.OffsetHigh = 0;
        DWORD written = 0;
        if (WriteFile(m_handle, m_writing.constData(), DWORD(m_writing.size()), &written, &m_writeDone)) {
            m_writing.clear();   // with the driver already
            continue;
        }
        if (const DWORD error = GetLastError(); error != ERROR_IO_PENDING) {
            m_writing.clear();   // nothing is under way to wait for
            fail(win32ErrorText(error), true);
        }
        return;   // it ends later: the read timer looks in on it
    }
}

bool Win32SerialPort::writeEnded()
{
    if (m_writing.isEmpty())
        return true;
    DWORD written = 0;
    if (GetOverlappedResult(m_handle, &m_writeDone, &written, FALSE)) {
        const qsizetype size = m_writing.size();
        m_writing.clear();
        if (written != DWORD(size))
            fail(QStringLiteral("the port took only %1 of %2 bytes").arg(written).arg(size), true);
        return true;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_IO_INCOMPLETE)
        return false;
    m_writing.clear();
    fail(win32ErrorText(error), true);
    return true;
}

void Win32SerialPort::takeArrived()
{
    if (hasFailed() || m_handle == INVALID_HANDLE_VALUE)
        return;
    if (writeEnded())
        startWrite();
    if (hasFailed() || m_handle == INVALID_HANDLE_VALUE)
        return;
    char buffer[4096];
    bool arrived = false;
    // A flood costs no more than the limit: the rest waits in the driver.
    while (m_incoming.size() < kReceiveLimit) {
        // Only what the driver holds is asked for, so the read ends at once
        // (an overlapped read of more would wait for it, on some systems).
        COMSTAT status{};
        DWORD errors = 0;
        if (!ClearCommError(m_handle, &errors, &status)) {
            // An adapter pulled out: the handle is gone.
            fail(win32ErrorText(GetLastError()), false);
            return;
        }
        const DWORD wanted = std::min<DWORD>(status.cbInQue, sizeof buffer);
        if (wanted == 0)
            break;
        DWORD read = 0;
        ResetEvent(m_readDone.hEvent);
        m_readDone.Offset = m_readDone.OffsetHigh = 0;
        const bool done = ReadFile(m_handle, buffer, wanted, &read, &m_readDone)
            || (GetLastError() == ERROR_IO_PENDING && GetOverlappedResult(m_handle, &m_readDone, &read, TRUE));
        if (!done) {
            fail(win32ErrorText(GetLastError()), false);
            return;
        }
        if (read == 0)
            break;
        m_incoming.append(buffer, qsizetype(read));
        arrived = true;
    }
    if (arrived) {
        m_lastEvent = PortEvent::Received;
        emit dataArrived();
    }
}

QString Win32SerialPort::readText()
{
    takeArrived();
    return cp1252::takeCharacter(m_incoming);
}

QString Win32SerialPort::readWaiting()
{
    takeArrived();
    return cp1252::takeAll(m_incoming);
}

void Win32SerialPort::fail(const QString &description, bool lostWrites)
{
    if (!reportFailure(description, lostWrites))
        return;
    m_errorString = description;
    close();
}
