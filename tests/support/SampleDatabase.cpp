#include "SampleDatabase.h"

#include "TestSupport.h"
#include "sample/SampleGenerator.h"

#include <memory>
#include <stdexcept>

namespace batchplant::test {

namespace {

struct SharedSample {
    TempDir dir;
    std::filesystem::path path;

    SharedSample() : path(dir.file("sample.db"))
    {
        GenerateSampleDatabase(path, SampleOptions{});
        namespace fs = std::filesystem;
        fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
    }
};

} // namespace

const std::filesystem::path& SampleDatabasePath()
{
    // Generated on first use; a failure throws here and is retried by the next caller.
    static const std::unique_ptr<SharedSample> sample = std::make_unique<SharedSample>();
    return sample->path;
}

std::filesystem::path CopySampleDatabase(const std::filesystem::path& to)
{
    namespace fs = std::filesystem;
    if (fs::exists(to)) throw std::runtime_error("CopySampleDatabase: " + to.string() + " already exists");
    fs::copy_file(SampleDatabasePath(), to);
    fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
    return to;
}

} // namespace batchplant::test
