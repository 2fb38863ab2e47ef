// The standard control classes, registered before the first window is made.
#pragma once

namespace skyvane::user {

// Registers STATIC, BUTTON, EDIT, LISTBOX, COMBOBOX and the dialog class once.
void EnsureSystemClasses();

void RegisterStaticClass();
void RegisterButtonClass();
void RegisterEditClass();
void RegisterListBoxClass();
void RegisterComboBoxClass();
void RegisterDialogClass();

}  // namespace skyvane::user
