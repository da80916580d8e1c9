// The library's application object: the host folder, and the registration of the outside
// control sprite.ocx that hosts ship beside the program.
#include "penwick_app.h"

#include <platform/paths.h>

#include <dlfcn.h>

#include <string>

namespace {

// The full path of the program is kept to 256 units, as the folder is everywhere else.
constexpr size_t kHostPathMax = 255;

class CPenwickApp {
 public:
  CPenwickApp() {
    std::u16string exe = platform::pathToWide(platform::programPath());
    if (exe.size() > kHostPathMax) exe.resize(kHostPathMax);
    size_t slash = exe.rfind(u'/');
    hostFolder_ = slash == std::u16string::npos ? std::u16string() : exe.substr(0, slash);
    RegisterSprite();
  }
  const std::u16string& HostFolder() const { return hostFolder_; }

 private:
  // The control is registered once per load of the library; any failure is silent.
  void RegisterSprite() {
    std::string path = platform::joinPath(platform::pathFromWide(hostFolder_), "sprite.ocx");
    void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib) return;
    using Register = long (*)();
    if (auto reg = reinterpret_cast<Register>(dlsym(lib, "DllRegisterServer"))) reg();
    dlclose(lib);
  }
  std::u16string hostFolder_;
};

CPenwickApp& theApp() {
  static CPenwickApp app;
  return app;
}

// Constructed when the library is loaded.
[[maybe_unused]] CPenwickApp& loaded = theApp();

}  // namespace

const char16_t* PenwickHostFolder() { return theApp().HostFolder().c_str(); }
