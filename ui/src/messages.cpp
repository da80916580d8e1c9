#include <ui/messages.h>

#include <ui/handles.h>

#include "handles_internal.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace ui {

MessageEvent::MessageEvent(uint32_t m, WPARAM w, LPARAM l)
    : QEvent(eventType()), message(m), wParam(w), lParam(l) {}

QEvent::Type MessageEvent::eventType() {
  static const QEvent::Type t = QEvent::Type(QEvent::registerEventType());
  return t;
}

namespace {

class MessageFilter : public QObject {
 public:
  MessageFilter(QObject* target, MessageHandler h) : QObject(target), handler_(std::move(h)) {}
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() != MessageEvent::eventType()) return false;
    auto* m = static_cast<MessageEvent*>(e);
    m->result = handler_(m->message, m->wParam, m->lParam);
    return true;
  }

 private:
  MessageHandler handler_;
};

// One send waiting for its receiver. The receiver claims it before delivering, so a sender
// that gave up is never answered late and one that is answered is never left early.
struct PendingSend {
  std::mutex lock;
  std::condition_variable changed;
  enum State { Waiting, Running, Finished, Abandoned, Dropped } state = Waiting;
  LRESULT result = 0;
  // The sender's cancel flag, looked at by the receiver too: a send cancelled before the
  // receiver took it is never delivered, even when the sender has not noticed yet. Read only
  // while Waiting, when the sender is still blocked and its flag alive.
  const std::atomic<bool>* cancel = nullptr;

  bool claim() {
    std::unique_lock g(lock);
    if (state != Waiting) return false;
    if (cancel && cancel->load()) {
      state = Abandoned;
      g.unlock();
      changed.notify_all();
      return false;
    }
    state = Running;
    return true;
  }
  void finish(State s, LRESULT r = 0) {
    {
      std::lock_guard g(lock);
      result = r;
      state = s;
    }
    changed.notify_all();
  }
};

// Travels with the queued call: when the call is dropped (its receiver deleted before the
// call ran), the destructor tells the sender.
struct DropNotice {
  explicit DropNotice(std::shared_ptr<PendingSend> s) : send(std::move(s)) {}
  DropNotice(const DropNotice&) = delete;
  DropNotice& operator=(const DropNotice&) = delete;
  std::shared_ptr<PendingSend> send;
  ~DropNotice() {
    if (send->claim()) send->finish(PendingSend::Dropped);
  }
};

}  // namespace

void onMessages(QObject* target, MessageHandler handler) {
  if (target) target->installEventFilter(new MessageFilter(target, std::move(handler)));
}

bool postMessage(QObject* target, uint32_t message, WPARAM wParam, LPARAM lParam) {
  if (!target) return false;
  QCoreApplication::postEvent(target, new MessageEvent(message, wParam, lParam));
  return true;
}

bool postMessage(HWND target, uint32_t message, WPARAM wParam, LPARAM lParam) {
  // Posted with the handle table held, so the window cannot be deleted in between.
  return detail::withLiveObject(target, [&](QObject* o) {
    QCoreApplication::postEvent(o, new MessageEvent(message, wParam, lParam));
  });
}

bool postEvent(HWND target, QEvent* event) {
  bool queued = detail::withLiveObject(target, [&](QObject* o) { QCoreApplication::postEvent(o, event); });
  if (!queued) delete event;
  return queued;
}

namespace {

SendStatus deliverHere(QObject* target, uint32_t message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  MessageEvent e(message, wParam, lParam);
  QCoreApplication::sendEvent(target, &e);
  if (result) *result = e.result;
  return SendStatus::Done;
}

// Queues the call that delivers a send on the receiver's thread.
std::shared_ptr<PendingSend> queueSend(QObject* target, uint32_t message, WPARAM wParam, LPARAM lParam,
                                       const std::atomic<bool>* cancel) {
  auto pending = std::make_shared<PendingSend>();
  pending->cancel = cancel;
  auto notice = std::make_shared<DropNotice>(pending);
  QPointer<QObject> guard(target);
  QMetaObject::invokeMethod(
      target,
      [notice, guard, message, wParam, lParam] {
        if (!notice->send->claim()) return;
        MessageEvent e(message, wParam, lParam);
        if (guard) QCoreApplication::sendEvent(guard.data(), &e);
        notice->send->finish(PendingSend::Finished, e.result);
      },
      Qt::QueuedConnection);
  return pending;
}

SendStatus waitForSend(PendingSend& pending, LRESULT* result, const SendOptions& options) {
  using clock = std::chrono::steady_clock;
  const auto deadline = clock::now() + std::chrono::milliseconds(options.timeoutMs);
  std::unique_lock g(pending.lock);
  for (;;) {
    if (pending.state == PendingSend::Finished) {
      if (result) *result = pending.result;
      return SendStatus::Done;
    }
    if (pending.state == PendingSend::Dropped) return SendStatus::Dropped;
    if (pending.state == PendingSend::Abandoned) return SendStatus::Cancelled;
    if (pending.state == PendingSend::Waiting) {
      if (options.cancel && options.cancel->load()) {
        pending.state = PendingSend::Abandoned;
        return SendStatus::Cancelled;
      }
      if (options.timeoutMs >= 0 && clock::now() >= deadline) {
        pending.state = PendingSend::Abandoned;
        return SendStatus::TimedOut;
      }
    }
    // Short waits so that the cancel flag, which nobody signals, is seen soon.
    pending.changed.wait_for(g, std::chrono::milliseconds(options.cancel ? 10 : 100));
  }
}

}  // namespace

SendStatus sendMessage(QObject* target, uint32_t message, WPARAM wParam, LPARAM lParam,
                       LRESULT* result, const SendOptions& options) {
  if (result) *result = 0;
  if (!target) return SendStatus::NoTarget;
  if (target->thread() == QThread::currentThread()) return deliverHere(target, message, wParam, lParam, result);
  auto pending = queueSend(target, message, wParam, lParam, options.cancel);
  return waitForSend(*pending, result, options);
}

SendStatus sendMessage(HWND target, uint32_t message, WPARAM wParam, LPARAM lParam, LRESULT* result,
                       const SendOptions& options) {
  if (result) *result = 0;
  QObject* here = nullptr;
  std::shared_ptr<PendingSend> pending;
  // Only the queueing needs the table held; a window of this thread cannot be deleted by
  // another, and its handler may well use handles itself.
  const bool live = detail::withLiveObject(target, [&](QObject* o) {
    if (o->thread() == QThread::currentThread()) here = o;
    else pending = queueSend(o, message, wParam, lParam, options.cancel);
  });
  if (!live) return SendStatus::NoTarget;
  if (here) return deliverHere(here, message, wParam, lParam, result);
  return waitForSend(*pending, result, options);
}

LRESULT sendMessage(QObject* target, uint32_t message, WPARAM wParam, LPARAM lParam) {
  LRESULT r = 0;
  sendMessage(target, message, wParam, lParam, &r);
  return r;
}

LRESULT sendMessage(HWND target, uint32_t message, WPARAM wParam, LPARAM lParam) {
  LRESULT r = 0;
  sendMessage(target, message, wParam, lParam, &r);
  return r;
}

}  // namespace ui
