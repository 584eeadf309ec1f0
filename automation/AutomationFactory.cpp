// SPDX-License-Identifier: Apache-2.0
#include "automation/Automation.h"

#include "automation/native/NativeApplication.h"

#include <mutex>

namespace automation {

namespace {
constexpr char kApplicationClass[] = "Excel.Application";

// What a class name that no installed application answers to gives.
class UnavailableApplication : public Application {
public:
    void setVisible(const QString &) override {}
    void setDisplayAlerts(bool) override {}
    Workbooks *workbooks() override { return nullptr; }
    std::unique_ptr<Workbook> activeWorkbook() override { return nullptr; }
    void quit() override {}
};

std::mutex &factoryMutex() {
    static std::mutex mutex;
    return mutex;
}

ApplicationFactory &currentFactory() {
    static ApplicationFactory factory;
    return factory;
}
}  // namespace

std::unique_ptr<Application> createApplication(const QString &className) {
    if (className == QLatin1String(kApplicationClass)) return std::make_unique<native::NativeApplication>();
    return std::make_unique<UnavailableApplication>();
}

ApplicationFactory applicationFactory() {
    std::lock_guard<std::mutex> lock(factoryMutex());
    if (currentFactory()) return currentFactory();
    return ApplicationFactory(&createApplication);
}

void setApplicationFactory(ApplicationFactory factory) {
    std::lock_guard<std::mutex> lock(factoryMutex());
    currentFactory() = std::move(factory);
}

}  // namespace automation
