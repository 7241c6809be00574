#include "shell/SkinFramePainter.h"
#include "skin/MyOwnButton.h"
#include "skin/WidgetTestSupport.h"

#include <map>
#include <tuple>

namespace
{
using CPainter = CSkinFramePainter;

// What the surface shows at (x, y): a piece by its file's name without the extension, "main"
// (the main colour) or "black".
struct Spot
{
    int x;
    int y;
    const char* pszShows;
};

class SkinFramePainterTest : public ScratchHome
{
protected:
    // Every piece of a plain skin in a colour of its own, in a folder whose case differs from
    // the res/skin/... the painter asks for.
    void WriteSkin()
    {
        const std::tuple<const char*, int, int> pieces[] = {
            {"BarLeft", 10, 30},       {"BarRight", 14, 30},       {"BarTop", 4, 30},
            {"CornerLeft", 20, 30},    {"CornerRight", 20, 20},    {"Bottom", 4, 30},
            {"Left3", 20, 4},          {"Right3", 16, 4},          {"MidLeft", 12, 14},
            {"MidRight", 6, 14},       {"MidTop", 4, 14},          {"Left2", 20, 4},
            {"Right2", 7, 4},          {"FrameTopLeft", 8, 8},     {"FrameTopRight", 8, 8},
            {"FrameBottomLeft", 8, 8}, {"FrameBottomRight", 8, 8}, {"FrameTop", 4, 3},
            {"FrameLeft", 3, 4}};
        for (const auto& [pszName, nWidth, nHeight] : pieces)
        {
            // Through 8-bit RGB, so it compares equal to what is read back from the surface.
            const int n = static_cast<int>(m_colors.size());
            const QColor clr = QColor::fromHsv(n * 37 % 360, 200, 120 + n * 6).rgb();
            EXPECT_TRUE(WritePicture(Path("install/res/Skin/" + std::string(pszName) + ".gif"),
                                     nWidth, nHeight, clr));
            m_colors[pszName] = clr;
        }
    }
    QImage Paint(const CPainter::CEdges& banner = {})
    {
        CInstallPathScope installPath(Path("install"));
        return CPainter::PaintSurface(1000, 600, 40, banner, m_clrMainBg);
    }
    template <size_t N> void ExpectShows(const QImage& image, const Spot (&spots)[N])
    {
        for (const Spot& spot : spots)
            EXPECT_EQ(PixelAt(image, spot.x, spot.y), m_colors.at(spot.pszShows))
                << spot.x << "," << spot.y << " should show " << spot.pszShows;
    }
    const uint32_t m_clrMainBg = SkinRgb(10, 20, 30);
    std::map<std::string, QColor> m_colors = {{"main", SkinColor(m_clrMainBg)},
                                              {"black", Qt::black}};
};

TEST_F(SkinFramePainterTest, PlacesTheStripsTheCornersAndTheBannerFrameAndSkipsMissingPieces)
{
    WriteSkin();
    const QImage image = Paint();
    // Edges of each strip: the top bar's ends, the corners from y 570 (the right one 20 high),
    // the stretched ends of the control strip (530 to 570), the band above it whose right end is
    // placed by the left end's width, and the side borders down to the band.
    const Spot spots[] = {{9, 12, "BarLeft"},     {10, 12, "BarTop"},        {985, 29, "BarTop"},
                          {986, 12, "BarRight"},  {4, 4, "FrameTopLeft"},    {5, 5, "BarLeft"},
                          {0, 570, "CornerLeft"}, {999, 589, "CornerRight"}, {999, 590, "black"},
                          {20, 570, "Bottom"},    {19, 530, "Left3"},        {984, 569, "Right3"},
                          {20, 530, "main"},      {983, 569, "main"},        {12, 516, "MidTop"},
                          {988, 516, "MidRight"}, {994, 516, "black"},       {0, 515, "Left2"},
                          {980, 30, "Right2"},    {500, 300, "black"}};
    ExpectShows(image, spots);
    EXPECT_NE(PixelAt(image, 500, 529), m_colors["Left3"]);
    const Spot frame[] = {{497, 517, "FrameTopLeft"},    {966, 517, "FrameTopRight"},
                          {497, 579, "FrameBottomLeft"}, {967, 579, "FrameBottomRight"},
                          {505, 517, "FrameTop"},        {962, 519, "FrameTop"},
                          {505, 577, "FrameTop"},        {497, 525, "FrameLeft"},
                          {965, 574, "FrameLeft"},       {700, 550, "main"}};
    ExpectShows(Paint({500, 520, 968, 580}), frame);

    // A missing picture counts as nothing.
    std::filesystem::remove(Path("install/res/Skin/Right3.gif"));
    const Spot noRight3[] = {{999, 550, "main"}};
    ExpectShows(Paint(), noRight3);
    // With no skin at all the surface is black with the colour strip along the bottom.
    std::filesystem::remove_all(Path("install"));
    const Spot none[] = {{0, 0, "black"}, {0, 559, "black"}, {0, 560, "main"}, {999, 599, "main"}};
    ExpectShows(Paint(), none);
}
} // namespace
