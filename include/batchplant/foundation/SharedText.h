#pragma once
// Immutable text whose copies share one buffer, and the pool that gives equal
// texts the same buffer.
//
// A run's process units repeat a handful of names (operation labels, material
// and phase names) on hundreds of thousands of rows. The model keeps them as
// SharedText, one pointer each; loading puts a TextPool in scope so that every
// row naming "Water" points at one "Water".

#include <array>
#include <atomic>
#include <cstddef>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace batchplant {

// Immutable text held by reference count: copying shares the buffer, the last
// copy frees it. The empty text holds no buffer. Copies may be made and
// dropped on different threads.
class SharedText {
public:
    SharedText() noexcept = default;
    explicit SharedText(std::string_view text);
    SharedText(const SharedText& other) noexcept : rep(other.rep)
    {
        if (rep) rep->refs.fetch_add(1, std::memory_order_relaxed);
    }
    SharedText(SharedText&& other) noexcept : rep(std::exchange(other.rep, nullptr)) {}
    SharedText& operator=(SharedText other) noexcept
    {
        std::swap(rep, other.rep);
        return *this;
    }
    ~SharedText() { release(); }

    std::string_view view() const noexcept
    {
        return rep ? std::string_view(rep->data(), rep->size) : std::string_view();
    }
    bool empty() const noexcept { return rep == nullptr; }
    // True when both share one buffer (or both are empty).
    bool SharesWith(const SharedText& other) const noexcept { return rep == other.rep; }

private:
    struct Rep {
        std::atomic<std::size_t> refs;
        std::size_t size;
        // The bytes follow the header in the same allocation.
        char* data() noexcept { return reinterpret_cast<char*>(this + 1); }
    };
    void release() noexcept;

    Rep* rep = nullptr;
};

// Hands out one SharedText per distinct text. TextPool::Share interns through
// the pool that a Scope put in place on the calling thread, or makes a text
// of its own when there is none, so code that stores names needs no pool of
// its own and loading decides how long sharing lasts.
class TextPool {
public:
    SharedText Intern(std::string_view text);
    std::size_t Size() const { return texts.size(); }

    static SharedText Share(std::string_view text);

    // Puts a pool in place on this thread for its lifetime. A scope opened
    // inside another uses the outer one's pool, so one load that builds
    // both views shares their names.
    class Scope {
    public:
        Scope();
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        std::unique_ptr<TextPool> owned;
    };

private:
    // Keys view the buffers of the texts they map to.
    std::unordered_map<std::string_view, SharedText> texts;
    // The last text interned in each of a few slots, picked by length and
    // end letters: rows name the same materials and labels over and over,
    // and most are answered here without hashing. Map values do not move.
    static constexpr std::size_t kRecent = 64;
    std::array<const SharedText*, kRecent> recent{};
};

} // namespace batchplant
