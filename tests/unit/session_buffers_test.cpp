// The session's owned blocks and table views: a view never reaches past the
// buffer it was received in, and a block is either absent or has a capacity.
#include <gtest/gtest.h>

#include <cstdint>

#include "session/heap_array.h"
#include "session/table_view.h"

namespace {

TEST(TableView, BytesStayInsideTheBuffer) {
    tl::HeapBuffer buffer;
    ASSERT_TRUE(buffer.allocate(16, tl::HeapBuffer::Fill::Zeroed));
    std::uint8_t elsewhere[4] = {};
    std::uint8_t* const base = buffer.data();
    const struct {
        const char* what;
        std::uint8_t* start;
        std::int32_t length;
        std::ptrdiff_t offset;  // of the first byte handed out; -1 for none
        std::size_t size;
    } cases[] = {
        {"inside", base + 4, 8, 4, 8},
        {"longer than the buffer", base + 4, 100, 4, 12},
        {"starts at the end", base + 16, 4, -1, 0},
        {"starts beyond the end", base + 17, 4, -1, 0},
        {"starts in another block", elsewhere, 4, -1, 0},
        {"no start", nullptr, 4, -1, 0},
        {"nothing claimed", base, 0, -1, 0},
        {"negative length", base, -8, -1, 0},
    };
    for (const auto& c : cases) {
        tl::TableView view;
        view.hold(c.start, c.length);
        const tl::Bytes bytes = view.bytesIn(buffer);
        EXPECT_EQ(bytes.size(), c.size) << c.what;
        if (c.offset >= 0) {
            EXPECT_EQ(bytes.data(), base + c.offset) << c.what;
        }
    }
    tl::TableView view;
    view.hold(base, 8);
    buffer.release();
    EXPECT_TRUE(view.bytesIn(buffer).empty()) << "a released buffer holds nothing";
}

TEST(HeapArray, AbsentOrPresentWithCapacity) {
    tl::HeapArray<std::uint32_t> block;
    EXPECT_FALSE(block.allocate(0));
    EXPECT_FALSE(block);
    EXPECT_EQ(block.capacity(), 0u);
    ASSERT_TRUE(block.allocate(8, tl::HeapArray<std::uint32_t>::Fill::Zeroed));
    EXPECT_EQ(block.capacity(), 8u);
    EXPECT_EQ(block[7], 0u);
    ASSERT_TRUE(block.allocate(3));  // replaces the first block
    EXPECT_EQ(block.capacity(), 3u);
    block.release();
    EXPECT_EQ(block.data(), nullptr);
    EXPECT_EQ(block.capacity(), 0u);

    tl::ByteList list;
    list.length = -5;
    EXPECT_EQ(list.used(), 0u) << "a negative length counts as nothing appended";
}

}  // namespace
