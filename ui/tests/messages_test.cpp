#include <ui/handles.h>
#include <ui/messages.h>

#include <QCoreApplication>
#include <QThread>
#include <QWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace {

using namespace ui;

constexpr uint32_t WM_TEST = WM_USER + 100;

struct Receiver {
  QWidget window;
  std::vector<std::tuple<uint32_t, WPARAM, LPARAM>> seen;
  Qt::HANDLE seenOn = nullptr;
  Receiver() {
    onMessages(&window, [this](uint32_t m, WPARAM w, LPARAM l) -> LRESULT {
      seen.emplace_back(m, w, l);
      seenOn = QThread::currentThreadId();
      return LRESULT(w) * 2;
    });
  }
};

// Runs `f` on a thread while this (the GUI) thread keeps handling events.
template <class F>
void onWorker(F f) {
  std::atomic<bool> done{false};
  std::thread t([&] {
    f();
    done = true;
  });
  while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  t.join();
}

TEST(Messages, PostedMessagesArriveInOrderWhenEventsRun) {
  Receiver r;
  EXPECT_TRUE(postMessage(handleOf(&r.window), WM_TEST, 22, 0x0405));
  EXPECT_TRUE(postMessage(&r.window, WM_TEST, 23, -1));
  EXPECT_FALSE(postMessage(HWND(0), WM_TEST, 1, 1));
  EXPECT_TRUE(r.seen.empty());
  QCoreApplication::processEvents();
  ASSERT_EQ(r.seen.size(), 2u);
  EXPECT_EQ(r.seen[0], std::make_tuple(WM_TEST, WPARAM(22), LPARAM(0x0405)));
  EXPECT_EQ(std::get<2>(r.seen[1]), LPARAM(-1));
}

TEST(Messages, SendOnTheSameThreadIsDirect) {
  Receiver r;
  EXPECT_EQ(sendMessage(&r.window, WM_TEST, 21, 0), 42);
  EXPECT_EQ(r.seen.size(), 1u);
  LRESULT res = -5;
  EXPECT_EQ(sendMessage(nullptr, WM_TEST, 1, 0, &res), SendStatus::NoTarget);
  EXPECT_EQ(res, 0);
}

TEST(Messages, SendFromAnotherThreadRunsOnTheReceiversThreadAndWaits) {
  Receiver r;
  HWND h = handleOf(&r.window);
  char16_t text[] = u"status";
  LRESULT got = 0;
  std::vector<LRESULT> order;
  onWorker([&] {
    // The text lives on the sender's stack: valid for exactly the duration of the call.
    got = sendMessage(h, WM_TEST, 15, reinterpret_cast<LPARAM>(text));
    order.push_back(LRESULT(r.seen.size()));  // the handler already ran
  });
  EXPECT_EQ(got, 30);
  ASSERT_EQ(order.size(), 1u);
  EXPECT_EQ(order[0], 1);
  EXPECT_EQ(r.seenOn, QThread::currentThreadId());
  EXPECT_EQ(std::get<2>(r.seen[0]), reinterpret_cast<LPARAM>(text));
}

TEST(Messages, CancelledOrTimedOutSendIsNeverDeliveredLate) {
  Receiver r;
  std::atomic<bool> cancel{false};
  SendStatus s1 = SendStatus::Done, s2 = SendStatus::Done;
  // This thread handles no events while the worker waits, so the message stays queued.
  std::thread t([&] {
    SendOptions o;
    o.cancel = &cancel;
    LRESULT res = 0;
    s1 = sendMessage(&r.window, WM_TEST, 1, 0, &res, o);
  });
  cancel = true;
  t.join();
  std::thread t2([&] {
    SendOptions o;
    o.timeoutMs = 0;
    LRESULT res = 0;
    s2 = sendMessage(&r.window, WM_TEST, 2, 0, &res, o);
  });
  t2.join();
  EXPECT_EQ(s1, SendStatus::Cancelled);
  EXPECT_EQ(s2, SendStatus::TimedOut);
  QCoreApplication::processEvents();
  EXPECT_TRUE(r.seen.empty()) << "the abandoned sends must not run after their senders left";
}

// The receiver runs its events right after the flag is set, before the sender (which looks at
// its flag every few milliseconds) can have noticed: the message is still not delivered.
TEST(Messages, ACancelledSendIsNotDeliveredBeforeItsSenderNotices) {
  Receiver r;
  const HWND h = handleOf(&r.window);
  for (int round = 0; round < 10; ++round) {
    std::atomic<bool> cancel{false};
    SendStatus status = SendStatus::Done;
    std::thread t([&] {
      SendOptions o;
      o.cancel = &cancel;
      LRESULT res = 0;
      status = sendMessage(h, WM_TEST, 1, 0, &res, o);
    });
    QThread::msleep(15);  // queued by now, the sender waiting
    cancel = true;
    QCoreApplication::processEvents();
    t.join();
    EXPECT_EQ(status, SendStatus::Cancelled) << round;
  }
  EXPECT_TRUE(r.seen.empty());
}

TEST(Messages, SendsByHandleAreCancelledAndFindDeletedWindowsGone) {
  auto r = std::make_unique<Receiver>();
  const HWND h = handleOf(&r->window);
  std::atomic<bool> cancel{true};
  SendStatus cancelled = SendStatus::Done, dropped = SendStatus::Done, gone = SendStatus::Done;
  std::thread([&] {
    SendOptions o;
    o.cancel = &cancel;
    LRESULT res = 0;
    cancelled = sendMessage(h, WM_TEST, 1, 0, &res, o);
  }).join();
  // Queued while the window lives, then the window is deleted before it takes the message.
  std::atomic<bool> queued{false};
  std::thread waiter([&] {
    SendOptions o;
    o.cancel = &queued;  // never set: only the deletion ends the wait
    LRESULT res = 0;
    dropped = sendMessage(h, WM_TEST, 2, 0, &res, o);
  });
  QThread::msleep(20);  // most often queued by now; if not, the send finds no window
  r.reset();
  waiter.join();
  std::thread([&] {
    LRESULT res = 0;
    gone = sendMessage(h, WM_TEST, 3, 0, &res);
  }).join();
  EXPECT_EQ(cancelled, SendStatus::Cancelled);
  EXPECT_TRUE(dropped == SendStatus::Dropped || dropped == SendStatus::NoTarget) << int(dropped);
  EXPECT_EQ(gone, SendStatus::NoTarget);
  EXPECT_FALSE(postMessage(h, WM_TEST, 4, 0));
}

// Workers keep posting and sending by handle while this thread deletes the windows; under the
// sanitizers a post reaching a half-deleted window shows as a use after free.
TEST(Messages, WindowsDeletedWhileWorkersPostToThem) {
  for (int round = 0; round < 50; ++round) {
    auto r = std::make_unique<Receiver>();
    const HWND h = handleOf(&r->window);
    std::atomic<bool> stop{false};
    std::atomic<int> posted{0};
    std::thread poster([&] {
      while (!stop) {
        if (postMessage(h, WM_TEST, 1, 0)) ++posted;
      }
    });
    std::thread sender([&] {
      SendOptions o;
      o.cancel = &stop;
      while (!stop) {
        LRESULT res = 0;
        sendMessage(h, WM_TEST, 2, 0, &res, o);
      }
    });
    while (posted < 20) QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    r.reset();  // deleted on its own thread with posts in flight
    QCoreApplication::processEvents();
    stop = true;
    poster.join();
    sender.join();
    EXPECT_FALSE(postMessage(h, WM_TEST, 1, 0));
  }
  QCoreApplication::processEvents();
}

}  // namespace
