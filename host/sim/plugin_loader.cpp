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

namespace sim {

namespace {

// A relative path starts at the working directory, a bare file name too;
// handed to the platform loader as written, either may be looked for along
// the system's search path instead.
std::string fileToLoad(const std::string& path) {
  const std::filesystem::path given(path);
  if (given.is_absolute()) return path;
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(given, ec);
  return ec ? (std::filesystem::path(".") / given).string() : absolute.string();
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
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    error.message = "is a directory";
    return false;
  }
  const std::string file = fileToLoad(path);
#if defined(_WIN32)
  HMODULE library = LoadLibraryA(file.c_str());
  if (library == nullptr) {
    error.message = "cannot load " + path + " (error " +
                    std::to_string(GetLastError()) + ")";
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
