// Feeds arbitrary bytes, as a device server (or anything posing as one)
// could send them, through the telnet layer and the RFC 2217 client, in
// pieces of any size: no crash, no unbounded growth, no endless answering.

#include "link/telnet.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte chooses how the rest is cut into pieces.
    const size_t piece = 1 + data[0] % 16;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    telnet::Receiver receiver;
    Rfc2217Client client;
    client.start();
    QByteArray moduleBytes;
    qsizetype replied = 0;
    for (qsizetype from = 0; from < bytes.size(); from += qsizetype(piece)) {
        QList<telnet::Receiver::Command> commands;
        receiver.take(bytes.mid(from, qsizetype(piece)), &moduleBytes, &commands);
        for (const telnet::Receiver::Command &command : commands) {
            if (command.payload.size() > telnet::Receiver::kPayloadLimit)
                std::abort();
            replied += client.handle(command).size();
        }
        client.takeNotes();
    }
    // What passes to the module never exceeds what came in.
    if (moduleBytes.size() > bytes.size())
        std::abort();
    // Each unwanted option is refused once per direction, and the settings
    // are sent once: the replies are bounded whatever the server sends.
    if (replied > 2 * 256 * 3 + 200)
        std::abort();
    return 0;
}
