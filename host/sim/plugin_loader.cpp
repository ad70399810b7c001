// Loading plug-ins with the platform loader, calling their entry point, and
// what the host checks and cleans up when one unloads.
#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <filesystem>

#include "host/sim/api/runtime_services.h"
#include "host/sim/host_state.h"
#include "text/file_path.h"

namespace sim {

namespace {

// A relative path starts at the working directory, a bare file name too;
// handed to the platform loader as written, either may be looked for along
// the system's search path instead.
std::filesystem::path fileToLoad(const std::string& path) {
#if defined(_WIN32)
  // Always absolute there, in UTF-16, and in the long form when needed.
  return text::systemPath(path);
#else
  std::filesystem::path given(path);
  if (given.is_absolute()) return given;
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(given, ec);
  return ec ? std::filesystem::path(".") / given : absolute;
#endif
}

void closeLibrary(void* library) {
  if (library == nullptr) return;
#if defined(_WIN32)
  FreeLibrary(static_cast<HMODULE>(library));
#else
  dlclose(library);
#endif
}

bool start(HostState& s, std::unique_ptr<LoadedModule> module,
           text::Error& error) {
  s.plugin.module = std::move(module);
  AcRx::AppRetCode result = AcRx::kRetOK;
  s.callPlugin("acrxEntryPoint(kInitAppMsg)", [&] {
    result =
        s.plugin.module->entry(AcRx::kInitAppMsg, &s.plugin.module->appIdToken);
  });
  if (result == AcRx::kRetOK) return true;
  error.message = "the plug-in refused to load (entry point returned " +
                  std::to_string(static_cast<int>(result)) + ")";
  s.finishUnload("after it refused to load");
  return false;
}

}  // namespace

// What the plug-in left behind is reported and taken away before its code
// leaves the process, so nothing calls into unmapped code afterwards.
void HostState::finishUnload(const std::string& when) {
  detachModuleReactors(when);
  removeModuleCommands();
  void* library = plugin.module->library;
  plugin.module.reset();
  closeLibrary(library);
}

bool Host::loadModule(const std::string& path, text::Error& error) {
  HostState& s = *state_;
  if (s.plugin.module) {
    error.message = "a plug-in is already loaded";
    return false;
  }
  if (text::isFolder(path)) {
    error.message = "is a directory";
    return false;
  }
  const std::string problem = text::fileNameProblem(path);
  if (!problem.empty()) {
    error.message = problem;
    return false;
  }
  const std::filesystem::path file = fileToLoad(path);
#if defined(_WIN32)
  // The wide call: a folder named in any script is reached as named.
  HMODULE library = LoadLibraryExW(file.c_str(), nullptr, 0);
  if (library == nullptr) {
    const DWORD code = GetLastError();
    error.message =
        text::windowsMessage(code) + " (error " + std::to_string(code) + ")";
    return false;
  }
  void* symbol =
      reinterpret_cast<void*>(GetProcAddress(library, "acrxEntryPoint"));
#else
  void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* why = dlerror();
    error.message = why != nullptr ? why : "cannot load " + path;
    return false;
  }
  void* symbol = dlsym(library, "acrxEntryPoint");
#endif
  if (symbol == nullptr) {
    error.message = path + " has no acrxEntryPoint";
    closeLibrary(library);
    return false;
  }
  std::unique_ptr<LoadedModule> module(new LoadedModule);
  module->library = library;
  module->entry = reinterpret_cast<EntryPointFunction>(symbol);
  module->path = path;
  module->base = moduleBaseOfAddress(symbol);
  return start(s, std::move(module), error);
}

bool Host::loadModule(EntryPointFunction entryPoint, text::Error& error) {
  HostState& s = *state_;
  if (s.plugin.module) {
    error.message = "a plug-in is already loaded";
    return false;
  }
  if (entryPoint == nullptr) {
    error.message = "no entry point";
    return false;
  }
  std::unique_ptr<LoadedModule> module(new LoadedModule);
  module->entry = entryPoint;
  // The program itself stands for the module: reactors whose classes it
  // defines count as the plug-in's.
  module->base = moduleBaseOfAddress(reinterpret_cast<const void*>(entryPoint));
  return start(s, std::move(module), error);
}

bool Host::unloadModule() {
  HostState& s = *state_;
  if (!s.plugin.module) return false;
  AcRx::AppRetCode result = AcRx::kRetOK;
  s.callPlugin("acrxEntryPoint(kUnloadAppMsg)", [&] {
    result = s.plugin.module->entry(AcRx::kUnloadAppMsg,
                                    &s.plugin.module->appIdToken);
  });
  if (result != AcRx::kRetOK) {
    // The platform's way for an application to stay: it keeps everything
    // it has, and is called as before.
    s.print("The plug-in refused to unload.\n");
    return true;
  }
  s.finishUnload("after it unloaded");
  return true;
}

bool Host::moduleLoaded() const { return state_->plugin.module != nullptr; }

std::string Host::modulePath() const {
  return state_->plugin.module ? state_->plugin.module->path : std::string();
}

}  // namespace sim
