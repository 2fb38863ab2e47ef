// Messages the controls send each other and no application sees: a combo
// box and its drop-down list. They lie below WM_USER in a range the
// platform's own controls do not use.
#pragma once

#include "platform/user/user_types.h"

namespace skyvane::user {

// To a list box: act as the drop-down of the combo box in wParam.
inline constexpr UINT kLbSetDropOwner = 0x03F0;
// To a list box: a navigation key the combo box passes on (wParam: the key).
inline constexpr UINT kLbKey = 0x03F1;
// To a combo box from its list: the drop-down closes, with the choice taken
// (wParam TRUE) or dropped (FALSE).
inline constexpr UINT kComboListDone = 0x03F2;

}  // namespace skyvane::user
