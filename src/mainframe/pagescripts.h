#pragma once
// The scripts the main window runs in the web console. The console is an application whose
// root scope carries the functions; the page answers through page calls.
#include <string>

std::wstring ScriptGetWindowsConfig(); // answered by "WindowsConfig" (and "WindowsInterface" "IsOta")
std::wstring ScriptGetState();         // answered by "SendState"
std::wstring ScriptReLogin();          // answered by "ReLoginState"
// Opens a conversation; the id is written as an escaped JavaScript string literal, so no id
// can end the literal and run as script.
std::wstring ScriptJumptoUser(const std::wstring& conversationId);
std::wstring ScriptChangeState(int a, int b); // answered by "QuitState"

// `text` as the body of a single- or double-quoted JavaScript string literal.
std::wstring EscapeJsStringLiteral(const std::wstring& text);
