#include <gtest/gtest.h>

#include "mainframe/pagescripts.h"

TEST(PageScripts, FixedScriptsAreTheConsoleContract) {
    EXPECT_EQ(ScriptGetWindowsConfig(), L"window.angular.element('[ng-app]').scope().getWindowsConfig();");
    EXPECT_EQ(ScriptGetState(), L"window.angular.element('[ng-app]').scope().GetState();");
    EXPECT_EQ(ScriptReLogin(), L"window.angular.element('[ng-app]').scope().reLogin();");
    EXPECT_EQ(ScriptChangeState(3, -1), L"window.angular.element('[ng-app]').scope().ChangeState('3','-1');");
    EXPECT_EQ(ScriptJumptoUser(L"c1001"), L"window.angular.element('[ng-app]').scope().JumptoUser('c1001');");
}

TEST(PageScripts, ConversationIdCannotBreakOutOfItsLiteral) {
    const std::wstring hostile = L"x');alert(1);//\\\n\u2028</script>";
    std::wstring script = ScriptJumptoUser(hostile);
    const std::wstring prefix = L"window.angular.element('[ng-app]').scope().JumptoUser('";
    ASSERT_EQ(script.compare(0, prefix.size(), prefix), 0);
    std::wstring literal = script.substr(prefix.size(), script.size() - prefix.size() - 3);
    EXPECT_EQ(script.substr(script.size() - 3), L"');");
    // Inside the literal every quote is escaped and no raw line terminator or "</" remains.
    for (size_t i = 0; i < literal.size(); ++i) {
        if (literal[i] == L'\\') {
            ++i;
            continue;
        }
        EXPECT_NE(literal[i], L'\'') << i;
        EXPECT_NE(literal[i], L'\n');
        EXPECT_NE(literal[i], 0x2028);
        EXPECT_NE(literal[i], L'<');
    }
    EXPECT_EQ(EscapeJsStringLiteral(L"中文-id_1"), L"中文-id_1");
    EXPECT_EQ(EscapeJsStringLiteral(std::wstring(1, L'\x01')), L"\\u0001");
}
