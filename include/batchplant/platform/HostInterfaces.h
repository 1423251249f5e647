#pragma once
// What the library needs of its hosts: the document told of modifications,
// the two controls that receive the library's one event, and the wait
// cursor shown during long work. Hosts implement these; the library only
// holds pointers to them and never owns them.

#include <functional>

namespace batchplant {

using DISPID = long;

// The host document: the library only sets its modified flag.
class CDocument {
public:
    virtual ~CDocument() = default;
    virtual void SetModifiedFlag(bool modified = true) = 0;
};

// A host control that receives the library's event: dispatch identifier 1
// with one 16-bit argument.
class COleControl {
public:
    virtual ~COleControl() = default;
    virtual void FireEvent(DISPID dispid, short argument) = 0;
};

// The 3-D animation control (selection changes).
class CThreeDAnimCtrlCtrl : public COleControl {};

// The Gantt chart control (the plan summary has been read).
class CGanttChartCtrlCtrl : public COleControl {};

// Wait cursor during long work. Hooks are no-ops until a host installs them.
class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;
    void BeginWaitCursor();
    void EndWaitCursor();
};

// What the host does when long work starts and when it ends; either may be
// empty.
struct WaitCursorHooks {
    std::function<void()> begin;
    std::function<void()> end;
};

// Installs the hooks and returns the previous ones.
WaitCursorHooks SetWaitCursorHooks(WaitCursorHooks hooks);

// Holds the wait cursor for a scope.
class CWaitCursor {
public:
    CWaitCursor();
    ~CWaitCursor();
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

} // namespace batchplant
