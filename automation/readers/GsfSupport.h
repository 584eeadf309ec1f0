// SPDX-License-Identifier: Apache-2.0
// libgsf, shared by the readers that open compound files: set up once for the
// whole process (its object types must exist before two threads ask for them
// at once), and a guard that releases its objects.
#pragma once

#include <glib-object.h>

namespace automation::readers {

// Safe to call from any thread, any number of times.
void ensureGsfInitialised();

// Releases a GObject when the scope ends, so every early return is clean.
template <typename T>
struct GObjectRef {
    T *ptr = nullptr;
    explicit GObjectRef(T *p) : ptr(p) {}
    GObjectRef(const GObjectRef &) = delete;
    GObjectRef &operator=(const GObjectRef &) = delete;
    ~GObjectRef() {
        if (ptr) g_object_unref(ptr);
    }
};

}  // namespace automation::readers
