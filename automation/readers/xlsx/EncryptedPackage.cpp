// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/xlsx/EncryptedPackage.h"

#include "automation/readers/GsfSupport.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>

namespace automation::readers::xlsx {

CompoundKind inspectCompoundFile(const std::string &path) {
    ensureGsfInitialised();
    GError *error = nullptr;
    GObjectRef<GsfInput> input(gsf_input_stdio_new(path.c_str(), &error));
    if (error) g_error_free(error);
    if (!input.ptr) return CompoundKind::NotCompound;
    error = nullptr;
    GObjectRef<GsfInfile> ole(gsf_infile_msole_new(input.ptr, &error));
    if (error) g_error_free(error);
    if (!ole.ptr) return CompoundKind::Damaged;
    GsfInfile *infile = ole.ptr;
    bool info = false, package = false;
    const int n = gsf_infile_num_children(infile);
    for (int i = 0; i < n; ++i) {
        const char *name = gsf_infile_name_by_index(infile, i);
        if (!name) continue;
        const std::string s(name);
        if (s == "EncryptionInfo")
            info = true;
        else if (s == "EncryptedPackage")
            package = true;
    }
    // Either stream alone still means the content is locked away.
    return info || package ? CompoundKind::Encrypted : CompoundKind::Plain;
}

}  // namespace automation::readers::xlsx
