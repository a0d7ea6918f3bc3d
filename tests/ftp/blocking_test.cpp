#include "ftp/blocking.h"

#include <sys/socket.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "ftp/channel_errors.h"
#include "ftp/socket_errors.h"
#include "socket_test_support.h"

namespace quillmar {
namespace {

TEST(BlockingTest, HookRunsInsideABlockingReadAndItsCancelEndsIt) {
  TLoopbackPair pair;
  int calls = 0;
  bool blocking_inside = false;
  TScopedHook hook([&] {
    ++calls;
    blocking_inside = WSAIsBlocking();
    WSACancelBlockingCall();
  });
  EXPECT_FALSE(WSAIsBlocking());
  EXPECT_EQ(pair.Client.Read(), "");
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(blocking_inside);
  EXPECT_EQ(pair.Client.LastError, kWsaEIntr);
  EXPECT_TRUE(pair.Client.Connected);

  // The cancel sticks: data waiting or not, the next call fails at once, without the hook.
  ::send(pair.Server.Handle, "late", 4, 0);
  EXPECT_EQ(pair.Client.Read(), "");
  EXPECT_EQ(calls, 1);
  pair.Client.WriteStr("lost");
  EXPECT_EQ(pair.Client.LastError, kWsaEIntr);

  ResetBlockingCancel();
  EXPECT_EQ(pair.Client.Read(), "late");
}

TEST(BlockingTest, CancelledConnectFails) {
  TTcpSocket listener;
  listener.Listen();
  TScopedHook hook(nullptr);
  WSACancelBlockingCall();
  TTcpSocket client;
  EXPECT_EQ(MessageOf<ESocketsError>(
                [&] { client.Connect("127.0.0.1," + std::to_string(listener.Port)); }),
            "Can't connect to 127.0.0.1 [127.0.0.1]\r\nInterrupted function call");
  EXPECT_FALSE(client.HasHandle());
}

TEST(BlockingTest, NestedBlockingCallFromTheHookFails) {
  TLoopbackPair outer;
  TLoopbackPair inner;
  std::string nested_error;
  TScopedHook hook([&] {
    nested_error = MessageOf<ESocketsError>([&] { inner.Client.Read(); });
    WSACancelBlockingCall();
  });
  outer.Client.Read();
  EXPECT_EQ(nested_error, "WSAEINPROGRESS: Operation now in progress");
}

TEST(BlockingTest, CloseFromTheHookCancelsTheCallInProgress) {
  TLoopbackPair pair;
  TScopedHook hook([&] { pair.Client.Close(); });
  EXPECT_EQ(pair.Client.Read(), "");
  EXPECT_EQ(pair.Client.LastError, kWsaEIntr);
  EXPECT_FALSE(pair.Client.HasHandle());
  EXPECT_FALSE(pair.Client.Connected);
}

TEST(BlockingTest, RequestFromAnotherThreadCancelsTheTargetWhileItWaits) {
  TLoopbackPair pair;
  std::atomic<bool> waiting{false};
  TScopedHook hook([&] { waiting = true; });
  SetCancelTargetThread();
  std::thread requester([&] {
    while (!waiting)
      std::this_thread::yield();
    RequestBlockingCancel();
  });
  EXPECT_EQ(pair.Client.Read(), "");
  requester.join();
  ClearCancelTargetThread();
  EXPECT_EQ(pair.Client.LastError, kWsaEIntr);
  EXPECT_TRUE(BlockingCancelled());
  // Without a target a request reaches nobody.
  ResetBlockingCancel();
  RequestBlockingCancel();
  EXPECT_FALSE(BlockingCancelled());
}

TEST(BlockingTest, CancelOfOneThreadDoesNotReachAnother) {
  TLoopbackPair pair;
  std::string got;
  std::atomic<bool> worker_waiting{false};
  std::thread worker([&] {
    SetBlockingHook([&] { worker_waiting = true; });
    got = pair.Client.Read();
  });
  while (!worker_waiting)
    std::this_thread::yield();
  {
    TScopedHook hook(nullptr);
    WSACancelBlockingCall();
    ASSERT_EQ(::send(pair.Server.Handle, "data", 4, MSG_NOSIGNAL), 4);
    worker.join();
  }
  EXPECT_EQ(got, "data");
}

TEST(BlockingTest, AbortFlagEndsTheWaitOfItsThread) {
  TLoopbackPair pair;
  std::atomic<bool> abort{false};
  std::int32_t error = 0;
  std::thread worker([&] {
    SetThreadAbortFlag(&abort);
    SetBlockingHook([&] { abort = true; });
    pair.Client.Read();
    error = pair.Client.LastError;
    SetThreadAbortFlag(nullptr);
  });
  worker.join();
  EXPECT_EQ(error, kWsaEIntr);
}

TEST(BlockingTest, DeadlineEndsTheWaitWithTimeout) {
  TLoopbackPair pair;
  {
    TBlockingDeadline outer(std::chrono::seconds(30));
    TBlockingDeadline inner(std::chrono::milliseconds(60));
    EXPECT_EQ(MessageOf<ESocketsError>([&] { pair.Client.Read(); }),
              "WSAETIMEDOUT: Connection timed out");
  }
  EXPECT_TRUE(pair.Client.Connected);
  ::send(pair.Server.Handle, "ok", 2, 0);
  EXPECT_EQ(pair.Client.Read(), "ok");
}

TEST(BlockingTest, WaitBlockingReportsConditionLimitAndCancel) {
  int slices = 0;
  EXPECT_EQ(WaitBlocking([&](std::chrono::milliseconds) { return ++slices == 3; }, kWaitForever),
            0);
  EXPECT_EQ(
      WaitBlocking([](std::chrono::milliseconds) { return false; }, std::chrono::milliseconds(30)),
      kWsaEWouldBlock);
  TScopedHook hook([] { WSACancelBlockingCall(); });
  EXPECT_EQ(WaitBlocking([](std::chrono::milliseconds) { return false; }, kWaitForever), kWsaEIntr);
}

}  // namespace
}  // namespace quillmar
