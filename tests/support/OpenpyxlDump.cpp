// SPDX-License-Identifier: Apache-2.0
#include "OpenpyxlDump.h"

#include <sys/wait.h>
#include <unistd.h>
#include <cstdio>
#include <sstream>

namespace openpyxldump {

namespace {

constexpr const char *kPython = "/usr/bin/python3";
constexpr int kNoOpenpyxl = 77;

std::string shellQuoted(const std::string &s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// The dump's fields are percent-encoded UTF-8 so that no value can break a record.
std::string percentDecoded(const std::string &s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::vector<Record> records(const std::string &output) {
    std::vector<Record> all;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        Record record;
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, '\t');) record.push_back(percentDecoded(field));
        all.push_back(record);
    }
    return all;
}

}  // namespace

Dump dump(const std::string &xlsxPath) {
    Dump result;
    if (::access(kPython, X_OK) != 0) {
        result.outcome = Dump::Outcome::NoPython;
        result.output = std::string(kPython) + " is missing; scripts/install-deps.sh installs it";
        return result;
    }
    const std::string command =
        std::string(kPython) + " " + shellQuoted(ROWSIFTER_OPENPYXL_DUMP) + " " + shellQuoted(xlsxPath) + " 2>&1";
    FILE *pipe = ::popen(command.c_str(), "r");
    if (!pipe) return result;
    char chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) result.output.append(chunk, n);
    const int status = ::pclose(pipe);
    const int exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (exitCode == kNoOpenpyxl) {
        result.outcome = Dump::Outcome::NoOpenpyxl;
        result.output += "python3-openpyxl is missing (scripts/install-deps.sh)";
        return result;
    }
    if (exitCode != 0) return result;
    result.outcome = Dump::Outcome::Ran;
    result.records = records(result.output);
    return result;
}

std::map<std::string, Fields> cells(const Dump &dump) {
    std::map<std::string, Fields> found;
    for (const Record &r : dump.records) {
        if (r.size() < 7 || r[0] != "cell") continue;
        Fields &f = found[r[1] + "!" + r[2]];
        f = {{"type", r[3]}, {"kind", r[4]}, {"value", r[5]}, {"formula", r[6]}};
        for (size_t i = 7; i < r.size(); ++i) f[r[i].substr(0, r[i].find('='))] = r[i].substr(r[i].find('=') + 1);
    }
    return found;
}

std::vector<std::string> warnings(const Dump &dump) {
    std::vector<std::string> found;
    for (const Record &r : dump.records) {
        if (r.empty() || r[0] != "warning") continue;
        std::string warning;
        for (size_t i = 1; i < r.size(); ++i) warning += " | " + r[i];
        found.push_back(warning);
    }
    return found;
}

}  // namespace openpyxldump
