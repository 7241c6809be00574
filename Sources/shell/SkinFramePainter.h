#pragma once

#include <QImage>
#include <QRect>

#include <cstdint>

class QPainter;

// Paints the main window's whole surface from the skin's frame pictures: the top strip, the
// bottom edge with its corners, the control strip, the band above it, the side borders and the
// frame around the banner. The surface is drawn off-screen first and copied in one step, so
// resizing does not flicker.
class CSkinFramePainter
{
public:
    // The banner frame is given by its edges (left, top, right, bottom), as the frame keeps it.
    struct CEdges
    {
        int32_t nLeft = 0;
        int32_t nTop = 0;
        int32_t nRight = 0;
        int32_t nBottom = 0;
    };

    // The pictures below the install path, in the order they are drawn.
    static constexpr const char* BAR_LEFT = "res/skin/BarLeft.gif";
    static constexpr const char* BAR_RIGHT = "res/skin/BarRight.gif";
    static constexpr const char* BAR_TOP = "res/skin/BarTop.gif";
    static constexpr const char* CORNER_LEFT = "res/skin/CornerLeft.gif";
    static constexpr const char* CORNER_RIGHT = "res/skin/CornerRight.gif";
    static constexpr const char* BOTTOM = "res/skin/Bottom.gif";
    static constexpr const char* LEFT3 = "res/skin/Left3.gif";
    static constexpr const char* RIGHT3 = "res/skin/Right3.gif";
    static constexpr const char* MID_LEFT = "res/skin/MidLeft.gif";
    static constexpr const char* MID_RIGHT = "res/skin/MidRight.gif";
    static constexpr const char* MID_TOP = "res/skin/MidTop.gif";
    static constexpr const char* LEFT2 = "res/skin/Left2.gif";
    static constexpr const char* RIGHT2 = "res/skin/Right2.gif";
    static constexpr const char* FRAME_TOP_LEFT = "res/skin/FrameTopLeft.gif";
    static constexpr const char* FRAME_TOP_RIGHT = "res/skin/FrameTopRight.gif";
    static constexpr const char* FRAME_BOTTOM_LEFT = "res/skin/FrameBottomLeft.gif";
    static constexpr const char* FRAME_BOTTOM_RIGHT = "res/skin/FrameBottomRight.gif";
    static constexpr const char* FRAME_TOP = "res/skin/FrameTop.gif";
    static constexpr const char* FRAME_LEFT = "res/skin/FrameLeft.gif";

    // The surface of a client area of nWidth by nHeight pixels. The control strip is
    // nControlBarHeight high and filled with clrMainBg between its end pieces; the banner frame
    // stands around rcBannerFrame (all zero before the first layout or without a banner). A
    // picture that cannot be loaded is skipped and counts as 0 by 0 where positions depend on it.
    static QImage PaintSurface(int32_t nWidth, int32_t nHeight, int32_t nControlBarHeight,
                               const CEdges& rcBannerFrame, uint32_t clrMainBg);

    // Paints the surface of clientRect onto the painter in one copy. The window has no system
    // frame, so the surface covers the client area exactly, from its top-left corner.
    static void Paint(QPainter& painter, const QRect& clientRect, int32_t nControlBarHeight,
                      const CEdges& rcBannerFrame, uint32_t clrMainBg);
};
