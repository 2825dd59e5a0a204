// dravik: the desktop program.
#include "gui/app/DravikMain.h"

int main(int argc, char** argv) {
    return DravikMain(argc, argv);
}
