#include <qorvel_testing/testing.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace qtest {

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "qorvel-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

TempHome::TempHome() {
  if (const char* v = std::getenv("QORVEL_HOME")) {
    hadOld_ = true;
    old_ = v;
  }
  setenv("QORVEL_HOME", dir_.path().c_str(), 1);
}

TempHome::~TempHome() {
  if (hadOld_) setenv("QORVEL_HOME", old_.c_str(), 1);
  else unsetenv("QORVEL_HOME");
}

std::string readFile(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

void writeFile(const std::filesystem::path& p, const std::string& bytes) {
  std::ofstream f(p, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), std::streamsize(bytes.size()));
}

std::filesystem::path sourceDir() {
  const char* v = std::getenv("QORVEL_SOURCE_DIR");
  return v ? v : QORVEL_TESTING_SOURCE_DIR;
}

std::filesystem::path binaryDir() {
  const char* v = std::getenv("QORVEL_BINARY_DIR");
  return v ? v : QORVEL_TESTING_BINARY_DIR;
}

int run(const std::string& command, std::string* output) {
  FILE* p = popen(command.c_str(), "r");
  if (!p) return -1;
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int st = pclose(p);
  if (output) *output = std::move(out);
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

bool writeOdsPackage(const std::filesystem::path& p, const std::string& rows) {
  TempDir pkg;
  writeFile(pkg.path() / "mimetype", "application/vnd.oasis.opendocument.spreadsheet");
  writeFile(pkg.path() / "content.xml",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
            "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
            " xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\""
            " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" office:version=\"1.2\">"
            "<office:body><office:spreadsheet><table:table table:name=\"Sheet1\">" +
                rows + "</table:table></office:spreadsheet></office:body></office:document-content>");
  std::filesystem::create_directories(pkg.path() / "META-INF");
  writeFile(pkg.path() / "META-INF/manifest.xml",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><manifest:manifest "
            "xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\">"
            "<manifest:file-entry manifest:full-path=\"/\" "
            "manifest:media-type=\"application/vnd.oasis.opendocument.spreadsheet\"/>"
            "<manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/>"
            "</manifest:manifest>");
  std::string cd = "cd '" + pkg.path().string() + "' && ";
  return run(cd + "zip -q -X -0 '" + p.string() + "' mimetype && zip -q -X -r '" + p.string() + "' content.xml META-INF") == 0;
}

}  // namespace qtest
