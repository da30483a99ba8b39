// VoMutex: owner of one unnamed Win32 mutex. A failed creation leaves a null handle; every
// operation then does nothing and reports false, so guarded work runs unguarded, not blocked.
#pragma once

class VoMutex {
public:
    // Quiet construction: a failed creation is not reported.
    VoMutex();
    // Reporting construction (the process-wide mutex): a failed creation is written to the
    // trace log as a failed check with the last OS error.
    enum ReportFailure { kReportFailure };
    explicit VoMutex(ReportFailure);
    ~VoMutex();

    VoMutex(const VoMutex&) = delete;
    VoMutex& operator=(const VoMutex&) = delete;

    // True only when the wait ended with the mutex owned (not abandoned, not failed).
    bool lock();
    // True only when the mutex was released.
    bool unlock();
    // Closes the handle now; the mutex is then unusable.
    void close();
    bool created() const { return _mutexImp != nullptr; }

private:
    void* _mutexImp;
};
