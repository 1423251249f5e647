#pragma once
// Growable array. Storage grows by `growBy` slots (10 by default) whenever
// Add finds it full. Every slot, used or spare, holds a properly constructed
// element: spare slots are default-constructed, never zero-filled raw memory.
//
// A bad index (outside 0 .. GetSize() - 1) shows the message box
// "Attempted to access array member out-of-bounds" once per offending call and
// yields a reference to a default-constructed placeholder element that belongs
// to the array (reset to its default value on every such call); storage
// outside the array is never touched and nothing is thrown.

#include <utility>

#include "batchplant/platform/MessageBox.h"

namespace batchplant {

inline constexpr const char* kArrayOutOfBoundsMessage = "Attempted to access array member out-of-bounds";

// The box that every index operation of the library shows for a bad index.
inline void ReportArrayOutOfBounds() { AfxMessageBox(kArrayOutOfBoundsMessage, MB_OK); }

// A growable array of T whose bad indices are reported, never followed
// (described at the top of Array.h).
template <class T> class Array {
public:
    Array() = default;
    // Reserves `count` default slots (capacity `count`, size 0); a negative
    // count reserves nothing.
    explicit Array(int count)
    {
        if (count > 0) {
            data = new T[static_cast<unsigned>(count)];
            capacity = count;
        }
    }
    // Each element of the copy is constructed, then assigned from the source.
    Array(const Array& other) : capacity(other.capacity), growBy(other.growBy), size(other.size)
    {
        if (capacity > 0) {
            data = new T[static_cast<unsigned>(capacity)];
            for (int i = 0; i < size; ++i)
                data[i] = other.data[i];
        }
    }
    Array(Array&& other) noexcept
        : data(std::exchange(other.data, nullptr)), capacity(std::exchange(other.capacity, 0)), growBy(other.growBy),
          size(std::exchange(other.size, 0))
    {
    }
    Array& operator=(const Array& other)
    {
        if (this != &other) {
            Array copy(other);
            swapWith(copy);
        }
        return *this;
    }
    Array& operator=(Array&& other) noexcept
    {
        if (this != &other) {
            Array moved(std::move(other));
            swapWith(moved);
        }
        return *this;
    }
    ~Array()
    {
        delete[] data;
        data = nullptr;
        size = 0;
    }

    void Add(const T& value)
    {
        if (size >= capacity) {
            // `value` may be an element of this array: keep a copy across the move.
            T copy(value);
            grow();
            data[size++] = std::move(copy);
            return;
        }
        data[size++] = value;
    }

    T& operator[](int i)
    {
        if (i < 0 || i >= size) return outOfBounds();
        return data[i];
    }
    const T& operator[](int i) const
    {
        if (i < 0 || i >= size) return outOfBounds();
        return data[i];
    }

    int GetSize() const { return size; }
    int GetCapacity() const { return capacity; }
    int GetGrowBy() const { return growBy; }
    // Values below 1 are taken as 1, so a full array can always grow.
    void SetGrowBy(int n) { growBy = n < 1 ? 1 : n; }

    // Frees the storage and returns to the freshly constructed state (growBy kept).
    void RemoveAll()
    {
        delete[] data;
        data = nullptr;
        capacity = 0;
        size = 0;
    }

private:
    void grow()
    {
        const int newCapacity = capacity + (growBy < 1 ? 1 : growBy);
        T* fresh = new T[static_cast<unsigned>(newCapacity)];
        for (int i = 0; i < size; ++i)
            fresh[i] = std::move(data[i]);
        delete[] data;
        data = fresh;
        capacity = newCapacity;
    }

    T& outOfBounds() const
    {
        ReportArrayOutOfBounds();
        placeholder = T();
        return placeholder;
    }

    void swapWith(Array& other) noexcept
    {
        std::swap(data, other.data);
        std::swap(capacity, other.capacity);
        std::swap(growBy, other.growBy);
        std::swap(size, other.size);
    }

    T* data = nullptr;
    int capacity = 0;
    int growBy = 10;
    int size = 0;
    mutable T placeholder{};
};

} // namespace batchplant
