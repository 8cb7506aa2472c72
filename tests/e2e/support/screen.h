#pragma once

// Pictures of the screen (the whole Wine virtual desktop), for checking what a
// person would see and for keeping as test artifacts.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zentravo::e2e {

class ScreenImage {
 public:
  ScreenImage(int width, int height, std::vector<uint32_t> pixels)
      : width_(width), height_(height), pixels_(std::move(pixels)) {}

  int width() const { return width_; }
  int height() const { return height_; }

  // The colour at (x, y) as a COLORREF (RGB(r, g, b)); black outside the image.
  COLORREF PixelAt(int x, int y) const;

  // The part inside `area` (clipped to the image).
  ScreenImage Crop(RECT area) const;

  // Writes a 24-bit BMP file.
  bool SaveBmp(const std::string& path) const;

  bool operator==(const ScreenImage&) const = default;

 private:
  int width_;
  int height_;
  std::vector<uint32_t> pixels_;  // 0x00RRGGBB, rows top to bottom
};

// Everything on the screen now; nullopt when it cannot be read.
std::optional<ScreenImage> CaptureScreen();

// The screen once painting has settled: captures until two pictures taken a
// moment apart agree (or a few seconds have passed), so a window that is still
// drawing its controls is not caught half-painted.
std::optional<ScreenImage> CaptureSettledScreen();

// Saves CaptureSettledScreen() as "<name>.bmp" in ArtifactDirectory(), and, when
// `window` is given, also the window with a margin of desktop around it as
// "<name>-window.bmp". The test run turns the BMP files into PNG files.
bool SaveScreenshotArtifact(const std::string& name, HWND window = nullptr);

}  // namespace zentravo::e2e
