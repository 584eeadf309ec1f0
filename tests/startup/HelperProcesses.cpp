// SPDX-License-Identifier: Apache-2.0
#include "tests/startup/HelperProcesses.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/startup/ProcessList.h"

namespace fs = std::filesystem;

namespace {

constexpr char kSleepProgram[] = "/bin/sleep";
constexpr char kSleepSeconds[] = "60";
constexpr auto kStartWait = std::chrono::seconds(5);
constexpr auto kPollInterval = std::chrono::milliseconds(10);

}  // namespace

HelperProcesses::HelperProcesses(const std::string &namePrefix) {
    std::string pattern = (fs::temp_directory_path() / "rsf_helpers_XXXXXX").string();
    if (mkdtemp(&pattern[0]) == nullptr) return;
    folder_ = pattern;
    name_ = namePrefix + std::to_string(getpid());
    std::error_code error;
    fs::copy_file(kSleepProgram, fs::path(folder_) / name_, error);
    if (!error) executable_ = (fs::path(folder_) / name_).string();
}

HelperProcesses::~HelperProcesses() {
    for (pid_t child : children_) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    std::error_code ignored;
    if (!folder_.empty()) fs::remove_all(folder_, ignored);
}

pid_t HelperProcesses::start() {
    if (executable_.empty()) return -1;
    const pid_t child = fork();
    if (child == 0) {
        execl(executable_.c_str(), name_.c_str(), kSleepSeconds, static_cast<char *>(nullptr));
        _exit(127);
    }
    if (child > 0) children_.push_back(child);
    return child;
}

bool HelperProcesses::waitForCount(int count) const {
    const auto deadline = std::chrono::steady_clock::now() + kStartWait;
    while (GetProcessCountByName(name_.c_str()) != count) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(kPollInterval);
    }
    return true;
}

int HelperProcesses::reap(pid_t child) {
    int status = 0;
    if (waitpid(child, &status, 0) != child) return -1;
    children_.erase(std::remove(children_.begin(), children_.end(), child), children_.end());
    return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

bool HelperProcesses::isRunning(pid_t child) const { return waitpid(child, nullptr, WNOHANG) == 0; }

void HelperProcesses::removeExecutable() {
    std::error_code ignored;
    fs::remove(executable_, ignored);
}
