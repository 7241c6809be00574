#pragma once

#include "text/MyString.h"

#include <QImage>

#include <cstdint>

class QPainter;
class QRect;

// One picture file of the skin (GIF with its transparency, also JPEG, PNG, BMP...), read lazily
// and drawn at its own size, stretched into a rectangle, or shrunk into a fixed box.
class CMyPicture
{
public:
    // A box of (0, 0) means no box; the menu gives its item pictures a box of 30 by 30.
    explicit CMyPicture(int32_t nBoxWidth = 0, int32_t nBoxHeight = 0);
    // A copy takes the path, the box and the cached size; it reads the file again when drawn.
    CMyPicture(const CMyPicture& other);
    CMyPicture& operator=(const CMyPicture& other);
    virtual ~CMyPicture() = default;

    // Stores the path as ResolvePath gives it and forgets the previous picture and size. The file
    // is read at the first size query or drawing.
    void Load(const CMyString& strPath);
    // True when a path is set (whether or not its file can be read).
    bool IsValid() const { return !m_strPath.IsEmpty(); }
    const CMyString& GetPath() const { return m_strPath; }

    // The size last drawn, or else the picture's own size in pixels. False, with 0 and 0, when
    // there is no picture.
    bool GetSize(int32_t& nWidth, int32_t& nHeight);
    // Draws the picture into *pRect: stretched to it, or else at its own size fitted into the
    // box. Transparent pixels are left alone. False when nothing was drawn. The last flag has no
    // effect.
    bool Draw(QPainter* pPainter, const QRect* pRect, bool bStretch, bool bUnused = false);
    // Draws the picture at its size with its top-left corner at (x, y).
    bool DrawAt(QPainter* pPainter, int32_t x, int32_t y);

    // Where a skin path is found: the path itself when that file exists, else the install path
    // g_strPath joined with it when that file exists, in both cases also matching names that
    // differ only in case; otherwise the path unchanged.
    static CMyString ResolvePath(const CMyString& strPath);

private:
    // Reads the file once per path; false when it cannot be read or decoded.
    bool LoadPicture();

    QImage m_Picture;
    bool m_bTriedLoading = false;
    int32_t m_nBoxWidth;
    int32_t m_nBoxHeight;
    int32_t m_nWidth = 0;
    int32_t m_nHeight = 0;
    CMyString m_strPath;
};
