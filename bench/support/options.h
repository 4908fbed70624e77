// "--name value" options of the measuring programs.
#pragma once

#include <map>
#include <string>

class Options {
 public:
  // Reads argv[first..argc) as --name value pairs; throws
  // std::invalid_argument on anything else.
  Options(int argc, char** argv, int first);
  int Int(const std::string& name, int fallback) const;
  std::string Text(const std::string& name, const std::string& fallback) const;

 private:
  std::map<std::string, std::string> values_;
};
