#include "TestSupport.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

namespace batchplant::test {

MessageRecorder::MessageRecorder(int answer) : answer_(answer)
{
    previous_ = SetMessageBoxHandler([this](const CString& text, unsigned type) {
        texts_.push_back(text.str());
        types_.push_back(type);
        return answer_;
    });
}

MessageRecorder::~MessageRecorder() { SetMessageBoxHandler(std::move(previous_)); }

TempDir::TempDir()
{
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    for (;;) {
        auto candidate =
            std::filesystem::temp_directory_path() / ("batchplant-test-" + std::to_string(::getpid()) + "-" +
                                                      std::to_string(counter++) + "-" + std::to_string(rd() % 100000));
        std::error_code ec;
        if (std::filesystem::create_directory(candidate, ec)) {
            path_ = candidate;
            break;
        }
    }
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

CommandResult runCommand(const std::string& command)
{
    TempDir dir;
    const auto out = dir.file("out");
    const auto err = dir.file("err");
    const std::string full = command + " >" + out.string() + " 2>" + err.string();
    const int status = std::system(full.c_str());
    CommandResult r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = ReadFile(out);
    r.err = ReadFile(err);
    return r;
}

} // namespace batchplant::test
