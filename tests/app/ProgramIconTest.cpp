#include "app/ProgramIcon.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <cstdlib>

#include "app/IconShape.h"
#include "support/TempFolder.h"

namespace {

// Share of pixels that differ by more than a quarter of the range in some channel; two
// renderers differ only along the anti-aliased edges.
double differingShare(const QImage& first, const QImage& second) {
    const QImage a = first.convertToFormat(QImage::Format_ARGB32);
    const QImage b = second.convertToFormat(QImage::Format_ARGB32);
    int differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            const int worst =
                std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                          std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
            differing += worst > 64 ? 1 : 0;
        }
    }
    return static_cast<double>(differing) / (a.width() * a.height());
}

// The desktop shows the installed SVG, the program its own painting: both must be one picture.
TEST(ProgramIconTest, SvgShowsTheSameDrawingAsTheWindowIcon) {
    const QString rsvg = QStandardPaths::findExecutable("rsvg-convert");
    if (rsvg.isEmpty()) {
        GTEST_SKIP() << "rsvg-convert is missing (scripts/deps.sh installs it)";
    }
    pv::TempFolder dir;
    ASSERT_TRUE(dir.ok());
    const QString svgPath = QString::fromStdString(dir.file("portavigilant.svg"));
    QFile svg(svgPath);
    ASSERT_TRUE(svg.open(QIODevice::WriteOnly));
    svg.write(QByteArray::fromStdString(pv::programIconSvg(256)));
    svg.close();

    for (int size : {32, 256}) {
        const QString pngPath =
            QString::fromStdString(dir.file("svg-" + std::to_string(size) + ".png"));
        QProcess convert;
        convert.start(rsvg, {"-w", QString::number(size), "-h", QString::number(size), "-o",
                             pngPath, svgPath});
        ASSERT_TRUE(convert.waitForFinished(30000));
        ASSERT_EQ(convert.exitCode(), 0) << convert.readAllStandardError().toStdString();
        const QImage fromSvg(pngPath);
        ASSERT_EQ(fromSvg.size(), QSize(size, size));
        EXPECT_LT(differingShare(fromSvg, pv::programIconImage(size)), 0.02) << "at " << size;
    }
}

}  // namespace
