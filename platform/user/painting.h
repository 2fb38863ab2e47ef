// Update regions, WM_PAINT and the surfaces top-level windows draw into.
//
// An update region is kept as one rectangle (the union of what was
// invalidated). Invalidating a window invalidates the part of each visible
// child under it too, since the parent's painting covers them; parents are
// painted before their children.
#pragma once

#include "platform/user/message_queue.h"
#include "platform/user/window.h"

namespace skyvane::user {

// Gives a top-level window a surface of its size at the back end's scale.
void EnsureSurface(Window& top);
// The first window of the queue's thread (parents first) that needs painting.
HWND WindowNeedingPaint(ThreadQueue& queue, HWND filter);
// Hands surfaces drawn into since they were last shown to the back end.
void PresentDirty(ThreadQueue& queue);
// Paints a window and its children that need it, now.
void PaintTree(HWND hwnd);

}  // namespace skyvane::user
