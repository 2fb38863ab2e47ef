// The HTML view control (class "DISPLAYCLASS"): shows the small HTML the
// system writes (paragraphs, bold, small, line breaks, tables of rows,
// coloured and centred text, a background colour, links), given as text
// (WM_SETTEXT, DTM_ADDTEXTW, DTM_ENDOFSOURCE) or by a "file://" address
// (DTM_NAVIGATE), whose file may be UTF-16 with a byte-order mark, UTF-8, or
// text in the device's code page.
//
// A tap on a link sends NM_HOTSPOT to the parent; when the parent does not
// answer it with a non-zero value, the link opens with the shell's "open"
// (xdg-open). Up, Down, Page Up and Down, Home, End and the wheel scroll.
#pragma once

#include "platform/user/user_types.h"

#define WC_HTML u"DISPLAYCLASS"
#define DISPLAYCLASS u"DISPLAYCLASS"

#define DTM_ADDTEXT (WM_USER + 101)
#define DTM_ADDTEXTW (WM_USER + 102)
#define DTM_SETIMAGE (WM_USER + 103)
#define DTM_ENDOFSOURCE (WM_USER + 104)
#define DTM_ANCHOR (WM_USER + 105)
#define DTM_ANCHORW (WM_USER + 106)
#define DTM_ENABLESHRINK (WM_USER + 107)
#define DTM_SCROLLINTOVIEW (WM_USER + 108)
#define DTM_IMAGEFAIL (WM_USER + 109)
#define DTM_SELECTALL (WM_USER + 111)
#define DTM_ISSELECTION (WM_USER + 112)
#define DTM_CLEAR (WM_USER + 113)
#define DTM_NAVIGATE (WM_USER + 120)

#define NM_HOTSPOT (WM_USER + 101)

struct NM_HTMLVIEWW {
    NMHDR hdr;
    LPCWSTR szTarget;  // the link's address
    LPCWSTR szData;
    DWORD dwCookie;
    LPCWSTR szExInfo;
};
typedef NM_HTMLVIEWW NM_HTMLVIEW;

// Registers the class; TRUE also when it was registered before.
BOOL InitHTMLControl(HINSTANCE hinst);
