// The toolkit's one application object lives for as long as the library is loaded.
namespace loomkit {
namespace {
struct Library {
  Library() = default;
};
Library theLibrary;
}  // namespace
}  // namespace loomkit
