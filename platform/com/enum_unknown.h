// A standard IEnumUnknown over a fixed list of objects: the enumerator holds
// one reference to each, and clones share the list (not the position).
#pragma once

#include <vector>

#include "platform/com/com_ptr.h"

namespace skyvane {

// Hands out an enumerator over the items in *out (one reference).
HRESULT CreateEnumUnknown(std::vector<ComPtr<IUnknown>> items, IEnumUnknown** out) noexcept;
// The same; throws ComError or bad_alloc on failure.
ComPtr<IEnumUnknown> MakeEnumUnknown(std::vector<ComPtr<IUnknown>> items);

}  // namespace skyvane
