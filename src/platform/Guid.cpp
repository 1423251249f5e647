#include "batchplant/platform/Guid.h"

#include <sys/random.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace batchplant {

namespace {
GuidGenerator& generator()
{
    static GuidGenerator g;
    return g;
}

long systemGuid(GUID* guid)
{
    unsigned char bytes[16] = {};
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            *guid = GUID{};
            return -1;
        }
        got += static_cast<std::size_t>(n);
    }
    std::memcpy(&guid->Data1, bytes, 4);
    std::memcpy(&guid->Data2, bytes + 4, 2);
    std::memcpy(&guid->Data3, bytes + 6, 2);
    std::memcpy(guid->Data4, bytes + 8, 8);
    guid->Data3 = static_cast<std::uint16_t>((guid->Data3 & 0x0FFF) | 0x4000);  // version 4
    guid->Data4[0] = static_cast<std::uint8_t>((guid->Data4[0] & 0x3F) | 0x80); // RFC 4122 variant
    return 0;
}
} // namespace

long CoCreateGuid(GUID* guid)
{
    if (!guid) return -1;
    if (generator()) return generator()(guid);
    return systemGuid(guid);
}

GuidGenerator SetGuidGenerator(GuidGenerator g) { return std::exchange(generator(), std::move(g)); }

} // namespace batchplant
