// The Upgrade Wizard's two pictures, drawn rather than loaded so that the program needs no image files:
// 151, how the PC is joined to the controller (COM and USB cables), and 161, the welcome page's artwork.
#pragma once

#include <QPixmap>

constexpr int IDB_WIZARD_CONNECTION = 151;
constexpr int IDB_WIZARD_WELCOME = 161;

// Natural sizes in pixels.
constexpr int kConnectionPictureWidth = 400;
constexpr int kConnectionPictureHeight = 170;
constexpr int kWelcomePictureWidth = 130;
constexpr int kWelcomePictureHeight = 230;

QPixmap WizardConnectionPicture();
QPixmap WizardWelcomePicture();
