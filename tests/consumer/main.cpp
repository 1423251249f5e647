// Links against the installed library and uses a little of it.
#include <batchplant/batchplant.h>

#include <cstdio>

int main()
{
    batchplant::CString s;
    s.Format("%.3f %s", 37.7777, batchplant::CString("C"));
    const batchplant::COleDateTime t(2026, 1, 5, 8, 0, 0);
    std::printf("%s %s\n", s.c_str(), t.ToIso().c_str());
    return s == "37.778 C" && t.GetDayOfWeek() == 2 ? 0 : 1;
}
