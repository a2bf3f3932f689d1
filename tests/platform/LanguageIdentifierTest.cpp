// Language names and codes to canonical language identifiers.
#include "platform/LanguageIdentifier.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"

#include <gtest/gtest.h>

using tessaly::language::canonicalLanguageIdentifier;

TEST(LanguageIdentifier, NamesAndCodesGiveNormalisedCodes) {
    struct Case {
        const char* input;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"English", "en"},
        {"french", "fr"},
        {"GERMAN", "de"},
        {"Japanese", "ja"},
        {"Dutch", "nl"},
        {"Norwegian Bokmal", "nb"},
        {"Filipino", "fil"},
        {"en", "en"},
        {"EN", "en"},
        {"fil", "fil"},
        {"pt_BR", "pt-BR"},
        {"pt-br", "pt-BR"},
        {"en-GB", "en-GB"},
        {"zh-Hans", "zh-Hans"},
        {"zh_hans_cn", "zh-Hans-CN"},
        {"es_419", "es-419"},
        {"Base", std::nullopt},
        {"", std::nullopt},
        {"e", std::nullopt},
        {"English_GB", std::nullopt},
        {"en_", std::nullopt},
        {"en-GB-US", std::nullopt},
        {"en_GB_Hans", std::nullopt},
        {"f1", std::nullopt},
        {"Klingon", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(canonicalLanguageIdentifier(c.input), c.expected) << c.input;
}

// Each language name of the shipped table yields the code of its own entry, so
// that the keep rule and the table agree (old-style keys such as "English" name
// a language themselves).
TEST(LanguageIdentifier, EveryShippedLanguageNameYieldsItsEntrysCode) {
    std::string path = tessaly::paths::resourcePath("Language", "plist");
    ASSERT_FALSE(path.empty());
    auto table = tessaly::plist::readFile(path);
    ASSERT_TRUE(table && table->isDict());
    ASSERT_GT(table->dict()->size(), 50u);
    for (const auto& [key, entry] : *table->dict()) {
        const tessaly::PlistValue* name = entry.find("language");
        ASSERT_TRUE(name && name->isString()) << key;
        auto expected = canonicalLanguageIdentifier(key);
        ASSERT_TRUE(expected.has_value()) << key;
        EXPECT_EQ(canonicalLanguageIdentifier(*name->string()), expected) << key;
    }
}
