#include "platform/user/controls/system_classes.h"

#include <mutex>

namespace skyvane::user {

void EnsureSystemClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterStaticClass();
        RegisterButtonClass();
        RegisterEditClass();
        RegisterListBoxClass();
        RegisterComboBoxClass();
        RegisterDialogClass();
    });
}

}  // namespace skyvane::user
