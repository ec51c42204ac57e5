#include "link/win32serialport.h"

#include "settings/codec.h"

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
    m_readTimer.setInterval(kReadIntervalMs);
    connect(&m_readTimer, &QTimer::timeout, this, &Win32SerialPort::takeArrived);
}

Win32SerialPort::~Win32SerialPort()
{
    close();
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
                           nullptr, OPEN_EXISTING, 0, nullptr);
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
    if (m_handle != INVALID_HANDLE_VALUE) {
        // What was written is with the driver; let it leave before closing.
        FlushFileBuffers(m_handle);
        CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }
}

void Win32SerialPort::writeBytes(const QByteArray &bytes)
{
    if (hasFailed() || m_handle == INVALID_HANDLE_VALUE || bytes.isEmpty())
        return;
    DWORD written = 0;
    if (!WriteFile(m_handle, bytes.constData(), DWORD(bytes.size()), &written, nullptr)
        || written != DWORD(bytes.size()))
        fail(win32ErrorText(GetLastError()), true);
}

void Win32SerialPort::takeArrived()
{
    if (hasFailed() || m_handle == INVALID_HANDLE_VALUE)
        return;
    char buffer[4096];
    bool arrived = false;
    // A flood costs no more than the limit: the rest waits in the driver.
    while (m_incoming.size() < kReceiveLimit) {
        DWORD read = 0;
        if (!ReadFile(m_handle, buffer, sizeof buffer, &read, nullptr)) {
            // An adapter pulled out: the handle is gone.
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
