#pragma once
// Readings of composite query columns shared by the component, group and
// stream code.

#include "batchplant/platform/CString.h"

namespace batchplant::detail {

inline bool IsGas(const CString& phase) { return phase.CompareNoCase(CString("gas")) == 0; }

// Whether an equipment category names an inventory location.
inline bool ContainsInventory(const CString& category) { return category.Find(CString("Inventory")) >= 0; }

} // namespace batchplant::detail
