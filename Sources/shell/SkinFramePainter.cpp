#include "shell/SkinFramePainter.h"

#include "skin/MyOwnButton.h"
#include "skin/MyPicture.h"

#include <QPainter>

namespace
{

// One picture object serves every piece, so each paint reads every file anew and a skin
// changed on disk shows at the next paint.
class CFramePieces
{
public:
    explicit CFramePieces(QPainter& painter) : m_painter(painter) {}

    // The natural size of a piece, 0 by 0 when it cannot be loaded.
    QSize SizeOf(const char* pszPath)
    {
        m_picture.Load(CMyString(pszPath));
        int32_t nWidth = 0;
        int32_t nHeight = 0;
        m_picture.GetSize(nWidth, nHeight);
        return QSize(nWidth, nHeight);
    }

    // Draws the piece at its own size with its top-left corner at (x, y).
    void DrawAt(const char* pszPath, int32_t x, int32_t y)
    {
        m_picture.Load(CMyString(pszPath));
        m_picture.DrawAt(&m_painter, x, y);
    }

    // Stretches the piece into the rectangle given by its edges (right and bottom exclusive).
    void Stretch(const char* pszPath, int32_t nLeft, int32_t nTop, int32_t nRight, int32_t nBottom)
    {
        if (nRight <= nLeft || nBottom <= nTop)
            return;
        m_picture.Load(CMyString(pszPath));
        QRect rect(nLeft, nTop, nRight - nLeft, nBottom - nTop);
        m_picture.Draw(&m_painter, &rect, true);
    }

private:
    QPainter& m_painter;
    CMyPicture m_picture;
};

} // namespace

QImage CSkinFramePainter::PaintSurface(int32_t W, int32_t H, int32_t nControlBarHeight,
                                       const CEdges& rcBannerFrame, uint32_t clrMainBg)
{
    QImage surface(std::max(W, 1), std::max(H, 1), QImage::Format_RGB32);
    surface.fill(Qt::black);
    QPainter painter(&surface);
    CFramePieces pieces(painter);

    // Top strip: the two ends at their own size, the middle stretched between them.
    QSize barLeft = pieces.SizeOf(BAR_LEFT);
    QSize barRight = pieces.SizeOf(BAR_RIGHT);
    QSize barTop = pieces.SizeOf(BAR_TOP);
    pieces.DrawAt(BAR_LEFT, 0, 0);
    pieces.DrawAt(BAR_RIGHT, W - barRight.width(), 0);
    pieces.Stretch(BAR_TOP, barLeft.width(), 0, W - barRight.width(), barTop.height());

    // Bottom edge: both corners stand at the height of the left one.
    QSize cornerLeft = pieces.SizeOf(CORNER_LEFT);
    QSize cornerRight = pieces.SizeOf(CORNER_RIGHT);
    int32_t Y1 = H - cornerLeft.height();
    pieces.DrawAt(CORNER_LEFT, 0, Y1);
    pieces.DrawAt(CORNER_RIGHT, W - cornerRight.width(), Y1);
    pieces.Stretch(BOTTOM, cornerLeft.width(), Y1, W - cornerRight.width(), H);

    // Control strip ends, stretched to its height.
    int32_t Y2 = Y1 - nControlBarHeight;
    QSize left3 = pieces.SizeOf(LEFT3);
    QSize right3 = pieces.SizeOf(RIGHT3);
    pieces.Stretch(LEFT3, 0, Y2, left3.width(), Y1);
    pieces.Stretch(RIGHT3, W - right3.width(), Y2, W, Y1);

    // The band above the strip; its right end is placed by the width of the left one.
    QSize midLeft = pieces.SizeOf(MID_LEFT);
    int32_t Y3 = Y2 - midLeft.height();
    pieces.DrawAt(MID_LEFT, 0, Y3);
    pieces.DrawAt(MID_RIGHT, W - midLeft.width(), Y3);
    pieces.Stretch(MID_TOP, midLeft.width(), Y3, W - midLeft.width(), Y2);

    // Side borders between the top strip and the band; the right one takes the left's width.
    QSize left2 = pieces.SizeOf(LEFT2);
    pieces.Stretch(LEFT2, 0, barLeft.height(), left2.width(), Y3);
    pieces.Stretch(RIGHT2, W - left2.width(), barLeft.height(), W, Y3);

    // The control strip between its ends in the skin's main colour.
    if (W - right3.width() > left3.width() && Y1 > Y2)
        painter.fillRect(QRect(left3.width(), Y2, W - right3.width() - left3.width(), Y1 - Y2),
                         SkinColor(clrMainBg));

    // The frame around the banner, drawn whether or not a banner is shown.
    const int32_t L = rcBannerFrame.nLeft;
    const int32_t T = rcBannerFrame.nTop;
    const int32_t R = rcBannerFrame.nRight;
    const int32_t B = rcBannerFrame.nBottom;
    pieces.DrawAt(FRAME_TOP_LEFT, L - 3, T - 3);
    pieces.DrawAt(FRAME_TOP_RIGHT, R - 8, T - 3);
    pieces.DrawAt(FRAME_BOTTOM_LEFT, L - 3, B - 8);
    pieces.DrawAt(FRAME_BOTTOM_RIGHT, R - 8, B - 8);
    pieces.Stretch(FRAME_TOP, L + 5, T - 3, R - 5, T);
    pieces.Stretch(FRAME_TOP, L + 5, B - 3, R - 5, B);
    pieces.Stretch(FRAME_LEFT, L - 3, T + 5, L, B - 5);
    pieces.Stretch(FRAME_LEFT, R - 3, T + 5, R, B - 5);

    painter.end();
    return surface;
}

void CSkinFramePainter::Paint(QPainter& painter, const QRect& clientRect, int32_t nControlBarHeight,
                              const CEdges& rcBannerFrame, uint32_t clrMainBg)
{
    if (clientRect.isEmpty())
        return;
    QImage surface = PaintSurface(clientRect.width(), clientRect.height(), nControlBarHeight,
                                  rcBannerFrame, clrMainBg);
    painter.drawImage(clientRect.topLeft(), surface);
}
