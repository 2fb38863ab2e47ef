// The platform's drawing library (GDI) over Cairo and Pango.
//
// Device contexts draw into window surfaces (GetDC, BeginPaint), memory
// bitmaps (CreateCompatibleDC and SelectObject) and 32-bit DIB sections, whose
// pixels the caller reads and writes directly. Coordinates are pixels; shapes
// and lines are drawn without anti-aliasing, as the platform draws them, and
// text is anti-aliased. What callers rely on, and where this differs from the
// platform, is said at each function.
#pragma once

#include "platform/gdi/gdi_types.h"

// ---------------------------------------------------------------------------
// Objects. DeleteObject of an object still selected into a device context
// removes its handle at once; the context keeps drawing with it until another
// object is selected (the platform leaves that case undefined). Stock objects
// are never deleted: DeleteObject of one returns TRUE and does nothing.
HGDIOBJ GetStockObject(int fnObject);
BOOL DeleteObject(HGDIOBJ hObject);
// Fills a LOGPEN, LOGBRUSH, LOGFONTW, BITMAP or DIBSECTION; with a NULL buffer
// returns the size needed. 0 for an unknown handle or a buffer too small.
int GetObjectW(HGDIOBJ hObject, int cbBuffer, LPVOID lpvObject);
inline int GetObject(HGDIOBJ h, int cb, LPVOID p) { return GetObjectW(h, cb, p); }
DWORD GetObjectType(HGDIOBJ h);

HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH CreateBrushIndirect(const LOGBRUSH* lplb);
HPEN CreatePen(int fnPenStyle, int nWidth, COLORREF crColor);
// Faces are found through fontconfig; characters the face lacks come from
// other installed fonts (Cyrillic, Greek, Chinese, Japanese, Korean).
HFONT CreateFontIndirectW(const LOGFONTW* lplf);
inline HFONT CreateFontIndirect(const LOGFONTW* lplf) { return CreateFontIndirectW(lplf); }

// Bitmaps. CreateBitmap takes top-down rows of 1, 16 (5-6-5), 24 or 32 bits
// per pixel, each row padded to 16 bits, and copies them.
HBITMAP CreateBitmap(int nWidth, int nHeight, UINT cPlanes, UINT cBitsPerPel, const void* lpvBits);
// A bitmap of the device's format (and, on a scaled window, of its pixel
// density): its pixels are reached only by drawing.
HBITMAP CreateCompatibleBitmap(HDC hdc, int nWidth, int nHeight);
// A 32-bit (BI_RGB, blue-green-red-alpha bytes) or 16-bit (BI_BITFIELDS
// 5-6-5) DIB section; biHeight > 0 stores the rows bottom-up. *ppvBits points
// at the pixels, which stay valid until the bitmap is deleted. Drawing on a
// 32-bit section writes alpha 255 where it paints. Other formats fail with
// ERROR_INVALID_PARAMETER.
HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* pbmi, UINT iUsage, void** ppvBits, HANDLE hSection,
                         DWORD dwOffset);
// Copies rows [uStartScan, uStartScan + cScanLines) of the bitmap into lpvBits
// as 32-bit pixels in the order pbmi's biHeight gives; with lpvBits NULL fills
// in the header (32 bits, BI_RGB). Returns the number of rows copied.
int GetDIBits(HDC hdc, HBITMAP hbmp, UINT uStartScan, UINT cScanLines, LPVOID lpvBits, BITMAPINFO* lpbi, UINT uUsage);

// ---------------------------------------------------------------------------
// Device contexts.
HDC CreateCompatibleDC(HDC hdc);  // NULL: compatible with the screen
BOOL DeleteDC(HDC hdc);
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ hgdiobj);  // returns the object it replaced
HGDIOBJ GetCurrentObject(HDC hdc, UINT uObjectType);
// The state stack: pen, brush, font, bitmap, colours, modes, position, clip.
// RestoreDC(-1) restores the last save; a positive level restores that save
// and drops the ones above it.
int SaveDC(HDC hdc);
BOOL RestoreDC(HDC hdc, int nSavedDC);

COLORREF SetTextColor(HDC hdc, COLORREF crColor);
COLORREF GetTextColor(HDC hdc);
COLORREF SetBkColor(HDC hdc, COLORREF crColor);
COLORREF GetBkColor(HDC hdc);
int SetBkMode(HDC hdc, int iBkMode);
int GetBkMode(HDC hdc);
int SetStretchBltMode(HDC hdc, int iStretchMode);
int SetPolyFillMode(HDC hdc, int iPolyFillMode);
UINT SetTextAlign(HDC hdc, UINT fMode);
BOOL SetViewportOrgEx(HDC hdc, int X, int Y, LPPOINT lpPoint);
BOOL GetViewportOrgEx(HDC hdc, LPPOINT lpPoint);

// LOGPIXELSX/Y give the device profile's dpi; HORZRES/VERTRES the screen, or a
// memory context's bitmap; SHADEBLENDCAPS says AlphaBlend is available.
int GetDeviceCaps(HDC hdc, int nIndex);

// Clipping: the clip box is in logical coordinates.
int IntersectClipRect(HDC hdc, int nLeftRect, int nTopRect, int nRightRect, int nBottomRect);
int ExcludeClipRect(HDC hdc, int nLeftRect, int nTopRect, int nRightRect, int nBottomRect);
int GetClipBox(HDC hdc, LPRECT lprc);
int SelectClipRgn(HDC hdc, HRGN hrgn);  // only NULL (remove the clip) is supported

// ---------------------------------------------------------------------------
// Shapes, drawn with the selected pen (outline) and brush (inside), without
// anti-aliasing. A 1-pixel outline of Rectangle(l, t, r, b) covers the pixels
// l..r-1 and t..b-1; LineTo draws up to but not including its end point.
int FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr);
int FrameRect(HDC hDC, const RECT* lprc, HBRUSH hbr);
BOOL DrawFocusRect(HDC hDC, const RECT* lprc);
BOOL Rectangle(HDC hdc, int nLeftRect, int nTopRect, int nRightRect, int nBottomRect);
BOOL RoundRect(HDC hdc, int nLeftRect, int nTopRect, int nRightRect, int nBottomRect, int nWidth, int nHeight);
BOOL Ellipse(HDC hdc, int nLeftRect, int nTopRect, int nRightRect, int nBottomRect);
BOOL Polyline(HDC hdc, const POINT* lppt, int cPoints);
BOOL Polygon(HDC hdc, const POINT* lpPoints, int nCount);
BOOL MoveToEx(HDC hdc, int X, int Y, LPPOINT lpPoint);
BOOL LineTo(HDC hdc, int nXEnd, int nYEnd);
COLORREF GetPixel(HDC hdc, int nXPos, int nYPos);  // CLR_INVALID outside the surface or clip
COLORREF SetPixel(HDC hdc, int X, int Y, COLORREF crColor);

// ---------------------------------------------------------------------------
// Copies between contexts. Raster operations: SRCCOPY, PATCOPY, DSTINVERT,
// BLACKNESS, WHITENESS; others fail with ERROR_INVALID_PARAMETER.
BOOL BitBlt(HDC hdcDest, int nXDest, int nYDest, int nWidth, int nHeight, HDC hdcSrc, int nXSrc, int nYSrc,
            DWORD dwRop);
BOOL StretchBlt(HDC hdcDest, int nXOriginDest, int nYOriginDest, int nWidthDest, int nHeightDest, HDC hdcSrc,
                int nXOriginSrc, int nYOriginSrc, int nWidthSrc, int nHeightSrc, DWORD dwRop);
BOOL PatBlt(HDC hdc, int nXLeft, int nYLeft, int nWidth, int nHeight, DWORD dwRop);
// Copies the source, stretched, leaving the destination untouched wherever the
// source pixel has exactly the colour crTransparent. hSrc is a device context
// or a bitmap handle.
BOOL TransparentImage(HDC hdcDest, LONG DstX, LONG DstY, LONG DstCx, LONG DstCy, HANDLE hSrc, LONG SrcX, LONG SrcY,
                      LONG SrcCx, LONG SrcCy, COLORREF TransparentColor);
BOOL TransparentBlt(HDC hdcDest, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc, int xSrc, int ySrc,
                    int wSrc, int hSrc, UINT crTransparent);
// Source-over: dst = src × SCA/255 + dst × (1 − srcAlpha × SCA/255), where the
// source's colours are premultiplied by its alpha when AlphaFormat is
// AC_SRC_ALPHA and the source counts as opaque otherwise. FALSE with
// ERROR_INVALID_PARAMETER for another BlendOp, negative sizes, or a source
// rectangle outside the source bitmap.
BOOL AlphaBlend(HDC hdcDest, int xoriginDest, int yoriginDest, int wDest, int hDest, HDC hdcSrc, int xoriginSrc,
                int yoriginSrc, int wSrc, int hSrc, BLENDFUNCTION ftn);

// ---------------------------------------------------------------------------
// Text, in the selected font and text colour; with OPAQUE background mode each
// line's cell is first filled with the background colour.
//
// DrawTextW: DT_SINGLELINE keeps one line (CR and LF show as spaces);
// DT_VCENTER and DT_BOTTOM place that line (they need DT_SINGLELINE);
// DT_WORDBREAK breaks lines between words (a word wider than the rectangle
// breaks between characters); DT_END_ELLIPSIS ends a cut line with "…";
// DT_CALCRECT only measures: right becomes left + the widest line and bottom
// becomes top + the height, and the text then drawn into that rectangle stays
// inside it. Output is clipped to the rectangle unless DT_NOCLIP. "&" marks
// the next character as underlined ("&&" is "&") unless DT_NOPREFIX. Returns
// the text's height, or with DT_VCENTER or DT_BOTTOM the offset from the
// rectangle's top to the text's bottom; 0 on failure.
int DrawTextW(HDC hDC, LPCWSTR lpString, int nCount, LPRECT lpRect, UINT uFormat);
inline int DrawText(HDC hDC, LPCWSTR s, int n, LPRECT r, UINT f) { return DrawTextW(hDC, s, n, r, f); }
BOOL ExtTextOutW(HDC hdc, int X, int Y, UINT fuOptions, const RECT* lprc, LPCWSTR lpString, UINT cbCount,
                 const int* lpDx);
BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR lpString, int c, LPSIZE lpSize);
// How many characters fit in nMaxExtent (lpnFit), and the extent after each
// character (alpDx).
BOOL GetTextExtentExPointW(HDC hdc, LPCWSTR lpszStr, int cchString, int nMaxExtent, LPINT lpnFit, LPINT alpDx,
                           LPSIZE lpSize);
BOOL GetTextMetricsW(HDC hdc, LPTEXTMETRICW lptm);
inline BOOL GetTextMetrics(HDC hdc, LPTEXTMETRICW lptm) { return GetTextMetricsW(hdc, lptm); }
// The face of the selected font as fontconfig resolved it.
int GetTextFaceW(HDC hdc, int nCount, LPWSTR lpFaceName);
