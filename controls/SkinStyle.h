#pragma once

#include "base/Settings.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>

// Small helpers every skinned control shares.

// Decodes an image file by its content, whatever its name says (a PNG named
// .bmp still loads). A missing or undecodable file gives a null image.
QImage LoadSkinImage(const QString& path);

QColor ToQColor(ColorRef color);

// A font from a face, a character-cell height in pixels (0 = the platform's
// default size) and a weight on the 0..1000 scale (0 = normal).
QFont MakeSkinFont(const QString& face, int height, int weight);
