// The relay between the Z39.50 server process and the ZoomSvr object that spawned it: one
// frame per request or answer over a stream socket pair.
//
// Frame: 4-byte length of what follows (little-endian), 1-byte kind, 4-byte sequence
// number, then the payload. Sizes are not fixed: a query term or a record is as long as
// it is.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zoomsvr {

enum class Kind : uint8_t {
  // From the server process.
  Listening = 'L',   // the listener is bound; payload empty
  BindFailed = 'B',  // statserv_main ended without listening; payload empty
  Peer = 'P',        // an association was accepted; payload: the client's address
  Search = 'S',      // payload: the term's bytes
  Fetch = 'F',       // payload: 4-byte position, counted from 1
  Cancel = 'X',      // the client of request `seq` hung up: no answer is wanted any more
  // From the object.
  Count = 'c',       // payload: 4-byte status (0, or the diagnostic), 4-byte hit count
  Record = 'r',      // payload: 4-byte status, then the ISO 2709 record's bytes
};

struct Frame {
  Kind kind{};
  uint32_t seq = 0;
  std::string payload;
};

/// \brief Writes one frame whole; false when the peer is gone.
bool writeFrame(int fd, const Frame& frame);
/// \brief Reads one frame; nothing at the end of the stream or on a broken frame.
std::optional<Frame> readFrame(int fd);

/// \brief 4 bytes little-endian, and back.
std::string packInt(int32_t value);
int32_t unpackInt(const std::string& bytes, size_t at);

/// The descriptor number under which the server process finds its end of the pair.
inline constexpr int kRelayFd = 3;
/// The server process's file name, in the folder of libzoom.so.
inline constexpr char kServerProgram[] = "zoomsvr-host";

}  // namespace zoomsvr
