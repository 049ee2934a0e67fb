#pragma once
// The program's own pictures, drawn in code: the window icon (32 x 32) and
// the logo of the settings and about dialogs (100 x 58).

#include <QImage>

QImage DrawIcon();
QImage DrawLogo();
