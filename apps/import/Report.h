#pragma once
// What the importer tells the user on stderr: notes, warnings, errors and a
// progress bar for large files.

#include <string>

namespace batchplant::cli::importer {

class Reporter {
public:
    void note(const std::string& text);
    void warning(const std::string& text);
    void error(const std::string& text);
    int warnings() const { return warnings_; }

private:
    int warnings_ = 0;
};

// A one-line bar redrawn in place ("\r") each time the percentage moves.
class Progress {
public:
    Progress(bool enabled, unsigned long total) : enabled_(enabled && total > 0), total_(total) {}
    ~Progress(); // ends an unfinished bar's line without claiming 100%
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void advance(unsigned long rows = 1);
    // Draws the final state and ends the line; later calls do nothing.
    void finish();

    // Whether a bar is worth drawing by default: a large file, and stderr a
    // terminal.
    static bool wanted(unsigned long totalRows);

private:
    void draw();
    bool enabled_;
    unsigned long total_;
    unsigned long done_ = 0;
    int shown_ = -1;
};

} // namespace batchplant::cli::importer
