#pragma once

// Helpers of the widget tests: pictures written to a scratch folder, and what a widget drew.

#include "TestSupport.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QWidget>

#include <string>

// Writes a picture of the given size filled with one colour (GIF keeps a transparent colour as
// alpha 0 when clr is transparent). The format follows the name's extension.
inline bool WritePicture(const std::string& strPath, int nWidth, int nHeight, const QColor& clr)
{
    std::filesystem::create_directories(std::filesystem::path(strPath).parent_path());
    QImage image(nWidth, nHeight, QImage::Format_ARGB32);
    image.fill(clr);
    std::string strFormat = std::filesystem::path(strPath).extension().string();
    if (!strFormat.empty())
        strFormat.erase(0, 1);
    for (char& c : strFormat)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return image.save(QString::fromStdString(strPath), strFormat.c_str());
}

// What the widget draws now, at one pixel per pixel.
inline QImage Snapshot(QWidget& widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The colour at (x, y) as opaque RGB.
inline QColor PixelAt(const QImage& image, int x, int y)
{
    return QColor(image.pixel(x, y)).toRgb();
}

// True when the two colours are equal within a small tolerance per channel (gradients and
// scaling round differently from one painter to another).
inline bool IsNear(const QColor& clrA, const QColor& clrB, int nTolerance = 6)
{
    return std::abs(clrA.red() - clrB.red()) <= nTolerance &&
           std::abs(clrA.green() - clrB.green()) <= nTolerance &&
           std::abs(clrA.blue() - clrB.blue()) <= nTolerance;
}
