// DownloadToFile against `curl -o` fetching the same body from the demo bank server on
// 127.0.0.1 (plain HTTP), in the same run. Prints the best of three times of each (the order
// alternates, and each run starts with the earlier files gone and written out, so neither pays
// for the other's writes), the throughput ratio (curl time / ours; the goal is 0.8 or more)
// and the peak memory of this process after a small and after the large download, which
// should not differ by the size. Needs curl.
// Usage: bench_download [MiB] (default 1024).
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "components/download.h"
#include "platform/context.h"
#include "platform/files.h"
#include "platform/internet.h"
#include "tests/support/bank_server.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

long PeakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t mebibytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1024;
    const std::uint64_t bytes = static_cast<std::uint64_t>(mebibytes) << 20;
    nestora_test::BankServer server;
    if (!server.Started()) {
        std::fprintf(stderr, "demo server: %s\n", server.Error().c_str());
        return 1;
    }
    const fs::path root =
        fs::temp_directory_path() / ("nestora-bench-download-" + std::to_string(getpid()));
    const std::unique_ptr<platform::Context> context = platform::OpenSandbox(root);
    if (!context) {
        std::fprintf(stderr, "cannot open a sandbox in %s\n", root.c_str());
        return 1;
    }
    const auto session = context->internet->OpenSession("Mozilla/5.0");
    const std::string target = "C:\\download.bin";
    const std::string url = server.HttpUrl("/test/bytes?n=" + std::to_string(bytes));

    components::DownloadToFile(*session, *context->files,
                               server.HttpUrl("/test/bytes?n=" + std::to_string(64 << 20)), target);
    const long peakAfterSmall = PeakKiB();

    const fs::path peerFile = root / "curl.bin";
    const fs::path ourFile = context->files->ToLinuxPath(target);
    const auto startClean = [&] {
        fs::remove(peerFile);
        fs::remove(ourFile);
        ::sync();
        return Clock::now();
    };
    const auto runPeer = [&] {
        const auto start = startClean();
        const int status =
            std::system(("curl -s -o '" + peerFile.string() + "' '" + url + "'").c_str());
        return std::pair{Seconds(start), status == 0};
    };
    std::uint32_t lastPercent = 0;
    std::uint64_t result = 0;
    const auto runOurs = [&] {
        const auto start = startClean();
        result = components::DownloadToFile(*session, *context->files, url, target,
                                            [&](std::uint32_t p) { lastPercent = p; });
        return Seconds(start);
    };

    constexpr int kRounds = 3;
    double peerSeconds = 1e30;
    double ourSeconds = 1e30;
    bool curlOk = true;
    for (int round = 0; round < kRounds; ++round) {
        const bool peerFirst = round % 2 == 0;
        if (!peerFirst)
            ourSeconds = std::min(ourSeconds, runOurs());
        const auto [seconds, ok] = runPeer();
        peerSeconds = std::min(peerSeconds, seconds);
        curlOk = curlOk && ok;
        if (peerFirst)
            ourSeconds = std::min(ourSeconds, runOurs());
    }

    std::printf("body: %zu MiB\n", mebibytes);
    std::printf("curl -o:        %.3f s (%.0f MiB/s)%s\n", peerSeconds, mebibytes / peerSeconds,
                curlOk ? "" : " (curl failed)");
    std::printf("DownloadToFile: %.3f s (%.0f MiB/s), result %llu, progress %u%%\n", ourSeconds,
                mebibytes / ourSeconds, static_cast<unsigned long long>(result), lastPercent);
    std::printf("throughput ratio (goal >= 0.8): %.2f\n", peerSeconds / ourSeconds);
    std::printf("peak memory: %ld KiB after 64 MiB, %ld KiB after %zu MiB\n", peakAfterSmall,
                PeakKiB(), mebibytes);
    fs::remove_all(root);
    return 0;
}
