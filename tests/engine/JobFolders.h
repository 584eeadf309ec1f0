// SPDX-License-Identifier: Apache-2.0
// The base of the tests that run whole jobs on real workbooks: a source and a
// destination folder in temporary space, options pointing at them, and the
// native backend.
#pragma once

#include "automation/Automation.h"
#include "engine/OptionSet.h"

#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

class JobFolders : public ::testing::Test {
protected:
    void SetUp() override {
        automation::setApplicationFactory(nullptr);
        ASSERT_TRUE(source.isValid());
        ASSERT_TRUE(dest.isValid());
        options.sourcePath = QDir::toNativeSeparators(source.path());
        options.savePath = QDir::toNativeSeparators(dest.path() + "/");
    }
    void TearDown() override { automation::setApplicationFactory(nullptr); }

    QString src(const QString &relative) const { return QDir::toNativeSeparators(source.path() + "/" + relative); }
    QString out(const QString &name) const { return QDir::toNativeSeparators(dest.path() + "/" + name); }

    QTemporaryDir source, dest;
    engine::OptionSet options;
};
