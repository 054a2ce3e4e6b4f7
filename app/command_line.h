// Splitting of texts and the launcher's command-line words.
#pragma once

#include <string>
#include <vector>

#include "afx/afxstr.h"

// Parts of text between separators; empty parts are dropped.  With a count, the
// rest of the text after that many separators is the last part, unchanged.
std::vector<std::string> SplitString(const std::string& text, const std::string& separator, int count);

// The first line of the file name (beginning with a backslash) in the executable's
// folder; "" when there is none.  Nothing is trimmed.
CString ReadFirstLineOfFile(const CString& name);
