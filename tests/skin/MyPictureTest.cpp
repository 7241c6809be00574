#include "skin/MyPicture.h"
#include "skin/WidgetTestSupport.h"

#include <QPainter>

namespace
{

class MyPictureTest : public ScratchHome
{
protected:
    // Draws the picture into a white canvas through the box rule (no stretching) and answers the
    // canvas.
    QImage DrawInBox(int nWidth, int nHeight)
    {
        std::string strPath = Path("pic.png");
        EXPECT_TRUE(WritePicture(strPath, nWidth, nHeight, Qt::red));
        CMyPicture picture(30, 30);
        picture.Load(CMyString(strPath.c_str()));
        QImage canvas(40, 40, QImage::Format_RGB32);
        canvas.fill(Qt::white);
        QPainter painter(&canvas);
        QRect rect(0, 0, 30, 30);
        EXPECT_TRUE(picture.Draw(&painter, &rect, false));
        painter.end();
        int32_t nDrawnWidth = 0;
        int32_t nDrawnHeight = 0;
        picture.GetSize(nDrawnWidth, nDrawnHeight);
        m_drawn = QSize(nDrawnWidth, nDrawnHeight);
        return canvas;
    }

    // The bounding box of the red pixels.
    static QRect RedArea(const QImage& image)
    {
        QRect area;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (IsNear(PixelAt(image, x, y), Qt::red, 40))
                    area |= QRect(x, y, 1, 1);
        return area;
    }

    QSize m_drawn;
};

TEST_F(MyPictureTest, FitsIntoItsBoxAndCentresWhatIsLeft)
{
    // Wider than the box: shrunk by the width's ratio, centred vertically, flush left.
    EXPECT_EQ(RedArea(DrawInBox(100, 50)), QRect(0, 7, 30, 15));
    EXPECT_EQ(m_drawn, QSize(30, 15));
    // Smaller in both directions: own size, centred both ways.
    EXPECT_EQ(RedArea(DrawInBox(20, 20)), QRect(5, 5, 20, 20));
    // As wide as the box: ratio 1, centred vertically only.
    EXPECT_EQ(RedArea(DrawInBox(30, 20)), QRect(0, 5, 30, 20));
}

TEST_F(MyPictureTest, StretchesAndDrawsAtItsOwnSize)
{
    std::string strPath = Path("pic.png");
    ASSERT_TRUE(WritePicture(strPath, 10, 4, Qt::red));
    CMyPicture picture;
    picture.Load(CMyString(strPath.c_str()));
    int32_t nWidth = 0;
    int32_t nHeight = 0;
    ASSERT_TRUE(picture.GetSize(nWidth, nHeight));
    EXPECT_EQ(QSize(nWidth, nHeight), QSize(10, 4));

    QImage canvas(40, 40, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    QRect rect(5, 6, 20, 30);
    EXPECT_TRUE(picture.Draw(&painter, &rect, true));
    painter.end();
    EXPECT_EQ(RedArea(canvas), rect);
    // The size last drawn is what a later size query answers.
    picture.GetSize(nWidth, nHeight);
    EXPECT_EQ(QSize(nWidth, nHeight), QSize(20, 30));

    canvas.fill(Qt::white);
    painter.begin(&canvas);
    picture.Load(CMyString(strPath.c_str()));
    EXPECT_TRUE(picture.DrawAt(&painter, 3, 2));
    painter.end();
    EXPECT_EQ(RedArea(canvas), QRect(3, 2, 10, 4));
}

TEST_F(MyPictureTest, LeavesTransparentGifPixelsAlone)
{
    Write("t.gif", TransparentGif());
    CMyPicture picture;
    picture.Load(CMyString(Path("t.gif").c_str()));
    QImage canvas(4, 2, QImage::Format_RGB32);
    canvas.fill(Qt::blue);
    QPainter painter(&canvas);
    EXPECT_TRUE(picture.DrawAt(&painter, 0, 0));
    painter.end();
    EXPECT_EQ(PixelAt(canvas, 0, 0), QColor(Qt::blue));
    EXPECT_EQ(PixelAt(canvas, 3, 1), QColor(Qt::red));
}

TEST_F(MyPictureTest, FindsSkinFilesBelowTheInstallPathIgnoringCase)
{
    ASSERT_TRUE(WritePicture(Path("install/res/Skin/Play.Gif"), 6, 6, Qt::red));
    CInstallPathScope installPath(Path("install"));

    CMyPicture picture;
    picture.Load(CMyString("res/skin/play.gif"));
    EXPECT_STREQ(picture.GetPath().GetBuffer(), Path("install/res/Skin/Play.Gif").c_str());
    int32_t nWidth = 0;
    int32_t nHeight = 0;
    EXPECT_TRUE(picture.GetSize(nWidth, nHeight));

    // Absolute paths are matched ignoring case as well.
    picture.Load(CMyString(Path("INSTALL/res/SKIN/PLAY.GIF").c_str()));
    EXPECT_STREQ(picture.GetPath().GetBuffer(), Path("install/res/Skin/Play.Gif").c_str());
}

TEST_F(MyPictureTest, MissingOrBrokenFilesDrawNothing)
{
    CInstallPathScope installPath(Path("install"));
    Write("broken.gif", "GIF89a this is not a picture");
    QImage canvas(10, 10, QImage::Format_RGB32);
    QPainter painter(&canvas);
    QRect rect(0, 0, 5, 5);
    for (const std::string& strPath : {std::string("res/Skin/Nowhere.gif"), Path("broken.gif")})
    {
        CMyPicture picture;
        picture.Load(CMyString(strPath.c_str()));
        EXPECT_STREQ(picture.GetPath().GetBuffer(), strPath.c_str());
        int32_t nWidth = -1;
        int32_t nHeight = -1;
        EXPECT_FALSE(picture.GetSize(nWidth, nHeight));
        EXPECT_EQ(nWidth, 0);
        EXPECT_EQ(nHeight, 0);
        EXPECT_FALSE(picture.Draw(&painter, &rect, true));
        EXPECT_FALSE(picture.DrawAt(&painter, 0, 0));
    }
    CMyPicture empty;
    EXPECT_FALSE(empty.IsValid());
    EXPECT_FALSE(empty.Draw(&painter, &rect, true));
}

} // namespace
