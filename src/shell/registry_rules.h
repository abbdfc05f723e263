// The text rules behind the two registry places the program keeps: its Run value and the shutdown
// timeouts of Control Panel\Desktop. The registry calls themselves are in registry_settings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lvx::shell {

// The Run value: the program path and " /hide". A path with a blank is quoted, so that Windows
// never starts a program that happens to match the text before the blank ("C:\Program.exe").
std::u16string RunValueText(const std::u16string& programPath);
// Whether the stored value already starts the program as wanted (compared ignoring case).
bool RunValueMatches(std::u16string_view stored, std::u16string_view wanted);

// AutoEndTasks must be rewritten as "0" unless it is a string whose number is 0.
bool AutoEndTasksNeedsRewrite(bool isString, std::u16string_view text);
// HungAppTimeout and WaitToKillAppTimeout must be rewritten as "5000" unless they are strings whose
// number is at least 5000.
constexpr int32_t kMinShutdownTimeout = 5000;
bool TimeoutNeedsRewrite(bool isString, std::u16string_view text);

}  // namespace lvx::shell
