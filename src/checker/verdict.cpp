// How a check's findings become its counters, its result and its lines.
#include "checker/hashfile_checker.h"

#include <limits.h>

namespace HashFileChecker {

std::string FindingLine(Finding const& f) {
    switch (f.kind) {
        case Finding::Changed:
            return "File changed: " + f.name + " [" + f.digest + "].";
        case Finding::UnknownAlgorithm:
            return "Can't create hash calculator for " + f.name + " [" + f.digest + "].";
        case Finding::NotFound:
            return "Warning: File not found: " + f.name + ".";
        case Finding::AccessDenied:
            return "Warning: File access denied: " + f.name + ".";
        case Finding::Unreadable:
            return "File unreadable: " + f.name + " (" + f.reason + ").";
        case Finding::Added:
            return "File added: " + f.name + ".";
        case Finding::Unlistable:
            return "Warning: File cannot be listed: " + f.name + " (" + f.reason + ").";
        case Finding::Matches:
            break;
    }
    return "";
}

char const* UnlistableReason(std::string_view name) {
    if (name.find('=') != std::string_view::npos) return "an '=' in the name";
    if (name.find('\n') != std::string_view::npos) return "a line break in the name";
    if (!name.empty() && name[0] == '[') return "begins with '['";
    if (name.size() >= PATH_MAX) return "longer than the longest name a check can open";
    return nullptr;
}

Verdict::Verdict(CheckOptions const& options, Statistics* stats, bool malformedFails)
    : stopOnError_(options.stopOnError),
      reportMissing_(options.reportMissing),
      malformedFails_(malformedFails),
      stats_(stats) {}

namespace {

// The result a finding sets, 0 for none.
int ResultOf(Finding::Kind kind, bool stopOnError) {
    switch (kind) {
        case Finding::Changed:
        case Finding::UnknownAlgorithm:
        case Finding::Unreadable:
        case Finding::Added:
            return -1;
        case Finding::Unlistable:
        case Finding::AccessDenied:
            return stopOnError ? -2 : 0;
        case Finding::NotFound:
            return stopOnError ? -3 : 0;
        case Finding::Matches:
            break;
    }
    return 0;
}

}  // namespace

bool Verdict::Ignores(Finding::Kind kind) const {
    return kind == Finding::NotFound && !reportMissing_;
}

bool Verdict::Stops(Finding::Kind kind) const {
    return stopOnError_ && !Ignores(kind) && ResultOf(kind, true) != 0;
}

bool Verdict::Count(Finding::Kind kind) {
    if (Ignores(kind)) return false;
    if (kind == Finding::Unlistable) return Stopped();
    // Every record whose algorithm is known was processed.
    if (kind != Finding::UnknownAlgorithm && kind != Finding::Added) Add(&Statistics::Processed);
    switch (kind) {
        case Finding::Changed:
        case Finding::UnknownAlgorithm:
        case Finding::Unreadable:
            Add(&Statistics::Errors);
            break;
        case Finding::NotFound:
            Add(&Statistics::NotFound);
            break;
        case Finding::AccessDenied:
            Add(&Statistics::AccessDenied);
            break;
        case Finding::Added:
            ++added_;
            break;
        case Finding::Matches:
        case Finding::Unlistable:
            break;
    }
    // With stopOnError the first failure decides: the check stops at it.
    if (int const result = ResultOf(kind, stopOnError_)) result_ = result;
    return Stopped();
}

void Verdict::CountEnded() {
    Add(&Statistics::Processed);
}

void Verdict::CountMalformed() {
    ++malformed_;
}

Verdict::Outcome Verdict::Overall() const {
    bool const failed = result_ != 0 || counted_.Errors != 0 || counted_.NotFound != 0 ||
                        counted_.AccessDenied != 0 || added_ != 0 ||
                        (malformedFails_ && malformed_ != 0);
    if (failed) return Failed;
    return counted_.Processed == 0 ? NothingVerified : AllGood;
}

void Verdict::Add(std::uint32_t Statistics::*counter) {
    ++(counted_.*counter);
    if (stats_) ++(stats_->*counter);
}

}  // namespace HashFileChecker
