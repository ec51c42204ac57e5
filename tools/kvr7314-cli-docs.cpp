// kvr7314-cli-docs: writes what the build makes from kvr7314-cli's command
// table, so that the man page and the bash completion always name the
// commands and options the parser has.
//
//   kvr7314-cli-docs --man-commands FILE      a help2man include, one section per command
//   kvr7314-cli-docs --man-files FILE         a help2man include: the data folder
//   kvr7314-cli-docs --bash-completion FILE   the completion for bash

#include "cli/clicommandtable.h"

#include <QCoreApplication>
#include <QSaveFile>

#include <cstdio>

namespace {

bool writeText(const QString &path, const QString &text)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit()) {
        std::fprintf(stderr, "kvr7314-cli-docs: %s: %s\n", qPrintable(path), qPrintable(file.errorString()));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.isEmpty() || arguments.size() % 2 != 0) {
        std::fprintf(stderr, "usage: kvr7314-cli-docs [--man-commands FILE] [--man-files FILE] [--bash-completion FILE]\n");
        return 2;
    }
    for (qsizetype i = 0; i < arguments.size(); i += 2) {
        const QString &what = arguments[i];
        const QString &path = arguments[i + 1];
        QString text;
        if (what == u"--man-commands")
            text = manPageCommandSections();
        else if (what == u"--man-files")
            text = manPageFilesSections();
        else if (what == u"--bash-completion")
            text = bashCompletionScript();
        else {
            std::fprintf(stderr, "kvr7314-cli-docs: unknown output %s\n", qPrintable(what));
            return 2;
        }
        if (!writeText(path, text))
            return 1;
    }
    return 0;
}
