// The buffers the main sequence owns for the whole run; the launch, command-line and
// self-deletion steps work on them.
#pragma once

#include "VoFoundation/VoLimits.h"
#include "loader/LoaderVersion.h"
#include "VoFoundation/VoOwners.h"

namespace loader {

constexpr int kBuildNumber = ORVA_BUILD_NUMBER;
constexpr int kPathChars = kVoPathChars;  // the Windows path limit, terminator included
constexpr int kCommandLineChars = 2048;   // installer command line and custom-parameter text
constexpr int kPayloadResourceId = 102;
constexpr unsigned long kPauseAfterInstallerMs = 5000;
constexpr const char kInstallerFileName[] = "Setup.exe";
constexpr const char kTempLogPrefix[] = "log";

struct LoaderRun {
    char modulePath[kPathChars];
    bool modulePathComplete;  // false when GetModuleFileNameA filled the buffer
    bool modulePathNamed;     // false when the ANSI code page has no name for the loader's file
    char systemTempPath[kPathChars];
    char mainTempPath[kPathChars];
    VoUniqueHandle mainTempFolderLock;  // the main temp folder, judged and held until the run
                                        // ends; null when the system temp folder serves instead
    char tempLogPath[kPathChars];
    bool tempLogFolderCreated;
    VoUniqueHandle tempLogFolderLock;  // the temp log folder, held against renaming and
                                       // deletion from its making until its removal
    unsigned long tempLogFolderError;  // why it was not made (logged); 0 when it was
    char installerPath[kPathChars];    // in the temp log folder; empty when there is none
    char buildFolderName[kPathChars];
    char commandLine[kCommandLineChars];
    char customParams[kCommandLineChars];
    VoUniqueHandle installerLock;  // Setup.exe held read-only and checked until it is
                                   // started; null when there is none to start
    unsigned long installerError;  // why there is none: logged with the failed start
};

}  // namespace loader
