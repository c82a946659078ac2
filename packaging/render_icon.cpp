// tidewell-render-icon SVG OUTDIR SIZE...: draws the application's icon at
// each SIZE × SIZE pixels into OUTDIR/SIZE.png, for the icon theme's fixed
// sizes. Runs at build time.
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: tidewell-render-icon SVG OUTDIR SIZE...\n");
        return 2;
    }
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    if (!svg.isValid()) {
        std::fprintf(stderr, "tidewell-render-icon: cannot read %s\n", argv[1]);
        return 1;
    }
    const QString outDir = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size <= 0) return 2;
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        svg.render(&painter);
        painter.end();
        const QString path = outDir + QStringLiteral("/%1.png").arg(size);
        if (!image.save(path)) {
            std::fprintf(stderr, "tidewell-render-icon: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
