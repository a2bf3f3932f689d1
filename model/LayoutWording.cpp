#include "model/LayoutWording.h"

#include <cctype>

namespace tessaly {

namespace {

bool isWordCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0;
}

// Replaces every whole-word occurrence of `word` in the text.
std::string replacingWord(const std::string& text, const std::string& word,
                          const std::string& replacement) {
    std::string out;
    std::size_t from = 0;
    for (std::size_t at = text.find(word); at != std::string::npos;
         at = text.find(word, at + word.size())) {
        const bool startsWord = at == 0 || !isWordCharacter(text[at - 1]);
        const std::size_t end = at + word.size();
        const bool endsWord = end == text.size() || !isWordCharacter(text[end]);
        if (!startsWord || !endsWord)
            continue;
        out.append(text, from, at - from);
        out += replacement;
        from = end;
    }
    return out + text.substr(from);
}

} // namespace

std::string forLayout(const std::string& macText, layout::HomeLayout layout) {
    if (layout == layout::HomeLayout::MacOS)
        return macText;
    std::string text = replacingWord(macText, "Macintosh HD", "the start-up disk");
    text = replacingWord(text, "MAC", "your computer");
    return replacingWord(text, "Mac", "computer");
}

std::string forLayout(const std::string& macText) {
    return forLayout(macText, layout::current());
}

} // namespace tessaly
