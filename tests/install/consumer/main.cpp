// Uses the installed icv library: digests through the factories, the check of
// a hash list, and a string of the utility layer. Prints what it finds; the
// install test compares every line. Files are written to the current directory.
#include <icv/checker/hashfile_checker.h>
#include <icv/hash/hash.h>
#include <icv/util/qvstr.h>

#include <exception>
#include <fstream>
#include <iostream>
#include <list>
#include <memory>
#include <sstream>
#include <string>

namespace {

// Tagged digest text of "abc" made by the given factory.
std::string DigestOfAbc(IHashFactory* made) {
    std::unique_ptr<IHashFactory> factory(made);
    if (!factory) return "no factory";
    std::unique_ptr<IHash> digest(factory->createHash("abc", 3));
    return digest->ToStr(false, true);
}

void PrintCheck(char const* what, int result, std::string const& output,
                HashFileChecker::Statistics const& stats) {
    std::cout << what << ": result " << result << ", Processed: " << stats.Processed
              << ", Errors: " << stats.Errors << ", NotFound: " << stats.NotFound
              << ", AccessDenied: " << stats.AccessDenied << '\n'
              << output;
}

}  // namespace

int main() {
    try {
        std::cout << DigestOfAbc(createHashFactory(HashFileChecker::GOST_3411_2012)) << '\n';
        std::cout << DigestOfAbc(createHashFactory(std::string("$MD5:"))) << '\n';

        std::ofstream("a.txt") << "abc";
        std::ofstream("hashes") << "a.txt=#GOST3411_256_2012:"
                                   "4e2919cf137ed41ec4fb6270c61826cc4fffb660341e0af3688cd0626d23b481\n";
        {
            std::ostringstream out;
            HashFileChecker::Statistics stats = {0, 0, 0, 0};
            int result = HashFileChecker::CheckFiles("hashes", out, &stats);
            PrintCheck("hash list", result, out.str(), stats);
        }
        {
            std::list<HashFileChecker::FileHashPair> records = {
                {"a.txt", "900150983CD24FB0D6963F7D28E17F72", ""},
                {"a.txt", "#MD5:00000000000000000000000000000000", ""},
                {"gone.txt", "#MD5:900150983cd24fb0d6963f7d28e17f72", ""},
            };
            std::ostringstream out;
            HashFileChecker::Statistics stats = {0, 0, 0, 0};
            int result = HashFileChecker::CheckFiles(records, out, &stats, false);
            PrintCheck("records", result, out.str(), stats);
        }

        QvStr text("icv ");
        text += 17;
        std::cout << static_cast<char const*>(text) << '\n';
        return 0;
    } catch (std::exception const& e) {
        std::cerr << "icv_consumer: " << e.what() << '\n';
        return 1;
    }
}
