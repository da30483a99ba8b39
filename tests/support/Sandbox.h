// A private folder tree for one test, and the programs started in it: each sees the tree's
// own temp folder as TEMP and TMP, so whatever it leaves in its temp folder can be read back.
#pragma once

#include <map>
#include <string>

namespace support {

struct RunResult {
    bool started = false;
    bool finished = false;
    unsigned long exitCode = 0;
    unsigned long processId = 0;
    unsigned long startError = 0;  // CreateProcess's error when the program did not start
};

// A program started by Sandbox::start. Ending the object ends a program still running.
class RunningProgram {
public:
    RunningProgram() = default;
    ~RunningProgram();
    RunningProgram(RunningProgram&& other) noexcept;
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    // Waits up to timeoutMs for the program to end; true when it has ended.
    bool wait(unsigned long timeoutMs);
    // What is known of the run so far (finished and exitCode once wait has seen the end).
    const RunResult& result() const { return _result; }

private:
    friend class Sandbox;
    void* _process = nullptr;
    RunResult _result;
};

// <root>\temp\ serves as TEMP and TMP of the programs it starts, <root>\bin\ holds the
// program copies, and <root>\bin\ is their current folder. The tree is removed again when
// the sandbox ends, unless ORVA_KEEP_SANDBOX is set.
class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::string& root() const { return _root; }
    const std::string& temp() const { return _temp; }  // ends in a backslash
    const std::string& bin() const { return _bin; }    // ends in a backslash

    // Lets the programs started from now on see another folder as TEMP (ending in a backslash).
    void setTemp(const std::string& folder) { _temp = folder; }
    // Sets an environment variable for the programs started from now on.
    void setEnvironment(const std::string& name, const std::string& value);

    // Copies a file into folder (bin() when empty) under fileName; returns the copy's path.
    std::string install(const std::string& fileName, const std::string& source,
                        const std::string& folder = std::string()) const;

    // Starts program with the raw command-line tail (after the quoted program path).
    RunningProgram start(const std::string& program,
                         const std::string& arguments = std::string()) const;
    // Starts program and waits up to timeoutMs for it to end; ends it when it does not.
    RunResult run(const std::string& program, const std::string& arguments = std::string(),
                  unsigned long timeoutMs = 120000) const;

private:
    std::string environmentBlock() const;

    std::string _root, _temp, _bin;
    std::map<std::string, std::string> _environment;
};

// Points this process's own TEMP and TMP at folder while the object lives, for code under
// test that starts programs with the process's environment.
class ProcessTemp {
public:
    explicit ProcessTemp(const std::string& folder);
    ~ProcessTemp();
    ProcessTemp(const ProcessTemp&) = delete;
    ProcessTemp& operator=(const ProcessTemp&) = delete;

private:
    std::string _oldTemp, _oldTmp;
};

// Makes (and returns) a folder below the sandbox whose path, final backslash included, is
// exactly length characters long.
std::string MakeFolderOfLength(const Sandbox& box, size_t length);

}  // namespace support
