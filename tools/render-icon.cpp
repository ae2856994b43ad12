// Renders the application icon's SVG into a square PNG of one size, for the icon theme's
// fixed-size folders, or a BMP on white (the download dialog's small image):
// render-icon SVG SIZE OUT.PNG|OUT.BMP
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: render-icon SVG SIZE OUT.PNG\n");
        return 2;
    }
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    const int size = QByteArray(argv[2]).toInt();
    if (!svg.isValid() || size <= 0) {
        std::fprintf(stderr, "render-icon: cannot render %s at %s\n", argv[1], argv[2]);
        return 1;
    }
    const QString out = QString::fromLocal8Bit(argv[3]);
    // A BMP keeps no transparency: the icon goes on white.
    const bool bmp = out.endsWith(QLatin1String(".bmp"), Qt::CaseInsensitive);
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(bmp ? Qt::white : Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    svg.render(&painter);
    painter.end();
    return image.save(out, bmp ? "BMP" : "PNG") ? 0 : 1;
}
