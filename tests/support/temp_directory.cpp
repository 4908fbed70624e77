#include "tests/support/temp_directory.h"

#include <atomic>
#include <chrono>
#include <fstream>

namespace {
std::atomic<int> counter{0};
}

std::filesystem::path PathFromUtf8(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

TempDirectory::TempDirectory(const std::string& leaf) {
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  path_ = std::filesystem::temp_directory_path() /
          PathFromUtf8(leaf + "-" + std::to_string(stamp) + "-" + std::to_string(counter++));
  std::filesystem::create_directories(path_);
}

TempDirectory::~TempDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDirectory::PluginPath() const {
  const std::u8string text = path_.u8string();
  std::string utf8(text.begin(), text.end());
  utf8 += static_cast<char>(std::filesystem::path::preferred_separator);
  return utf8;
}

std::string ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}
