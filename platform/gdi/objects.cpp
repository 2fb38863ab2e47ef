#include "platform/gdi/objects.h"

#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/base/log.h"
#include "platform/gdi/bitmap.h"
#include "platform/gdi/font.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/handles.h"

namespace skyvane::gdi {
namespace {

struct Entry {
    std::shared_ptr<GdiObject> object;
    bool stock;
};

// Handles count up from a base that no small integer or pointer reaches by
// accident; they are never reused within a process.
struct Table {
    std::mutex mutex;
    std::unordered_map<std::uintptr_t, Entry> entries;
    std::uintptr_t next = 0x6D0000;
};

Table& TheTable() {
    static Table* table = new Table;  // lives until exit: objects may be released from static destructors
    return *table;
}

template <class T>
int CopyOut(const T& value, int cbBuffer, void* out) {
    if (!out) return sizeof(T);
    if (cbBuffer < static_cast<int>(sizeof(T))) return 0;
    std::memcpy(out, &value, sizeof(T));
    return sizeof(T);
}

}  // namespace

int Brush::Describe(int cbBuffer, void* out) const {
    return CopyOut(LOGBRUSH{static_cast<UINT>(hollow ? BS_NULL : BS_SOLID), colour, 0}, cbBuffer, out);
}

int Pen::Describe(int cbBuffer, void* out) const {
    return CopyOut(LOGPEN{static_cast<UINT>(style), POINT{width, 0}, colour}, cbBuffer, out);
}

HGDIOBJ AddObject(std::shared_ptr<GdiObject> object, bool stock) {
    Table& t = TheTable();
    std::lock_guard<std::mutex> lock(t.mutex);
    std::uintptr_t id = t.next;
    t.next += 4;
    t.entries.emplace(id, Entry{std::move(object), stock});
    return reinterpret_cast<HGDIOBJ>(id);
}

std::shared_ptr<GdiObject> FindObject(HGDIOBJ handle) {
    Table& t = TheTable();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto it = t.entries.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == t.entries.end() ? nullptr : it->second.object;
}

bool IsStockObject(HGDIOBJ handle) {
    Table& t = TheTable();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto it = t.entries.find(reinterpret_cast<std::uintptr_t>(handle));
    return it != t.entries.end() && it->second.stock;
}

bool RemoveObject(HGDIOBJ handle) {
    std::shared_ptr<GdiObject> doomed;  // destroyed outside the lock
    Table& t = TheTable();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto it = t.entries.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == t.entries.end()) return false;
    if (it->second.stock) return true;
    doomed = std::move(it->second.object);
    t.entries.erase(it);
    return true;
}

}  // namespace skyvane::gdi

using namespace skyvane::gdi;

HGDIOBJ GetStockObject(int fnObject) {
    struct Stock {
        HGDIOBJ handles[DEFAULT_PALETTE + 1] = {};
        Stock() {
            auto brush = [](COLORREF c, bool hollow = false) { return AddObject(std::make_shared<Brush>(c, hollow), true); };
            handles[WHITE_BRUSH] = brush(RGB(255, 255, 255));
            handles[LTGRAY_BRUSH] = brush(RGB(192, 192, 192));
            handles[GRAY_BRUSH] = brush(RGB(128, 128, 128));
            handles[DKGRAY_BRUSH] = brush(RGB(64, 64, 64));
            handles[BLACK_BRUSH] = brush(RGB(0, 0, 0));
            handles[NULL_BRUSH] = brush(0, true);
            handles[WHITE_PEN] = AddObject(std::make_shared<Pen>(PS_SOLID, 1, RGB(255, 255, 255)), true);
            handles[BLACK_PEN] = AddObject(std::make_shared<Pen>(PS_SOLID, 1, RGB(0, 0, 0)), true);
            handles[NULL_PEN] = AddObject(std::make_shared<Pen>(PS_NULL, 1, 0), true);
            handles[SYSTEM_FONT] = AddObject(SystemFont(), true);
        }
    };
    static Stock* stock = new Stock;
    if (fnObject < 0 || fnObject > DEFAULT_PALETTE) return nullptr;
    return stock->handles[fnObject];
}

BOOL DeleteObject(HGDIOBJ hObject) {
    if (!hObject || !RemoveObject(hObject)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

int GetObjectW(HGDIOBJ hObject, int cbBuffer, LPVOID lpvObject) {
    auto object = FindObject(hObject);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return object->Describe(cbBuffer, lpvObject);
}

DWORD GetObjectType(HGDIOBJ h) {
    auto object = FindObject(h);
    return object ? object->Type() : 0;
}

HBRUSH CreateSolidBrush(COLORREF color) {
    return static_cast<HBRUSH>(AddObject(std::make_shared<Brush>(color & 0xFFFFFF)));
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* lplb) {
    if (!lplb || (lplb->lbStyle != BS_SOLID && lplb->lbStyle != BS_NULL)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return static_cast<HBRUSH>(AddObject(std::make_shared<Brush>(lplb->lbColor & 0xFFFFFF, lplb->lbStyle == BS_NULL)));
}

HPEN CreatePen(int fnPenStyle, int nWidth, COLORREF crColor) {
    if (fnPenStyle != PS_SOLID && fnPenStyle != PS_DASH && fnPenStyle != PS_NULL) {
        SKYVANE_LOG("gdi", "CreatePen: pen style %d drawn as solid", fnPenStyle);
        fnPenStyle = PS_SOLID;
    }
    return static_cast<HPEN>(AddObject(std::make_shared<Pen>(fnPenStyle, nWidth, crColor & 0xFFFFFF)));
}
