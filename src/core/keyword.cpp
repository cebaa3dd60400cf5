#include "core/keyword.h"

namespace zuv {

namespace {
char ascii_lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
}  // namespace

bool keyword_prefix_match(std::string_view word, std::string_view name) {
    if (word.empty() || word.size() > name.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (ascii_lower(word[i]) != ascii_lower(name[i])) return false;
    return true;
}

}  // namespace zuv
