// Starting and ending the server process of ZoomSvr.
#pragma once

#include <sys/types.h>

#include <string>

namespace zoomsvr {

/// The running server process and the object's end of the relay.
struct HostProcess {
  pid_t pid = -1;
  int fd = -1;
  bool running() const { return pid > 0; }
};

/// \brief The listening address: $QORVEL_ZOOMSVR_LISTEN when set and not empty, else
/// "tcp:@:210" (TCP port 210 of every interface).
std::string listenAddress();

/// \brief Starts the server process on `address` and waits until it listens; a process
/// that is not running when the address could not be bound (or the program is missing).
HostProcess startHost(const std::string& address);

/// \brief Ends the process at once (the kernel then frees its port) and closes the relay.
void stopHost(HostProcess& host);

}  // namespace zoomsvr
