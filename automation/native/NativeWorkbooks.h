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
    std::unique_ptr<Workbook> open(const QString &path) override;
    OpenFailure lastOpenFailure() const override { return lastFailure_; }
    void expectOpens(const OpenPlan &plan) override;

private:
    std::unique_ptr<Workbook> openParsed(const QString &path);

    std::weak_ptr<ApplicationState> application_;
    OpenFailure lastFailure_ = OpenFailure::None;
};

}  // namespace automation::native
