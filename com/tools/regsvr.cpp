// qorvel-regsvr: registers in-process automation servers by calling the DllRegisterServer
// of each library named on the command line (into $QORVEL_HOME/registry).
#include <com/hresult.h>

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <library.so>...\n", argv[0]);
    return 2;
  }
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    std::error_code ec;
    // Load by absolute path, so the library finds its own path again through dladdr.
    std::string path = std::filesystem::absolute(argv[i], ec).string();
    void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_NODELETE);
    if (!lib) {
      std::fprintf(stderr, "%s: cannot load: %s\n", argv[i], dlerror());
      status = 1;
      continue;
    }
    auto reg = reinterpret_cast<com::HRESULT (*)()>(dlsym(lib, "DllRegisterServer"));
    if (!reg) {
      std::fprintf(stderr, "%s: no DllRegisterServer\n", argv[i]);
      status = 1;
      continue;
    }
    com::HRESULT hr = reg();
    if (com::FAILED(hr)) {
      std::fprintf(stderr, "%s: DllRegisterServer failed (0x%08X)\n", argv[i], unsigned(hr));
      status = 1;
    }
  }
  return status;
}
