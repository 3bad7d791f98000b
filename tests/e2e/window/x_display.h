// A virtual X server (Xvfb) on a free display for one test, stopped when the object goes.
#pragma once

#include <sys/types.h>

#include <string>

namespace nestora_test {

class XDisplay {
public:
    XDisplay();
    ~XDisplay();
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;

    bool Started() const { return !name_.empty(); }
    const std::string& Error() const { return error_; }
    // ":N"
    const std::string& Name() const { return name_; }

private:
    pid_t pid_ = -1;
    std::string name_;
    std::string error_;
};

// True when `program` is an executable file in one of the PATH folders.
bool ProgramOnPath(const std::string& program);

}  // namespace nestora_test
