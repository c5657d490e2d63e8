#include "app/version.h"

#ifdef _WIN32
#include <windows.h>

#include <vector>

#include "win32/executable.h"
#endif

std::string JoinVersion(unsigned major, unsigned minor, unsigned release, unsigned build) {
  return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(release) + "." +
         std::to_string(build);
}

std::string TrimVersionText(std::string text) {
  while (text.ends_with(".0")) text.resize(text.size() - 2);
  if (text.find('.') == std::string::npos) text += ".0";
  return text;
}

#ifdef _WIN32
std::string GetVersionText(bool trim) {
  const std::wstring path = ExecutablePath();
  if (path.empty()) return {};
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return {};
  std::vector<char> data(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return {};
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(data.data(), L"\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO)) return {};
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(value);
  if (info->dwSignature != 0xFEEF04BD) return {};
  const std::string text = JoinVersion(HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                                       HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
  return trim ? TrimVersionText(text) : text;
}
#endif
