#include "skin/MyPicture.h"
#include "skin/WidgetTestSupport.h"

#include <QPainter>

namespace
{

using MyPictureTest = ScratchHome;

TEST_F(MyPictureTest, LeavesTransparentGifPixelsAlone)
{
    // The shipped corner's ring is opaque; the part over the banner is see-through.
    CMyPicture picture;
    picture.Load(CMyString(ORVANTA_SOURCE_DIR "/res/Skin/FrameTopLeft.gif"));
    QImage canvas(8, 8, QImage::Format_RGB32);
    canvas.fill(Qt::blue);
    QPainter painter(&canvas);
    EXPECT_TRUE(picture.DrawAt(&painter, 0, 0));
    painter.end();
    EXPECT_EQ(PixelAt(canvas, 7, 7), QColor(Qt::blue));
    EXPECT_NE(PixelAt(canvas, 0, 7), QColor(Qt::blue));
}

// A picture larger than its box is shrunk by the smaller ratio and centred in the box.
TEST_F(MyPictureTest, ShrinksIntoItsBoxOrDrawsNothingWithoutAPicture)
{
    ASSERT_TRUE(WritePicture(Path("wide.png"), 60, 20, Qt::red));
    QImage canvas(40, 40, QImage::Format_RGB32);
    canvas.fill(Qt::blue);
    QPainter painter(&canvas);
    const QRect rect(0, 0, 30, 30);
    CMyPicture boxed(30, 30);
    boxed.Load(CMyString(Path("wide.png").c_str()));
    EXPECT_TRUE(boxed.Draw(&painter, &rect, false));
    int32_t nWidth = -1;
    int32_t nHeight = -1;
    EXPECT_TRUE(boxed.GetSize(nWidth, nHeight));
    EXPECT_EQ(QSize(nWidth, nHeight), QSize(30, 10));
    EXPECT_EQ(PixelAt(canvas, 29, 10), QColor(Qt::red));
    EXPECT_EQ(PixelAt(canvas, 15, 9), QColor(Qt::blue));
    CInstallPathScope installPath(Path("install"));
    Write("broken.gif", "GIF89a this is not a picture");
    for (const std::string& strPath : {std::string("res/Skin/Nowhere.gif"), Path("broken.gif")})
    {
        CMyPicture picture;
        picture.Load(CMyString(strPath.c_str()));
        EXPECT_STREQ(picture.GetPath().GetBuffer(), strPath.c_str());
        EXPECT_FALSE(picture.GetSize(nWidth, nHeight));
        EXPECT_EQ(QSize(nWidth, nHeight), QSize(0, 0));
        EXPECT_FALSE(picture.Draw(&painter, &rect, true));
        EXPECT_FALSE(picture.DrawAt(&painter, 0, 0));
    }
}

} // namespace
