// The program's icon, drawn rather than loaded so that the program needs no image files at run time.
#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

// Needs no application object: the installed PNG sizes are rendered with it at build time.
QImage AppIconImage(int size);
QPixmap AppIconPixmap(int size);
QIcon AppIcon();
