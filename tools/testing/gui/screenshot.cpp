#include "tools/testing/gui/screenshot.h"

#include <windows.h>

#include <fstream>
#include <optional>
#include <vector>

#include "win32/handles.h"

namespace gui {

namespace {

void DeleteBitmap(HBITMAP bitmap) { DeleteObject(bitmap); }
void DeleteMemoryDc(HDC dc) { DeleteDC(dc); }
using TBitmap = TOwner<HBITMAP, DeleteBitmap>;
using TMemoryDc = TOwner<HDC, DeleteMemoryDc>;

// The screen's pixels, bottom-up rows of 24 bits as the file format stores them.
std::optional<std::vector<char>> Capture(BITMAPINFOHEADER& info) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  const TWindowDc screen(nullptr);
  const TMemoryDc memory(CreateCompatibleDC(screen.Get()));
  const TBitmap bitmap(CreateCompatibleBitmap(screen.Get(), width, height));
  bool copied;
  {
    // GetDIBits wants the bitmap out of every device context.
    const TSelection selected(memory.Get(), bitmap.Get());
    copied = BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), 0, 0, SRCCOPY | CAPTUREBLT) != FALSE;
  }
  info = {};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  info.biSizeImage = ((static_cast<DWORD>(width) * 3 + 3) & ~3u) * static_cast<DWORD>(height);
  std::vector<char> pixels(info.biSizeImage);
  if (!copied || GetDIBits(memory.Get(), bitmap.Get(), 0, static_cast<UINT>(height), pixels.data(),
                           reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS) != height)
    return std::nullopt;
  return pixels;
}

}  // namespace

bool SaveScreen(const std::string& path) {
  BITMAPINFOHEADER info{};
  auto pixels = Capture(info);
  // A window that has just come up may still be painting.
  for (int i = 0; pixels && i < 20; ++i) {
    Sleep(100);
    auto again = Capture(info);
    if (again == pixels) break;
    pixels = std::move(again);
  }
  if (!pixels) return false;

  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + info.biSizeImage;
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&info), sizeof info);
  out.write(pixels->data(), static_cast<std::streamsize>(pixels->size()));
  return static_cast<bool>(out);
}

}  // namespace gui
