// HeapArray / ByteList: the blocks a session owns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace tl {

// One heap block of `capacity()` elements of a trivially copyable type, owned
// by the object and released by its destructor. A block is either absent
// (null, capacity 0) or present (non-null, capacity > 0): a capacity never
// outlives its block. Allocation never throws: a failed one leaves the block
// absent and reports false, so the caller answers as it would for any missing
// buffer.
template <class T>
class HeapArray {
  public:
    enum class Fill { Uninitialised, Zeroed };

    HeapArray() = default;
    HeapArray(const HeapArray&) = delete;
    HeapArray& operator=(const HeapArray&) = delete;
    ~HeapArray() { std::free(data_); }

    // Replaces the block with a new one of `count` elements (a count of 0
    // yields no block). False, with the block absent, when that fails.
    bool allocate(std::uint32_t count, Fill fill = Fill::Uninitialised) {
        release();
        if (count == 0) return false;
        void* p = fill == Fill::Zeroed ? std::calloc(count, sizeof(T))
                                       : std::malloc(std::size_t{count} * sizeof(T));
        if (!p) return false;
        data_ = static_cast<T*>(p);
        capacity_ = count;
        return true;
    }
    void release() {
        std::free(data_);
        data_ = nullptr;
        capacity_ = 0;
    }

    T* data() const { return data_; }
    std::uint32_t capacity() const { return capacity_; }
    explicit operator bool() const { return data_ != nullptr; }
    T& operator[](std::size_t i) const { return data_[i]; }

  private:
    T* data_ = nullptr;
    std::uint32_t capacity_ = 0;
};

using HeapBuffer = HeapArray<std::uint8_t>;

// A list that grows by appending to an owned block. `length` counts the bytes
// appended; a negative length (never produced here) counts as none.
struct ByteList {
    HeapBuffer buffer;
    std::int32_t length = 0;

    std::size_t used() const { return length > 0 ? static_cast<std::size_t>(length) : 0; }
    std::uint8_t* data() const { return buffer.data(); }
    explicit operator bool() const { return static_cast<bool>(buffer); }
    void release() {
        buffer.release();
        length = 0;
    }
};

}  // namespace tl
