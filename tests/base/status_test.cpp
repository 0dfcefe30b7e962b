#include "base/status.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace marlin {
namespace {

TEST(Status, OkByDefaultAndFailuresKeepCodeMessageAndErrno) {
  const Status fine;
  EXPECT_TRUE(fine);
  EXPECT_EQ(fine.code(), StatusCode::Ok);
  EXPECT_EQ(fine.systemError(), 0);

  const Status missing = Status::fromErrno(ENOENT, "cannot open x.QKV");
  EXPECT_FALSE(missing);
  EXPECT_EQ(missing.code(), StatusCode::NotFound);
  EXPECT_EQ(missing.message(), std::string("cannot open x.QKV: ") + std::strerror(ENOENT));
  EXPECT_EQ(missing.systemError(), ENOENT);

  const Status refused = Status::failure(StatusCode::InvalidArgument, "the range is empty");
  EXPECT_FALSE(refused.isOk());
  EXPECT_EQ(refused.message(), "the range is empty");
  EXPECT_EQ(refused.systemError(), 0);

  // Callers act on these kinds: a full disk, a denied device, a FIFO.
  EXPECT_EQ(Status::fromErrno(ENOSPC, "w").code(), StatusCode::IoError);
  EXPECT_EQ(Status::fromErrno(EACCES, "o").code(), StatusCode::PermissionDenied);
  EXPECT_EQ(Status::fromErrno(ENOTSUP, "s").code(), StatusCode::Unsupported);
  EXPECT_FALSE(Status::failure(StatusCode::Ok, "claims success")) << "a failure is never ok";
}

}  // namespace
}  // namespace marlin
