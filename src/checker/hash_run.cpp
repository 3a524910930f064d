// The hash run: every entry of a file list (or one entry) hashed with
// GOST R 34.11-2012 and printed as "name=#GOST3411_256_2012:digits".
#include <algorithm>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "checker/hashfile_checker.h"
#include "checker/engine.h"
#include "checker/progress_scope.h"
#include "checker/read_lists.h"

namespace HashFileChecker {

HashRun::HashRun(char const* text, bool isFileList) {
    if (text == nullptr || *text == '\0') throw FileIOException("", "File name is empty", 0);
    if (isFileList) {
        LoadFileList(text, text_, starts_);
    } else {
        starts_.push_back(0);
        text_.assign(text, std::strlen(text) + 1);
    }
    if (starts_.empty()) throw FileIOException("", "No files to process", 0);
}

HashRun::HashRun(std::string text, std::vector<std::size_t> starts, int rootFd, std::size_t prefixSize)
    : text_(std::move(text)), starts_(std::move(starts)), rootFd_(rootFd), prefixSize_(prefixSize) {}

HashRun::~HashRun() = default;

std::string_view HashRun::Entry(std::size_t i) const {
    return std::string_view(text_.data() + starts_[i]);
}

std::string HashRun::SourceName(std::size_t i) const {
    std::string_view const entry = Entry(i);
    if (rootFd_ != -1) return std::string(entry.substr(prefixSize_));
    // After the first '=', else after the last '/'.
    std::size_t const eq = entry.find('=');
    if (eq != std::string::npos) return std::string(entry.substr(eq + 1));
    std::size_t const slash = entry.rfind('/');
    return std::string(slash == std::string::npos ? entry : entry.substr(slash + 1));
}

std::string_view HashRun::RecordedName(std::size_t i) const {
    std::string_view const entry = Entry(i);
    return entry.substr(0, entry.find('='));
}

namespace {

// Each entry's source file hashed into its digest; the earliest failure kept.
class EntryHashing : public FileRun {
public:
    EntryHashing(HashRun const& run, IHashFactory const& factory, std::vector<unsigned char>& digests,
                 std::size_t digestSize)
        : run_(run), factory_(factory), digests_(digests), digestSize_(digestSize) {}

    bool Prepare(HashJob& job) override {
        job.fileName = run_.SourceName(job.index);
        job.rootFd = run_.RootFd();
        job.regularOnly = run_.RootFd() != -1;
        job.calc.reset(factory_.createHashCalc());
        return true;
    }
    bool Conclude(HashJob& job) override {
        try {
            if (!job.failure) {
                std::unique_ptr<IHash> digest(factory_.createHash(*job.calc, true));
                std::memcpy(&digests_[job.index * digestSize_], digest->Digest(), digestSize_);
                return false;
            }
        } catch (...) {
            job.failure = std::current_exception();
        }
        std::lock_guard<std::mutex> lock(mutex_);
        failures_.emplace(job.index, job.failure);
        return true;
    }
    bool Report(std::size_t i) override {
        std::lock_guard<std::mutex> lock(mutex_);
        auto const failed = failures_.find(i);
        if (failed == failures_.end()) return false;
        failure_ = failed->second;
        return true;
    }
    // The failure that ended the run, if one did.
    std::exception_ptr Failure() const { return failure_; }

private:
    HashRun const& run_;
    IHashFactory const& factory_;
    std::vector<unsigned char>& digests_;
    std::size_t digestSize_;
    std::mutex mutex_;
    std::map<std::size_t, std::exception_ptr> failures_;  // few: a run ends at the first
    std::exception_ptr failure_;
};

}  // namespace

void HashRun::Hash(ProgressListener* progress) {
    std::unique_ptr<IHashFactory> factory(createHashFactory(GOST_3411_2012));
    {
        std::unique_ptr<IHash> empty(factory->createHash("", 0));
        digestSize_ = empty->GetHashSize();
        tag_ = empty->ToStr(false, true);
        tag_.resize(tag_.size() - 2 * digestSize_);
    }
    digests_.assign(Count() * digestSize_, 0);
    EntryHashing hashing(*this, *factory, digests_, digestSize_);
    {
        ProgressScope scope(progress, Count());
        HashInIndexOrder(Count(), hashing, false, progress);
    }
    // Nothing can be written after a failure.
    if (hashing.Failure()) {
        digests_.clear();
        std::rethrow_exception(hashing.Failure());
    }
}

std::uint64_t HashRun::OutputSize() const {
    std::uint64_t size = 0;
    for (std::size_t i = 0; i < Count(); ++i)
        size += RecordedName(i).size() + 1 + tag_.size() + 2 * digestSize_ + 1;
    return size;
}

void HashRun::Write(std::function<void(char const*, std::size_t)> const& write) const {
    static char const kDigits[] = "0123456789abcdef";
    std::string block;
    block.reserve(kOutputBlock);
    for (std::size_t i = 0; i < Count(); ++i) {
        // One line: the recorded name, '=', the tag and the digits.
        std::string_view const name = RecordedName(i);
        std::size_t const lineSize = name.size() + 1 + tag_.size() + 2 * digestSize_ + 1;
        if (block.size() + lineSize > kOutputBlock && !block.empty()) {
            write(block.data(), block.size());
            block.clear();
        }
        block.append(name).append(1, '=').append(tag_);
        for (std::size_t k = 0; k < digestSize_; ++k) {
            unsigned char const byte = digests_[i * digestSize_ + k];
            block += kDigits[byte >> 4];
            block += kDigits[byte & 15];
        }
        block += '\n';
    }
    if (!block.empty()) write(block.data(), block.size());
}

void ProcessFiles(char const* text, bool isFileList, std::ostream& out) {
    ProcessFiles(text, isFileList, out, nullptr);
}

void ProcessFiles(char const* text, bool isFileList, std::ostream& out,
                  ProgressListener* progress) {
    HashRun run(text, isFileList);
    run.Hash(progress);
    run.Write([&](char const* data, std::size_t size) {
        out.write(data, static_cast<std::streamsize>(size));
        out.flush();
    });
}

}  // namespace HashFileChecker
