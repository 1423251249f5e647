#pragma once
// GUID creation from the system's cryptographically random source.

#include <cstdint>
#include <functional>

namespace batchplant {

// A globally unique identifier in the Windows layout.
struct GUID {
    std::uint32_t Data1 = 0;
    std::uint16_t Data2 = 0;
    std::uint16_t Data3 = 0;
    std::uint8_t Data4[8] = {};
};

// Fills *guid with a random (version 4) GUID. Returns 0 on success, non-zero
// when no random bytes could be had (*guid is then all zero).
long CoCreateGuid(GUID* guid);

// Replaces the generator (tests use this to provoke a failure); an empty
// function restores the system source. Returns the previous generator.
using GuidGenerator = std::function<long(GUID*)>;
GuidGenerator SetGuidGenerator(GuidGenerator generator);

} // namespace batchplant
