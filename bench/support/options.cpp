#include "bench/support/options.h"

#include <stdexcept>

Options::Options(int argc, char** argv, int first) {
  for (int i = first; i < argc; i += 2) {
    const std::string name = argv[i];
    if (name.rfind("--", 0) != 0 || i + 1 >= argc) {
      throw std::invalid_argument("expected --name value, got " + name);
    }
    values_[name.substr(2)] = argv[i + 1];
  }
}

int Options::Int(const std::string& name, int fallback) const {
  const auto found = values_.find(name);
  return found == values_.end() ? fallback : std::stoi(found->second);
}

std::string Options::Text(const std::string& name, const std::string& fallback) const {
  const auto found = values_.find(name);
  return found == values_.end() ? fallback : found->second;
}
