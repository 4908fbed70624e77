// Linux loader calls of the host stand-in.
#include <dlfcn.h>
#include <unistd.h>

#include <climits>

#include "testing/host_standin/plugin_library.h"

void* OpenLibrary(const std::string& utf8Path, std::string* error) {
  void* library = dlopen(utf8Path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) *error = dlerror();
  return library;
}

void* FindSymbol(void* library, const char* name) { return dlsym(library, name); }

void CloseLibrary(void* library) { dlclose(library); }

std::string ProgramDirectory() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return "./";
  std::string program(path, static_cast<size_t>(length));
  return program.substr(0, program.rfind('/') + 1);
}

const char* PluginFileName() { return "zovik_linux_amd64.so"; }
