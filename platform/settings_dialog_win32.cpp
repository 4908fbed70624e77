// Windows backend of platform.h's settings dialog: a plain window made in
// code on a thread of its own, so the client's thread never waits on it.
#include <windows.h>

#include <mutex>
#include <new>

#include "platform/platform.h"
#include "platform/settings_dialog_win32.h"

namespace {

// Log level choices, in the list's order: off, then 0 to 5.
constexpr const wchar_t* kLogLevels[] = {
    L"Off",
    L"0 - start, connections, errors",
    L"1 - pause and resume",
    L"2 - channel switches",
    L"3 - every new frequency and move",
    L"4 - channel lists",
    L"5 - every datagram",
};

struct DialogStart {
  SettingsChoice current;
  SettingsChosen onOk;
};

// The dialog's thread, guarded by `lock`; the window handle is published
// by the thread once the window exists.
std::mutex lock;
HANDLE thread = nullptr;
HANDLE ready = nullptr;  // set once the window exists, or could not be made
HWND window = nullptr;   // written before `ready` is set, read after

HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

HWND AddControl(HWND parent, const wchar_t* type, const wchar_t* text, DWORD style, int x, int y,
                int width, int height, int id, HFONT font) {
  HWND control = CreateWindowExW(0, type, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                                 parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 ThisModule(), nullptr);
  if (control != nullptr) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  return control;
}

void AddControls(HWND dialog, const SettingsChoice& current) {
  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  AddControl(dialog, L"STATIC", L"Log level:", 0, 12, 16, 150, 20, -1, font);
  HWND level = AddControl(dialog, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_TABSTOP | WS_VSCROLL,
                          170, 12, 200, 200, kLogLevelId, font);
  for (const wchar_t* text : kLogLevels) {
    SendMessageW(level, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  }
  const int levelIndex =
      current.logLevel < 0 ? 0 : (current.logLevel > 5 ? 6 : current.logLevel + 1);
  SendMessageW(level, CB_SETCURSEL, levelIndex, 0);

  HWND notices = AddControl(dialog, L"BUTTON", L"Chat notices (a frequency without a channel)",
                            BS_AUTOCHECKBOX | WS_TABSTOP, 12, 48, 358, 20, kChatNoticesId, font);
  SendMessageW(notices, BM_SETCHECK, current.chatNotices ? BST_CHECKED : BST_UNCHECKED, 0);

  AddControl(dialog, L"STATIC", L"When I leave the aircraft:", 0, 12, 84, 150, 20, -1, font);
  HWND leave = AddControl(dialog, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_TABSTOP, 170, 80, 200,
                          100, kLeaveAircraftId, font);
  SendMessageW(leave, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Stay"));
  SendMessageW(leave, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Back to my channel"));
  SendMessageW(leave, CB_SETCURSEL, current.backToMyChannel ? 1 : 0, 0);

  AddControl(dialog, L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 190, 120, 86, 26, IDOK, font);
  AddControl(dialog, L"BUTTON", L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, 284, 120, 86, 26, IDCANCEL,
             font);
}

SettingsChoice ChoiceOf(HWND dialog) {
  SettingsChoice choice;
  const LRESULT level = SendDlgItemMessageW(dialog, kLogLevelId, CB_GETCURSEL, 0, 0);
  choice.logLevel = level == CB_ERR ? 0 : static_cast<int>(level) - 1;
  choice.chatNotices =
      SendDlgItemMessageW(dialog, kChatNoticesId, BM_GETCHECK, 0, 0) == BST_CHECKED;
  choice.backToMyChannel = SendDlgItemMessageW(dialog, kLeaveAircraftId, CB_GETCURSEL, 0, 0) == 1;
  return choice;
}

LRESULT CALLBACK DialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
      auto* start = static_cast<DialogStart*>(create->lpCreateParams);
      SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(start));
      AddControls(dialog, start->current);
      return 0;
    }
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) break;
      if (LOWORD(wParam) == IDOK) {
        auto* start = reinterpret_cast<DialogStart*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
        if (start != nullptr && start->onOk != nullptr) start->onOk(ChoiceOf(dialog));
        DestroyWindow(dialog);
        return 0;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        DestroyWindow(dialog);
        return 0;
      }
      break;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(dialog, message, wParam, lParam);
}

DWORD WINAPI DialogThread(void* argument) {
  DialogStart* start = static_cast<DialogStart*>(argument);
  const HMODULE module = ThisModule();
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &DialogProcedure;
  windowClass.hInstance = module;
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  windowClass.lpszClassName = kSettingsWindowClass;
  RegisterClassExW(&windowClass);

  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
  RECT frame = {0, 0, 382, 158};
  AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME);
  HWND dialog = CreateWindowExW(WS_EX_DLGMODALFRAME, kSettingsWindowClass, kSettingsWindowTitle,
                                style, CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                                frame.bottom - frame.top, nullptr, nullptr, module, start);
  window = dialog;
  SetEvent(ready);
  if (dialog != nullptr) {
    ShowWindow(dialog, SW_SHOWNORMAL);
    SetForegroundWindow(dialog);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      // Tab, Enter and Escape as in any dialog.
      if (IsDialogMessageW(dialog, &message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  UnregisterClassW(kSettingsWindowClass, module);
  delete start;
  return 0;
}

// With `lock` held: forgets a dialog whose thread has ended.
bool DialogRunning() {
  if (thread == nullptr) return false;
  if (WaitForSingleObject(thread, 0) == WAIT_TIMEOUT) return true;
  CloseHandle(thread);
  CloseHandle(ready);
  thread = nullptr;
  ready = nullptr;
  window = nullptr;
  return false;
}

}  // namespace

bool PlatformHasSettingsDialog() { return true; }

void PlatformOpenSettingsDialog(const SettingsChoice& current, SettingsChosen onOk) {
  std::lock_guard<std::mutex> guard(lock);
  if (DialogRunning()) {
    // A dialog still being made shows itself.
    if (WaitForSingleObject(ready, 0) != WAIT_OBJECT_0) return;
    // Opened a second time: the one already open comes to the front.
    if (window != nullptr && IsWindow(window)) {
      ShowWindow(window, SW_RESTORE);
      SetForegroundWindow(window);
      return;
    }
    // Just closed, its thread ending: a new one opens once it has.
    WaitForSingleObject(thread, INFINITE);
    DialogRunning();
  }
  ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (ready == nullptr) return;
  auto* start = new (std::nothrow) DialogStart{current, onOk};
  if (start != nullptr) thread = CreateThread(nullptr, 0, &DialogThread, start, 0, nullptr);
  if (thread == nullptr) {
    delete start;
    CloseHandle(ready);
    ready = nullptr;
  }
}

void PlatformCloseSettingsDialog() {
  std::lock_guard<std::mutex> guard(lock);
  if (!DialogRunning()) return;
  WaitForSingleObject(ready, INFINITE);
  if (window != nullptr) PostMessageW(window, WM_CLOSE, 0, 0);
  WaitForSingleObject(thread, INFINITE);
  DialogRunning();
}
