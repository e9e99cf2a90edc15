// Writes the program icon into a hicolor icon theme tree for installation:
//   portavigilant_icon_export DIR
// gives DIR/scalable/apps/portavigilant.svg and DIR/NxN/apps/portavigilant.png for each size
// the program draws.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <cstdio>
#include <string>

#include "app/IconShape.h"
#include "app/ProgramIcon.h"

namespace {

bool writeFile(const QString& path, const std::string& bytes) {
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) &&
           file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
               static_cast<qint64>(bytes.size());
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fputs("usage: portavigilant_icon_export DIR\n", stderr);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QString svgPath = root + "/scalable/apps/portavigilant.svg";
    if (!writeFile(svgPath, pv::programIconSvg(256))) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(svgPath));
        return 1;
    }
    for (int size : pv::kProgramIconSizes) {
        const QString path = root + QString("/%1x%1/apps/portavigilant.png").arg(size);
        if (!QDir().mkpath(QFileInfo(path).path()) ||
            !pv::programIconImage(size).save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
