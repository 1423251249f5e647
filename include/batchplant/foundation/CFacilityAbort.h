#pragma once
// Thrown when loading cannot go on (after the user has been told why). It
// carries nothing: the host catches it and keeps what was loaded before.

namespace batchplant {

// Thrown by the loaders when the database holds no process steps.
class CFacilityAbort {
public:
    CFacilityAbort() = default;
    CFacilityAbort(const CFacilityAbort&) = default;
    CFacilityAbort(CFacilityAbort&&) = default;
    CFacilityAbort& operator=(const CFacilityAbort&) = default;
    CFacilityAbort& operator=(CFacilityAbort&&) = default;
    ~CFacilityAbort() = default;
};

} // namespace batchplant
