// SPDX-License-Identifier: Apache-2.0
// The search values of a job, taken from the option set's text.
#pragma once

#include <QString>
#include <QStringList>

namespace engine {

// One value per line; empty lines dropped, later duplicates dropped (exact,
// case-sensitive); values are not trimmed.
QStringList searchValuesFrom(const QString &findText);

}  // namespace engine
