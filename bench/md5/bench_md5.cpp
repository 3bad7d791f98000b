// FileMd5Hex on a large file against md5sum on the same file, in the same run. Prints the two
// times, the throughput ratio (md5sum time / ours; the goal is 0.9 or more) and whether the
// digests agree. Usage: bench_md5 [MiB] (default 1024).
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "components/file_checks.h"
#include "platform/context.h"
#include "platform/files.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

void WriteFile(const fs::path& path, std::size_t mebibytes) {
    std::ofstream out(path, std::ios::binary);
    std::vector<char> block(1 << 20);
    for (std::size_t i = 0; i < mebibytes; ++i) {
        for (std::size_t j = 0; j < block.size(); ++j)
            block[j] = static_cast<char>((i * 131 + j) % 251);
        out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
}

std::string RunMd5sum(const fs::path& path) {
    const std::string command = "md5sum '" + path.string() + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return {};
    char digest[33] = {};
    const std::size_t count = std::fread(digest, 1, 32, pipe);
    pclose(pipe);
    return std::string(digest, count);
}

long PeakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t mebibytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1024;
    const fs::path root =
        fs::temp_directory_path() / ("nestora-bench-md5-" + std::to_string(getpid()));
    const std::unique_ptr<platform::Context> context = platform::OpenSandbox(root);
    if (!context) {
        std::fprintf(stderr, "cannot open a sandbox in %s\n", root.c_str());
        return 1;
    }
    const std::string windowsPath = "C:\\bench.bin";
    const fs::path file = context->files->ToLinuxPath(windowsPath);
    WriteFile(file, mebibytes);

    // Each is run twice, the second run measured, so both read from the page cache.
    RunMd5sum(file);
    auto start = Clock::now();
    const std::string peer = RunMd5sum(file);
    const double peerSeconds = std::chrono::duration<double>(Clock::now() - start).count();

    components::FileMd5Hex(*context->files, windowsPath);
    const long peakBefore = PeakKiB();
    start = Clock::now();
    const std::string ours = components::FileMd5Hex(*context->files, windowsPath);
    const double ourSeconds = std::chrono::duration<double>(Clock::now() - start).count();

    std::printf("file: %zu MiB\n", mebibytes);
    std::printf("md5sum:     %.3f s (%.0f MiB/s)\n", peerSeconds, mebibytes / peerSeconds);
    std::printf("FileMd5Hex: %.3f s (%.0f MiB/s)\n", ourSeconds, mebibytes / ourSeconds);
    std::printf("throughput ratio (goal >= 0.9): %.2f\n", peerSeconds / ourSeconds);
    std::printf("digests agree: %s\n", ours == peer ? "yes" : "NO");
    std::printf("peak memory: %ld KiB (before the measured run: %ld KiB)\n", PeakKiB(), peakBefore);
    fs::remove_all(root);
    return 0;
}
