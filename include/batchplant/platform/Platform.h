#pragma once
// The platform layer: text, dates, message boxes, host interfaces, GUIDs
// and the ambient pressure.

#include "batchplant/platform/AmbientPressure.h"
#include "batchplant/platform/COleDateTime.h"
#include "batchplant/platform/CString.h"
#include "batchplant/platform/Guid.h"
#include "batchplant/platform/HostInterfaces.h"
#include "batchplant/platform/MessageBox.h"
