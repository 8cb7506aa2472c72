#include "tests/e2e/support/screen.h"

#include <algorithm>
#include <fstream>

#include "runtime/scoped_win.h"
#include "tests/e2e/support/program.h"
#include "tests/e2e/support/window_query.h"

namespace zentravo::e2e {
namespace {

constexpr int kWindowMargin = 24;

template <typename T>
void Append(std::string& out, T value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

}  // namespace

COLORREF ScreenImage::PixelAt(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return RGB(0, 0, 0);
  uint32_t p = pixels_[static_cast<size_t>(y) * width_ + x];
  return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

ScreenImage ScreenImage::Crop(RECT area) const {
  const LONG left = std::clamp<LONG>(area.left, 0, width_);
  const LONG top = std::clamp<LONG>(area.top, 0, height_);
  const LONG right = std::clamp<LONG>(area.right, left, width_);
  const LONG bottom = std::clamp<LONG>(area.bottom, top, height_);
  std::vector<uint32_t> pixels;
  pixels.reserve(static_cast<size_t>(right - left) * (bottom - top));
  for (LONG y = top; y < bottom; ++y) {
    auto row = pixels_.begin() + static_cast<ptrdiff_t>(y) * width_;
    pixels.insert(pixels.end(), row + left, row + right);
  }
  return ScreenImage(right - left, bottom - top, std::move(pixels));
}

bool ScreenImage::SaveBmp(const std::string& path) const {
  const uint32_t stride = (static_cast<uint32_t>(width_) * 3 + 3) & ~3u;
  const uint32_t imageSize = stride * static_cast<uint32_t>(height_);
  std::string file;
  file.reserve(54 + imageSize);
  file += "BM";
  Append<uint32_t>(file, 54 + imageSize);
  Append<uint32_t>(file, 0);
  Append<uint32_t>(file, 54);
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width_;
  header.biHeight = height_;  // bottom-up rows
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  header.biSizeImage = imageSize;
  Append(file, header);
  std::string row(stride, '\0');
  for (int y = height_ - 1; y >= 0; --y) {
    for (int x = 0; x < width_; ++x) {
      uint32_t p = pixels_[static_cast<size_t>(y) * width_ + x];
      row[x * 3] = static_cast<char>(p & 0xFF);
      row[x * 3 + 1] = static_cast<char>((p >> 8) & 0xFF);
      row[x * 3 + 2] = static_cast<char>((p >> 16) & 0xFF);
    }
    file += row;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(file.data(), static_cast<std::streamsize>(file.size()));
  return static_cast<bool>(out);
}

std::optional<ScreenImage> CaptureScreen() {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  ScopedGetDc screen(nullptr);
  if (screen.Get() == nullptr || width <= 0 || height <= 0) return std::nullopt;
  ScopedMemoryDc memory(CreateCompatibleDC(screen.Get()));
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  ScopedBitmap bitmap(CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!memory || !bitmap || bits == nullptr) return std::nullopt;
  {
    ScopedSelectObject selected(memory.Get(), bitmap.Get());
    if (!BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), 0, 0, SRCCOPY | CAPTUREBLT)) {
      return std::nullopt;
    }
    GdiFlush();
  }
  const auto* first = static_cast<const uint32_t*>(bits);
  std::vector<uint32_t> pixels(first, first + static_cast<size_t>(width) * height);
  for (uint32_t& p : pixels) p &= 0x00FFFFFF;
  return ScreenImage(width, height, std::move(pixels));
}

std::optional<ScreenImage> CaptureSettledScreen() {
  constexpr DWORD kInterval = 150;
  constexpr int kMostTries = 30;
  std::optional<ScreenImage> previous = CaptureScreen();
  for (int tries = 0; previous && tries < kMostTries; ++tries) {
    Sleep(kInterval);
    std::optional<ScreenImage> current = CaptureScreen();
    if (!current || *current == *previous) return current;
    previous = std::move(current);
  }
  return previous;
}

bool SaveScreenshotArtifact(const std::string& name, HWND window) {
  std::optional<ScreenImage> screen = CaptureSettledScreen();
  if (!screen) return false;
  const std::string directory = ArtifactDirectory();
  bool saved = screen->SaveBmp(JoinPath(directory, name + ".bmp"));
  if (window != nullptr) {
    RECT area = ScreenRectOf(window);
    InflateRect(&area, kWindowMargin, kWindowMargin);
    saved = screen->Crop(area).SaveBmp(JoinPath(directory, name + "-window.bmp")) && saved;
  }
  return saved;
}

}  // namespace zentravo::e2e
