#pragma once
// The sample results database for tests: generated once per test process
// (scale 1, seed 1) in a temporary directory that is removed at exit.

#include <filesystem>

namespace batchplant::test {

// Path of the shared sample. Open it read-only and never modify it (the file
// is write-protected); tests that write use CopySampleDatabase.
const std::filesystem::path& SampleDatabasePath();

// Copies the sample to `to` (which must not exist), makes the copy writable
// and returns `to`.
std::filesystem::path CopySampleDatabase(const std::filesystem::path& to);

} // namespace batchplant::test
