// End-to-end harness: runs real loader executables in a sandbox (a fresh, private TEMP folder)
// and reads back what they left: the loader log, files and folders, the installer's record.
//
// The loaders of this harness carry the demo installer, whatever the build's LOADER_PAYLOAD
// is, and pause only briefly after the installer (a hook linked into them); a sandbox whose
// environment sets kRealPauseVariable lets them pause the full 5,000 ms instead.
#pragma once

#include "LoaderLogLines.h"
#include "PendingRenames.h"
#include "Sandbox.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace e2e {

// The general test support, under the names the scenarios use.
using support::After;
using support::ClearPendingRenames;
using support::Contains;
using support::FileExists;
using support::FileSize;
using support::FindLine;
using support::FolderExists;
using support::LastErrorLine;
using support::ListFolder;
using support::ListTree;
using support::LogLine;
using support::LogTexts;
using support::MakeFolderOfLength;
using support::ParseLog;
using support::PendingOperationsUnder;
using support::PendingRenames;
using support::PendingRenamesUnder;
using support::ReadFile;
using support::RemoveTree;
using support::RunningProgram;
using support::RunResult;
using support::WaitUntil;
using support::WaitUntilGone;
using support::WriteFile;

// Set (to any value) in a loader's environment, the test loaders keep the 5,000 ms pause.
constexpr char kRealPauseVariable[] = "ORVA_TEST_REAL_PAUSE";

// A file of the build tree (a path relative to the build folder) as a Windows path.
std::string BuildFile(const std::string& relativePath);

// The test loaders: the loader's own sources with the demo installer as payload,
std::string LoaderExe();
// ... with another build of the demo installer (flavour "other") as payload,
std::string OtherPayloadLoaderExe();
// ... without a payload resource,
std::string NoPayloadLoaderExe();
// ... with a disk that fills up during the extraction and a window station that a scenario
// can hide (see DiskFullHook.cpp),
std::string DiskFullLoaderExe();
// ... and one that records what it starts and lets a scenario plant or swap its installer
// file (see TrustedRunHooks.cpp).
std::string HookedLoaderExe();
// The tree's loader template, without any test hook, made into a loader with the other
// installer by loader-pack --into.
std::string TemplateMadeLoaderExe();
// A copy of LoaderExe() whose parameter block was stamped with this build's loader-stamp.
std::string StampedLoaderExe(const std::string& name);
std::string DemoInstallerExe();
std::string OtherInstallerExe();

// A sandbox for loader runs.
class Sandbox : public support::Sandbox {
public:
    // The loader's main temp folder in this sandbox's TEMP.
    std::string mainTemp() const { return temp() + "Qx_314\\"; }

    // Copies a loader (LoaderExe() unless named) into folder (bin() when empty).
    std::string install(const std::string& fileName, const std::string& source = LoaderExe(),
                        const std::string& folder = std::string()) const
    {
        return support::Sandbox::install(fileName, source, folder);
    }

    // The demo installer's records of this sandbox, one string per run.
    std::vector<std::string> installerRecords() const;
};

// The value of the first "label: " line of a demo installer record ("<no label>" if none).
std::string RecordField(const std::string& record, const std::string& label);

// Success when the run ended (else "start error N") and, with an exitCode, ended with it.
::testing::AssertionResult Ended(const RunResult& result, long exitCode = -1);

// The command line of the only installer run recorded in box; fails the test otherwise.
std::string OnlyInstallerCommandLine(const Sandbox& box);
// The path that installer gave as its own (in the run's per-run folder); likewise.
std::string OnlyInstallerSelf(const Sandbox& box);

// A run's log named logName: in the main temp folder once the clean-up has moved it there,
// else still in a per-run folder, else in TEMP itself; "" when there is none.
std::string RunLog(const Sandbox& box, const std::string& logName);

// The per-run folder that a log names in its "Using ... as temp log path." line, or "".
std::string TempLogPathFromLog(const std::vector<std::string>& texts);

}  // namespace e2e
