// Writes the program's icon as PNG files for the desktop's icon theme: OUTDIR/NxN/apps/dravik.png.
#include "gui/app/AppIcon.h"

#include <QDir>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: dravik-render-icon OUTDIR\n");
        return 64;
    }
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QString("%1/%2x%2/apps").arg(argv[1]).arg(size);
        const QString file = folder + "/dravik.png";
        if (!QDir().mkpath(folder) || !AppIconImage(size).save(file, "PNG")) {
            std::fprintf(stderr, "dravik-render-icon: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
