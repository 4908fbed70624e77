// A fresh directory for one test, removed with everything in it at the end.
#pragma once

#include <filesystem>
#include <string>

class TempDirectory {
 public:
  // `leaf` may hold UTF-8 (a folder named with "é").
  explicit TempDirectory(const std::string& leaf = "zovik-test");
  ~TempDirectory();
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The directory as UTF-8 with a trailing separator, as the client reports it.
  std::string PluginPath() const;

 private:
  std::filesystem::path path_;
};

// The whole file as bytes, or empty when it does not exist.
std::string ReadFileBytes(const std::filesystem::path& path);
std::filesystem::path PathFromUtf8(const std::string& utf8);
