// SPDX-License-Identifier: GPL-2.0-or-later
// Waiting for a key: on a terminal one press is read without echo and the
// terminal settings are restored; without a terminal nothing is awaited.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>

#include "console/services.h"

namespace {

using namespace std::chrono_literals;

// Puts a file descriptor on standard input for the length of a test.
class StandardInput {
 public:
  explicit StandardInput(int fd) : saved_(dup(STDIN_FILENO)) { dup2(fd, STDIN_FILENO); }
  ~StandardInput() {
    dup2(saved_, STDIN_FILENO);
    close(saved_);
  }

 private:
  int saved_;
};

std::string ReadAvailable(int fd) {
  int flags = fcntl(fd, F_GETFL);
  fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  std::string bytes;
  char buffer[256];
  ssize_t got;
  while ((got = read(fd, buffer, sizeof buffer)) > 0) bytes.append(buffer, static_cast<size_t>(got));
  fcntl(fd, F_SETFL, flags);
  return bytes;
}

TEST(WaitForKeyTest, ReadsOneKeyWithoutEchoAndRestoresTheTerminal) {
  int master = -1;
  int slave = -1;
  ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  termios before{};
  ASSERT_EQ(tcgetattr(slave, &before), 0);
  ASSERT_TRUE(before.c_lflag & ECHO);
  ASSERT_TRUE(before.c_lflag & ICANON);
  {
    StandardInput input(slave);
    auto waiting = std::async(std::launch::async, WaitForKey);
    EXPECT_EQ(waiting.wait_for(300ms), std::future_status::timeout) << "returned before any key";
    // An arrow key: three bytes from one press, with no line end.
    ASSERT_EQ(write(master, "\x1b[A", 3), 3);
    EXPECT_EQ(waiting.wait_for(5s), std::future_status::ready) << "one key press did not end the wait";
    if (waiting.wait_for(0s) != std::future_status::ready) {
      ASSERT_EQ(write(master, "\n", 1), 1);
      waiting.wait();
    }
  }
  termios after{};
  ASSERT_EQ(tcgetattr(slave, &after), 0);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_cc[VMIN], before.c_cc[VMIN]);
  // The rest of the key was dropped and nothing was echoed.
  int pending = -1;
  ASSERT_EQ(ioctl(slave, FIONREAD, &pending), 0);
  EXPECT_EQ(pending, 0);
  EXPECT_EQ(ReadAvailable(master), "");
  close(slave);
  close(master);
}

// A pipe that stays open and empty: waiting on it would never end.
TEST(WaitForKeyTest, NothingIsAwaitedWithoutATerminal) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  {
    StandardInput input(ends[0]);
    auto waiting = std::async(std::launch::async, WaitForKey);
    EXPECT_EQ(waiting.wait_for(5s), std::future_status::ready) << "waited on a pipe";
    close(ends[1]);  // ends a wait that should not have happened
    waiting.wait();
  }
  close(ends[0]);
}

}  // namespace
