// The settings dialog in a real window (Wine on a virtual X display): opened
// through the client's ts3plugin_configure, set with window messages as a
// pilot's clicks would, confirmed with OK.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/settings_dialog_win32.h"
#include "tests/support/log_lines.h"
#include "tests/support/plugin_session.h"

namespace {

constexpr wchar_t kUserKey[] = L"Software\\Wemto\\ZOVIK";

using Clock = std::chrono::steady_clock;

template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
  const auto end = Clock::now() + timeout;
  while (!condition()) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

HWND Dialog() { return FindWindowW(kSettingsWindowClass, kSettingsWindowTitle); }

int DialogCount() {
  int count = 0;
  EnumWindows(
      [](HWND window, LPARAM counter) -> BOOL {
        wchar_t name[64] = {};
        GetClassNameW(window, name, 64);
        if (std::wstring(name) == kSettingsWindowClass) ++*reinterpret_cast<int*>(counter);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&count));
  return count;
}

std::wstring UserValue(const wchar_t* name) {
  wchar_t data[64] = {};
  DWORD size = sizeof data - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CURRENT_USER, kUserKey, name, RRF_RT_REG_SZ, nullptr, data, &size) !=
      ERROR_SUCCESS) {
    return L"<missing>";
  }
  return data;
}

struct Configure {
  int (*offers)() = nullptr;
  void (*open)(void*, void*) = nullptr;
};

Configure ConfigureOf(PluginSession&) {
  HMODULE plugin = GetModuleHandleW(L"zovik_win64.dll");
  Configure configure;
  if (plugin == nullptr) return configure;
  configure.offers = reinterpret_cast<int (*)()>(
      reinterpret_cast<void*>(GetProcAddress(plugin, "ts3plugin_offersConfigure")));
  configure.open = reinterpret_cast<void (*)(void*, void*)>(
      reinterpret_cast<void*>(GetProcAddress(plugin, "ts3plugin_configure")));
  return configure;
}

// With ZOVIK_DIALOG_PICTURE set (scripts/dialog-picture.sh), the open
// dialog's screen rectangle is written to that file, and the dialog stays
// open until the script has taken its picture and removed the file.
void HoldForPicture(HWND dialog) {
  const char* path = std::getenv("ZOVIK_DIALOG_PICTURE");
  if (path == nullptr || *path == '\0') return;
  RECT frame{};
  GetWindowRect(dialog, &frame);
  const std::string temporary = std::string(path) + ".part";
  FILE* file = std::fopen(temporary.c_str(), "w");
  ASSERT_NE(file, nullptr);
  std::fprintf(file, "%ldx%ld+%ld+%ld\n", frame.right - frame.left, frame.bottom - frame.top,
               frame.left, frame.top);
  std::fclose(file);
  std::rename(temporary.c_str(), path);
  EXPECT_TRUE(WaitUntil(
      [&] { return GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES; },
      std::chrono::seconds(30)));
}

class SettingsDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    // The user's values of an earlier run would override the machine's.
    RegDeleteTreeW(HKEY_CURRENT_USER, kUserKey);
    ASSERT_TRUE(session.StartConnected());
    configure = ConfigureOf(session);
    ASSERT_NE(configure.offers, nullptr);
    ASSERT_NE(configure.open, nullptr);
  }
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kUserKey); }

  HWND Open() {
    configure.open(nullptr, nullptr);
    HWND dialog = nullptr;
    WaitUntil([&] { return (dialog = Dialog()) != nullptr && IsWindowVisible(dialog); });
    return dialog;
  }

  PluginSession session{0};
  Configure configure;
};

TEST_F(SettingsDialog, OkSavesForTheUserAndAppliesAtOnce) {
  EXPECT_EQ(configure.offers(), 1);  // on a thread of the client's, not Qt's
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr) << "no dialog window";
  HoldForPicture(dialog);
  // Opened again: the same window, in front.
  configure.open(nullptr, nullptr);
  EXPECT_EQ(DialogCount(), 1);
  EXPECT_EQ(Dialog(), dialog);

  // It shows what counts now: level 0, notices on, stay.
  EXPECT_EQ(SendDlgItemMessageW(dialog, kLogLevelId, CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(SendDlgItemMessageW(dialog, kChatNoticesId, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendDlgItemMessageW(dialog, kLeaveAircraftId, CB_GETCURSEL, 0, 0), 0);

  SendDlgItemMessageW(dialog, kLogLevelId, CB_SETCURSEL, 4, 0);  // off, 0, 1, 2, 3
  SendDlgItemMessageW(dialog, kChatNoticesId, BM_SETCHECK, BST_UNCHECKED, 0);
  SendDlgItemMessageW(dialog, kLeaveAircraftId, CB_SETCURSEL, 1, 0);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  EXPECT_TRUE(WaitUntil([] { return Dialog() == nullptr; }));

  EXPECT_EQ(UserValue(L"Log Level"), L"3");
  EXPECT_EQ(UserValue(L"Chat Notices"), L"0");
  EXPECT_EQ(UserValue(L"Leave Aircraft"), L"1");

  // Level 3 and no chat notice, without a restart.
  ASSERT_TRUE(session.WaitForLogMessage("Log level set to 3"));
  session.Send("262000");
  ASSERT_TRUE(session.SendAndWaitForMove("251000"));
  ASSERT_TRUE(session.WaitForLogMessage("UDPServer : Frequency received from DCS World : 262000"));
  EXPECT_TRUE(session.host.ChatLines().empty());

  // The user's value beats the machine's (level 0) at the next start.
  session.Shutdown();
  ASSERT_EQ(session.Init(), 0);
  EXPECT_TRUE(session.WaitForLogMessage("Initialize Log file with 3 level"));
}

TEST_F(SettingsDialog, CancelChangesNothingAndShutdownClosesTheDialog) {
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr) << "no dialog window";
  SendDlgItemMessageW(dialog, kLogLevelId, CB_SETCURSEL, 6, 0);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
  EXPECT_TRUE(WaitUntil([] { return Dialog() == nullptr; }));
  EXPECT_EQ(UserValue(L"Log Level"), L"<missing>");

  // Left open when the client unloads the plugin: gone before shutdown returns.
  ASSERT_NE(Open(), nullptr);
  session.Shutdown();
  EXPECT_EQ(Dialog(), nullptr);
  const std::vector<std::string> messages = Messages(session.LogLines());
  for (const std::string& message : messages) {
    EXPECT_EQ(message.find("Log level set"), std::string::npos);
  }
}

}  // namespace
