#pragma once
// The drules display: the implicit rule and every valid rule record in
// readable form.

#include <string_view>

#include "core/keyword.h"

namespace zuv {

struct rules_state;

// The first text of the rule keyword table that carries code, so 53 reads as
// destin rather than dst; "?" for a code the table does not hold.
const char* rule_keyword_name(int code);

void rules_display(const rules_state& st);

}  // namespace zuv
