#include "ui_support.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSysInfo>

#include "app_model.h"
#include "feedback.h"
#include "icon_font.h"
#include "map_text.h"
#include "node_menu.h"
#include "platform_info.h"
#include "reveal.h"
#include "text_format.h"

namespace tidewell {

namespace {

// Point sizes keep fractions such as 13.5 that QML's integer pixel sizes
// drop; converted at the screen's logical resolution, one point of the
// design stays one logical pixel.
QFont atPixels(QFont font, double pixels) {
    double dpi = 96.0;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        dpi = screen->logicalDotsPerInchY();
    font.setPointSizeF(pixels * 72.0 / dpi);
    return font;
}

QFont::Weight weightOf(int weight) {
    return static_cast<QFont::Weight>(std::clamp(weight, 100, 900));
}

QString menuKind(NodeMenuEntry::Kind kind) {
    switch (kind) {
        case NodeMenuEntry::Kind::preview:
            return QStringLiteral("preview");
        case NodeMenuEntry::Kind::reveal:
            return QStringLiteral("reveal");
        case NodeMenuEntry::Kind::separator:
            return QStringLiteral("separator");
        case NodeMenuEntry::Kind::toggleBasket:
            return QStringLiteral("toggleBasket");
    }
    return {};
}

}  // namespace

UiSupport::UiSupport(QObject* parent) : QObject(parent), locale_(interfaceLocaleName()) {}

QFont UiSupport::font(double pixels, int weight, double letterSpacing, bool underline) const {
    QFont f = atPixels(uiFont(pixels, weightOf(weight)), pixels);
    if (letterSpacing != 0) f.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
    f.setUnderline(underline);
    return f;
}

QFont UiSupport::digitsFont(double pixels, int weight) const {
    return atPixels(tidewell::digitsFont(pixels, weightOf(weight)), pixels);
}

QString UiSupport::glyph(const QString& symbol) const {
    return iconGlyph(symbol.toStdString());
}

QString UiSupport::iconFamily() const {
    return iconFont(12).family();
}

QString UiSupport::relativeDate(const QDateTime& when, const QDateTime& now) const {
    return tidewell::relativeDate(when, now, locale_);
}

QString UiSupport::startupDiskName() const {
    return tidewell::startupDiskName();
}

QString UiSupport::countLine(double fileCount, double byteCount) const {
    return scanCountLine(static_cast<qint64>(fileCount), static_cast<qint64>(byteCount), locale_);
}

QString UiSupport::locationLine(const QVariant& pickedFolderName) const {
    return scanLocationLine(pickedFolderName.isNull() ? QString() : pickedFolderName.toString());
}

QString UiSupport::pathLine(const QString& currentPath) const {
    return scanPathLine(currentPath);
}

QVariantList UiSupport::nodeMenu(AppModel* model, const NodeValue& node, bool enabled,
                                 bool inBasket) const {
    QVariantList out;
    if (model == nullptr || !node.isValid()) return out;
    const auto entries =
        nodeMenuEntries(enabled, inBasket, [&] { return model->canDelete(node.node()); });
    for (const NodeMenuEntry& e : entries)
        out.push_back(
            QVariantMap{{"kind", menuKind(e.kind)}, {"title", e.title}, {"symbol", e.symbol}});
    return out;
}

QUrl UiSupport::fileUrl(const QString& path, bool isDirectory) const {
    return nodeFileUrl(path, isDirectory);
}

void UiSupport::reveal(const QString& path) const {
    revealInFileManager(path);
}

QUrl UiSupport::droppedFolder(const QList<QUrl>& urls) const {
    for (const QUrl& url : urls)
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isDir()) return url;
    return {};
}

QUrl UiSupport::feedbackUrl() const {
    return feedbackMailUrl(QStringLiteral(TIDEWELL_FEEDBACK_ADDRESS), version(), build(),
                           QSysInfo::prettyProductName());
}

void UiSupport::openFeedbackMail() const {
    const QUrl url = feedbackUrl();
    if (url.isValid()) QDesktopServices::openUrl(url);
}

QString UiSupport::version() const {
    return QStringLiteral(TIDEWELL_VERSION);
}

QString UiSupport::licence() const {
    return QStringLiteral(TIDEWELL_LICENCE);
}

QString UiSupport::screenName(int screen) const {
    switch (static_cast<AppModel::Screen>(screen)) {
        case AppModel::Screen::select:
            return QStringLiteral("select");
        case AppModel::Screen::scanning:
            return QStringLiteral("scanning");
        case AppModel::Screen::results:
            return QStringLiteral("results");
    }
    return QStringLiteral("select");
}

QString UiSupport::build() const {
    return QStringLiteral(TIDEWELL_BUILD);
}

}  // namespace tidewell
