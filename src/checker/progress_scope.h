// Brackets the hashing part of a run for a progress listener.
#pragma once

#include <cstddef>

#include "checker/hashfile_checker.h"

namespace HashFileChecker {

class ProgressScope {
public:
    ProgressScope(ProgressListener* listener, std::size_t files) : listener_(listener) {
        if (listener_) listener_->Started(files);
    }
    ~ProgressScope() {
        if (listener_) listener_->Finished();
    }
    ProgressScope(ProgressScope const&) = delete;
    ProgressScope& operator=(ProgressScope const&) = delete;

private:
    ProgressListener* listener_;
};

// Around a line written while files are still being hashed.
class PausedProgress {
public:
    explicit PausedProgress(ProgressListener* listener) : listener_(listener) {
        if (listener_) listener_->Pause();
    }
    ~PausedProgress() {
        if (listener_) listener_->Resume();
    }
    PausedProgress(PausedProgress const&) = delete;
    PausedProgress& operator=(PausedProgress const&) = delete;

private:
    ProgressListener* listener_;
};

}  // namespace HashFileChecker
