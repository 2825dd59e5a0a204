// dravik: the desktop program.
#include "gui/DravikMain.h"

int main(int argc, char** argv) {
    return DravikMain(argc, argv);
}
