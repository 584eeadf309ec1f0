// SPDX-License-Identifier: Apache-2.0
// Password-protected .xlsx files are not zips: the applications wrap them in
// an OLE2 compound file holding EncryptionInfo and EncryptedPackage streams.
#pragma once

#include <string>

namespace automation::readers::xlsx {

enum class CompoundKind { NotCompound, Damaged, Encrypted, Plain };

// Looks at the root streams of an OLE2 compound file.
CompoundKind inspectCompoundFile(const std::string &path);

}  // namespace automation::readers::xlsx
