// A library that breaks the export rule on purpose, for the test layer_exports_planted_leak:
// it defines and exports a function of the platform layer's namespace, as a library that
// carries a copy of the layer would. The export check must name it.
namespace platform {

__attribute__((visibility("default"))) int plantedLeak() { return 1; }

}  // namespace platform
