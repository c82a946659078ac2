#include "scratch_home.h"

#include <QFile>

namespace tidewell {

ScratchHome::ScratchHome() {
    if (!dir_.isValid()) return;
    const QDir root(dir_.path());
    const std::pair<const char*, const char*> folders[] = {{"XDG_CONFIG_HOME", "config"},
                                                           {"XDG_DATA_HOME", "data"},
                                                           {"XDG_CACHE_HOME", "cache"},
                                                           {"XDG_STATE_HOME", "state"},
                                                           {"XDG_RUNTIME_DIR", "runtime"}};
    for (const auto& [variable, name] : folders) {
        root.mkpath(QString::fromLatin1(name));
        qputenv(variable, QFile::encodeName(root.filePath(QString::fromLatin1(name))));
    }
    QFile::setPermissions(root.filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
}

}  // namespace tidewell
