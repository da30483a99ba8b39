// The loader log: the plain-text step log of a run. Where the log's folder is one only this run
// (or SYSTEM and Administrators) can write, every line opens, appends and closes the file by
// name. Until the run has such a folder the lines are kept in memory, and where it has none,
// the log is a file this run made new and writes through the handle it holds: no line is ever
// written by name into a folder where someone else could have put a file or a link.
#pragma once

namespace loader {

constexpr long kNoErrorCode = -1;

// Appends one line: the "(pid, ticks) - " prefix, the text, "\r\n" unless the text already
// ends in a line feed, and, unless errorCode is -1, the last-error line. A null text writes
// nothing; an unopenable log drops the line silently.
void WriteLoaderLog(const char* text, long errorCode);
// The same without the last-error line (one argument fewer at each of the many calls).
void WriteLoaderLog(const char* text);
// Formats a line as wsprintfA does, into a message text buffer that its 1,024-character limit
// cannot overrun (longer output is cut there), and writes it with errorCode as WriteLoaderLog
// does. Every formatted line of the loader goes through here.
void WriteLoaderLogF(long errorCode, const char* format, ...);

// Keeps the lines in memory from now on (the log path stays as it is), up to kEarlyLogBytes; a
// line that does not fit is dropped whole, and StartLoaderLogFile says how many were.
constexpr unsigned kEarlyLogBytes = 16384;
void KeepLoaderLogInMemory();

// Writes the lines kept in memory to a file at the log path and goes on writing there. With
// inPrivateFolder the file is created or replaced and each later line opens it by name;
// otherwise it must be a new file (never one found there), opened without following links and
// written through the handle held from then on. False when no file could be made: the lines
// are lost then, and later ones too.
bool StartLoaderLogFile(bool inPrivateFolder);

// Moves the log into folder (same name, replacing a file there) through its handle; every later
// line goes through that handle. 0, or the error (the log stays where it is).
unsigned long MoveLoaderLogTo(const char* folder);

// Deletes an old log at the log path, which lies in the folder open as folder, through a handle
// that does not follow links, and only when it is a plain file there.
void DeleteOldLoaderLog(void* folder);

// The process-wide log naming and path buffers (260 characters each). SetLoaderLogPath points
// the log at folder + name, written by name from then on; it refuses (returns false, nothing
// changed) a folder + name that would not fit.
bool SetLoaderLogPath(const char* folder, const char* logFileName);
const char* LoaderLogPath();

// Derives the log file name from the loader's file name: everything from the first "." is
// replaced by ".log", or ".log" is appended when there is no ".". False if it would not fit.
bool MakeLogFileName(const char* loaderFileName, char* out, unsigned outCapacity);

}  // namespace loader
