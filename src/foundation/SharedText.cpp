#include "batchplant/foundation/SharedText.h"

#include <cstring>
#include <new>
#include <utility>

namespace batchplant {

SharedText::SharedText(std::string_view text)
{
    if (text.empty()) return;
    void* memory = ::operator new(sizeof(Rep) + text.size() + 1);
    rep = new (memory) Rep{{1}, text.size()};
    std::memcpy(rep->data(), text.data(), text.size());
    rep->data()[text.size()] = '\0';
}

void SharedText::release() noexcept
{
    if (!rep) return;
    if (rep->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        rep->~Rep();
        ::operator delete(rep);
    }
    rep = nullptr;
}

namespace {
thread_local TextPool* current = nullptr;
}

SharedText TextPool::Intern(std::string_view text)
{
    if (text.empty()) return {};
    const std::size_t slot =
        (text.size() * 31 + static_cast<unsigned char>(text.front()) * 7 + static_cast<unsigned char>(text.back())) %
        kRecent;
    if (const SharedText* last = recent[slot]; last && last->view() == text) return *last;
    auto it = texts.find(text);
    if (it == texts.end()) {
        SharedText shared(text);
        it = texts.emplace(shared.view(), std::move(shared)).first;
    }
    recent[slot] = &it->second;
    return it->second;
}

SharedText TextPool::Share(std::string_view text) { return current ? current->Intern(text) : SharedText(text); }

TextPool::Scope::Scope()
{
    if (current) return;
    owned = std::make_unique<TextPool>();
    current = owned.get();
}

TextPool::Scope::~Scope()
{
    if (owned) current = nullptr;
}

} // namespace batchplant
