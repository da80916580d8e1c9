// CZ3950Conn: a Z39.50 server of the server list, reached through the automation objects
// of zoom (zoom.ZoomConn, zoom.ZoomRs, zoom.ZoomRec). With a window its calls run on threads
// of their own while the window stays alive; a server that fails is told once, and one
// that does not answer in its time-out is searched no more in the run.
#pragma once

#include "server_conn.h"

#include <functional>
#include <memory>
#include <optional>

class CZ3950Conn : public CServerConn {
 public:
  /// \brief Creates the three zoom objects.
  CZ3950Conn();
  /// Closes the connection, unless a call given up at a stop still holds it.
  ~CZ3950Conn() override;

 protected:
  /// The server's name, with ":" and the port of its section in Loomstore.ini when it has one.
  u16 HostOf(const u16& server) const override;
  void Connect() override;
  /// The prefix query of Bib-1 use attribute 7 (ISBN) for the key.
  u16 QueryOf(const u16& key) const override;
  /// Connects first when the entry asks for a connection for every search or when it is not
  /// connected (after the pause of waitSeconds when it was).
  std::optional<int32_t> Find(const u16& query, CSearchHost& window) override;
  u16 FetchText(int32_t index) override;
  /// No further hit comes once the server was given up or its connection lost.
  bool CanFetchMore() const override { return !abandoned && connected; }

 private:
  struct ZoomObjects;
  bool ConnectZoom();
  /// Runs `call` on the zoom objects; with a host, on a thread of its own while the window
  /// stays alive. Nothing when the run was stopped during the call (then abandoned). The call
  /// may outlive this object: it holds what it needs itself, never this object.
  template <class R>
  std::optional<R> ZoomCall(std::function<R(ZoomObjects&)> call);
  /// A search's failure for the server's sake: counted, told once, then shown as the status.
  void ServerFailed(int32_t error, bool connecting);

  // The zoom objects, shared with a call given up at a stop, which lets go of them last.
  std::shared_ptr<ZoomObjects> zoom_;
  /// The server did not answer within its time-out: each further item would wait for it as
  /// long, so it is searched no more in this run.
  bool down = false;
  /// Its failure has been told in a message box; later ones go to the status line.
  bool failureTold = false;
};
