#pragma once
// Helpers shared by the test programs.

#include <filesystem>
#include <string>
#include <vector>

#include "batchplant/platform/HostInterfaces.h"
#include "batchplant/platform/MessageBox.h"

namespace batchplant::test {

// A file's bytes; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);

// Records every message box shown while it lives and answers with `answer`
// (IDOK by default); restores the previous handler afterwards.
class MessageRecorder {
public:
    explicit MessageRecorder(int answer = IDOK);
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    const std::vector<std::string>& texts() const { return texts_; }
    const std::vector<unsigned>& types() const { return types_; }
    std::size_t count() const { return texts_.size(); }
    void clear()
    {
        texts_.clear();
        types_.clear();
    }

private:
    std::vector<std::string> texts_;
    std::vector<unsigned> types_;
    int answer_;
    MessageBoxHandler previous_;
};

// A fresh directory under the system temp dir, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path file(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// A control that records the events fired into it.
struct RecordingControl : CThreeDAnimCtrlCtrl {
    struct Event {
        DISPID dispid;
        short argument;
    };
    std::vector<Event> events;
    void FireEvent(DISPID dispid, short argument) override { events.push_back({dispid, argument}); }
};

struct RecordingGanttControl : CGanttChartCtrlCtrl {
    std::vector<RecordingControl::Event> events;
    void FireEvent(DISPID dispid, short argument) override { events.push_back({dispid, argument}); }
};

// Runs a shell command; returns its exit code and captures stdout/stderr.
struct CommandResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};
CommandResult runCommand(const std::string& command);

} // namespace batchplant::test
