// Writing the rows of the results list to a text file: one line per row made from a format with
// the placeholders "[FILEDIR]" (the folder, with its backslash) and "[FILENAME]" (the name), in the
// system's ANSI code page, then opened in Notepad.
#pragma once

#include <string>

#include "results/list_ctrl_ex.h"

namespace lvx::results {

// The format with every "[FILEDIR]" and "[FILENAME]" replaced, followed by "\r\n".
std::u16string ExpandLineFormat(std::u16string_view format, std::u16string_view path, std::u16string_view name);

// Writes every row (or only the selected ones, in row order) to the file, replacing any old one,
// and opens it in Notepad. Lines whose names the code page cannot hold are written with its default
// character in their place, and the user is told how many. Failures are shown with ErrorBox.
// 0 when written, -1 when not (nothing is opened then).
int SaveResults(CListCtrlEx& list, const std::u16string& filePath, const std::u16string& format, bool selectedOnly);

}  // namespace lvx::results
