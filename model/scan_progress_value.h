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
    // Numbers for QML, which has no 64-bit integer.
    Q_PROPERTY(double fileCount READ files CONSTANT)
    Q_PROPERTY(double byteCount READ bytes CONSTANT)
    Q_PROPERTY(QString currentPath MEMBER currentPath CONSTANT)

  public:
    qint64 fileCount = 0;
    qint64 byteCount = 0;
    QString currentPath;

    static ScanProgressValue from(const ScanProgress& p);
    double files() const { return static_cast<double>(fileCount); }
    double bytes() const { return static_cast<double>(byteCount); }
    friend bool operator==(const ScanProgressValue&, const ScanProgressValue&) = default;
};

}  // namespace tidewell

Q_DECLARE_METATYPE(tidewell::ScanProgressValue)
