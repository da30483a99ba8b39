// The loader log: the plain-text step log of a run. Every line opens, appends and closes
// the file, so no handle is kept between lines and another process may move it in between.
#pragma once

namespace loader {

constexpr long kNoErrorCode = -1;

// Appends one line: the "(pid, ticks) - " prefix, the text, "\r\n" unless the text already
// ends in a line feed, and, unless errorCode is -1, the last-error line. A null text writes
// nothing; an unopenable log drops the line silently.
void WriteLoaderLog(const char* text, long errorCode = kNoErrorCode);

// The process-wide log naming and path buffers (260 characters each).
// SetLoaderLogPath refuses (returns false, path unchanged) a folder + name that would not fit.
bool SetLoaderLogPath(const char* folder, const char* logFileName);
const char* LoaderLogPath();

// Re-points the log at folder + logFileName; when that would not fit, logs "Log path in '%s'
// is too long, the log stays where it is." (with the folder) and the log stays where it is.
void PointLoaderLogAt(const char* folder, const char* logFileName);

// Derives the log file name from the loader's file name: everything from the first "." is
// replaced by ".log", or ".log" is appended when there is no ".". False if it would not fit.
bool MakeLogFileName(const char* loaderFileName, char* out, unsigned outCapacity);

}  // namespace loader
