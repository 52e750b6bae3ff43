// verno-icons OUTDIR: the program's icon for the desktop's hicolor theme, painted by the same
// code as the window's: OUTDIR/<n>x<n>/apps/ID.png at every size and OUTDIR/scalable/apps/ID.svg.
// Runs at build time only.

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

#include <filesystem>
#include <iostream>

#include "shell/Banner.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: verno-icons OUTDIR ID\n";
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const std::filesystem::path out = argv[1];
    const std::string id = argv[2];
    for (const int size : verno::shell::kProgramIconSizes) {
        const auto folder = out / (std::to_string(size) + "x" + std::to_string(size)) / "apps";
        std::filesystem::create_directories(folder);
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        verno::shell::PaintProgramIcon(p, size);
        p.end();
        if (!image.save(QString::fromStdString((folder / (id + ".png")).string()))) return 1;
    }
    const auto scalable = out / "scalable" / "apps";
    std::filesystem::create_directories(scalable);
    constexpr int kSvgSize = 128;
    QSvgGenerator svg;
    svg.setFileName(QString::fromStdString((scalable / (id + ".svg")).string()));
    svg.setSize(QSize(kSvgSize, kSvgSize));
    svg.setViewBox(QRect(0, 0, kSvgSize, kSvgSize));
    svg.setTitle(QStringLiteral("VERNO 1B Firmware Update"));
    QPainter p(&svg);
    verno::shell::PaintProgramIcon(p, kSvgSize);
    return p.end() ? 0 : 1;
}
