#pragma once

// Real keyboard and mouse input, injected with SendInput: it reaches whichever
// window has the focus, exactly as a user's keys and clicks would.

#include <windows.h>

#include <string>

namespace zentravo::e2e {

enum Modifier : unsigned {
  kNoModifier = 0,
  kShift = 1,
  kControl = 2,
  kAlt = 4,
};

// Presses and releases `virtualKey` while holding `modifiers` (a combination of
// Modifier values). True when every event was injected.
bool PressKey(WORD virtualKey, unsigned modifiers = kNoModifier);

// Types `text` (code page 936 bytes) character by character, as Unicode key
// input, so any character can be typed whatever the keyboard layout.
bool TypeText(const std::string& text);

// Moves the mouse to `screenPoint` and clicks the left button there.
bool ClickAt(POINT screenPoint);

// Clicks the middle of `window`.
bool ClickWindowCentre(HWND window);

// The middle of `window`'s outer rectangle, in screen coordinates.
POINT WindowCentre(HWND window);

// Makes `window` the foreground window and waits until it is.
bool BringToFront(HWND window);

}  // namespace zentravo::e2e
