// Char buffers: appending, copying out, reading back in chunks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "agent/ixoagent.h"

using agent::CharBufferPtr;

namespace {

CharBufferPtr bufferWith(const std::string &bytes) {
    CharBufferPtr buffer(createCharBuffer());
    EXPECT_TRUE(buffer);
    EXPECT_EQ(addDataToCharBuffer(buffer.get(), bytes.data(), static_cast<int>(bytes.size())), 0);
    return buffer;
}

std::string pattern(size_t length) {
    std::string bytes;
    for (size_t i = 0; i < length; ++i) {
        bytes += static_cast<char>(i * 7 % 256);
    }
    return bytes;
}

}  // namespace

TEST(CharBuffer, AppendsRawBytesIncludingNul) {
    CharBufferPtr buffer(createCharBuffer());
    ASSERT_TRUE(buffer);
    EXPECT_EQ(getTotalBufferLength(buffer.get()), 0);
    EXPECT_EQ(addDataToCharBuffer(buffer.get(), "a\0b", 3), 0);
    EXPECT_EQ(addDataToCharBuffer(buffer.get(), "cdef", 2), 0);
    EXPECT_EQ(addDataToCharBuffer(buffer.get(), nullptr, 0), 0);
    EXPECT_EQ(agent::charBufferString(buffer.get()), std::string("a\0bcd", 5));
    EXPECT_EQ(getTotalBufferLength(buffer.get()), 5);
}

TEST(CharBuffer, RefusesBadArgumentsWithoutChangingTheBuffer) {
    CharBufferPtr buffer = bufferWith("keep");
    EXPECT_EQ(addDataToCharBuffer(nullptr, "x", 1), -1);
    EXPECT_EQ(addDataToCharBuffer(buffer.get(), "x", -1), -1);
    EXPECT_EQ(addDataToCharBuffer(buffer.get(), nullptr, 3), -1);
    EXPECT_EQ(agent::charBufferString(buffer.get()), "keep");

    EXPECT_EQ(getTotalBufferLength(nullptr), -1);
    EXPECT_EQ(charBufferToChar(nullptr), nullptr);
    EXPECT_EQ(agent::charBufferString(nullptr), "");
    freeAllCharBuffers(nullptr);
}

TEST(CharBuffer, CopiesToAllocatedText) {
    CharBufferPtr buffer = bufferWith("hello world");
    char *text = charBufferToChar(buffer.get());
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "hello world");
    std::free(text);

    CharBufferPtr empty(createCharBuffer());
    text = charBufferToChar(empty.get());
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "");
    std::free(text);
}

TEST(CharBuffer, ReadsBackInChunksAsTheMimeWriterDoes) {
    const std::string bytes = pattern(2500);
    CharBufferPtr buffer = bufferWith(bytes);
    std::string copied;
    std::vector<int> counts;
    char chunk[1024];
    int total = getTotalBufferLength(buffer.get());
    for (int offset = 0; offset < total;) {
        int count = getDataFromCharBuffer(buffer.get(), chunk, sizeof chunk, offset);
        ASSERT_GT(count, 0);
        counts.push_back(count);
        copied.append(chunk, static_cast<size_t>(count));
        offset += count;
    }
    EXPECT_EQ(counts, (std::vector<int>{1024, 1024, 452}));
    EXPECT_EQ(copied, bytes);
}

TEST(CharBuffer, ReadsNothingAtOrPastTheEnd) {
    CharBufferPtr buffer = bufferWith("abcdef");
    char destination[8];
    std::memset(destination, '#', sizeof destination);

    EXPECT_EQ(getDataFromCharBuffer(buffer.get(), destination, 8, 6), 0);
    EXPECT_EQ(getDataFromCharBuffer(buffer.get(), destination, 8, 7), 0);
    EXPECT_EQ(getDataFromCharBuffer(buffer.get(), destination, 8, 1 << 30), 0);
    EXPECT_EQ(getDataFromCharBuffer(buffer.get(), destination, 0, 0), 0);
    EXPECT_EQ(std::string(destination, 8), "########");

    // Only the requested bytes are written, from the given offset.
    EXPECT_EQ(getDataFromCharBuffer(buffer.get(), destination, 3, 2), 3);
    EXPECT_EQ(std::string(destination, 8), "cde#####");
    EXPECT_EQ(getDataFromCharBuffer(buffer.get(), destination, 8, 4), 2);
    EXPECT_EQ(std::string(destination, 8), "efe#####");
}

TEST(CharBuffer, ReadRefusesBadArguments) {
    CharBufferPtr buffer = bufferWith("abc");
    char destination[4];
    EXPECT_EQ(getDataFromCharBuffer(nullptr, destination, 4, 0), -1);
    EXPECT_EQ(getDataFromCharBuffer(buffer.get(), nullptr, 4, 0), -1);
    EXPECT_EQ(getDataFromCharBuffer(buffer.get(), destination, -1, 0), -1);
    EXPECT_EQ(getDataFromCharBuffer(buffer.get(), destination, 4, -1), -1);
}

TEST(RemoveNewLines, StripsLineFeedsAndCarriageReturnsInPlace) {
    char text[] = "\r\nline one\r\nline\ttwo\n\nend\r";
    removeNewLines(text);
    EXPECT_STREQ(text, "line oneline\ttwoend");

    char plain[] = "no breaks";
    removeNewLines(plain);
    EXPECT_STREQ(plain, "no breaks");

    char breaksOnly[] = "\n\r\n";
    removeNewLines(breaksOnly);
    EXPECT_STREQ(breaksOnly, "");

    removeNewLines(nullptr);
}
