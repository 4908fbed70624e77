// The version resource of zovik_win64.dll as Windows shows it in the file's
// properties.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/host_standin/plugin_library.h"

namespace {

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

class VersionResourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = Wide(ProgramDirectory() + PluginFileName());
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path_.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version resource";
    data_.resize(size);
    ASSERT_TRUE(GetFileVersionInfoW(path_.c_str(), 0, size, data_.data()));
  }
  std::wstring Text(const wchar_t* name) {
    wchar_t* value = nullptr;
    UINT length = 0;
    const std::wstring key = std::wstring(L"\\StringFileInfo\\040C04B0\\") + name;
    if (!VerQueryValueW(data_.data(), key.c_str(), reinterpret_cast<void**>(&value), &length)) {
      return L"<missing>";
    }
    return std::wstring(value);
  }
  std::wstring path_;
  std::vector<char> data_;
};

TEST_F(VersionResourceTest, FixedVersionIs1100) {
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(data_.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(1, 1));
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(1, 1));
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
}

TEST_F(VersionResourceTest, FrenchUnicodeStrings) {
  struct Translation {
    WORD language;
    WORD codePage;
  }* translation = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(data_.data(), L"\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &length));
  ASSERT_GE(length, sizeof(Translation));
  EXPECT_EQ(translation->language, 0x040C);
  EXPECT_EQ(translation->codePage, 1200);

  EXPECT_EQ(Text(L"ProductName"), L"ZOVIK");
  EXPECT_EQ(Text(L"FileVersion"), L"1.1.0.0");
  EXPECT_EQ(Text(L"ProductVersion"), L"1.1.0.0");
  EXPECT_EQ(Text(L"InternalName"), L"zovik_win64.dll");
  EXPECT_EQ(Text(L"OriginalFilename"), L"zovik_win64.dll");
}

}  // namespace
