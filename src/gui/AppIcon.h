// The program's icon, drawn rather than loaded so that the program needs no image files at run time.
#pragma once

#include <QIcon>
#include <QPixmap>

QPixmap AppIconPixmap(int size);
QIcon AppIcon();
