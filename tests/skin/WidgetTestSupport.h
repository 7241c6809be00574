#pragma once

#include "TestSupport.h"
#include "skin/SkinInfo.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QWidget>

#include <string>

// A picture of one colour. Qt cannot write GIF, so the file is always PNG; the reader decides
// the format from the content, whatever the name says.
inline bool WritePicture(const std::string& strPath, int nWidth, int nHeight, const QColor& clr)
{
    std::filesystem::create_directories(std::filesystem::path(strPath).parent_path());
    QImage image(nWidth, nHeight, QImage::Format_ARGB32);
    image.fill(clr);
    return image.save(QString::fromStdString(strPath), "PNG");
}

// Points the install path at a folder for the life of the object, and back afterwards.
class CInstallPathScope
{
public:
    explicit CInstallPathScope(const std::string& strFolder) : m_strSaved(g_strPath)
    {
        g_strPath = CMyString(strFolder.c_str());
    }
    CInstallPathScope(const CInstallPathScope&) = delete;
    CInstallPathScope& operator=(const CInstallPathScope&) = delete;
    ~CInstallPathScope() { g_strPath = m_strSaved; }

private:
    CMyString m_strSaved;
};

inline QImage Snapshot(QWidget& widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

inline QColor PixelAt(const QImage& image, int x, int y)
{
    return QColor(image.pixel(x, y)).toRgb();
}

// Gradients and scaling round differently from one painter to another.
inline bool IsNear(const QColor& clrA, const QColor& clrB, int nTolerance = 6)
{
    return std::abs(clrA.red() - clrB.red()) <= nTolerance &&
           std::abs(clrA.green() - clrB.green()) <= nTolerance &&
           std::abs(clrA.blue() - clrB.blue()) <= nTolerance;
}
