// SPDX-License-Identifier: Apache-2.0
#include "app/startup/SettingsLocation.h"

#include "app/startup/StartupState.h"

#ifdef __linux__
#include <pwd.h>
#include <unistd.h>
#include <cstdlib>
#else
#include <QDir>
#include <QStandardPaths>
#include <QString>
#endif

namespace startup {

namespace {

constexpr char kSettingsFolderName[] = "RowSifter";

bool isAbsolute(const char *path) { return path != nullptr && path[0] == '/'; }

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// folder + "/" + name, without doubling the slash of the root folder.
std::string joined(const std::string &folder, const std::string &name) {
    const std::string base = withoutTrailingSlashes(folder);
    return base == "/" ? base + name : base + '/' + name;
}

std::string inConfigHome(const std::string &configHome) {
    return joined(joined(configHome, kSettingsFolderName), kSettingsFileName);
}

}  // namespace

std::string userSettingsPathFrom(const char *xdgConfigHome, const char *home) {
    if (isAbsolute(xdgConfigHome)) return inConfigHome(xdgConfigHome);
    if (isAbsolute(home)) return inConfigHome(joined(home, ".config"));
    return std::string();
}

#ifdef __linux__

std::string userSettingsPath() {
    const char *home = std::getenv("HOME");
    if (!isAbsolute(home)) {
        // A session started without HOME still has the account's home folder.
        const passwd *account = getpwuid(getuid());
        home = account != nullptr ? account->pw_dir : nullptr;
    }
    return userSettingsPathFrom(std::getenv("XDG_CONFIG_HOME"), home);
}

std::string runningExecutableFolder() {
    std::string link(kPathSize, '\0');
    const ssize_t length = readlink("/proc/self/exe", &link[0], link.size());
    if (length <= 0 || static_cast<size_t>(length) >= link.size()) return std::string();
    link.resize(static_cast<size_t>(length));
    const size_t slash = link.rfind('/');
    return slash == std::string::npos ? std::string() : link.substr(0, slash + 1);
}

#else

std::string userSettingsPath() {
    // The generic folder plus the program's name is the application folder,
    // known before the application object names the program.
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty()) return std::string();
    const QString path =
        QDir(base).filePath(QLatin1String(kSettingsFolderName) + QLatin1Char('/') + QLatin1String(kSettingsFileName));
    return QDir::toNativeSeparators(path).toLocal8Bit().toStdString();
}

std::string runningExecutableFolder() { return std::string(); }

#endif

}  // namespace startup
