// The window handle type, for functions that take an owner window.
#pragma once

struct HWND__;
typedef HWND__* HWND;
