// SPDX-License-Identifier: Apache-2.0
// Package relationships (.rels parts): how one part finds the others.
#pragma once

#include "automation/readers/xlsx/ZipArchive.h"

#include <string>
#include <vector>

namespace automation::readers::xlsx {

struct Relationship {
    std::string id;
    std::string type;    // full type URI
    std::string target;  // part name from the package root, no leading slash
};

// The relationships part of `sourcePart` ("" for the package itself).
std::string relationshipsPartOf(const std::string &sourcePart);

// `target` resolved against the folder of `sourcePart` ("../x", "/x", "x").
std::string resolveTarget(const std::string &sourcePart, const std::string &target);

// Reads the relationships of `sourcePart`; a missing .rels part gives none.
ReadStatus readRelationships(const ZipArchive &zip, const std::string &sourcePart, std::vector<Relationship> *out,
                             std::string *message);

// True when the type URI ends in "/" + `kind` (transitional and strict URIs alike).
bool isRelationshipType(const std::string &type, const char *kind);

const Relationship *findRelationshipById(const std::vector<Relationship> &rels, const std::string &id);
const Relationship *findRelationshipByType(const std::vector<Relationship> &rels, const char *kind);

}  // namespace automation::readers::xlsx
