// SPDX-License-Identifier: Apache-2.0
// Child processes for the process-list tests: copies of sleep under a file
// name unique to this test run, ended by their ids when the test is done.
#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

class HelperProcesses {
public:
    explicit HelperProcesses(const std::string &namePrefix);
    ~HelperProcesses();

    bool ready() const { return !executable_.empty(); }
    const std::string &name() const { return name_; }

    // Starts one more child; its id, or -1.
    pid_t start();
    // Waits until the process list shows count children by name.
    bool waitForCount(int count) const;
    // Waits for the child to end: the signal that ended it, 0 when it exited, -1 on error.
    int reap(pid_t child);
    bool isRunning(pid_t child) const;
    void removeExecutable();

private:
    std::string folder_;
    std::string name_;
    std::string executable_;
    std::vector<pid_t> children_;
};
