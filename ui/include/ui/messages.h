// Window messages between the suite's windows as Qt events carrying (message, wParam,
// lParam). Posting queues the event; sending delivers it on the receiver's thread and
// waits for its result.
#pragma once

#include <ui/export.h>
#include <ui/win.h>

#include <QEvent>

#include <atomic>
#include <functional>

class QObject;

QORVEL_UI_API_BEGIN
namespace ui {

class MessageEvent : public QEvent {
 public:
  MessageEvent(uint32_t message, WPARAM wParam, LPARAM lParam);
  /// \brief The event type of every window message.
  static QEvent::Type eventType();

  uint32_t message;
  WPARAM wParam;
  LPARAM lParam;
  /// Set by the receiver; a send returns it.
  LRESULT result = 0;
};

/// A message handler: returns the message's result.
using MessageHandler = std::function<LRESULT(uint32_t message, WPARAM wParam, LPARAM lParam)>;
/// \brief Lets `target` answer window messages with `handler` (an event filter owned by the
/// target); every MessageEvent reaching it is consumed.
void onMessages(QObject* target, MessageHandler handler);

/// \brief PostMessage: queues the message for the receiver's thread; false when there is no
/// receiver. Workers post by handle: the window may be deleted on its own thread meanwhile.
bool postMessage(QObject* target, uint32_t message, WPARAM wParam, LPARAM lParam);
bool postMessage(HWND target, uint32_t message, WPARAM wParam, LPARAM lParam);

/// \brief Posts an event of the caller's own type to the window behind a handle, with the
/// same protection against a window deleted meanwhile; takes the event in every case (it is
/// deleted when there is no receiver) and returns whether it was queued.
bool postEvent(HWND target, QEvent* event);

enum class SendStatus { Done, NoTarget, TimedOut, Cancelled, Dropped };

struct SendOptions {
  /// Milliseconds to wait for the receiver to take the message; negative: no limit.
  int timeoutMs = -1;
  /// Polled while waiting; set, it abandons the send. The receiver looks at it too: a send
  /// whose flag is set before the receiver takes it is never delivered.
  const std::atomic<bool>* cancel = nullptr;
};

/// \brief SendMessage: on the receiver's thread delivers at once; from another thread queues
/// the message and blocks until the receiver has handled it. The wait ends early by the
/// time-out or the cancel flag only while the receiver has not yet started on the message
/// (once it has, the sender waits for the end, so what lParam points to stays valid for the
/// whole call). A receiver deleted before it took the message gives Dropped.
SendStatus sendMessage(QObject* target, uint32_t message, WPARAM wParam, LPARAM lParam,
                       LRESULT* result, const SendOptions& options = {});
/// \brief SendMessage to the window behind a handle, with the same rules; a window deleted
/// on its own thread meanwhile gives NoTarget or Dropped, never a call on a dead object.
SendStatus sendMessage(HWND target, uint32_t message, WPARAM wParam, LPARAM lParam, LRESULT* result,
                       const SendOptions& options = {});
/// \brief SendMessage with no limit; 0 when the message could not be delivered.
LRESULT sendMessage(QObject* target, uint32_t message, WPARAM wParam, LPARAM lParam);
LRESULT sendMessage(HWND target, uint32_t message, WPARAM wParam, LPARAM lParam);

}  // namespace ui
QORVEL_UI_API_END
