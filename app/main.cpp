// SPDX-License-Identifier: Apache-2.0
// Entry point: record the command line and the settings file's place, settle
// which copy of the program runs, then build the window and run the loop.
#include "app/MainWindow.h"
#include "app/startup/SingleInstance.h"
#include "app/startup/StartupState.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[]) {
    if (startup::runStartupSteps(argc, argv) == startup::InstanceOutcome::ExitNow) return 0;

    auto *application = new QApplication(argc, argv);
    auto *window = new MainWindow(nullptr);

    // Later starts ask this copy to come forward instead of ending it.
    auto *instance = new SingleInstance();
    instance->listen();
    QObject::connect(instance, &SingleInstance::showRequested, window, &MainWindow::ShowSoftWindow);

    window->show();
    const int exitCode = application->exec();

    const bool jobStillRunning = window->isJobRunning();
    delete instance;
    delete window;
    if (jobStillRunning) {
        // The job cannot be stopped; tearing down what its thread still uses
        // would crash, so the process ends here and takes the job with it.
        std::fflush(nullptr);
        std::_Exit(exitCode);
    }
    delete application;
    return exitCode;
}
