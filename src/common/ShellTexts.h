#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/System.h"

// The readable text of a file operation's result code: fixed English texts for the codes of
// the design's delete operation (113 to 136, 183, 1026, 65536, 65652), and the system's
// message for every other code (an errno). Not translated. Any thread.
[[nodiscard]] std::string FileOperationErrorText(int code);
// The same with the messages of `system` instead of the installed one.
[[nodiscard]] std::string FileOperationErrorText(int code, ISystem &system);

// The colour (0x00BBGGRR) in which names of compressed entries are drawn. Linux file managers
// have no such setting, so this is always blue.
[[nodiscard]] std::uint32_t GetExplorerAltColor();

// "Version" (translated), a blank and the first two numbers of a dotted version text, then
// the third when it is present and not "0"; the fourth is never shown. Empty for an empty
// version. VersionCaption("1.2.0.7") is "Version 1.2".
[[nodiscard]] std::string VersionCaption(std::string_view version);
