#include "model/SettingModel.h"
#include "model/SettingKeys.h"
#include "platform/UserDefaults.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>

using namespace tessaly;

namespace {

struct Fixture {
    test::TempTree tree;
    UserDefaults defaults{tree.path("defaults.plist")};
    std::vector<std::string> preferred{"fr_FR"};
    std::vector<std::string> keyboards{"fr", "de", "en"};

    SettingEnvironment env() {
        SettingEnvironment e;
        e.defaults = [this]() -> UserDefaults& { return defaults; };
        e.preferredLanguages = [this] { return preferred; };
        e.inputSourceLanguages = [this] { return keyboards; };
        e.languageResourcePath = tree.file("Language.plist", R"(<?xml version="1.0"?>
<plist version="1.0"><dict>
<key>fr</key><dict><key>language</key><string>French</string><key>country</key><string>France</string></dict>
<key>pt</key><dict><key>language</key><string>Portuguese</string><key>country</key><string>Portugal</string></dict>
</dict></plist>)");
        e.keepCookieResourcePath = tree.file("keepCookie.plist", R"(<?xml version="1.0"?>
<plist version="1.0"><array><string>google.com</string><string>apple.com</string></array></plist>)");
        return e;
    }
};

} // namespace

TEST(SettingModel, KeptLanguagesWithNothingStored) {
    Fixture f;
    SettingModel m(f.env());
    EXPECT_EQ(m.keepLanuage(), (std::vector<std::string>{"en", "fr", "de"}));
    EXPECT_TRUE(m.onlyOne());
    EXPECT_EQ(m.localStr(), "fr");
    EXPECT_FALSE(f.defaults.hasKey(keys::KeepLanguage)); // not written back
}

TEST(SettingModel, KeptLanguagesAddThePreferredOneToTheStoredList) {
    Fixture f;
    f.preferred = {"de-AT", "en"};
    f.defaults.setStringArray(keys::KeepLanguage, {"en"});
    SettingModel m(f.env());
    EXPECT_EQ(m.keepLanuage(), (std::vector<std::string>{"en", "de"}));
    EXPECT_TRUE(m.onlyOne());
    EXPECT_EQ(*f.defaults.stringArrayForKey(keys::KeepLanguage), (std::vector<std::string>{"en"}));

    Fixture g;
    g.defaults.setStringArray(keys::KeepLanguage, {"ja", "fr"});
    SettingModel n(g.env());
    EXPECT_EQ(n.keepLanuage(), (std::vector<std::string>{"ja", "fr", "en"}));
    EXPECT_FALSE(n.onlyOne());
}

TEST(SettingModel, EditorsChangeTheCachedList) {
    Fixture f;
    SettingModel m(f.env());
    m.keepLanuage();
    m.addKeepLanuage({"en", "it", "es"});
    m.removeKeepLanguages({"it", "xx"});
    EXPECT_EQ(m.keepLanuage(), (std::vector<std::string>{"en", "es"}));
}

TEST(SettingModel, LanguageTableAndCookies) {
    Fixture f;
    SettingModel m(f.env());
    auto fr = m.languageInfo("fr");
    ASSERT_TRUE(fr);
    EXPECT_EQ(fr->language, "French");
    EXPECT_EQ(fr->country, "France");
    EXPECT_FALSE(m.languageInfo("Base"));

    m.loadKeepCookie();
    EXPECT_EQ(m.keepCookiesRecord(), (std::vector<std::string>{"google.com", "apple.com"}));

    Fixture g;
    g.defaults.setStringArray(keys::KeepCookie, {"mine.org"});
    SettingModel n(g.env());
    n.loadKeepCookie();
    EXPECT_EQ(n.keepCookiesRecord(), (std::vector<std::string>{"mine.org"}));
}

TEST(SettingModel, PlaySoundValueIsFalseWhenAbsent) {
    Fixture f;
    SettingModel m(f.env());
    EXPECT_FALSE(m.playSoundVaule());
    f.defaults.setBool(keys::PlaySound, true);
    EXPECT_TRUE(m.playSoundVaule());
}

TEST(SettingModel, ShippedLanguageTableCoversCommonLocalisations) {
    SettingModel m(SettingEnvironment::system());
    for (const char* code :
         {"en", "English", "fr",    "French", "de", "German", "ja", "Japanese", "es", "Spanish",
          "it", "nl",      "Dutch", "pt",     "ru", "zh",     "ko", "sv",       "da", "fi",
          "nb", "no",      "pl",    "cs",     "tr", "ar",     "he", "th",       "hu", "el",
          "uk", "ro",      "hr",    "sk",     "ca", "id",     "ms", "vi",       "hi", "Italian"}) {
        auto info = m.languageInfo(code);
        ASSERT_TRUE(info) << code;
        EXPECT_FALSE(info->language.empty()) << code;
        EXPECT_FALSE(info->country.empty()) << code;
    }
    EXPECT_EQ(m.languageInfo("en")->country, m.languageInfo("English")->country);
}
