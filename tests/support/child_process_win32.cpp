#include <windows.h>

#include "tests/support/child_process.h"

namespace {
HANDLE Handle(intptr_t process) { return reinterpret_cast<HANDLE>(process); }
}  // namespace

ChildProcess::~ChildProcess() { Kill(); }

void ChildProcess::Kill() {
  if (process_ == 0) return;
  TerminateProcess(Handle(process_), 1);
  WaitForSingleObject(Handle(process_), 5000);
  CloseHandle(Handle(process_));
  process_ = 0;
}

bool ChildProcess::Start(const std::vector<std::string>& arguments, std::string* error) {
  wchar_t self[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
  if (length == 0 || length >= MAX_PATH * 4) {
    *error = "GetModuleFileNameW failed";
    return false;
  }
  // Arguments are plain ASCII words, so widening byte by byte is exact.
  std::wstring commandLine = L"\"" + std::wstring(self, length) + L"\"";
  for (const std::string& argument : arguments) {
    commandLine += L" \"" + std::wstring(argument.begin(), argument.end()) + L"\"";
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION created{};
  if (!CreateProcessW(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &created)) {
    *error = "CreateProcessW failed, error " + std::to_string(GetLastError());
    return false;
  }
  CloseHandle(created.hThread);
  process_ = reinterpret_cast<intptr_t>(created.hProcess);
  return true;
}

int ChildProcess::Wait(std::chrono::milliseconds timeout) {
  if (process_ == 0) return -1;
  if (WaitForSingleObject(Handle(process_), static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) {
    return -1;
  }
  DWORD code = 0;
  const bool known = GetExitCodeProcess(Handle(process_), &code) != 0;
  CloseHandle(Handle(process_));
  process_ = 0;
  return known ? static_cast<int>(code) : -1;
}
