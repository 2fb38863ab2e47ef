#include "platform/user/backend.h"

namespace skyvane::user {
std::unique_ptr<Backend> MakeSdlBackend(int) { return nullptr; }
}  // namespace skyvane::user
