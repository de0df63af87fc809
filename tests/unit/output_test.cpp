#include "io/output.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <string>

namespace gaussian_noise {
namespace {

TEST(BlockWriter, RefusesRoomBeyondItsBufferWithoutWriting) {
    std::array<int, 2> pipe{};
    ASSERT_EQ(::pipe(pipe.data()), 0);
    std::array<char, 8> buffer{};
    BlockWriter out(pipe[1], buffer);
    std::memcpy(out.end(), "abcde", 5);
    out.advance(out.end() + 5);

    EXPECT_FALSE(out.makeRoom(9));
    EXPECT_EQ(out.error(), 0);
    EXPECT_EQ(out.end(), buffer.data() + 5);  // still buffered, not flushed
    EXPECT_TRUE(out.makeRoom(8));             // flushes the five bytes to make it
    ::close(pipe[1]);
    std::array<char, 16> written{};
    EXPECT_EQ(::read(pipe[0], written.data(), written.size()), 5);
    EXPECT_EQ(std::string(written.data(), 5), "abcde");
    ::close(pipe[0]);
}

}  // namespace
}  // namespace gaussian_noise
