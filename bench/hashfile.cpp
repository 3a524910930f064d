// icv_hashfile [--portable] ALG FILE: prints the tagged digest of FILE, read
// in 64 KiB blocks. ALG is md5, gost94 or gost12; --portable chooses the
// table-driven GOST R 34.11-2012 path.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "algorithms/gost34_11_2012_internal.h"
#include "hash/hash.h"

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--portable") == 0) {
        gost34_11_2012_internal::choose(gost34_11_2012_internal::Path::Portable);
        ++argv;
        --argc;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s [--portable] md5|gost94|gost12 FILE\n", argv[0]);
        return 1;
    }
    HashFileChecker::Alg alg = std::strcmp(argv[1], "md5") == 0 ? HashFileChecker::MD5
                               : std::strcmp(argv[1], "gost94") == 0
                                   ? HashFileChecker::GOST_RFC4357
                                   : HashFileChecker::GOST_3411_2012;
    int fd = open(argv[2], O_RDONLY);
    if (fd < 0) {
        std::perror(argv[2]);
        return 2;
    }
    std::unique_ptr<IHashFactory> factory(createHashFactory(alg));
    std::unique_ptr<IHash_Calc> calc(factory->createHashCalc());
    std::vector<unsigned char> buffer(65536);
    ssize_t n;
    while ((n = read(fd, buffer.data(), buffer.size())) > 0) calc->Update(buffer.data(), n);
    close(fd);
    if (n < 0) {
        std::perror(argv[2]);
        return 2;
    }
    std::unique_ptr<IHash> digest(factory->createHash(*calc, true));
    std::printf("%s\n", digest->ToStr(false, true).c_str());
    return 0;
}
