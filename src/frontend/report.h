// How the command-line tools report a failure: on standard error, in the
// exact texts users' scripts match, with exit code -1 (status 255).
#pragma once

#include <exception>
#include <iostream>
#include <stdexcept>
#include <string>

#include "checker/hashfile_checker.h"

namespace frontend {

// Runs body and returns its exit code; an exception that leaves it is
// written to standard error and gives -1.
template <class Body>
int RunReportingFailures(Body&& body) {
    try {
        return body();
    } catch (HashFileChecker::FileIOException const& e) {
        std::cerr << "FileIO Error: " << e.what() << std::endl;
        std::cerr << "File-[" << e.FileName << "]"
                  << " ErrCode-" << e.ErrCode << std::endl;
    } catch (std::exception const& e) {
        std::cerr << "Error: " << e.what() << std::endl;
    } catch (...) {
        std::cerr << "Unhandled exception: ???" << std::endl;
    }
    return -1;
}

}  // namespace frontend
