#include "shell/SkinFramePainter.h"
#include "skin/MyOwnButton.h"
#include "skin/WidgetTestSupport.h"

#include <map>

namespace
{

using CPainter = CSkinFramePainter;

class SkinFramePainterTest : public ScratchHome
{
protected:
    // Writes one frame piece of a colour of its own under the install path's skin folder.
    QColor Piece(const char* pszPath, int nWidth, int nHeight)
    {
        // Through 8-bit RGB, so it compares equal to what is read back from the surface.
        QColor clr = QColor::fromHsv((static_cast<int>(m_colors.size()) * 37) % 360, 200,
                                     static_cast<int>(120 + m_colors.size() * 6))
                         .rgb();
        std::string strName = std::string(pszPath).substr(std::string("res/skin/").size());
        EXPECT_TRUE(WritePicture(Path("install/res/Skin/" + strName), nWidth, nHeight, clr));
        m_colors[pszPath] = clr;
        return clr;
    }

    // Every piece of a plain skin: ends and corners 10 to 20 pixels, frame corners 8 by 8.
    void WriteSkin(bool bWithRight3 = true)
    {
        Piece(CPainter::BAR_LEFT, 10, 30);
        Piece(CPainter::BAR_RIGHT, 14, 30);
        Piece(CPainter::BAR_TOP, 4, 30);
        Piece(CPainter::CORNER_LEFT, 20, 30);
        Piece(CPainter::CORNER_RIGHT, 20, 20);
        Piece(CPainter::BOTTOM, 4, 30);
        Piece(CPainter::LEFT3, 20, 4);
        if (bWithRight3)
            Piece(CPainter::RIGHT3, 16, 4);
        Piece(CPainter::MID_LEFT, 12, 14);
        Piece(CPainter::MID_RIGHT, 6, 14);
        Piece(CPainter::MID_TOP, 4, 14);
        Piece(CPainter::LEFT2, 20, 4);
        Piece(CPainter::RIGHT2, 7, 4);
        Piece(CPainter::FRAME_TOP_LEFT, 8, 8);
        Piece(CPainter::FRAME_TOP_RIGHT, 8, 8);
        Piece(CPainter::FRAME_BOTTOM_LEFT, 8, 8);
        Piece(CPainter::FRAME_BOTTOM_RIGHT, 8, 8);
        Piece(CPainter::FRAME_TOP, 4, 3);
        Piece(CPainter::FRAME_LEFT, 3, 4);
    }

    QImage Paint(const CPainter::CEdges& banner = {})
    {
        CInstallPathScope installPath(Path("install"));
        return CPainter::PaintSurface(1000, 600, 40, banner, m_clrMainBg);
    }

    bool Shows(const QImage& image, int x, int y, const char* pszPiece)
    {
        return PixelAt(image, x, y) == m_colors[pszPiece];
    }

    const uint32_t m_clrMainBg = SkinRgb(10, 20, 30);
    std::map<std::string, QColor> m_colors;
};

TEST_F(SkinFramePainterTest, PlacesTheStripsAndCorners)
{
    WriteSkin();
    QImage image = Paint();
    // Top strip: BarTop covers x 10 to 985 between ends 10 and 14 pixels wide.
    EXPECT_TRUE(Shows(image, 9, 12, CPainter::BAR_LEFT));
    EXPECT_TRUE(Shows(image, 10, 12, CPainter::BAR_TOP));
    EXPECT_TRUE(Shows(image, 985, 29, CPainter::BAR_TOP));
    EXPECT_TRUE(Shows(image, 986, 12, CPainter::BAR_RIGHT));
    // Bottom: both corners start at y 570 (the left one is 30 high, the right one 20).
    EXPECT_TRUE(Shows(image, 0, 570, CPainter::CORNER_LEFT));
    EXPECT_TRUE(Shows(image, 999, 570, CPainter::CORNER_RIGHT));
    EXPECT_TRUE(Shows(image, 999, 589, CPainter::CORNER_RIGHT));
    EXPECT_EQ(PixelAt(image, 999, 590), QColor(Qt::black));
    EXPECT_TRUE(Shows(image, 20, 570, CPainter::BOTTOM));
    EXPECT_TRUE(Shows(image, 979, 599, CPainter::BOTTOM));
    // Control strip from 530 to 570: its ends stretched, the main colour between them.
    EXPECT_TRUE(Shows(image, 19, 530, CPainter::LEFT3));
    EXPECT_TRUE(Shows(image, 984, 569, CPainter::RIGHT3));
    EXPECT_EQ(PixelAt(image, 20, 530), SkinColor(m_clrMainBg));
    EXPECT_EQ(PixelAt(image, 983, 569), SkinColor(m_clrMainBg));
    EXPECT_FALSE(Shows(image, 500, 529, CPainter::LEFT3));
    // The band above it, 14 high; its right end is placed by the left end's width (12).
    EXPECT_TRUE(Shows(image, 0, 516, CPainter::MID_LEFT));
    EXPECT_TRUE(Shows(image, 12, 516, CPainter::MID_TOP));
    EXPECT_TRUE(Shows(image, 988, 516, CPainter::MID_RIGHT));
    EXPECT_EQ(PixelAt(image, 994, 516), QColor(Qt::black));
    // Side borders from below the top strip down to the band, both 20 wide.
    EXPECT_TRUE(Shows(image, 19, 30, CPainter::LEFT2));
    EXPECT_TRUE(Shows(image, 0, 515, CPainter::LEFT2));
    EXPECT_TRUE(Shows(image, 980, 30, CPainter::RIGHT2));
    EXPECT_TRUE(Shows(image, 999, 515, CPainter::RIGHT2));
    EXPECT_EQ(PixelAt(image, 500, 300), QColor(Qt::black));
}

TEST_F(SkinFramePainterTest, FramesTheBanner)
{
    WriteSkin();
    QImage image = Paint({500, 520, 968, 580});
    EXPECT_TRUE(Shows(image, 497, 517, CPainter::FRAME_TOP_LEFT));
    EXPECT_TRUE(Shows(image, 966, 517, CPainter::FRAME_TOP_RIGHT));
    EXPECT_TRUE(Shows(image, 497, 579, CPainter::FRAME_BOTTOM_LEFT));
    EXPECT_TRUE(Shows(image, 967, 579, CPainter::FRAME_BOTTOM_RIGHT));
    EXPECT_TRUE(Shows(image, 505, 517, CPainter::FRAME_TOP));
    EXPECT_TRUE(Shows(image, 962, 519, CPainter::FRAME_TOP));
    EXPECT_TRUE(Shows(image, 505, 577, CPainter::FRAME_TOP));
    EXPECT_TRUE(Shows(image, 497, 525, CPainter::FRAME_LEFT));
    EXPECT_TRUE(Shows(image, 965, 574, CPainter::FRAME_LEFT));
    EXPECT_EQ(PixelAt(image, 700, 550), SkinColor(m_clrMainBg));
}

TEST_F(SkinFramePainterTest, WithoutBannerTheFrameCornersStandAtTheOrigin)
{
    WriteSkin();
    QImage image = Paint();
    EXPECT_TRUE(Shows(image, 0, 0, CPainter::FRAME_TOP_LEFT));
    EXPECT_TRUE(Shows(image, 4, 4, CPainter::FRAME_TOP_LEFT));
    EXPECT_TRUE(Shows(image, 5, 5, CPainter::BAR_LEFT));
}

TEST_F(SkinFramePainterTest, AMissingPictureCountsAsNothing)
{
    WriteSkin(false);
    QImage image = Paint();
    EXPECT_EQ(PixelAt(image, 999, 550), SkinColor(m_clrMainBg));

    // With no skin at all the surface is black with the colour strip along the bottom.
    std::filesystem::remove_all(Path("install"));
    image = Paint();
    EXPECT_EQ(PixelAt(image, 0, 0), QColor(Qt::black));
    EXPECT_EQ(PixelAt(image, 0, 559), QColor(Qt::black));
    EXPECT_EQ(PixelAt(image, 0, 560), SkinColor(m_clrMainBg));
    EXPECT_EQ(PixelAt(image, 999, 599), SkinColor(m_clrMainBg));
}

} // namespace
