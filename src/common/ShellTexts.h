#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/System.h"

// The readable text of a file operation's errno: the system's message. Every file command of
// this program reports errno values, and several of them (EUCLEAN 117, ESTALE 116, EDQUOT
// 122, ECANCELED 125, ...) share their numbers with the shell result codes below, so an
// errno never goes through that table. Not translated. Any thread.
[[nodiscard]] std::string FileOperationErrorText(int errnoCode);
// The same with the messages of `system` instead of the installed one.
[[nodiscard]] std::string FileOperationErrorText(int errnoCode, ISystem &system);

// The readable text of a shell file operation's result code: fixed English texts for the
// codes of that operation (113 to 136, 183, 1026, 65536, 65652), the system's message for any
// other code. Only for codes that came from such an operation. Not translated. Any thread.
[[nodiscard]] std::string ShellOperationErrorText(int shellCode);

// The colour (0x00BBGGRR) in which names of compressed entries are drawn. Linux file managers
// have no such setting, so this is always blue.
[[nodiscard]] std::uint32_t GetExplorerAltColor();

// "Version" (translated), a blank and the first two numbers of a dotted version text, then
// the third when it is present and not "0"; the fourth is never shown. Empty for an empty
// version. VersionCaption("1.2.0.7") is "Version 1.2".
[[nodiscard]] std::string VersionCaption(std::string_view version);
