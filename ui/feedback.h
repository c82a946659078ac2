// The feedback mail: a mailto link with the version, build and system in its body.
#pragma once

#include <QString>
#include <QUrl>

namespace tidewell {

// The body's last line is "Sürüm: VERSION (BUILD) · SYSTEM"; two empty lines
// above the dash line leave room for the user's text. An empty address
// gives a message with no recipient.
QUrl feedbackMailUrl(const QString& address, const QString& version, const QString& build,
                     const QString& systemVersion);

}  // namespace tidewell
