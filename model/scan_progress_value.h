// The scan's progress record as QML sees it.
#pragma once

#include <QtQml/qqmlregistration.h>
#include <QMetaType>
#include <QString>

#include "scan_progress.h"

namespace tidewell {

class ScanProgressValue {
    Q_GADGET
    QML_VALUE_TYPE(scanProgress)
    Q_PROPERTY(qint64 fileCount MEMBER fileCount CONSTANT)
    Q_PROPERTY(qint64 byteCount MEMBER byteCount CONSTANT)
    Q_PROPERTY(QString currentPath MEMBER currentPath CONSTANT)

  public:
    qint64 fileCount = 0;
    qint64 byteCount = 0;
    QString currentPath;

    static ScanProgressValue from(const ScanProgress& p);
    friend bool operator==(const ScanProgressValue&, const ScanProgressValue&) = default;
};

}  // namespace tidewell

Q_DECLARE_METATYPE(tidewell::ScanProgressValue)
