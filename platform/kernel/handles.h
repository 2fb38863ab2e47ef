// Kernel objects behind HANDLEs, and the per-thread last-error number.
#pragma once

#include <memory>

#include "platform/base/win_types.h"

DWORD GetLastError();
void SetLastError(DWORD dwErrCode);

// Closes a file, find, process or thread handle. FALSE with
// ERROR_INVALID_HANDLE for NULL, INVALID_HANDLE_VALUE or a handle already closed.
BOOL CloseHandle(HANDLE hObject);

namespace skyvane {
// What a HANDLE points at. Each kind of handle derives from it; CloseHandle
// destroys it. Handles are checked against a table of live objects, so a stale
// or foreign handle is refused instead of followed.
class KernelObject {
public:
    virtual ~KernelObject() = default;
};

// Registers the object and hands out its handle.
HANDLE MakeHandle(std::unique_ptr<KernelObject> object);
// The live object behind a handle, if it is of type T; otherwise nullptr with
// ERROR_INVALID_HANDLE set.
KernelObject* LookupHandle(HANDLE h);
template <class T>
T* HandleAs(HANDLE h) {
    T* p = dynamic_cast<T*>(LookupHandle(h));
    if (!p) SetLastError(ERROR_INVALID_HANDLE);
    return p;
}
}  // namespace skyvane
