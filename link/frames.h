#pragma once
// Everything the tool sends to the module is one module frame:
//   SOH (0x01)  "("  message code  ")"  content  EOT (0x04)
// with no length field, no checksum and no escapes. The functions here turn
// settings into those bytes, and (for the simulated module) the bytes of a
// programming step back into the values it carries; nothing else in the
// program builds or takes apart a frame. Which field goes into which step
// is the field table's; the steps' fixed bytes are here.

#include "settings/fieldtable.h"
#include "settings/modulesettings.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

inline constexpr char kSoh = 0x01;
inline constexpr char kEot = 0x04;

// A programming run sends these steps, 1..26, one every 300 ms.
inline constexpr int kProgrammingStepCount = 26;
inline constexpr int kFirstStepCode = 51;        // step n has code 50 + n

inline const QString kNoNetworkCode = QStringLiteral("17");
inline const QString kNoNetworkText = QStringLiteral("STORING: GEEN NETWERK");
inline const QString kReadRequestCode = QStringLiteral("99");
inline const QString kDefaultTestMessage = QStringLiteral("TESTOPROEP NAAR DE KVR7314");

// A test call or no-network notice has left the port well within this time
// (its frame takes a few milliseconds at 19200 baud).
inline constexpr int kSingleFrameWaitMs = 200;

// SOH "(" code ")" content EOT; the code is sent as its Windows-1252 bytes.
QByteArray moduleFrame(const QString &code, const QByteArray &content);

// --- The 26 programming steps ----------------------------------------------------

// "51" .. "76" for steps 1 .. 26.
QString programmingStepCode(int step);
// The step 1 .. 26 a frame code "51" .. "76" stands for; nothing for any other code.
std::optional<int> programmingStepOf(const QString &code);

// The content of step 1..26, from the settings as they stand when it is sent:
// the step's fixed bytes, then each field the table places in it.
QByteArray programmingStepContent(int step, const ModuleSettings &settings);
QByteArray programmingStepFrame(int step, const ModuleSettings &settings);

// The fields step 1..26 carries, in the order of its content.
QList<const SettingsField *> fieldsOfStep(int step);

// A text field as the module is given it: an alias that is exactly empty as
// "CAPCODE nn" (a text of spaces is sent as it is), a timer padded to four
// characters; any other text unchanged.
QString sentText(const SettingsField &field, const ModuleSettings &settings);

// The values step 1..26 carries, taken back out of its content: a colour
// or speed as its code, a text as it came. Nothing when the content is not
// what the step's layout allows (wrong fixed bytes, selectors or length).
struct StepValue {
    const SettingsField *field;
    QString value;
};
std::optional<QList<StepValue>> decodeProgrammingStep(int step, QByteArrayView content);

// A colour or speed code as the byte the module takes ("183" -> 0xB7).
quint8 codeByte(const QString &code);

// The values a module holds once it has taken all 26 steps of `settings`:
// each text as sentText() gives it. Receiver type and firmware version are
// not sent and stay as they were.
ModuleSettings settingsAsSent(ModuleSettings settings);

// --- Other frames -----------------------------------------------------------------

// Whether the module takes a frame with this code as a test call: capcode
// "1".."16" (FLEX) as its plain number, or RI-code "1D".."7D" (POCSAG). The
// window and the command line send a test call only to such a code.
bool isTestCallCode(const QString &code);

// A test call to capcode "1".."16" (FLEX) or RI-code "1D".."7D" (POCSAG); the
// code is not checked. An exactly empty message sends the default test text.
QByteArray testCallFrame(const QString &code, const QString &message);

// Makes the module show the report it gives when it has no reception.
QByteArray noNetworkFrame();

// Asks the module for its settings dump; it has no content.
QByteArray readRequestFrame();
