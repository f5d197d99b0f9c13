// The signing program's diagnostic log.
#pragma once

// The log file. Entries are appended as they are, with no time stamp.
constexpr const char* SIGNING_LOG_PATH = "c:\\quillet.log";

// Appends the text formatted from `format` (printf rules) to the log; adds no
// line end. A null format writes nothing; a log that cannot be opened is
// skipped without a word.
void fnLogMessage(const char* format, ...);
