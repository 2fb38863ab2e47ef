// VARIANT: the subset of OLE Automation's tagged value the system passes.
#pragma once

#include "platform/oleaut/bstr.h"
#include "platform/base/win_types.h"

struct IUnknown;
struct IDispatch;

typedef unsigned short VARTYPE;
enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_UI1 = 17,
    VT_UI4 = 19,
    VT_INT = 22,
    VT_UINT = 23,
    VT_BYREF = 0x4000,
};

struct VARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONG lVal;
        BYTE bVal;
        SHORT iVal;
        float fltVal;
        double dblVal;
        VARIANT_BOOL boolVal;
        HRESULT scode;
        DATE date;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        INT intVal;
        UINT uintVal;
        ULONG ulVal;
        LONG* plVal;
        INT* pintVal;
        BSTR* pbstrVal;
        VARIANT* pvarVal;
        void* byref;
    };
};
typedef VARIANT VARIANTARG;
typedef VARIANT* LPVARIANT;

#define V_VT(v) ((v)->vt)
#define V_I4(v) ((v)->lVal)
#define V_R8(v) ((v)->dblVal)
#define V_DATE(v) ((v)->date)
#define V_BSTR(v) ((v)->bstrVal)
#define V_BOOL(v) ((v)->boolVal)
#define V_UNKNOWN(v) ((v)->punkVal)
#define V_DISPATCH(v) ((v)->pdispVal)

void VariantInit(VARIANTARG* pvarg);
// Frees the BSTR or releases the object, then sets VT_EMPTY.
HRESULT VariantClear(VARIANTARG* pvarg);
// Clears the destination, then copies (a new BSTR, an AddRef'd object).
HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc);
// Conversions among I2, I4, INT, UI1, UI4, R4, R8, DATE, BOOL, BSTR, EMPTY
// (number texts in the invariant "C" form); DISP_E_TYPEMISMATCH otherwise.
HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt);

namespace skyvane {
// Owns one VARIANT.
class Variant : public VARIANT {
public:
    Variant() { VariantInit(this); }
    Variant(const Variant& o) {
        VariantInit(this);
        VariantCopy(this, &o);
    }
    Variant& operator=(const Variant& o) {
        if (this != &o) VariantCopy(this, &o);
        return *this;
    }
    ~Variant() { VariantClear(this); }
    static Variant I4(LONG v) { Variant r; r.vt = VT_I4; r.lVal = v; return r; }
    static Variant R8(double v) { Variant r; r.vt = VT_R8; r.dblVal = v; return r; }
    static Variant Date(DATE v) { Variant r; r.vt = VT_DATE; r.date = v; return r; }
    static Variant Bool(bool v) { Variant r; r.vt = VT_BOOL; r.boolVal = v ? VARIANT_TRUE : VARIANT_FALSE; return r; }
    static Variant Str(std::u16string_view s) { Variant r; r.vt = VT_BSTR; r.bstrVal = AllocBstr(s); return r; }
};
}  // namespace skyvane
