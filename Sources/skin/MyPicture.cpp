#include "skin/MyPicture.h"

#include "platform/FileNameCase.h"
#include "skin/SkinInfo.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>

namespace
{

std::string ToStdString(const CMyString& str)
{
    return str.IsEmpty() ? std::string() : std::string(str.GetBuffer(), str.GetLength());
}

} // namespace

CMyPicture::CMyPicture(int32_t nBoxWidth, int32_t nBoxHeight)
    : m_nBoxWidth(nBoxWidth), m_nBoxHeight(nBoxHeight)
{
}

CMyPicture::CMyPicture(const CMyPicture& other)
    : m_nBoxWidth(other.m_nBoxWidth), m_nBoxHeight(other.m_nBoxHeight), m_nWidth(other.m_nWidth),
      m_nHeight(other.m_nHeight), m_strPath(other.m_strPath)
{
}

CMyPicture& CMyPicture::operator=(const CMyPicture& other)
{
    if (this != &other)
    {
        m_Picture = QImage();
        m_bTriedLoading = false;
        m_nBoxWidth = other.m_nBoxWidth;
        m_nBoxHeight = other.m_nBoxHeight;
        m_nWidth = other.m_nWidth;
        m_nHeight = other.m_nHeight;
        m_strPath = other.m_strPath;
    }
    return *this;
}

CMyString CMyPicture::ResolvePath(const CMyString& strPath)
{
    if (strPath.IsEmpty())
        return strPath;
    std::string strFound = FindFileIgnoringCase(ToStdString(strPath));
    if (strFound.empty() && !g_strPath.IsEmpty())
    {
        CMyString strJoined = g_strPath;
        strJoined.AppendPath(strPath);
        strFound = FindFileIgnoringCase(ToStdString(strJoined));
    }
    return strFound.empty() ? strPath : CMyString(strFound.c_str());
}

void CMyPicture::Load(const CMyString& strPath)
{
    m_strPath = ResolvePath(strPath);
    m_Picture = QImage();
    m_bTriedLoading = false;
    m_nWidth = 0;
    m_nHeight = 0;
}

bool CMyPicture::LoadPicture()
{
    if (!m_bTriedLoading)
    {
        m_bTriedLoading = true;
        if (!m_strPath.IsEmpty())
        {
            // The path is UTF-8 text; the reader decides the format from the content.
            QImageReader reader(ToQString(m_strPath));
            reader.setDecideFormatFromContent(true);
            m_Picture = reader.read();
        }
    }
    return !m_Picture.isNull();
}

bool CMyPicture::GetSize(int32_t& nWidth, int32_t& nHeight)
{
    if (m_nWidth <= 0 || m_nHeight <= 0)
    {
        if (m_strPath.IsEmpty() || !LoadPicture())
        {
            nWidth = 0;
            nHeight = 0;
            return false;
        }
        m_nWidth = m_Picture.width();
        m_nHeight = m_Picture.height();
    }
    nWidth = m_nWidth;
    nHeight = m_nHeight;
    return true;
}

bool CMyPicture::Draw(QPainter* pPainter, const QRect* pRect, bool bStretch, bool /*bUnused*/)
{
    if (pPainter == nullptr || pRect == nullptr || m_strPath.IsEmpty())
        return false;
    if (!LoadPicture())
        return false;

    int32_t nLeft = pRect->left();
    int32_t nTop = pRect->top();
    int32_t nWidth = m_Picture.width();
    int32_t nHeight = m_Picture.height();
    if (bStretch)
    {
        nWidth = pRect->width();
        nHeight = pRect->height();
    }
    else
    {
        if (m_nBoxWidth < 1 && m_nBoxHeight < 1)
        {
            m_nBoxWidth = 0;
            m_nBoxHeight = 0;
        }
        else if (!(m_nBoxWidth > nWidth && m_nBoxHeight > nHeight))
        {
            // Shrink (or grow) by the smaller ratio so the picture fits the box.
            float fRatioX = static_cast<float>(m_nBoxWidth) / static_cast<float>(nWidth);
            float fRatioY = static_cast<float>(m_nBoxHeight) / static_cast<float>(nHeight);
            float fRatio = fRatioX < fRatioY ? fRatioX : fRatioY;
            if (fRatio > 0.0f)
            {
                nWidth = static_cast<int32_t>(static_cast<float>(nWidth) * fRatio);
                nHeight = static_cast<int32_t>(static_cast<float>(nHeight) * fRatio);
            }
        }
        // Centre the picture in the part of the box it leaves free.
        if (m_nBoxHeight > nHeight)
            nTop += (m_nBoxHeight - nHeight) / 2;
        if (m_nBoxWidth > nWidth)
            nLeft += (m_nBoxWidth - nWidth) / 2;
    }
    m_nWidth = nWidth;
    m_nHeight = nHeight;
    if (nWidth <= 0 || nHeight <= 0)
        return true;

    pPainter->save();
    pPainter->setRenderHint(QPainter::SmoothPixmapTransform,
                            nWidth != m_Picture.width() || nHeight != m_Picture.height());
    pPainter->drawImage(QRect(nLeft, nTop, nWidth, nHeight), m_Picture);
    pPainter->restore();
    return true;
}

bool CMyPicture::DrawAt(QPainter* pPainter, int32_t x, int32_t y)
{
    int32_t nWidth = 0;
    int32_t nHeight = 0;
    if (!GetSize(nWidth, nHeight))
        return false;
    QRect rect(x, y, nWidth, nHeight);
    return Draw(pPainter, &rect, false);
}
