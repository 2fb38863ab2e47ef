// GDI objects behind their handles: the table of live objects, brushes, pens
// and the stock objects.
//
// A handle is a number from the table, never a pointer, so a stale or foreign
// handle is refused instead of followed. Objects are shared: a device context
// holds the objects selected into it, so deleting a handle never pulls an
// object from under a context that still draws with it.
#pragma once

#include <memory>

#include "platform/gdi/gdi_types.h"

namespace skyvane::gdi {

class GdiObject {
public:
    virtual ~GdiObject() = default;
    virtual DWORD Type() const = 0;  // OBJ_PEN, OBJ_BRUSH, OBJ_FONT, OBJ_BITMAP
    virtual int Describe(int cbBuffer, void* out) const = 0;  // GetObjectW
};

class Brush : public GdiObject {
public:
    explicit Brush(COLORREF colour, bool hollow = false) : colour(colour), hollow(hollow) {}
    DWORD Type() const override { return OBJ_BRUSH; }
    int Describe(int cbBuffer, void* out) const override;
    const COLORREF colour;
    const bool hollow;
};

class Pen : public GdiObject {
public:
    Pen(int style, int width, COLORREF colour) : style(style), width(width < 1 ? 1 : width), colour(colour) {}
    DWORD Type() const override { return OBJ_PEN; }
    int Describe(int cbBuffer, void* out) const override;
    const int style;  // PS_SOLID, PS_DASH, PS_NULL
    const int width;
    const COLORREF colour;
};

// Registers an object; stock objects are never removed.
HGDIOBJ AddObject(std::shared_ptr<GdiObject> object, bool stock = false);
std::shared_ptr<GdiObject> FindObject(HGDIOBJ handle);
template <class T>
std::shared_ptr<T> FindObjectAs(HGDIOBJ handle) {
    return std::dynamic_pointer_cast<T>(FindObject(handle));
}
bool IsStockObject(HGDIOBJ handle);
// Removes a handle from the table; false when it is unknown.
bool RemoveObject(HGDIOBJ handle);

// Cairo source colour of a COLORREF.
struct Rgb {
    double r, g, b;
};
inline Rgb ToRgb(COLORREF c) { return Rgb{GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0}; }

}  // namespace skyvane::gdi
