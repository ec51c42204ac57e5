#include "app/applicationlook.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

QIcon applicationIcon()
{
    // Drawn from packaging/kvr7314.svg at build time; see icons.qrc.
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString file = QStringLiteral(":/icons/kvr7314-%1.png").arg(size);
        if (QFile::exists(file))
            icon.addFile(file, QSize(size, size));
    }
    return icon;
}

bool loadDutchQtTranslation(QCoreApplication &app)
{
    auto *translator = new QTranslator(&app);
    const QStringList folders = {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                                 QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations"))};
    for (const QString &folder : folders) {
        if (translator->load(QStringLiteral("qtbase_nl"), folder)) {
            QCoreApplication::installTranslator(translator);
            return true;
        }
    }
    delete translator;
    return false;
}

void applyApplicationLook(QCoreApplication &app)
{
    QLocale::setDefault(QLocale(QLocale::Dutch, QLocale::Netherlands));
    loadDutchQtTranslation(app);
    if (auto *gui = qobject_cast<QGuiApplication *>(&app)) {
        const QIcon icon = applicationIcon();
        if (!icon.isNull())
            gui->setWindowIcon(icon);
    }
}
