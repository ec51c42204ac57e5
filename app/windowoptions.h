#pragma once
// The tool's own command line: which device each COM box leads to, and the
// two questions it answers without opening a window (--help, --version).
// Everything else on the command line is Qt's (-platform, -style, ...).

#include "link/networkport.h"
#include "link/portlist.h"
#include "link/serialport.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

struct WindowOptions {
    // --com1 .. --com4 DEVICE: any device behind a COM box; empty: the port
    // the machine has for that box (comDevices()).
    std::array<QString, kComPortCount> comDevices;
    // --com1 .. --com4 ADDRESS: a device server's port behind a COM box.
    std::array<std::optional<NetworkAddress>, kComPortCount> networkBehind;
    // A settings file to open at the start, as "openen" would (a file
    // manager passes the file double-clicked).
    QString file;
    // For a network address over TLS: from KVR7314_TLS_CA, KVR7314_TLS_CERT
    // and KVR7314_TLS_KEY.
    TlsCredentials tls;
};

// "--help" or "--version" anywhere: the text to print, without a display.
std::optional<QString> windowInformationRequest(const QStringList &arguments);

// The options and the settings file, from the arguments Qt has left
// (QApplication::arguments()); nothing and an error line when they are not
// usable (`fileError` is set when a TLS file given cannot be read).
std::optional<WindowOptions> parseWindowOptions(const QStringList &arguments, QString *error, bool *fileError = nullptr);

// COM n -> device: the device given for it, or else the one the machine
// has for that box at the moment the port is opened.
ComDeviceMapper comDeviceMapper(const WindowOptions &options);
