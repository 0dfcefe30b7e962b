#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "net/client_observer.h"
#include "net/control_message.h"
#include "net/mouse_sender.h"
#include "net/remote_key_queue.h"
#include "net/remote_keys.h"
#include "net_test_support.h"

namespace marlin::net {
namespace {

using namespace std::chrono_literals;

const auto message = testing::controlBytes;

TEST(RemoteKeys, MapCommandsKeysAndCharactersToDvrValues) {
  EXPECT_EQ(remoteValueForCommand(32877), 22);   // Channel 6
  EXPECT_EQ(remoteValueForCommand(32854), 132);  // Split
  EXPECT_EQ(remoteValueForCommand(32848), 9);    // Pause
  EXPECT_EQ(remoteValueForCommand(32881), 15);   // Se&q shares Select's value
  EXPECT_EQ(remoteValueForCommand(32882), 15);
  EXPECT_EQ(remoteValueForCommand(32863), std::nullopt);
  EXPECT_EQ(remoteValueForCommand(32847), std::nullopt);
  EXPECT_EQ(buildRemoteKeyMessage(*remoteValueForCommand(32877)), message("001000850016"));

  EXPECT_EQ(remoteValueForKey(KeyboardKey::Backspace), 7);
  EXPECT_EQ(remoteValueForKey(KeyboardKey::PageDown), 15);
  EXPECT_EQ(remoteValueForKey(KeyboardKey::End), 12);
  EXPECT_EQ(remoteValueForKey(KeyboardKey::Delete), 5);
  EXPECT_EQ(remoteValueForKey(KeyboardKey::F1), 136);
  EXPECT_EQ(remoteValueForKey(KeyboardKey::F4), 135);

  EXPECT_EQ(remoteValueForCharacter(U'a'), 'A');
  EXPECT_EQ(remoteValueForCharacter(U'Z'), 'Z');
  EXPECT_EQ(remoteValueForCharacter(U'7'), '7');
  EXPECT_EQ(remoteValueForCharacter(U'/'), '/');
  EXPECT_EQ(remoteValueForCharacter(U'.'), std::nullopt);
  EXPECT_EQ(remoteValueForCharacter(U'\u00E9'), std::nullopt);
}

class Mouse : public ::testing::Test {
 protected:
  MouseSender::Clock::time_point t0 = MouseSender::Clock::now();
  SharedMouse shared;
  MouseSender sender{shared};
};

TEST_F(Mouse, MergesEventsIntoOneMessageEvery250Milliseconds) {
  EXPECT_EQ(sender.nextDeadline(), std::nullopt);
  for (int i = 0; i < 10; ++i) {
    shared.record({0, 100 + i, 50 + i, 640, 448});
  }
  ASSERT_TRUE(sender.nextDeadline());
  EXPECT_LE(*sender.nextDeadline(), t0);
  EXPECT_EQ(sender.due(t0), message("0020008900000280"
                                    "01C0006D003B"));
  EXPECT_EQ(sender.due(t0 + 1ms), std::nullopt);

  shared.record({2, 1, 2, 640, 448});
  EXPECT_EQ(sender.nextDeadline(), t0 + 250ms);
  EXPECT_EQ(sender.due(t0 + 249ms), std::nullopt);
  EXPECT_EQ(sender.due(t0 + 250ms), message("002000890002028001C000010002"));
  EXPECT_FALSE(shared.isFresh());
}

TEST_F(Mouse, OnlyAPressTheDvrHeardWithoutItsReleaseIsReleasedAtTheEnd) {
  EXPECT_EQ(sender.releaseHeld(), std::nullopt);
  shared.record({2, 30, 40, 640, 448});
  ASSERT_TRUE(sender.due(t0));
  // Later moves with the button still down are the drag's; the release names where the button went down last.
  shared.record({2, 31, 41, 640, 448});
  ASSERT_TRUE(sender.due(t0 + 250ms));
  EXPECT_EQ(sender.releaseHeld(), message("0020008900000280"
                                          "01C0001F0029"));
  EXPECT_EQ(sender.releaseHeld(), std::nullopt);

  for (const int ended : {MouseFields::kReleased, MouseFields::kLeftDoubleClick, MouseFields::kRightDoubleClick}) {
    SCOPED_TRACE(ended);
    shared.record({1, 1, 1, 640, 448});
    t0 += 500ms;
    ASSERT_TRUE(sender.due(t0));
    shared.record({ended, 1, 1, 640, 448});
    ASSERT_TRUE(sender.due(t0 + 250ms));
    EXPECT_EQ(sender.releaseHeld(), std::nullopt);
  }
}

// Quick typing and a held key's repeats wait here while a send waits on the DVR: none is lost or reordered.
TEST(RemoteKeyQueueBound, HoldsSixtyFourKeysInTheirOrderOnlyWhileOpen) {
  RemoteKeyQueue queue;
  EXPECT_FALSE(queue.push(1));
  queue.open();
  std::vector<std::uint8_t> typed;
  for (std::uint8_t key = 0; key < 64; ++key) {
    ASSERT_TRUE(queue.push(key));
    typed.push_back(key);
  }
  EXPECT_FALSE(queue.push(64));
  EXPECT_EQ(queue.take(), typed);
  EXPECT_TRUE(queue.push(7));
  EXPECT_EQ(queue.close(), std::vector<std::uint8_t>{7});
  EXPECT_FALSE(queue.push(8));
}

TEST_F(Mouse, DisplayCursorModeAddsHex100AndALateReleaseWins) {
  sender.setMode(MouseRemoteMode::DisplayCursor);
  shared.record({1, 10, 20, 640, 448});
  EXPECT_EQ(sender.due(t0), message("00200089"
                                    "0101"
                                    "0280"
                                    "01C0"
                                    "000A"
                                    "0014"));
  shared.record({1, 10, 20, 640, 448});
  shared.record({0, 10, 20, 640, 448});
  EXPECT_EQ(sender.due(t0 + 300ms), message("00200089"
                                            "0100"
                                            "0280"
                                            "01C0"
                                            "000A"
                                            "0014"));
  // Low 16 bits of each value.
  EXPECT_EQ(buildMouseMessage({0, -1, 0x12345, 640, 448}, MouseRemoteMode::HiddenCursor), message("00200089"
                                                                                                  "0000"
                                                                                                  "0280"
                                                                                                  "01C0"
                                                                                                  "FFFF"
                                                                                                  "2345"));
}

TEST_F(Mouse, DisabledModeSendsNothingButTakesTheEventAndPausesAllTheSame) {
  sender.setMode(MouseRemoteMode::Disabled);
  shared.record({1, 10, 20, 640, 448});
  EXPECT_EQ(sender.due(t0), std::nullopt);
  EXPECT_FALSE(shared.isFresh());
  sender.setMode(MouseRemoteMode::HiddenCursor);
  shared.record({1, 10, 20, 640, 448});
  EXPECT_EQ(sender.due(t0 + 100ms), std::nullopt);
  EXPECT_TRUE(sender.due(t0 + 250ms));
}

TEST(ClientObserver, NamesStatesAndNoticesAsTheEventsPrintThem) {
  EXPECT_STREQ(connectionStateName(ConnectionState::Idle), "Idle");
  EXPECT_STREQ(connectionStateName(ConnectionState::ConnectingDvr), "ConnectingDvr");
  EXPECT_STREQ(connectionStateName(ConnectionState::LoggingIn), "LoggingIn");
  EXPECT_STREQ(connectionStateName(ConnectionState::LoggedIn), "LoggedIn");
  EXPECT_STREQ(connectionStateName(ConnectionState::ConnectingDdns), "ConnectingDdns");
  EXPECT_STREQ(connectionStateName(ConnectionState::QueryingDdns), "QueryingDdns");
  EXPECT_STREQ(connectionStateName(ConnectionState::DdnsResolved), "DdnsResolved");
  EXPECT_STREQ(clientNoticeName(ClientNotice::Status), "status");
  EXPECT_STREQ(clientNoticeName(ClientNotice::Closed), "closed");
  EXPECT_STREQ(clientNoticeName(ClientNotice::NoResponse), "no-response");
  EXPECT_STREQ(clientNoticeName(ClientNotice::LoginFailed), "login-failed");
}

}  // namespace
}  // namespace marlin::net
