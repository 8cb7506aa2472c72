// A stand-in for the skin library that records what reaches it, so tests can tell
// which copy on disk was loaded and with what. Every event is one line appended to
// "<the probe's own path>.log":
//   attach <name>                         loaded
//   detach <name> freed|process-exit      unloaded by FreeLibrary, or at process end
//   call <name> data=<first 4 bytes in hex, fewer when shorter, or null>
//        length=<n> text=<the text or null> ints=<a>,<b>,<c>
//        windows=<captioned top-level windows of the calling thread> visible=<of them visible>
// (a call is one line). Built once per PROBE_RESULT, the value SkinH_AttachRes
// returns; with PROBE_WITHOUT_EXPORT the entry point is exported under another name.

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

HMODULE g_self = nullptr;

void Record(const std::string& line) {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(g_self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH - 4) return;
  std::string logPath = std::string(path, length) + ".log";
  HANDLE log = CreateFileA(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (log == INVALID_HANDLE_VALUE) return;
  std::string text = line + "\n";
  DWORD written = 0;
  WriteFile(log, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(log);
}

struct WindowCount {
  int captioned = 0;
  int visible = 0;
};

BOOL CALLBACK CountWindow(HWND window, LPARAM countPointer) {
  auto* count = reinterpret_cast<WindowCount*>(countPointer);
  if ((GetWindowLongA(window, GWL_STYLE) & WS_CAPTION) != WS_CAPTION) return TRUE;
  ++count->captioned;
  if (IsWindowVisible(window)) ++count->visible;
  return TRUE;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_self = instance;
    Record(std::string("attach ") + PROBE_NAME);
  } else if (reason == DLL_PROCESS_DETACH) {
    Record(std::string("detach ") + PROBE_NAME + (reserved == nullptr ? " freed" : " process-exit"));
  }
  return TRUE;
}

#ifdef PROBE_WITHOUT_EXPORT
#define PROBE_ENTRY_NAME SkinH_AttachResource
#else
#define PROBE_ENTRY_NAME SkinH_AttachRes
#endif

extern "C" __declspec(dllexport) int WINAPI PROBE_ENTRY_NAME(const unsigned char* data, int length,
                                                             const char* text, int first,
                                                             int second, int third) {
  std::string head = "null";
  if (data != nullptr) {
    head.clear();
    for (int i = 0; i < 4 && i < length; ++i) {
      char hex[3];
      std::snprintf(hex, sizeof(hex), "%02X", data[i]);
      head += hex;
    }
  }
  WindowCount windows;
  EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&windows));
  char line[512];
  std::snprintf(line, sizeof(line),
                "call %s data=%s length=%d text=%s ints=%d,%d,%d windows=%d visible=%d", PROBE_NAME,
                head.c_str(), length, text == nullptr ? "null" : text, first, second, third,
                windows.captioned, windows.visible);
  Record(line);
  return PROBE_RESULT;
}
