#pragma once

// Puts a skin on the top-level windows of the calling thread: each window with a
// caption is subclassed so that its client background is painted from the skin.

#include <windows.h>

#include "skin_format.h"

namespace skinh {

// Window property set on every skinned window (its value is 1). Other processes
// can read it with GetPropA to see that a window wears the skin.
inline constexpr char kSkinnedProperty[] = "SkinH_EL.Skinned";

// Makes `skin` the current skin and applies it to every top-level window of the
// calling thread that has a caption, repainting those already visible. A window
// skinned before only takes the new colours. Returns the number of windows skinned.
int ApplySkinToThreadWindows(const Skin& skin);

// Paints the skinned client background of `window` into `dc`: the gradient, then
// the frame. Exposed so the library paints WM_ERASEBKGND and WM_PRINTCLIENT alike.
void PaintSkinnedBackground(HWND window, HDC dc);

}  // namespace skinh
