// SPDX-License-Identifier: Apache-2.0
// The workbooks collection of the native backend.
#pragma once

#include "automation/Automation.h"
#include "automation/native/WorkbookState.h"

#include <memory>

namespace automation::native {

class NativeWorkbooks : public Workbooks {
public:
    explicit NativeWorkbooks(std::weak_ptr<ApplicationState> application);

    bool add() override;
    OpenResult openWorkbook(const QString &path) override;
    void expectOpens(const OpenPlan &plan) override;

private:
    OpenResult openParsed(const QString &path);

    std::weak_ptr<ApplicationState> application_;
};

}  // namespace automation::native
