// Calls one export of the library the way an installer script does, in a process of its own
// that has no Qt application: "headless_caller <export> <arguments...>". Prints the result
// and then each text buffer the export filled, one per line.
#include <setuply/Setuply.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::string name = argv[1];
  const auto arg = [&](int i) { return i + 2 < argc ? argv[i + 2] : ""; };
  std::vector<std::vector<char>> buffers(4, std::vector<char>(kSetuplyBufferSize, '\0'));
  int buffersUsed = 0;
  int rc;
  if (name == "DlgAskIP") {
    rc = DlgAskIP(buffers[0].data(), buffers[1].data());
    buffersUsed = 2;
  } else if (name == "DlgAskSQL") {
    rc = DlgAskSQL(buffers[0].data(), buffers[1].data(), buffers[2].data(), buffers[3].data());
    buffersUsed = 4;
  } else if (name == "JBossVirtual") {
    rc = JBossVirtual(arg(0), arg(1), arg(2));
  } else if (name == "SQLCommand") {
    rc = SQLCommand(arg(0), arg(1), arg(2));
  } else if (name == "Z3950Server") {
    rc = Z3950Server(arg(0));
  } else {
    return 2;
  }
  std::printf("%d\n", rc);
  for (int i = 0; i < buffersUsed; ++i) std::printf("%s\n", buffers[i].data());
  return 0;
}
