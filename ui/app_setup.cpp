#include "app_setup.h"

#include <memory>

#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPalette>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTranslator>

#include "map_text.h"
#include "text_format.h"

namespace tidewell {

namespace {

QPalette darkPalette() {
    const QColor text(236, 236, 238);
    const QColor window(23, 23, 28);
    const QColor base(30, 30, 36);
    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, QColor(36, 36, 43));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(44, 44, 52));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Highlight, QColor(43, 147, 255));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(122, 122, 130));
    p.setColor(QPalette::Link, QColor(43, 147, 255));
    // The Basic style draws frames and the folder chooser's panes from these.
    p.setColor(QPalette::Light, QColor(70, 70, 80));
    p.setColor(QPalette::Midlight, QColor(56, 56, 64));
    p.setColor(QPalette::Mid, QColor(44, 44, 52));
    p.setColor(QPalette::Dark, QColor(18, 18, 22));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(122, 122, 130));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(122, 122, 130));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(122, 122, 130));
    return p;
}

// Where OpenGL is only Mesa's software rasteriser (no GPU, a virtual
// machine, Xvfb), Qt Quick's own software renderer draws these screens
// faster, as it redraws only what changed, and without the rasteriser's
// hundred megabytes. Where OpenGL cannot be had at all it is the one that
// works. A backend chosen through Qt's variables is left alone.
void chooseRenderer() {
    if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND") ||
        qEnvironmentVariableIsSet("QSG_RHI_BACKEND") ||
        QGuiApplication::platformName() == QLatin1String("offscreen"))
        return;
    bool software = true;
    QOffscreenSurface surface;
    surface.create();
    QOpenGLContext context;
    if (context.create() && context.makeCurrent(&surface)) {
        const auto* name =
            reinterpret_cast<const char*>(context.functions()->glGetString(GL_RENDERER));
        const QByteArray renderer = QByteArray(name != nullptr ? name : "").toLower();
        software = renderer.contains("llvmpipe") || renderer.contains("softpipe") ||
                   renderer.contains("software rasterizer") || renderer.contains("swrast");
        context.doneCurrent();
    }
    if (software) QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}

}  // namespace

void prepareInterface(QGuiApplication& app) {
    chooseRenderer();
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    QGuiApplication::setPalette(darkPalette());
    // The default face of every text that does not set its own: 14 regular.
    QGuiApplication::setFont(uiFont(14));
    const QLocale locale(interfaceLocaleName());
    QLocale::setDefault(locale);
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char* catalogue : {"qtbase", "qtdeclarative"}) {
        auto translator = std::make_unique<QTranslator>();
        if (!translator->load(locale, QString::fromLatin1(catalogue), QStringLiteral("_"), dir))
            continue;
        translator->setParent(&app);  // the application keeps it from here on
        QGuiApplication::installTranslator(translator.release());
    }
}

}  // namespace tidewell
