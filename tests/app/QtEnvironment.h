#pragma once

#include "model/SettingModel.h"
#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

namespace tessaly::test {

// Each GUI test starts from empty settings in the fixture home and with the
// settings store's flags cleared.
class GuiTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    static UserDefaults& defaults() { return UserDefaults::standardUserDefaults(); }
    static SettingModel& settings() { return SettingModel::shareSettingModel(); }
};

// Runs the event loop until nothing is pending.
void settle();

} // namespace tessaly::test
