#include "batchplant/platform/MessageBox.h"

#include <cstdio>
#include <utility>

namespace batchplant {

namespace {
MessageBoxHandler& handler()
{
    static MessageBoxHandler h;
    return h;
}
} // namespace

int DefaultMessageBoxAnswer(unsigned type)
{
    switch (type & MB_TYPEMASK) {
    case MB_YESNO:
    case MB_YESNOCANCEL:
        return IDNO;
    default:
        return IDOK;
    }
}

int AfxMessageBox(const CString& text, unsigned type)
{
    if (const MessageBoxHandler& h = handler()) return h(text, type);
    std::fprintf(stderr, "%s\n", text.c_str());
    return DefaultMessageBoxAnswer(type);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler h) { return std::exchange(handler(), std::move(h)); }

} // namespace batchplant
