// A library planted beside a test program under the name of a Windows library. It does nothing
// but tell that it was loaded: on attach it leaves "<its own path>.<process id>.<process creation
// time>.loaded", so that each test process looks for its own marker only, and a marker left by
// an earlier process of the same id is not taken for one.
#include <windows.h>

#include <string>

std::wstring ProcessIdentity() {
  FILETIME created{}, exited{}, kernel{}, user{};
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  const unsigned long long time =
      (static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
  return std::to_wstring(GetCurrentProcessId()) + L"." + std::to_wstring(time);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return TRUE;
  const std::wstring marker = std::wstring(path, length) + L"." + ProcessIdentity() + L".loaded";
  HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return TRUE;
}
