// A pseudo-terminal pair whose slave stands for serial port COM<n> while the object lives:
// $QORVEL_COM<n> names the slave, and what the test writes into the master is what the
// port receives.
#pragma once

#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace qtest {

class PtyPort {
 public:
  explicit PtyPort(int n = 1) : var_("QORVEL_COM" + std::to_string(n)) {
    char name[256] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
    path_ = name;
    if (const char* old = std::getenv(var_.c_str())) old_ = old, hadOld_ = true;
    setenv(var_.c_str(), path_.c_str(), 1);
  }
  PtyPort(const PtyPort&) = delete;
  PtyPort& operator=(const PtyPort&) = delete;
  ~PtyPort() {
    if (hadOld_) setenv(var_.c_str(), old_.c_str(), 1);
    else unsetenv(var_.c_str());
    closeMaster();
    if (slave_ >= 0) ::close(slave_);
  }

  /// Writes all the bytes into the master; false when the write fails or falls short.
  bool write(const std::string& bytes) const {
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) return false;
      done += size_t(n);
    }
    return true;
  }
  /// Hangs the line up.
  void closeMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }
  /// The line settings as the port left them.
  termios settings() const {
    termios t{};
    tcgetattr(slave_, &t);
    return t;
  }
  const std::string& path() const { return path_; }

 private:
  std::string var_, path_, old_;
  bool hadOld_ = false;
  int master_ = -1, slave_ = -1;
};

}  // namespace qtest
