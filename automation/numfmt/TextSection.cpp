// SPDX-License-Identifier: Apache-2.0
#include "automation/numfmt/SectionRenderers.h"

namespace automation::numfmt {

void renderTextSection(const Section &section, std::string_view text, std::string &out) {
    for (const Token &token : section.tokens) {
        if (token.kind == TokenKind::Literal)
            out += token.text;
        else if (token.kind == TokenKind::TextValue || token.kind == TokenKind::General)
            out.append(text.data(), text.size());
    }
}

}  // namespace automation::numfmt
