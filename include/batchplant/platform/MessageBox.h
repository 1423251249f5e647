#pragma once
// Modal message boxes. The library tells the user about failures through
// AfxMessageBox; a host installs a handler that shows the text its own way.
// Without one, the text goes to stderr and the answer is OK (No for a
// question), so a batch run never blocks.

#include <functional>

#include "batchplant/platform/CString.h"

namespace batchplant {

enum : unsigned {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNOCANCEL = 0x3,
    MB_YESNO = 0x4,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30,
    MB_ICONINFORMATION = 0x40,
    MB_TYPEMASK = 0xF,
};

enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

using MessageBoxHandler = std::function<int(const CString& text, unsigned type)>;

// Shows `text`; returns the button pressed (IDOK, IDYES, IDNO, IDCANCEL).
int AfxMessageBox(const CString& text, unsigned type = MB_OK);

// Installs a handler and returns the previous one; an empty handler restores
// the default.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// The answer the default handler gives for a box of this type.
int DefaultMessageBoxAnswer(unsigned type);

} // namespace batchplant
