#include "batchplant/platform/HostInterfaces.h"

namespace batchplant {

namespace {
WaitCursorHooks& hooks()
{
    static WaitCursorHooks h;
    return h;
}
} // namespace

void CCmdTarget::BeginWaitCursor()
{
    if (hooks().begin) hooks().begin();
}

void CCmdTarget::EndWaitCursor()
{
    if (hooks().end) hooks().end();
}

WaitCursorHooks SetWaitCursorHooks(WaitCursorHooks h)
{
    WaitCursorHooks old = std::move(hooks());
    hooks() = std::move(h);
    return old;
}

CWaitCursor::CWaitCursor()
{
    if (hooks().begin) hooks().begin();
}

CWaitCursor::~CWaitCursor()
{
    if (hooks().end) hooks().end();
}

} // namespace batchplant
